#include "service/LogMasking.h"

#include <cctype>
#include <charconv>
#include <cstdint>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The end of the string starting at the quote `at` (the index of its closing
// quote), or npos when it never closes.
std::size_t stringEnd(std::string_view s, std::size_t at) {
    for (std::size_t i = at + 1; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == '"') {
            return i;
        }
    }
    return std::string_view::npos;
}

// The string's ASCII letters in lower case, escapes decoded (others dropped):
// enough to recognise a key.
std::string keyName(std::string_view quoted) {
    std::string out;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 1 < quoted.size()) {
            char e = quoted[++i];
            if (e == 'u' && i + 4 < quoted.size()) {
                std::uint32_t cp = 0;
                auto r = std::from_chars(quoted.data() + i + 1, quoted.data() + i + 5, cp, 16);
                if (r.ptr == quoted.data() + i + 5 && cp < 0x80) c = static_cast<char>(cp);
                i += 4;
            } else {
                c = e;
            }
        }
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

// Whether a key in the text could name a password: without an escape, such
// a key holds the word itself, in some case. Most texts have neither and
// are copied as they are.
bool mayNameAPassword(std::string_view s) {
    if (s.find('\\') != std::string_view::npos) return true;
    static constexpr std::string_view kWord = "password";
    for (std::size_t i = 0; i + kWord.size() <= s.size(); ++i) {
        if ((s[i] | 0x20) != 'p') continue;
        std::size_t k = 1;
        while (k < kWord.size() && std::tolower(static_cast<unsigned char>(s[i + k])) == kWord[k]) ++k;
        if (k == kWord.size()) return true;
    }
    return false;
}

}  // namespace

std::string maskPasswords(std::string_view s) {
    if (!mayNameAPassword(s)) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t copied = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '"') continue;
        std::size_t end = stringEnd(s, i);
        if (end == std::string_view::npos) break;
        std::size_t colon = end + 1;
        while (colon < s.size() && isBlank(s[colon])) ++colon;
        bool secret = colon < s.size() && s[colon] == ':' &&
                      keyName(s.substr(i + 1, end - i - 1)).find("password") != std::string::npos;
        i = end;
        if (!secret) continue;
        std::size_t value = colon + 1;
        while (value < s.size() && isBlank(s[value])) ++value;
        std::size_t valueEnd = value;
        if (value < s.size() && s[value] == '"') {
            valueEnd = stringEnd(s, value);
            if (valueEnd == std::string_view::npos) valueEnd = s.size();
            ++value;  // keep the quotes
        } else {
            while (valueEnd < s.size() && s[valueEnd] != ',' && s[valueEnd] != '}' && s[valueEnd] != ']' &&
                   !isBlank(s[valueEnd]) && s[valueEnd] != '{' && s[valueEnd] != '[')
                ++valueEnd;
        }
        if (valueEnd == value) continue;  // an object, an array or nothing
        out.append(s.substr(copied, value - copied));
        out.append("***");
        copied = valueEnd;
        i = valueEnd < s.size() && s[valueEnd] == '"' ? valueEnd : valueEnd - 1;
    }
    out.append(s.substr(copied));
    return out;
}
