// The SDK's utilities: version and screen tests, URLs, install checks, the
// Mervio app's SDK version, Base64 and the URL-argument escapers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "foundation/PropertyList.h"
#include "mervio/apps/MervioApiUtil.h"
#include "mervio/apps/URLArgumentsAdditions.h"
#include "support/MervioTest.h"
#include "uikit/Window.h"

namespace {

using U = MervioApiUtil;
using testsupport::MervioTest;

class MervioApiUtilTest : public testsupport::MervioTest {};

void putSDKInfo(const ns::Value& info) {
    auto board = ui::Pasteboard::pasteboardWithName("mervio_sdk_infomation", true);
    board->setData(*U::dataFromPropertyList(info), "content");
}

}  // namespace

TEST_F(MervioApiUtilTest, SystemVersionIsReadOnceAndComparedAbove6Point9) {
    for (auto [version, expected] : std::vector<std::pair<const char*, bool>>{
             {"7.0", true}, {"7.0.4", true}, {"8.1", true}, {"6.1.3", false}, {"6.9", false}, {"", false}}) {
        useSystemVersion(version);
        EXPECT_EQ(U::isiOS7plus(), expected) << version;
    }
    useSystemVersion("7.0");
    EXPECT_TRUE(U::isiOS7plus());
    ui::Device::currentDevice().setSystemVersion("6.1");
    EXPECT_TRUE(U::isiOS7plus()) << "kept from the first answer";
}

TEST_F(MervioApiUtilTest, ScreenIs2xOnlyAtScaleExactlyTwo) {
    struct Case {
        double scale;
        bool answers;
        bool expected;
    };
    for (auto c : std::vector<Case>{{2, true, true}, {3, true, false}, {1, true, false}, {2, false, false}}) {
        ui::Screen::mainScreen().setScale(c.scale);
        ui::Device::currentDevice().setScreenAnswersScale(c.answers);
        U::resetCachesForTesting();
        EXPECT_EQ(U::is2xScreen(), c.expected) << c.scale << " " << c.answers;
    }
    ui::Screen::mainScreen().setScale(2);
    ui::Device::currentDevice().setScreenAnswersScale(true);
    EXPECT_FALSE(U::is2xScreen()) << "kept from the first answer";
}

TEST_F(MervioApiUtilTest, URLsOfMervioAndOfTheAppsOwnScheme) {
    EXPECT_EQ(U::getMervioUrl("mv5c3e"), "maiwei://app/mv5c3e/");
    EXPECT_EQ(U::getMervioUrl_extraUrl("mv5c3e", ""), U::getMervioUrl("mv5c3e"));
    EXPECT_EQ(U::getMervioUrl_extraUrl("mv5c3e", "sendreq/?"), "maiwei://app/mv5c3e/sendreq/?");
    EXPECT_EQ(U::getAppUrl("mv5c3e"), "mv5c3e://");
    EXPECT_EQ(U::getAppUrlWithPlatformId("mv5c3e"), "mv5c3e://platformId=mervio");
    EXPECT_EQ(U::getAppUrlWithPlatformId_withOtherArgs("mv5c3e", "a=1"), "mv5c3e://platformId=mervio/a=1");
    EXPECT_EQ(U::getAppUrlWithPlatformId_withOtherArgs("mv5c3e", ""), "mv5c3e://platformId=mervio");
    for (auto url : {U::getMervioUrl(""), U::getMervioUrl_extraUrl("", "x"), U::getAppUrl(""),
                     U::getAppUrlWithPlatformId("")})
        EXPECT_FALSE(url);

    EXPECT_TRUE(U::isAppOpenUrl("mv5c3e://oauth?code=1", "mv5c3e"));
    EXPECT_FALSE(U::isAppOpenUrl("mv5c3e1://oauth", "mv5c3e"));
    EXPECT_FALSE(U::isAppOpenUrl("mv5c3e:/", "mv5c3e"));
    EXPECT_FALSE(U::isAppOpenUrl("://", ""));
}

