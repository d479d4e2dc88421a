#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include "foundation/Dispatch.h"
#include "foundation/RunLoop.h"

namespace {

constexpr double kStart = 1420070400;  // 2015-01-01 00:00:00 UTC

// Dates near 2015 carry about 0.2 µs of resolution.
void expectTimes(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "at " << i;
}

class RunLoopTest : public testing::Test {
protected:
    void SetUp() override {
        ns::RunLoop::resetForTesting();
        ns::RunLoop::useManualClock(ns::Date{kStart});
    }
    void TearDown() override { ns::RunLoop::resetForTesting(); }

    ns::RunLoop& loop = ns::RunLoop::main();
    std::vector<std::string> log;
    double elapsed() const { return ns::now().seconds - kStart; }
};

TEST_F(RunLoopTest, AdvanceFiresTimersInTimeOrderWithTheClockAtEachFireDate) {
    std::vector<double> at;
    ns::Timer::scheduled(3, false, [&](ns::Timer&) { log.push_back("c"); at.push_back(elapsed()); });
    ns::Timer::scheduled(1, false, [&](ns::Timer&) { log.push_back("a"); at.push_back(elapsed()); });
    ns::Timer::scheduled(2, false, [&](ns::Timer&) { log.push_back("b"); at.push_back(elapsed()); });
    ns::Timer::scheduled(2, false, [&](ns::Timer&) { log.push_back("b2"); });  // ties keep scheduling order
    loop.advance(1.5);
    EXPECT_EQ(log, (std::vector<std::string>{"a"}));
    loop.advance(10);
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "b2", "c"}));
    expectTimes(at, {1, 2, 3});
    EXPECT_DOUBLE_EQ(elapsed(), 11.5);
    EXPECT_EQ(loop.pendingTimers(), 0u);
}

TEST_F(RunLoopTest, TimersAddedByTimersFireWithinTheSameAdvance) {
    std::vector<double> at;
    ns::Timer::scheduled(1, false, [&](ns::Timer&) {
        at.push_back(elapsed());
        ns::Timer::scheduled(0.5, false, [&](ns::Timer&) {
            at.push_back(elapsed());
            ns::Timer::scheduled(0, false, [&](ns::Timer&) { at.push_back(elapsed()); });
        });
    });
    ns::Timer::scheduled(1.2, false, [&](ns::Timer&) { at.push_back(elapsed()); });
    loop.advance(2);
    expectTimes(at, {1, 1.2, 1.5, 1.5});
    // Beyond the advanced span nothing fires early.
    ns::Timer::scheduled(5, false, [&](ns::Timer&) { at.push_back(elapsed()); });
    loop.advance(4.9);
    EXPECT_EQ(at.size(), 4u);
    loop.advance(0.1);
    ASSERT_EQ(at.size(), 5u);
    EXPECT_DOUBLE_EQ(at.back(), 7);
}

TEST_F(RunLoopTest, RepeatingTimerFiresEveryIntervalUntilInvalidated) {
    std::vector<double> at;
    auto t = ns::Timer::scheduled(0.25, true, [&](ns::Timer& self) {
        at.push_back(elapsed());
        if (at.size() == 5) self.invalidate();
    });
    loop.advance(1);
    expectTimes(at, {0.25, 0.5, 0.75, 1});
    EXPECT_TRUE(t->isValid());
    loop.advance(10);
    EXPECT_EQ(at.size(), 5u);
    EXPECT_FALSE(t->isValid());
    EXPECT_EQ(loop.pendingTimers(), 0u);

    int fired = 0;
    auto u = ns::Timer::scheduled(1, true, [&](ns::Timer&) { ++fired; });
    loop.advance(2);
    u->invalidate();
    u->invalidate();
    loop.advance(5);
    EXPECT_EQ(fired, 2);
}

TEST_F(RunLoopTest, TimerWithTargetStopsOnceTheTargetHasGone) {
    auto target = std::make_shared<int>(0);
    auto t = ns::Timer::scheduled(1, target, true, [&](ns::Timer&) { ++*target; });
    loop.advance(2);
    EXPECT_EQ(*target, 2);
    std::weak_ptr<int> weak = target;
    target.reset();
    EXPECT_TRUE(weak.expired());  // the timer does not keep its target alive
    loop.advance(2);
    EXPECT_FALSE(t->isValid());
}

