// Where the data libraries find the app's folders.
#pragma once

#include <filesystem>

namespace datalibs {

// The app home's Library/Caches folder (created when missing).
std::filesystem::path cachesDirectory();

}  // namespace datalibs
