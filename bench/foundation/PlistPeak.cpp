// The time and peak memory of reading one hostile property list or keyed
// archive (tests/support/HostilePlists.h) at a given size, by default its
// largest under the readers' 32 MiB bound. A measuring tool, not a
// benchmark: each family is one read of one list.
//
//   build/release/bench/plist_peak shared-ascii [megabytes]
//   build/release/bench/plist_peak all
//
// Prints the list's size, what the read gave (the kind and count of the
// value, or the error's code), the seconds it took (elapsed, and the CPU
// time it used), and how much this
// process's peak resident size grew while it read (the list itself made
// before the peak is reset).
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/KeyedArchive.h"
#include "foundation/PropertyList.h"
#include "support/HostilePlists.h"
#include "support/PeakMemory.h"

namespace {

// CPU seconds (user and system) this process has used.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// An array of `count` records as a service's reply holds them (seven keys
// each, most of their text Chinese).
ns::Value records(std::size_t count) {
    std::vector<ns::Value> items;
    for (std::size_t i = 0; i < count; ++i) {
        items.push_back(ns::Value::dictionary({
            {"id", ns::Value(static_cast<long long>(i))},
            {"title", ns::Value("第" + std::to_string(i) + "次党员大会在市委礼堂召开")},
            {"add_time", ns::Value("2015-03-01 10:00:" + std::to_string(i % 60))},
            {"img_url", ns::Value("/upload/" + std::to_string(i) + ".jpg")},
            {"zhaiyao", ns::Value("会议传达了上级精神" + std::to_string(i))},
            {"support_count", ns::Value(static_cast<long long>(i % 1000))},
            {"user_name", ns::Value("张三")},
        }));
    }
    return ns::Value::array(std::move(items));
}

// Such records written by our writer in the form asked for, about `bytes`.
ns::Bytes records(std::size_t bytes, ns::PropertyListFormat format) {
    std::size_t count = bytes / 100;
    for (;;) {
        auto list = ns::PropertyListSerialization::dataWithPropertyList(records(count), format);
        if (list && list->size() <= bytes) return *list;
        count = count * 19 / 20;
    }
}

// One dictionary of about `bytes` in binary: short keys to small integers.
ns::Bytes bigDictionary(std::size_t bytes) {
    std::vector<std::pair<std::string, ns::Value>> entries;
    for (std::size_t i = 0; i < bytes / 24; ++i) entries.emplace_back("key" + std::to_string(i), ns::Value(static_cast<long long>(i % 100)));
    return *ns::PropertyListSerialization::dataWithPropertyList(ns::Value::dictionaryWithUniqueEntries(std::move(entries)),
                                                               ns::PropertyListFormat::Binary);
}

// How a family's list is read.
enum class Reader {
    List,     // PropertyListSerialization::propertyListWithData
    Archive,  // KeyedUnarchiver::unarchivedValue
    Records,  // KeyedUnarchiver::unarchivedObjectOfClass<hostile::WideRecord>
};

struct Family {
    const char* name;
    Reader reader;
    std::function<ns::Bytes(std::size_t)> make;  // the list of about this many bytes
};

// The widest archive the archiver writes within `bytes` (at most the full
// tree of four levels, 22.7 MB).
ns::Bytes wideArchive(std::size_t bytes) {
    std::optional<ns::Bytes> archive;
    for (std::size_t below = 65640;; below -= 1600) {
        auto tree = hostile::WideRecord::tree(4, below);
        archive = ns::KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<ns::Coding>(tree));
        if ((archive && archive->size() <= bytes) || below < 1600) break;
    }
    return archive.value_or(ns::Bytes());
}