TEST_F(RunLoopTest, DelayedCallsAreCancelledByOwnerAndSelector) {
    int a = 0, b = 0;
    const void* ownerA = &a;
    const void* ownerB = &b;
    loop.performAfterDelay(ownerA, 2.0, [&] { log.push_back("a-refresh"); }, "refreshView");
    loop.performAfterDelay(ownerA, 0.5, [&] { log.push_back("a-close"); }, "dismiss");
    loop.performAfterDelay(ownerB, 2.0, [&] { log.push_back("b"); });
    EXPECT_EQ(loop.pendingPerformRequests(ownerA), 2u);
    EXPECT_EQ(loop.pendingPerformRequests(ownerA, "dismiss"), 1u);

    loop.cancelPreviousPerformRequests(ownerA, "dismiss");
    loop.advance(1);
    EXPECT_TRUE(log.empty());
    loop.cancelPreviousPerformRequests(ownerA);
    EXPECT_EQ(loop.pendingPerformRequests(ownerA), 0u);
    loop.advance(5);
    EXPECT_EQ(log, (std::vector<std::string>{"b"}));
}

TEST_F(RunLoopTest, ZeroDelayCallRunsOnALaterTurnNotInline) {
    bool ran = false;
    loop.performAfterDelay(this, 0.0, [&] { ran = true; });
    EXPECT_FALSE(ran);
    loop.drain();
    EXPECT_TRUE(ran);
}

TEST_F(RunLoopTest, DelayedCallOfADeadOwnerNeverRuns) {
    struct Screen {
        int reloads = 0;
    };
    auto screen = std::make_shared<Screen>();
    int ran = 0;
    loop.performAfterDelay(screen, 2.0, [&] { ++ran; });
    loop.performAfterDelay(std::weak_ptr<Screen>(screen), 3.0, [&] { ++ran; });
    screen.reset();
    loop.advance(5);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(loop.pendingTimers(), 0u);

    // A live owner is kept alive while its call runs, even if the call drops
    // the last outside reference.
    auto other = std::make_shared<Screen>();
    std::weak_ptr<Screen> weak = other;
    loop.performAfterDelay(other, 1.0, [&] {
        other.reset();
        ASSERT_FALSE(weak.expired());
        weak.lock()->reloads++;
    });
    loop.advance(1);
    EXPECT_TRUE(weak.expired());
}

