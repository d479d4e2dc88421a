// The XML property-list reader (PropertyList.h reads binary lists through
// libplist and XML ones here).
//
// It never recurses: containers are kept on an explicit stack, so a damaged
// file of a million unclosed <array> costs no stack and is refused at the
// nesting limit. Dictionaries are built with a hash index (a repeated key
// keeps its last value), so a list of many keys reads in linear time.
//
// Understood: an optional XML declaration, DOCTYPE, comments and processing
// instructions; a <plist> root or a bare value; dict/key, array, string,
// data (base64, blanks ignored), date (ISO 8601, UTC), integer (decimal,
// signed 64-bit, and unsigned up to 2^64 - 1), real, true and false; the
// five predefined entities, character references and CDATA sections in
// text. Entities a DOCTYPE declares are not expanded.
#pragma once

#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace ns::plistxml {

// The deepest nesting of containers either reader accepts.
inline constexpr int kMaxDepth = 512;

// The property list in the text, or nil with the reason in *problem.
Value read(std::string_view text, std::string* problem);

}  // namespace ns::plistxml
