#include "foundation/Signals.h"

#include <cerrno>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include "foundation/FileManager.h"

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

void passOn(int sig) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] ssize_t n = ::write(wakeRemover[1], &byte, 1);
    errno = saved;
}

}  // namespace

void removeOnEndingSignals(const std::string& folder, IgnoredSignals ignored) {
    if (pipe2(wakeRemover, O_CLOEXEC) != 0) return;
    std::thread([folder] {
        unsigned char sig = 0;
        while (::read(wakeRemover[0], &sig, 1) < 0 && errno == EINTR) {
        }
        removeHomeDirectory(folder);
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
    pthread_atfork(nullptr, nullptr, [] {
        for (int sig : kEndingSignals) {
            struct sigaction was {};
            if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler == &passOn) std::signal(sig, SIG_DFL);
        }
    });
}

}  // namespace ns