TEST_F(RunLoopTest, PostedWorkRunsInOrderOnALaterTurn) {
    loop.post([&] {
        log.push_back("1");
        loop.post([&] { log.push_back("3"); });
    });
    loop.post([&] { log.push_back("2"); });
    EXPECT_EQ(loop.runOnce(), 2u);
    EXPECT_EQ(log, (std::vector<std::string>{"1", "2"}));
    loop.drain();
    EXPECT_EQ(log, (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(RunLoopTest, PostingFromManyThreadsLosesNothing) {
    constexpr int kThreads = 8, kEach = 500;
    std::atomic<int> ran{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) loop.post([&] {
                EXPECT_TRUE(ns::isMainThread());
                ++ran;
            });
        });
    for (auto& t : threads) t.join();
    loop.drain();
    EXPECT_EQ(ran.load(), kThreads * kEach);
}

TEST_F(RunLoopTest, RunUntilGivesUpAtTheLimitAndDoesNotFireManualTimers) {
    bool fired = false;
    ns::Timer::scheduled(0.001, false, [&](ns::Timer&) { fired = true; });
    EXPECT_FALSE(loop.runUntil([] { return false; }, 0.02));
    EXPECT_FALSE(fired);  // the manual clock has not moved
    loop.advance(0.001);
    EXPECT_TRUE(fired);
}

// Delays and limits longer than the clock reaches (a user's --wait 1e10,
// say) last until its end: a delayed call does not come due at once, a
// repeating timer neither, and a wait still ends once its condition holds.
TEST_F(RunLoopTest, DelaysAndLimitsBeyondTheClockLastUntilItsEnd) {
    for (double delay : {1e10, 1e300, std::numeric_limits<double>::infinity()}) {
        SCOPED_TRACE(delay);
        bool fired = false, repeated = false;
        loop.performAfterDelay(this, delay, [&] { fired = true; });
        auto timer = ns::Timer::scheduled(delay, true, [&](ns::Timer&) { repeated = true; });
        loop.advance(1e6);
        EXPECT_FALSE(fired);
        EXPECT_FALSE(repeated);
        EXPECT_EQ(loop.pendingPerformRequests(this), 1u);
        loop.cancelPreviousPerformRequests(this);
        timer->invalidate();
        bool posted = false;
        loop.post([&] { posted = true; });
        EXPECT_TRUE(loop.runUntil([&] { return posted; }, delay));
    }
}

TEST_F(RunLoopTest, RunStopsWhenAskedFromAnotherThread) {
    ns::RunLoop::useRealClock();
    int ticks = 0;
    ns::Timer::scheduled(0.001, true, [&](ns::Timer& t) {
        if (++ticks == 3) {
            t.invalidate();
            std::thread([] { ns::RunLoop::main().stop(); }).detach();
        }
    });
    loop.run();
    EXPECT_EQ(ticks, 3);
}

TEST_F(RunLoopTest, WakeUpHandlerHearsOfPostsTimersAndStopsFromAnyThread) {
    auto& loop = ns::RunLoop::main();
    std::atomic<int> wakes{0};
    loop.setWakeUpHandler([&] { wakes++; });
    std::thread([&] { loop.post([] {}); }).join();
    EXPECT_EQ(wakes.load(), 1);
    ns::Timer::scheduled(5, false, [](ns::Timer&) {});
    EXPECT_EQ(wakes.load(), 2);
    loop.stop();
    EXPECT_EQ(wakes.load(), 3);
    // A handler may post (it runs outside the loop's lock); removed, it hears nothing.
    loop.setWakeUpHandler([&] {
        if (wakes++ == 3) loop.post([] {});
    });
    loop.post([] {});
    EXPECT_EQ(wakes.load(), 5);
    loop.setWakeUpHandler({});
    loop.post([] {});
    EXPECT_EQ(wakes.load(), 5);
    loop.drain();
    EXPECT_TRUE(loop.takeStopRequest());  // the stop asked above, taken once
    EXPECT_FALSE(loop.takeStopRequest());
}

// The loop sleeps in poll until something happens: work posted from another
// thread wakes it (one sleep, ended by the post), with no period of its own.
TEST_F(RunLoopTest, ASleepingLoopWakesForWorkPostedFromAnotherThread) {
    for (bool stopInstead : {false, true}) {
        SCOPED_TRACE(stopInstead ? "stop" : "post");
        bool ran = false;
        std::thread other([&] {
            while (!loop.isWaiting()) std::this_thread::yield();
            if (stopInstead)
                loop.stop();
            else
                loop.post([&] { ran = true; });
        });
        const auto sleeps = loop.sleepCount();
        const std::size_t items = loop.runOnce(3600.0);  // returns only once woken
        other.join();
        EXPECT_EQ(loop.sleepCount() - sleeps, 1u);
        EXPECT_EQ(items, stopInstead ? 0u : 1u);
        EXPECT_EQ(ran, !stopInstead);
        EXPECT_EQ(loop.takeStopRequest(), stopInstead);
    }
}

// A watched descriptor wakes the loop and is handed to its source; a
// source's deadline is kept in real time whatever the manual clock says;
// a reset of the loop tells every source, and a removed source hears nothing.
TEST_F(RunLoopTest, SourcesAreWokenByTheirDescriptorsAndDeadlinesAndHearOfAReset) {
    struct Source : ns::RunLoopSource {
        std::vector<std::string> heard;
        SteadyTime due = SteadyTime::max();
        bool descriptorReady(int, unsigned events) override {
            heard.push_back(events & ns::RunLoop::kReadable ? "readable" : "other");
            return true;
        }
        SteadyTime deadline() const override { return due; }
        bool deadlinePassed() override {
            due = SteadyTime::max();
            heard.push_back("deadline");
            return false;
        }
        void loopReset() override { heard.push_back("reset"); }
    } source;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    loop.addSource(&source);
    loop.watch(&source, fds[0], ns::RunLoop::kReadable);
    EXPECT_EQ(loop.runOnce(), 0u);  // nothing ready: no wait either
    std::thread writer([&] {
        while (!loop.isWaiting()) std::this_thread::yield();
        ASSERT_EQ(write(fds[1], "x", 1), 1);
    });
    EXPECT_EQ(loop.runOnce(3600.0), 1u);
    writer.join();
    char c;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    loop.unwatch(fds[0]);

    source.due = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    EXPECT_EQ(loop.runOnce(3600.0), 0u);  // sleeps until the deadline, on the manual clock too
    EXPECT_EQ(source.heard, (std::vector<std::string>{"readable", "deadline"}));

    ns::RunLoop::resetForTesting();
    EXPECT_EQ(source.heard.back(), "reset");
    loop.removeSource(&source);
    ns::RunLoop::resetForTesting();
    EXPECT_EQ(source.heard.size(), 3u);
    close(fds[0]);
    close(fds[1]);
}

// What another thread adds after the loop last looked at its work, but
// before it sleeps (a source's deadline is asked in between), keeps it
// awake: a timer due now runs on this turn, and a wake-up asked for is not
// lost (the loop has not slept yet, so nothing else would end the sleep).
TEST_F(RunLoopTest, WhatArrivesJustBeforeTheLoopSleepsKeepsItAwake) {
    ns::RunLoop::useRealClock();
    struct Source : ns::RunLoopSource {
        mutable std::function<void()> arrive;  // from another thread, once
        bool descriptorReady(int, unsigned) override { return false; }
        SteadyTime deadline() const override {
            if (arrive) std::thread(std::exchange(arrive, nullptr)).join();
            return SteadyTime::max();
        }
    } source;
    loop.addSource(&source);
    bool fired = false;
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"a timer", [&] { ns::Timer::scheduled(0, false, [&](ns::Timer&) { fired = true; }); }},
        {"a wake-up", [&] { loop.wakeUp(); }},
    };
    for (const auto& [name, arrive] : cases) {
        SCOPED_TRACE(name);
        source.arrive = arrive;
        const auto sleeps = loop.sleepCount();
        loop.runOnce(2.0);  // had it slept, nothing would have woken it before the limit
        EXPECT_FALSE(source.arrive);
        EXPECT_EQ(loop.sleepCount(), sleeps);
    }
    EXPECT_TRUE(fired);
    loop.removeSource(&source);
}

