#include "foundation/FileManager.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/Data.h"
#include "foundation/Log.h"

namespace ns {

namespace fs = std::filesystem;

namespace {

std::mutex& homeMutex() {
    static std::mutex m;
    return m;
}

// Homes removed for good (removeHomeDirectory), lexically normal and
// absolute. Folder makers hold the lock shared while they check and make, so
// once a home is on the list no maker that began earlier is still at work.
// Never destroyed: a writer still at work while the process exits (a
// queue's last file, a signal's removal) must find the list as it was.
struct RemovedHomes {
    std::shared_mutex mutex;
    std::mutex removal;  // one removal at a time
    std::vector<std::string> paths;
};

RemovedHomes& removedHomes() {
    static auto* homes = new RemovedHomes;
    return *homes;
}

std::string normalPath(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    std::string normal = (ec ? fs::path(path) : absolute).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

// Whether the path is a removed home or lies inside one; the caller holds
// the lock.
bool inRemovedHome(const std::string& path) {
    const auto& homes = removedHomes().paths;
    if (homes.empty()) return false;
    const std::string normal = normalPath(path);
    for (const auto& home : homes)
        if (normal.compare(0, home.size(), home) == 0 && (normal.size() == home.size() || normal[home.size()] == '/'))
            return true;
    return false;
}

// What makePrivateFolders answers for a folder it may not make.
constexpr int kInRemovedHome = -1;

// Makes the folder and any missing parents for the owner alone (0700);
// 0, the errno of the failure, or kInRemovedHome.
int makePrivateFolders(const std::string& path) {
    if (path.empty()) return ENOENT;
    std::shared_lock lock(removedHomes().mutex);
    if (inRemovedHome(path)) return kInRemovedHome;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        if (path[i - 1] == '/') continue;
        if (::mkdir(path.substr(0, i).c_str(), 0700) != 0 && errno != EEXIST) return errno;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : EEXIST;
}

std::string& overrideHome() {
    static std::string s;
    return s;
}

std::optional<UserDataFolder>& cachedHome() {
    static std::optional<UserDataFolder> folder;
    return folder;
}

Date dateOf(const struct timespec& ts) {
    return Date{static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9};
}

Value attributesOf(const struct stat& st) {
    const char* type = S_ISREG(st.st_mode)   ? kFileTypeRegular
                       : S_ISDIR(st.st_mode) ? kFileTypeDirectory
                       : S_ISLNK(st.st_mode) ? kFileTypeSymbolicLink
                                             : kFileTypeUnknown;
    return Value::dictionary({
        {kFileSize, Value(static_cast<long long>(st.st_size))},
        {kFileModificationDate, Value(dateOf(st.st_mtim))},
        {kFileType, Value(type)},
        {kFilePosixPermissions, Value(static_cast<long long>(st.st_mode & 07777))},
    });
}

// A folder an earlier version made for everyone to read is closed now.
void closeToOthers(const std::string& path, const char* owner) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && (st.st_mode & 077) != 0 && ::chmod(path.c_str(), st.st_mode & 0700) != 0)
        NSLog("%s: cannot make %@ private: %@", owner, path, std::string(std::strerror(errno)));
}

bool failWith(ErrorPtr* error, int err, const std::string& path, bool writing) {
    if (error) *error = fileError(err, path, writing);
    return false;
}

}  // namespace

// ---- Folders of the user's data ----

UserDataFolder userDataDirectory(const char* variable, const std::string& name) {
    if (const char* v = std::getenv(variable); v && *v) return {v, ExistingFolder::KeepMode};
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') return {std::string(x) + "/" + name};
    std::string user;
    if (const char* h = std::getenv("HOME"); h && *h) {
        user = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        user = pw->pw_dir;
    } else {
        user = "/tmp";
    }
    return {user + "/.local/share/" + name};
}

std::string ensureDirectory(const std::string& path, const char* owner, ExistingFolder existing) {
    if (int err = makePrivateFolders(path)) {
        if (err == kInRemovedHome) return path;  // on purpose: nothing to report
        NSLog("%s: cannot create %@: %@", owner, path, std::string(std::strerror(err)));
        return path;
    }
    if (existing == ExistingFolder::MakePrivate) closeToOthers(path, owner);
    return path;
}

