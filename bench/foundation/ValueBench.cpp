// Value's deep equality and deep copy: scalars, a keyed-archive UID, a list
// of records as a service reply or a property list gives them, and a tree
// that holds its containers in many places.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/Value.h"

namespace {

// `count` records of the shape the lists of the program carry.
ns::Value records(int count) {
    ns::Value list = ns::Value::array();
    for (int i = 0; i < count; ++i) {
        list.push(ns::Value::dictionary({
            {"member_id", ns::Value(std::to_string(100000 + i))},
            {"real_name", ns::Value("张三" + std::to_string(i))},
            {"count", ns::Value(i)},
            {"ratio", ns::Value(i * 0.5)},
            {"active", ns::Value(i % 2 == 0)},
            {"created", ns::Value(ns::Date{1425175200.0 + i})},
            {"tags", ns::Value::array({ns::Value("a"), ns::Value("b")})},
        }));
    }
    return list;
}

// Levels that each hold the one below twice.
ns::Value doubling(int levels) {
    ns::Value v = ns::Value::array({ns::Value(1)});
    for (int i = 0; i < levels; ++i) v = ns::Value::array({v, v});
    return v;
}

}  // namespace

static void ValueEqualStrings(benchmark::State& state) {
    ns::Value a("member_id 100042"), b("member_id 100042");
    for (auto _ : state) benchmark::DoNotOptimize(a == b);
}
BENCHMARK(ValueEqualStrings);

static void ValueEqualRecords(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    ns::Value a = records(count), b = records(count);
    for (auto _ : state) benchmark::DoNotOptimize(a == b);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ValueEqualRecords)->Arg(100);

static void ValueDeepCopyUID(benchmark::State& state) {
    ns::Value uid = ns::Value::dictionary({{"CF$UID", ns::Value(7)}});
    for (auto _ : state) benchmark::DoNotOptimize(uid.deepCopy());
}
BENCHMARK(ValueDeepCopyUID);

static void ValueDeepCopyRecords(benchmark::State& state) {
    ns::Value list = records(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(list.deepCopy());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ValueDeepCopyRecords)->Arg(100);

// 2^40 places, 41 containers.
static void ValueEqualShared(benchmark::State& state) {
    ns::Value a = doubling(40), b = doubling(40);
    for (auto _ : state) benchmark::DoNotOptimize(a == b);
}
BENCHMARK(ValueEqualShared);

static void ValueDeepCopyShared(benchmark::State& state) {
    ns::Value a = doubling(40);
    for (auto _ : state) benchmark::DoNotOptimize(a.deepCopy());
}
BENCHMARK(ValueDeepCopyShared);
