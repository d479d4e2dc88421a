// Statistics events: their numbering across launches and threads, and the
// JSON text of every kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "mervio/reporter/MVOMSAKeyChain.h"
#include "service/JSON.h"
#include "support/ReporterTest.h"

namespace {

class EventTest : public testsupport::ReporterTest {
protected:
    void SetUp() override {
        ReporterTest::SetUp();
        useUserStorage();
        net::Reachability::setFlags(net::kReachabilityReachable);
        MVOMSAConfig::getInstance()->setAppkey("IMVOPmv5c3e");
    }

    static ns::Value json(MVOMSAEvent& event) {
        ns::Value v = JSONValue(event.toJsonString());
        EXPECT_TRUE(v.isDictionary()) << event.toJsonString();
        return v;
    }

    // An event of kind T, filled in.
    template <typename T>
    static std::shared_ptr<MVOMSAEvent> made(const std::function<void(T&)>& fill = {}) {
        auto event = std::make_shared<T>();
        if (fill) fill(*event);
        return event;
    }

    static std::set<std::string> keys(const ns::Value& dict) {
        std::vector<std::string> k = dict.keys();
        return {k.begin(), k.end()};
    }
};

TEST_F(EventTest, IndicesContinueFromTheSavedOnePlusAHundred) {
    struct Case {
        ns::Value saved;
        std::uint64_t first;
    } cases[] = {{{}, 1}, {ns::Value(57), 158}, {ns::Value(1), 1}, {ns::Value("57"), 158}, {ns::Value(true), 1},
                 {ns::Value::array({ns::Value(57)}), 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.saved.description());
        if (c.saved.isNil())
            MVOMSAKeyChain::delete_(MVOMSAEvent::kIndexKeychainKey);
        else
            MVOMSAKeyChain::save(MVOMSAEvent::kIndexKeychainKey, c.saved);
        relaunch();
        EXPECT_EQ(MVOMSAEvent().eventIndex, c.first);
        EXPECT_EQ(MVOMSAEvent().eventIndex, c.first + 1);
        EXPECT_EQ(MVOMSAHelper::currentIndex(), c.first + 1);
    }

    constexpr std::uint64_t kLast = 9223372036854775807ull - 10000ull;
    MVOMSAHelper::setCurrentIndex(kLast);
    EXPECT_EQ(MVOMSAEvent().eventIndex, kLast + 1);
    EXPECT_EQ(MVOMSAEvent().eventIndex, 1u);
    MVOMSAHelper::setCurrentIndex(0);
    EXPECT_EQ(MVOMSAHelper::currentIndex(), 1u);
}

TEST_F(EventTest, EventsMadeOnFourThreadsAtOnceAreNumberedApart) {
    constexpr int kThreads = 4, kEach = 250;
    std::mutex mutex;
    std::vector<std::uint64_t> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            std::vector<std::uint64_t> mine;
            for (int i = 0; i < kEach; ++i) {
                MVOMSACustomEvent event;
                mine.push_back(json(event)["idx"].unsignedValue());
            }
            std::lock_guard lock(mutex);
            seen.insert(seen.end(), mine.begin(), mine.end());
        });
    }
    for (auto& t : threads) t.join();
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen.size(), std::size_t(kThreads * kEach));
    EXPECT_EQ(seen.back(), std::uint64_t(kThreads * kEach));
}

