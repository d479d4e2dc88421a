// A second run of the program on the home of a test (KL_HOME), for tests of
// the statistics store that two programs share. It prints a line when it
// has got to where the test waits for it, and ends as the program ends.
//
//   stat_reporter_peer start <report URL>     the reporter starts (and sends what
//                                             waits); "running"; ends at SIGTERM
//   stat_reporter_peer store <n> <prefix>     the store launches; "ready"; then n
//                                             events "<prefix><i>", ten at a time
//   stat_reporter_peer batches <report URL> <n> <size>
//                                             the store launches and keeps n events
//                                             "queued<i>", then asks for batches of
//                                             `size` until each is taken: the first
//                                             goes, the others wait behind it;
//                                             "queued"; ends at SIGTERM
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSAStore.h"

namespace {

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // SIGTERM is waited for, never delivered: blocked before any thread starts.
    sigset_t end;
    sigemptyset(&end);
    sigaddset(&end, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &end, nullptr);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "start" && argc == 3) {
        MVOMSAConfig::getInstance()->setStatReportURL(std::string(argv[2]));
        MVOMSA::getInstance();
        MVOMSA::waitForQueuesForTesting();
        say("running");
        int signal = 0;
        sigwait(&end, &signal);
    } else if (command == "store" && argc == 4) {
        auto store = MVOMSAStore::getInstance();
        store->launch();
        MVOMSA::waitForQueuesForTesting();
        say("ready");
        const int n = std::atoi(argv[2]);
        for (int i = 0; i < n; ++i) {
            auto event = std::make_shared<MVOMSACustomEvent>();
            event->eventID = std::string(argv[3]).append(std::to_string(i));
            store->storeEvent(event, false, nullptr);
            if (i % 10 == 9) MVOMSA::waitForQueuesForTesting();
        }
    } else if (command == "batches" && argc == 5) {
        auto config = MVOMSAConfig::getInstance();
        config->setStatReportURL(std::string(argv[2]));
        const int n = std::atoi(argv[3]), size = std::atoi(argv[4]);
        config->setMaxLoadEventCount(static_cast<std::uint32_t>(size));
        auto store = MVOMSAStore::getInstance();
        store->launch();
        for (int i = 0; i < n; ++i) {
            auto event = std::make_shared<MVOMSACustomEvent>();
            event->eventID = std::string("queued").append(std::to_string(i));
            store->storeEvent(event, false, nullptr);
        }
        for (int taken = 0; taken < n; taken += size) store->sendCachedEvents(1);
        store->taskQueue().waitUntilIdle();  // the upload's queue is busy with the first
        say("queued");
        int signal = 0;
        sigwait(&end, &signal);
    } else {
        std::fprintf(stderr, "usage: %s start <report URL> | store <n> <prefix> | batches <report URL> <n> <size>\n",
                     argv[0]);
        return 2;
    }
    MVOMSA::finishBeforeExit();
    return 0;
}
