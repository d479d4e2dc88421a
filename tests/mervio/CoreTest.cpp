// The reporter as registration starts it, against the loopback statistics
// server: the early buffer, sessions, strategies, timed events, and every
// event delivered once through failures, restarts and other threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "foundation/Notification.h"
#include "mervio/reporter/MVOMSADispatcher.h"
#include "mervio/reporter/MVOMSAKeyChain.h"
#include "support/StatReporterTest.h"
#include "uikit/Application.h"

namespace {

using Names = std::vector<std::string>;

class CoreTest : public testsupport::StatReporterTest {
protected:
    static void post(const char* notification) { ns::NotificationCenter::defaultCenter().post(notification); }
    static Names numbered(const std::string& prefix, int from, int to) {
        Names out;
        for (int i = from; i < to; ++i) out.push_back(prefix + std::to_string(i));
        return out;
    }
    static Names join(std::initializer_list<Names> parts) {
        Names out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    }
    // Sessions opened: their environment events, stored or sent.
    std::size_t sessions() {
        Names n = join({names(storedEvents()), names(stats.events())});
        return static_cast<std::size_t>(std::count(n.begin(), n.end(), "et2"));
    }
};

TEST_F(CoreTest, EarlyEventsWaitInABufferOf128AndGoFirstInTheirOrder) {
    MVOMSAHelper::getInstance()->setMSAEnableFlag(true);
    for (int i = 0; i < 130; ++i) MVOMSA::trackCustomEvent(std::string("e").append(std::to_string(i)), {});
    start(3);
    EXPECT_TRUE(storedEvents().empty());
    MVOMSA::trackCustomEvent("after", {});
    // The session opened by the first event leads; e127 was the 129th.
    EXPECT_EQ(names(storedEvents()), join({{"et2"}, numbered("e", 0, 127), {"after"}}));
}

TEST_F(CoreTest, ASessionReportsAtMostTheLimitAndANewSessionAllowsAsManyAgain) {
    MVOMSAConfig::getInstance()->setMaxSessionStatReportCount(5);
    start(6);  // stores only: a new session sends nothing, whatever the queues' timing
    for (int i = 0; i < 6; ++i) MVOMSA::trackCustomEvent(std::string("a").append(std::to_string(i)), {});
    MVOMSA::stopSession();
    MVOMSA::startNewSession();
    for (int i = 0; i < 6; ++i) MVOMSA::trackCustomEvent(std::string("b").append(std::to_string(i)), {});
    EXPECT_EQ(names(storedEvents()), join({{"et2"}, numbered("a", 0, 4), {"et2"}, numbered("b", 0, 4)}));
}

TEST_F(CoreTest, EachStrategySendsStoresOrDropsAsTheNetworkAllows) {
    enum Fate { Dropped, Stored, Sent };
    enum Net { Offline, Mobile, WiFi };
    struct Case {
        std::int32_t strategy;
        Net net;
        bool smart;
        Fate fate;
        bool realTime = false;
    } cases[] = {
        {7, Mobile, false, Dropped}, {7, WiFi, false, Sent},   {4, Mobile, true, Stored}, {4, WiFi, false, Sent},
        {3, WiFi, true, Sent},       {3, WiFi, false, Stored}, {2, Mobile, true, Stored}, {6, Mobile, true, Stored},
        {1, Mobile, true, Sent},     {8, Mobile, false, Dropped},
        // Unreachable: everything waits in the store, but strategy 7 drops what it cannot send on Wi-Fi.
        {1, Offline, true, Stored},  {3, Offline, true, Stored}, {4, Offline, true, Stored},
        {5, Offline, true, Stored},  {7, Offline, true, Dropped}, {3, Offline, true, Stored, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "strategy " << c.strategy << (c.net == WiFi ? " on Wi-Fi" : "")
                                        << (c.net == Offline ? " offline" : "") << (c.smart ? " smart" : "")
                                        << (c.realTime ? " real time" : ""));
        startAfresh();
        if (c.net == WiFi)
            useWiFi();
        else if (c.net == Mobile)
            useMobileNetwork();
        else
            net::Reachability::setFlags(0);
        MVOMSAConfig::getInstance()->setSmartReporting(c.smart);
        start(c.strategy);
        MVOMSA::trackCustomEvent("x", {}, std::nullopt, c.realTime);
        Names stored = names(storedEvents()), sent = names(stats.events());
        EXPECT_EQ(std::count(stored.begin(), stored.end(), "x"), c.fate == Stored);
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "x"), c.fate == Sent);
    }
}

