// What the application asks of the Mervio SDK: registration at launch, the
// URLs handed back to the application, and for the public-account page
// whether the Mervio app is installed and the way into it. The SDK fills the
// slots when it is built into the program; until then registration answers
// NO and no URL is taken, "installed" is whether the application can open
// the Mervio app's URL for this app (mervioAppURL()), and opening opens it.
//
//   mervioHooks().registerApp = [](const std::string& appId, const std::string& description) {
//       return MVApi::registerApp(appId, description);
//   };
#pragma once

#include <functional>
#include <string>

struct MervioHooks {
    // +[MVApi registerApp:withDescription:]
    std::function<bool(const std::string& appId, const std::string& description)> registerApp;
    // +[MVApi handleOpenURL:delegate:] with the application delegate, which
    // answers neither requests nor responses.
    std::function<bool(const std::string& url)> handleOpenURL;
    // +[MVApi isMVAppInstalled]
    std::function<bool()> isMVAppInstalled;
    // +[MVApi openMVApp]
    std::function<bool()> openMVApp;

    bool callRegisterApp(const std::string& appId, const std::string& description) const {
        return registerApp ? registerApp(appId, description) : false;
    }
    bool callHandleOpenURL(const std::string& url) const { return handleOpenURL ? handleOpenURL(url) : false; }
    bool callIsMVAppInstalled() const;
    bool callOpenMVApp() const;
};

// The process-wide slots (main thread).
MervioHooks& mervioHooks();

// This application's identifier at Mervio (also its URL scheme there).
inline constexpr const char* kMervioAppId = "mv5c3e8a1f20b74d96";

// The Mervio app's URL for this application: "maiwei://app/<app id>/".
std::string mervioAppURL();