// A deadline at the very start of the steady clock (what a source gives
// when it has something to tell at once) is due now: no wait.
TEST_F(RunLoopTest, ASourceDueAtTheEarliestTimeIsCalledWithoutAWait) {
    struct Source : ns::RunLoopSource {
        SteadyTime due = SteadyTime::min();
        int calls = 0;
        bool descriptorReady(int, unsigned) override { return false; }
        SteadyTime deadline() const override { return due; }
        bool deadlinePassed() override {
            due = SteadyTime::max();
            ++calls;
            return true;
        }
    } source;
    loop.addSource(&source);
    const auto sleeps = loop.sleepCount();
    EXPECT_EQ(loop.runOnce(2.0), 1u);
    EXPECT_EQ(source.calls, 1);
    EXPECT_EQ(loop.sleepCount(), sleeps);
    loop.removeSource(&source);
}

TEST_F(RunLoopTest, NowFollowsTheManualClockOnEveryThread) {
    EXPECT_DOUBLE_EQ(ns::now().seconds, kStart);
    loop.advance(60);
    double seen = 0;
    std::thread([&] { seen = ns::now().seconds; }).join();
    EXPECT_DOUBLE_EQ(seen, kStart + 60);
    ns::RunLoop::useRealClock();
    EXPECT_GT(ns::now().seconds, 1.6e9);
}

TEST_F(RunLoopTest, ResetDropsPendingWork) {
    bool ran = false;
    loop.post([&] { ran = true; });
    ns::Timer::scheduled(1, false, [&](ns::Timer&) { ran = true; });
    ns::RunLoop::resetForTesting();
    EXPECT_FALSE(loop.hasPendingWork());
    EXPECT_FALSE(ns::RunLoop::isManualClock());
    loop.drain();
    EXPECT_FALSE(ran);
}

// ---------------------------------------------------------------- dispatch

TEST_F(RunLoopTest, SerialQueueRunsTasksInOrderOffTheMainThread) {
    ns::SerialQueue q("StatStore");
    std::vector<int> order;
    for (int i = 0; i < 100; ++i) q.async([&, i] {
        EXPECT_TRUE(q.isCurrent());
        EXPECT_FALSE(ns::isMainThread());
        order.push_back(i);
    });
    q.waitUntilIdle();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
    EXPECT_FALSE(q.isCurrent());
    EXPECT_EQ(q.label(), "StatStore");
}

TEST_F(RunLoopTest, SerialQueueSyncFromInsideItselfRunsInline) {
    ns::SerialQueue a("sqldb.a"), b("sqldb.b");
    std::vector<std::string> steps;
    a.sync([&] {
        steps.push_back("a");
        a.sync([&] { steps.push_back("a-in-a"); });
        b.sync([&] {
            EXPECT_TRUE(a.isCurrent());
            EXPECT_TRUE(b.isCurrent());
            a.sync([&] { steps.push_back("a-in-b-in-a"); });
        });
    });
    a.async([&] { a.sync([&] { steps.push_back("a-from-task"); }); });
    a.waitUntilIdle();
    EXPECT_EQ(steps, (std::vector<std::string>{"a", "a-in-a", "a-in-b-in-a", "a-from-task"}));
}

TEST_F(RunLoopTest, SerialQueueSyncWaitsForEarlierTasksAndExcludesOthers) {
    ns::SerialQueue q("HttpDispatcher");
    int inside = 0, maxInside = 0, count = 0;
    auto task = [&] {
        ++inside;
        maxInside = std::max(maxInside, inside);
        ++count;
        --inside;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) (i % 2 ? q.async(task) : q.sync(task));
        });
    for (auto& t : threads) t.join();
    q.sync([&] { EXPECT_EQ(count, 800); });
    EXPECT_EQ(maxInside, 1);
}

