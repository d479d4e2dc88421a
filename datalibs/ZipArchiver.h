// A small wrapper over minizip that writes zip archives and extracts them.
//
// Writing: CreateZipFile2, then addFileToZip for each file (deflated, and
// encrypted with the traditional zip password scheme when a password is set),
// then CloseZipFile2. Reading: UnzipOpenFile, UnzipFileTo (folders created,
// modification dates restored, the delegate asked before a file is replaced),
// then UnzipCloseFile. Problems go to the delegate as short English texts.
//
// Extraction stays inside the target folder: entries whose names lead out of
// it are skipped, and folders and files on the way are opened without
// following symbolic links, so a link inside the target cannot carry a file
// elsewhere. Each entry is written up to the size it declares, no further,
// and an archive whose entries would go beyond the limits (see Limits), or
// whose names would take more memory than its size allows, is refused whole
// before anything is written. Archives of more than 65,535 entries are
// written with the 64-bit end records that other readers need to count them.
//
// One wrapper holds at most one archive for writing and one for reading.
// Opening another of the same kind closes (and for writing finalises) the
// first; the destructor closes both. Passwords are copied, kept apart for
// reading and writing, and used as their UTF-8 bytes. Entry names are UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "foundation/Value.h"

class ZipArchiverDelegate {
public:
    virtual ~ZipArchiverDelegate() = default;
    // A problem report ("Error occurs", "Failed to reading zip file", ...).
    virtual void ErrorMessage(const std::string& message) { (void)message; }
    // Asked before an existing file is replaced during an extraction without
    // the overwrite flag: true replaces it, false skips the entry.
    virtual bool OverWriteOperation(const std::string& path) {
        (void)path;
        return true;
    }
};

class ZipArchiver {
public:
    // What one extraction may write; 0 switches a limit off. The defaults
    // suit what this program packs: documents, pictures and XML that compress
    // a few times and rarely beyond thirty, in archives of at most some
    // hundred megabytes (a packed file is read into memory whole). Declared
    // sizes count, since no entry is written beyond its own.
    struct Limits {
        // All entries together: well above the largest archive the program
        // handles, well below what would fill a phone.
        std::uint64_t totalBytes = 512ull << 20;
        // The most entries a zip holds without its 64-bit extension.
        std::uint64_t entries = 65535;
        // Uncompressed to compressed, per entry, for entries larger than
        // ratioFloor; deflate reaches about 1,000 to 1 only on runs of one
        // byte, which is what a zip bomb is made of.
        std::uint64_t ratio = 100;
        std::uint64_t ratioFloor = 1ull << 20;
        // The longest entry name, in bytes: the system's own bound on a
        // path.
        std::uint64_t pathBytes = 4096;
        // The most folders the entries' names lead through, each counted
        // once however many entries share it: as many as entries.
        std::uint64_t folders = 65535;
        // The folder levels opened, all entries together: an entry in
        // another folder than the last entry's opens each level of its
        // folder. Writers put the entries of one folder together, so this
        // stays near the number of folders; taking turns between deep
        // folders is what goes beyond it.
        std::uint64_t folderLevels = 1u << 20;
    };

    ZipArchiver();
    ~ZipArchiver();
    ZipArchiver(const ZipArchiver&) = delete;
    ZipArchiver& operator=(const ZipArchiver&) = delete;

    // ---- Writing ----
    // Creates (or replaces) the archive file at path.
    bool CreateZipFile2(const std::string& path);
    bool CreateZipFile2_Password(const std::string& path, const std::string& password);
    // Adds the file at path under the entry name newname. A file that cannot
    // be read adds nothing and answers false.
    bool addFileToZip(const std::string& path, const std::string& newname);
    // Writes the central directory and closes the archive; false when none
    // was open or closing failed.
    bool CloseZipFile2();

    // ---- Reading ----
    bool UnzipOpenFile(const std::string& path);
    bool UnzipOpenFile_Password(const std::string& path, const std::string& password);
    // Extracts every entry below the folder. False when an entry cannot be
    // opened or read whole, holds more than it declares, fails its CRC, cannot
    // be written, or would lead outside the folder (such entries are
    // skipped), and when the archive goes beyond the limits (nothing written).
    bool UnzipFileTo(const std::string& path, bool overWrite);
    // True when no archive was open or it closed cleanly.
    bool UnzipCloseFile();

    const Limits& limits() const { return limits_; }
    void setLimits(const Limits& limits) { limits_ = limits; }

    // ---- Delegate ----
    void OutputErrorMessage(const std::string& message);
    bool OverWrite(const std::string& path);
    const std::shared_ptr<ZipArchiverDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<ZipArchiverDelegate> d) { delegate_ = std::move(d); }

    // 1 January 1980, 00:00, local time: the earliest date a zip entry holds.
    static ns::Date Date1980();

private:
    struct Entry;
    class TargetFolder;
    // Reads the central directory: the reason the archive goes beyond the
    // limits, or "" when it does not.
    std::string beyondLimits();
    bool extractCurrent(TargetFolder& target, bool overWrite, bool& stop);

    void* zipFile_ = nullptr;  // minizip zipFile
    std::string zipPath_;
    std::uint64_t entriesAdded_ = 0;
    void* unzFile_ = nullptr;  // minizip unzFile
    std::uint64_t unzBytes_ = 0;  // the archive's size
    std::optional<std::string> writePassword_;
    std::optional<std::string> readPassword_;
    std::shared_ptr<ZipArchiverDelegate> delegate_;
    Limits limits_;
};
