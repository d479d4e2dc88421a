#include "foundation/PropertyList.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/Data.h"
#include "foundation/Log.h"
#include "foundation/PropertyListBinary.h"
#include "foundation/PropertyListCodec.h"
#include "foundation/PropertyListText.h"
#include "foundation/PropertyListXML.h"
#include "foundation/Strings.h"

namespace ns {

namespace {

void report(ErrorPtr* error, long code, const std::string& reason) {
    if (error) {
        *error = makeError(kCocoaErrorDomain, code, reason);
    } else {
        NSLog("PropertyList: %@", reason);
    }
}

// Text that opens with an element (after a byte-order mark and blanks) is
// taken for XML first.
bool startsWithElement(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t at = text.find_first_not_of(" \t\r\n");
    if (at == std::string_view::npos || at + 1 >= text.size() || text[at] != '<') return false;
    char next = text[at + 1];
    return next == '?' || next == '!' || (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
}

// The text of bytes in UTF-16 with a byte-order mark (either byte order),
// as UTF-8 without the mark; nullopt for anything else, and for UTF-16 that
// is not well formed (an odd byte, a lone surrogate).
std::optional<std::string> textOfUTF16(const Bytes& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    bool little = data[0] == 0xFF && data[1] == 0xFE, big = data[0] == 0xFE && data[1] == 0xFF;
    if (!little && !big) return std::nullopt;
    std::u16string units;
    units.reserve(data.size() / 2 - 1);
    for (std::size_t i = 2; i < data.size(); i += 2)
        units.push_back(static_cast<char16_t>(little ? data[i] | data[i + 1] << 8 : data[i] << 8 | data[i + 1]));
    return stringFromUTF16(units);
}

}  // namespace

std::optional<Bytes> PropertyListSerialization::dataWithPropertyList(const Value& plist, PropertyListFormat format,
                                                                     ErrorPtr* error) {
    try {
        switch (format) {
            case PropertyListFormat::Binary: return plistbinary::write(plist);
            case PropertyListFormat::XML: return plistxml::write(plist);
            case PropertyListFormat::OpenStep: throw plistcodec::Refusal{"the OpenStep form is read only"};
        }
    } catch (const plistcodec::Refusal& refusal) {
        report(error, kPropertyListWriteInvalidError, "cannot write property list: " + refusal.reason);
    }
    return std::nullopt;
}

bool PropertyListSerialization::isValidPropertyList(const Value& plist) { return plistbinary::writable(plist); }

Value PropertyListSerialization::propertyListWithData(const Bytes& data, PropertyListFormat* format, ErrorPtr* error) {
    return plistcodec::read(data, nullptr, format, error);
}

Value plistcodec::read(const Bytes& data, ReferenceBound maxReferences, PropertyListFormat* format, ErrorPtr* error) {
    if (data.empty()) {
        report(error, kPropertyListReadCorruptError, "empty property list");
        return {};
    }
    if (data.size() > UINT32_MAX) {
        report(error, kPropertyListReadBeyondLimitsError, "property list too large");
        return {};
    }
    plistcodec::Problem problem;
    // A reader's failure: a list beyond the readers' bounds, or no list.
    auto refuse = [&](const std::string& what) {
        report(error, problem.beyondLimits ? kPropertyListReadBeyondLimitsError : kPropertyListReadCorruptError,
               what + problem.reason);
        return Value();
    };
    if (data.size() >= 6 && std::memcmp(data.data(), "bplist", 6) == 0) {
        Value v = plistbinary::read(data, &problem, maxReferences);
        if (v.isNil()) return refuse("corrupt binary property list: ");
        if (format) *format = PropertyListFormat::Binary;
        return v;
    }
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    // XML in UTF-16, told by its byte-order mark.
    std::optional<std::string> wide = textOfUTF16(data);
    if (wide) text = *wide;
    // XML in another encoding its declaration names.
    std::optional<std::string> declared;
    if (!wide) declared = plistxml::textInDeclaredEncoding(text, &problem);
    if (declared) {
        text = *declared;
    } else if (!problem.reason.empty()) {
        return refuse("not a property list: ");
    }
    // Neither text form holds a NUL byte.
    if (text.find('\0') != std::string_view::npos) {
        report(error, kPropertyListReadCorruptError, "not a property list");
        return {};
    }
    if (startsWithElement(text)) {
        Value v = plistxml::read(text, &problem);
        if (!v.isNil()) {
            if (format) *format = PropertyListFormat::XML;
            return v;
        }
        if (problem.beyondLimits) return refuse("not a property list: ");
        // "<0fbd>" is data in the text form.
        plistcodec::Problem ignored;
        if (!wide) v = plisttext::read(text, &ignored);
        if (!v.isNil()) {
            if (format) *format = PropertyListFormat::OpenStep;
            return v;
        }
    } else if (!wide) {
        Value v = plisttext::read(text, &problem);
        if (!v.isNil()) {
            if (format) *format = PropertyListFormat::OpenStep;
            return v;
        }
    }
    return refuse("not a property list: ");
}

}  // namespace ns
