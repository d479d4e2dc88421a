// Work run in a forked child of the test program, for cases that may take a
// process down or run away: an abort, a crash or a child still running at
// its deadline is told to the test rather than ending the test program. The
// child runs the work alone (none of the program's other threads), ends with
// `_exit` and leaves nothing behind; past its deadline SIGALRM ends it, and
// it ends with the test program, however that ends.
//
//   const auto ended = testsupport::runForked([&] { return read(bytes).isNil() ? 1 : 0; }, 120);
//   ASSERT_TRUE(ended.exited()) << ended.description();
//   EXPECT_EQ(ended.code, 0);
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace testsupport {

struct ForkedEnd {
    int code = -1;    // the child's exit status, when it exited
    int signal = 0;   // the signal that ended it, when one did
    bool forked = true;

    bool exited() const { return forked && signal == 0 && code >= 0; }
    bool pastDeadline() const { return signal == SIGALRM; }
    std::string description() const {
        if (!forked) return "could not fork";
        if (pastDeadline()) return "still running at its deadline";
        if (signal) return "ended by signal " + std::to_string(signal);
        return "exited with " + std::to_string(code);
    }
};

// `work` answers the child's exit status (0 to 255).
template <class Work>
ForkedEnd runForked(Work work, unsigned deadlineSeconds) {
    const pid_t parent = getpid(), pid = fork();
    if (pid < 0) return {-1, 0, false};
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);  // the test program ended before the child began
        ::signal(SIGALRM, SIG_DFL);
        alarm(deadlineSeconds);
        _exit(work());
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) return {-1, WTERMSIG(status)};
    return {WEXITSTATUS(status), 0};
}

}  // namespace testsupport
