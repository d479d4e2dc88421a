// The reply reader: the one-pass scan of the result element, the libxml2
// reader it leaves the rest to, and the result then read as JSON.
//
// Input: the operation's name on the first line, the reply after it. Where
// the quick scan answers (Found or Absent), the full reader must give the
// same; the helper's answer is always the full reader's.
#include "FuzzSupport.h"
#include "app/framework/Records.h"
#include "service/SoapResultScan.h"
#include "service/SoapXmlParseHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    std::string_view input = fuzz::text(data, size);
    std::size_t newline = input.find('\n');
    if (newline == std::string_view::npos || newline > 64) return 0;
    std::string operation(input.substr(0, newline));
    std::string_view xml = input.substr(newline + 1);
    std::string name = operation + "Result";

    std::string quick;
    soapscan::Quick verdict = soapscan::quickScan(xml, name, quick);
    std::optional<std::string> full = soapscan::fullScan(xml, name);
    if (verdict == soapscan::Quick::Found) FUZZ_CHECK(full && *full == quick);
    if (verdict == soapscan::Quick::Absent) FUZZ_CHECK(!full);

    std::optional<std::string> result = SoapXmlParseHelper::findResultText(xml, operation);
    FUZZ_CHECK(result == full);
    FUZZ_CHECK(SoapXmlParseHelper::resultText(xml, operation) == full.value_or(""));
    std::string owned(xml);  // read in place: the same text
    FUZZ_CHECK(SoapXmlParseHelper::takeResultText(owned, operation) == full);

    if (result) {
        ns::Value reply = records::parse(*result);
        FUZZ_CHECK(reply.isDictionary());
        records::list(reply);
        records::item(reply);
    }
    return 0;
}