// Every kind's keys with the settings of a started reporter (appkey set,
// channel "appstore") on a device reached over Wi-Fi.
TEST_F(EventTest, EveryKindWritesItsKeys) {
    const std::set<std::string> common = {"idx", "ts", "si", "sv", "ut", "ch", "av", "mc", "ui", "mid", "ifv", "et", "ky"};
    auto with = [&](std::set<std::string> extra) {
        extra.insert(common.begin(), common.end());
        return extra;
    };
    struct Case {
        const char* name;
        std::shared_ptr<MVOMSAEvent> event;
        int type;
        std::set<std::string> keys;
    } cases[] = {
        {"page view", made<MVOMSAPageView>([](auto& e) { e.page = "首页"; e.refer = "登录"; }), 1, with({"pi", "du", "rf"})},
        {"session", made<MVOMSASessionEnv>(), 2, {"idx", "ts", "si", "ut", "mc", "ui", "mid", "ifv", "et", "ky", "ev", "cfg"}},
        {"error", made<MVOMSAErrorEvent>([](auto& e) { e.error = "boom"; }), 3, with({"er", "ea", "errkv"})},
        {"custom", made<MVOMSACustomEvent>([](auto& e) { e.eventID = "onBackground_MV"; }), 1000, with({"ei"})},
        {"custom with all", made<MVOMSACustomEvent>([](auto& e) {
             e.eventID = "share";
             e.args = ns::Value::array({ns::Value("friends")});
             e.duration = 4;
             e.kvs = ns::Value::dictionary({{"to", ns::Value("group")}});
         }), 1000, with({"ei", "ar", "kv", "du"})},
        {"addition", made<MVOMSAAdditionEvent>(), 1001, common},
        {"account", made<MVOMSAAccountEvent>(), 1001, with({"acc"})},
        {"monitor", made<MVOMSAMonitorStatEvent>([](auto& e) { e.stat = MVOMSAAppMonitorStat{"GetNewsList", 120, 4096, 87, 0, 1, 0}; }),
         1002, with({"na", "rq", "rp", "tm", "rc", "sp", "rt", "cn"})},
        {"monitor without interface", made<MVOMSAMonitorStatEvent>([](auto& e) { e.stat = MVOMSAAppMonitorStat{}; }), 1002, common},
        {"game user", made<MVOMSAGameUserEvent>([](auto& e) { e.uid = "u1"; e.level = "3"; }), 1003, with({"gid", "lev"})},
        {"speed test", made<MVOMSATestSpeedEvent>([](auto& e) { e.sp = "[]"; e.op = "46001"; e.cn = "WIFI"; }), 1004,
         with({"sp", "op", "cn"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ns::Value v = json(*c.event);
        EXPECT_EQ(keys(v), c.keys);
        EXPECT_EQ(v["et"].integerValue(), c.type);
        EXPECT_EQ(v["mid"].str(), "none");
        EXPECT_EQ(v["ky"].str(), "IMVOPmv5c3e");
    }

    MVOMSASessionEnv session;
    ns::Value ev = json(session)["ev"];
    EXPECT_EQ(keys(ev), (std::set<std::string>{"pl", "tz", "ov", "av", "os", "sv", "sr", "md", "mf", "wf", "ch", "cn"}));
    EXPECT_EQ(ev["cn"].str(), "WIFI");
    EXPECT_EQ(ev["os"].integerValue(), 2);
    EXPECT_EQ(ev["sv"].str(), "1.4.6");
    EXPECT_EQ(JSONRepresentation(json(session)["cfg"]), "{\"1\":{},\"2\":{}}");

    MVOMSAErrorEvent error;
    error.error = "boom";
    error.availableMemory = "512MB";
    EXPECT_EQ(keys(JSONValue(json(error)["errkv"].str())),
              (std::set<std::string>{"pl", "tz", "ov", "av", "os", "sv", "sr", "md", "mf", "ch", "cn", "ui", "fram"}));
    EXPECT_EQ(JSONValue(json(error)["errkv"].str())["fram"].integerValue(), 512);
}

TEST_F(EventTest, ValuesThatFollowTheirOwnRules) {
    auto config = MVOMSAConfig::getInstance();
    config->setAccount("zhang.san");
    config->setYm("YM-2041");

    MVOMSAErrorEvent error;
    std::string text;
    for (int i = 0; i < 150; ++i) text += "line " + std::to_string(i) + "\n";
    error.error = text;
    ns::Value e = json(error);
    EXPECT_EQ(std::count(e["er"].str().begin(), e["er"].str().end(), '\n'), 99);
    EXPECT_EQ(JSONValue(e["errkv"].str())["ym"].str(), "YM-2041");

    MVOMSAAccountEvent account;
    ns::Value a = json(account);
    EXPECT_EQ(a["ym"].str(), "zhang.san");
    EXPECT_EQ(a["acc"]["a"].str(), "zhang.san");

    MVOMSAPageView first, again;
    first.page = "首页";
    EXPECT_FALSE(json(first).has("rf"));
    again.page = again.refer = "首页";
    EXPECT_EQ(json(again)["rf"].str(), "-");
    EXPECT_EQ(again.refer, "-");

    MVOMSAMonitorStatEvent monitor;
    monitor.stat = MVOMSAAppMonitorStat{"GetNewsList", 1, 2, 18446744073709551615ull, -3, 1, 0};
    std::string monitorText = monitor.toJsonString();
    EXPECT_NE(monitorText.find("\"tm\":18446744073709551615"), std::string::npos) << monitorText;
    EXPECT_NE(monitorText.find("\"rc\":-3"), std::string::npos);
    EXPECT_EQ(JSONValue(monitorText)["sp"].integerValue(), 1);
    EXPECT_EQ(monitor.stat->sampling, 1u);

    // "du" is signed in a custom event and unsigned in a page view.
    MVOMSACustomEvent custom;
    custom.duration = 4294967295u;
    MVOMSAPageView page;
    page.page = "p";
    page.duration = 4294967295u;
    EXPECT_NE(custom.toJsonString().find("\"du\":-1"), std::string::npos);
    EXPECT_NE(page.toJsonString().find("\"du\":4294967295"), std::string::npos);

    // The network kind, and "mid" from the push token.
    config->setPushDeviceToken("push-7f3a");
    net::Reachability::setFlags(net::kReachabilityReachable | net::kReachabilityIsWWAN);
    MVOMSASessionEnv session;
    ns::Value s = json(session);
    EXPECT_EQ(s["ev"]["cn"].str(), "CellNetwork");
    EXPECT_EQ(s["mid"].str(), "push-7f3a");
    net::Reachability::setFlags(0);
    EXPECT_FALSE(json(session)["ev"].has("cn"));
}

}  // namespace
