#include "uikit/DeviceStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "foundation/FileManager.h"
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

ns::UserDataFolder storeFolder() {
    std::lock_guard<std::mutex> lock(storeMutex());
    if (overridePath().empty()) return ns::userDataDirectory("KL_DEVICE_HOME", "kestrowline-device");
    return {overridePath()};
}

}  // namespace

std::string deviceStoreDirectory() {
    const ns::UserDataFolder folder = storeFolder();
    return ns::ensureDirectory(folder.path, "DeviceStore", folder.existing);
}

std::string makeDeviceStoreDirectory() {
    const ns::UserDataFolder folder = storeFolder();
    return ns::makeWritableDirectory(folder.path, folder.existing);
}

std::string deviceStoreSubdirectory(const std::string& name) {
    return ns::ensureDirectory(deviceStoreDirectory() + "/" + name, "DeviceStore");
}

void setDeviceStoreDirectory(const std::string& path) {
    std::lock_guard<std::mutex> lock(storeMutex());
    overridePath() = path;
}

DeviceStoreLock::DeviceStoreLock(const std::string& folder, bool exclusive) {
    std::string path = folder + "/.lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        ns::NSLog("DeviceStore: cannot open the lock %@: %@", path, std::string(std::strerror(errno)));
        return;
    }
    while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
    }
}

DeviceStoreLock::~DeviceStoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace ui
