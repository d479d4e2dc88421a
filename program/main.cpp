// The program's entry: registers the modules built into this program
// (program/Modules.h), then
// hands over to the application (after taking the statistics server's URL,
// which the SDK keeps). A module library takes part once it has
// its registration header (see app/shell/ModuleRegistry.h); the desktop window and
// the screen tour once their libraries are built with the program.
#include <iostream>
#include <string>

#include "app/shell/Program.h"

#if KL_HAVE_WINDOW
#include "window/Host.h"
#endif
#if KL_HAVE_TOUR
#include "tour/Tour.h"
#endif
#if KL_HAVE_MERVIO
#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSAConfig.h"
#endif
#include "program/Modules.h"

int main(int argc, char** argv) {
    registerBuiltInModules(moduleRegistry(), mervioHooks());
#if KL_HAVE_MERVIO
    // The statistics server, beside the service: --stat-report URL or KL_STAT_REPORT_URL.
    std::string error;
    if (!MVOMSAConfig::applyCommandLine(argc, argv, &error)) {
        std::cerr << "kestrowline: " << error << "\n";
        return 2;
    }
#endif
    ProgramHosts hosts;
#if KL_HAVE_WINDOW
    hosts.displayAvailable = [] { return window::displayAvailable(); };
    hosts.runWindowed = [](ui::Application& app) { return window::runWindowed(app); };
#endif
#if KL_HAVE_TOUR
    hosts.tour = tour::run;
#endif
    int status = runKestrowline(argc, argv, std::cout, std::cerr, hosts);
#if KL_HAVE_MERVIO
    // Registration started the statistics reporter: its queues stop before
    // the process takes down what they use.
    MVOMSA::finishBeforeExit();
#endif
    return status;
}
