// Registration as the Mervio app reads it off "mervio_register", and the
// background events of the registrations made.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "mervio/apps/MVApiRegister.h"
#include "support/FullDisk.h"
#include "support/MVApiTest.h"
#include "uikit/Window.h"

namespace {

using testsupport::FakeMessenger;
using testsupport::PeerValue;

class RegisterTest : public testsupport::MVApiTest {
protected:
    static PeerValue entry(const std::string& appId = kAppId) { return FakeMessenger::registration(appId); }
    static std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }
    static void putBoard(const std::vector<std::uint8_t>& bytes) {
        ui::Pasteboard::pasteboardWithName("mervio_register", true)->setData(ns::Bytes(bytes.begin(), bytes.end()), "content");
    }
};

}  // namespace

TEST_F(RegisterTest, TheRecordAndItsTimes) {
    const std::string start = std::to_string(static_cast<std::uint32_t>(kStart));
    auto board = ui::Pasteboard::pasteboardWithName("mervio_register", false);
    ASSERT_TRUE(board);
    EXPECT_TRUE(board->isPersistent());
    auto raw = board->dataForPasteboardType("content");
    EXPECT_TRUE(PeerValue::isBinary(std::vector<std::uint8_t>(raw->begin(), raw->end())));
    PeerValue record = entry();
    EXPECT_EQ(record.keys(), (std::vector<std::string>{"appID", "appIcon", "appIdentifier", "appName", "firstLaunchTime",
                                                       "laststLaunchTime"}));
    EXPECT_EQ(record["appID"].text, kAppId);
    EXPECT_EQ(record["appIdentifier"].text, "gov.velmarsh.kestrowline");
    EXPECT_EQ(record["appName"].text, "Velmarsh Kestrowline");
    EXPECT_EQ(record["firstLaunchTime"].text, start);
    EXPECT_EQ(record["laststLaunchTime"].text, start);
    auto icon = ns::readFile(ns::Bundle::mainBundle()->bundlePath() + "/Icon@2x.png");
    EXPECT_EQ(record["appIcon"].data, std::vector<std::uint8_t>(icon->begin(), icon->end()));

    // Again later: the first time stays; another app gets an entry of its own.
    advance(100);
    ASSERT_TRUE(MVApi::registerApp(kAppId, "党建"));
    ASSERT_TRUE(MVApi::registerApp("otherapp"));
    EXPECT_EQ(entry()["firstLaunchTime"].text, start);
    EXPECT_EQ(entry()["laststLaunchTime"].text, std::to_string(static_cast<std::uint32_t>(kStart) + 100));
    EXPECT_EQ(entry()["appDescriptionSDK"].text, "党建");
    EXPECT_EQ(FakeMessenger::registrations().keys(), (std::vector<std::string>{kAppId, "otherapp"}));
    EXPECT_EQ(entry("otherapp")["appID"].text, "otherapp");
}

TEST_F(RegisterTest, DescriptionsOfOneTo1024CharactersAndNeverCarriedOver) {
    const struct {
        std::string description;
        bool kept;
    } cases[] = {{std::string(1024 * 3, 'x'), false}, {"", false}, {std::string(1025, 'a'), false}};
    std::string longest;
    for (int i = 0; i < 1024; ++i) longest += "党";
    for (const auto& c : cases) {
        ASSERT_TRUE(MVApi::registerApp(kAppId, longest));
        EXPECT_EQ(entry()["appDescriptionSDK"].text, longest);
        ASSERT_TRUE(MVApi::registerApp(kAppId, c.description));
        EXPECT_FALSE(entry().has("appDescriptionSDK")) << c.description.size();
    }
}

