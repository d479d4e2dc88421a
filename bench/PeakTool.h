// What the measuring tools (plist_peak, zip_peak, reader_peak) share: a main that
// measures one named input, or each in turn, at the size asked for in
// megabytes or else just under the 32 MiB that the readers take. The CPU
// time and the peak memory come from tests/support/PeakMemory.h, measured
// and printed alike for every tool.
#pragma once

#include <malloc.h>

#include <cctype>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/PeakMemory.h"

namespace peaktool {

// What one piece of work cost: its elapsed and CPU seconds, and how far the
// process's peak resident size grew, in kB.
struct Cost {
    double seconds, cpuSeconds;
    long grownKB;
};

// Measures `work`, the heap first trimmed of what making its input freed,
// so that the work does not reuse it.
template <class Work>
Cost measured(Work work) {
    malloc_trim(0);
    const double cpu = testsupport::cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const long grown = testsupport::peakGrowthKB(work);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            testsupport::cpuSeconds() - cpu, grown};
}

// The cost as every tool prints it: "  0.123 s (CPU   0.123 s)  peak grew
// by   12.3 MB", the megabytes `megabyteWidth` wide.
inline std::string describe(const Cost& cost, int megabyteWidth = 7) {
    char text[96];
    std::snprintf(text, sizeof text, "%7.3f s (CPU %7.3f s)  peak grew by %*.1f MB", cost.seconds, cost.cpuSeconds,
                  megabyteWidth, cost.grownKB / 1024.0);
    return text;
}

inline constexpr double kMostMegabytes = 1000;

// `items` have a `name`; `measure(item, bytes)` measures one, at the size
// asked for or else `defaultBytes`. `kind` and `kinds` name them in the
// usage ("family", "families"). Answers the exit status: 2 for a call
// without a name or with an unknown one.
template <class Item, class Measure>
int run(int argc, char** argv, const char* tool, const std::string& kind, const char* kinds,
        const std::vector<Item>& items, Measure measure, std::size_t defaultBytes = (32u << 20) - 4096) {
    if (argc < 2) {
        std::string upper;
        for (char c : kind) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        std::fprintf(stderr, "usage: %s %s|all [megabytes]\n%s:", tool, upper.c_str(), kinds);
        for (const auto& item : items) std::fprintf(stderr, " %s", item.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    const std::string which = argv[1];
    std::size_t bytes = defaultBytes;
    if (argc > 2) {
        // Up to a gigabyte: far beyond what any reader takes, and still
        // within what the machine can generate to feed it.
        char* end = nullptr;
        const double megabytes = std::strtod(argv[2], &end);
        if (end == argv[2] || *end != '\0' || !(megabytes > 0 && megabytes <= kMostMegabytes)) {
            std::fprintf(stderr, "%s: megabytes takes a number above 0 and up to %g, not %s\n", tool, kMostMegabytes,
                         argv[2]);
            return 2;
        }
        bytes = static_cast<std::size_t>(megabytes * 1e6);
    }
    bool found = false;
    for (const auto& item : items) {
        if (which != "all" && which != item.name) continue;
        found = true;
        measure(item, bytes);
    }
    if (!found) std::fprintf(stderr, "%s: no %s %s\n", tool, kind.c_str(), which.c_str());
    return found ? 0 : 2;
}

}  // namespace peaktool
