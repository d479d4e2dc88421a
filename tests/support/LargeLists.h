// Property lists of one dictionary with as many keys as a list of a given
// size holds in each form: what a reader must take whole within its bound.
// The tests read them at small sizes; bench/foundation/PlistPeak.cpp reads
// them at the readers' 32 MiB bound.
//
//   ns::Bytes list = largelists::textKeys(1 << 20);   // {0000000 = x; 0000001 = x; ...}
//   ns::Value v = ns::PropertyListSerialization::propertyListWithData(list);
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "foundation/PropertyList.h"
#include "foundation/Value.h"

namespace largelists {

// The i-th key: `width` hexadecimal digits, or base-62 characters with
// `base62`, each key distinct for as many as the width holds.
inline std::string key(std::size_t i, std::size_t width, bool base62 = false) {
    static const char* digits = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::size_t base = base62 ? 62 : 16;
    std::string out(width, '0');
    for (std::size_t at = width; at-- > 0; i /= base) out[at] = digits[i % base];
    return out;
}

// The text form, one entry a line: "0000000 = x;" without blanks, 11 bytes
// a key (3.05 million in 32 MiB).
inline ns::Bytes textKeys(std::size_t bytes) {
    constexpr std::size_t kLine = 11;
    const std::size_t keys = (bytes - 3) / kLine;
    std::string out = "{\n";
    out.reserve(bytes);
    for (std::size_t i = 0; i < keys; ++i) {
        out += key(i, 7);
        out += "=x;\n";
    }
    out += "}";
    return ns::Bytes(out.begin(), out.end());
}

// XML, one entry a line: "<key>000000</key><true/>", 25 bytes a key (1.34
// million in 32 MiB).
inline ns::Bytes xmlKeys(std::size_t bytes) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    const std::string tail = "</dict>\n</plist>\n";
    constexpr std::size_t kLine = 25;
    const std::size_t keys = (bytes - head.size() - tail.size()) / kLine;
    std::string out = head;
    out.reserve(bytes);
    for (std::size_t i = 0; i < keys; ++i) {
        out += "<key>";
        out += key(i, 6);
        out += "</key><true/>\n";
    }
    out += tail;
    return ns::Bytes(out.begin(), out.end());
}

// Binary, as our writer writes it: keys of four characters to one shared
// value, about 17 bytes a key (1.97 million in 32 MiB).
inline ns::Bytes binaryKeys(std::size_t bytes) {
    constexpr std::size_t kPerKey = 17;
    const std::size_t keys = bytes / kPerKey;
    std::vector<std::pair<std::string, ns::Value>> entries;
    entries.reserve(keys);
    const ns::Value shared("x");
    for (std::size_t i = 0; i < keys; ++i) entries.emplace_back(key(i, 4, true), shared);
    return *ns::PropertyListSerialization::dataWithPropertyList(
        ns::Value::dictionaryWithUniqueEntries(std::move(entries)), ns::PropertyListFormat::Binary);
}

}  // namespace largelists
