// The statistics store on this machine's disk: how long a burst of tracked
// events takes to be stored, and how long an upload's outcome waits behind
// the events queued for storing before it is recorded in the file. The
// reporter runs as the program runs it (strategy 3, a mobile network), its
// uploads going to a loopback statistics server, its store in a temporary
// home beside the other files of this machine.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include <unistd.h>

#include "BenchHome.h"
#include "foundation/FileManager.h"
#include "foundation/RunLoop.h"
#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADatabase.h"
#include "mervio/reporter/MVOMSADispatcher.h"
#include "mervio/reporter/MVOMSAStore.h"
#include "net/Reachability.h"
#include "soapserver/StatReport.h"
#include "support/LoopbackService.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes when the store has recorded a batch's outcome: its deletions, then
// the count read after their transaction.
struct OutcomeWatch {
    std::mutex mutex;
    std::condition_variable recorded;
    bool deleting = false, done = false;
    Clock::time_point at;

    void see(const std::string& sql) {
        std::lock_guard lock(mutex);
        if (sql.starts_with("delete from events where event_id")) {
            deleting = true;
        } else if (deleting && !done && sql.starts_with("select count(*)")) {
            done = true;
            at = Clock::now();
            recorded.notify_all();
        }
    }
    void reset() {
        std::lock_guard lock(mutex);
        deleting = done = false;
    }
    // The moment it was recorded, or none after a minute.
    std::optional<Clock::time_point> wait() {
        std::unique_lock lock(mutex);
        if (!recorded.wait_for(lock, std::chrono::minutes(1), [&] { return done; })) return std::nullopt;
        return at;
    }
};

// The reporter started once, on its own home, for all the benchmarks.
struct Reporter {
    BenchHome home;
    LoopbackService server;
    StatReportReceiver stats{server};
    OutcomeWatch outcome;

    Reporter() {
        mvomsa::setStatementTraceForTesting([this](const std::string& sql) { outcome.see(sql); });
        net::Reachability::setFlags(net::kReachabilityReachable | net::kReachabilityIsWWAN);
        auto config = MVOMSAConfig::getInstance();
        config->setStatReportURL(stats.url());
        config->setReportStrategy(3);
        config->setMaxStoreEventCount(100000);  // nothing is evicted
        MSAMV::startWithAppkey(std::string("bench"));
        MVOMSA::waitForQueuesForTesting();
    }
    ~Reporter() {
        server.stopHolding();
        MVOMSA::finishBeforeExit();
        mvomsa::setStatementTraceForTesting(nullptr);
    }
    static void empty() {
        MVOMSA::waitForQueuesForTesting();
        MVOMSAStore::getInstance()->updateDatabase("delete from events");
        MVOMSA::waitForQueuesForTesting();
    }
};

// Made by main() before the benchmarks run, and ended after them.
Reporter* started = nullptr;

Reporter& reporter() { return *started; }

std::shared_ptr<MVOMSACustomEvent> custom(int i) {
    auto event = std::make_shared<MVOMSACustomEvent>();
    event->eventID = std::string("e").append(std::to_string(i));
    return event;
}

// 1,000 events tracked one after another on this thread, until all are in the file.
void BM_BurstOf1000TrackedEventsStored(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) MVOMSA::trackCustomEvent(std::string("e").append(std::to_string(i)), {});
        MVOMSA::waitForQueuesForTesting();
        state.PauseTiming();
        Reporter::empty();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BurstOf1000TrackedEventsStored)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A batch of 30 in upload; 300 events are handed to the store; the server
// answers: the time from its answer until the batch's rows are deleted.
void BM_OutcomeDelayWith300InsertsQueued(benchmark::State& state) {
    Reporter& r = reporter();
    auto store = MVOMSAStore::getInstance();
    for (auto _ : state) {
        for (int i = 0; i < 30; ++i) store->storeEvent(custom(i), false, nullptr);
        MVOMSA::waitForQueuesForTesting();
        const std::size_t uploads = r.stats.uploads().size();
        r.outcome.reset();
        r.stats.answerOnce({.hold = true});
        store->sendCachedEvents(1);
        if (!ns::RunLoop::main().runUntil([&] { return r.stats.uploads().size() > uploads; }, 20)) {
            state.SkipWithError("the batch did not go");
            break;
        }
        for (int i = 0; i < 300; ++i) store->storeEvent(custom(i), false, nullptr);
        const auto answered = Clock::now();
        r.server.release();
        const auto recorded = r.outcome.wait();
        r.server.stopHolding();  // the next batch is held again
        if (!recorded) {
            state.SkipWithError("the outcome was not recorded");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(*recorded - answered).count());
        Reporter::empty();
    }
}
BENCHMARK(BM_OutcomeDelayWith300InsertsQueued)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// The program ends with one batch of 30 on its way to a server that does
// not answer and 20 more queued behind it: the time from the stop of the
// uploads until the store is idle, the batches never sent waiting again.
void BM_EndWith20BatchesQueued(benchmark::State& state) {
    Reporter& r = reporter();
    for (auto _ : state) {
        state.PauseTiming();
        Reporter::empty();
        auto store = MVOMSAStore::getInstance();
        for (int i = 0; i < 21 * 30; ++i) store->storeEvent(custom(i), false, nullptr);
        MVOMSA::waitForQueuesForTesting();
        const std::size_t uploads = r.stats.uploads().size();
        r.stats.answerOnce({.hold = true});
        for (int i = 0; i < 21; ++i) store->sendCachedEvents(1);
        store->taskQueue().waitUntilIdle();
        if (!ns::RunLoop::main().runUntil([&] { return r.stats.uploads().size() > uploads; }, 20)) {
            state.SkipWithError("the batch did not go");
            break;
        }
        state.ResumeTiming();
        MVOMSADispatcher::getInstance()->stopUploads();
        MVOMSA::waitForQueuesForTesting();
        state.PauseTiming();
        const std::uint32_t waiting = store->getStoredEventsNum();
        r.server.release();
        // A start afresh: the uploads go again, and the store is emptied.
        MVOMSA::resetForTesting();
        r.server.stopHolding();
        MVOMSA::getInstance();
        Reporter::empty();
        if (waiting != 20 * 30) {
            state.SkipWithError("the batches never sent do not all wait again");
            break;
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EndWith20BatchesQueued)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    {
        Reporter r;
        started = &r;
        benchmark::RunSpecifiedBenchmarks();
        started = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
