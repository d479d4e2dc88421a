// The transport driven by the main run loop: when outcomes come, how many
// exchanges run, cancelling, time-outs on the tests' manual clock, large
// replies read off the main thread, and ending with nothing left running.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ServiceTestSupport.h"
#include "net/Engine.h"

namespace {

using EngineTest = ServiceTest;

HTTPRequestPtr start(const std::string& url, const std::shared_ptr<DeafRecorder>& outcomes, double timeOut = 10) {
    auto r = HTTPRequest::requestWithURL(url);
    r->setDelegate(outcomes);
    r->setTimeOutSeconds(timeOut);
    r->startAsynchronous();
    return r;
}

// Whatever the outcome, it is told on a later turn of the main run loop,
// never inside the call that started the request.
TEST_F(EngineTest, EveryOutcomeComesOnALaterTurn) {
    svc.serve("/ok", LoopbackService::status(200, "ok"));
    const struct {
        const char* name;
        std::string url;
        bool offline;
        const char* outcome;
    } cases[] = {
        {"reply", svc.baseURL() + "/ok", false, "finished 200"},
        {"refused", LoopbackService::refusedURL(), false, "failed 1"},
        {"not http", "ftp://127.0.0.1/x", false, "failed 5"},
        {"network off", svc.baseURL() + "/ok", true, "failed 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.offline)
            net::Reachability::setReachable(false);
        else
            net::Reachability::clearOverride();
        auto outcomes = std::make_shared<DeafRecorder>();
        auto r = start(c.url, outcomes);
        EXPECT_TRUE(outcomes->calls.empty());
        ASSERT_TRUE(runUntil([&] { return !outcomes->calls.empty(); }));
        EXPECT_EQ(outcomes->calls, (std::vector<std::string>{c.outcome}));
    }
}

// Four exchanges at most run on the engine; a cancelled one gives its turn
// to the first waiting; cancelling stops an exchange at once, from the main
// thread or from another.
TEST_F(EngineTest, FourRunAtOnceAndCancellingGivesTheTurnOn) {
    svc.serve("/held", LoopbackService::held(LoopbackService::status(200, "done")));
    auto outcomes = std::make_shared<DeafRecorder>();
    std::vector<HTTPRequestPtr> requests;
    for (int i = 0; i < 6; ++i) requests.push_back(start(svc.baseURL() + "/held", outcomes));
    ASSERT_TRUE(runUntil([&] { return svc.count() == 4; }));
    EXPECT_EQ(net::runningExchanges(), 4u);
    EXPECT_EQ(HTTPRequest::queuedRequestCount(), 6u);

    requests[0]->cancel();  // on the main thread: stopped now
    EXPECT_EQ(HTTPRequest::queuedRequestCount(), 5u);
    ASSERT_TRUE(runUntil([&] { return svc.count() == 5; }));
    EXPECT_EQ(net::runningExchanges(), 4u);

    std::thread([&] { requests[1]->cancel(); }).join();  // from elsewhere: stopped on the next turn
    ASSERT_TRUE(runUntil([&] { return svc.count() == 6; }));
    EXPECT_EQ(net::runningExchanges(), 4u);

    svc.release();
    ASSERT_TRUE(runUntil([&] { return outcomes->calls.size() == 6; }));
    EXPECT_EQ(std::count(outcomes->calls.begin(), outcomes->calls.end(), "failed 4"), 2);
    EXPECT_EQ(std::count(outcomes->calls.begin(), outcomes->calls.end(), "finished 200"), 4);
    EXPECT_EQ(net::runningExchanges(), 0u);
    EXPECT_EQ(net::NetworkActivity::count(), 0);
}

// The time-out and the exchange limit are kept in real time, also while the
// tests drive the program's clock by hand (it does not move here).
TEST_F(EngineTest, TimeOutsKeepRealTimeOnTheManualClock) {
    ns::RunLoop::useManualClock(ns::Date{1420070400});
    svc.serve("/held", LoopbackService::held());
    auto outcomes = std::make_shared<DeafRecorder>();
    auto idle = start(svc.baseURL() + "/held", outcomes, 0.2);
    auto limited = HTTPRequest::requestWithURL(svc.baseURL() + "/held");
    limited->setDelegate(outcomes);
    limited->setExchangeLimitSeconds(0.3);
    limited->startAsynchronous();
    ASSERT_TRUE(runUntil([&] { return outcomes->calls.size() == 2; }));
    EXPECT_EQ(outcomes->calls, (std::vector<std::string>{"failed 2", "failed 2"}));
    EXPECT_NE(limited->error()->localizedDescription().find("limit"), std::string::npos);
    EXPECT_DOUBLE_EQ(ns::now().seconds, 1420070400);
    svc.release();
}

// A reply that could freeze the screen while it is read (256 KB and more)
// is read on the reader thread; a smaller one on the main thread, as soon as
// it is in. Either way the outcome comes on the main thread.
TEST_F(EngineTest, LargeRepliesAreReadOffTheMainThread) {
    for (std::size_t size : {std::size_t{4000}, HTTPRequest::kLargeReplyBytes - 1, HTTPRequest::kLargeReplyBytes,
                             std::size_t{3} * 1024 * 1024}) {
        SCOPED_TRACE(size);
        svc.serve("/reply", LoopbackService::status(200, std::string(size, 'r')));
        auto outcomes = std::make_shared<DeafRecorder>();
        auto r = HTTPRequest::requestWithURL(svc.baseURL() + "/reply");
        std::atomic<int> readOnMain{-1};
        std::atomic<std::size_t> read{0};
        r->setResponseProcessor([&](net::Response& response) {
            readOnMain = ns::isMainThread() ? 1 : 0;
            read = response.body.size();
        });
        r->setDelegate(outcomes);
        r->startAsynchronous();
        ASSERT_TRUE(runUntil([&] { return !outcomes->calls.empty(); }));
        EXPECT_EQ(outcomes->calls, (std::vector<std::string>{"finished 200"}));
        EXPECT_EQ(read.load(), size);
        EXPECT_EQ(readOnMain.load(), size < HTTPRequest::kLargeReplyBytes ? 1 : 0);
        EXPECT_EQ(r->responseData().size(), size);
    }
}

// Ending everything (what the program's exit and every test's reset do)
// while a large reply is being read waits for the reader: afterwards no
// worker of the transport runs, and nothing is told.
TEST_F(EngineTest, EndingAllWaitsForTheReaderAndTellsNothing) {
    svc.serve("/large", LoopbackService::status(200, std::string(HTTPRequest::kLargeReplyBytes, 'l')));
    auto outcomes = std::make_shared<DeafRecorder>();
    std::atomic<bool> inside{false}, release{false}, finished{false};
    auto r = HTTPRequest::requestWithURL(svc.baseURL() + "/large");
    r->setResponseProcessor([&](net::Response&) {
        inside = true;
        ns::RunLoop::main().wakeUp();
        while (!release) std::this_thread::yield();
        finished = true;
    });
    r->setDelegate(outcomes);
    r->startAsynchronous();
    ASSERT_TRUE(runUntil([&] { return inside.load(); }));
    auto second = HTTPRequest::requestWithURL(svc.baseURL() + "/large");  // its reply waits for the reader
    second->setResponseProcessor([](net::Response&) {});
    second->setDelegate(outcomes);
    second->startAsynchronous();
    runUntil([&] { return net::runningExchanges() == 0; }, 5);
    EXPECT_TRUE(HTTPRequest::hasReaderThread());
    std::thread releaser([&] { release = true; });
    HTTPRequest::endAll();
    releaser.join();
    EXPECT_TRUE(finished.load());  // the reader was waited for
    EXPECT_FALSE(HTTPRequest::hasReaderThread());
    EXPECT_EQ(HTTPRequest::queuedRequestCount(), 0u);
    EXPECT_EQ(net::runningExchanges(), 0u);
    ns::RunLoop::main().drain();
    EXPECT_TRUE(outcomes->calls.empty());
    EXPECT_EQ(net::NetworkActivity::count(), 0);
}

}  // namespace

namespace {

std::atomic<bool> gExitReleases{false};

// A program that ends while a large reply is being read waits for the
// reader before its statics and libraries go: once the transport's exit
// handler has run, no reader is left, and the reader finished its read.
TEST_F(EngineTest, AProgramEndingWhileAReplyIsReadWaitsForTheReader) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    svc.serve("/large", LoopbackService::status(200, std::string(HTTPRequest::kLargeReplyBytes, 'l')));
    EXPECT_EXIT(
        {
            // Registered before the transport's own handler, so it runs after it.
            std::atexit([] {
                if (!HTTPRequest::hasReaderThread()) std::fputs("no reader left\n", stderr);
            });
            std::atomic<bool> inside{false};
            auto r = HTTPRequest::requestWithURL(svc.baseURL() + "/large");
            r->setResponseProcessor([&](net::Response&) {
                inside = true;
                ns::RunLoop::main().wakeUp();
                while (!gExitReleases) std::this_thread::yield();
                std::fputs("the reader finished; ", stderr);
            });
            r->startAsynchronous();
            ns::RunLoop::main().runUntil([&] { return inside.load(); }, 30);
            std::atexit([] { gExitReleases = true; });  // runs first at exit: the reader may go on
            std::exit(inside ? 0 : 1);
        },
        testing::ExitedWithCode(0), "the reader finished; no reader left");
}

}  // namespace