const std::vector<Family>& families() {
    using hostile::Body;
    constexpr auto L = Reader::List;
    constexpr auto A = Reader::Archive;
    // Objects laid over a run of `run` bytes, as many as the rest holds (14 bytes each).
    auto overlapping = [](Body kind, std::size_t run) {
        return [=](std::size_t b) { return hostile::overlappingBodies(kind, (b - run - 64) / 14, run); };
    };
    // 2,000 arrays over one run of references, as long as the rest holds.
    auto arrays = [](bool inArchive) {
        return [=](std::size_t b) {
            return hostile::overlappingContainers(2000, (b - (256u << 10) - 2000 * 6 - 4096) / 2, inArchive);
        };
    };
    static const std::vector<Family> all = {
        {"shared-ascii", L, [](std::size_t b) { return hostile::sharedBody(Body::ASCII, b / 9, b / 9); }},
        {"shared-utf16", L, [](std::size_t b) { return hostile::sharedBody(Body::UTF16, b / 10, b / 10); }},
        {"shared-data", L, [](std::size_t b) { return hostile::sharedBody(Body::Data, b / 9, b / 9); }},
        {"shared-array", L, [](std::size_t b) { return hostile::sharedBody(Body::Array, b / 12, b / 12); }},
        {"uid-refs", L, [](std::size_t b) { return hostile::referencesToOne(b - 64, true); }},
        {"string-refs", L, [](std::size_t b) { return hostile::referencesToOne(b - 64, false); }},
        {"archive-refs", A, [](std::size_t b) { return hostile::archiveWithReferences(b - 512); }},
        {"class-lookup", A,
         [](std::size_t b) {
             const std::size_t places = 131068;
             return hostile::classLookup(places, (b - 512 - 21 * places) / 16);
         }},
        {"doctype", L, [](std::size_t b) { return hostile::doctypes((b - 64) / 12); }},
        // Objects and containers whose bytes overlap.
        {"overlap-data", L, overlapping(Body::Data, 1000000)},
        {"overlap-ascii", L, overlapping(Body::ASCII, 0x7F7F7F)},
        {"overlap-utf16", L, overlapping(Body::UTF16, 0x7F7F7F)},
        {"overlap-arrays", L, arrays(false)},
        {"archive-overlap", A, arrays(true)},
        {"uid-run", L, [](std::size_t b) { return hostile::uidRun((b - 64) / 7, false); }},
        {"uid-distinct", L, [](std::size_t b) { return hostile::uidRun((b - 64) / 8, true); }},
        {"random-101", L, [](std::size_t b) { return hostile::randomLayout(101, b); }},
        {"random-102", L, [](std::size_t b) { return hostile::randomLayout(102, b); }},
        {"random-103", L, [](std::size_t b) { return hostile::randomLayout(103, b); }},
        // Lists as writers write them, to compare with.
        {"records-bin", L, [](std::size_t b) { return records(b, ns::PropertyListFormat::Binary); }},
        {"records-xml", L, [](std::size_t b) { return records(b, ns::PropertyListFormat::XML); }},
        {"dict-bin", L, [](std::size_t b) { return bigDictionary(b); }},
        {"archive-wide", Reader::Records, wideArchive},
    };
    return all;
}

void measure(const Family& family, std::size_t bytes) {
    const ns::Bytes list = family.make(bytes);
    malloc_trim(0);  // what making the list freed is not there for the read to reuse
    const double cpu = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    ns::ErrorPtr error;
    ns::Value v;
    std::shared_ptr<hostile::WideRecord> records;
    const long grown = testsupport::peakGrowthKB([&] {
        switch (family.reader) {
            case Reader::List: v = ns::PropertyListSerialization::propertyListWithData(list, nullptr, &error); break;
            case Reader::Archive: v = ns::KeyedUnarchiver::unarchivedValue(list); break;
            case Reader::Records:
                records = ns::KeyedUnarchiver::unarchivedObjectOfClass<hostile::WideRecord>(list);
                break;
        }
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuUsed = cpuSeconds() - cpu;
    std::string outcome;
    if (family.reader == Reader::Records)
        outcome = records ? std::to_string(records->records()) + " records" : "refused";
    else if (v.isArray())
        outcome = "array of " + std::to_string(v.count());
    else if (v.isNil()) outcome = error ? "refused, error " + std::to_string(error->code) : "refused";
    else if (v.isString()) outcome = "string of " + std::to_string(v.str().size());
    else outcome = "a value";
    std::printf("%-13s %6.2f MB  %-24s %7.3f s (CPU %7.3f s)  peak grew by %7.1f MB\n", family.name,
                list.size() / 1e6, outcome.c_str(), seconds, cpuUsed, grown / 1024.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: plist_peak FAMILY|all [megabytes]\nfamilies:");
        for (const auto& f : families()) std::fprintf(stderr, " %s", f.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    const std::string which = argv[1];
    // Just under the 32 MiB that the readers and the archive take.
    const std::size_t bytes = argc > 2 ? static_cast<std::size_t>(std::strtod(argv[2], nullptr) * 1e6) : (32u << 20) - 4096;
    bool found = false;
    for (const auto& f : families()) {
        if (which != "all" && which != f.name) continue;
        found = true;
        measure(f, bytes);
    }
    if (!found) std::fprintf(stderr, "plist_peak: no family %s\n", which.c_str());
    return found ? 0 : 2;
}
