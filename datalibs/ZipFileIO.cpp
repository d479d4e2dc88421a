#include "datalibs/ZipFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace datalibs {

namespace {

// Small enough that entries far apart read in turn cost little each: every
// read outside the buffers fills one.
constexpr std::size_t kBufferSize = 16 * 1024;

// A few buffers, since minizip alternates between the central directory and
// the entries; the least recently used one is refilled.
struct BufferedFile {
    static constexpr int kBuffers = 4;
    struct Buffer {
        std::vector<char> data;
        std::uint64_t start = 0;
        std::size_t length = 0;
        std::uint64_t used = 0;
    };

    int fd = -1;
    std::uint64_t size = 0;
    std::uint64_t pos = 0;
    std::uint64_t clock = 0;
    Buffer buffers[kBuffers];
    int error = 0;

    // Positioned read of up to n bytes; answers the count, -1 on failure.
    long long readAt(char* dest, std::size_t n, std::uint64_t at) {
        std::size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd, dest + done, n - done, static_cast<off_t>(at + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                error = errno;
                return -1;
            }
            if (r == 0) break;
            done += static_cast<std::size_t>(r);
        }
        return static_cast<long long>(done);
    }

    Buffer* holding(std::uint64_t at) {
        for (auto& b : buffers)
            if (b.length && at >= b.start && at < b.start + b.length) return &b;
        return nullptr;
    }

    uLong read(char* dest, uLong want) {
        uLong done = 0;
        // Nothing lies past the end: no system call for it. A damaged
        // directory has minizip read there thousands of times per entry.
        while (done < want && pos < size) {
            if (Buffer* b = holding(pos)) {
                b->used = ++clock;
                std::size_t offset = static_cast<std::size_t>(pos - b->start);
                std::size_t n = std::min<std::size_t>(b->length - offset, want - done);
                std::memcpy(dest + done, b->data.data() + offset, n);
                done += n;
                pos += n;
                continue;
            }
            std::size_t left = want - done;
            if (left >= kBufferSize) {
                long long r = readAt(dest + done, left, pos);
                if (r <= 0) break;
                done += static_cast<uLong>(r);
                pos += static_cast<std::uint64_t>(r);
                continue;
            }
            Buffer* oldest = &buffers[0];
            for (auto& b : buffers)
                if (b.used < oldest->used) oldest = &b;
            if (oldest->data.empty()) oldest->data.resize(kBufferSize);
            long long r = readAt(oldest->data.data(), kBufferSize, pos);
            if (r <= 0) {
                oldest->length = 0;
                break;
            }
            oldest->start = pos;
            oldest->length = static_cast<std::size_t>(r);
            oldest->used = ++clock;
        }
        return done;
    }
};

// `opaque` is where the size goes, or null.
voidpf ZCALLBACK openFile(voidpf opaque, const void* filename, int mode) {
    if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    int fd = ::open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto* f = new BufferedFile;
    f->fd = fd;
    f->size = static_cast<std::uint64_t>(st.st_size);
    if (opaque) *static_cast<std::uint64_t*>(opaque) = f->size;
    return f;
}

uLong ZCALLBACK readFile(voidpf, voidpf stream, void* buf, uLong size) {
    return static_cast<BufferedFile*>(stream)->read(static_cast<char*>(buf), size);
}

uLong ZCALLBACK writeFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellFile(voidpf, voidpf stream) { return static_cast<BufferedFile*>(stream)->pos; }

long ZCALLBACK seekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* f = static_cast<BufferedFile*>(stream);
    std::uint64_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
        case ZLIB_FILEFUNC_SEEK_CUR: base = f->pos; break;
        case ZLIB_FILEFUNC_SEEK_END: base = f->size; break;
        default: return -1;
    }
    f->pos = base + offset;
    return 0;
}

int ZCALLBACK closeFile(voidpf, voidpf stream) {
    auto* f = static_cast<BufferedFile*>(stream);
    int rc = ::close(f->fd);
    delete f;
    return rc;
}

int ZCALLBACK errorFile(voidpf, voidpf stream) { return static_cast<BufferedFile*>(stream)->error; }

}  // namespace

unzFile openZipForReading(const std::string& path, std::uint64_t* size) {
    zlib_filefunc64_def io{};
    io.zopen64_file = openFile;
    io.zread_file = readFile;
    io.zwrite_file = writeFile;
    io.ztell64_file = tellFile;
    io.zseek64_file = seekFile;
    io.zclose_file = closeFile;
    io.zerror_file = errorFile;
    io.opaque = size;
    return unzOpen2_64(path.c_str(), &io);
}

}  // namespace datalibs
