#include "uikit/DeviceStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

std::string deviceStoreDirectory() {
    std::string path;
    bool given = false;  // named by KL_DEVICE_HOME: an existing folder keeps its mode
    {
        std::lock_guard<std::mutex> lock(storeMutex());
        path = overridePath().empty() ? ns::userDataDirectory("KL_DEVICE_HOME", "kestrowline-device", &given)
                                      : overridePath();
    }
    return ns::ensureDirectory(path, "DeviceStore",
                               given ? ns::ExistingFolder::KeepMode : ns::ExistingFolder::MakePrivate);
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
        ns::NSLog("DeviceStore: cannot open the lock %@", path);
        return;
    }
    while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
    }
}

DeviceStoreLock::~DeviceStoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace ui
