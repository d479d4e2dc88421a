// Value's deep equality and deep copy: scalars, a keyed-archive UID, a list
// of records as a service reply or a property list gives them, and a tree
// that holds its containers in many places; a dictionary built key by key,
// and looked into, at sizes on both sides of its index.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

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

// `count` keys as a member record's fields.
std::vector<std::string> fieldNames(std::int64_t count) {
    std::vector<std::string> keys;
    for (std::int64_t i = 0; i < count; ++i) keys.push_back("member_field_" + std::to_string(i));
    return keys;
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

// A dictionary set key by key, as a reply is copied field by field: the time
// for each key stays the same however many there are.
static void ValueSetKeyByKey(benchmark::State& state) {
    const std::vector<std::string> keys = fieldNames(state.range(0));
    for (auto _ : state) {
        ns::Value dict = ns::Value::dictionary();
        for (const auto& key : keys) dict.set(key, ns::Value(1));
        benchmark::DoNotOptimize(dict);
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ValueSetKeyByKey)->Arg(7)->Arg(16)->Arg(17)->Arg(100)->Arg(10000)->Arg(100000)->Complexity(benchmark::oN);

// Every key of a dictionary of that many looked up once.
static void ValueLookUpEveryKey(benchmark::State& state) {
    const std::vector<std::string> keys = fieldNames(state.range(0));
    ns::Value dict = ns::Value::dictionary();
    for (const auto& key : keys) dict.set(key, ns::Value(1));
    for (auto _ : state)
        for (const auto& key : keys) benchmark::DoNotOptimize(dict[key]);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ValueLookUpEveryKey)->Arg(7)->Arg(16)->Arg(17)->Arg(100)->Arg(100000);
