// The readers of URL arguments: any text unescaped (both forms) and decoded
// from Base64. Unescaped text is UTF-8 and survives escaping again; decoded
// bytes survive encoding again.
#include "FuzzSupport.h"
#include "foundation/Strings.h"
#include "mervio/apps/MervioApiUtil.h"
#include "mervio/apps/URLArgumentsAdditions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    std::string_view text = fuzz::text(data, size);

    for (auto unescape : {mvApi_stringByUnescapingFromURLArgument, mvApi_stringByEncodeByJsonAndUrlEncode}) {
        auto plain = unescape(text);
        if (!plain) continue;
        FUZZ_CHECK(ns::isValidUTF8(*plain));
        FUZZ_CHECK(mvApi_stringByUnescapingFromURLArgument(mvApi_stringByEscapingForURLArgument(*plain)) == plain);
        FUZZ_CHECK(mvApi_stringByUnescapingFromURLArgument(mvApi_stringByEncodeUrl(*plain)) == plain);
    }
    mvApi_stringByEscapingForURLArgumentOnly(text);

    std::string input(text);
    if (auto decoded = MervioApiUtil::DecodeWithBase64(input)) {
        FUZZ_CHECK(!decoded->empty());
        auto encoded = MervioApiUtil::NsDataEncodeBase64(*decoded);
        FUZZ_CHECK(encoded && MervioApiUtil::DecodeWithBase64(*encoded) == decoded);
    }
    if (auto decodedText = MervioApiUtil::DecodeBase64(input)) FUZZ_CHECK(ns::isValidUTF8(*decodedText));
    return 0;
}
