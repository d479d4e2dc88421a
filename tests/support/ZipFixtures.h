// Zip archives made to order for tests of the readers: entries with exactly
// the names and contents given, entries of deflated zero bytes that inflate
// to gigabytes from about a thousandth of that, declaring their true size or
// another, and archives laid out byte by byte.
//
//   zipfixture::craft(path, {{"a.txt", "text"}, {"../up.txt", "x"}});
//   zipfixture::craftZeros(path, {{"bomb.bin", 1ull << 30}});
//   zipfixture::RawZip raw;
//   raw.add("a/f.txt", "text");
//   raw.again("b/g.txt", 0);  // another name for the same local entry
//   raw.write(path);
#pragma once

#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zipfixture {

namespace detail {

inline void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("zip fixture: ") + what);
}

inline zip_fileinfo noonOfFirstJanuary2020() {
    zip_fileinfo info{};
    info.tmz_date = tm_zip{0, 0, 12, 1, 0, 2020};
    return info;
}

}  // namespace detail

// An archive with exactly these entry names and contents, deflated by minizip.
inline void craft(const std::filesystem::path& zipPath, const std::vector<std::pair<std::string, std::string>>& entries) {
    zipFile zf = zipOpen(zipPath.c_str(), APPEND_STATUS_CREATE);
    detail::check(zf != nullptr, "cannot create the archive");
    for (const auto& [name, content] : entries) {
        zip_fileinfo info = detail::noonOfFirstJanuary2020();
        detail::check(zipOpenNewFileInZip(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, -1) ==
                          ZIP_OK,
                      "cannot open an entry");
        detail::check(zipWriteInFileInZip(zf, content.data(), static_cast<unsigned>(content.size())) == ZIP_OK,
                      "cannot write an entry");
        detail::check(zipCloseFileInZip(zf) == ZIP_OK, "cannot close an entry");
    }
    detail::check(zipClose(zf, nullptr) == ZIP_OK, "cannot close the archive");
}

inline constexpr std::uint64_t kZeroChunk = 1u << 20;

// An entry of `size` zero bytes (a multiple of kZeroChunk) that declares
// `declared` bytes, its true size when not given.
struct Zeros {
    std::string name;
    std::uint64_t size;
    std::optional<std::uint64_t> declared;
};

// An archive of runs of zeros, made without deflating them all: a mebibyte
// deflated by a fresh stream and flushed to a byte boundary gives the same
// bytes every time, and such pieces joined, with a final empty block after
// them, are one valid deflate stream.
inline void craftZeros(const std::filesystem::path& zipPath, const std::vector<Zeros>& entries) {
    auto deflateOnce = [](const std::string& input, int flush) {
        z_stream zs{};
        detail::check(deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK,
                      "deflateInit2");
        std::string out(deflateBound(&zs, static_cast<uLong>(input.size())) + 64, '\0');
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
        zs.avail_in = static_cast<uInt>(input.size());
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = static_cast<uInt>(out.size());
        int rc = deflate(&zs, flush);
        detail::check(rc == Z_OK || rc == Z_STREAM_END, "deflate");
        out.resize(zs.total_out);
        deflateEnd(&zs);
        return out;
    };
    const std::string zeros(kZeroChunk, '\0');
    const std::string piece = deflateOnce(zeros, Z_FULL_FLUSH);
    const std::string ending = deflateOnce(std::string(), Z_FINISH);
    const uLong pieceCrc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(zeros.data()),
                                 static_cast<uInt>(zeros.size()));

    zipFile zf = zipOpen64(zipPath.c_str(), APPEND_STATUS_CREATE);
    detail::check(zf != nullptr, "cannot create the archive");
    for (const Zeros& entry : entries) {
        detail::check(entry.size % kZeroChunk == 0, "sizes are whole mebibytes");
        zip_fileinfo info = detail::noonOfFirstJanuary2020();
        detail::check(zipOpenNewFileInZip2(zf, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                           Z_BEST_COMPRESSION, 1) == ZIP_OK,
                      "cannot open an entry");
        uLong crc = crc32(0, nullptr, 0);
        for (std::uint64_t done = 0; done < entry.size; done += kZeroChunk) {
            detail::check(zipWriteInFileInZip(zf, piece.data(), static_cast<unsigned>(piece.size())) == ZIP_OK,
                          "cannot write an entry");
            crc = crc32_combine(crc, pieceCrc, static_cast<z_off_t>(kZeroChunk));
        }
        detail::check(zipWriteInFileInZip(zf, ending.data(), static_cast<unsigned>(ending.size())) == ZIP_OK,
                      "cannot write an entry");
        detail::check(zipCloseFileInZipRaw64(zf, entry.declared.value_or(entry.size), crc) == ZIP_OK,
                      "cannot close an entry");
    }
    detail::check(zipClose(zf, nullptr) == ZIP_OK, "cannot close the archive");
}

