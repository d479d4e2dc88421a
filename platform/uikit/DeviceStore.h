// The device store: the folder that stands for what a phone keeps outside any
// one app's sandbox (pasteboards, and for other layers the keychain and the
// vendor identifier). Every program of this machine's stand-in device that
// sees the same folder shares these records, so two processes (our program
// and a peer app in tests) can exchange them.
//
// The folder is $KL_DEVICE_HOME when set, else $XDG_DATA_HOME/kestrowline-device,
// else ~/.local/share/kestrowline-device. Tests get a temporary one. The
// folders made are for the owner alone (0700); a folder that KL_DEVICE_HOME
// names and that is already there keeps its mode (its sub-folders do not).
#pragma once

#include <string>

namespace ui {

// The device folder (made when first asked for).
std::string deviceStoreDirectory();
// Makes the device folder now, as a program does before it starts: "" when
// it is there and writable, else why not (ns::makeWritableDirectory).
std::string makeDeviceStoreDirectory();
// A sub-folder of it, made when first asked for ("Pasteboards", "Keychain").
std::string deviceStoreSubdirectory(const std::string& name);
// Points the store elsewhere; "" returns to the environment's choice.
void setDeviceStoreDirectory(const std::string& path);

// A device-wide lock on one sub-folder's records (a ".lock" file in it):
// exclusive for read-modify-write, shared for reads. Held for the object's
// lifetime, across processes and threads alike.
class DeviceStoreLock {
public:
    DeviceStoreLock(const std::string& folder, bool exclusive);
    ~DeviceStoreLock();
    DeviceStoreLock(const DeviceStoreLock&) = delete;
    DeviceStoreLock& operator=(const DeviceStoreLock&) = delete;

private:
    int fd_ = -1;
};

}  // namespace ui
