// What a binary property list costs its reader follows the list's size,
// however its objects and containers lie over one another: each read gives
// a value or a refusal, within a memory cap that follows the list's size,
// and never aborts. What writers write still reads back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "foundation/PropertyList.h"
#include "support/AllocationCount.h"
#include "support/ChildProcess.h"
#include "support/HostilePlists.h"

using namespace ns;

namespace {

using hostile::readCap;

enum Outcome { kValue, kBeyondLimits, kDamaged, kCapped, kOutcomes };
const char* const kOutcomeNames[] = {"a value", "beyond the bounds", "damaged", "past the cap"};

struct Read {
    Outcome outcome = kValue;
    std::size_t peak = 0;
    bool readsBack = false;  // a value, written again, reads back the same
};

// How a read of the list ended, and its peak; the value read into *value.
Read readCapped(const Bytes& list, Value* value = nullptr) {
    ErrorPtr error;
    Value v;
    const auto used =
        testsupport::allocationPeak([&] { v = PropertyListSerialization::propertyListWithData(list, nullptr, &error); },
                                    readCap(list.size()));
    if (value) *value = v;
    if (used.capped) return {kCapped, used.peak};
    if (!v.isNil()) return {kValue, used.peak};
    return {error && error->code == kPropertyListReadBeyondLimitsError ? kBeyondLimits : kDamaged, used.peak};
}

}  // namespace

// Lists whose objects and containers lie at random, overlapping offsets
// with random sizes, some at the readers' whole bound. Each is read in a
// child of its own, under the cap and a deadline far beyond what a read
// takes; the child tells what it read and its peak through a pipe. What
// reads, our writer writes again, and that reads back the same: the writer
// never writes what the budget refuses.
TEST(BinaryListBounds, RandomLayoutsReadOrAreRefusedWithinWhatTheirSizeAllows) {
    constexpr std::size_t kWholeBound = (32u << 20) - 4096;
    std::mt19937_64 sizes(45);
    std::vector<std::pair<std::uint64_t, std::size_t>> lists;
    for (std::uint64_t seed = 1; seed <= 32; ++seed) lists.emplace_back(seed, 4096 + sizes() % (2u << 20));
    for (std::uint64_t seed = 101; seed <= 102; ++seed) lists.emplace_back(seed, kWholeBound);

    int seen[kOutcomes] = {};
    for (const auto& [seed, bytes] : lists) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(bytes) + " bytes");
        const Bytes list = hostile::randomLayout(seed, bytes);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        testsupport::ChildProcess child(
            testsupport::ChildProcess::Forked{},
            [&] {
                Value v;
                Read read = readCapped(list, &v);
                if (read.outcome == kValue) {
                    const auto again = PropertyListSerialization::dataWithPropertyList(v, PropertyListFormat::Binary);
                    read.readsBack = again && PropertyListSerialization::propertyListWithData(*again) == v;
                }
                const bool told = write(ends[1], &read, sizeof read) == static_cast<ssize_t>(sizeof read);
                return told ? 0 : 1;
            },
            testsupport::ChildProcess::kNoAddressCap);
        close(ends[1]);
        const bool exited = child.waitForExit(90);
        Read read;
        const bool told = exited && ::read(ends[0], &read, sizeof read) == static_cast<ssize_t>(sizeof read);
        close(ends[0]);
        ASSERT_TRUE(exited && child.status == 0 && told)
            << (exited ? "status " + std::to_string(child.status) : std::string("still running after 90 s"))
            << "\n" << child.output;
        EXPECT_NE(read.outcome, kCapped) << "peak " << read.peak << " of a cap of " << readCap(list.size());
        EXPECT_TRUE(read.outcome != kValue || read.readsBack);
        ++seen[read.outcome];
    }
    // The layouts reach both sides of the budget: lists read whole, and
    // lists refused for what they would build.
    EXPECT_GT(seen[kValue], 0);
    EXPECT_GT(seen[kBeyondLimits], 0);
}