TEST_F(CoreTest, UnderStrategy5StoredEventsGoOnceThePeriodHasPassed) {
    start(5);
    MVOMSA::trackCustomEvent("a", {});
    advance(1439 * 60);  // past midnight: a new session
    MVOMSA::trackCustomEvent("b", {});
    EXPECT_EQ(names(storedEvents()), (Names{"et2", "a", "et2", "b"}));
    EXPECT_EQ(stats.eventCount(), 0u);
    advance(60);
    MVOMSA::trackCustomEvent("c", {});
    ASSERT_TRUE(received(5));
    EXPECT_TRUE(storedEvents().empty());
}

TEST_F(CoreTest, SessionsEndAfter30SilentSecondsAndAtMidnight) {
    start(3);
    struct Step {
        double after;
        const char* notification;
        std::size_t sessions;
    } steps[] = {
        {29, ns::UIApplicationDidBecomeActiveNotification, 1},
        {29, ns::UIApplicationWillEnterForegroundNotification, 1},
        {30, ns::UIApplicationDidBecomeActiveNotification, 2},
        {60, ns::UIApplicationWillResignActiveNotification, 2},  // no time-out test
        {14 * 3600 - 148 - 10, ns::UIApplicationDidEnterBackgroundNotification, 2},  // 23:59:50
        {15, ns::UIApplicationDidEnterBackgroundNotification, 3},                     // 00:00:05
    };
    for (const Step& step : steps) {
        advance(step.after);
        post(step.notification);
        EXPECT_EQ(sessions(), step.sessions) << step.notification << " after " << step.after;
    }
}

TEST_F(CoreTest, KeysPileUpAndStartingNeedsAKeyAndAKnownSDKVersion) {
    MSAMV::startWithAppkey(std::nullopt);
    EXPECT_FALSE(MVOMSAConfig::getInstance()->appkey());
    MVOMSA::startWithAppkey("key1");
    MVOMSA::startWithAppkey("");
    EXPECT_TRUE(MVOMSA::startWithAppkey("key2", "1.4.6"));
    EXPECT_EQ(MVOMSAConfig::getInstance()->appkey(), "key1|key2");
    EXPECT_FALSE(MVOMSA::startWithAppkey("key3", "1.4.10"));
    EXPECT_FALSE(MVOMSAConfig::getInstance()->statEnable());
    EXPECT_EQ(MSAMV::ConvertMVappkey(std::string(kAppId)), std::string("IMVOP") + kAppId);
}

