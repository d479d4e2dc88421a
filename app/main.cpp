// The program's entry: registers the modules built into this program, then
// hands over to the application.
#include <iostream>

#include "app/MervioHooks.h"
#include "app/ModuleRegistry.h"
#include "app/Program.h"

#if KL_HAVE_CHANNELS
#include "channels/Module.h"
#endif
#if KL_HAVE_CASES
#include "cases/Module.h"
#endif
#if KL_HAVE_MEMBERS
#include "members/Module.h"
#endif
#if KL_HAVE_MERVIO
#include "mervio/Module.h"
#endif

int main(int argc, char** argv) {
    [[maybe_unused]] ModuleRegistry& modules = moduleRegistry();
    [[maybe_unused]] MervioHooks& mervio = mervioHooks();
#if KL_HAVE_CHANNELS
    registerChannelsModule(modules);
#endif
#if KL_HAVE_CASES
    registerCasesModule(modules);
#endif
#if KL_HAVE_MEMBERS
    registerMembersModule(modules);
#endif
#if KL_HAVE_MERVIO
    registerMervioModule(modules, mervio);
#endif
    return runKestrowline(argc, argv, std::cout, std::cerr);
}
