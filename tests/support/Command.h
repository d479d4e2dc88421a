// Runs a shell command the way a developer would and gives its exit status
// and everything it printed, for tests of command-line programs and peers.
//
//   auto r = testsupport::runCommand("unzip -l " + path);
//   EXPECT_EQ(r.status, 0) << r.output;
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testsupport {

struct CommandResult {
    int status = -1;     // the exit status; -1 when it did not run or did not exit
    std::string output;  // standard output and error, in the order written
};

inline CommandResult runCommand(const std::string& command) {
    CommandResult r;
    std::string full = command + " 2>&1";
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// The command (run by the shell, as runCommand runs it) on a disk that takes
// no file beyond `bytes` (rounded down to 512-byte blocks): a write past that
// fails with EFBIG ("File too large") as a write to a full disk fails with
// ENOSPC, SIGXFSZ being ignored. Pipes and terminals are not files: what it
// prints still comes.
inline std::string onADiskOf(long bytes, const std::string& command) {
    return "trap '' XFSZ; ulimit -f " + std::to_string(bytes / 512) + " && " + command;
}

}  // namespace testsupport
