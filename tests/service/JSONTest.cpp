// The JSON codec: what it accepts, what it refuses, what it gives back, and
// that writing and reading agree; and the masking of passwords in JSON texts
// bound for the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "foundation/Log.h"
#include "foundation/ReadBudget.h"
#include "foundation/Strings.h"
#include "service/JSON.h"
#include "service/LogMasking.h"
#include "support/HostileReplies.h"
#include "support/ReadInChild.h"

namespace {

struct Case {
    const char* name;
    std::string text;
};

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(JSONReader, RefusesWhatRFC8259Forbids) {
    const Case cases[] = {
        {"empty text", ""},
        {"only blanks", "  \n "},
        {"trailing comma in array", "[1,2,]"},
        {"trailing comma in object", R"({"a":1,})"},
        {"leading zero", "[01]"},
        {"leading zero negative", "[-01]"},
        {"bare minus", "[-]"},
        {"dot without digits", "[1.]"},
        {"dot first", "[.5]"},
        {"exponent without digits", "[1e]"},
        {"plus sign", "[+1]"},
        {"hex number", "[0x10]"},
        {"NaN", "[NaN]"},
        {"Infinity", "[Infinity]"},
        {"number too large for a double", "[1e400]"},
        {"number too large for a double, with a negative exponent", "[1" + std::string(400, '0') + "e-1]"},
        {"single quotes", "['a']"},
        {"unquoted key", "{a:1}"},
        {"missing colon", R"({"a" 1})"},
        {"missing comma", "[1 2]"},
        {"invalid escape", R"(["\x41"])"},
        {"escaped apostrophe", R"(["\'"])"},
        {"short unicode escape", R"(["\u12"])"},
        {"bad hex in escape", R"(["\u12G4"])"},
        {"lone high surrogate", R"(["\ud83d"])"},
        {"high surrogate then text", R"(["\ud83dx"])"},
        {"high surrogate then non-surrogate", R"(["\ud83d\u0041"])"},
        {"lone low surrogate", R"(["\ude00"])"},
        {"raw tab in string", "[\"a\tb\"]"},
        {"raw newline in string", "[\"a\nb\"]"},
        {"raw NUL in string", std::string("[\"a\0b\"]", 7)},
        {"unterminated string", R"(["abc)"},
        {"unterminated array", "[1,2"},
        {"unterminated object", R"({"a":1)"},
        {"trailing garbage", "[1] x"},
        {"two values", "{} {}"},
        {"comment", "[1] // note"},
        {"truncated literal", "[tru]"},
        {"capitalised literal", "[True]"},
        {"UTF-8 continuation byte alone", "[\"\x80\"]"},
        {"UTF-8 overlong slash", "[\"\xC0\xAF\"]"},
        {"UTF-8 overlong three bytes", "[\"\xE0\x80\xAF\"]"},
        {"UTF-8 encoded surrogate", "[\"\xED\xA0\x80\"]"},
        {"UTF-8 beyond U+10FFFF", "[\"\xF4\x90\x80\x80\"]"},
        {"UTF-8 truncated sequence", "[\"\xE4\xB8\"]"},
        {"Latin-1 byte", "[\"caf\xE9\"]"},
        {"byte order mark", "\xEF\xBB\xBF[1]"},
        {"nesting beyond the limit", nested(JSONParser::kDefaultMaxDepth + 1)},
    };
    for (const auto& c : cases) {
        JSONParser parser;
        EXPECT_TRUE(parser.parse(c.text).isNil()) << c.name;
        EXPECT_FALSE(parser.error().empty()) << c.name;
    }
}

TEST(JSONReader, AcceptsWhatRFC8259Allows) {
    const Case cases[] = {
        {"empty object", "{}"},
        {"empty array", "[]"},
        {"blanks around", " \t\r\n[ 1 , 2 ]\n"},
        {"Chinese text", R"({"title":"党群直通车","message":"加载成功！"})"},
        {"every escape", R"(["\" \\ \/ \b \f \n \r \t \u0041 \u4e2d"])"},
        {"surrogate pair", R"(["\ud83d\ude00"])"},
        {"raw emoji", "[\"\xF0\x9F\x98\x80\"]"},
        {"escaped NUL", R"(["a\u0000b"])"},
        {"DEL is not a control character", "[\"\x7F\"]"},
        {"negative zero", "[-0]"},
        {"fraction and exponent", "[-1.5e-3, 2E+2, 0.0]"},
        {"nesting at the limit", nested(JSONParser::kDefaultMaxDepth)},
        {"nested records", R"({"records":[{"id":"1","childs":[{"id":"2"}]}],"state":"successful"})"},
        {"null true false", "[null,true,false]"},
    };
    for (const auto& c : cases) {
        JSONParser parser;
        EXPECT_FALSE(parser.parse(c.text).isNil()) << c.name << ": " << parser.error();
    }
}

// Strings are scanned in blocks and Chinese text several characters at a
// time: a bad byte, a quote, an escape or a control character must be found
// at every place, and what is accepted is exactly the well-formed UTF-8.
TEST(JSONReader, ChecksEveryByteOfLongStrings) {
    const std::string han = "党建网格群众服务学习教育";  // twelve three-byte characters
    const std::string ascii = "Kestrowline news item 2015";
    const Case inserts[] = {
        {"overlong three-byte form", "\xE0\x80\xAF"},
        {"surrogate", "\xED\xA0\x80"},
        {"stray continuation byte", "\x80"},
        {"cut-short sequence", "\xE5\x85"},
        {"overlong two-byte form", "\xC0\xAF"},
        {"above U+10FFFF", "\xF4\x90\x80\x80"},
        {"invalid lead byte", "\xF8\x88\x80\x80\x80"},
        {"control character", "\x1F"},
        {"smallest three-byte form", "\xE0\xA0\x80"},
        {"last before the surrogates", "\xED\x9F\xBF"},
        {"non-characters", "\xEF\xBF\xBE\xEF\xBF\xBF"},
        {"two- and four-byte forms", "\xC2\xA9\xF0\x9F\x98\x80"},
        {"escape", "\\n\\u4e2d\\\""},
    };
    for (const std::string& filler : {han, ascii, han + ascii}) {
        for (const auto& insert : inserts) {
            for (std::size_t at = 0; at <= 40; ++at) {
                std::string content = filler + filler + filler;
                content.insert(std::min(at, content.size()), insert.text);
                // Only whole characters of the filler are kept apart from the insert.
                if (!ns::isValidUTF8(std::string_view(content).substr(0, std::min(at, content.size())))) continue;
                const std::string text = "[\"" + content + "\"]";
                JSONParser parser;
                ns::Value v = parser.parse(text);
                bool escape = insert.text.front() == '\\';
                bool valid = escape || (ns::isValidUTF8(content) && insert.text != "\x1F");
                ASSERT_EQ(v.isArray(), valid) << insert.name << " at " << at << ": " << parser.error();
                if (!valid) continue;
                std::string expected = content;
                if (escape) expected.replace(std::min(at, content.size()), insert.text.size(), "\n中\"");
                EXPECT_EQ(v.at(0).str(), expected) << insert.name << " at " << at;
            }
        }
    }
}

TEST(JSONReader, GivesTheValuesTheTextHolds) {
    ns::Value v = JSONValue(R"({"state":"successful","records":[{"id":"12","title":"标题\n第二行","n":3}],)"
                            R"("emoji":"\ud83d\ude00","null":null,"yes":true})");
    ASSERT_TRUE(v.isDictionary());
    EXPECT_EQ(v.keys(), (std::vector<std::string>{"state", "records", "emoji", "null", "yes"}));
    EXPECT_EQ(v["records"].at(0)["title"].str(), "标题\n第二行");
    EXPECT_EQ(v["emoji"].str(), "\xF0\x9F\x98\x80");
    EXPECT_TRUE(v["null"].isNull());
    EXPECT_TRUE(v["yes"].isBool());
    EXPECT_TRUE(v["records"].at(0)["n"].isInteger());
    EXPECT_EQ(JSONValue(R"(["a\u0000b"])").at(0).str(), std::string("a\0b", 3));
}

TEST(JSONReader, ReadsNumbersExactlyOrAsDoubles) {
    ns::Value v = JSONValue("[9223372036854775807, -9223372036854775808, 18446744073709551615,"
                            " 18446744073709551616, -9223372036854775809, 123456789012345678901234567890,"
                            " 1.5, 1e2, 1e-400, -0]");
    ASSERT_TRUE(v.isArray());
    EXPECT_EQ(v.at(0).integerValue(), LLONG_MAX);
    EXPECT_EQ(v.at(1).integerValue(), LLONG_MIN);
    EXPECT_TRUE(v.at(2).isUnsigned());
    EXPECT_EQ(v.at(2).unsignedValue(), ULLONG_MAX);
    EXPECT_TRUE(v.at(3).isDouble());  // beyond 64 bits
    EXPECT_DOUBLE_EQ(v.at(3).doubleValue(), 18446744073709551616.0);
    EXPECT_TRUE(v.at(4).isDouble());
    EXPECT_TRUE(v.at(5).isDouble());
    EXPECT_DOUBLE_EQ(v.at(5).doubleValue(), 1.2345678901234568e29);
    EXPECT_TRUE(v.at(6).isDouble());
    EXPECT_DOUBLE_EQ(v.at(7).doubleValue(), 100.0);
    EXPECT_EQ(v.at(8).doubleValue(), 0.0);  // too small: zero
    EXPECT_EQ(v.at(9).integerValue(), 0);

    // Too small is zero however the exponent is written.
    ns::Value tiny = JSONValue("[0." + std::string(400, '0') + "1e5, -0." + std::string(400, '0') + "1e+5]");
    ASSERT_TRUE(tiny.isArray());
    EXPECT_EQ(tiny.at(0).doubleValue(), 0.0);
    EXPECT_TRUE(std::signbit(tiny.at(1).doubleValue()));
}

TEST(JSONReader, ContainersAreMutableAndRepeatedKeysKeepTheLastValue) {
    ns::Value v = JSONValue(R"({"a":1,"b":2,"a":3})");
    EXPECT_EQ(v.keys(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(v["a"].integerValue(), 3);
    v.set("c", ns::Value("x"));
    v["b"];  // reads never throw
    ns::Value records = JSONValue(R"({"records":[{"state":"0"}]})")["records"];
    records.at(0).set("state", ns::Value("1"));
    records.push(ns::Value::dictionary());
    EXPECT_EQ(records.count(), 2u);
    EXPECT_EQ(records.at(0)["state"].str(), "1");

    // A large object with repeats stays linear and keeps the last value.
    std::string big = "{";
    for (int i = 0; i < 5000; ++i) big += "\"k" + std::to_string(i % 2500) + "\":" + std::to_string(i) + ",";
    big.back() = '}';
    ns::Value b = JSONValue(big);
    EXPECT_EQ(b.count(), 2500u);
    EXPECT_EQ(b["k0"].integerValue(), 2500);
    EXPECT_EQ(b.keys().front(), "k0");
}

// What a text builds is counted against its size: a container costs its
// storage whatever it holds, so four megabytes of empty ones are refused,
// with the reason in the log, while the densest values that cost only their
// place in an array (numbers, empty strings, which are one string shared),
// short strings and containers of a few values still read.
TEST(JSONReader, TextsThatWouldBuildBeyondTheirSizeAreRefused) {
    constexpr std::size_t kBytes = 4u << 20;
    const struct {
        const char* value;
        bool read;
    } cases[] = {
        {"{}", false}, {"[]", false}, {"0", true}, {"\"\"", true}, {"\"a\"", true}, {"true", true},
        {"[[]]", false}, {"[0,0,0,0]", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string text = hostile::jsonRepeated(c.value, kBytes);
        ns::LogCapture log;
        const ns::Value v = JSONValue(text);
        EXPECT_EQ(v.isArray(), c.read);
        EXPECT_EQ(log.contains(ns::ReadBudget::kReason), !c.read);
        if (c.read) {
            EXPECT_EQ(v.count(), (kBytes - 2) / (std::strlen(c.value) + 1));
        }
    }
    // Inside an object the same.
    std::string members = "{";
    for (int i = 0; members.size() < kBytes; ++i) members += "\"" + std::to_string(i % 10) + "\":[],";
    members.back() = '}';
    EXPECT_TRUE(JSONValue(members).isDictionary());  // ten keys, the rest repeats
    members = "{\"k\":" + hostile::jsonRepeated("[]", kBytes) + "}";
    EXPECT_TRUE(JSONValue(members).isNil());
}

TEST(JSONReader, EveryEmptyStringIsOneSharedString) {
    const ns::Value v = JSONValue(R"(["",{"":""},"",["x",""]])");
    ASSERT_EQ(v.count(), 4u);
    EXPECT_EQ(&v.at(0).str(), &v.at(2).str());
    EXPECT_EQ(&v.at(0).str(), &v.at(1)[""].str());
    EXPECT_EQ(&v.at(0).str(), &v.at(3).at(1).str());
    EXPECT_EQ(v.at(0).str(), "");
    EXPECT_EQ(v.at(3).at(0).str(), "x");
}

// ---- Replies of any layout at the largest size a reply may have ----

// A reply laid out at random, as an attacker might: values drawn by the
// layout's weights (deep runs of containers, wide arrays of the smallest
// values, objects of many keys with repeats, long strings with escapes,
// numbers of every form) until the text reaches its size.
struct Layout {
    const char* name;
    unsigned deep, wide, keys, strings, numbers;  // weights
    unsigned seed;
};

class RandomReply {
public:
    RandomReply(const Layout& layout, std::size_t bytes, unsigned seed) : layout_(layout), bytes_(bytes), rng_(seed) {}

    std::string make() {
        out_ = "[";
        while (!full()) {
            value(1);
            out_ += ',';
        }
        out_.back() = ']';
        return std::move(out_);
    }

private:
    // Room kept for what closes the values begun: a run of containers takes
    // at most 510 levels of six bytes.
    bool full() const { return out_.size() + 4096 >= bytes_; }
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    void value(std::size_t depth) {
        const unsigned weights[] = {layout_.deep, layout_.wide, layout_.keys, layout_.strings, layout_.numbers};
        std::discrete_distribution<unsigned> pick(std::begin(weights), std::end(weights));
        switch (depth >= 400 ? 4 : pick(rng_)) {
            case 0: {  // a run of containers as deep as the reader takes
                const std::size_t levels = 1 + below(510 - depth);
                std::string close;
                for (std::size_t i = 0; i < levels; ++i) {
                    const bool object = below(2);
                    out_ += object ? "{\"k\":" : "[";
                    close += object ? '}' : ']';
                }
                value(depth + levels);
                out_.append(close.rbegin(), close.rend());
                break;
            }
            case 1: {  // the smallest values, many in a row
                static const char* smallest[] = {"0", "\"\"", "{}", "[]", "true", "null", "\"a\""};
                out_ += '[';
                for (std::size_t n = 1 + below(1u << 20); n-- > 0 && !full();) {
                    out_ += smallest[below(std::size(smallest))];
                    out_ += ',';
                }
                out_ += "0]";
                break;
            }
            case 2: {  // many keys, some repeated
                out_ += '{';
                for (std::size_t n = 1 + below(1u << 18), i = 0; i < n && !full(); ++i) {
                    out_ += "\"" + std::to_string(below(8) ? i : below(i + 1)) + "\":";
                    out_ += below(4) ? "0," : "\"v\",";
                }
                out_ += "\"end\":0}";
                break;
            }
            case 3: {  // long text with escapes, Chinese and a four-byte character
                static const char* pieces[] = {"abc", "党建网格", "\\n", "\\\"", "\\u4e2d", "\\ud83d\\ude00",
                                               "\xF0\x9F\x98\x80", "\\\\", "\\/"};
                out_ += '"';
                for (std::size_t n = below(1u << 16); n-- > 0 && !full();) out_ += pieces[below(std::size(pieces))];
                out_ += '"';
                break;
            }
            default: {
                static const char* numbers[] = {"0", "-1", "18446744073709551615", "-9223372036854775808", "1.5e300",
                                                "1e-400", "123456789012345678901234567890", "0.000001", "-0"};
                out_ += numbers[below(std::size(numbers))];
                break;
            }
        }
    }

    Layout layout_;
    std::size_t bytes_;
    std::mt19937 rng_;
    std::string out_;
};

// Named by the layout in the test's name and in messages.
void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

class JSONLayouts : public testing::TestWithParam<Layout> {};

// Each reply of 32 MiB, the most a service reply may be, reads or is refused
// (once it builds more than its size allows) within the memory the readers
// may take, and never ends the program.
TEST_P(JSONLayouts, ReadOrRefusedWithinBoundsAtTheLargestSize) {
    constexpr std::size_t kBytes = 32u << 20;
    constexpr long kMostKB = testsupport::sanitizedKB(testsupport::kReadersMostKB);
    const std::string text = RandomReply(GetParam(), kBytes, GetParam().seed).make();
    ASSERT_LE(text.size(), kBytes);
    const testsupport::ChildRead r = testsupport::readInChild([&] {
        ns::LogCapture quiet(ns::LogCapture::Echo::No, [](std::string_view) { return false; });
        return JSONValue(text).isArray();
    });
    EXPECT_TRUE(r.ended) << r.describe();
    EXPECT_LT(r.peakKB, kMostKB) << r.describe();
}

// The densest replies: one small value after another. Those that build more
// than their size allows are refused before they cost more than the bound.
TEST(JSONReader, TheDensestRepliesReadOrAreRefusedWithinBoundsAtTheLargestSize) {
    constexpr std::size_t kBytes = 32u << 20;
    constexpr long kMostKB = testsupport::sanitizedKB(testsupport::kReadersMostKB);
    const struct {
        const char* value;
        bool read;
    } cases[] = {{"{}", false}, {"\"\"", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string text = hostile::jsonRepeated(c.value, kBytes);
        const testsupport::ChildRead r = testsupport::readInChild([&] {
            ns::LogCapture quiet(ns::LogCapture::Echo::No, [](std::string_view) { return false; });
            return JSONValue(text).isArray();
        });
        EXPECT_TRUE(r.ended) << r.describe();
        EXPECT_EQ(r.read, c.read);
        EXPECT_LT(r.peakKB, kMostKB) << r.describe();
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, JSONLayouts,
                         testing::Values(Layout{"deep", 8, 1, 1, 1, 1, 1}, Layout{"wide", 1, 8, 1, 1, 1, 2},
                                         Layout{"keys", 1, 1, 8, 1, 1, 3}, Layout{"strings", 1, 1, 1, 8, 1, 4},
                                         Layout{"mixed", 1, 1, 1, 1, 1, 5}),
                         [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST(JSONReader, TopLevelRulesAndLogLines) {
    ns::LogCapture log;
    EXPECT_TRUE(JSONValue("\"text\"").isNil());  // a fragment is not an object or array
    EXPECT_TRUE(log.contains("-JSONValue failed. Error trace is: "));
    EXPECT_EQ(JSONFragmentValue("\"text\"").str(), "text");
    EXPECT_EQ(JSONFragmentValue(" 42 ").integerValue(), 42);
    EXPECT_TRUE(JSONFragmentValue("null").isNull());
    log.clear();
    EXPECT_TRUE(JSONFragmentValue("[1,]").isNil());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("-JSONFragmentValue failed. Error trace is: "), std::string::npos);
    EXPECT_NE(log.lines()[0].find("Trailing comma"), std::string::npos);
}

TEST(JSONWriter, WritesCompactAndPrettyInInsertionOrder) {
    ns::Value v = ns::Value::dictionary({{"z", ns::Value(1)},
                                         {"a", ns::Value::array({ns::Value("x"), ns::Value::null(), ns::Value(true)})},
                                         {"m", ns::Value::dictionary()},
                                         {"d", ns::Value(1.5)}});
    EXPECT_EQ(JSONRepresentation(v), R"({"z":1,"a":["x",null,true],"m":{},"d":1.5})");
    EXPECT_EQ(JSONPrettyRepresentation(v),
              "{\n  \"z\": 1,\n  \"a\": [\n    \"x\",\n    null,\n    true\n  ],\n  \"m\": {},\n  \"d\": 1.5\n}");
}

TEST(JSONWriter, EscapesSoEveryTextReadsBackIntact) {
    const std::string texts[] = {
        "plain", "quote \" backslash \\ slash /", "line\nbreak\r\ttab", std::string("nul\0ctl\x01\x1F", 10),
        "中文 and emoji \xF0\x9F\x98\x80", "<b>&amp;</b>", "\x7F",
    };
    for (const auto& t : texts) {
        std::string json = JSONRepresentation(ns::Value::array({ns::Value(t)}));
        ns::Value back = JSONValue(json);
        ASSERT_TRUE(back.isArray()) << json;
        EXPECT_EQ(back.at(0).str(), t) << json;
    }
    // Characters XML cannot carry are written as escapes; what XML can carry
    // (tab, LF, DEL, U+FFFD, a supplementary non-character) goes as it is.
    const std::pair<std::string, std::string> escaped[] = {
        {"a\xEF\xBF\xBE", R"("a\ufffe")"},
        {"\xEF\xBF\xBF" "b\xEF\xBF\xBE", R"("\uffffb\ufffe")"},
        {std::string("\x01\x0B\x1F", 3), R"("\u0001\u000b\u001f")"},
        {"\t\n\x7F\xEF\xBF\xBD\xEF\xBF\xBC\xF0\x9F\xBF\xBE", "\"\\t\\n\x7F\xEF\xBF\xBD\xEF\xBF\xBC\xF0\x9F\xBF\xBE\""},
    };
    for (const auto& [text, quoted] : escaped) {
        EXPECT_EQ(JSONQuote(text), quoted);
        EXPECT_EQ(JSONFragmentValue(quoted).str(), text);
    }
    // Bytes that are not UTF-8 become U+FFFD, so the output is still JSON.
    std::string json = JSONRepresentation(ns::Value::array({ns::Value(std::string("caf\xE9"))}));
    EXPECT_EQ(JSONValue(json).at(0).str(), "caf\xEF\xBF\xBD");
}

TEST(JSONWriter, RefusesWhatJSONCannotCarry) {
    ns::LogCapture log;
    EXPECT_FALSE(isValidJSONObject(ns::Value::array({ns::Value(ns::Bytes{1, 2})})));
    EXPECT_FALSE(isValidJSONObject(ns::Value::array({ns::Value(ns::Date{0})})));
    EXPECT_FALSE(isValidJSONObject(ns::Value::array({ns::Value(std::numeric_limits<double>::infinity())})));
    EXPECT_FALSE(isValidJSONObject(ns::Value("fragment")));
    EXPECT_TRUE(isValidJSONObject(ns::Value::dictionary({{"a", ns::Value::array()}})));
    ns::Value loop = ns::Value::array();
    loop.push(loop);  // a container that holds itself
    EXPECT_EQ(JSONRepresentation(loop), "");
    loop.removeAll();
    EXPECT_EQ(JSONRepresentation(ns::Value::array({ns::Value(std::nan(""))})), "");
    EXPECT_TRUE(log.contains("-JSONRepresentation failed"));
}

TEST(JSONWriter, NumbersRoundTrip) {
    ns::Value v = ns::Value::array({ns::Value(static_cast<long long>(LLONG_MIN)), ns::Value(ULLONG_MAX),
                                    ns::Value(0.1), ns::Value(1e300), ns::Value(-2.5e-8), ns::Value(3.0)});
    ns::Value back = JSONValue(JSONRepresentation(v));
    EXPECT_EQ(back.at(0).integerValue(), LLONG_MIN);
    EXPECT_EQ(back.at(1).unsignedValue(), ULLONG_MAX);
    EXPECT_EQ(back.at(2).doubleValue(), 0.1);
    EXPECT_EQ(back.at(3).doubleValue(), 1e300);
    EXPECT_EQ(back.at(4).doubleValue(), -2.5e-8);
    EXPECT_EQ(back.at(5).doubleValue(), 3.0);
}

TEST(JSONNumbers, TellsJSONNumbersFromOtherText) {
    for (const char* yes : {"0", "-0", "12", "-3.25", "1e5", "2E-3"}) EXPECT_TRUE(isJSONNumber(yes)) << yes;
    for (const char* no : {"", "-", "01", "1.", ".5", "+1", " 1", "1 ", "1,0", "abc", "12abc", "NaN", "0x1"})
        EXPECT_FALSE(isJSONNumber(no)) << no;
}

}  // namespace

TEST(LogMasking, PasswordValuesAreMaskedAndTheRestKept) {
    const std::pair<std::string, std::string> cases[] = {
        {R"({"parameters":{"user_name":"lisi","password":"secret"}})",
         R"({"parameters":{"user_name":"lisi","password":"***"}})"},
        {R"({"records":{"Password" : "a\"b", "new_password":12345,"uname":"password"}})",
         R"({"records":{"Password" : "***", "new_password":***,"uname":"password"}})"},
        {R"({"pass\u0077ord":"secret"})", R"({"pass\u0077ord":"***"})"},
        {R"([{"password":""},{"password":null},{"password":{"x":"y"}}])",
         R"([{"password":""},{"password":***},{"password":{"x":"y"}}])"},
        {R"(not JSON "password": "secret)", R"(not JSON "password": "***)"},
        {R"({"state":"failed","message":"用户名或密码错误"})", R"({"state":"failed","message":"用户名或密码错误"})"},
        {R"({"USER_PASSWORD":"x","note":"a\"b"})", R"({"USER_PASSWORD":"***","note":"a\"b"})"},
        {R"({"pass_word":"x","passwor":"y","Passwords":"z"})", R"({"pass_word":"x","passwor":"y","Passwords":"***"})"},
        {"", ""},
    };
    for (const auto& [text, masked] : cases) EXPECT_EQ(maskPasswords(text), masked) << text;
}
