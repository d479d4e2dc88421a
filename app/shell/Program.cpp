#include "app/shell/Program.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "app/shell/AppDelegate.h"
#include "foundation/FileManager.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "service/ServiceConfig.h"
#include "uikit/Application.h"

namespace {

const char* kUsage =
    "usage: kestrowline [--service URL] [--service-namespace NS] [--stat-report URL] [--no-window]\n"
    "                   [--dump-home [--wait SECONDS]] [--tour DIR [--tour-login USER:PASSWORD]]\n";

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

int runKestrowline(int argc, char** argv, std::ostream& out, std::ostream& err, const ProgramHosts& hosts) {
    ns::RunLoop::main();  // this thread is the main thread
    std::string error;
    if (!ServiceConfig::applyCommandLine(argc, argv, &error)) {
        err << "kestrowline: " << error << "\n" << kUsage;
        return 2;
    }
    bool dumpHome = false;
    bool noWindow = false;
    double waitSeconds = 10;
    TourOptions tour;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--dump-home") {
            dumpHome = true;
        } else if (arg == "--wait" && i + 1 < argc) {
            waitSeconds = std::atof(argv[++i]);
        } else if (arg == "--no-window") {
            noWindow = true;
        } else if ((arg == "--wait" || arg == "--tour" || arg == "--tour-login") && i + 1 >= argc) {
            err << "kestrowline: " << arg << " needs a value\n" << kUsage;
            return 2;
        } else if (arg == "--tour" && i + 1 < argc) {
            tour.folder = argv[++i];
            if (tour.folder.empty()) {
                err << "kestrowline: --tour needs a folder\n" << kUsage;
                return 2;
            }
        } else if (arg == "--tour-login" && i + 1 < argc) {
            std::string login = argv[++i];
            std::size_t colon = login.find(':');
            if (colon == std::string::npos || colon == 0) {
                err << "kestrowline: --tour-login takes USER:PASSWORD\n" << kUsage;
                return 2;
            }
            tour.userName = login.substr(0, colon);
            tour.password = login.substr(colon + 1);
        } else if (arg == "--help" || arg == "-h") {
            out << kUsage;
            return 0;
        } else {
            err << "kestrowline: unknown option " << arg << "\n" << kUsage;
            return 2;
        }
    }

    auto& app = ui::Application::sharedApplication();
    auto delegate = std::make_shared<AppDelegate>();
    auto launch = [&] {
        app.setDelegate(delegate);
        app.finishLaunching();
        return delegate;
    };
    auto finish = [&] {
        app.enterBackground();
        app.terminate();
    };

    if (!tour.folder.empty()) {
        if (!hosts.tour) {
            err << "kestrowline: this build has no tour (it needs the drawing library)\n";
            return 2;
        }
        // The tour starts as a first run does (logged out, nothing cached), in
        // a home of its own that goes when it ends.
        std::string pattern = (std::filesystem::temp_directory_path() / "kl-tour-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            err << "kestrowline: cannot make a temporary home for the tour\n";
            return 1;
        }
        ns::setHomeDirectory(pattern);
        ns::UserDefaults::resetStandardUserDefaults();
        int status = hosts.tour(tour, launch, out, err);
        finish();
        std::error_code ec;
        std::filesystem::remove_all(pattern, ec);
        return status;
    }

    // In a window, closing it (or SIGINT, which the window turns into a close) ends the run.
    if (!dumpHome && !noWindow && hosts.runWindowed && hosts.displayAvailable && hosts.displayAvailable()) {
        launch();
        int status = hosts.runWindowed(app);
        finish();
        return status;
    }

    if (!dumpHome) stopOnSignals();
    launch();

    if (dumpHome) {
        bool settled = ns::RunLoop::main().runUntil([&] { return delegate->isStartupSettled(); }, waitSeconds);
        if (!settled) err << "kestrowline: the start-up requests did not finish in " << waitSeconds << " s\n";
        app.layoutIfNeeded();
        out << app.dump();
        out.flush();
        return 0;
    }

    ns::RunLoop::main().run();
    finish();
    return 0;
}
