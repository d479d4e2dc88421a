#include "foundation/Strings.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>

namespace ns {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at s[i]. Returns its length in bytes (at least 1);
// `ok` is false for a malformed sequence, which then counts as one byte.
std::size_t decodeOne(std::string_view s, std::size_t i, char32_t& cp, bool& ok) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + i;
    std::size_t len = utf8SequenceLength(p, p + (s.size() - i));
    ok = len != 0;
    if (!ok) {
        cp = kReplacement;
        return 1;
    }
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    cp = p[0] & kLeadBits[len];
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (p[k] & 0x3F);
    return len;
}

// Calls f with each code point of the text; each malformed byte is U+FFFD.
template <typename F>
void forEachCodePoint(std::string_view s, F&& f) {
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp;
        bool ok;
        i += decodeOne(s, i, cp, ok);
        f(cp);
    }
}

bool isWhitespaceOrNewline(char32_t c) {
    return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

void appendEscape(std::string& out, unsigned char c) {
    static const char* hex = "0123456789ABCDEF";
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 15];
}

// Without trailing slashes, except that a path of slashes only stays "/".
std::string_view stripTrailingSlashes(std::string_view p) {
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    return p;
}

// Repeated slashes collapsed and a trailing slash removed (root stays "/").
std::string collapseSlashes(std::string_view p) {
    std::string out;
    out.reserve(p.size());
    for (char c : p) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

}  // namespace

// ---- UTF-8 and UTF-16 ----

bool isValidUTF8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        std::size_t len = utf8SequenceLength(p, end);
        if (!len) return false;
        p += len;
    }
    return true;
}

namespace {

// The UTF-8 of a code point (U+FFFD for one that has none) at `at`; where
// it ends.
inline char* putUTF8(char* at, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        *at++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *at++ = static_cast<char>(0xC0 | (cp >> 6));
        *at++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *at++ = static_cast<char>(0xE0 | (cp >> 12));
        *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *at++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *at++ = static_cast<char>(0xF0 | (cp >> 18));
        *at++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *at++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return at;
}

}  // namespace

void appendUTF8(std::string& out, char32_t cp) {
    char bytes[4];
    out.append(bytes, putUTF8(bytes, cp));
}

std::optional<std::string> stringFromUTF8(std::string_view bytes) {
    if (!isValidUTF8(bytes)) return std::nullopt;
    return std::string(bytes);
}

std::optional<std::string> stringFromUTF8(const Bytes& bytes) {
    return stringFromUTF8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Bytes bytesFromString(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::u32string toUTF32(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    forEachCodePoint(s, [&](char32_t cp) { out += cp; });
    return out;
}

std::string fromUTF32(std::u32string_view cps) {
    std::string out;
    out.reserve(cps.size());
    for (char32_t cp : cps) appendUTF8(out, cp);
    return out;
}

std::u16string toUTF16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    forEachCodePoint(s, [&](char32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    });
    return out;
}

namespace {

// Each code point of `count` UTF-16 units (`unit(i)` the i-th), a lone
// surrogate as U+FFFD; or, when `strict`, false at a lone surrogate and no
// further.
template <class Unit, class Each>
bool forEachUTF16(std::size_t count, Unit unit, bool strict, Each each) {
    for (std::size_t i = 0; i < count; ++i) {
        char32_t c = unit(i);
        char32_t next = i + 1 < count ? unit(i + 1) : 0;
        if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            if (strict) return false;
            c = kReplacement;
        }
        each(c);
    }
    return true;
}

// The UTF-8 of UTF-16 units into `out` (empty), in one pass into room made
// once for three bytes a unit (the most a unit takes), then cut to its size,
// and moved to room of its own when most of that is left over. A lone
// surrogate becomes U+FFFD, or, when `strict`, stops the conversion with
// false.
template <class Unit>
bool convertUTF16(std::size_t count, Unit unit, std::string& out, bool strict) {
    out.resize(3 * count);
    char* at = out.data();
    if (!forEachUTF16(count, unit, strict, [&](char32_t c) { at = putUTF8(at, c); })) return false;
    out.resize(static_cast<std::size_t>(at - out.data()));
    if (out.capacity() > 2 * out.size() + 64) out.shrink_to_fit();
    return true;
}

bool convertUTF16(std::u16string_view u, std::string& out, bool strict) {
    return convertUTF16(u.size(), [&](std::size_t i) { return u[i]; }, out, strict);
}

}  // namespace

std::string fromUTF16(std::u16string_view u) {
    std::string out;
    convertUTF16(u, out, false);
    return out;
}

std::string fromUTF16BigEndian(const std::uint8_t* bytes, std::size_t count) {
    std::string out;
    convertUTF16(
        count, [&](std::size_t i) { return static_cast<char16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]); }, out, false);
    return out;
}

std::optional<std::string> stringFromUTF16(std::u16string_view u) {
    std::string out;
    if (!convertUTF16(u, out, true)) return std::nullopt;
    return out;
}

