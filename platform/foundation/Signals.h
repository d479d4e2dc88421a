// Ending the process by a signal, for the programs that catch Ctrl+C, SIGTERM
// or a closed terminal to clean up first.
#pragma once

namespace ns {

// Takes back the handler of `sig`, lets it through to the calling thread and
// raises it: the process ends as the signal would have ended it without a
// handler (status 128 + sig for a shell). Any thread may call it.
[[noreturn]] void endBySignal(int sig);

}  // namespace ns