// An archive laid out by hand, its entries stored as they are: names of any
// length, entries of the central directory that name one local entry again,
// sizes declared at will, and the end with or without its 64-bit records.
class RawZip {
public:
    // An entry of its own, stored with its CRC; it declares `declared`
    // bytes when given, else its content's size. Its local header carries
    // `padding` bytes of an extra field no reader knows (at most 65,531).
    void add(const std::string& name, const std::string& content = "",
             std::optional<std::uint32_t> declared = std::nullopt, std::size_t padding = 0) {
        Local local{static_cast<std::uint32_t>(body_.size()),
                    static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0),
                                                     reinterpret_cast<const Bytef*>(content.data()),
                                                     static_cast<uInt>(content.size()))),
                    static_cast<std::uint32_t>(content.size()), declared.value_or(static_cast<std::uint32_t>(content.size())),
                    name.size()};
        header(body_, 0x04034b50, local, padding == 0 ? 0 : padding + 4);
        body_ += name;
        if (padding != 0) {
            put(body_, 0xcafe, 2);
            put(body_, padding, 2);
            body_.append(padding, '\0');
        }
        body_ += content;
        locals_.push_back(local);
        central(name, local);
    }
    // An entry of the central directory alone: the local entry that add()
    // made as its `index`-th again, under a name of the same length.
    void again(const std::string& name, std::size_t index) {
        detail::check(index < locals_.size() && locals_[index].nameSize == name.size(), "again: no such entry");
        central(name, locals_[index]);
    }

    std::uint64_t entries() const { return entries_; }
    // Its size once written with the 64-bit records (76 bytes less without).
    std::uint64_t size() const { return body_.size() + directory_.size() + 98; }

    // The end record counts the entries, held at 65,535 as minizip does;
    // with `zip64` the 64-bit records before it carry the true count, as
    // Info-ZIP writes an archive of more entries.
    void write(const std::filesystem::path& path, bool zip64 = false) const {
        std::string end;
        const std::uint64_t at = body_.size() + directory_.size();
        if (zip64) {
            put(end, 0x06064b50, 4);
            put(end, 44, 8);
            put(end, 45, 2);
            put(end, 45, 2);
            put(end, 0, 8);
            put(end, entries_, 8);
            put(end, entries_, 8);
            put(end, directory_.size(), 8);
            put(end, body_.size(), 8);
            put(end, 0x07064b50, 4);
            put(end, 0, 4);
            put(end, at, 8);
            put(end, 1, 4);
        }
        const std::uint64_t counted = zip64 ? 0xffff : std::min<std::uint64_t>(entries_, 0xffff);
        put(end, 0x06054b50, 4);
        put(end, 0, 4);
        put(end, counted, 2);
        put(end, counted, 2);
        put(end, directory_.size(), 4);
        put(end, body_.size(), 4);
        put(end, 0, 2);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        detail::check(f != nullptr, "cannot create the archive");
        const bool written = std::fwrite(body_.data(), 1, body_.size(), f) == body_.size() &&
                             std::fwrite(directory_.data(), 1, directory_.size(), f) == directory_.size() &&
                             std::fwrite(end.data(), 1, end.size(), f) == end.size();
        detail::check(std::fclose(f) == 0 && written, "cannot write the archive");
    }

private:
    struct Local {
        std::uint32_t offset, crc, stored, declared;
        std::size_t nameSize;
    };

    static void put(std::string& out, std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
    // From the signature to the name's and extra field's lengths, which the
    // local header and the central directory's entry share.
    static void header(std::string& out, std::uint32_t signature, const Local& local, std::size_t extra = 0) {
        put(out, signature, 4);
        if (signature == 0x02014b50) put(out, 20, 2);  // made by
        put(out, 20, 2);                               // needed
        put(out, 0, 2);                                // flags
        put(out, 0, 2);                                // stored
        put(out, 0x6000, 2);                           // 1 January 2020, noon
        put(out, (40 << 9) | (1 << 5) | 1, 2);
        put(out, local.crc, 4);
        put(out, local.stored, 4);
        put(out, local.declared, 4);
        put(out, local.nameSize, 2);
        put(out, extra, 2);
    }
    void central(const std::string& name, const Local& local) {
        detail::check(name.size() <= 0xffff, "names are at most 65,535 bytes");
        header(directory_, 0x02014b50, local);
        put(directory_, 0, 2);  // comment
        put(directory_, 0, 2);  // disk
        put(directory_, 0, 2);  // internal and external attributes
        put(directory_, 0, 4);
        put(directory_, local.offset, 4);
        directory_ += name;
        ++entries_;
    }

    std::string body_, directory_;
    std::vector<Local> locals_;
    std::uint64_t entries_ = 0;
};

}  // namespace zipfixture