std::optional<std::string> stringFromEncoding(std::string_view bytes, std::string_view encoding,
                                              bool* unknownEncoding) {
    if (unknownEncoding) *unknownEncoding = false;
    iconv_t converter = reinterpret_cast<iconv_t>(-1);
    if (!encoding.empty() && encoding.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos)
        converter = iconv_open("UTF-8", std::string(encoding).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        if (unknownEncoding) *unknownEncoding = true;
        return std::nullopt;
    }
    struct Closer {
        iconv_t c;
        ~Closer() { iconv_close(c); }
    } closer{converter};

    std::string out(bytes.size() + bytes.size() / 2 + 16, '\0');
    std::size_t used = 0;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    // The input, then the end of it: a stateful encoding's shift back.
    for (bool flushing = false;;) {
        char* to = out.data() + used;
        std::size_t toLeft = out.size() - used;
        std::size_t done = flushing ? iconv(converter, nullptr, nullptr, &to, &toLeft)
                                    : iconv(converter, &in, &inLeft, &to, &toLeft);
        used = static_cast<std::size_t>(to - out.data());
        if (done == static_cast<std::size_t>(-1)) {
            if (errno != E2BIG) return std::nullopt;  // EILSEQ, or EINVAL: cut short
            out.resize(out.size() * 2);
            continue;
        }
        if (flushing) break;
        flushing = true;
    }
    out.resize(used);
    return out;
}

std::size_t utf16Length(std::string_view s) {
    std::size_t n = 0;
    forEachCodePoint(s, [&](char32_t cp) { n += cp >= 0x10000 ? 2 : 1; });
    return n;
}

std::string utf16Substring(std::string_view text, std::size_t location, std::size_t length) {
    std::u16string u = toUTF16(text);
    if (location >= u.size()) return {};
    length = std::min(length, u.size() - location);
    return fromUTF16(std::u16string_view(u).substr(location, length));
}

std::string utf16SubstringFrom(std::string_view text, std::size_t location) {
    return utf16Substring(text, location, Range::NotFound);
}

std::string utf16SubstringTo(std::string_view text, std::size_t location) { return utf16Substring(text, 0, location); }

Range rangeOfString(std::string_view text, std::string_view needle, unsigned options) {
    if (needle.empty() || needle.size() > text.size()) return {};
    std::string hay, pin;
    if (options & CaseInsensitiveSearch) {
        hay = asciiLowercase(text);
        pin = asciiLowercase(needle);
        text = hay;
        needle = pin;
    }
    std::size_t pos = (options & BackwardsSearch) ? text.rfind(needle) : text.find(needle);
    if (pos == std::string_view::npos) return {};
    return Range{utf16Length(text.substr(0, pos)), utf16Length(needle)};
}

std::optional<std::size_t> utf16IndexOf(std::string_view text, std::string_view needle) {
    Range r = rangeOfString(text, needle);
    if (!r.found()) return std::nullopt;
    return r.location;
}

bool containsString(std::string_view text, std::string_view needle) {
    return !needle.empty() && text.find(needle) != std::string_view::npos;
}

// ---- Pieces ----

std::vector<std::string> componentsSeparatedByString(std::string_view text, std::string_view sep) {
    std::vector<std::string> out;
    if (sep.empty()) {
        out.emplace_back(text);
        return out;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(sep, start);
        if (pos == std::string_view::npos) break;
        out.emplace_back(text.substr(start, pos - start));
        start = pos + sep.size();
    }
    out.emplace_back(text.substr(start));
    return out;
}

std::string componentsJoinedByString(const std::vector<std::string>& parts, std::string_view sep) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += sep;
        out += parts[i];
    }
    return out;
}

std::string componentsJoinedByString(const Value& array, std::string_view sep) {
    std::string out;
    const auto& items = array.items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += sep;
        out += items[i].description();
    }
    return out;
}

std::string trimWhitespaceAndNewlines(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        char32_t cp;
        bool ok;
        std::size_t len = decodeOne(text, begin, cp, ok);
        if (!ok || !isWhitespaceOrNewline(cp)) break;
        begin += len;
    }
    std::size_t end = text.size();
    while (end > begin) {
        // Step back to the start of the last code point.
        std::size_t start = end - 1;
        while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80 && end - start < 4) --start;
        char32_t cp;
        bool ok;
        std::size_t len = decodeOne(text, start, cp, ok);
        if (!ok || start + len != end || !isWhitespaceOrNewline(cp)) break;
        end = start;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string trimCharacters(std::string_view text, std::string_view set) {
    std::size_t b = text.find_first_not_of(set);
    if (b == std::string_view::npos) return {};
    std::size_t e = text.find_last_not_of(set);
    return std::string(text.substr(b, e - b + 1));
}

bool hasPrefix(std::string_view text, std::string_view prefix) {
    return !prefix.empty() && text.substr(0, prefix.size()) == prefix;
}

