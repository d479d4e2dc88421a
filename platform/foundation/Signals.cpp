#include "foundation/Signals.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include "foundation/FileManager.h"

extern char** environ;

namespace ns {

void endBySignal(int sig) {
    std::signal(sig, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(sig);
    _exit(128 + sig);  // a signal whose default is not to end the process
}

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
int wakeRemover[2] = {-1, -1};

sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kEndingSignals) sigaddset(&set, sig);
    return set;
}

// The name the program is started again under, in place of itself, to
// remove a folder and end: {kRemoverName, signal, folder}.
constexpr const char* kRemoverName = "kl-remove-then-end";

// In the program started so, before anything else of it runs (no thread of
// the one it replaced is left to write into the folder): removes the folder
// and ends by the signal, which the one before had taken.
__attribute__((constructor(101))) void removeThenEnd(int argc, char** argv, char**) {
    if (argc != 3 || std::strcmp(argv[0], kRemoverName) != 0) return;
    char* end = nullptr;
    const long sig = std::strtol(argv[1], &end, 10);
    if (*end != '\0' || std::none_of(std::begin(kEndingSignals), std::end(kEndingSignals),
                                      [&](int ending) { return ending == sig; }))
        return;
    removeHomeDirectory(argv[2]);
    endBySignal(static_cast<int>(sig));
}

// Whether /proc/self/exe is the program this code is part of, rather than
// a loader or an emulator that runs it: only then does starting it again
// come to removeThenEnd.
bool canStartAgain() {
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    exe[n] = '\0';
    const auto here = reinterpret_cast<std::uintptr_t>(&removeThenEnd);
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t from = 0, to = 0;
        int path = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %*s %*s %*s %*s %n", &from, &to, &path) < 2 ||
            path == 0)
            continue;
        if (here >= from && here < to) return line.compare(static_cast<std::size_t>(path), std::string::npos, exe) == 0;
    }
    return false;
}

// The mask of the thread that forks, kept while the child is made.
thread_local sigset_t maskBeforeFork;

void passOn(int sig) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] ssize_t n = ::write(wakeRemover[1], &byte, 1);
    errno = saved;
}

}  // namespace

void removeOnEndingSignals(const std::string& folder, IgnoredSignals ignored) {
    if (pipe2(wakeRemover, O_CLOEXEC) != 0) return;
    // The environment as it is now, before other threads change it, for the
    // program started again: what loads it and what its sanitizers read.
    std::vector<std::string> environment;
    for (char** e = environ; e && *e; ++e) environment.emplace_back(*e);
    std::thread([path = folder, environment = std::move(environment)]() mutable {
        unsigned char sig = 0;
        while (::read(wakeRemover[0], &sig, 1) < 0 && errno == EINTR) {
        }
        // The other threads may still write into the folder, past the file
        // manager too (std::filesystem makes the whole path again): the
        // program is started again in their place, in this process, which
        // ends them all first; it removes the folder and ends by the signal.
        // Ending signals that come meanwhile wait for it to be done.
        const sigset_t ending = endingSignals();
        pthread_sigmask(SIG_BLOCK, &ending, nullptr);
        std::string name = kRemoverName, number = std::to_string(sig);
        char* argv[] = {name.data(), number.data(), path.data(), nullptr};
        std::vector<char*> envp;
        for (auto& v : environment) envp.push_back(v.data());
        envp.push_back(nullptr);
        if (canStartAgain()) ::execve("/proc/self/exe", argv, envp.data());
        // Not started again (no /proc, or run by a loader): removed here, as
        // the writers allow.
        removeHomeDirectory(path);
        endBySignal(sig);
    }).detach();
    for (int sig : kEndingSignals) {
        struct sigaction was {};
        if (sigaction(sig, nullptr, &was) != 0) continue;
        const bool taken = ignored == IgnoredSignals::InterruptAndTerminateTaken && sig != SIGHUP;
        if (!(was.sa_flags & SA_SIGINFO) && was.sa_handler == SIG_IGN && !taken) continue;
        struct sigaction action {};
        action.sa_handler = &passOn;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(sig, &action, nullptr);
    }
    // A forked child gets the default handlers back before it takes an ending
    // signal: one sent to it at once waits until then, rather than waking
    // this process's remover through the pipe they share.
    pthread_atfork(
        [] {
            const sigset_t ending = endingSignals();
            pthread_sigmask(SIG_BLOCK, &ending, &maskBeforeFork);
        },
        [] { pthread_sigmask(SIG_SETMASK, &maskBeforeFork, nullptr); },
        [] {
            for (int sig : kEndingSignals) {
                struct sigaction was {};
                if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler == &passOn) std::signal(sig, SIG_DFL);
            }
            pthread_sigmask(SIG_SETMASK, &maskBeforeFork, nullptr);
        });
}

}  // namespace ns