TEST_F(RegisterTest, WhatElseIsOnTheBoard) {
    PeerValue other = PeerValue::dict({{"appID", "otherapp"}, {"anything", PeerValue::bytes({1, 2})}});
    const struct {
        const char* name;
        std::vector<std::uint8_t> content;
        std::vector<std::string> keys;
    } cases[] = {
        {"other apps stay", PeerValue::dict({{"otherapp", other}}).encode(), {kAppId, "otherapp"}},
        {"not a dictionary", PeerValue("text").encode(), {kAppId}},
        {"not a property list", bytesOf("garbage"), {kAppId}},
        {"our entry is no dictionary", PeerValue::dict({{kAppId, "junk"}, {"otherapp", other}}).encode(),
         {kAppId, "otherapp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        putBoard(c.content);
        advance(5);
        ASSERT_TRUE(MVApi::registerApp(kAppId));
        EXPECT_EQ(FakeMessenger::registrations().keys(), c.keys);
        EXPECT_EQ(entry()["firstLaunchTime"].text, entry()["laststLaunchTime"].text);
        if (c.keys.size() == 2) {
            EXPECT_EQ(entry("otherapp")["anything"].data, (std::vector<std::uint8_t>{1, 2}));
        }
    }
}

TEST_F(RegisterTest, TheIconForTheScreen) {
    const struct {
        const char* name;
        double scale;
        ns::Value info;
        std::vector<std::string> files;  // in the bundle, each holding its name
        std::string icon;                // the file read, "" for none
    } cases[] = {
        {"@2x on 2x", 2, ns::Value::dictionary({{"CFBundleIconFiles", ns::Value::array({"a.png", "a@2x.png"})}}),
         {"a.png", "a@2x.png"}, "a@2x.png"},
        {"plain on 1x", 1, ns::Value::dictionary({{"CFBundleIconFiles", ns::Value::array({"a@2x.png", "a.png"})}}),
         {"a.png", "a@2x.png"}, "a.png"},
        {"none fits: the last", 2, ns::Value::dictionary({{"CFBundleIconFiles", ns::Value::array({"a.png", "b.png"})}}),
         {"a.png", "b.png"}, "b.png"},
        {"empty list: the default", 2,
         ns::Value::dictionary({{"CFBundleIconFiles", ns::Value::array()}, {"CFBundleIconFile", "c.png"}}),
         {"c.png", "Icon@2x.png"}, "Icon@2x.png"},
        {"the one file", 1, ns::Value::dictionary({{"CFBundleIconFile", "c.png"}}), {"c.png", "Icon.png"}, "c.png"},
        {"the default", 1, ns::Value::dictionary({{"CFBundleName", "K"}}), {"Icon.png"}, "Icon.png"},
        {"unreadable: Icon.png", 2, ns::Value::dictionary({{"CFBundleIconFile", "gone.png"}}), {"Icon.png"}, "Icon.png"},
        {"no icon", 2, ns::Value::dictionary({{"CFBundleIconFile", "gone.png"}}), {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        useBundleInfo(c.info);
        const std::string folder = ns::Bundle::mainBundle()->bundlePath();
        for (const auto& f : std::filesystem::directory_iterator(folder))
            if (f.path().extension() == ".png") std::filesystem::remove(f.path());
        for (const auto& f : c.files) std::ofstream(folder + "/" + f) << f;
        ui::Screen::mainScreen().setScale(c.scale);
        MervioApiUtil::resetCachesForTesting();
        ASSERT_TRUE(MVApi::registerApp(kAppId));
        EXPECT_EQ(entry()["appIcon"].data, bytesOf(c.icon));
        EXPECT_EQ(entry().has("appIcon"), !c.icon.empty());
    }
    useBundleInfo(ns::Value::dictionary());
    EXPECT_FALSE(MVApiRegister::getIconString()) << "no Info dictionary";
}

TEST_F(RegisterTest, EachRegistrationReportsEachEntryIntoTheBackground) {
    ASSERT_TRUE(MVApi::registerApp(kAppId));
    ui::Application::sharedApplication().enterBackground();
    ASSERT_TRUE(ns::RunLoop::main().runUntil(
        [&] {
            auto sent = names(stats.events());
            return std::count(sent.begin(), sent.end(), MSAMV::kBackgroundEvent) >= 2;
        },
        20));
    settle();
    auto sent = names(stats.events());
    EXPECT_EQ(std::count(sent.begin(), sent.end(), MSAMV::kBackgroundEvent), 2);
}

TEST_F(RegisterTest, ARecordThatCannotBeWrittenLeavesTheBoardAsItWas) {
    // A description that is not UTF-8 has no property-list form; a full disk
    // takes no board.
    struct Case {
        const char* what;
        std::string description;
        bool fullDisk;
    };
    for (const Case& c : {Case{"no UTF-8", "a\xFF" "b", false}, Case{"a full disk", "", true}}) {
        SCOPED_TRACE(c.what);
        putBoard(PeerValue::dict({{"otherapp", PeerValue::dict({{"appID", "otherapp"}})}}).encode());
        auto board = ui::Pasteboard::pasteboardWithName("mervio_register", false);
        ASSERT_TRUE(board->setPersistent(true));
        const auto raw = board->dataForPasteboardType("content");
        bool registered = true;
        {
            std::optional<testsupport::FullDisk> disk;
            if (c.fullDisk) disk.emplace();
            registered = MVApi::registerApp(kAppId, c.description);
        }
        EXPECT_FALSE(registered);
        EXPECT_EQ(board->dataForPasteboardType("content"), raw);
    }
}
