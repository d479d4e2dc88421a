// The old text form of property lists (OpenStep) on its own: whatever the
// text, the reader gives a value or a reason. A value holds only strings of
// UTF-8, data, arrays and dictionaries, nests no deeper than the readers
// take, and the binary writer takes it back and reads back the same; the
// general reader, given the same text, reads the same value in that form.
#include <string>

#include "FuzzSupport.h"
#include "foundation/PropertyList.h"
#include "foundation/PropertyListText.h"
#include "foundation/Strings.h"

namespace {

// Only what the text form has, within the nesting the readers take.
bool onlyTextKinds(const ns::Value& v, int depth) {
    switch (v.kind()) {
        case ns::Value::Kind::String: return ns::isValidUTF8(v.str());
        case ns::Value::Kind::Data: return true;
        case ns::Value::Kind::Array:
            if (depth >= ns::kPropertyListMaxDepth) return false;
            for (const auto& item : v.items())
                if (!onlyTextKinds(item, depth + 1)) return false;
            return true;
        case ns::Value::Kind::Dictionary:
            if (depth >= ns::kPropertyListMaxDepth) return false;
            for (const auto& [key, item] : v.entries())
                if (!ns::isValidUTF8(key) || !onlyTextKinds(item, depth + 1)) return false;
            return true;
        default: return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    const std::string_view text = fuzz::text(data, size);
    ns::plistcodec::Problem problem;
    ns::Value value = ns::plisttext::read(text, &problem);
    if (value.isNil()) {
        FUZZ_CHECK(!problem.reason.empty());
        return 0;
    }
    FUZZ_CHECK(onlyTextKinds(value, 0));
    auto written = ns::PropertyListSerialization::dataWithPropertyList(value, ns::PropertyListFormat::Binary);
    FUZZ_CHECK(written.has_value());
    FUZZ_CHECK(fuzz::sameValue(ns::PropertyListSerialization::propertyListWithData(*written), value));

    // The general reader takes text that opens with no element (nor a
    // byte-order mark of UTF-16, nor the binary form's header) for this form.
    const bool binary = text.substr(0, 6) == "bplist";
    const bool element = text.find_first_not_of(" \t\r\n") != std::string_view::npos &&
                         text[text.find_first_not_of(" \t\r\n")] == '<';
    const bool wide = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
    if (!element && !wide && !binary && text.find('\0') == std::string_view::npos && text.substr(0, 3) != "\xEF\xBB\xBF") {
        ns::PropertyListFormat format{};
        ns::Value general = ns::PropertyListSerialization::propertyListWithData(fuzz::bytes(data, size), &format);
        FUZZ_CHECK(format == ns::PropertyListFormat::OpenStep);
        FUZZ_CHECK(fuzz::sameValue(general, value));
    }
    return 0;
}