TEST_F(CoreTest, TimedEventsMeasureFromTheirFirstBeginAndEndOnce) {
    start(3);
    ns::Value args = ns::Value::array({ns::Value(1), ns::Value("a")});
    ns::Value props = ns::Value::dictionary({{"k", ns::Value("v")}});
    EXPECT_EQ(MVOMSATimingKeyForArgs("t", args), "t[1a");
    EXPECT_EQ(MVOMSATimingKeyForProps("t", props), "t{kv");

    MVOMSA::trackCustomEventBegin("quick", args);
    MVOMSA::trackCustomEventEnd("quick", args);  // the same second counts 1
    MVOMSA::trackCustomEventEnd("quick", args);  // no longer open
    MVOMSA::trackCustomEventEnd("never", args);
    MVOMSA::trackCustomKeyValueEventBegin("kv", props);
    advance(5);
    MVOMSA::trackCustomKeyValueEventBegin("kv", props);  // the first start stays
    advance(5);
    MVOMSA::trackCustomKeyValueEventEnd("kv", ns::Value::dictionary({{"k", ns::Value("other")}}));
    MVOMSA::trackCustomKeyValueEventEnd("kv", props);
    MVOMSA::trackPageViewBegin("home");
    advance(3);
    MVOMSA::trackPageViewEnd("home");
    MVOMSA::trackPageViewBegin("home");
    MVOMSA::trackPageViewEnd("home");

    auto rows = storedEvents();
    ASSERT_EQ(names(rows), (Names{"et2", "quick", "kv", "et1", "et1"}));
    EXPECT_EQ(rows[1].event["du"].intValue(), 1);
    EXPECT_EQ(JSONRepresentation(rows[1].event["ar"]), R"([1,"a"])");
    EXPECT_EQ(rows[2].event["du"].intValue(), 10);
    EXPECT_EQ(rows[2].event["kv"]["k"].str(), "v");
    EXPECT_EQ(rows[3].event["du"].intValue(), 3);
    EXPECT_FALSE(rows[3].event.has("rf"));
    EXPECT_EQ(rows[4].event["rf"].str(), "-");
}

// What registration will do: start, report under strategies 1, 3 and 5 off
// Wi-Fi, go to the background, terminate.
TEST_F(CoreTest, EveryEventReachesTheServerExactlyOnceAndNoStatementCarriesAValue) {
    std::mutex mutex;
    std::set<std::string> statements;
    std::size_t runs = 0;
    mvomsa::setStatementTraceForTesting([&](const std::string& sql) {
        std::lock_guard lock(mutex);
        statements.insert(sql);
        ++runs;
    });
    MVOMSAKeyChain::save(MVOMSAPasteboard::getCompanyDomain(), ns::Value::dictionary({{"pstoken", ns::Value("tok'1")}}));
    stats.answerOnce({.body = R"({"ret":0,"cfg":{"2":{"c":{"k":"v"},"v":1,"m":"'"}}})"});
    auto& app = ui::Application::sharedApplication();

    start(1);
    MVOMSA::trackCustomEvent("s1a", {});
    MVOMSA::trackCustomKeyValueEvent("s1b", ns::Value::dictionary({{"quote", ns::Value("it's")}}));
    MVOMSAConfig::getInstance()->setReportStrategy(3);
    MVOMSA::trackCustomEvent("s3a", {});
    MVOMSA::trackCustomEvent("s3b", {});
    app.resignActive();
    advance(31);
    app.becomeActive();  // back after 31 s: a new session, and the stored events go
    MVOMSAConfig::getInstance()->setReportStrategy(5);
    MVOMSA::trackCustomEvent("s5a", {});
    advance(1440 * 60);
    MVOMSA::trackCustomEvent("s5b", {});  // the period has passed: everything stored goes
    MSAMV::onBackground();
    app.enterBackground();
    app.terminate();

    settle();
    std::vector<ns::Value> events = stats.events();
    std::vector<long long> indices;
    for (const auto& e : events) indices.push_back(e["idx"].integerValue());
    std::sort(indices.begin(), indices.end());
    ASSERT_FALSE(indices.empty());
    for (std::size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], static_cast<long long>(i + 1));
    EXPECT_TRUE(storedEvents().empty());
    Names sent = names(events);
    for (const char* name : {"s1a", "s1b", "s3a", "s3b", "s5a", "s5b", MSAMV::kBackgroundEvent})
        EXPECT_EQ(std::count(sent.begin(), sent.end(), name), 1) << name;
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "et2"), 3);
    // The background event carries the SDK's key itself, the others the key
    // the start configured: the same one here.
    for (const auto& e : events) {
        EXPECT_EQ(e["mid"].str(), "tok'1");
        EXPECT_EQ(e["ky"].str(), std::string("IMVOP") + kAppId) << e.description();
    }
    EXPECT_EQ(MVOMSAKeyChain::load(MVOMSAEvent::kIndexKeychainKey).integerValue(), indices.back());

    std::lock_guard lock(mutex);
    EXPECT_GT(runs, statements.size() * 2);
    for (std::string sql : statements) {
        for (std::size_t at; (at = sql.find("md5")) != std::string::npos || (at = sql.find("MD5")) != std::string::npos;)
            sql.erase(at, 3);
        EXPECT_EQ(sql.find_first_of("0123456789'"), std::string::npos) << sql;
    }
}

