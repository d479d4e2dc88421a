// The reporter's utilities: codecs against known answers and the gzip
// program, device queries, the company's shared items, the user rule and
// reachability with its notifier.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include "foundation/Data.h"
#include "foundation/Notification.h"
#include "mervio/reporter/MVOMSAKeyChain.h"
#include "mervio/reporter/MVOMSAReachability.h"
#include "service/JSON.h"
#include "support/Command.h"
#include "support/ReporterTest.h"

namespace {

class ReporterUtilTest : public testsupport::ReporterTest {};

ns::Bytes randomBytes(std::size_t n) {
    std::mt19937 random(7);
    ns::Bytes out(n);
    for (auto& b : out) b = static_cast<std::uint8_t>(random());
    return out;
}

TEST_F(ReporterUtilTest, RC4MatchesTheKnownAnswerAndUsesTheKeyTextAsItsBytes) {
    ns::Bytes text = bytes("Plaintext");
    mvomsa::rc4(text, "Key");
    EXPECT_EQ(ns::hexEncode(text, true), "BBF316E8D940AF0AD3");
    mvomsa::rc4(text, "Key");
    EXPECT_EQ(text, bytes("Plaintext"));

    // A peer that knows the configured key text enciphers with its 32 ASCII bytes.
    ns::Bytes body = bytes("[{\"idx\":1}]");
    mvomsa::rc4(body, "5f3c9a07e1b24d68a0c7f2e91b6d3a45");
    MVOMSAHelper::ChiperRC4(body);
    EXPECT_EQ(body, bytes("[{\"idx\":1}]"));

    ns::Bytes empty;
    MVOMSAHelper::ChiperRC4(empty);
    EXPECT_TRUE(empty.empty());
}

TEST_F(ReporterUtilTest, GzipGrowsPastItsFirstBufferTheGzipProgramReadsItAndGunzipWantsOneWholeStream) {
    ns::Bytes out = bytes("untouched");
    EXPECT_EQ(MVOMSAHelper::GZip({}, &out), -1);
    EXPECT_EQ(MVOMSAHelper::GZip(bytes("x"), nullptr), -1);
    EXPECT_EQ(out, bytes("untouched"));

    ns::Bytes data = randomBytes(40000);  // does not compress: well over 8 KiB out
    ASSERT_EQ(MVOMSAHelper::GZip(data, &out), 0);
    EXPECT_GT(out.size(), 8192u);
    std::string path = std::string(std::getenv("KL_HOME")) + "/body.gz";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    auto peer = testsupport::runCommand("gunzip -f '" + path + "'");
    ASSERT_EQ(peer.status, 0) << peer.output;
    EXPECT_TRUE(ns::readFile(path.substr(0, path.size() - 3)) == data);
    std::filesystem::remove(path.substr(0, path.size() - 3));

    ns::Bytes back;
    ASSERT_EQ(MVOMSAHelper::GUnzip(out, &back), 0);
    EXPECT_TRUE(back == data);

    // Gunzip takes only one whole stream.
    ns::Bytes cut(out.begin(), out.end() - 6);
    for (const ns::Bytes& bad : {bytes("neither zlib nor gzip"), cut, ns::Bytes()}) {
        EXPECT_EQ(MVOMSAHelper::GUnzip(bad, &back), -1);
        EXPECT_TRUE(back == data);
    }
}

TEST_F(ReporterUtilTest, MacAddressAndWiFiFollowTheInterfaceEn0) {
    using I = ui::NetworkInterface;
    const std::array<std::uint8_t, 6> mac{0x02, 0x1a, 0xb3, 0x00, 0x4f, 0xee};
    struct Case {
        std::vector<I> interfaces;
        std::string address;
        bool wifi;
    } cases[] = {
        {{I{"lo", "127.0.0.1", true, {}}, I{"en0", "10.0.0.7", false, mac}}, "02:1A:B3:00:4F:EE", true},
        {{I{"en0", std::nullopt, false, mac}}, "02:1A:B3:00:4F:EE", false},
        {{I{"en0", "10.0.0.7", false, std::nullopt}}, "sysctl msgBuffer failure", true},
        {{I{"en1", "10.0.0.7", false, mac}}, "if_nametoindex failure", false},
        {{}, "if_nametoindex failure", false},
    };
    for (const Case& c : cases) {
        ui::Device::currentDevice().setInterfaces(c.interfaces);
        EXPECT_EQ(MVOMSAHelper::getMacAddress(), c.address);
        EXPECT_EQ(MVOMSAHelper::isWiFiAvailable(), c.wifi) << c.address;
    }

    // On a host whose first interface after the loopback is a virtual one
    // that is down, "mc" and "wf" both name the interface that carries the traffic.
    auto& device = ui::Device::currentDevice();
    device.resetForTesting();
    device.setHostInterfaces({I{"lo", "127.0.0.1", true, std::array<std::uint8_t, 6>{}, true},
                              I{"ifb0", std::nullopt, false, std::array<std::uint8_t, 6>{0xbe, 0x56, 0x7e, 0x1e, 0xc5, 0xa8}, false},
                              I{"eth0", "192.0.2.2", false, mac, true}});
    EXPECT_EQ(MVOMSAHelper::getMacAddress(), "02:1A:B3:00:4F:EE");
    EXPECT_TRUE(MVOMSAHelper::isWiFiAvailable());
    EXPECT_EQ(MVOMSAHelper::getInstance()->fetchSSIDInfo(), R"({"ss":"eth0","bs":"02:1a:b3:00:4f:ee"})");
}

TEST_F(ReporterUtilTest, TheEnvironmentRecordAndTheWiFiNetwork) {
    auto& device = ui::Device::currentDevice();
    device.setSystemVersion("6.0");
    device.setMachine("iPhone5,2");
    device.setCarrier(ui::CarrierCodes{"460", "01"});
    device.setFileExists("/Applications/Cydia.app", true);
    device.setIdentifierForVendor("1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    ui::Screen::mainScreen().setSize({320, 568});
    ui::Screen::mainScreen().setScale(2);
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value::array({ns::Value("zh-Hans")}), "AppleLanguages");
    useBundleInfo(ns::Value::dictionary({{"CFBundleIdentifier", ns::Value("org.velmarsh")},
                                         {"CFBundleVersion", ns::Value("212")}}));

    MVOMSAEnv env = MVOMSAHelper::getInstance()->getEnv();
    EXPECT_EQ(env.ifv, "1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    EXPECT_EQ(env.devicename, "iPhone5,2");
    EXPECT_TRUE(env.jailbroken);
    EXPECT_EQ(env.resolution, "640x1136");
    EXPECT_EQ(env.deviceid, MVOMSAShareUDID::value());
    EXPECT_EQ(env.language, "zh-Hans");
    EXPECT_EQ(env.mccmnc, "46001");
    EXPECT_EQ(env.app_version, "212");
    EXPECT_EQ(MVOMSAKeyChain::load("org")["msashareudid"].str(), env.deviceid);

    device.setInterfaces({ui::NetworkInterface{"en0", "10.0.0.7", false, std::nullopt}});
    device.setCurrentNetworkInfo(ui::WiFiNetworkInfo{"党建办公室", "a4:2b:8c:01:02:03"});
    EXPECT_EQ(MVOMSAHelper::getInstance()->fetchSSIDInfo(), "{\"ss\":\"党建办公室\",\"bs\":\"a4:2b:8c:01:02:03\"}");
    device.setInterfaces({});
    EXPECT_EQ(MVOMSAHelper::getInstance()->fetchSSIDInfo(), "{\"ss\":\"Not Found\",\"bs\":\"Not Found\"}");

    // Before 6.0 there is no vendor identifier; without any version, "unknown".
    device.setSystemVersion("5.1.1");
    device.setScreenAnswersScale(false);
    useBundleInfo(ns::Value::dictionary({{"CFBundleIdentifier", ns::Value("org.velmarsh")}}));
    MVOMSAHelper::resetForTesting();
    env = MVOMSAHelper::getInstance()->getEnv();
    EXPECT_FALSE(env.ifv);
    EXPECT_EQ(env.resolution, "320x568");
    EXPECT_EQ(env.app_version, "unknown");
}

TEST_F(ReporterUtilTest, TheCompanyDomainNamesTheSharedPasteboardAndKeychainItem) {
    for (auto [identifier, domain] : {std::pair{"gov.velmarsh.kestrowline", "gov.velmarsh"},
                                      std::pair{"velmarsh.app.velmarsh", "velmarsh.app"},
                                      std::pair{"kestrowline", "kestrowline"}}) {
        useBundleInfo(ns::Value::dictionary({{"CFBundleIdentifier", ns::Value(identifier)}}));
        EXPECT_EQ(MVOMSAPasteboard::getCompanyDomain(), domain);
    }
    auto helper = MVOMSAHelper::getInstance();
    EXPECT_EQ(helper->getMid(), "0");
    helper->saveMid("mid-42");
    EXPECT_EQ(helper->getMid(), "mid-42");
    EXPECT_TRUE(ui::Pasteboard::pasteboardWithName("kestrowline", false)->isPersistent());
    EXPECT_EQ(MVOMSAConfig::getInstance()->getCustomProperty("theme", ns::Value("red")), ns::Value("red"));

    // Values of another kind in the item count as missing.
    MVOMSAKeyChain::save("kestrowline", ns::Value::dictionary({{"pstoken", ns::Value(7)}, {"msashareudid", ns::Value(8)}}));
    EXPECT_FALSE(helper->getPSDeviceToken());
    EXPECT_FALSE(MVOMSAHelper::getShareUDID());
}

// The user rule: first seen 0, seen on a later day 1, version changed adds 2;
// every change of type is written with a new tag time.
TEST_F(ReporterUtilTest, TheUserTypeFollowsDaysAndVersions) {
    EXPECT_FALSE(MVOMSAHelper::getInstance()->getUser());  // no store yet
    auto store = useUserStorage();
    auto& loop = ns::RunLoop::main();
    auto helper = MVOMSAHelper::getInstance();
    EXPECT_EQ(helper->getUser()->userType, 0);
    loop.advance(3600);
    EXPECT_EQ(helper->getUser()->userType, 0);
    EXPECT_TRUE(store->writes.empty());

    loop.advance(kDay);
    EXPECT_EQ(helper->getUser()->userType, 1);
    ASSERT_EQ(store->writes.size(), 1u);
    EXPECT_EQ(store->writes[0].tagTime, static_cast<std::uint32_t>(kStart + 3600 + kDay));

    useBundleInfo(ns::Value::dictionary({{"CFBundleIdentifier", ns::Value("gov.velmarsh.kestrowline")},
                                         {"CFBundleShortVersionString", ns::Value("1.1")}}));
    relaunch();
    loop.advance(60);
    MVOMSAUser user = *MVOMSAHelper::getInstance()->getUser();
    EXPECT_EQ(user.userType, 3);
    EXPECT_EQ(user.appVer, "1.1");
    ASSERT_EQ(store->writes.size(), 2u);
    EXPECT_EQ(store->writes[1].tagTime, static_cast<std::uint32_t>(ns::now().seconds));

    useBundleInfo(ns::Value::dictionary({{"CFBundleIdentifier", ns::Value("gov.velmarsh.kestrowline")},
                                         {"CFBundleShortVersionString", ns::Value("1.2")}}));
    relaunch();
    EXPECT_EQ(MVOMSAHelper::getInstance()->getUser()->userType, 3);
    EXPECT_EQ(store->writes.size(), 2u);

    // Only the day of the year counts: a year on (2025-01-15 after 2024-01-15) is the same day.
    store->row->userType = 0;
    store->row->appVer = "1.2";
    store->row->tagTime = static_cast<std::uint32_t>(kStart);
    relaunch();
    ns::RunLoop::useManualClock(ns::Date{kStart + 366 * kDay});
    EXPECT_EQ(MVOMSAHelper::getInstance()->getUser()->userType, 0);
    EXPECT_EQ(store->writes.size(), 2u);
}

TEST_F(ReporterUtilTest, ReachabilityRules) {
    using namespace net;
    constexpr std::uint32_t R = kReachabilityReachable, W = kReachabilityIsWWAN, C = kReachabilityConnectionRequired,
                            T = kReachabilityTransientConnection;
    struct Case {
        std::uint32_t flags;
        bool onWWAN, reachable, viaWWAN, viaWiFi;
        MVOMSAReachability::NetworkStatus status;
        const char* text;
        const char* flagText;
    } cases[] = {
        {R, true, true, false, true, MVOMSAReachability::ReachableViaWiFi, "WiFi", "-R -------"},
        {R | W, true, true, true, false, MVOMSAReachability::ReachableViaWWAN, "Cellular", "WR -------"},
        {R | W, false, false, true, false, MVOMSAReachability::NotReachable, "No Connection", "WR -------"},
        {R | C | T, true, false, false, true, MVOMSAReachability::NotReachable, "No Connection", "-R ct-----"},
        {R | C, true, true, false, true, MVOMSAReachability::ReachableViaWiFi, "WiFi", "-R c------"},
        {0, false, false, false, false, MVOMSAReachability::NotReachable, "No Connection", "-- -------"},
        {0x7003F, true, false, true, false, MVOMSAReachability::NotReachable, "No Connection", "WR ctiCDld"},
    };
    auto r = MVOMSAReachability::reachabilityForInternetConnection();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flagText);
        Reachability::setFlags(c.flags);
        r->setReachableOnWWAN(c.onWWAN);
        EXPECT_EQ(r->isReachable(), c.reachable);
        EXPECT_EQ(r->isReachableViaWWAN(), c.viaWWAN);
        EXPECT_EQ(r->isReachableViaWiFi(), c.viaWiFi);
        EXPECT_EQ(r->currentReachabilityStatus(), c.status);
        EXPECT_EQ(r->currentReachabilityString(), c.text);
        EXPECT_EQ(r->currentReachabilityFlags(), c.flagText);
    }
    Reachability::setFlags(C | kReachabilityConnectionOnTraffic);
    EXPECT_TRUE(r->isConnectionOnDemand());
    EXPECT_FALSE(r->isInterventionRequired());
    Reachability::setFlags(C | kReachabilityInterventionRequired);
    EXPECT_TRUE(r->isInterventionRequired());

