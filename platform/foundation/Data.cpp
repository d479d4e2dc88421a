#include "foundation/Data.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <nettle/base64.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

namespace ns {

namespace {

const std::uint8_t* bytePtr(std::string_view s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }
std::string_view view(const Bytes& b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }

bool isBase64Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// What writeFileAtomically names its temporary file: the file's name,
// ".tmp-" and the six letters or digits mkstemp chose.
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporaryLetters = 6;

bool isTemporaryOf(std::string_view entry, std::string_view name) {
    if (entry.size() <= kTemporaryMark.size() + kTemporaryLetters) return false;
    const std::size_t mark = entry.size() - kTemporaryLetters - kTemporaryMark.size();
    if (entry.substr(mark, kTemporaryMark.size()) != kTemporaryMark) return false;
    if (!name.empty() && entry.substr(0, mark) != name) return false;
    for (char c : entry.substr(mark + kTemporaryMark.size()))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

}  // namespace

// ---- Base64 ----

std::string base64Encode(std::string_view bytes) {
    std::string out(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
    if (!bytes.empty()) base64_encode_raw(out.data(), bytes.size(), bytePtr(bytes));
    return out;
}

std::string base64Encode(const Bytes& data) { return base64Encode(view(data)); }

std::optional<Bytes> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t pad = 0;
    while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=') ++pad;
    for (std::size_t i = 0; i < text.size() - pad; ++i)
        if (!isBase64Char(text[i])) return std::nullopt;
    Bytes out(BASE64_DECODE_LENGTH(text.size()));
    base64_decode_ctx ctx;
    base64_decode_init(&ctx);
    std::size_t len = out.size();
    if (!base64_decode_update(&ctx, &len, out.data(), text.size(), text.data())) return std::nullopt;
    if (!base64_decode_final(&ctx)) return std::nullopt;
    out.resize(len);
    return out;
}

std::string uuidString() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    Bytes b(16);
    for (std::size_t i = 0; i < b.size(); i += 8) {
        std::uint64_t r = random();
        for (std::size_t j = 0; j < 8; ++j) b[i + j] = static_cast<std::uint8_t>(r >> (8 * j));
    }
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string hex = hexEncode(b, true);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
           hex.substr(20);
}

// ---- Digests ----

Bytes md5(std::string_view bytes) {
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, bytes.size(), bytePtr(bytes));
    Bytes out(MD5_DIGEST_SIZE);
    md5_digest(&ctx, out.size(), out.data());
    return out;
}

Bytes md5(const Bytes& data) { return md5(view(data)); }
std::string md5Hex(const Bytes& data) { return hexEncode(md5(data)); }
std::string md5Hex(std::string_view bytes) { return hexEncode(md5(bytes)); }

Bytes sha1(std::string_view bytes) {
    sha1_ctx ctx;
    sha1_init(&ctx);
    sha1_update(&ctx, bytes.size(), bytePtr(bytes));
    Bytes out(SHA1_DIGEST_SIZE);
    sha1_digest(&ctx, out.size(), out.data());
    return out;
}

Bytes sha1(const Bytes& data) { return sha1(view(data)); }
std::string sha1Hex(const Bytes& data) { return hexEncode(sha1(data)); }
std::string sha1Hex(std::string_view bytes) { return hexEncode(sha1(bytes)); }

// ---- Hex ----

std::string hexEncode(const Bytes& data, bool uppercase) {
    const char* digits = uppercase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (auto b : data) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::optional<Bytes> hexDecode(std::string_view text) {
    if (text.size() % 2) return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    Bytes out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int hi = value(text[i]), lo = value(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return out;
}

// ---- Files ----

namespace {

ErrorPtr fileErrorBecause(long code, const std::string& path, const std::string& reason, int err) {
    Value info = Value::dictionary();
    info.set(kLocalizedDescriptionKey, Value(path + ": " + reason));
    info.set(kFilePathErrorKey, Value(path));
    if (err != 0) info.set("NSPOSIXErrorCode", Value(err));
    return makeError(kCocoaErrorDomain, code, info);
}

}  // namespace

ErrorPtr fileError(int err, const std::string& path, bool writing) {
    long code;
    if (err == ENOENT || err == ENOTDIR)
        code = FileNoSuchFileError;
    else if (err == EACCES || err == EPERM || err == EROFS)
        code = writing ? FileWriteNoPermissionError : FileReadNoPermissionError;
    else if (err == EEXIST || err == ENOTEMPTY)
        code = FileWriteFileExistsError;
    else if (err == ENOSPC || err == EDQUOT)
        code = FileWriteOutOfSpaceError;
    else
        code = writing ? FileWriteUnknownError : FileReadUnknownError;
    return fileErrorBecause(code, path, std::strerror(err), err);
}

ErrorPtr fileTooLargeError(const std::string& path, std::size_t maxBytes, bool writing) {
    return fileErrorBecause(writing ? FileWriteUnknownError : FileReadTooLargeError, path,
                            "more than " + std::to_string(maxBytes) + " bytes", 0);
}

std::optional<Bytes> readFile(const std::string& path, std::size_t maxBytes, ErrorPtr* error) {
    auto fail = [&](ErrorPtr e) -> std::optional<Bytes> {
        if (error) *error = std::move(e);
        return std::nullopt;
    };
    // Not blocking: a pipe in the file's place is refused below, not waited
    // on for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return fail(fileError(errno, path, false));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(fileError(errno, path, false));
    if (S_ISDIR(st.st_mode)) return fail(fileError(EISDIR, path, false));
    if (!S_ISREG(st.st_mode)) return fail(fileErrorBecause(FileReadUnknownError, path, "not a plain file", 0));
    const auto stated = static_cast<std::uint64_t>(std::max<off_t>(st.st_size, 0));
    if (stated > maxBytes) return fail(fileTooLargeError(path, maxBytes, false));
    // A byte beyond the bound tells a file that grew past it since.
    const std::size_t most = maxBytes == SIZE_MAX ? SIZE_MAX : maxBytes + 1;
    Bytes out;
    out.reserve(static_cast<std::size_t>(stated));
    std::uint8_t buf[65536];
    while (out.size() < most) {
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, most - out.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(fileError(errno, path, false));
        }
        if (n == 0) break;
        const auto got = static_cast<std::size_t>(n);
        if (got > out.capacity() - out.size()) out.reserve(std::min(most, std::max(out.capacity() * 2, out.size() + got)));
        out.insert(out.end(), buf, buf + got);
    }
    if (out.size() > maxBytes) return fail(fileTooLargeError(path, maxBytes, false));
    return out;
}

std::optional<Bytes> readFile(const std::string& path) { return readFile(path, SIZE_MAX, nullptr); }

bool writeFileAtomically(const std::string& path, std::string_view bytes, ErrorPtr* error) {
    auto fail = [&](int err) {
        if (error) *error = fileError(err, path, true);
        return false;
    };
    std::string temp = path + std::string(kTemporaryMark) + std::string(kTemporaryLetters, 'X');
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(errno);
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(err);
    };
    // The program's files are the member's alone: new files get rw-------,
    // a replaced file keeps its owner's bits only.
    struct stat st {};
    mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0700) : 0600;
    if (::fchmod(fd, mode) != 0) return abandon(errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return abandon(errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    // Make the rename itself durable.
    int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const Bytes& data, ErrorPtr* error) {
    return writeFileAtomically(path, view(data), error);
}

void removeStrayTemporaries(const std::string& folder, std::string_view name, double minimumAgeSeconds) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const double nowSeconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryOf(entry->d_name, name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        const double changed = static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
        if (nowSeconds - changed >= minimumAgeSeconds) ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace ns
