#include "mervio/apps/URLArgumentsAdditions.h"

#include "foundation/Strings.h"

std::string mvApi_stringByEscapingForURLArgument(std::string_view text) { return ns::percentEncode(text); }

std::string mvApi_stringByEscapingForURLArgumentOnly(std::string_view text) {
    std::string keep(ns::kURLReservedCharacters);
    keep += '%';
    return ns::percentEncode(text, keep);
}

std::optional<std::string> mvApi_stringByUnescapingFromURLArgument(std::string_view text) {
    return ns::percentDecode(ns::replaceOccurrences(text, "+", " "));
}

std::optional<std::string> mvApi_stringByEncodeByJsonAndUrlEncode(std::string_view text) {
    std::string spaced = ns::replaceOccurrences(text, "+", " ");
    std::string escaped;
    escaped.reserve(spaced.size());
    for (std::size_t i = 0; i < spaced.size(); ++i) {
        if (spaced[i] == '\\' && i + 1 < spaced.size() && (spaced[i + 1] == 'x' || spaced[i + 1] == 'X')) {
            escaped += '%';
            ++i;
        } else {
            escaped += spaced[i];
        }
    }
    return ns::percentDecode(escaped);
}

std::string mvApi_stringByEncodeUrl(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '.' || c == '_';
        if (keep) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}
