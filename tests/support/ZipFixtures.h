// Zip archives made to order for tests of the readers: entries with exactly
// the names and contents given, and entries of deflated zero bytes that
// inflate to gigabytes from about a thousandth of that, declaring their true
// size or another.
//
//   zipfixture::craft(path, {{"a.txt", "text"}, {"../up.txt", "x"}});
//   zipfixture::craftZeros(path, {{"bomb.bin", 1ull << 30}});
#pragma once

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
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

}  // namespace zipfixture
