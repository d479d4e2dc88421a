// The program: options, launch, and then one of: the run in a desktop
// window, the run until it is stopped, a print of the home screen, or the
// headless tour of the screens.
//
//   kestrowline [--service URL] [--service-namespace NS]   a window when there is a display
//                                                            (and the build has one; 1, saying
//                                                            why, when none answers), else runs
//                                                            headless until SIGINT, SIGTERM or
//                                                            SIGHUP, saying so on standard error
//                                                            (a second signal ends it at once)
//   kestrowline --no-window                                  headless even with a display
//   kestrowline --dump-home [--wait SECONDS]                 starts, waits for the start-up
//                                                            requests (10 s at most), prints
//                                                            the screen as text and exits: 1,
//                                                            saying why, when they did not
//                                                            finish or one failed, or its
//                                                            settings could not be written
//   kestrowline --tour DIR [--tour-login USER:PASSWORD]      walks the built screens, writes a
//                                                            PNG of each into DIR and exits; in
//                                                            a temporary home of its own, which
//                                                            goes once nothing writes there any
//                                                            more, also when a signal or a
//                                                            closed output ends the tour early,
//                                                            or a second signal the program;
//                                                            1, naming TMPDIR and why, when
//                                                            that home cannot be made there
//
// Every run but the tour keeps its data in the app home, and every run
// writes into the device folder: one that cannot be made or written is a
// start-up failure (1, saying which and why) before anything starts.
// A write to a closed pipe fails rather than ending the program. A usage
// error (an unknown option, a missing or malformed value, a --wait that is
// not a decimal number of seconds, a service URL that is not an http or
// https URL, an option without the one it goes with; a --wait beyond what
// the clock holds is no error, it lasts as long as the clock goes)
// prints the usage on standard error and answers 2. --help (-h) prints the
// usage and answers 0 when the options before it are sound; those after it
// are not read.
//
// The program's entry registers the modules built into it and hands in what
// its build adds (the window, the tour, the statistics server's option
// "--stat-report URL", kept by the SDK; else KL_STAT_REPORT_URL), before
// calling run.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

class AppDelegate;
namespace ui {
class Application;
}

struct TourOptions {
    std::string folder;    // where the pictures go; made when missing
    std::string userName;  // the member the tour logs in as ("": the login screen is only shown)
    std::string password;
    // Whether the tour is to end now (SIGINT, SIGTERM or SIGHUP came, or
    // its output has no reader any more); never, when empty.
    std::function<bool()> interrupted;
};

// What the program's entry adds when its build has it; an empty function
// means the build has no such thing.
struct ProgramHosts {
    // Takes the options of what the build adds out of argv (before the
    // program's own are read): false, with a message, on a bad one.
    std::function<bool(int& argc, char** argv, std::string* error)> takeOptions;
    // Whether a desktop window can be shown, and the run in one until it is
    // closed: it opens the window, then calls `launch`, and answers the exit
    // status. A window that cannot open answers 1 with the reason in `error`,
    // `launch` not called.
    std::function<bool()> displayAvailable;
    std::function<int(ui::Application&, const std::function<void()>& launch, std::string* error)> runWindowed;
    // The tour: it launches the application through `launch` (which answers
    // the application delegate), walks the screens and answers the exit status.
    using Launch = std::function<std::shared_ptr<AppDelegate>()>;
    std::function<int(const TourOptions&, const Launch& launch, std::ostream& out, std::ostream& err)> tour;
    // What must stop before the program ends (the statistics reporter's
    // queues, whose uploads get a moment more): called once at the end of
    // every run that launched the application, after it has terminated
    // (--dump-home, which does not terminate it, after the print), and
    // before the tour's home goes.
    std::function<void()> beforeExit;
};

int runKestrowline(int argc, char** argv, std::ostream& out, std::ostream& err, const ProgramHosts& hosts = {});
