#include "uikit/DeviceStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "foundation/Log.h"

namespace ui {

namespace {

std::mutex& storeMutex() {
    static std::mutex m;
    return m;
}

std::string& overridePath() {
    static std::string s;
    return s;
}

std::string environmentPath() {
    if (const char* d = std::getenv("KL_DEVICE_HOME"); d && *d) return d;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') return std::string(x) + "/kestrowline-device";
    std::string user;
    if (const char* h = std::getenv("HOME"); h && *h) {
        user = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        user = pw->pw_dir;
    } else {
        user = "/tmp";
    }
    return user + "/.local/share/kestrowline-device";
}

std::string ensure(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) ns::NSLog("DeviceStore: cannot create %@: %@", path, ec.message());
    return path;
}

}  // namespace

std::string deviceStoreDirectory() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(storeMutex());
        path = overridePath().empty() ? environmentPath() : overridePath();
    }
    return ensure(path);
}

std::string deviceStoreSubdirectory(const std::string& name) { return ensure(deviceStoreDirectory() + "/" + name); }

void setDeviceStoreDirectory(const std::string& path) {
    std::lock_guard<std::mutex> lock(storeMutex());
    overridePath() = path;
}

}  // namespace ui
