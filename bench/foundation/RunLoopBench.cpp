// The run loop's hot paths: reading the clock, posting work, timers and a
// serial queue's sync round trip.
#include <benchmark/benchmark.h>

#include "foundation/Dispatch.h"
#include "foundation/RunLoop.h"

static void NowRealClock(benchmark::State& state) {
    ns::RunLoop::useRealClock();
    for (auto _ : state) benchmark::DoNotOptimize(ns::now());
}
BENCHMARK(NowRealClock);

static void NowManualClock(benchmark::State& state) {
    ns::RunLoop::useManualClock(ns::Date{1420070400});
    for (auto _ : state) benchmark::DoNotOptimize(ns::now());
    ns::RunLoop::resetForTesting();
}
BENCHMARK(NowManualClock);

static void PostAndDrain(benchmark::State& state) {
    auto& loop = ns::RunLoop::main();
    int ran = 0;
    for (auto _ : state) {
        for (int i = 0; i < state.range(0); ++i) loop.post([&] { ++ran; });
        loop.drain();
    }
    benchmark::DoNotOptimize(ran);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(PostAndDrain)->Arg(1000);

static void AdvanceThroughTimers(benchmark::State& state) {
    auto& loop = ns::RunLoop::main();
    ns::RunLoop::useManualClock(ns::Date{1420070400});
    int fired = 0;
    for (auto _ : state) {
        for (int i = 0; i < state.range(0); ++i)
            ns::Timer::scheduled(0.001 * (i % 97 + 1), false, [&](ns::Timer&) { ++fired; });
        loop.advance(1);
    }
    benchmark::DoNotOptimize(fired);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    ns::RunLoop::resetForTesting();
}
BENCHMARK(AdvanceThroughTimers)->Arg(1000);

static void SerialQueueSync(benchmark::State& state) {
    ns::SerialQueue q("bench");
    int n = 0;
    for (auto _ : state) q.sync([&] { ++n; });
    benchmark::DoNotOptimize(n);
}
BENCHMARK(SerialQueueSync);
