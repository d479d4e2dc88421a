#include "app/shell/MervioHooks.h"

#include "uikit/Application.h"

MervioHooks& mervioHooks() {
    static MervioHooks hooks;
    return hooks;
}

std::string mervioAppURL() { return std::string("maiwei://app/") + kMervioAppId + "/"; }

bool MervioHooks::callIsMVAppInstalled() const {
    if (isMVAppInstalled) return isMVAppInstalled();
    return ui::Application::sharedApplication().canOpenURL(mervioAppURL());
}

bool MervioHooks::callOpenMVApp() const {
    if (openMVApp) return openMVApp();
    return ui::Application::sharedApplication().openURL(mervioAppURL());
}
