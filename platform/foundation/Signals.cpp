#include "foundation/Signals.h"

#include <csignal>

#include <pthread.h>
#include <unistd.h>

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

}  // namespace ns
