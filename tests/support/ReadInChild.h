// One read of hostile input in a child process of its own (a ChildProcess
// forked from this test program): the test learns whether the read ended
// (with the input read or refused) rather than aborting, and how far the
// child's resident memory grew while it read. A read that ran out of memory
// or crashed ends the child, never the tests.
//
//   testsupport::ChildRead r = testsupport::readInChild([&] { return !JSONValue(text).isNil(); });
//   EXPECT_TRUE(r.ended) << r.describe();
//   EXPECT_LT(r.peakKB, testsupport::sanitizedKB(testsupport::kReadersMostKB));
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/ChildProcess.h"
#include "support/PeakMemory.h"

namespace testsupport {

struct ChildRead {
    bool ended = false;   // the child returned from the read and exited
    bool read = false;    // the read answered true (the input was read)
    int signal = 0;       // the signal that ended the child otherwise
    long peakKB = -1;     // how far its peak resident memory grew while it read
    std::string describe() const {
        if (ended) return read ? "read" : "refused";
        return signal ? "ended by signal " + std::to_string(signal) : "ended without an answer";
    }
};

// Runs read() (true: the input was read, false: refused) in a forked child
// and waits for it to end, within a bound far beyond any read's.
template <class Read>
ChildRead readInChild(Read read) {
    constexpr const char* kAnswer = "\nread-in-child: ";
    ChildProcess child(
        ChildProcess::Forked{},
        [&] {
            bool answer = false;
            const long grown = peakGrowthKB([&] { answer = read(); });
            std::printf("%s%d %ld\n", kAnswer, answer ? 1 : 0, grown);
            return std::fflush(stdout) == 0 ? 0 : 1;
        },
        ChildProcess::kNoAddressCap);
    ChildRead result;
    if (!child.waitForExit(1800)) return result;
    const std::size_t at = child.output.rfind(kAnswer);
    int answer = 0;
    long grown = -1;
    if (child.status == 0 && at != std::string::npos &&
        std::sscanf(child.output.c_str() + at + std::char_traits<char>::length(kAnswer), "%d %ld", &answer, &grown) == 2) {
        result.ended = true;
        result.read = answer != 0;
        result.peakKB = grown;
    } else if (child.status > 128) {
        result.signal = child.status - 128;
    }
    return result;
}

}  // namespace testsupport
