// The program's entry: registers the modules built into this program, then
// hands over to the application (after taking the statistics server's URL,
// which the SDK keeps). A module library takes part once it has
// its registration header (see app/shell/ModuleRegistry.h); the desktop window and
// the screen tour once their libraries are built with the program.
#include <iostream>
#include <string>

#include "app/framework/OCJUIWebViewController.h"
#include "app/shell/MervioHooks.h"
#include "app/shell/ModuleRegistry.h"
#include "app/shell/Program.h"

#if KL_HAVE_WINDOW
#include "window/Host.h"
#endif
#if KL_HAVE_TOUR
#include "tour/Tour.h"
#endif
#if KL_HAVE_CHANNELS && __has_include("channels/Module.h")
#define KL_REGISTER_CHANNELS 1
#include "channels/Module.h"
#endif
#if KL_HAVE_CASES && __has_include("cases/Module.h")
#define KL_REGISTER_CASES 1
#include "cases/Module.h"
#endif
#if KL_HAVE_MEMBERS && __has_include("members/Module.h")
#define KL_REGISTER_MEMBERS 1
#include "members/Module.h"
#endif
#if KL_HAVE_MERVIO
#include "mervio/MVOMSAConfig.h"
#endif
#if KL_HAVE_MERVIO && __has_include("mervio/Module.h")
#define KL_REGISTER_MERVIO 1
#include "mervio/Module.h"
#endif

int main(int argc, char** argv) {
    ModuleRegistry& modules = moduleRegistry();
    [[maybe_unused]] MervioHooks& mervio = mervioHooks();
    // The home screen's fixed web pages open in the shared web screen.
    modules.webScreen = [](const std::string& title, const std::string& url) {
        auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
        web->titleStr = title;
        web->urlStr = url;
        return std::static_pointer_cast<ui::ViewController>(web);
    };
#if KL_REGISTER_CHANNELS
    registerChannelsModule(modules);
#endif
#if KL_REGISTER_CASES
    registerCasesModule(modules);
#endif
#if KL_REGISTER_MEMBERS
    registerMembersModule(modules);
#endif
#if KL_REGISTER_MERVIO
    registerMervioModule(modules, mervio);
#endif
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
    return runKestrowline(argc, argv, std::cout, std::cerr, hosts);
}
