// A program run as a person runs it from a terminal without a display, for
// tests of how it starts and ends: its standard output and error on one pipe,
// read as they come; signals sent to it as Ctrl+C or `kill` would.
//
//   testsupport::ChildProcess p(KL_PROGRAM_PATH, {"--no-window"}, {{"TMPDIR", dir}});
//   ASSERT_TRUE(p.waitForOutput("until interrupted"));
//   p.signal(SIGTERM);
//   ASSERT_TRUE(p.waitForExit(5)) << p.output;   // a bound on the wait, not a pause
//   EXPECT_EQ(p.status, 0);
//
// A child still running when the object goes is killed and reaped: nothing is
// left behind.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const Environment& environment = {}) {
        int ends[2];
        if (pipe(ends) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(ends[1], STDOUT_FILENO);
            dup2(ends[1], STDERR_FILENO);
            close(ends[0]);
            close(ends[1]);
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) unsetenv(name);
            for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(ends[1]);
        if (pid_ < 0) {
            close(ends[0]);
            return;
        }
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

    bool started() const { return fd_ >= 0; }

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

    // Waits for it to end (true) within `limitSeconds`, reading the rest of
    // what it prints; `status` is then its exit status, or 128 + the signal
    // that ended it.
    bool waitForExit(double limitSeconds) {
        if (pid_ <= 0) return false;
        const auto deadline = after(limitSeconds);
        while (readSome(deadline)) {
        }
        if (!closed_) return false;  // still running at the deadline
        int raw = 0;
        if (waitpid(pid_, &raw, 0) != pid_) return false;
        exited_ = true;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return true;
    }

    std::string output;
    int status = -1;

private:
    using Clock = std::chrono::steady_clock;

    static Clock::time_point after(double seconds) {
        return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
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
