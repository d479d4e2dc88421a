#include "foundation/Bundle.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "foundation/Data.h"
#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/Strings.h"

#ifndef KL_RESOURCES_DIR
#define KL_RESOURCES_DIR ""
#endif

namespace ns {

namespace fs = std::filesystem;

namespace {

std::mutex& bundleMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<Bundle>& mainSlot() {
    static std::shared_ptr<Bundle> bundle;
    return bundle;
}

bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

std::string locateResources() {
    if (const char* env = std::getenv("KL_RESOURCES"); env && *env) {
        if (isFolder(env)) return env;
        NSLog("Bundle: KL_RESOURCES names no folder: %s", env);
    }
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        std::string beside = (exe.parent_path() / "resources").string();
        if (isFolder(beside)) return beside;
    }
    if (isFolder(KL_RESOURCES_DIR)) return KL_RESOURCES_DIR;
    NSLog("Bundle: no resources folder found");
    return {};
}

}  // namespace

std::shared_ptr<Bundle> Bundle::mainBundle() {
    std::lock_guard lock(bundleMutex());
    auto& slot = mainSlot();
    if (!slot) slot = std::make_shared<Bundle>(locateResources());
    return slot;
}

void Bundle::resetMainBundle() {
    std::lock_guard lock(bundleMutex());
    mainSlot().reset();
}

Bundle::Bundle(std::string resourcePath) : resourcePath_(std::move(resourcePath)), info_(Value::dictionary()) {
    if (resourcePath_.empty()) return;
    std::string path = resourcePath_ + "/Info.plist";
    auto bytes = readFile(path);
    if (!bytes) {
        NSLog("Bundle: cannot read %@", path);
        return;
    }
    ErrorPtr error;
    Value info = PropertyListSerialization::propertyListWithData(*bytes, nullptr, &error);
    if (!info.isDictionary()) {
        NSLog("Bundle: %@ is not a property-list dictionary%@", path,
              error ? ": " + error->localizedDescription() : std::string());
        return;
    }
    info_ = info;
}

std::string Bundle::pathForResource(std::string_view name, std::string_view ext, std::string_view subdirectory) const {
    if (resourcePath_.empty() || name.empty()) return {};
    std::string file(name);
    if (!ext.empty()) {
        if (ext.front() == '.') ext.remove_prefix(1);
        file += '.';
        file += ext;
    }
    std::string folder = subdirectory.empty() ? resourcePath_ : stringByAppendingPathComponent(resourcePath_, subdirectory);
    std::string path = stringByAppendingPathComponent(folder, file);
    std::error_code ec;
    return fs::exists(path, ec) ? path : std::string();
}

Value Bundle::infoDictionary() const { return info_.deepCopy(); }

Value Bundle::objectForInfoDictionaryKey(std::string_view key) const { return info_[key].deepCopy(); }

std::string Bundle::bundleIdentifier() const { return info_["CFBundleIdentifier"].str(); }

}  // namespace ns
