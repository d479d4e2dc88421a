// The program's entry: registers the modules built into this program
// (program/Modules.h), then hands over to the application, with the
// statistics server's option (its URL, which the SDK keeps). A module library
// takes part once it has its registration header (see
// app/shell/ModuleRegistry.h); the desktop window and the screen tour once
// their libraries are built with the program. The data libraries go into the
// program whole (CMakeLists.txt), though nothing here calls them.
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
    ProgramHosts hosts;
#if KL_HAVE_MERVIO
    // The statistics server, beside the service: --stat-report URL or KL_STAT_REPORT_URL.
    hosts.takeOptions = [](int& count, char** arguments, std::string* error) {
        return MVOMSAConfig::applyCommandLine(count, arguments, error);
    };
#endif
#if KL_HAVE_WINDOW
    hosts.displayAvailable = [] { return window::displayAvailable(); };
    hosts.runWindowed = [](ui::Application& app, const std::function<void()>& launch, std::string* error) {
        return window::runWindowed(app, launch, error);
    };
#endif
#if KL_HAVE_TOUR
    hosts.tour = tour::run;
#endif
#if KL_HAVE_MERVIO
    // Registration started the statistics reporter: its queues stop before
    // the process takes down what they use (and before the tour's home goes).
    hosts.beforeExit = [] { MVOMSA::finishBeforeExit(); };
#endif
    return runKestrowline(argc, argv, std::cout, std::cerr, hosts);
}
