// Property lists (XML and binary, version 1.0) to and from Value: written
// through libplist; binary lists read through libplist once their structure
// has been checked, XML lists by a reader of our own (PropertyListXML.h)
// that never recurses.
//
// Kinds: dictionary, array, string, data, integer (signed 64-bit and
// unsigned values above INT64_MAX), real, boolean, date. Keyed-archive UIDs
// read as the dictionary {"CF$UID": n}, and such a dictionary is written as
// a UID, as the platform's own converters do. Dates in XML carry whole
// seconds; binary keeps microseconds.
#pragma once

#include <optional>

#include "foundation/Error.h"
#include "foundation/Value.h"

namespace ns {

enum class PropertyListFormat { XML, Binary };

inline constexpr long kPropertyListReadCorruptError = 3840;
inline constexpr long kPropertyListWriteInvalidError = 3851;

class PropertyListSerialization {
public:
    // nullopt, plus an error (Cocoa domain, kPropertyListWriteInvalidError),
    // when the value holds something a property list cannot: nil, the null
    // object, a date outside the years 1933 to 2068, or a
    // string or key with a NUL character.
    static std::optional<Bytes> dataWithPropertyList(const Value& plist, PropertyListFormat format,
                                                     ErrorPtr* error = nullptr);

    // True when dataWithPropertyList would accept the value.
    static bool isValidPropertyList(const Value& plist);

    // Reads either format (detected from the bytes). Bad bytes give nil and
    // an error (kPropertyListReadCorruptError) when a place is given, else a
    // log line. Dictionaries and arrays come back as fresh containers.
    static Value propertyListWithData(const Bytes& data, PropertyListFormat* format = nullptr,
                                      ErrorPtr* error = nullptr);
};

}  // namespace ns
