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
    if (data.empty() || data.size() > UINT32_MAX) {
        report(error, kPropertyListReadCorruptError, data.empty() ? "empty property list" : "property list too large");
        return {};
    }
    std::string problem;
    if (data.size() >= 6 && std::memcmp(data.data(), "bplist", 6) == 0) {
        Value v = plistbinary::read(data, &problem);
        if (v.isNil()) {
            report(error, kPropertyListReadCorruptError, "corrupt binary property list: " + problem);
            return {};
        }
        if (format) *format = PropertyListFormat::Binary;
        return v;
    }
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
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
        // "<0fbd>" is data in the text form.
        std::string ignored;
        v = plisttext::read(text, &ignored);
        if (!v.isNil()) {
            if (format) *format = PropertyListFormat::OpenStep;
            return v;
        }
    } else {
        Value v = plisttext::read(text, &problem);
        if (!v.isNil()) {
            if (format) *format = PropertyListFormat::OpenStep;
            return v;
        }
    }
    report(error, kPropertyListReadCorruptError, "not a property list: " + problem);
    return {};
}

}  // namespace ns