TEST_F(MervioApiUtilTest, InstallChecksAskWhetherTheSchemeOpens) {
    auto& app = ui::Application::sharedApplication();
    EXPECT_FALSE(U::isAppInstalledWithCatchException("peerapp"));
    EXPECT_FALSE(U::isMVAppSupportApi());
    app.registerURLScheme("peerapp", [](const std::string&) { return true; });
    app.registerURLScheme("maiwei", [](const std::string&) { return true; });
    EXPECT_TRUE(U::isAppInstalledWithCatchException("peerapp"));
    EXPECT_TRUE(U::isAppInstalledWithoutCatchException("peerapp"));
    EXPECT_TRUE(U::isMVAppSupportApi());
    EXPECT_FALSE(U::isAppInstalledWithCatchException(""));

    EXPECT_TRUE(U::launchApp("peerapp"));
    EXPECT_EQ(app.openedURLs().back(), "peerapp://");
    EXPECT_FALSE(U::launchApp("absentapp"));

    U::setCanOpenURLForTesting([](const std::string&) -> bool { throw std::runtime_error("query refused"); });
    EXPECT_FALSE(U::isAppInstalledWithCatchException("peerapp"));
    EXPECT_THROW(U::isAppInstalledWithoutCatchException("peerapp"), std::runtime_error);
}

TEST_F(MervioApiUtilTest, SDKVersionComesFromTheInformationPasteboard) {
    EXPECT_FALSE(U::_internal_getSDKVersion());
    EXPECT_EQ(U::getSDKVersion(), "");
    ui::Application::sharedApplication().registerURLScheme("maiwei", [](const std::string&) { return true; });
    EXPECT_EQ(U::getSDKVersion(), "1.0");

    putSDKInfo(ns::Value::dictionary({{"version", ns::Value("2.3.1")}}));
    EXPECT_EQ(U::getSDKVersion(), "2.3.1");
    // A version of another kind, or content that is no dictionary, is none.
    putSDKInfo(ns::Value::dictionary({{"version", ns::Value(23)}}));
    EXPECT_FALSE(U::_internal_getSDKVersion());
    putSDKInfo(ns::Value::array({ns::Value("2.3.1")}));
    EXPECT_EQ(U::getSDKVersion(), "1.0");
}

TEST_F(MervioApiUtilTest, PropertyListsReadAnyFormatAndWriteBinary) {
    ns::Value dict = ns::Value::dictionary({{"k", ns::Value("值")}, {"n", ns::Value(3)}});
    auto binary = U::dataFromPropertyList(dict);
    ASSERT_TRUE(binary);
    EXPECT_EQ(std::string(binary->begin(), binary->begin() + 8), "bplist00");
    auto xml = ns::PropertyListSerialization::dataWithPropertyList(dict, ns::PropertyListFormat::XML);
    EXPECT_EQ(U::propertyListFromData(*binary), dict);
    EXPECT_EQ(U::propertyListFromData(*xml), dict);

    EXPECT_TRUE(U::propertyListFromData(std::nullopt).isNil());
    EXPECT_TRUE(U::propertyListFromData(MervioTest::bytes("not a plist")).isNil());
    EXPECT_FALSE(U::dataFromPropertyList(ns::Value()));
    EXPECT_FALSE(U::dataFromPropertyList(ns::Value::array({ns::Value::null()})));
}

