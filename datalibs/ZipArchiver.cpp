#include "datalibs/ZipArchiver.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>
#include <vector>

#include "datalibs/ZipCrypto.h"
#include "datalibs/ZipFileIO.h"
#include "foundation/Log.h"
#include "foundation/ReadBudget.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kExtractBufferSize = 4096;
constexpr unsigned kRawBufferSize = 16384;
constexpr std::size_t kWriteBatch = 64 * 1024;
constexpr unsigned kMaxWriteChunk = 1u << 30;

constexpr uLong kFlagEncrypted = 0x0001;
constexpr uLong kFlagDataDescriptor = 0x0008;
constexpr uLong kFlagStrongEncryption = 0x0040;
constexpr uLong kFlagUtf8Name = 0x0800;

// The entry count of an archive's end record, where it stops counting.
constexpr std::uint64_t kMostEntriesCounted = 0xffff;

// Reported texts.
constexpr const char* kNoFirstEntry = "Failed";
constexpr const char* kCannotOpenEntry = "Error occurs";
constexpr const char* kCannotReadInfo = "Error occurs while getting file info";
constexpr const char* kCannotReadData = "Failed to reading zip file";
constexpr const char* kBadCrc = "CRC error in zip file: ";
constexpr const char* kCannotWrite = "Failed to write file: ";
constexpr const char* kCannotMakeFolder = "Failed to create folder: ";
constexpr const char* kUnsafeName = "Skipped entry outside the target folder: ";
constexpr const char* kBeyondDeclaredSize = "Entry holds more than its declared size: ";

inline zipFile Z(void* p) { return static_cast<zipFile>(p); }
inline unzFile U(void* p) { return static_cast<unzFile>(p); }

bool isAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void putLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Info-ZIP's Unicode path field (0x7075): version 1, the CRC-32 of the name
// in the header, and the UTF-8 name. Written with the UTF-8 flag for names
// that are not plain ASCII, so every unzip reads them as UTF-8.
std::vector<std::uint8_t> unicodePathField(const std::string& name) {
    std::vector<std::uint8_t> f;
    if (isAscii(name) || name.size() > 0xffff - 9) return f;
    auto put16 = [&](std::size_t v) { putLittleEndian(f, v, 2); };
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size()));
    put16(0x7075);
    put16(5 + name.size());
    f.push_back(1);
    put16(crc & 0xffff);
    put16((crc >> 16) & 0xffff);
    f.insert(f.end(), name.begin(), name.end());
    return f;
}

// Reads a regular file whole; false when it is missing, not a regular file or
// cannot be read to its end.
bool readWholeFile(const std::string& path, ns::Bytes& out, struct stat& st) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bool ok = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        out.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
        ok = got == out.size() && !std::ferror(f);
    }
    std::fclose(f);
    return ok;
}

// The entry's date record: the file's modification time in the local zone,
// held within what a zip entry can carry (1980 to 2107).
void fillDate(tm_zip& date, time_t mtime) {
    std::tm tm{};
    localtime_r(&mtime, &tm);
    int year = tm.tm_year + 1900;
    if (year < 1980) {
        date = tm_zip{0, 0, 0, 1, 0, 1980};
    } else if (year > 2107) {
        date = tm_zip{58, 59, 23, 31, 11, 2107};
    } else {
        date.tm_sec = static_cast<uInt>(tm.tm_sec);
        date.tm_min = static_cast<uInt>(tm.tm_min);
        date.tm_hour = static_cast<uInt>(tm.tm_hour);
        date.tm_mday = static_cast<uInt>(tm.tm_mday);
        date.tm_mon = static_cast<uInt>(tm.tm_mon);
        date.tm_year = static_cast<uInt>(year);
    }
}

bool writeAll(zipFile zf, const std::uint8_t* data, std::size_t size) {
    if (size == 0) return zipWriteInFileInZip(zf, data, 0) == ZIP_OK;
    while (size > 0) {
        unsigned n = static_cast<unsigned>(std::min<std::size_t>(size, kMaxWriteChunk));
        if (zipWriteInFileInZip(zf, data, n) != ZIP_OK) return false;
        data += n;
        size -= n;
    }
    return true;
}

