// Byte codecs and whole-file input and output: Base64 (RFC 4648), MD5 and
// SHA-1 digests (through nettle), hexadecimal text, atomic file writes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Error.h"
#include "foundation/Value.h"

namespace ns {

// Base64 with the standard alphabet and "=" padding, no line breaks.
std::string base64Encode(const Bytes& data);
std::string base64Encode(std::string_view bytes);
// Strict decoding: the length must be a multiple of four, only alphabet
// characters, "=" only as one or two final padding characters, no spaces or
// line breaks. nullopt for anything else. "" decodes to no bytes.
std::optional<Bytes> base64Decode(std::string_view text);

// Digests: raw bytes, or lower-case hexadecimal text.
Bytes md5(const Bytes& data);
Bytes md5(std::string_view bytes);
std::string md5Hex(const Bytes& data);
std::string md5Hex(std::string_view bytes);
Bytes sha1(const Bytes& data);
Bytes sha1(std::string_view bytes);
std::string sha1Hex(const Bytes& data);
std::string sha1Hex(std::string_view bytes);

std::string hexEncode(const Bytes& data, bool uppercase = false);
// A new random (version 4) UUID as the platform writes it:
// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
std::string uuidString();
// Pairs of hexadecimal digits (either case); nullopt for odd lengths or
// other characters.
std::optional<Bytes> hexDecode(std::string_view text);

// The whole file, or nullopt when it cannot be read (missing, a folder or
// anything else but a plain file, no permission). An empty file gives empty
// bytes.
std::optional<Bytes> readFile(const std::string& path);
// The same for a file others may write, read only when it holds at most
// `maxBytes`: one larger is refused (FileReadTooLargeError) before anything
// is read or allocated for it, and one that grows past the bound while it
// is read is refused once a byte beyond it comes, so what the read holds
// never passes the bound. A pipe or a device in the file's place is refused
// at once, never waited on. Errors are in the Cocoa domain with the file's
// path, their description "<path>: <reason>".
std::optional<Bytes> readFile(const std::string& path, std::size_t maxBytes, ErrorPtr* error);

// Writes the bytes to a temporary file in the same folder, flushes it to
// disk, then renames it over `path` and flushes the folder: readers see the
// old content or the new, never a mix, and a crash mid-write leaves the old
// file intact (at worst a stray "<name>.tmp-XXXXXX" beside it). The file is
// for its owner alone (0600; a replaced file keeps its owner's bits). The
// folder must exist. Errors are in the Cocoa domain with the file's path.
bool writeFileAtomically(const std::string& path, const Bytes& data, ErrorPtr* error = nullptr);
bool writeFileAtomically(const std::string& path, std::string_view bytes, ErrorPtr* error = nullptr);
// Removes the temporary files that such writes, cut short, left in the
// folder: those of the file `name` ("<name>.tmp-XXXXXX"), or of any file when
// `name` is empty, last changed at least `minimumAgeSeconds` ago. The young
// ones stay: the folders are ones other programs (or another run of this
// one) write into, and one of them may be between its temporary file and
// its rename right now.
inline constexpr double kStrayTemporaryAgeSeconds = 60;
void removeStrayTemporaries(const std::string& folder, std::string_view name = {},
                            double minimumAgeSeconds = kStrayTemporaryAgeSeconds);

// Cocoa error domain and the file-error codes this layer reports.
inline constexpr const char* kCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* kFilePathErrorKey = "NSFilePath";
enum CocoaFileError : long {
    FileNoSuchFileError = 4,
    FileReadUnknownError = 256,
    FileReadNoPermissionError = 257,
    FileReadTooLargeError = 263,
    FileWriteUnknownError = 512,
    FileWriteNoPermissionError = 513,
    FileWriteFileExistsError = 516,
    FileWriteOutOfSpaceError = 640,
};
// A file error for errno `err` at `path`; `writing` picks the write codes.
ErrorPtr fileError(int err, const std::string& path, bool writing);
// A file beyond the bound its readers take: FileReadTooLargeError, or
// FileWriteUnknownError for a writer that will not write one.
ErrorPtr fileTooLargeError(const std::string& path, std::size_t maxBytes, bool writing);

}  // namespace ns
