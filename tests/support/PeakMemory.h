// This process's resident memory, how much its peak grows while some work
// runs, and the CPU time it has used: for tests that bound what reading
// hostile input costs, and the tools that measure it.
//
//   const long grown = testsupport::peakGrowthKB([&] { v = read(bytes); });
//   EXPECT_LT(grown, 16 * 1024) << "kB";
#pragma once

#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace testsupport {

// A line of /proc/self/status in kB: "VmRSS:" now, "VmHWM:" at its peak,
// "VmSize:" the address space mapped.
inline long statusKB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

// How much the peak resident memory grows while `work` runs, in kB.
template <class Work>
long peakGrowthKB(Work work) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long before = statusKB("VmRSS:");
    work();
    return statusKB("VmHWM:") - before;
}

// The most memory, in kB, that a read of hostile input may take at the
// readers' bound (32 MiB of input).
inline constexpr long kReadersMostKB = 1536 * 1024;

// A bound on memory, in kB, as this build measures it: under a sanitizer
// the same work takes more (the address sanitizer's redzones and the freed
// blocks it keeps a while; the thread sanitizer's shadow of every byte
// touched, which doubles a read's memory and more).
constexpr long sanitizedKB(long kb) {
#if defined(__SANITIZE_THREAD__)
    return kb * 3;
#elif defined(__SANITIZE_ADDRESS__)
    return kb / 3 * 5;
#else
    return kb;
#endif
}

// CPU seconds (user and system) this process has used.
inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace testsupport
