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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "foundation/KeyedArchive.h"
#include "foundation/PropertyList.h"
#include "support/HostilePlists.h"
#include "support/PeakMemory.h"

namespace {

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

struct Family {
    const char* name;
    bool archive;                                 // read with KeyedUnarchiver::unarchivedValue
    std::function<ns::Bytes(std::size_t)> make;  // the list of about this many bytes
};

const std::vector<Family>& families() {
    using hostile::Body;
    static const std::vector<Family> all = {
        {"shared-ascii", false, [](std::size_t b) { return hostile::sharedBody(Body::ASCII, b / 9, b / 9); }},
        {"shared-utf16", false, [](std::size_t b) { return hostile::sharedBody(Body::UTF16, b / 10, b / 10); }},
        {"shared-data", false, [](std::size_t b) { return hostile::sharedBody(Body::Data, b / 9, b / 9); }},
        {"shared-array", false, [](std::size_t b) { return hostile::sharedBody(Body::Array, b / 12, b / 12); }},
        {"uid-refs", false, [](std::size_t b) { return hostile::referencesToOne(b - 64, true); }},
        {"string-refs", false, [](std::size_t b) { return hostile::referencesToOne(b - 64, false); }},
        {"archive-refs", true, [](std::size_t b) { return hostile::archiveWithReferences(b - 512); }},
        {"class-lookup", true,
         [](std::size_t b) {
             const std::size_t places = 131068;
             return hostile::classLookup(places, (b - 512 - 21 * places) / 16);
         }},
        {"doctype", false, [](std::size_t b) { return hostile::doctypes((b - 64) / 12); }},
        // Lists as writers write them, to compare with.
        {"records-bin", false, [](std::size_t b) { return records(b, ns::PropertyListFormat::Binary); }},
        {"records-xml", false, [](std::size_t b) { return records(b, ns::PropertyListFormat::XML); }},
        {"dict-bin", false, [](std::size_t b) { return bigDictionary(b); }},
    };
    return all;
}

void measure(const Family& family, std::size_t bytes) {
    const ns::Bytes list = family.make(bytes);
    malloc_trim(0);  // what making the list freed is not there for the read to reuse
    const double cpu = testsupport::cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    ns::ErrorPtr error;
    ns::Value v;
    const long grown = testsupport::peakGrowthKB([&] {
        v = family.archive ? ns::KeyedUnarchiver::unarchivedValue(list)
                           : ns::PropertyListSerialization::propertyListWithData(list, nullptr, &error);
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuUsed = testsupport::cpuSeconds() - cpu;
    std::string outcome;
    if (v.isArray()) outcome = "array of " + std::to_string(v.count());
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
