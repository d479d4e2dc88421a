// The old text form of property lists, from OpenStep (PropertyList.h is the
// way in); read only, as the platform reads it:
//
//   { name = "温馨 提示"; list = (1, two, <0fbd 7a>); "a key" = {}; }
//
// Dictionaries of "key = value;" pairs in braces, arrays of values between
// parentheses and separated by commas (a comma may end the list), strings
// quoted (with " or ', and the escapes \a \b \f \n \r \t \v, \" \' \\, up
// to three octal digits naming an ASCII character, \U and up to four hex
// digits) or bare (letters, digits and _ $ / : . -), data as hex digits
// between angle brackets, and comments (// to the end of the line, /* */).
// Every scalar is a string or data: "1" stays text. Text of UTF-8, with or
// without a byte-order mark; nesting to kPropertyListMaxDepth; a repeated
// key keeps its last value.
#pragma once

#include <string_view>

#include "foundation/PropertyListCodec.h"
#include "foundation/ReadBudget.h"
#include "foundation/Value.h"

namespace ns::plisttext {

// The property list in the text, or nil with the problem in *problem. What
// it builds is counted against a ReadBudget of the text's size (or the one
// given); a list that builds more is refused as beyond the readers' bounds.
Value read(std::string_view text, plistcodec::Problem* problem);
Value read(std::string_view text, plistcodec::Problem* problem, ReadBudget budget);

}  // namespace ns::plisttext
