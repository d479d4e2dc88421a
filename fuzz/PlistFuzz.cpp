// Property lists, XML and binary (the format is told from the bytes). What is
// read either fails with an error or is a value the writer takes back in both
// formats and that reads back the same (XML keeps dates to the second,
// binary to a few microseconds).
#include "FuzzSupport.h"
#include "foundation/PropertyList.h"

using ns::PropertyListFormat;
using ns::PropertyListSerialization;

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
    FUZZ_CHECK(format == (size >= 6 && fuzz::text(data, 6) == "bplist" ? PropertyListFormat::Binary
                                                                      : PropertyListFormat::XML));
    for (auto again : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
        ns::ErrorPtr writeError;
        auto written = PropertyListSerialization::dataWithPropertyList(value, again, &writeError);
        // Only a date outside what the formats hold cannot be written back.
        if (!written) {
            FUZZ_CHECK(writeError && writeError->localizedDescription().find("date") != std::string::npos);
            continue;
        }
        PropertyListFormat seen{};
        ns::Value back = PropertyListSerialization::propertyListWithData(*written, &seen);
        FUZZ_CHECK(seen == again);
        FUZZ_CHECK(fuzz::sameValue(back, value, {.dateSeconds = again == PropertyListFormat::XML ? 1.0 : 1e-5}));
    }
    return 0;
}
