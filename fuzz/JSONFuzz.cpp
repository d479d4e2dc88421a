// The JSON reader over any bytes. What it accepts must come back the same
// through the writer (compact and pretty), a document is a fragment whose top
// level is an object or an array, a lower depth limit only ever refuses more,
// a lone number is what isJSONNumber says it is, and a string is read exactly
// when it is well-formed UTF-8.
#include "FuzzSupport.h"
#include "foundation/Strings.h"
#include "service/JSON.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    std::string_view text = fuzz::text(data, size);

    JSONParser parser;
    ns::Value value = parser.parse(text, true);
    FUZZ_CHECK(value.isNil() != parser.error().empty());
    ns::Value document = JSONValue(text);
    FUZZ_CHECK(document.isNil() == (value.isNil() || !(value.isArray() || value.isDictionary())));

    JSONParser shallow(4);
    ns::Value limited = shallow.parse(text, true);
    FUZZ_CHECK(limited.isNil() || fuzz::sameValue(limited, value));

    if (isJSONNumber(text)) FUZZ_CHECK(value.isNumber() || parser.error().find("out of range") != std::string::npos);
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    if (value.isNumber() && !value.isBool() && !space(text.front()) && !space(text.back()))
        FUZZ_CHECK(isJSONNumber(text));

    if (!value.isNil()) {
        for (bool pretty : {false, true}) {
            JSONWriter writer(pretty);
            auto written = writer.write(value);
            FUZZ_CHECK(written.has_value());
            FUZZ_CHECK(fuzz::sameValue(JSONParser().parse(*written), value, {.numbersByValue = true}));
        }
    }

    // The reader's block-wise scan of a string accepts exactly the
    // well-formed UTF-8: the bytes, less those a string must escape.
    std::string literal = "\"";
    for (unsigned char c : text)
        if (c >= 0x20 && c != '"' && c != '\\') literal += static_cast<char>(c);
    literal += '"';
    ns::Value read = JSONParser().parse(literal);
    FUZZ_CHECK(read.isString() == ns::isValidUTF8(literal));
    if (read.isString()) FUZZ_CHECK(read.str() == literal.substr(1, literal.size() - 2));

    // The writer's strings always read back: the text itself when it is UTF-8.
    std::string quoted = JSONQuote(text);
    ns::Value string = JSONParser().parse(quoted);
    FUZZ_CHECK(string.isString());
    if (ns::isValidUTF8(text)) FUZZ_CHECK(string.str() == text);
    return 0;
}
