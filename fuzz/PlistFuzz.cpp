// Property lists in any form (told from the bytes). What is read either
// fails with an error or is a value the binary writer takes back and that
// reads back exactly the same (every string, every date); the XML writer
// takes it back too unless XML cannot hold one of its strings or dates, and
// it reads back the same with dates to the second. XML holds no shared
// references or keys: a value whose text in XML would be far larger than
// any input (shared containers, or a long key that many dictionaries hold)
// is not written in XML, so that each input's work stays within the
// fuzzer's time limit.
#include <algorithm>
#include <unordered_map>

#include "FuzzSupport.h"
#include "foundation/PropertyList.h"

using ns::PropertyListFormat;
using ns::PropertyListSerialization;

namespace {

// About the most text a fuzzer's input gives.
constexpr std::uint64_t kMostXMLBytes = 1u << 20;

// About the bytes of XML text the value's references expand to, up to
// kMostXMLBytes + 1 (each container reckoned once, with what it expands to).
std::uint64_t expanded(const ns::Value& v, std::unordered_map<const void*, std::uint64_t>& known) {
    constexpr std::uint64_t kMarkup = 24;  // tags, indentation, a number
    if (v.isString()) return kMarkup + v.str().size();
    if (v.isData()) return kMarkup + v.data().size() * 3 / 2;
    if (!v.isArray() && !v.isDictionary()) return kMarkup;
    const void* identity = v.isArray() ? static_cast<const void*>(&v.items()) : &v.entries();
    if (auto it = known.find(identity); it != known.end()) return it->second;
    std::uint64_t n = kMarkup;
    for (const auto& item : v.items()) n = std::min(n + expanded(item, known), kMostXMLBytes + 1);
    for (const auto& [key, item] : v.entries())
        n = std::min(n + kMarkup + key.size() + expanded(item, known), kMostXMLBytes + 1);
    known.emplace(identity, n);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    ns::ErrorPtr error;
    PropertyListFormat format{};
    ns::Value value = PropertyListSerialization::propertyListWithData(fuzz::bytes(data, size), &format, &error);
    if (value.isNil()) {
        FUZZ_CHECK(error != nullptr);
        return 0;
    }
    FUZZ_CHECK(error == nullptr);
    bool binary = size >= 6 && fuzz::text(data, 6) == "bplist";
    FUZZ_CHECK(binary ? format == PropertyListFormat::Binary : format != PropertyListFormat::Binary);
    std::unordered_map<const void*, std::uint64_t> known;
    const bool xmlToo = expanded(value, known) <= kMostXMLBytes;
    for (auto again : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
        if (again == PropertyListFormat::XML && !xmlToo) continue;
        ns::ErrorPtr writeError;
        auto written = PropertyListSerialization::dataWithPropertyList(value, again, &writeError);
        if (!written) {
            FUZZ_CHECK(again == PropertyListFormat::XML && writeError);
            const std::string why = writeError->localizedDescription();
            FUZZ_CHECK(why.find("XML") != std::string::npos || why.find("date outside") != std::string::npos);
            continue;
        }
        PropertyListFormat seen{};
        ns::Value back = PropertyListSerialization::propertyListWithData(*written, &seen);
        FUZZ_CHECK(seen == again);
        FUZZ_CHECK(fuzz::sameValue(back, value, {.dateSeconds = again == PropertyListFormat::XML ? 1.0 : 0.0}));
    }
    return 0;
}
