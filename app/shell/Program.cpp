#include "app/shell/Program.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/shell/AppDelegate.h"
#include "foundation/FileManager.h"
#include "foundation/RunLoop.h"
#include "foundation/Signals.h"
#include "foundation/Strings.h"
#include "foundation/UserDefaults.h"
#include "service/ServiceConfig.h"
#include "uikit/Application.h"
#include "uikit/DeviceStore.h"

namespace {

const char* kUsage =
    "usage: kestrowline [--service URL] [--service-namespace NS] [--stat-report URL] [--no-window]\n"
    "                   [--dump-home [--wait SECONDS]] [--tour DIR [--tour-login USER:PASSWORD]]\n";

// Set by the first SIGINT, SIGTERM or SIGHUP.
std::atomic<bool>& interrupted() {
    static std::atomic<bool> flag{false};
    return flag;
}

// The signals that end a run: Ctrl+C, kill or timeout, a closed terminal.
sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

// Held back from this thread and from every thread it starts later, for
// stopOnSignals' thread to take; one that comes before that waits for it.
void holdEndingSignals() {
    sigset_t set = endingSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

// A write to a pipe whose reader has gone (`| head`) fails instead of ending
// the program; the tour takes the failure as an interruption. Caught, not
// ignored, so that the programs it starts get the usual behaviour back.
void failWritesToClosedPipes() {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}

// What stopOnSignals' thread shares with the end of the run. Never
// destroyed: the thread may take a signal while the process exits, after
// the static objects have gone.
struct SignalHandling {
    std::mutex mutex;  // held while a signal is handled
    bool over = false;  // the run is over (runOver)
};

SignalHandling& signalHandling() {
    static auto* handling = new SignalHandling;
    return *handling;
}

// The first SIGINT, SIGTERM or SIGHUP stops the main run loop (and sets
// interrupted()) instead of killing the program, so the application passes
// through the background and terminates cleanly; a second one ends the
// process at once, after `atOnce`. Once the run is over (runOver), a signal
// ends the process as it does by default: what `atOnce` would use may be gone.
void stopOnSignals(std::function<void()> atOnce = {}) {
    holdEndingSignals();  // before any other thread starts
    std::thread([set = endingSignals(), atOnce = std::move(atOnce)] {
        SignalHandling& handling = signalHandling();
        int sig = 0;
        sigwait(&set, &sig);
        {
            std::lock_guard lock(handling.mutex);
            if (handling.over) ns::endBySignal(sig);
            interrupted().store(true);
            ns::RunLoop::main().stop();
        }
        sigwait(&set, &sig);
        std::lock_guard lock(handling.mutex);  // to the process's end
        if (handling.over) ns::endBySignal(sig);
        static const char kAtOnce[] = "kestrowline: interrupted again, ending at once\n";
        [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, kAtOnce, sizeof kAtOnce - 1);
        if (atOnce) atOnce();
        ns::endBySignal(sig);
    }).detach();
}

// The run has done all it had to (a tour's home is gone): from here on the
// process exits, and a signal only ends it. Waits for the handling of a
// signal under way (a second signal's ends the process).
void runOver() {
    std::lock_guard lock(signalHandling().mutex);
    signalHandling().over = true;
}

}  // namespace

int runKestrowline(int argc, char** argv, std::ostream& out, std::ostream& err, const ProgramHosts& hosts) {
    ns::RunLoop::main();  // this thread is the main thread
    failWritesToClosedPipes();
    auto usageError = [&](const std::string& message) {
        err << "kestrowline: " << message << "\n" << kUsage;
        return 2;
    };
    std::string error;
    if (hosts.takeOptions && !hosts.takeOptions(argc, argv, &error)) return usageError(error);
    if (!ServiceConfig::applyCommandLine(argc, argv, &error)) return usageError(error);

    bool dumpHome = false;
    bool noWindow = false;
    bool tourLogin = false;
    bool help = false;
    std::optional<double> waitSeconds;
    TourOptions tour;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const bool takesValue = arg == "--wait" || arg == "--tour" || arg == "--tour-login";
        if (takesValue && i + 1 >= argc) return usageError(arg + " needs a value");
        if (arg == "--dump-home") {
            dumpHome = true;
        } else if (arg == "--no-window") {
            noWindow = true;
        } else if (arg == "--wait") {
            std::string value = argv[++i];
            // A wait longer than the clock reaches lasts as long as it can.
            waitSeconds = ns::decimalSeconds(value);
            if (!waitSeconds) return usageError("--wait takes a number of seconds, in decimal, not \"" + value + "\"");
        } else if (arg == "--tour") {
            tour.folder = argv[++i];
            if (tour.folder.empty()) return usageError("--tour needs a folder");
        } else if (arg == "--tour-login") {
            std::string login = argv[++i];
            std::size_t colon = login.find(':');
            if (colon == std::string::npos || colon == 0) return usageError("--tour-login takes USER:PASSWORD");
            tour.userName = login.substr(0, colon);
            tour.password = login.substr(colon + 1);
            tourLogin = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;  // what follows it is not read
            break;
        } else {
            return usageError("unknown option " + arg);
        }
    }
    // Options that mean something only beside another one.
    if (waitSeconds && !dumpHome) return usageError("--wait goes with --dump-home");
    if (tourLogin && tour.folder.empty()) return usageError("--tour-login goes with --tour");
    if (dumpHome && !tour.folder.empty()) return usageError("--dump-home and --tour do not go together");
    if (help) {
        out << kUsage;
        return 0;
    }
    // What a run keeps goes into folders made before anything starts: a run
    // that could keep nothing is a start-up failure, said once.
    if (std::string why = ui::makeDeviceStoreDirectory(); !why.empty()) {
        err << "kestrowline: cannot make its device folder " << why << "\n";
        return 1;
    }