// Raw deflate of the whole buffer, behind room for the encryption header.
bool deflateBehindHeader(const ns::Bytes& in, ns::Bytes& out) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(zipcrypto::kHeaderSize + deflateBound(&zs, static_cast<uLong>(in.size())));
    std::size_t inPos = 0, outPos = zipcrypto::kHeaderSize;
    int rc = Z_OK;
    while (rc == Z_OK) {
        std::size_t inLeft = in.size() - inPos, outLeft = out.size() - outPos;
        zs.next_in = const_cast<Bytef*>(in.data() + inPos);
        zs.avail_in = static_cast<uInt>(std::min<std::size_t>(inLeft, UINT_MAX));
        zs.next_out = out.data() + outPos;
        zs.avail_out = static_cast<uInt>(std::min<std::size_t>(outLeft, UINT_MAX));
        uInt inBefore = zs.avail_in, outBefore = zs.avail_out;
        rc = deflate(&zs, zs.avail_in == inLeft ? Z_FINISH : Z_NO_FLUSH);
        inPos += inBefore - zs.avail_in;
        outPos += outBefore - zs.avail_out;
        if (rc == Z_BUF_ERROR && outPos < out.size()) rc = Z_OK;
    }
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) return false;
    out.resize(outPos);
    return true;
}