bool hasSuffix(std::string_view text, std::string_view suffix) {
    return !suffix.empty() && text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string replaceOccurrences(std::string_view text, std::string_view target, std::string_view replacement) {
    if (target.empty()) return std::string(text);
    std::string out;
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(target, start);
        if (pos == std::string_view::npos) break;
        out += text.substr(start, pos - start);
        out += replacement;
        start = pos + target.size();
    }
    out += text.substr(start);
    return out;
}

std::string asciiLowercase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string asciiUppercase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool asciiCaseInsensitiveEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && asciiLowercase(a) == asciiLowercase(b);
}

int compareNumeric(std::string_view a, std::string_view b) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    // The digit run at `i`, without its leading zeros; `i` moves past it.
    auto run = [&](std::string_view s, std::size_t& i) {
        std::size_t start = i;
        while (i < s.size() && isDigit(s[i])) ++i;
        std::string_view digits = s.substr(start, i - start);
        std::size_t zeros = digits.find_first_not_of('0');
        return zeros == std::string_view::npos ? std::string_view() : digits.substr(zeros);
    };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::string_view x = run(a, i), y = run(b, j);
            if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
            if (int c = x.compare(y)) return c < 0 ? -1 : 1;
            continue;
        }
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[j]);
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

namespace {

// Whether a decimal number the double reader found out of range is too
// large rather than too small: its first significant digit stands at or
// above the units, counting the exponent.
bool beyondTheLargest(std::string_view text) {
    const std::size_t e = text.find_first_of("eE");
    const std::string_view digits = text.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view written = text.substr(e + 1);
        const bool negative = !written.empty() && written.front() == '-';
        if (!written.empty() && (written.front() == '-' || written.front() == '+')) written.remove_prefix(1);
        auto [stop, ec] = std::from_chars(written.data(), written.data() + written.size(), exponent);
        if (ec == std::errc::result_out_of_range) exponent = std::numeric_limits<long long>::max() / 2;
        if (negative) exponent = -exponent;
    }
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::size_t first = digits.find_first_not_of("0.");
    if (first == std::string_view::npos) return false;  // zero
    const long long place = first < point ? static_cast<long long>(point - first - 1)
                                          : -static_cast<long long>(first - point);
    return place + exponent >= 0;
}

}  // namespace

std::optional<double> decimalSeconds(std::string_view text) {
    // Digits, a point, an exponent: what is left is the decimal reader's to judge.
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (text.empty() || !(isDigit(text.front()) || text.front() == '.')) return std::nullopt;
    for (char c : text)
        if (!isDigit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (stop != end) return std::nullopt;
    // Beyond what a double holds: the largest one (a wait that lasts as
    // long as the clock goes), or nothing at all.
    if (ec == std::errc::result_out_of_range)
        return beyondTheLargest(text) ? std::numeric_limits<double>::max() : 0.0;
    if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// ---- Paths ----

bool isAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string lastPathComponent(std::string_view path) {
    std::string_view p = stripTrailingSlashes(path);
    if (p == "/") return "/";
    std::size_t slash = p.rfind('/');
    return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

std::string pathExtension(std::string_view path) {
    std::string name = lastPathComponent(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name == "/") return {};
    return name.substr(dot + 1);
}

std::string stringByDeletingPathExtension(std::string_view path) {
    std::string_view p = stripTrailingSlashes(path);
    std::size_t slash = p.rfind('/');
    std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::size_t dot = p.rfind('.');
    if (dot == std::string_view::npos || dot <= nameStart) return std::string(p);
    return std::string(p.substr(0, dot));
}

std::string stringByAppendingPathExtension(std::string_view path, std::string_view ext) {
    std::string_view p = stripTrailingSlashes(path);
    if (p.empty() || p == "/" || ext.empty() || ext.find('/') != std::string_view::npos) return std::string(p);
    std::string out(p);
    out += '.';
    out += ext;
    return out;
}

std::string stringByDeletingLastPathComponent(std::string_view path) {
    std::string_view p = stripTrailingSlashes(path);
    if (p == "/") return "/";
    std::size_t slash = p.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(stripTrailingSlashes(p.substr(0, slash)));
}

std::string stringByAppendingPathComponent(std::string_view path, std::string_view component) {
    if (path.empty()) return collapseSlashes(component);
    std::string joined(path);
    joined += '/';
    joined += component;
    return collapseSlashes(joined);
}

// ---- URL escaping ----

std::string percentEncode(std::string_view text, std::string_view keep) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (isUnreserved(c) || (c < 0x80 && keep.find(ch) != std::string_view::npos))
            out += ch;
        else
            appendEscape(out, c);
    }
    return out;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        int hi = hexDigitValue(text[i + 1]), lo = hexDigitValue(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (!isValidUTF8(out)) return std::nullopt;
    return out;
}

std::string escapeURLString(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool keep = isUnreserved(c) || (c < 0x80 && kURLReservedCharacters.find(text[i]) != std::string_view::npos);
        if (c == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 && hexDigitValue(text[i + 2]) >= 0)
            keep = true;
        if (keep)
            out += text[i];
        else
            appendEscape(out, c);
    }
    return out;
}

}  // namespace ns
