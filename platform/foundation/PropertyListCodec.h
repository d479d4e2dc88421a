// What the property-list forms' readers and writers share
// (PropertyListBinary.h, PropertyListXML.h, PropertyListText.h).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>

#include "foundation/PropertyList.h"
#include "foundation/TextIndex.h"

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

// The most references the containers of a binary list of `listBytes` may
// hold together, its references being `referenceWidth` bytes wide (each
// container counted once however many places hold it, a dictionary's entry
// as two).
using ReferenceBound = std::size_t (*)(std::size_t listBytes, unsigned referenceWidth);

// PropertyListSerialization::propertyListWithData, with a bound on the
// references a binary list's containers may hold beside what every read
// counts against its size (ReadBudget.h): a list beyond is beyond the
// readers' bounds, refused before its containers are built. For a reader
// that knows how much a list it takes can hold (a keyed archive); XML and
// the text form hold no references.
Value read(const Bytes& data, ReferenceBound maxReferences, PropertyListFormat* format, ErrorPtr* error);

// The key under which a writer finds an equal scalar (a boolean, number,
// date, string, data or UID) again, to write it once: its kind and its bits.
std::string scalarKey(const Value& v);

// The copies of keys that the dictionaries of a list hold, as the readers
// and the writers count them alike: the first dictionary to hold a key holds
// the key object, every other one a copy. `Key` tells keys apart: their text
// in a reader, the number of their object in a writer (which writes equal
// keys as one object). A key of up to kInlineKeyBytes lives inside its
// entry (in the string's own buffer): its copy costs nothing beyond the
// entry, which the list pays for with its references, so it is not counted
// (nor looked up: most keys are short).
inline constexpr std::size_t kInlineKeyBytes = 15;

template <class Key>
class KeyCopies {
public:
    // One more dictionary holds the key of `size` bytes; false once the
    // copies pass kPropertyListMaxSharedKeyBytes.
    bool hold(const Key& key, std::size_t size) {
        if (size <= kInlineKeyBytes) return true;
        if (held_.insert(key).second) return true;
        bytes_ += size;
        return bytes_ <= kPropertyListMaxSharedKeyBytes;
    }

private:
    // Texts by the keyed hash, which no list can make meet; numbers as they are.
    struct Hash {
        std::size_t operator()(const Key& key) const {
            if constexpr (std::is_convertible_v<const Key&, std::string_view>)
                return TextIndex::hashOf(key);
            else
                return std::hash<Key>()(key);
        }
    };

    std::unordered_set<Key, Hash> held_;
    std::size_t bytes_ = 0;
};

}  // namespace ns::plistcodec