    auto& app = ui::Application::sharedApplication();
    auto delegate = std::make_shared<AppDelegate>();
    auto launch = [&] {
        app.setDelegate(delegate);
        app.finishLaunching();
        return delegate;
    };
    // The end of a run in a window, headless or touring: the application
    // goes to the background and terminates, then what the build adds stops.
    // --dump-home only prints the screen: it stops what the build adds
    // without the application passing through the background or terminating.
    auto finish = [&] {
        app.enterBackground();
        app.terminate();
        if (hosts.beforeExit) hosts.beforeExit();
    };

    if (!tour.folder.empty()) {
        if (!hosts.tour) {
            err << "kestrowline: this build has no tour (it needs the drawing library)\n";
            return 2;
        }
        // The tour starts as a first run does (logged out, nothing cached), in
        // a home of its own that goes when it ends, once nothing writes there
        // any more: the image cache finishes its disk work as the application
        // terminates, and the statistics reporter stops in beforeExit. Once
        // it is removed, no writer makes it again.
        // A signal, or output nobody reads any more (a closed pipe), ends the
        // tour after the step under way; a second signal ends the program at
        // once, the home removed first (the writers still at work are barred
        // from it). Signals that come before the home is known wait for it.
        holdEndingSignals();
        std::string why;
        const std::string home = ns::makeTemporaryFolder("kl-tour-", &why);
        if (home.empty()) {
            err << "kestrowline: cannot make a temporary home for the tour: " << why << "\n";
            return 1;
        }
        ns::setHomeDirectory(home);
        ns::UserDefaults::resetStandardUserDefaults();
        stopOnSignals([home] { ns::removeHomeDirectory(home); });
        tour.interrupted = [&out] { return interrupted().load() || out.fail(); };
        int status = hosts.tour(tour, launch, out, err);
        finish();
        // What is still unwritten goes with the home, not into a new one at exit.
        ns::UserDefaults::resetStandardUserDefaults();
        const bool removed = ns::removeHomeDirectory(home);
        runOver();
        if (!removed) {
            err << "kestrowline: cannot remove the tour's temporary home " << home << "\n";
            return 1;
        }
        return status;
    }

    if (std::string why = ns::makeHomeDirectories(); !why.empty()) {
        err << "kestrowline: cannot make its home folder " << why << "\n";
        return 1;
    }

    // In a window, closing it (or SIGINT, which the window turns into a close)
    // ends the run. The application starts once the window is open; a window
    // that cannot open (no display answers) ends the run before it.
    if (!dumpHome && !noWindow && hosts.runWindowed && hosts.displayAvailable && hosts.displayAvailable()) {
        bool launched = false;
        std::string why;
        int status = hosts.runWindowed(
            app,
            [&] {
                launch();
                launched = true;
            },
            &why);
        if (!launched) {
            err << "kestrowline: cannot open its window: " << why << "\n";
            return 1;
        }
        finish();
        return status;
    }

    if (!dumpHome) stopOnSignals();
    launch();

    if (dumpHome) {
        // The screen is printed whatever the start-up's outcome; the status
        // says whether it came from a start-up that went through.
        const double wait = waitSeconds.value_or(10);
        bool settled = ns::RunLoop::main().runUntil([&] { return delegate->isStartupSettled(); }, wait);
        const std::string failure = delegate->startupFailure();
        if (!settled) {
            err << "kestrowline: the start-up requests did not finish in " << wait << " s\n";
        } else if (!failure.empty()) {
            err << "kestrowline: the start-up failed: " << failure << "\n";
        }
        app.layoutIfNeeded();
        out << app.dump();
        out.flush();
        const bool written = !out.fail();
        if (!written) err << "kestrowline: cannot write the home screen to standard output\n";
        err.flush();
        if (hosts.beforeExit) hosts.beforeExit();
        // What the run keeps (the settings, the member's login) goes to the
        // home now, where a failure (a full disk) can still be told.
        std::string unkept;
        const bool kept = ns::UserDefaults::standardUserDefaults()->synchronize(&unkept);
        if (!kept) err << "kestrowline: cannot keep its settings: " << unkept << "\n" << std::flush;
        return settled && failure.empty() && written && kept ? 0 : 1;
    }

    // Nothing shows the run: say what it is and how it ends.
    if (noWindow) {
        err << "kestrowline: --no-window, running headless";
    } else if (hosts.runWindowed) {
        err << "kestrowline: no display ($DISPLAY or $WAYLAND_DISPLAY), running headless";
    } else {
        err << "kestrowline: this build has no window, running headless";
    }
    err << " until interrupted (Ctrl+C or SIGTERM)\n"
        << "kestrowline: for pictures of the screens, tour them: kestrowline --tour DIR [--tour-login USER:PASSWORD]\n";
    err.flush();
    ns::RunLoop::main().run();
    finish();
    runOver();
    return 0;
}
