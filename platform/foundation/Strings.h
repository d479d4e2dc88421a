// Text helpers. Text is UTF-8 std::string throughout; the helpers named
// "utf16..." count the way the platform's strings do, in UTF-16 code units
// (a CJK character is one unit, an emoji outside the BMP two).
//
// The number readers of text (intValue, integerValue, doubleValue, floatValue,
// boolValue) are parseLeadingInteger, parseLeadingDouble and parseBoolText in
// Value.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Value.h"

namespace ns {

// ---- UTF-8 and UTF-16 ----

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUTF8(std::string_view bytes);

// Length of the well-formed UTF-8 sequence that starts at p (p < end): 1 for
// ASCII, 2 to 4 otherwise, 0 when the bytes there are not one (a stray
// continuation byte, an overlong form, a surrogate, a value above U+10FFFF,
// or a sequence cut short by end). Inline: readers call it per character.
inline std::size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    unsigned c = p[0];
    if (c < 0x80) return 1;
    std::ptrdiff_t left = end - p;
    if (c >= 0xE0 && c < 0xF0) {  // the common case for Chinese text
        if (left < 3) return 0;
        unsigned c1 = p[1];
        if ((c1 & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80) return 0;
        if (c == 0xE0 && c1 < 0xA0) return 0;   // overlong
        if (c == 0xED && c1 >= 0xA0) return 0;  // UTF-16 surrogate
        return 3;
    }
    if (c >= 0xC2 && c < 0xE0) {
        if (left < 2 || (p[1] & 0xC0) != 0x80) return 0;
        return 2;
    }
    if (c >= 0xF0 && c < 0xF5) {
        if (left < 4) return 0;
        unsigned c1 = p[1];
        if ((c1 & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80) return 0;
        if (c == 0xF0 && c1 < 0x90) return 0;   // overlong
        if (c == 0xF4 && c1 >= 0x90) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

// Appends the UTF-8 form of a code point; a surrogate or a value above
// U+10FFFF becomes U+FFFD.
void appendUTF8(std::string& out, char32_t codePoint);
// The text of UTF-8 bytes, or nullopt when they are not well-formed UTF-8
// (the platform's string from bad bytes is nil).
std::optional<std::string> stringFromUTF8(std::string_view bytes);
std::optional<std::string> stringFromUTF8(const Bytes& bytes);
Bytes bytesFromString(std::string_view text);

// Conversions; malformed input becomes U+FFFD.
std::u16string toUTF16(std::string_view text);
std::string fromUTF16(std::u16string_view units);
// The same of `count` units of two bytes each, most significant first.
std::string fromUTF16BigEndian(const std::uint8_t* bytes, std::size_t count);
// The text of UTF-16 units, or nullopt when they hold a surrogate that is
// not half of a pair.
std::optional<std::string> stringFromUTF16(std::u16string_view units);
std::u32string toUTF32(std::string_view text);
std::string fromUTF32(std::u32string_view codePoints);

// The text of bytes in a named encoding, as UTF-8, by the system's
// converters (iconv; names in any case and their aliases: "ISO-8859-1",
// "latin1", "GBK", "GB2312"). nullopt when the bytes are not valid in that
// encoding (a sequence it does not define, or one cut short by the end), or
// when the converters know no encoding of that name, which *unknownEncoding
// then tells. A name with the converters' suffixes ("//IGNORE") is none
// they know: every byte is converted or the whole text refused.
std::optional<std::string> stringFromEncoding(std::string_view bytes, std::string_view encoding,
                                              bool* unknownEncoding = nullptr);

// Length in UTF-16 units ("length" of the platform's string).
std::size_t utf16Length(std::string_view text);

// A range in UTF-16 units.
struct Range {
    static constexpr std::size_t NotFound = static_cast<std::size_t>(-1);
    std::size_t location = NotFound;
    std::size_t length = 0;
    bool found() const { return location != NotFound; }
    friend bool operator==(const Range&, const Range&) = default;
};

// Substring by UTF-16 range, clamped to the text. Half of a surrogate pair
// at either edge becomes U+FFFD.
std::string utf16Substring(std::string_view text, std::size_t location, std::size_t length);
std::string utf16SubstringFrom(std::string_view text, std::size_t location);
std::string utf16SubstringTo(std::string_view text, std::size_t location);

enum StringCompareOptions : unsigned {
    CaseInsensitiveSearch = 1,  // ASCII letters only
    BackwardsSearch = 4,
};

// rangeOfString: the first (or, with BackwardsSearch, the last) occurrence,
// in UTF-16 units. An empty needle is never found.
Range rangeOfString(std::string_view text, std::string_view needle, unsigned options = 0);
// UTF-16 index of the first occurrence, or nullopt.
std::optional<std::size_t> utf16IndexOf(std::string_view text, std::string_view needle);
bool containsString(std::string_view text, std::string_view needle);

// ---- Pieces ----

// componentsSeparatedByString: "a,,b" gives "a", "", "b"; "" gives one "".
// An empty separator gives the whole text as the only component.
std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view separator);
std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view separator);
// An array's elements as "%@" prints them, joined; "" for a non-array.
std::string componentsJoinedByString(const Value& array, std::string_view separator);

// Trims whitespace and newlines at both ends: ASCII space, tab, LF, VT, FF,
// CR and the Unicode spaces and line separators (U+0085, U+00A0, U+1680,
// U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000).
std::string trimWhitespaceAndNewlines(std::string_view text);
// Trims the given ASCII characters at both ends.
std::string trimCharacters(std::string_view text, std::string_view asciiSet);

// As the platform's: an empty prefix or suffix answers false.
bool hasPrefix(std::string_view text, std::string_view prefix);
bool hasSuffix(std::string_view text, std::string_view suffix);

// Every occurrence of target replaced, left to right, without overlaps. An
// empty target leaves the text unchanged.
std::string replaceOccurrences(std::string_view text, std::string_view target, std::string_view replacement);

std::string asciiLowercase(std::string_view text);
std::string asciiUppercase(std::string_view text);
bool asciiCaseInsensitiveEqual(std::string_view a, std::string_view b);

// Comparison with numeric search, as versions compare: runs of ASCII digits
// compare by their value ("1.10" after "1.4.6", "06.0" equal to "6.0"),
// every other byte by its value, and a text that is a prefix of the other
// comes first. -1, 0 or 1.
int compareNumeric(std::string_view a, std::string_view b);

// A number of seconds as a person writes one on a command line: decimal
// digits with an optional fraction and exponent ("10", "0.5", "1e10"). No
// sign, spaces, hexadecimal, infinity or NaN: nullopt for those. A number
// beyond the largest double ("1e400") is held at the largest, one below the
// smallest ("1e-400") is 0.
std::optional<double> decimalSeconds(std::string_view text);

// ---- Paths (the platform's path semantics) ----

// "/tmp/scratch.tiff" -> "scratch.tiff"; "/tmp/" -> "tmp"; "/" -> "/"; "" -> "".
std::string lastPathComponent(std::string_view path);
// "/tmp/scratch.tiff" -> "tiff"; ".tiff" -> ""; "/tmp/" -> "".
std::string pathExtension(std::string_view path);
// "/tmp/scratch.tiff" -> "/tmp/scratch"; "scratch.bundle/" -> "scratch";
// ".tiff" -> ".tiff"; "/" -> "/".
std::string stringByDeletingPathExtension(std::string_view path);
// "/tmp/scratch.old" + "tiff" -> "/tmp/scratch.old.tiff"; "/tmp/" + "tiff"
// -> "/tmp.tiff". An empty path, "/", an empty extension or one containing "/" leaves
// the path unchanged.
std::string stringByAppendingPathExtension(std::string_view path, std::string_view ext);
// "/tmp/scratch.tiff" -> "/tmp"; "/tmp/" -> "/"; "/" -> "/"; "scratch" -> "".
std::string stringByDeletingLastPathComponent(std::string_view path);
// "/tmp" + "scratch" -> "/tmp/scratch"; repeated slashes collapse and a
// trailing slash goes; an absolute component is appended, not substituted
// ("/a" + "/b" -> "/a/b"); "" + "x" -> "x".
std::string stringByAppendingPathComponent(std::string_view path, std::string_view component);
bool isAbsolutePath(std::string_view path);

// ---- URL escaping (UTF-8) ----

// Every byte that is neither an RFC 3986 unreserved character (A-Z a-z 0-9
// - . _ ~) nor one of `keep` becomes %XX with upper-case hex digits.
std::string percentEncode(std::string_view text, std::string_view keep = {});
// Decodes %XX escapes. nullopt when an escape is malformed or the result is
// not valid UTF-8.
std::optional<std::string> percentDecode(std::string_view text);
// The value of a hexadecimal digit (either case), -1 for any other character.
int hexDigitValue(char c);
// Escapes what may not appear in a URL (spaces, non-ASCII, quotes, <>\^`{|}
// and the like), keeping the reserved characters and existing %XX escapes.
std::string escapeURLString(std::string_view text);
// RFC 3986 reserved characters: gen-delims and sub-delims.
inline constexpr std::string_view kURLReservedCharacters = ":/?#[]@!$&'()*+,;=";

}  // namespace ns
