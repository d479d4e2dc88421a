#include "program/Modules.h"

#include "app/framework/OCJUIWebViewController.h"

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
#if KL_HAVE_MERVIO && __has_include("mervio/Module.h")
#define KL_REGISTER_MERVIO 1
#include "mervio/Module.h"
#endif

void registerBuiltInModules([[maybe_unused]] ModuleRegistry& modules, [[maybe_unused]] MervioHooks& mervio) {
    modules.webScreen = [](const std::string& title, const std::string& url) -> std::shared_ptr<ui::ViewController> {
        auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
        web->titleStr = title;
        web->urlStr = url;
        return web;
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
}