TEST_F(CoreTest, EventsWaitWhileTheServerIsDownAndGoAtTheNextStart) {
    MVOMSAConfig::getInstance()->setStatReportURL(LoopbackService::refusedURL());
    start(1);
    MVOMSA::trackCustomEvent("a", {});
    auto rows = storedEvents();
    ASSERT_EQ(names(rows), (Names{"et2", "a"}));
    for (const auto& row : rows) EXPECT_LT(row.sendCount, 3u);

    relaunch();
    pointAtServer();
    start(3);  // the new session's event may go with them or wait
    settle();
    std::vector<ns::Value> events = stats.events();
    Names sent = names(events), all = join({sent, names(storedEvents())});
    EXPECT_EQ(std::multiset<std::string>(all.begin(), all.end()), (std::multiset<std::string>{"a", "et2", "et2"}));
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "a"), 1);
    long long firstSession = rows[0].event["si"].integerValue();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [&](const ns::Value& e) {
        return e["et"].intValue() == 2 && e["si"].integerValue() == firstSession;
    }));
}

TEST_F(CoreTest, EventsFromTheMainThreadWhileUploadsAndASpeedTestRun) {
    stats.answer({.body = R"({"ret":0,"cfg":{"1":{"c":{"__MSA_TEST_SPEED__":"127.0.0.1,)" +
                          std::to_string(server.port()) + R"("},"v":1,"m":""}}})"});
    start(1);
    for (int i = 0; i < 200; ++i) {
        MVOMSA::trackCustomEvent(std::string("c").append(std::to_string(i)), {});
        if (i % 50 == 0) post(ns::UIApplicationDidBecomeActiveNotification);
    }
    settle();
    MVOMSAStore::getInstance()->launch();  // counts the speed test's event in
    MVOMSA::commitCachedStats(-1);
    settle();
    Names sent = names(stats.events());
    for (const std::string& name : numbered("c", 0, 200)) EXPECT_EQ(std::count(sent.begin(), sent.end(), name), 1) << name;
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "et1004"), 1);
    EXPECT_TRUE(storedEvents().empty());
}

TEST_F(CoreTest, UnderStrategy2StoredEventsGoInABatchOnceTheThresholdIsReached) {
    MVOMSAConfig::getInstance()->setMinBatchReportCount(3);
    start(2);
    MVOMSA::trackCustomEvent("a", {});
    EXPECT_EQ(names(storedEvents()), (Names{"et2", "a"}));
    EXPECT_EQ(stats.eventCount(), 0u);
    MVOMSA::trackCustomEvent("b", {});  // the third waiting event
    ASSERT_TRUE(received(3));
    EXPECT_EQ(stats.uploads().size(), 1u);
    EXPECT_EQ(names(stats.events()), (Names{"et2", "a", "b"}));
    MVOMSA::trackCustomEvent("c", {});
    EXPECT_EQ(names(storedEvents()), (Names{"c"}));
    EXPECT_EQ(stats.eventCount(), 3u);
}

