#include "app/Program.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "app/AppDelegate.h"
#include "foundation/RunLoop.h"
#include "service/ServiceConfig.h"
#include "uikit/Application.h"

namespace {

const char* kUsage =
    "usage: kestrowline [--service URL] [--service-namespace NS] [--dump-home [--wait SECONDS]]\n";

// SIGINT and SIGTERM stop the main run loop instead of killing the program,
// so the application passes through the background and terminates cleanly.
void stopOnSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before any other thread starts
    std::thread([set] {
        int sig = 0;
        sigwait(&set, &sig);
        ns::RunLoop::main().stop();
    }).detach();
}

}  // namespace

int runKestrowline(int argc, char** argv, std::ostream& out, std::ostream& err) {
    ns::RunLoop::main();  // this thread is the main thread
    std::string error;
    if (!ServiceConfig::applyCommandLine(argc, argv, &error)) {
        err << error << "\n" << kUsage;
        return 2;
    }
    bool dumpHome = false;
    double waitSeconds = 10;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--dump-home") {
            dumpHome = true;
        } else if (arg == "--wait" && i + 1 < argc) {
            waitSeconds = std::atof(argv[++i]);
        } else if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        } else {
            err << "kestrowline: unknown option " << arg << "\n" << kUsage;
            return 2;
        }
    }

    if (!dumpHome) stopOnSignals();

    auto& app = ui::Application::sharedApplication();
    auto delegate = std::make_shared<AppDelegate>();
    app.setDelegate(delegate);
    app.finishLaunching();

    if (dumpHome) {
        bool settled = ns::RunLoop::main().runUntil([&] { return delegate->isStartupSettled(); }, waitSeconds);
        if (!settled) err << "kestrowline: the start-up requests did not finish in " << waitSeconds << " s\n";
        app.layoutIfNeeded();
        out << app.dump();
        out.flush();
        return 0;
    }

    ns::RunLoop::main().run();
    app.enterBackground();
    app.terminate();
    return 0;
}