std::string makeWritableDirectory(const std::string& path, ExistingFolder existing) {
    int err = makePrivateFolders(path);
    if (err == kInRemovedHome) err = ENOENT;
    if (err == EEXIST) err = ENOTDIR;  // a file, say, where the folder should be
    if (err == 0 && existing == ExistingFolder::MakePrivate) closeToOthers(path, "FileManager");
    if (err == 0 && ::access(path.c_str(), W_OK | X_OK) != 0) err = errno;
    return err == 0 ? std::string() : path + ": " + std::strerror(err);
}

// ---- The machine's temporary folder ----

std::string makeTemporaryFolder(const std::string& prefix, std::string* why, const std::string& in) {
    const char* variable = in.empty() ? std::getenv("TMPDIR") : nullptr;
    if (variable && !*variable) {
        if (why) *why = "TMPDIR is set but empty";
        return {};
    }
    const std::string folder = !in.empty() ? in : variable ? variable : "/tmp";
    std::string pattern = folder + (folder.ends_with('/') ? "" : "/") + prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        if (why) *why = (variable ? "TMPDIR=" : "") + folder + ": " + std::strerror(errno);
        return {};
    }
    return pattern;
}

// ---- App home ----

namespace {

// The standard folders of the home, below it.
constexpr std::string_view kDocuments = "/Documents", kCaches = "/Library/Caches",
                           kPreferences = "/Library/Preferences", kTemporary = "/tmp";

// Each folder on the way from the home down to `relative` ("/Library", then
// "/Library/Caches"): made level by level, so that a "Library" an earlier
// version left open is closed too.
std::vector<std::string_view> levels(std::string_view relative) {
    std::vector<std::string_view> out;
    for (std::size_t at = relative.find('/', 1);; at = relative.find('/', at + 1)) {
        out.push_back(relative.substr(0, at));
        if (at == std::string_view::npos) return out;
    }
}

UserDataFolder currentHome() {
    std::lock_guard lock(homeMutex());
    if (!overrideHome().empty()) return {overrideHome()};
    if (!cachedHome()) cachedHome() = userDataDirectory("KL_HOME", "kestrowline");
    return *cachedHome();
}

}  // namespace

std::string homeDirectory() {
    const UserDataFolder home = currentHome();
    return ensureDirectory(home.path, "FileManager", home.existing);
}

std::string makeHomeDirectories() {
    const UserDataFolder home = currentHome();
    if (std::string why = makeWritableDirectory(home.path, home.existing); !why.empty()) return why;
    for (std::string_view folder : {kDocuments, kCaches, kPreferences, kTemporary})
        for (std::string_view level : levels(folder))
            if (std::string why = makeWritableDirectory(home.path + std::string(level)); !why.empty()) return why;
    return {};
}

namespace {

std::string homeFolder(std::string_view relative) {
    const std::string home = homeDirectory();
    for (std::string_view level : levels(relative)) ensureDirectory(home + std::string(level), "FileManager");
    return home + std::string(relative);
}

}  // namespace

std::string documentsDirectory() { return homeFolder(kDocuments); }
std::string cachesDirectory() { return homeFolder(kCaches); }
std::string preferencesDirectory() { return homeFolder(kPreferences); }
std::string temporaryDirectory() { return homeFolder(kTemporary); }

void setHomeDirectory(const std::string& path) {
    {
        std::lock_guard lock(homeMutex());
        overrideHome() = path;
        cachedHome().reset();
    }
    std::unique_lock lock(removedHomes().mutex);
    removedHomes().paths.clear();
}

void resetHomeDirectory() { setHomeDirectory({}); }

bool removeHomeDirectory(const std::string& path) {
    if (path.empty()) return false;
    const std::string home = normalPath(path);
    {
        std::unique_lock lock(removedHomes().mutex);
        auto& homes = removedHomes().paths;
        if (std::find(homes.begin(), homes.end(), home) == homes.end()) homes.push_back(home);
    }
    std::lock_guard one(removedHomes().removal);
    auto exists = [](const std::string& p) {
        struct stat st {};
        return ::lstat(p.c_str(), &st) == 0 || errno != ENOENT;
    };
    // Again while a writer still puts a file into a folder as it goes.
    auto removeAll = [&](const std::string& p) {
        for (int attempt = 0; attempt < 8 && exists(p); ++attempt) {
            std::error_code ec;
            fs::remove_all(p, ec);
        }
    };
    // Moved aside in one step: from then on no path into the home leads
    // anywhere. What cannot move is removed in place.
    const std::string aside = home + ".removing";
    if (::rename(home.c_str(), aside.c_str()) != 0) removeAll(home);
    removeAll(aside);
    return !exists(home) && !exists(aside);
}

