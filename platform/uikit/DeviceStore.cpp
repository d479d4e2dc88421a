#include "uikit/DeviceStore.h"

#include <mutex>

#include "foundation/FileManager.h"

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

}  // namespace

std::string deviceStoreDirectory() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(storeMutex());
        path = overridePath().empty() ? ns::userDataDirectory("KL_DEVICE_HOME", "kestrowline-device") : overridePath();
    }
    return ns::ensureDirectory(path, "DeviceStore");
}

std::string deviceStoreSubdirectory(const std::string& name) {
    return ns::ensureDirectory(deviceStoreDirectory() + "/" + name, "DeviceStore");
}

void setDeviceStoreDirectory(const std::string& path) {
    std::lock_guard<std::mutex> lock(storeMutex());
    overridePath() = path;
}

}  // namespace ui
