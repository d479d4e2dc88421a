// What the application delegate asks of the Mervio SDK: registration at
// launch and the URLs handed back to the application. The SDK fills the
// slots when it is built into the program; until then they are empty and
// the calls do nothing (registration answers NO, no URL is taken).
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

    bool callRegisterApp(const std::string& appId, const std::string& description) const {
        return registerApp ? registerApp(appId, description) : false;
    }
    bool callHandleOpenURL(const std::string& url) const { return handleOpenURL ? handleOpenURL(url) : false; }
};

// The process-wide slots (main thread).
MervioHooks& mervioHooks();

// This application's identifier at Mervio (also its URL scheme there).
inline constexpr const char* kMervioAppId = "mv5c3e8a1f20b74d96";