// ---- FileManager ----

FileManager& FileManager::defaultManager() {
    static FileManager manager;
    return manager;
}

bool FileManager::fileExistsAtPath(const std::string& path) const { return fileExistsAtPath(path, nullptr); }

bool FileManager::fileExistsAtPath(const std::string& path, bool* isDir) const {
    struct stat st {};
    bool exists = !path.empty() && ::stat(path.c_str(), &st) == 0;
    if (isDir) *isDir = exists && S_ISDIR(st.st_mode);
    return exists;
}

bool FileManager::isDirectory(const std::string& path) const {
    bool dir = false;
    return fileExistsAtPath(path, &dir) && dir;
}

bool FileManager::createDirectoryAtPath(const std::string& path, bool intermediates, ErrorPtr* error) const {
    if (path.empty()) return failWith(error, ENOENT, path, true);
    if (!intermediates) {
        std::shared_lock lock(removedHomes().mutex);
        if (inRemovedHome(path)) return failWith(error, ENOENT, path, true);
        if (::mkdir(path.c_str(), 0700) != 0) return failWith(error, errno, path, true);
        return true;
    }
    if (int err = makePrivateFolders(path)) return failWith(error, err == kInRemovedHome ? ENOENT : err, path, true);
    return true;
}

bool FileManager::removeItemAtPath(const std::string& path, ErrorPtr* error) const {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return failWith(error, ENOENT, path, true);
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) return failWith(error, ec.value(), path, true);
    return true;
}

bool FileManager::moveItemAtPath(const std::string& from, const std::string& to, ErrorPtr* error) const {
    struct stat st {};
    if (from.empty() || ::lstat(from.c_str(), &st) != 0) return failWith(error, ENOENT, from, true);
    if (to.empty()) return failWith(error, ENOENT, to, true);
    if (::lstat(to.c_str(), &st) == 0) return failWith(error, EEXIST, to, true);
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) return failWith(error, errno, to, true);
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        std::error_code ignore;
        fs::remove_all(to, ignore);
        return failWith(error, ec.value(), to, true);
    }
    fs::remove_all(from, ec);
    return true;
}

bool FileManager::createFileAtPath(const std::string& path, const Bytes& contents) const {
    return writeFileAtomically(path, contents);
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectoryAtPath(const std::string& path,
                                                                              ErrorPtr* error) const {
    DIR* dir = path.empty() ? nullptr : ::opendir(path.c_str());
    if (!dir) {
        failWith(error, path.empty() ? ENOENT : errno, path, false);
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

Value FileManager::attributesOfItemAtPath(const std::string& path, ErrorPtr* error) const {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) {
        failWith(error, path.empty() ? ENOENT : errno, path, false);
        return {};
    }
    return attributesOf(st);
}

Value FileManager::fileAttributesAtPath(const std::string& path, bool traverseLink) const {
    struct stat st {};
    int rc = path.empty() ? -1 : traverseLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    return rc == 0 ? attributesOf(st) : Value{};
}

bool FileManager::setAttributes(const Value& attributes, const std::string& path, ErrorPtr* error) const {
    if (path.empty()) return failWith(error, ENOENT, path, true);
    Value date = attributes[kFileModificationDate];
    if (date.isDate()) {
        double s = date.date().seconds;
        if (!std::isfinite(s) || std::fabs(s) > 1e15) return failWith(error, EINVAL, path, true);
        double whole = std::floor(s);
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(whole);
        times[1].tv_nsec = std::min(999999999L, static_cast<long>(std::llround((s - whole) * 1e9)));
        if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return failWith(error, errno, path, true);
    }
    Value perms = attributes[kFilePosixPermissions];
    if (perms.isNumber()) {
        if (::chmod(path.c_str(), static_cast<mode_t>(perms.integerValue() & 07777)) != 0)
            return failWith(error, errno, path, true);
    }
    return true;
}

std::optional<long long> FileManager::fileSize(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<long long>(st.st_size);
}

std::optional<Date> FileManager::modificationDate(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return dateOf(st.st_mtim);
}

bool FileManager::setModificationDate(const std::string& path, Date date, ErrorPtr* error) const {
    return setAttributes(Value::dictionary({{kFileModificationDate, Value(date)}}), path, error);
}

}  // namespace ns
