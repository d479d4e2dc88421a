// The file system as the program sees it: the app home folder with its
// standard sub-folders, and the file manager's operations on paths.
//
// The app home is named by the environment variable KL_HOME; without it, it
// is $XDG_DATA_HOME/kestrowline, else ~/.local/share/kestrowline. Its
// sub-folders Documents, Library/Caches, Library/Preferences and tmp are
// created when first asked for. What the program keeps there (the member's
// password among it) is for the member alone: the folders it makes, and every
// folder inside the home, are 0700 and the files it writes 0600. A folder
// that KL_HOME names and that is already there keeps its mode.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/Value.h"

namespace ns {

// ---- Folders of the user's data ----

// What ensureDirectory does with a folder that is already there: closes it
// to others (a folder of our own), or leaves its mode (a folder the user
// named, which may be shared, such as a sticky 1777 one).
enum class ExistingFolder { MakePrivate, KeepMode };
// A folder of the user's data, and what is done with it when it is there.
struct UserDataFolder {
    std::string path;
    ExistingFolder existing = ExistingFolder::MakePrivate;
};
// Where one of our programs keeps its data on this machine: $<variable> when
// set and not empty (a folder the user named: KeepMode), else
// $XDG_DATA_HOME/<name> when that is an absolute path, else <user
// home>/.local/share/<name> (the user home from $HOME, else the password
// entry, else /tmp). Nothing is made.
UserDataFolder userDataDirectory(const char* variable, const std::string& name);
// Makes the folder and its parents (for the owner alone, 0700; an existing
// folder open to others is closed to them, unless `existing` keeps its mode)
// and answers the path. A failure is logged as "<owner>: cannot create
// <path>: <reason>", the path answered regardless (later file operations
// report their own errors).
std::string ensureDirectory(const std::string& path, const char* owner,
                            ExistingFolder existing = ExistingFolder::MakePrivate);
// Makes the folder as ensureDirectory does, without a log line, and looks
// that its owner may put files in it: "" when so, else why not ("<path>:
// <reason>", "Not a directory" when something else is there).
std::string makeWritableDirectory(const std::string& path, ExistingFolder existing = ExistingFolder::MakePrivate);

// ---- The machine's temporary folder ----

// Makes a new folder for the owner alone (0700) in the machine's temporary
// folder, $TMPDIR when it is set, else /tmp (or in `in` when given), named
// `prefix` followed by six characters that make it unique, and answers its
// path. When it cannot, answers "" and sets `why` to the cause in one line,
// naming where it looked: "TMPDIR=/x: No such file or directory", "TMPDIR is
// set but empty", "/tmp: Permission denied".
std::string makeTemporaryFolder(const std::string& prefix, std::string* why, const std::string& in = {});

// ---- App home ----

std::string homeDirectory();         // NSHomeDirectory()
std::string documentsDirectory();    // <home>/Documents
std::string cachesDirectory();       // <home>/Library/Caches
std::string preferencesDirectory();  // <home>/Library/Preferences
std::string temporaryDirectory();    // <home>/tmp (no trailing slash)

// Tests, and a run in a home of its own: point the home somewhere else, or
// (with "") back to the default lookup, which re-reads KL_HOME. Either lets
// the homes removed for good below be made again.
void setHomeDirectory(const std::string& path);
void resetHomeDirectory();

// Makes the app home and its standard folders now, as a program does before
// it starts (a home that cannot be made is a start-up failure): "" when they
// are there and writable, else why not (as makeWritableDirectory says).
std::string makeHomeDirectories();

// Removes a home that is done with, for good, also while other threads still
// write there. From the call on, nothing makes that folder, or any folder
// inside it, again: homeDirectory() and the folders below answer their paths
// without making them, createDirectoryAtPath and ensureDirectory fail there
// (ensureDirectory without a log line), so a writer that comes later fails as
// on a missing folder. Then the folder is moved aside ("<path>.removing") and
// removed with everything in it: a writer that reaches it by its path finds
// nothing, so nothing lands in it while it goes. True when neither is left.
// Safe from any thread; one removal runs at a time.
bool removeHomeDirectory(const std::string& path);

// ---- Attribute keys ----

inline constexpr const char* kFileSize = "NSFileSize";                          // integer
inline constexpr const char* kFileModificationDate = "NSFileModificationDate";  // date
inline constexpr const char* kFileType = "NSFileType";                          // string
inline constexpr const char* kFilePosixPermissions = "NSFilePosixPermissions";  // integer
inline constexpr const char* kFileTypeRegular = "NSFileTypeRegular";
inline constexpr const char* kFileTypeDirectory = "NSFileTypeDirectory";
inline constexpr const char* kFileTypeSymbolicLink = "NSFileTypeSymbolicLink";
inline constexpr const char* kFileTypeUnknown = "NSFileTypeUnknown";

// The file manager. Stateless; every method is safe from any thread.
// Failing operations answer false (or nil/nullopt) and, when given a place,
// an error in the Cocoa domain (Data.h).
class FileManager {
public:
    static FileManager& defaultManager();

    // Follows symbolic links: a link to nothing does not exist.
    bool fileExistsAtPath(const std::string& path) const;
    bool fileExistsAtPath(const std::string& path, bool* isDirectory) const;
    bool isDirectory(const std::string& path) const;

    // Without intermediates the parent must exist and the folder must not
    // (an existing one is FileWriteFileExistsError). With intermediates every
    // missing folder is made, and an existing folder is success. New folders
    // are for the owner alone (0700).
    bool createDirectoryAtPath(const std::string& path, bool withIntermediateDirectories,
                               ErrorPtr* error = nullptr) const;
    // Removes a file, a link, or a folder with everything in it.
    bool removeItemAtPath(const std::string& path, ErrorPtr* error = nullptr) const;
    // Renames; fails when the destination exists. Works across file systems.
    bool moveItemAtPath(const std::string& from, const std::string& to, ErrorPtr* error = nullptr) const;
    // Writes a file with the bytes (atomically), replacing any file there.
    bool createFileAtPath(const std::string& path, const Bytes& contents) const;

    // Names of the entries of a folder (not "." or ".."), sorted; nullopt
    // when the path is not a readable folder.
    std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(const std::string& path,
                                                                      ErrorPtr* error = nullptr) const;

    // A dictionary with kFileSize, kFileModificationDate, kFileType and
    // kFilePosixPermissions; nil when the path does not exist. A link's own
    // attributes unless traverseLink.
    Value attributesOfItemAtPath(const std::string& path, ErrorPtr* error = nullptr) const;
    Value fileAttributesAtPath(const std::string& path, bool traverseLink) const;
    // Sets kFileModificationDate (following links) and kFilePosixPermissions.
    bool setAttributes(const Value& attributes, const std::string& path, ErrorPtr* error = nullptr) const;

    // Shortcuts, following links: size in bytes (nullopt when missing) and
    // modification date (nullopt when missing); setting the date.
    std::optional<long long> fileSize(const std::string& path) const;
    std::optional<Date> modificationDate(const std::string& path) const;
    bool setModificationDate(const std::string& path, Date date, ErrorPtr* error = nullptr) const;
};

}  // namespace ns