TEST_F(RunLoopTest, SyncPassesExceptionsToTheCallerAndFreesTheQueue) {
    ns::SerialQueue q("VovuruzAnalysis");
    EXPECT_THROW(q.sync([] { throw std::runtime_error("x"); }), std::runtime_error);
    bool ran = false;
    q.sync([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST_F(RunLoopTest, QueueDestroyedFromItsOwnTaskFinishesCleanly) {
    auto q = std::make_shared<ns::SerialQueue>("notifier");
    std::atomic<bool> done{false};
    q->async([&] {
        q.reset();
        ns::postToMain([&] { done = true; });
    });
    EXPECT_TRUE(loop.runUntil([&] { return done.load(); }, 10));
}

TEST_F(RunLoopTest, MainQueueSyncFromTheMainThreadRunsInlineAndFromElsewhereWaits) {
    bool inline_ = false;
    ns::mainQueue().sync([&] { inline_ = true; });
    EXPECT_TRUE(inline_);
    EXPECT_TRUE(ns::mainQueue().isCurrent());

    std::atomic<bool> finished{false};
    int value = 0;
    std::thread worker([&] {
        ns::mainQueue().sync([&] {
            EXPECT_TRUE(ns::isMainThread());
            value = 42;
        });
        EXPECT_EQ(value, 42);
        finished = true;
    });
    EXPECT_TRUE(loop.runUntil([&] { return finished.load(); }, 10));
    worker.join();
}

TEST_F(RunLoopTest, WaitingForAQueueOnTheMainThreadServesTasksThatCallBackToMain) {
    ns::SerialQueue q("StatStore");
    std::vector<int> got;
    for (int i = 0; i < 3; ++i) q.async([&, i] { ns::mainQueue().sync([&, i] { got.push_back(i); }); });
    q.waitUntilIdle();
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2}));

    ns::globalQueue().async([&] { ns::mainQueue().sync([&] { got.push_back(3); }); });
    ns::globalQueue().waitUntilIdle();
    EXPECT_EQ(got.size(), 4u);
}

TEST_F(RunLoopTest, GlobalQueueRunsConcurrentlyAndResultsComeBackToMain) {
    std::atomic<int> left{50};
    int sum = 0;
    for (int i = 1; i <= 50; ++i)
        ns::globalQueue().async([&, i] {
            EXPECT_TRUE(ns::globalQueue().isCurrent());
            ns::mainQueue().async([&, i] {
                sum += i;
                --left;
            });
        });
    EXPECT_TRUE(loop.runUntil([&] { return left.load() == 0; }, 10));
    EXPECT_EQ(sum, 1275);
    ns::globalQueue().waitUntilIdle();
    EXPECT_EQ(ns::globalQueue().pending(), 0u);
}

TEST_F(RunLoopTest, DispatchAfterFollowsTheManualClock) {
    bool onMain = false;
    std::atomic<bool> onSerial{false};
    ns::SerialQueue q("sqldb.after");
    ns::dispatchAfter(0.1, ns::mainQueue(), [&] { onMain = true; });
    ns::dispatchAfter(0.2, q, [&] { onSerial = true; });
    loop.advance(0.09);
    EXPECT_FALSE(onMain);
    loop.advance(0.01);
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(onSerial.load());
    loop.advance(0.1);
    q.waitUntilIdle();
    EXPECT_TRUE(onSerial.load());
}

TEST(Once, RunsExactlyOnceAcrossThreadsAndToleratesReentry) {
    ns::OnceFlag flag;
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            ns::once(flag, [&] {
                ++runs;
                ns::once(flag, [&] { ++runs; });  // re-entry returns at once
            });
            EXPECT_TRUE(flag.done());
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(runs.load(), 1);
    flag.reset();
    ns::once(flag, [&] { ++runs; });
    EXPECT_EQ(runs.load(), 2);
}

TEST(RecursiveLockTest, OwnerMayRelockOthersWait) {
    ns::RecursiveLock lock("__MSA_LOCK__");
    std::lock_guard<ns::RecursiveLock> outer(lock);
    std::lock_guard<ns::RecursiveLock> inner(lock);
    bool got = true;
    std::thread([&] { got = lock.tryLock(); }).join();
    EXPECT_FALSE(got);
    EXPECT_EQ(lock.name(), "__MSA_LOCK__");
}

}  // namespace
