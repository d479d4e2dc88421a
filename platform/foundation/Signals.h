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
// folder, then ends the process by that signal. The handler only passes the
// signal on to a thread of its own, which starts the program again in this
// process (/proc/self/exe): that ends every other thread first, so nothing
// makes the folder again, not even a writer past the file manager, and the
// program so started removes the folder and ends by the signal before
// anything else of it runs. The process keeps its id; its parent sees it end
// by the signal. When it cannot be started again so (no /proc, or a loader
// or an emulator runs it) the thread removes the folder itself, as
// removeHomeDirectory does. A child forked without a new program has the
// default handlers back before it takes an ending signal. Called once, early,
// before other threads start, with the environment the program needs to
// start again.
void removeOnEndingSignals(const std::string& folder, IgnoredSignals ignored = IgnoredSignals::StayIgnored);

}  // namespace ns
