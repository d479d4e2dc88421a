/* Preloaded into the program by its tests: as the process exits, after the
 * program's static objects have gone, it sends the process the signal named
 * in $KL_EXIT_SIGNAL_PROBE (a number), as a Ctrl+C pressed at that moment
 * would, and waits for the signal to end it. Without the variable it does
 * nothing. */
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((destructor)) static void signalAsTheProcessExits(void) {
    const char* number = getenv("KL_EXIT_SIGNAL_PROBE");
    if (!number || !*number) return;
    kill(getpid(), atoi(number));
    for (;;) pause();
}