// The layouts found so far, each read or refused within the cap, as the
// budget decides: bodies laid over one run, containers reading one run of
// references, and UIDs one or two bytes apart.
TEST(BinaryListBounds, TheHostileFamiliesStayWithinTheirSize) {
    using hostile::Body;
    constexpr Outcome kEither = kOutcomes;  // a value or a refusal, as the budget decides
    struct Case {
        const char* what;
        Bytes list;
        Outcome expected;
    };
    const Case cases[] = {
        // 4,000 data objects 6 bytes apart, each claiming a million bytes: 4 GB expanded from 1 MB.
        {"data over one run", hostile::overlappingBodies(Body::Data, 4000, 1000000), kBeyondLimits},
        // 100 strings over one run of a million bytes: 100 MB from 1 MB.
        {"ASCII over one run", hostile::overlappingBodies(Body::ASCII, 100, 1000000), kBeyondLimits},
        {"UTF-16 over one run", hostile::overlappingBodies(Body::UTF16, 100, 1000000), kBeyondLimits},
        // Fewer than the budget takes: read.
        {"a few over one run", hostile::overlappingBodies(Body::ASCII, 8, 1000000), kValue},
        // 100 arrays 6 bytes apart, each reading 838,860 references: 84 million values from 1.9 MB.
        {"arrays over one run", hostile::overlappingContainers(100, 838860, false), kBeyondLimits},
        {"two arrays over one run", hostile::overlappingContainers(2, 838860, false), kValue},
        // UIDs one byte apart over bytes 0x80, all one number; two bytes
        // apart, each its own: a dictionary for each number.
        {"UIDs over bytes 0x80", hostile::uidRun(1u << 20, false), kValue},
        {"UIDs of their own", hostile::uidRun(1u << 19, true), kEither},
        {"fewer UIDs of their own", hostile::uidRun(1u << 16, true), kValue},
    };
    for (const Case& c : cases) {
        const Read read = readCapped(c.list);
        const bool expected = c.expected == kEither ? read.outcome != kCapped && read.outcome != kDamaged
                                                    : read.outcome == c.expected;
        EXPECT_TRUE(expected) << c.what << ": " << kOutcomeNames[read.outcome] << ", peak " << read.peak
                              << " of a cap of " << readCap(c.list.size());
    }
    // What the UIDs over bytes 0x80 read as: one dictionary for the one number.
    const Value uids = PropertyListSerialization::propertyListWithData(hostile::uidRun(1000, false));
    ASSERT_EQ(uids.count(), 1000u);
    EXPECT_EQ(uids.at(999), Value::dictionary({{kPropertyListUIDKey, Value(128)}}));
    EXPECT_TRUE(uids.at(0).isSame(uids.at(999)));
}

// The densest lists our writer makes, one of each kind, read back: the
// budget takes what the writer writes. Each is a few megabytes, where the
// budget's own 16 MiB for any list no longer hides the cost of each byte.
TEST(BinaryListBounds, TheDensestListsOurWriterMakesReadBack) {
    auto many = [](std::size_t count, auto make) {
        std::vector<Value> items;
        items.reserve(count);
        for (std::size_t i = 0; i < count; ++i) items.push_back(make(i));
        return Value::array(std::move(items));
    };
    auto dictionary = [](std::size_t count, auto key) {
        std::vector<std::pair<std::string, Value>> entries;
        for (std::size_t i = 0; i < count; ++i) entries.emplace_back(key(i), Value(0));
        return Value::dictionaryWithUniqueEntries(std::move(entries));
    };
    // A text of sixteen bytes of its own for each number.
    auto sixteen = [](char first, std::size_t i) { return first + std::to_string(100000000000000 + i); };
    const Value text("x"), shared = Value::array(), keyed = Value::dictionary({{"k", Value(1)}});
    constexpr std::size_t kObjects = 1u << 17, kReferences = 2u << 20;
    struct Case {
        const char* what;
        Value value;
    };
    const Case cases[] = {
        // One byte a reference, one value each.
        {"references to one string", many(kReferences, [&](std::size_t) { return text; })},
        {"one container in many places", many(kReferences, [&](std::size_t) { return shared; })},
        // A container of its own for each reference (1 byte, 4 of offset, 4 of reference).
        {"empty arrays", many(kObjects, [](std::size_t) { return Value::array(); })},
        {"empty dictionaries", many(kObjects, [](std::size_t) { return Value::dictionary(); })},
        {"one-entry dictionaries",
         many(kObjects, [&](std::size_t i) { return i % 2 ? keyed : Value::dictionary({{"k", Value(1)}}); })},
        // A dictionary of its own for each UID (5 bytes, 4 of offset, 4 of reference).
        {"UIDs of their own", many(kObjects, [](std::size_t i) {
             return Value::dictionary({{kPropertyListUIDKey, Value(static_cast<long long>(65536 + i))}});
         })},
        {"dates of their own",
         many(kObjects, [](std::size_t i) { return Value::dateSinceReferenceDate(static_cast<double>(i)); })},
        {"strings of 16 bytes", many(kObjects, [&](std::size_t i) { return Value(sixteen('s', i)); })},
        {"short keys", dictionary(kObjects, [](std::size_t i) { return std::to_string(i); })},
        {"keys of 16 bytes", dictionary(kObjects, [&](std::size_t i) { return sixteen('k', i); })},
    };
    for (const Case& c : cases) {
        const auto written = PropertyListSerialization::dataWithPropertyList(c.value, PropertyListFormat::Binary);
        ASSERT_TRUE(written) << c.what;
        Value back;
        const Read read = readCapped(*written, &back);
        EXPECT_EQ(read.outcome, kValue) << c.what << " (" << written->size()
                                        << " bytes): " << kOutcomeNames[read.outcome];
        if (read.outcome != kValue) continue;
        // The whole value for arrays; a dictionary's entries by their places
        // (comparing dictionaries looks each key up).
        if (c.value.isArray()) {
            EXPECT_EQ(back, c.value) << c.what;
            continue;
        }
        ASSERT_EQ(back.count(), c.value.count()) << c.what;
        for (std::size_t i : {std::size_t{0}, c.value.count() / 2, c.value.count() - 1}) {
            EXPECT_EQ(back.entries()[i].first, c.value.entries()[i].first) << c.what;
            EXPECT_EQ(back.entries()[i].second, c.value.entries()[i].second) << c.what;
        }
    }
}
