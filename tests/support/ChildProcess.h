// A program run as a person runs it from a terminal without a display, for
// tests of how it starts and ends: its standard output and error on one pipe,
// read as they come or closed as `| head` does; signals sent to it as Ctrl+C
// or `kill` would.
//
//   testsupport::ChildProcess p(KL_PROGRAM_PATH, {"--no-window"}, {{"TMPDIR", dir}});
//   ASSERT_TRUE(p.waitForOutput("until interrupted"));
//   p.signal(SIGTERM);
//   ASSERT_TRUE(p.waitForExit(5)) << p.output;   // a bound on the wait, not a pause
//   EXPECT_EQ(p.status, 0);
//
// Work of this test program can run in a forked child as well, under a cap
// on the address space it may add to what it has, for tests that a reader
// of hostile input ends and stays within memory whatever it is given:
//
//   testsupport::ChildProcess p(testsupport::ChildProcess::Forked{}, [&] { return read(input) ? 0 : 1; },
//                               1536ull << 20);
//   ASSERT_TRUE(p.waitForExit(120)) << p.output;  // a bound on the wait
//   EXPECT_EQ(p.status, 0);
//
// A child still running when the object goes is killed and reaped: nothing is
// left behind. Once it has ended, peakKilobytes tells the most memory it held.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/PeakMemory.h"

extern char** environ;

namespace testsupport {

class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;
    // Its output read here, or a pipe nobody reads from the start (`| true`),
    // where its writes fail (or SIGPIPE ends it).
    enum class Output { Read, Unread };

    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const Environment& environment = {}, Output reading = Output::Read) {
        // Started by posix_spawn: nothing runs in the child before the program
        // (no calls unsafe in a threaded process between fork and exec), and
        // the child's peak memory is its own, not this process's.
        std::vector<std::string> variables = environmentFor(environment);
        std::vector<char*> envp;
        for (auto& v : variables) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return;
        if (reading == Output::Unread) {
            close(ends[0]);
            ends[0] = -1;
            closed_ = true;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
        // The signals a terminal sends come to it as to a program started
        // there: none ignored or blocked, whatever this process does with them.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t terminal, none;
        sigemptyset(&terminal);
        for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) sigaddset(&terminal, sig);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &terminal);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        pid_t pid = -1;
        const bool spawned =
            posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data()) == 0;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        if (!spawned) {
            if (ends[0] >= 0) close(ends[0]);
            return;
        }
        pid_ = pid;
        fd_ = ends[0];
    }
    // Runs `work` (which answers the exit status; one that throws exits
    // with 70) in a forked child that may map `addressCap` bytes more than
    // this process has mapped, its output on the pipe. The child ends
    // without this program's exit handlers.
    // It ends with the test program, however that ends.
    struct Forked {};
    // A cap beyond any work's: the child may map as much as the machine has.
    static constexpr std::uint64_t kNoAddressCap = std::uint64_t{1} << 46;
    template <class Work>
    ChildProcess(Forked, Work work, std::uint64_t addressCap) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return;
        const pid_t parent = getpid();
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);  // the test program ended before the child began
            dup2(ends[1], STDOUT_FILENO);
            dup2(ends[1], STDERR_FILENO);
            rlimit cap{};
            const bool known = getrlimit(RLIMIT_AS, &cap) == 0;
            cap.rlim_cur = std::min<rlim_t>(cap.rlim_max, mappedBytes() + addressCap);
            int status = 70;
            if (known && setrlimit(RLIMIT_AS, &cap) == 0) {
                try {
                    status = work();
                } catch (...) {
                }
            }
            _exit(status);
        }
        close(ends[1]);
        if (pid < 0) {
            close(ends[0]);
            return;
        }
        pid_ = pid;
        fd_ = ends[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // Its process id (and its process group's, when it made one of its own).
    pid_t pid() const { return pid_; }

    // Reads what it prints until the text shows (true) or it closes its
    // output (false); the wait is bounded by `limitSeconds`.
    bool waitForOutput(const std::string& text, double limitSeconds = 120) {
        const auto deadline = after(limitSeconds);
        while (output.find(text) == std::string::npos)
            if (!readSome(deadline)) return false;
        return true;
    }

    void signal(int sig) {
        if (pid_ > 0 && !exited_) kill(pid_, sig);
    }

    // Stops reading, as a reader that has had enough does (`| head`): its
    // output then has no reader, and what it writes there fails.
    void closeOutput() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        closed_ = true;
    }

    // Waits for it to end (true) within `limitSeconds`, reading the rest of
    // what it prints; `status` is then its exit status, or 128 + the signal
    // that ended it.
    bool waitForExit(double limitSeconds) {
        if (pid_ <= 0) return false;
        const auto deadline = after(limitSeconds);
        while (readSome(deadline)) {
        }
        if (!closed_) return false;  // still running at the deadline
        if (!endsBefore(deadline)) return false;
        int raw = 0;
        rusage usage{};
        pid_t reaped;
        while ((reaped = wait4(pid_, &raw, 0, &usage)) < 0 && errno == EINTR) {
        }
        if (reaped != pid_) return false;
        exited_ = true;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        peakKilobytes = usage.ru_maxrss;
        return true;
    }

    std::string output;
    int status = -1;
    long peakKilobytes = 0;  // once it has ended: the largest resident set it had

private:
    using Clock = std::chrono::steady_clock;

    // This process's environment without a display, with `environment` set.
    static std::vector<std::string> environmentFor(const Environment& environment) {
        auto replaced = [&](std::string_view entry) {
            std::string_view name = entry.substr(0, entry.find('='));
            for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"})
                if (name == display) return true;
            for (const auto& [set, value] : environment)
                if (name == set) return true;
            return false;
        };
        std::vector<std::string> out;
        for (char** e = environ; *e; ++e)
            if (!replaced(*e)) out.emplace_back(*e);
        for (const auto& [name, value] : environment) out.push_back(name + "=" + value);
        return out;
    }

    // The address space this process has mapped, in bytes.
    static std::uint64_t mappedBytes() { return static_cast<std::uint64_t>(std::max(statusKB("VmSize:"), 0L)) * 1024; }

    static Clock::time_point after(double seconds) {
        return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    }

    // Whether it has ended by the deadline (its output may have closed
    // before it did, or have been closed here).
    bool endsBefore(Clock::time_point deadline) const {
        int ended = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
        if (ended < 0) return true;  // no way to watch: the reaping waits
        bool done = false;
        for (;;) {  // a look at least once, also past the deadline
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{ended, POLLIN, 0};
            int ready = poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
            if (ready < 0 && errno == EINTR && left > 0) continue;
            done = ready > 0;
            break;
        }
        close(ended);
        return done;
    }

    // Reads what is there, waiting for it until the deadline; false at the
    // end of the output or past the deadline.
    bool readSome(Clock::time_point deadline) {
        if (fd_ < 0 || closed_) return false;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return false;
            pollfd p{fd_, POLLIN, 0};
            int ready = poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            char buffer[4096];
            ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                closed_ = true;
                return false;
            }
            output.append(buffer, static_cast<std::size_t>(n));
            return true;
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    bool closed_ = false;
    bool exited_ = false;
};

}  // namespace testsupport