TEST_F(MervioApiUtilTest, Base64EncodesTheRFC4648Vectors) {
    for (auto [plain, coded] : std::vector<std::pair<const char*, const char*>>{
             {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
             {"foobar", "Zm9vYmFy"}}) {
        EXPECT_EQ(U::EncodeBase64(plain), coded);
        EXPECT_EQ(U::NsDataEncodeBase64(MervioTest::bytes(plain)), coded);
        EXPECT_EQ(U::DecodeWithBase64(coded), MervioTest::bytes(plain));
        EXPECT_EQ(U::DecodeBase64(coded), plain);
    }
    EXPECT_FALSE(U::EncodeBase64(""));
    EXPECT_FALSE(U::NsDataEncodeBase64(ns::Bytes()));
    EXPECT_FALSE(U::NsDataEncodeBase64(std::nullopt));
    EXPECT_EQ(U::NsDataEncodeBase64(ns::Bytes{0xFF, 0x00, 0x80}), "/wCA");

    for (const char* text : {"迈维 SDK", "a", "€uro 😀"})
        EXPECT_EQ(U::DecodeBase64(*U::EncodeBase64(text)), text) << text;
}

TEST_F(MervioApiUtilTest, Base64DecodesWithoutValidation) {
    EXPECT_EQ(U::DecodeWithBase64("Zg=="), MervioTest::bytes("f"));
    for (const char* nothing : {"", "Zg", "Zm9", "====", "A==="})
        EXPECT_FALSE(U::DecodeWithBase64(nothing)) << nothing;
    // A trailing part group is ignored.
    EXPECT_EQ(U::DecodeWithBase64("Zm9vYg"), MervioTest::bytes("foo"));
    // Every final "=" takes a byte, padding or not.
    EXPECT_EQ(U::DecodeWithBase64("Zm9vYmFy=="), MervioTest::bytes("foob"));
    // Characters outside the alphabet, high bytes included, count as "A".
    EXPECT_EQ(U::DecodeWithBase64("Zm9!"), U::DecodeWithBase64("Zm9A"));
    EXPECT_EQ(U::DecodeWithBase64("Zm9\xFF"), U::DecodeWithBase64("Zm9A"));
    EXPECT_EQ(U::DecodeWithBase64("\xC3\xA9Zg"), U::DecodeWithBase64("AAZg"));
    // Text stops at the first NUL and must be UTF-8.
    EXPECT_EQ(U::DecodeBase64("ZgBn"), "f");
    EXPECT_FALSE(U::DecodeBase64("/w=="));
}

TEST(MervioURLArguments, EachEscaperKeepsItsOwnSet) {
    struct Case {
        const char* text;
        const char* argument;
        const char* argumentOnly;
        const char* encodeUrl;
    };
    for (const Case& c : std::vector<Case>{
             {" ", "%20", "%20", "%20"},
             {"&", "%26", "&", "%26"},
             {"~", "~", "~", "%7E"},
             {"%", "%25", "%", "%25"},
             {"迈维", "%E8%BF%88%E7%BB%B4", "%E8%BF%88%E7%BB%B4", "%E8%BF%88%E7%BB%B4"},
             {"a-b.c_d", "a-b.c_d", "a-b.c_d", "a-b.c_d"},
             {"#[]?=/:", "%23%5B%5D%3F%3D%2F%3A", "#[]?=/:", "%23%5B%5D%3F%3D%2F%3A"},
             {"\"<>{}|\\^`", "%22%3C%3E%7B%7D%7C%5C%5E%60", "%22%3C%3E%7B%7D%7C%5C%5E%60",
              "%22%3C%3E%7B%7D%7C%5C%5E%60"},
             {"", "", "", ""},
         }) {
        EXPECT_EQ(mvApi_stringByEscapingForURLArgument(c.text), c.argument) << c.text;
        EXPECT_EQ(mvApi_stringByEscapingForURLArgumentOnly(c.text), c.argumentOnly) << c.text;
        EXPECT_EQ(mvApi_stringByEncodeUrl(c.text), c.encodeUrl) << c.text;
    }
}

TEST(MervioURLArguments, UnescapingTurnsPlusIntoSpaceAndDecodesEscapes) {
    EXPECT_EQ(mvApi_stringByUnescapingFromURLArgument("a+b%26c%E8%BF%88"), "a b&c迈");
    EXPECT_EQ(mvApi_stringByUnescapingFromURLArgument("\\x41"), "\\x41");
    EXPECT_FALSE(mvApi_stringByUnescapingFromURLArgument("100%"));
    EXPECT_FALSE(mvApi_stringByUnescapingFromURLArgument("%FF"));

    EXPECT_EQ(mvApi_stringByEncodeByJsonAndUrlEncode("\\x41"), "A");
    EXPECT_EQ(mvApi_stringByEncodeByJsonAndUrlEncode("\\X41+\\xe8\\xbf\\x88%21"), "A 迈!");
    EXPECT_FALSE(mvApi_stringByEncodeByJsonAndUrlEncode("\\xZZ"));
}
