// The device store: the folder that stands for what a phone keeps outside any
// one app's sandbox (pasteboards, and for other layers the keychain and the
// vendor identifier). Every program of this machine's stand-in device that
// sees the same folder shares these records, so two processes (our program
// and a peer app in tests) can exchange them.
//
// The folder is $KL_DEVICE_HOME when set, else $XDG_DATA_HOME/kestrowline-device,
// else ~/.local/share/kestrowline-device. Tests get a temporary one.
#pragma once

#include <string>

namespace ui {

// The device folder (made when first asked for).
std::string deviceStoreDirectory();
// A sub-folder of it, made when first asked for ("Pasteboards", "Keychain").
std::string deviceStoreSubdirectory(const std::string& name);
// Points the store elsewhere; "" returns to the environment's choice.
void setDeviceStoreDirectory(const std::string& path);

}  // namespace ui
