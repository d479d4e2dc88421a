// Property lists to and from Value, by readers and writers of our own:
// binary (version 1.0, PropertyListBinary.h) and XML (PropertyListXML.h)
// both ways, and the old text form of OpenStep (PropertyListText.h) for
// reading.
//
// Kinds: dictionary, array, string, data, integer (signed 64-bit and
// unsigned values above INT64_MAX), real, boolean, date. Keyed-archive UIDs
// read as the dictionary {"CF$UID": n}, and such a dictionary is written as
// a UID, as the platform's own converters do. Binary lists keep every
// string (NUL characters included) and every date exactly as they hold it;
// XML cannot hold a NUL or most other control characters, and carries dates
// to the whole second.
#pragma once

#include <cstddef>
#include <optional>

#include "foundation/Error.h"
#include "foundation/Value.h"

namespace ns {

// OpenStep: the old text form ({a = b; c = (1, 2);}), read only; all its
// scalars are strings, or data.
enum class PropertyListFormat { XML, Binary, OpenStep };

// The deepest nesting of containers (one inside the other) the readers and
// writers take.
inline constexpr int kPropertyListMaxDepth = 512;
// The most text the XML writer gives: a list whose text would pass it (one
// container held in many places expands in XML) is refused.
inline constexpr std::size_t kPropertyListMaxXMLBytes = 32u << 20;
// The most bytes of keys the dictionaries of a list hold in copies: a
// dictionary holds its own copy of each key, also of a key that other
// dictionaries hold (one key object of a binary list, referred to from many
// of them), so a long key held by many dictionaries would make a few bytes
// of list gigabytes. What a list's dictionaries hold of a key beyond its
// first holder counts; a list beyond is beyond the readers' bounds, and the
// binary writer does not write one.
inline constexpr std::size_t kPropertyListMaxSharedKeyBytes = 32u << 20;
// The key of the dictionary that stands for a keyed-archive UID.
inline constexpr const char* kPropertyListUIDKey = "CF$UID";

inline constexpr long kPropertyListReadCorruptError = 3840;
// Ours: a list beyond what the readers take (more than 4 GiB, nesting deeper
// than kPropertyListMaxDepth, keys held by many dictionaries beyond
// kPropertyListMaxSharedKeyBytes, XML in an encoding the system's converters
// do not know, a binary list that would build more than its size allows),
// which need not be a damaged one.
inline constexpr long kPropertyListReadBeyondLimitsError = 3843;
inline constexpr long kPropertyListWriteInvalidError = 3851;

class PropertyListSerialization {
public:
    // nullopt, plus an error (Cocoa domain, kPropertyListWriteInvalidError),
    // when the value holds something a property list cannot: nil, the null
    // object, text that is not UTF-8, a date that is not a number, a
    // container that holds itself, nesting past kPropertyListMaxDepth; in
    // binary also keys in copies beyond kPropertyListMaxSharedKeyBytes; in
    // XML also a string or key with a character XML cannot hold (a control
    // character other than tab, line feed and carriage return; U+FFFE,
    // U+FFFF), a date outside the years 0 to 9999 and text beyond
    // kPropertyListMaxXMLBytes. OpenStep is not written.
    static std::optional<Bytes> dataWithPropertyList(const Value& plist, PropertyListFormat format,
                                                     ErrorPtr* error = nullptr);

    // True when dataWithPropertyList would accept the value in binary.
    static bool isValidPropertyList(const Value& plist);

    // Reads any format (told from the bytes: binary by its header; text that
    // starts with an element is XML, in UTF-8, in UTF-16 with a byte-order
    // mark or in the encoding its XML declaration names, or else OpenStep in
    // UTF-8). Bad bytes give nil and an error
    // (kPropertyListReadCorruptError; kPropertyListReadBeyondLimitsError for
    // a list beyond the readers' bounds) when a place is given, else a log
    // line. Dictionaries and arrays come back as fresh containers; one that a
    // binary list refers to from several places comes back as one container
    // held in each of them.
    static Value propertyListWithData(const Bytes& data, PropertyListFormat* format = nullptr,
                                      ErrorPtr* error = nullptr);
};

}  // namespace ns