// Entry names that would land outside the target folder: absolute, with a
// drive prefix, or with a ".." component ("\" already turned into "/").
bool leadsOutside(const std::string& name) {
    if (name.empty()) return false;
    if (name[0] == '/') return true;
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') return true;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

// The current entry's information and its name (UTF-8, up to a NUL).
bool currentEntry(unzFile uf, unz_file_info64& info, std::string& name) {
    if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
    std::vector<char> buffer(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo64(uf, &info, buffer.data(), static_cast<uLong>(buffer.size()), nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return false;
    name = buffer.data();
    return true;
}

// The folder an entry goes into, its names joined by single slashes
// ("a//b/./c/f" and "a/b/c/" go into "a/b/c"; "" is the target itself).
// `name` has "/" for "\".
std::string folderOf(std::string_view name) {
    const std::size_t last = name.rfind('/');
    std::string_view rest = name.substr(0, last == std::string_view::npos ? 0 : last);
    std::string folder;
    while (!rest.empty()) {
        const std::size_t slash = std::min(rest.find('/'), rest.size());
        const std::string_view part = rest.substr(0, slash);
        rest.remove_prefix(std::min(slash + 1, rest.size()));
        if (part.empty() || part == ".") continue;
        if (!folder.empty()) folder.push_back('/');
        folder.append(part);
    }
    return folder;
}

// The folders two paths (each name followed by "/") begin with alike: the
// length of their common beginning up to and with its last "/".
std::size_t sharedFolders(std::string_view a, std::string_view b) {
    const std::size_t most = std::min(a.size(), b.size());
    std::size_t n = 0;
    while (n < most && a[n] == b[n]) ++n;
    const std::size_t slash = a.substr(0, n).rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// How many folders the paths (each name followed by "/") lead through, each
// counted once: in order, a path adds the folders after those it shares
// with the one before it.
std::uint64_t foldersOnTheWay(std::vector<std::string>& paths) {
    std::sort(paths.begin(), paths.end());
    std::uint64_t count = 0;
    std::string_view before;
    for (const std::string& path : paths) {
        const std::size_t shared = sharedFolders(path, before);
        count += static_cast<std::uint64_t>(std::count(path.begin() + static_cast<std::ptrdiff_t>(shared), path.end(), '/'));
        before = path;
    }
    return count;
}

// The entries of an archive one after the other. Writers that stop counting
// at 65,535 entries say so of larger archives too, so minizip reads on past
// the 65,535th entry of an archive that says it holds that many; where the
// central directory ends instead, that is the end of the list, not a
// damaged entry.
class EntryWalk {
public:
    explicit EntryWalk(unzFile uf) : uf_(uf) {
        unz_global_info64 global{};
        if (unzGetGlobalInfo64(uf, &global) == UNZ_OK) declared_ = global.number_entry;
    }

    // UNZ_OK at an entry, UNZ_END_OF_LIST_OF_FILE past the last one, else
    // the failure.
    int first() {
        seen_ = 0;
        return step(unzGoToFirstFile(uf_));
    }
    int next() { return step(unzGoToNextFile(uf_)); }

    // The entries the archive says it holds, and those reached so far (the
    // current one among them).
    std::uint64_t declared() const { return declared_; }
    std::uint64_t seen() const { return seen_; }

private:
    int step(int rc) {
        if (rc == UNZ_OK)
            ++seen_;
        else if (rc != UNZ_END_OF_LIST_OF_FILE && declared_ == kMostEntriesCounted && seen_ >= declared_)
            rc = UNZ_END_OF_LIST_OF_FILE;
        return rc;
    }

    unzFile uf_;
    std::uint64_t declared_ = 0;
    std::uint64_t seen_ = 0;
};

std::uint64_t readLittleEndian(const std::uint8_t* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[i];
    return value;
}

bool writeAllAt(int fd, const std::uint8_t* data, std::size_t size, off_t at) {
    while (size > 0) {
        ssize_t w = ::pwrite(fd, data, size, at);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        size -= static_cast<std::size_t>(w);
        at += w;
    }
    return true;
}

// minizip ends an archive of more than 65,535 entries with its count held
// at 65,535 and without the 64-bit end records that carry the true count,
// so other readers stop there or fail. Puts those records in front of the
// end record (which no comment follows here), as Info-ZIP lays them out;
// false when the archive cannot be read or written so, its end then as it
// was.
bool addZip64End(const std::string& path, std::uint64_t entries) {
    constexpr std::size_t kEndSize = 22, kLocatorSize = 20;
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st{};
    std::uint8_t tail[kLocatorSize + kEndSize];
    bool ok = ::fstat(fd, &st) == 0 && static_cast<std::size_t>(st.st_size) >= sizeof tail &&
              ::pread(fd, tail, sizeof tail, st.st_size - static_cast<off_t>(sizeof tail)) ==
                  static_cast<ssize_t>(sizeof tail);
    const std::uint8_t* end = tail + kLocatorSize;
    if (ok && readLittleEndian(tail, 4) == 0x07064b50) {  // minizip wrote them itself
        ::close(fd);
        return true;
    }
    ok = ok && readLittleEndian(end, 4) == 0x06054b50 && readLittleEndian(end + 10, 2) == kMostEntriesCounted &&
         readLittleEndian(end + 20, 2) == 0;
    const off_t endAt = st.st_size - static_cast<off_t>(kEndSize);
    if (ok) {
        std::vector<std::uint8_t> records;
        putLittleEndian(records, 0x06064b50, 4);  // the 64-bit end record
        putLittleEndian(records, 44, 8);          // its size after this field
        putLittleEndian(records, 45, 2);          // made by, and needed: 4.5
        putLittleEndian(records, 45, 2);
        putLittleEndian(records, 0, 4);  // this disk, and the directory's
        putLittleEndian(records, 0, 4);
        putLittleEndian(records, entries, 8);  // entries on this disk, and in all
        putLittleEndian(records, entries, 8);
        putLittleEndian(records, readLittleEndian(end + 12, 4), 8);  // the directory's size and offset
        putLittleEndian(records, readLittleEndian(end + 16, 4), 8);
        putLittleEndian(records, 0x07064b50, 4);  // its locator
        putLittleEndian(records, 0, 4);
        putLittleEndian(records, static_cast<std::uint64_t>(endAt), 8);
        putLittleEndian(records, 1, 4);
        records.insert(records.end(), end, end + kEndSize);
        ok = writeAllAt(fd, records.data(), records.size(), endAt);
        if (!ok) {
            // The end as minizip wrote it, as far as the file takes it back.
            const bool restored = writeAllAt(fd, end, kEndSize, endAt) && ::ftruncate(fd, st.st_size) == 0;
            (void)restored;
        }
    }
    return ::close(fd) == 0 && ok;
}

}  // namespace

// Reads one entry's data through minizip's raw mode: decrypts it when it is
// encrypted, inflates it when it is deflated, and keeps its CRC and length.
struct ZipArchiver::Entry {
    unzFile uf = nullptr;
    bool deflated = false;
    std::optional<zipcrypto::Keys> keys;
    z_stream zs{};
    bool inflating = false;
    bool streamEnd = false;
    bool rawEnd = false;
    std::vector<std::uint8_t> in;
    uLong crc = crc32(0, nullptr, 0);
    std::uint64_t produced = 0;

    ~Entry() {
        if (inflating) inflateEnd(&zs);
    }

    int rawRead(std::uint8_t* buf, unsigned len) {
        int n = unzReadCurrentFile(uf, buf, len);
        if (n > 0 && keys) keys->decrypt(buf, static_cast<std::size_t>(n));
        return n;
    }

    // Sets up decryption; false for a wrong password or a truncated header.
    bool start(const std::string& password, std::uint8_t check) {
        keys.emplace(password);
        std::uint8_t header[zipcrypto::kHeaderSize];
        unsigned got = 0;
        while (got < zipcrypto::kHeaderSize) {
            int n = unzReadCurrentFile(uf, header + got, static_cast<unsigned>(zipcrypto::kHeaderSize) - got);
            if (n <= 0) return false;
            got += static_cast<unsigned>(n);
        }
        return keys->readHeader(header, check);
    }

    bool startInflate() {
        if (!deflated) return true;
        in.resize(kRawBufferSize);
        if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return false;
        inflating = true;
        return true;
    }

    // > 0: bytes produced; 0: end of the data; < 0: the data is broken.
    int read(std::uint8_t* out, unsigned len) {
        int n = 0;
        if (!deflated) {
            n = rawRead(out, len);
        } else {
            if (streamEnd) return 0;
            zs.next_out = out;
            zs.avail_out = len;
            while (zs.avail_out == len) {
                if (zs.avail_in == 0 && !rawEnd) {
                    int r = rawRead(in.data(), static_cast<unsigned>(in.size()));
                    if (r < 0) return r;
                    if (r == 0) rawEnd = true;
                    zs.next_in = in.data();
                    zs.avail_in = static_cast<uInt>(r);
                }
                int rc = inflate(&zs, Z_NO_FLUSH);
                if (rc == Z_STREAM_END) {
                    streamEnd = true;
                    break;
                }
                if (rc == Z_BUF_ERROR && !(rawEnd && zs.avail_in == 0)) continue;
                if (rc != Z_OK) return rc < 0 ? rc : Z_DATA_ERROR;
            }
            n = static_cast<int>(len - zs.avail_out);
        }
        if (n > 0) {
            crc = crc32(crc, out, static_cast<uInt>(n));
            produced += static_cast<std::uint64_t>(n);
        }
        return n;
    }
};

ZipArchiver::ZipArchiver() = default;

ZipArchiver::~ZipArchiver() {
    CloseZipFile2();
    UnzipCloseFile();
}

// ---- Writing ----

bool ZipArchiver::CreateZipFile2(const std::string& path) {
    CloseZipFile2();
    zipFile_ = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    zipPath_ = path;
    entriesAdded_ = 0;
    return zipFile_ != nullptr;
}

bool ZipArchiver::CreateZipFile2_Password(const std::string& path, const std::string& password) {
    if (!CreateZipFile2(path)) return false;
    writePassword_ = password;
    return true;
}

bool ZipArchiver::addFileToZip(const std::string& path, const std::string& newname) {
    if (!zipFile_) return false;
    ns::Bytes data;
    struct stat st{};
    if (!readWholeFile(path, data, st)) return false;

    zip_fileinfo info{};
    fillDate(info.tmz_date, st.st_mtime);
    uLong flags = isAscii(newname) ? 0 : kFlagUtf8Name;
    std::vector<std::uint8_t> extra = unicodePathField(newname);
    const void* extraData = extra.empty() ? nullptr : extra.data();
    uInt extraSize = static_cast<uInt>(extra.size());
    int zip64 = data.size() >= 0xffffffffull ? 1 : 0;

    if (writePassword_ && !writePassword_->empty()) {
        // minizip here cannot encrypt: deflate and encrypt ourselves, then
        // hand minizip the finished bytes in raw mode.
        uLong crc = crc32_z(crc32(0, nullptr, 0), data.data(), data.size());
        ns::Bytes sealed;
        if (!deflateBehindHeader(data, sealed)) return false;
        zipcrypto::Keys keys(*writePassword_);
        keys.makeHeader(sealed.data(), zipcrypto::checkByte(static_cast<std::uint32_t>(crc), 0, false));
        keys.encrypt(sealed.data() + zipcrypto::kHeaderSize, sealed.size() - zipcrypto::kHeaderSize);
        if (zipOpenNewFileInZip4_64(Z(zipFile_), newname.c_str(), &info, extraData, extraSize, extraData,
                                    extraSize, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1, MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                    nullptr, 0, 0, flags | kFlagEncrypted, zip64) != ZIP_OK)
            return false;
        ++entriesAdded_;
        if (!writeAll(Z(zipFile_), sealed.data(), sealed.size())) return false;
        return zipCloseFileInZipRaw64(Z(zipFile_), data.size(), crc) == ZIP_OK;
    }

    if (zipOpenNewFileInZip4_64(Z(zipFile_), newname.c_str(), &info, extraData, extraSize, extraData, extraSize,
                                nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 0, MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, 0, flags,
                                zip64) != ZIP_OK)
        return false;
    ++entriesAdded_;
    if (!writeAll(Z(zipFile_), data.data(), data.size())) return false;
    return zipCloseFileInZip(Z(zipFile_)) == ZIP_OK;
}

bool ZipArchiver::CloseZipFile2() {
    writePassword_.reset();
    if (!zipFile_) return false;
    int rc = zipClose(Z(zipFile_), nullptr);
    zipFile_ = nullptr;
    // Every entry opened is in the central directory, also one whose data
    // could not be written.
    if (rc == ZIP_OK && entriesAdded_ > kMostEntriesCounted) return addZip64End(zipPath_, entriesAdded_);
    return rc == ZIP_OK;
}

// ---- Reading ----

bool ZipArchiver::UnzipOpenFile(const std::string& path) {
    UnzipCloseFile();
    unzFile_ = datalibs::openZipForReading(path, &unzBytes_);
    if (!unzFile_) return false;
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(U(unzFile_), &global) == UNZ_OK)
        ns::NSLog("%d entries in the zip file", static_cast<int>(global.number_entry));
    return true;
}

bool ZipArchiver::UnzipOpenFile_Password(const std::string& path, const std::string& password) {
    if (!UnzipOpenFile(path)) return false;
    readPassword_ = password;
    return true;
}

// The target folder, and the folders below it opened without following
// symbolic links: a link on the way (or a file where a folder should be)
// fails instead of leading somewhere else. The target itself is the caller's
// path, links and all.
//
// The last entry's folder stays open (or known as one that failed), since
// entries of one folder mostly follow each other. Another folder is opened
// in one call from the target down to the deepest folder on its way that
// this extraction made or opened before (the kernel refusing any link on
// that way), and made one name at a time below it: so entries that take
// turns between deep folders cost a call each, not two for every level.
// Where the kernel cannot open a path so, each folder is walked one name at
// a time from the target.
class ZipArchiver::TargetFolder {
public:
    explicit TargetFolder(std::string path) : path_(std::move(path)) {}
    ~TargetFolder() {
        forgetLast();
        if (root_ >= 0) ::close(root_);
    }
    TargetFolder(const TargetFolder&) = delete;
    TargetFolder& operator=(const TargetFolder&) = delete;

    const std::string& path() const { return path_; }

    // The folder at the relative path (names joined by single slashes, ""
    // for the target), made as needed; -1 when it cannot be made or opened
    // as a real folder.
    int folder(const std::string& relative) {
        if (root_ < 0) {
            std::error_code ec;
            fs::create_directories(path_, ec);
            root_ = ::open(path_.empty() ? "." : path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (root_ < 0) return -1;
        }
        if (relative.empty()) return root_;
        if (hasLast_ && relative == lastPath_) return lastFd_;  // also when it failed
        forgetLast();
        hasLast_ = true;
        lastPath_ = relative;
        // Of the folders made before, the one that begins like this path
        // the furthest is next to it in order.
        std::string key = relative + '/';
        std::size_t known = 0;
        auto after = made_.lower_bound(key);
        if (after != made_.end()) known = sharedFolders(key, *after);
        if (after != made_.begin()) known = std::max(known, sharedFolders(key, *std::prev(after)));
        int fd = known > 0 ? openMade(key.substr(0, known - 1)) : -1;
        if (fd < 0) {  // gone since, or no way to open it whole
            fd = root_;
            known = 0;
        }
        lastFd_ = walk(fd, std::string_view(key).substr(known));
        if (lastFd_ >= 0) made_.insert(std::move(key));
        return lastFd_;
    }

private:
    // The folders of `rest` (each name followed by "/") below `fd`, made as
    // needed; the last one, or -1. `fd` is closed unless it is the target.
    int walk(int fd, std::string_view rest) {
        while (!rest.empty()) {
            const std::size_t slash = rest.find('/');
            const std::string part(rest.substr(0, slash));
            rest.remove_prefix(slash + 1);
            ::mkdirat(fd, part.c_str(), 0777);  // an existing one is opened below
            int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd != root_) ::close(fd);
            if (next < 0) return -1;
            fd = next;
        }
        return fd;
    }

    // A folder made before, opened in one call that fails on any link on
    // its way; -1 when it is gone or cannot be opened so.
    int openMade(const std::string& relative) {
        if (!wholePaths_ || relative.size() >= PATH_MAX) return -1;
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        const int fd = static_cast<int>(::syscall(SYS_openat2, root_, relative.c_str(), &how, sizeof how));
        if (fd < 0 && (errno == ENOSYS || errno == EPERM)) wholePaths_ = false;  // an older kernel, or a filter
        return fd;
    }

    void forgetLast() {
        if (lastFd_ >= 0) ::close(lastFd_);
        lastFd_ = -1;
        hasLast_ = false;
    }

    std::string path_;
    int root_ = -1;
    bool hasLast_ = false;
    std::string lastPath_;
    int lastFd_ = -1;
    std::set<std::string> made_;  // each followed by "/"
    bool wholePaths_ = true;
};

std::string ZipArchiver::beyondLimits() {
    unzFile uf = U(unzFile_);
    EntryWalk walk(uf);
    if (limits_.entries != 0 && walk.declared() > limits_.entries)
        return "Archive refused: " + std::to_string(walk.declared()) + " entries, more than " +
               std::to_string(limits_.entries);
    // The folders' names are what extraction keeps of the entries: once
    // here, and once more while it makes them.
    ns::ReadBudget budget(unzBytes_);
    std::vector<std::string> folders;  // each followed by "/"
    std::string why;
    std::uint64_t total = 0, levels = 0;
    for (int rc = walk.first(); rc == UNZ_OK && why.empty(); rc = walk.next()) {
        if (limits_.entries != 0 && walk.seen() > limits_.entries) {
            why = "Archive refused: more than " + std::to_string(limits_.entries) + " entries";
            break;
        }
        unz_file_info64 info{};
        std::string name;
        if (!currentEntry(uf, info, name)) break;  // extraction reports it
        const std::uint64_t size = info.uncompressed_size, packed = info.compressed_size;
        if (limits_.pathBytes != 0 && name.size() > limits_.pathBytes) {
            why = "Archive refused: an entry's name of " + std::to_string(name.size()) + " bytes, more than " +
                  std::to_string(limits_.pathBytes);
        } else if (limits_.ratio != 0 && size > limits_.ratioFloor && (size - 1) / limits_.ratio >= packed) {
            why = "Archive refused: entry " + name + " would inflate " + std::to_string(size) + " bytes from " +
                  std::to_string(packed) + ", more than " + std::to_string(limits_.ratio) + " to 1";
        } else if (limits_.totalBytes != 0 && size > limits_.totalBytes - total) {
            why = "Archive refused: its entries would write more than " + std::to_string(limits_.totalBytes) +
                  " bytes";
        }
        total += size;
        std::replace(name.begin(), name.end(), '\\', '/');
        if (!why.empty() || name.empty() || leadsOutside(name)) continue;
        std::string folder = folderOf(name);
        if (folder.empty()) continue;
        folder.push_back('/');
        // A folder other than the last entry's is opened through all its
        // levels; one that repeats the last adds nothing to count.
        if (!folders.empty() && folder == folders.back()) continue;
        levels += static_cast<std::uint64_t>(std::count(folder.begin(), folder.end(), '/'));
        if (limits_.folderLevels != 0 && levels > limits_.folderLevels) {
            why = "Archive refused: its entries would open more than " + std::to_string(limits_.folderLevels) +
                  " folder levels";
        } else if (!budget.spendValues(2) || !budget.spendCopy(folder.size())) {
            why = std::string("Archive refused: it ") + ns::ReadBudget::kReason;
        } else {
            folders.push_back(std::move(folder));
        }
    }
    if (why.empty() && limits_.folders != 0 && foldersOnTheWay(folders) > limits_.folders)
        why = "Archive refused: its entries would make more than " + std::to_string(limits_.folders) + " folders";
    return why;
}

bool ZipArchiver::UnzipFileTo(const std::string& path, bool overWrite) {
    unzFile uf = U(unzFile_);
    if (unzGoToFirstFile(uf) != UNZ_OK) {
        OutputErrorMessage(kNoFirstEntry);
    } else if (std::string why = beyondLimits(); !why.empty()) {
        ns::NSLog("%@", why);
        OutputErrorMessage(why);
        return false;
    }
    TargetFolder target(path);
    EntryWalk walk(uf);
    int rc = walk.first();
    bool ok = true;
    do {
        bool stop = false;
        if (!extractCurrent(target, overWrite, stop)) ok = false;
        if (stop) return false;
        rc = walk.next();
    } while (rc == UNZ_OK);
    if (rc != UNZ_END_OF_LIST_OF_FILE) {
        OutputErrorMessage(kCannotReadInfo);
        return false;
    }
    return ok;
}

// One entry: false when it was not extracted whole; stop is set when the
// extraction cannot go on at all.
bool ZipArchiver::extractCurrent(TargetFolder& target, bool overWrite, bool& stop) {
    unzFile uf = U(unzFile_);
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(uf, &method, &level, 1) != UNZ_OK) {
        OutputErrorMessage(kCannotOpenEntry);
        stop = true;
        return false;
    }
    unz_file_info64 info{};
    std::string name;
    if (!currentEntry(uf, info, name)) {
        OutputErrorMessage(kCannotReadInfo);
        unzCloseCurrentFile(uf);
        stop = true;
        return false;
    }

    Entry entry;
    entry.uf = uf;
    entry.deflated = method == Z_DEFLATED;
    bool encrypted = (info.flag & kFlagEncrypted) != 0;
    bool opened = (method == 0 || method == Z_DEFLATED) && (info.flag & kFlagStrongEncryption) == 0;
    if (opened && encrypted) {
        opened = readPassword_ && !readPassword_->empty() &&
                 entry.start(*readPassword_, zipcrypto::checkByte(static_cast<std::uint32_t>(info.crc),
                                                                  static_cast<std::uint32_t>(info.dosDate),
                                                                  (info.flag & kFlagDataDescriptor) != 0));
    }
    if (opened) opened = entry.startInflate();
    if (!opened) {
        OutputErrorMessage(kCannotOpenEntry);
        unzCloseCurrentFile(uf);
        stop = true;
        return false;
    }

    if (name.empty()) {
        unzCloseCurrentFile(uf);
        return true;
    }
    bool isFolder = name.back() == '/' || name.back() == '\\';
    std::replace(name.begin(), name.end(), '\\', '/');
    if (leadsOutside(name)) {
        OutputErrorMessage(kUnsafeName + name);
        unzCloseCurrentFile(uf);
        return false;
    }

    std::size_t slash = name.rfind('/');
    std::string folderName = isFolder ? name : name.substr(0, slash == std::string::npos ? 0 : slash);
    std::string leaf = isFolder ? std::string() : name.substr(slash == std::string::npos ? 0 : slash + 1);
    int folder = target.folder(folderOf(name));
    if (folder < 0) {
        OutputErrorMessage(kCannotMakeFolder + (fs::path(target.path()) / folderName).string());
        unzCloseCurrentFile(uf);
        return false;
    }
    if (isFolder) {
        unzCloseCurrentFile(uf);
        return true;
    }
    std::string full = (fs::path(target.path()) / name).string();
    struct stat existing{};
    if (!overWrite && ::fstatat(folder, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && !OverWrite(full)) {
        unzCloseCurrentFile(uf);
        return true;
    }

    // Never through a link, and only into a regular file (a FIFO would hold
    // the extraction until someone reads it).
    int fd = ::openat(folder, leaf.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    struct stat file{};
    if (fd >= 0 && (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        OutputErrorMessage(kCannotWrite + full);
        unzCloseCurrentFile(uf);
        return false;
    }
    bool ok = true;
    // Pieces of 4,096 bytes are gathered into larger writes.
    std::vector<std::uint8_t> pending;
    pending.reserve(kWriteBatch);
    auto flush = [&] {
        std::size_t done = 0;
        while (done < pending.size()) {
            ssize_t w = ::write(fd, pending.data() + done, pending.size() - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += static_cast<std::size_t>(w);
        }
        pending.clear();
        return true;
    };
    const std::uint64_t declared = info.uncompressed_size;
    std::uint8_t buf[kExtractBufferSize];
    for (;;) {
        int n = entry.read(buf, kExtractBufferSize);
        if (n == 0) break;
        if (n < 0) {
            OutputErrorMessage(kCannotReadData);
            ok = false;
            break;
        }
        // Nothing beyond the declared size is written: the limits were
        // checked against it.
        const bool beyond = entry.produced > declared;
        const std::size_t keep = static_cast<std::size_t>(n) - (beyond ? entry.produced - declared : 0);
        pending.insert(pending.end(), buf, buf + keep);
        if (beyond) {
            ns::NSLog("%@%@", std::string(kBeyondDeclaredSize), name);
            OutputErrorMessage(kBeyondDeclaredSize + name);
            ok = false;
            break;
        }
        if (pending.size() + kExtractBufferSize > kWriteBatch && !flush()) {
            OutputErrorMessage(kCannotWrite + full);
            ok = false;
            break;
        }
    }
    bool written = flush();
    if (!written && ok) {
        OutputErrorMessage(kCannotWrite + full);
        ok = false;
    }
    if (ok && entry.produced != declared) {
        OutputErrorMessage(kCannotReadData);
        ok = false;
    }
    if (ok && entry.crc != info.crc) {
        OutputErrorMessage(kBadCrc + name);
        ok = false;
    }

    std::tm tm{};
    tm.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
    tm.tm_min = static_cast<int>(info.tmu_date.tm_min);
    tm.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
    tm.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
    tm.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
    tm.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
    tm.tm_isdst = -1;
    time_t when = mktime(&tm);
    struct timespec times[2] = {{when, 0}, {when, 0}};
    if (when == static_cast<time_t>(-1) || ::futimens(fd, times) != 0) ns::NSLog("Failed to set attributes");
    if (::close(fd) != 0 && ok) {
        OutputErrorMessage(kCannotWrite + full);
        ok = false;
    }

    unzCloseCurrentFile(uf);
    return ok;
}

bool ZipArchiver::UnzipCloseFile() {
    readPassword_.reset();
    if (!unzFile_) return true;
    int rc = unzClose(U(unzFile_));
    unzFile_ = nullptr;
    return rc == UNZ_OK;
}

// ---- Delegate ----

// The delegate is held for the call, so a delegate that replaces itself
// from inside a callback stays alive until the callback returns.
void ZipArchiver::OutputErrorMessage(const std::string& message) {
    if (auto d = delegate_) d->ErrorMessage(message);
}

bool ZipArchiver::OverWrite(const std::string& path) {
    if (auto d = delegate_) return d->OverWriteOperation(path);
    return true;
}

ns::Date ZipArchiver::Date1980() {
    std::tm tm{};
    tm.tm_year = 80;
    tm.tm_mon = 0;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    return ns::Date{static_cast<double>(mktime(&tm))};
}
