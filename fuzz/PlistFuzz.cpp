// Property lists in any form (told from the bytes). What is read either
// fails with an error or is a value the binary writer takes back and that
// reads back exactly the same (every string, every date); the XML writer
// takes it back too unless XML cannot hold one of its strings or dates, and
// it reads back the same with dates to the second.
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
    bool binary = size >= 6 && fuzz::text(data, 6) == "bplist";
    FUZZ_CHECK(binary ? format == PropertyListFormat::Binary : format != PropertyListFormat::Binary);
    for (auto again : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
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
