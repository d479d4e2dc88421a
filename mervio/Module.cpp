#include "mervio/Module.h"

#include "mervio/apps/MVApi.h"

namespace {

// The application delegate as Mervio's delegate: it takes neither requests
// nor responses.
class ApplicationMervioDelegate : public MVApiDelegate {};

}  // namespace

void registerMervioModule(ModuleRegistry&, MervioHooks& hooks) {
    hooks.registerApp = [](const std::string& appId, const std::string& description) {
        return MVApi::registerApp(appId, description);
    };
    hooks.handleOpenURL = [delegate = std::make_shared<ApplicationMervioDelegate>()](const std::string& url) {
        return MVApi::handleOpenURL(url, delegate);
    };
    hooks.isMVAppInstalled = [] { return MVApi::isMVAppInstalled(); };
    hooks.openMVApp = [] { return MVApi::openMVApp(); };
}
