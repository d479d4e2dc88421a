// Ending the process by a signal, for the programs that catch Ctrl+C, SIGTERM
// or a closed terminal to clean up first.
#pragma once

#include <string>

namespace ns {

// Takes back the handler of `sig`, lets it through to the calling thread and
// raises it: the process ends as the signal would have ended it without a
// handler (status 128 + sig for a shell). Any thread may call it.
[[noreturn]] void endBySignal(int sig);

// What removeOnEndingSignals does with an ending signal that the process
// ignores when it is called (nohup; SIGINT in a script's background job).
enum class IgnoredSignals {
    StayIgnored,
    InterruptAndTerminateTaken,  // SIGINT and SIGTERM end it all the same; SIGHUP stays ignored
};

// From now on Ctrl+C, SIGTERM or a closed terminal (SIGHUP) removes the
// folder for good (as removeHomeDirectory does: nothing makes it again, also
// while other threads still write there), then ends the process by that
// signal. The handler only passes the signal on to a thread of its own,
// which does the work. A child forked without a new program has the default
// handlers back. Called once, early, before other threads start.
void removeOnEndingSignals(const std::string& folder, IgnoredSignals ignored = IgnoredSignals::StayIgnored);

}  // namespace ns
