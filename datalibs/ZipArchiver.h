// A small wrapper over minizip that writes zip archives and extracts them.
//
// Writing: CreateZipFile2, then addFileToZip for each file (deflated, and
// encrypted with the traditional zip password scheme when a password is set),
// then CloseZipFile2. Reading: UnzipOpenFile, UnzipFileTo (folders created,
// modification dates restored, the delegate asked before a file is replaced),
// then UnzipCloseFile. Problems go to the delegate as short English texts.
//
// One wrapper holds at most one archive for writing and one for reading.
// Opening another of the same kind closes (and for writing finalises) the
// first; the destructor closes both. Passwords are copied, kept apart for
// reading and writing, and used as their UTF-8 bytes. Entry names are UTF-8.
#pragma once

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
    ZipArchiver();
    ~ZipArchiver();
    ZipArchiver(const ZipArchiver&) = delete;
    ZipArchiver& operator=(const ZipArchiver&) = delete;

    // ---- Writing ----
    // Creates (or replaces) the archive file at path.
    bool CreateZipFile2(const std::string& path);
    bool CreateZipFile2(const std::string& path, const std::string& password);
    // Adds the file at path under the entry name newname. A file that cannot
    // be read adds nothing and answers false.
    bool addFileToZip(const std::string& path, const std::string& newname);
    // Writes the central directory and closes the archive; false when none
    // was open or closing failed.
    bool CloseZipFile2();

    // ---- Reading ----
    bool UnzipOpenFile(const std::string& path);
    bool UnzipOpenFile(const std::string& path, const std::string& password);
    // Extracts every entry below the folder. False when an entry cannot be
    // opened or read whole, fails its CRC, cannot be written, or would lead
    // outside the folder (such entries are skipped).
    bool UnzipFileTo(const std::string& path, bool overWrite);
    // True when no archive was open or it closed cleanly.
    bool UnzipCloseFile();

    // ---- Delegate ----
    void OutputErrorMessage(const std::string& message);
    bool OverWrite(const std::string& path);
    const std::shared_ptr<ZipArchiverDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<ZipArchiverDelegate> d) { delegate_ = std::move(d); }

    // 1 January 1980, 00:00, local time: the earliest date a zip entry holds.
    static ns::Date Date1980();

private:
    struct Entry;
    bool extractCurrent(const std::string& target, bool overWrite, bool& stop, std::string& lastFolder);

    void* zipFile_ = nullptr;  // minizip zipFile
    void* unzFile_ = nullptr;  // minizip unzFile
    std::optional<std::string> writePassword_;
    std::optional<std::string> readPassword_;
    std::shared_ptr<ZipArchiverDelegate> delegate_;
};
