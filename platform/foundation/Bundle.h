// The application bundle: its resources folder and its Info values.
//
// The resources folder is the source tree's resources/. It is found, in
// order: the folder named by the environment variable KL_RESOURCES (tests
// set it); a "resources" folder (or link to one) beside the executable; the
// source folder compiled in at build time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace ns {

class Bundle {
public:
    static std::shared_ptr<Bundle> mainBundle();
    // Tests: find the resources folder and read Info.plist again.
    static void resetMainBundle();

    // A bundle rooted at the folder, with Info.plist read from it.
    explicit Bundle(std::string resourcePath);

    // The resources folder; "" when none was found.
    const std::string& resourcePath() const { return resourcePath_; }
    const std::string& bundlePath() const { return resourcePath_; }

    // pathForResource:ofType:inDirectory: the full path of
    // "<name>.<ext>" (or of "name" when ext is empty) in the resources
    // folder or the sub-folder, or "" when there is no such file.
    std::string pathForResource(std::string_view name, std::string_view ext,
                                std::string_view subdirectory = {}) const;

    // The Info.plist dictionary (a copy; empty when the file is missing or
    // damaged, with a log line) and one of its values (nil when absent).
    Value infoDictionary() const;
    Value objectForInfoDictionaryKey(std::string_view key) const;
    // "CFBundleIdentifier", or "" when absent.
    std::string bundleIdentifier() const;

private:
    std::string resourcePath_;
    Value info_;
};

}  // namespace ns
