#include "datalibs/DataPaths.h"

#include <cstdlib>
#include <system_error>

namespace datalibs {

namespace {

std::filesystem::path appHome() {
    if (const char* home = std::getenv("KL_HOME"); home && *home) return home;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::filesystem::path(data) / "kestrowline";
    if (const char* user = std::getenv("HOME"); user && *user)
        return std::filesystem::path(user) / ".local/share/kestrowline";
    return std::filesystem::temp_directory_path() / "kestrowline";
}

}  // namespace

std::filesystem::path cachesDirectory() {
    std::filesystem::path caches = appHome() / "Library" / "Caches";
    std::error_code ec;
    std::filesystem::create_directories(caches, ec);
    return caches;
}

}  // namespace datalibs
