// Percent-escaping and unescaping of URL arguments (UTF-8), the SDK's
// additions to strings. Each escaper keeps its own set of characters:
//
//   mvApi_stringByEscapingForURLArgument("a b&c~")       // "a%20b%26c~"  only A-Z a-z 0-9 - . _ ~ stay
//   mvApi_stringByEscapingForURLArgumentOnly("a b&%")    // "a%20b&%"     reserved characters and "%" stay
//   mvApi_stringByEncodeUrl("a~b")                       // "a%7Eb"       only A-Z a-z 0-9 - . _ stay
//   mvApi_stringByUnescapingFromURLArgument("a+b%26")    // "a b&"
//   mvApi_stringByEncodeByJsonAndUrlEncode("\\x41")      // "A"
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Escapes everything but the RFC 3986 unreserved characters.
std::string mvApi_stringByEscapingForURLArgument(std::string_view text);
// Escapes what may not appear in a URL; the reserved characters
// (":/?#[]@!$&'()*+,;=") and "%" stay as they are.
std::string mvApi_stringByEscapingForURLArgumentOnly(std::string_view text);
// "+" becomes a space, then %XX escapes are decoded; nullopt when an escape
// is malformed or the result is not UTF-8.
std::optional<std::string> mvApi_stringByUnescapingFromURLArgument(std::string_view text);
// As above, and "\x" or "\X" also starts an escape ("\x41" is "A").
std::optional<std::string> mvApi_stringByEncodeByJsonAndUrlEncode(std::string_view text);
// Escapes everything but A-Z a-z 0-9 "-" "." "_" (so "~" too).
std::string mvApi_stringByEncodeUrl(std::string_view text);