TEST_F(CoreTest, EachTrackingOperationReportsItsEventAndNothingWithoutItsArgument) {
    start(3);
    const long long session = storedEvents().at(0).event["si"].integerValue();
    const ns::Value props = ns::Value::dictionary({{"chapter", ns::Value("2")}});
    struct Case {
        const char* name;
        std::function<void()> track;
        std::optional<std::string> reported;  // the event's name; none: nothing reported
        std::function<void(const ns::Value&)> check;
    } cases[] = {
        {"no exception", [] { MVOMSA::trackException(std::nullopt); }, std::nullopt, nullptr},
        {"exception",
         [] {
             MVOMSA::trackException(MVOMSAException{"NSRangeException: index 5 beyond bounds",
                                                    ns::Value::array({ns::Value("0 CoreFoundation"), ns::Value("1 main")})});
         },
         "et3",
         [&](const ns::Value& e) {
             EXPECT_EQ(e["ea"].intValue(), 1);
             EXPECT_EQ(e["er"].str().rfind("NSRangeException: index 5 beyond bounds\n", 0), 0u) << e["er"].str();
             EXPECT_NE(e["er"].str().find("1 main"), std::string::npos);
             EXPECT_NE(e["si"].integerValue(), session);  // a fresh id, not the session's
         }},
        {"empty error", [] { MVOMSA::trackError(""); }, std::nullopt, nullptr},
        {"error", [] { MVOMSA::trackError("disk full"); }, "et3",
         [&](const ns::Value& e) {
             EXPECT_EQ(e["ea"].intValue(), 0);
             EXPECT_EQ(e["er"].str(), "disk full");
             EXPECT_EQ(e["si"].integerValue(), session);
         }},
        {"no monitor record", [] { MVOMSA::reportAppMonitorStat(std::nullopt); }, std::nullopt, nullptr},
        {"monitor record without interface", [] { MVOMSA::reportAppMonitorStat(MVOMSAAppMonitorStat{}); }, std::nullopt,
         nullptr},
        {"monitor", [] { MVOMSA::reportAppMonitorStat(MVOMSAAppMonitorStat{"GetArticleList", 120, 4096, 87, -2, 1, 0}); },
         "et1002",
         [&](const ns::Value& e) {
             EXPECT_EQ(e["na"].str(), "GetArticleList");
             EXPECT_EQ(e["tm"].integerValue(), 87);
             EXPECT_EQ(e["rc"].intValue(), -2);
             EXPECT_EQ(e["sp"].intValue(), 1);
             EXPECT_EQ(e["si"].integerValue(), session);
         }},
        {"no game user", [] { MVOMSA::trackGameUser(std::nullopt, "north", "12"); }, std::nullopt, nullptr},
        {"game user", [] { MVOMSA::trackGameUser(std::string("u7"), "north", "12"); }, "et1003",
         [&](const ns::Value& e) {
             EXPECT_EQ(e["gid"].str(), "u7");
             EXPECT_EQ(e["wod"].str(), "north");
             EXPECT_EQ(e["lev"].str(), "12");
         }},
        {"duration 0", [&] { MVOMSA::trackCustomKeyValueEventDuration(0, "read", props); }, std::nullopt, nullptr},
        {"duration without id", [&] { MVOMSA::trackCustomKeyValueEventDuration(5, "", props); }, std::nullopt, nullptr},
        {"duration", [&] { MVOMSA::trackCustomKeyValueEventDuration(7, "read", props); }, "read",
         [&](const ns::Value& e) {
             EXPECT_EQ(e["du"].intValue(), 7);
             EXPECT_EQ(e["kv"]["chapter"].str(), "2");
             EXPECT_EQ(e["si"].integerValue(), session);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t before = storedEvents().size();
        c.track();
        auto rows = storedEvents();
        if (!c.reported) {
            EXPECT_EQ(rows.size(), before);
            continue;
        }
        ASSERT_EQ(rows.size(), before + 1);
        EXPECT_EQ(names(std::vector<ns::Value>{rows.back().event}), Names{*c.reported});
        if (c.check) c.check(rows.back().event);
    }
}

TEST_F(CoreTest, YMAndAccountAreReportedAtOnceAndTheYMNumberTravelsWithErrors) {
    start(3);
    MVOMSA::reportYM("ym-1");
    settle();  // an event's text is written when it is stored, with the settings of that moment
    MVOMSA::trackCustomEvent("x", {});  // the addition event went already in this process
    MVOMSA::reportYM("ym-2");           // and goes again all the same
    MVOMSA::reportAccount("alice", 300, "gold");  // the type kept as a signed 8-bit value
    MVOMSA::trackError("boom");
    auto rows = storedEvents();
    ASSERT_EQ(names(rows), (Names{"et2", "et1001", "x", "et1001", "et1001", "et3"}));
    EXPECT_EQ(rows[1].event["ym"].str(), "ym-1");
    EXPECT_FALSE(rows[1].event.has("acc"));
    EXPECT_EQ(rows[3].event["ym"].str(), "ym-2");
    const ns::Value& account = rows[4].event;
    EXPECT_EQ(account["ym"].str(), "alice");
    EXPECT_EQ(account["acc"]["a"].str(), "alice");
    EXPECT_EQ(account["acc"]["t"].intValue(), 44);
    EXPECT_EQ(account["acc"]["e"].str(), "gold");
    EXPECT_EQ(JSONValue(rows[5].event["errkv"].str())["ym"].str(), "ym-2");  // the YM number over the account
}

TEST_F(CoreTest, TheServersKillSwitchStopsTrackingButNotSessionsAndHibernatingStopsBoth) {
    struct Case {
        const char* content;
        Names sent;
    } cases[] = {
        {R"({"__MSA_KILL__":{"sv":"1.4.6"}})", {"et2", "et1", "et2"}},
        {R"({"__HIBERNATE__":"1.4.6"})", {"et2"}},
        {R"({"__MSA_KILL__":{"sv":"1.4.5"}})", {"et2", "x", "et1", "et1", "et2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        startAfresh();
        stats.answerOnce({.body = std::string(R"({"ret":0,"cfg":{"1":{"c":)") + c.content + R"(,"v":1,"m":""}}})"});
        start(1);
        ASSERT_TRUE(received(1));  // the session's event, whose reply brings the configuration
        MVOMSA::trackCustomEvent("x", {});
        MVOMSA::trackPageViewBegin("guarded");
        MVOMSA::trackPageViewEnd("guarded");
        MVOMSA::trackDirectPageViewBegin("direct");
        advance(2);
        MVOMSA::trackDirectPageViewEnd("direct");
        MVOMSA::stopSession();
        MVOMSA::startNewSession();
        settle();
        EXPECT_EQ(names(stats.events()), c.sent);
        EXPECT_TRUE(storedEvents().empty());
    }
}

TEST_F(CoreTest, TheCurrentPageClosesOnResigningActiveAndReopensOnBecomingActive) {
    start(6);  // stores only: the new session sends nothing
    MVOMSA::trackPageViewBegin("home");
    advance(4);
    post(ns::UIApplicationWillResignActiveNotification);
    advance(100);
    post(ns::UIApplicationDidBecomeActiveNotification);  // a new session, and the page open again
    advance(6);
    MVOMSA::trackPageViewEnd("home");
    post(ns::UIApplicationWillResignActiveNotification);  // no page open: nothing more
    auto rows = storedEvents();
    ASSERT_EQ(names(rows), (Names{"et2", "et1", "et2", "et1"}));
    EXPECT_EQ(rows[1].event["pi"].str(), "home");
    EXPECT_EQ(rows[1].event["du"].intValue(), 4);
    EXPECT_EQ(rows[3].event["pi"].str(), "home");
    EXPECT_EQ(rows[3].event["du"].intValue(), 6);
    EXPECT_EQ(rows[3].event["rf"].str(), "-");
    EXPECT_EQ(rows[3].event["si"].integerValue(), rows[2].event["si"].integerValue());
    EXPECT_FALSE(MVOMSA::getInstance()->msaCurrentPage());
}

// Without a server that answers, each upload of the stored events counts
// against them: at the start, and when the program goes to the background.
TEST_F(CoreTest, WhileTheServerIsDownStoredEventsAreGivenUpAtTheirThirdFailedUpload) {
    struct Launch {
        Names stored;
        std::vector<std::uint32_t> sendCounts;
    } launches[] = {
        {{"et2", "a", MSAMV::kBackgroundEvent}, {1, 1, 1}},
        // Sent again at the start (2), and with the background event (3): given up.
        {{"et2", MSAMV::kBackgroundEvent}, {1, 1}},
    };
    for (const Launch& launch : launches) {
        relaunch();
        MVOMSAConfig::getInstance()->setStatReportURL(LoopbackService::refusedURL());
        start(3);
        settle();
        if (&launch == &launches[0]) MVOMSA::trackCustomEvent("a", {});
        settle();
        MSAMV::onBackground();
        auto rows = storedEvents();
        EXPECT_EQ(names(rows), launch.stored);
        std::vector<std::uint32_t> counts;
        for (const auto& row : rows) counts.push_back(row.sendCount);
        EXPECT_EQ(counts, launch.sendCounts);
    }
    EXPECT_EQ(stats.eventCount(), 0u);
}

}  // namespace

namespace {

// The program's end while the statistics server has taken an upload and
// never answers: the end does not wait out the upload's time-out. The upload
// is stopped and its events stay stored, with no failure counted against
// them; the event sent alone behind it goes back to the store; the next
// start sends them all.
TEST_F(CoreTest, AtTheEndAnUploadTheServerDoesNotAnswerIsStoppedAndItsEventsGoAtTheNextStart) {
    start(3);
    MVOMSA::trackCustomEvent("a", {});
    ASSERT_EQ(names(storedEvents()), (Names{"et2", "a"}));
    server.serve(StatReportReceiver::kPath, SoapServer::held());
    MVOMSA::commitCachedStats(-1);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return server.count() == 1; }, 20));
    MSAMV::onBackground();  // sent at once, behind the batch
    MVOMSA::finishBeforeExit();

    relaunch();
    auto rows = storedEvents();
    EXPECT_EQ(names(rows), (Names{"et2", "a", MSAMV::kBackgroundEvent}));
    for (const auto& row : rows) EXPECT_EQ(row.sendCount, 0u) << row.event.description();

    server.release();
    StatReportReceiver next(server);
    pointAtServer();
    start(3);
    auto sent = [&] {
        Names n = names(next.events());
        return std::count(n.begin(), n.end(), "a") == 1 && std::count(n.begin(), n.end(), MSAMV::kBackgroundEvent) == 1;
    };
    EXPECT_TRUE(ns::RunLoop::main().runUntil(sent, 20)) << next.eventCount();
    settle();
}

// The program's end while the speed test the server ordered waits on a
// server that never answers: the end does not wait for it, and the test
// leaves no result behind.
TEST_F(CoreTest, AtTheEndASpeedTestTowardAServerThatNeverAnswersIsStopped) {
    SoapServer::SilentPort silent;
    stats.answer({.body = R"({"ret":0,"cfg":{"1":{"c":{"__MSA_TEST_SPEED__":"127.0.0.1,)" +
                          std::to_string(silent.port()) + R"("},"v":1,"m":""}}})"});
    std::atomic<bool> looked{false};
    MVOMSADispatcher::setLookupForTesting(
        [&looked](const std::string&) -> std::optional<std::string> {
            looked = true;
            return "127.0.0.1";
        },
        MVOMSADispatcher::kResolveLimitSeconds);
    start(1);
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return looked.load(); }, 20));

    std::atomic<bool> finished{false};
    std::thread end([&] {
        MVOMSA::finishBeforeExit();
        finished = true;
    });
    // Without the stop, the connection would wait out the time-out.
    EXPECT_TRUE(ns::RunLoop::main().runUntil([&] { return finished.load(); }, 5));
    end.join();

    relaunch();
    Names stored = names(storedEvents());
    EXPECT_EQ(std::count(stored.begin(), stored.end(), "et1004"), 0);
    EXPECT_FALSE(MVOMSAConfig::getInstance()->settings().sp);
}

}  // namespace
