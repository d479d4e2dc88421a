// Type-checked reads of the dictionaries other apps leave for us (records,
// pasteboard contents, URL parameters). A value of the wrong kind counts as
// missing, so a damaged or hostile record reads as one without that field.
//
//   auto command = mvrecord::integer(dict, "command");   // 1010 or "1010"
//   auto code = mvrecord::int32(dict, "result");         // "4294967296" is INT32_MAX
//   auto title = mvrecord::text(dict, "title");          // only a string
//   auto thumb = mvrecord::data(dict, "thumbData");      // only data
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace mvrecord {

// An integer from a number (a real is truncated) or from numeric text, read
// as the platform's integerValue reads it: leading blanks, an optional sign,
// digits, and whatever follows ignored ("12ab" is 12). Booleans, text
// without leading digits and everything else give nullopt.
std::optional<long long> integerValue(const ns::Value& value);
std::optional<long long> integer(const ns::Value& dict, std::string_view key);

// The same held to the range of a signed 32-bit code: what lies beyond it
// reads as the nearest end (INT32_MAX for 2^31, 2^32 or 2^64 - 1), never
// wrapped around, so that a failure far out of range stays a failure.
std::optional<std::int32_t> int32(const ns::Value& dict, std::string_view key);

// A string; nullopt for any other kind.
std::optional<std::string> text(const ns::Value& dict, std::string_view key);

// Data; nullopt for any other kind.
std::optional<ns::Bytes> data(const ns::Value& dict, std::string_view key);

}  // namespace mvrecord
