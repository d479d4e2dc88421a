// What the property-list forms' readers and writers share
// (PropertyListBinary.h, PropertyListXML.h, PropertyListText.h).
#pragma once

#include <string>

namespace ns {
class Value;
}

namespace ns::plistcodec {

// Thrown by a writer for a value its form cannot hold; PropertyList.cpp
// makes it the write error.
struct Refusal {
    std::string reason;
};

// The reason for a list nested deeper than kPropertyListMaxDepth, read or
// written.
inline constexpr const char* kTooDeep = "nesting too deep";
// The reason for keys copied beyond kPropertyListMaxSharedKeyBytes, read or
// written.
inline constexpr const char* kSharedKeysTooLong = "keys held by many dictionaries beyond 32 MiB";

// Why a reader gave no list; PropertyList.cpp makes it the read error.
struct Problem {
    std::string reason;
    // A list beyond the readers' bounds (nested too deep, keys copied too
    // often, in an encoding the converters do not know) rather than bytes
    // that are no list.
    bool beyondLimits = false;
};

// The key under which a writer finds an equal scalar (a boolean, number,
// date, string, data or UID) again, to write it once: its kind and its bits.
std::string scalarKey(const Value& v);

}  // namespace ns::plistcodec