    // Flags that cannot be read answer NO and 0.
    Reachability::setFlags(R);
    ReachabilityTarget::setFlagsReadableForTesting(false);
    EXPECT_FALSE(r->isReachable());
    EXPECT_EQ(r->reachabilityFlags(), 0u);

    EXPECT_TRUE(MVOMSAReachability::reachabilityForLocalWiFi());
    EXPECT_TRUE(MVOMSAReachability::reachabilityWithHostname("stat.velmarsh.gov"));
    for (const char* bad : {"", "two words", "-lead.example", "a..b"})
        EXPECT_FALSE(MVOMSAReachability::reachabilityWithHostname(bad)) << bad;
}

TEST_F(ReporterUtilTest, TheNotifierCallsItsBlocksOnItsQueueAndPostsOnTheMainThread) {
    net::Reachability::setFlags(net::kReachabilityReachable);
    std::mutex mutex;
    std::string calls;  // "R" reachable, "U" unreachable, "m" on the main thread
    auto record = [&](char what) {
        return [&, what](const MVOMSAReachabilityPtr&) {
            std::lock_guard lock(mutex);
            calls += ns::isMainThread() ? 'm' : what;
        };
    };
    auto r = MVOMSAReachability::reachabilityWithHostname("stat.velmarsh.gov");
    r->setReachableBlock(record('R'));
    r->setUnreachableBlock(record('U'));
    int posts = 0;
    auto observer = std::make_shared<int>(0);
    ns::NotificationCenter::defaultCenter().addObserver(
        observer, ns::kReachabilityChangedNotification, [&](const ns::Notification& n) {
            EXPECT_TRUE(ns::isMainThread());
            EXPECT_EQ(n.objectAs<MVOMSAReachability>(), r.get());
            ++posts;
        });
    ASSERT_TRUE(r->startNotifier());
    EXPECT_EQ(r->reachabilityObject(), r);

    net::Reachability::setFlags(0);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return posts == 1; }, 10));
    net::Reachability::setFlags(net::kReachabilityReachable | net::kReachabilityIsWWAN);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return posts == 2; }, 10));
    EXPECT_EQ(calls, "UR");  // each block ran before its post was handed to the main queue

    r->stopNotifier();
    EXPECT_FALSE(r->reachabilityObject());
    EXPECT_FALSE(r->reachabilitySerialQueue());
    EXPECT_EQ(r.use_count(), 1);
}

}  // namespace
