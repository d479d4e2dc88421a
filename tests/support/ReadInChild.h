// One read of hostile input in a child process of its own: the test learns
// whether the read ended (with the input read or refused) rather than
// aborting, and how far the child's resident memory grew while it read. A
// read that ran out of memory or crashed ends the child, never the tests.
//
//   testsupport::ChildRead r = testsupport::readInChild([&] { return !JSONValue(text).isNil(); });
//   EXPECT_TRUE(r.ended) << r.describe();
//   EXPECT_LT(r.peakKB, 1536 * 1024);
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

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
// and waits for it to end.
template <class Read>
ChildRead readInChild(Read read) {
    ChildRead result;
    int pipe_[2];
    if (pipe(pipe_) != 0) return result;
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_[0]);
        bool answer = false;
        long grown = peakGrowthKB([&] { answer = read(); });
        const long message[2] = {answer ? 1 : 0, grown};
        const bool sent = write(pipe_[1], message, sizeof message) == static_cast<ssize_t>(sizeof message);
        _exit(sent ? 0 : 1);
    }
    close(pipe_[1]);
    long message[2] = {0, -1};
    std::size_t got = 0;
    while (child > 0 && got < sizeof message) {
        const ssize_t n = ::read(pipe_[0], reinterpret_cast<char*>(message) + got, sizeof message - got);
        if (n > 0) got += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR) break;
    }
    close(pipe_[0]);
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == sizeof message) {
        result.ended = true;
        result.read = message[0] != 0;
        result.peakKB = message[1];
    } else if (child > 0 && WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

}  // namespace testsupport
