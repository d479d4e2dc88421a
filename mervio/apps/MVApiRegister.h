// Registration with Mervio: the reporter starts for the app id, and the app's
// record goes onto the shared, persistent pasteboard "mervio_register",
// where the Mervio app reads it.
//
//   MVApiRegister::registerApp(appId, description);
//
// The board's "content" is a binary property list of one dictionary, app id
// -> record; a registration rewrites only its own entry:
//   "appIcon"            the icon file's bytes (when one can be read)
//   "appIdentifier"      CFBundleIdentifier
//   "appName"            CFBundleDisplayName when not empty, else CFBundleName
//   "firstLaunchTime"    seconds since 1970 as text, kept from the previous record
//   "laststLaunchTime"   now, the same way (the key is spelt so)
//   "appID"              the app id
//   "appDescriptionSDK"  the description, only when it has 1 to 1024 characters
//
// Every registration also adds an observer of the application's entry into
// the background, so each registration made reports "onBackground_MV" once
// per entry. Main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/Notification.h"
#include "foundation/Value.h"
#include "uikit/Pasteboard.h"

class MVApiRegister {
public:
    static constexpr std::size_t kMaxDescription = 1024;

    // The one instance, made on first use; it only observes.
    static std::shared_ptr<MVApiRegister> shareInstance();

    // Starts the reporter under "IMVOP" + the app id and observes the
    // application's entry into the background.
    void startMSA(const std::string& appId);
    // Reports "onBackground_MV".
    void DidEnterBackground(const ns::Notification& notification);

    static std::string getRegisterPasteboardName();  // "mervio_register"
    // The board's dictionary; nil when absent, no property list or no
    // dictionary. `beyondLimits` as MervioApiUtil::propertyListFromData's.
    static ns::Value getRegisterDictionary(const ui::PasteboardPtr& board, bool* beyondLimits = nullptr);
    // The icon file the bundle names for this screen: from CFBundleIconFiles
    // the first name with "@2x" on a 2x screen (without it elsewhere), else the
    // list's last name; without a list CFBundleIconFile; else "Icon@2x.png" or
    // "Icon.png". nullopt without an Info dictionary.
    static std::optional<std::string> getIconString();
    // This app's record, keeping the first launch time of `oldAppDictionary`.
    static ns::Value buildAppDictionary(const std::string& appId, const ns::Value& oldAppDictionary);

    // NO for an empty app id, a board that cannot be had, a board beyond
    // what the reader takes (left as it is: other apps' entries may be in it)
    // or a record that cannot be written, also when the board would grow
    // beyond what the reader takes (the board is then left as it was).
    static bool registerApp(const std::string& appId);
    static bool registerApp(const std::string& appId, const std::string& description);
};
