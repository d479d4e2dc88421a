#include <gtest/gtest.h>

#include <limits>

#include <optional>
#include <utility>

#include "foundation/Strings.h"

using namespace ns;

namespace {

// Four CJK characters (one UTF-16 unit each) and one emoji (two units).
const std::string kChinese = "党建网格";
const std::string kEmoji = "\xF0\x9F\x98\x80";

}  // namespace

TEST(StringsUTF16, LengthsCountCJKAsOneUnitAndEmojiAsTwo) {
    EXPECT_EQ(utf16Length(""), 0u);
    EXPECT_EQ(utf16Length("abc"), 3u);
    EXPECT_EQ(utf16Length(kChinese), 4u);
    EXPECT_EQ(utf16Length(kEmoji), 2u);
    EXPECT_EQ(utf16Length("a" + kChinese + kEmoji + "b"), 8u);
    EXPECT_EQ(toUTF16(kEmoji).size(), 2u);
    EXPECT_EQ(fromUTF16(toUTF16("x" + kChinese + kEmoji)), "x" + kChinese + kEmoji);
}

TEST(StringsUTF16, SubstringAndIndexUseUTF16Units) {
    std::string s = "2015-03-" + kChinese + kEmoji + "!";
    EXPECT_EQ(utf16Substring("2015-03-08 10:00:00", 8, 2), "08");
    EXPECT_EQ(utf16Substring(s, 8, 2), "党建");
    EXPECT_EQ(utf16Substring(s, 12, 2), kEmoji);
    EXPECT_EQ(utf16SubstringFrom(s, 14), "!");
    EXPECT_EQ(utf16SubstringTo(s, 4), "2015");
    // Out of range is clamped, never a crash.
    EXPECT_EQ(utf16Substring(s, 100, 3), "");
    EXPECT_EQ(utf16Substring(s, 13, 100), "\xEF\xBF\xBD!");  // half an emoji
    EXPECT_EQ(utf16IndexOf(s, "!"), 14u);
    EXPECT_EQ(utf16IndexOf(s, "网"), 10u);
    EXPECT_FALSE(utf16IndexOf(s, "?").has_value());
    EXPECT_EQ(rangeOfString(s, "网格"), (Range{10, 2}));
    EXPECT_EQ(rangeOfString("a:b:c", ":", BackwardsSearch), (Range{3, 1}));
    EXPECT_EQ(rangeOfString("Hello", "hELL", CaseInsensitiveSearch), (Range{0, 4}));
    EXPECT_FALSE(rangeOfString("abc", "").found());
}

// Only whole surrogate pairs make text; fromUTF16 shows a lone half as U+FFFD.
TEST(StringsUTF16, LoneSurrogatesGiveNoString) {
    const std::u16string good = toUTF16("x" + kChinese + kEmoji);
    EXPECT_EQ(stringFromUTF16(good), "x" + kChinese + kEmoji);
    EXPECT_EQ(stringFromUTF16(u""), "");
    const std::u16string bad[] = {
        {u'a', char16_t(0xD83D)},                   // a high half at the end
        {char16_t(0xDE00), u'a'},                   // a low half first
        {char16_t(0xD83D), u'a', char16_t(0xDE00)}, // halves apart
        {char16_t(0xD83D), char16_t(0xD83D), char16_t(0xDE00)},
    };
    for (const auto& units : bad) {
        EXPECT_FALSE(stringFromUTF16(units).has_value()) << fromUTF16(units);
        EXPECT_NE(fromUTF16(units).find("\xEF\xBF\xBD"), std::string::npos);
    }
    // The same units as big-endian bytes (as binary property lists hold them) read the same.
    std::vector<std::u16string> all(std::begin(bad), std::end(bad));
    all.push_back(good);
    for (const auto& units : all) {
        Bytes bytes;
        for (char16_t u : units) {
            bytes.push_back(static_cast<std::uint8_t>(u >> 8));
            bytes.push_back(static_cast<std::uint8_t>(u));
        }
        EXPECT_EQ(fromUTF16BigEndian(bytes.data(), units.size()), fromUTF16(units));
    }
}

TEST(StringsUTF16, BadUTF8GivesNoString) {
    EXPECT_TRUE(stringFromUTF8(kChinese + kEmoji).has_value());
    EXPECT_FALSE(stringFromUTF8(std::string("\xC3\x28")).has_value());        // bad continuation
    EXPECT_FALSE(stringFromUTF8(std::string("\xC0\xAF")).has_value());        // overlong "/"
    EXPECT_FALSE(stringFromUTF8(std::string("\xED\xA0\x80")).has_value());    // surrogate
    EXPECT_FALSE(stringFromUTF8(std::string("\xE5\x85")).has_value());        // truncated
    EXPECT_FALSE(stringFromUTF8(std::string("\xF4\x90\x80\x80")).has_value()); // above U+10FFFF
    EXPECT_EQ(stringFromUTF8(Bytes{'o', 'k'}), "ok");
}

// The smallest and largest code point of each length are whole sequences; one
// past either edge is not. A malformed byte decodes as one U+FFFD of its own.
TEST(StringsUTF16, SequenceEdgesAndReplacement) {
    auto length = [](std::string_view s) {
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        return utf8SequenceLength(p, p + s.size());
    };
    EXPECT_EQ(length("a"), 1u);
    EXPECT_EQ(length("\xC2\x80"), 2u);
    EXPECT_EQ(length("\xDF\xBF"), 2u);
    EXPECT_EQ(length("\xE0\xA0\x80"), 3u);      // U+0800
    EXPECT_EQ(length("\xE0\x9F\xBF"), 0u);      // overlong
    EXPECT_EQ(length("\xED\x9F\xBF"), 3u);      // U+D7FF
    EXPECT_EQ(length("\xEE\x80\x80"), 3u);      // U+E000
    EXPECT_EQ(length("\xF0\x90\x80\x80"), 4u);  // U+10000
    EXPECT_EQ(length("\xF0\x8F\xBF\xBF"), 0u);  // overlong
    EXPECT_EQ(length("\xF4\x8F\xBF\xBF"), 4u);  // U+10FFFF
    EXPECT_EQ(length("\x80"), 0u);              // stray continuation
    EXPECT_EQ(length(std::string_view("\xE5\x85\x9A", 2)), 0u);  // cut short by the end

    EXPECT_EQ(toUTF32("\xF4\x8F\xBF\xBF" + kChinese.substr(0, 3)), (std::u32string{0x10FFFF, U'党'}));
    EXPECT_EQ(toUTF32("a\xE0\x80\xAF" "b"), (std::u32string{U'a', 0xFFFD, 0xFFFD, 0xFFFD, U'b'}));
    EXPECT_EQ(toUTF16("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));

    std::string out;
    appendUTF8(out, U'党');
    appendUTF8(out, 0x1F600);
    appendUTF8(out, 0xD800);    // a lone surrogate
    appendUTF8(out, 0x110000);  // beyond Unicode
    EXPECT_EQ(out, "党" + kEmoji + "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(StringsEncodings, NamedEncodingsByTheSystemsConverters) {
    // Names in any case and their aliases.
    for (const char* latin1 : {"ISO-8859-1", "iso-8859-1", "latin1", "ISO_8859-1"})
        EXPECT_EQ(stringFromEncoding("caf\xE9", latin1), "café") << latin1;
    EXPECT_EQ(stringFromEncoding("\x80", "windows-1252"), "€");
    for (const char* chinese : {"GBK", "GB2312", "gb18030"})
        EXPECT_EQ(stringFromEncoding("\xB5\xB3\xBD\xA8", chinese), "党建") << chinese;
    EXPECT_EQ(stringFromEncoding("", "GBK"), "");
    // A stateful encoding shifts back at the end.
    EXPECT_EQ(stringFromEncoding("\x1B$B@5\x1B(B!", "ISO-2022-JP"), "正!");
    // Output many times the input grows as it must.
    const std::string many(5000, '\xE9');
    std::string expected;
    for (int i = 0; i < 5000; ++i) expected += "é";
    EXPECT_EQ(stringFromEncoding(many, "latin1"), expected);

    // Bytes the encoding does not define, or cut short: no text, and the
    // encoding is a known one.
    const struct {
        std::string bytes;
        const char* encoding;
    } invalid[] = {{"caf\xE9", "US-ASCII"}, {"\xB5\x20", "GBK"}, {"\xB5", "GBK"}, {"a\xFF", "UTF-8"}};
    for (const auto& c : invalid) {
        bool unknown = true;
        EXPECT_FALSE(stringFromEncoding(c.bytes, c.encoding, &unknown)) << c.encoding;
        EXPECT_FALSE(unknown) << c.encoding;
    }
    // Names the converters do not know, and suffixes that would let bad
    // bytes through.
    for (std::string_view name : {std::string_view("x-unknown-encoding"), std::string_view(""),
                                  std::string_view("US-ASCII//IGNORE"), std::string_view("US-ASCII//TRANSLIT"),
                                  std::string_view("latin1\0x", 8)}) {
        bool unknown = false;
        EXPECT_FALSE(stringFromEncoding("caf\xE9", name, &unknown)) << name;
        EXPECT_TRUE(unknown) << name;
    }
}

TEST(StringsPieces, SplitJoinTrim) {
    EXPECT_EQ(componentsSeparatedByString("a,,b", ","), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(componentsSeparatedByString("", ","), (std::vector<std::string>{""}));
    EXPECT_EQ(componentsSeparatedByString("host:80;h2:81", ";"), (std::vector<std::string>{"host:80", "h2:81"}));
    EXPECT_EQ(componentsJoinedByString({"1", "2", "3"}, ","), "1,2,3");
    EXPECT_EQ(componentsJoinedByString(Value::array({Value(1), Value("x"), Value(2.5)}), ";"), "1;x;2.5");
    EXPECT_EQ(componentsJoinedByString(Value(), ","), "");
    EXPECT_EQ(trimWhitespaceAndNewlines(" \t\n中 文\r\n "), "中 文");
    EXPECT_EQ(trimWhitespaceAndNewlines("\xE3\x80\x80标题\xC2\xA0"), "标题");  // ideographic and no-break space
    EXPECT_EQ(trimWhitespaceAndNewlines(" \n "), "");
    EXPECT_EQ(trimCharacters("{abc}", "{}"), "abc");
}

TEST(StringsPieces, PrefixSuffixReplaceCase) {
    EXPECT_TRUE(hasPrefix("http://x", "http"));
    EXPECT_FALSE(hasPrefix("abc", ""));  // as the platform: empty never matches
    EXPECT_TRUE(hasSuffix("photo.JPG", ".JPG"));
    EXPECT_FALSE(hasSuffix("g", "jpg"));
    EXPECT_EQ(replaceOccurrences("a\\b\\c", "\\", "/"), "a/b/c");
    EXPECT_EQ(replaceOccurrences("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceOccurrences("abc", "", "x"), "abc");
    EXPECT_EQ(asciiLowercase("SELECT Ä"), "select Ä");
    EXPECT_EQ(asciiUppercase("abc中"), "ABC中");
    EXPECT_TRUE(asciiCaseInsensitiveEqual("Name", "nAME"));
}

TEST(StringsPieces, NumericComparisonOrdersVersions) {
    struct Case {
        const char *a, *b;
        int order;
    } cases[] = {{"1.10", "1.4.6", 1}, {"1.4.5", "1.4.6", -1}, {"1.4.6", "1.4.6", 0}, {"06.0", "6.0", 0},
                 {"6.0", "6.0.1", -1}, {"5.1.1", "6.0", -1}, {"10", "9", 1}, {"1.a", "1.b", -1}, {"", "0", -1}};
    for (const Case& c : cases) {
        EXPECT_EQ(compareNumeric(c.a, c.b), c.order) << c.a << " " << c.b;
        EXPECT_EQ(compareNumeric(c.b, c.a), -c.order) << c.b << " " << c.a;
    }
}

// Seconds on a command line: decimal, with a fraction and an exponent, and
// nothing else a number reader would also take. One beyond what a double
// holds is held at the largest (a wait as long as the clock goes); one below
// the smallest is none.
TEST(StringsPieces, DecimalSecondsAreDecimalDigitsAndNothingElse) {
    constexpr double kLargest = std::numeric_limits<double>::max();
    const std::string hundredsOfDigits(400, '9');
    const std::pair<std::string, double> read[] = {
        {"0", 0},
        {"10", 10},
        {"0.5", 0.5},
        {".5", 0.5},
        {"5.", 5},
        {"1e10", 1e10},
        {"1E-3", 1e-3},
        {"2.5e+2", 250},
        {"1e400", kLargest},
        {"1E+400", kLargest},
        {"0.001e312", kLargest},
        {hundredsOfDigits, kLargest},
        {"1e99999999999999999999999", kLargest},
        {"1e-400", 0},
        {"100e-402", 0},
        {"0." + std::string(400, '0') + "1", 0},
        {"1e-99999999999999999999999", 0},
    };
    for (const auto& [text, value] : read) EXPECT_EQ(decimalSeconds(text), value) << text;
    for (const char* text : {"", " 5", "5 ", "+5", "-1", "-1e400", "0x10", "0x1p3", "inf", "nan", "1e", "e5", ".",
                             "5s", "1..2", "1e400s"})
        EXPECT_EQ(decimalSeconds(text), std::nullopt) << text;
}

TEST(StringsPaths, ComponentsAndExtensions) {
    using Unary = std::string (*)(std::string_view);
    struct Case {
        Unary f;
        const char *in, *out;
    };
    const Unary last = lastPathComponent, ext = pathExtension, noExt = stringByDeletingPathExtension,
                parent = stringByDeletingLastPathComponent;
    const Case cases[] = {
        {last, "/tmp/scratch.tiff", "scratch.tiff"}, {last, "/tmp/", "tmp"}, {last, "scratch///", "scratch"},
        {last, "/", "/"}, {last, "", ""},
        {ext, "/tmp/scratch.tiff", "tiff"}, {ext, ".scratch.tiff", "tiff"}, {ext, "/tmp/scratch", ""},
        {ext, "/tmp/.hidden", ""}, {ext, "/a.b/c", ""},
        {noExt, "/tmp/scratch.tiff", "/tmp/scratch"}, {noExt, "scratch.bundle/", "scratch"},
        {noExt, "scratch..tiff", "scratch."}, {noExt, ".tiff", ".tiff"}, {noExt, "/a.b/c", "/a.b/c"}, {noExt, "/", "/"},
        {parent, "/tmp/scratch.tiff", "/tmp"}, {parent, "/tmp/lock/", "/tmp"}, {parent, "/tmp/", "/"},
        {parent, "/", "/"}, {parent, "scratch.tiff", ""}, {parent, "a//b", "a"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.f(c.in), c.out) << c.in;

    // A zipped document's entry: last component, extension replaced by xml.
    EXPECT_EQ(stringByAppendingPathExtension(stringByDeletingPathExtension(lastPathComponent("/c/doc.zip")), "xml"),
              "doc.xml");
    EXPECT_EQ(stringByAppendingPathExtension("/tmp/scratch.old", "tiff"), "/tmp/scratch.old.tiff");
    EXPECT_EQ(stringByAppendingPathExtension("/tmp/", "tiff"), "/tmp.tiff");
    EXPECT_EQ(stringByAppendingPathExtension("", "xml"), "");

    const char* appended[][3] = {
        {"/tmp", "scratch.tiff", "/tmp/scratch.tiff"}, {"/tmp/", "scratch.tiff", "/tmp/scratch.tiff"},
        {"/", "scratch.tiff", "/scratch.tiff"}, {"", "scratch.tiff", "scratch.tiff"},
        // An absolute right side is appended, never substituted for the base.
        {"/out", "/etc/passwd", "/out/etc/passwd"}, {"/out//a/", "b//c/", "/out/a/b/c"}, {"/out", "", "/out"},
    };
    for (auto& c : appended) EXPECT_EQ(stringByAppendingPathComponent(c[0], c[1]), c[2]) << c[0] << " + " << c[1];
}

TEST(StringsURL, PercentEncodingAndDecoding) {
    EXPECT_EQ(percentEncode("a b&c"), "a%20b%26c");
    EXPECT_EQ(percentEncode("中"), "%E4%B8%AD");
    EXPECT_EQ(percentEncode("a/b?c", "/"), "a/b%3Fc");
    EXPECT_EQ(percentEncode("://"), "%3A%2F%2F");
    EXPECT_EQ(percentDecode("%E4%B8%AD%20x"), "中 x");
    EXPECT_EQ(percentDecode("a+b"), "a+b");
    EXPECT_FALSE(percentDecode("%E4%B8").has_value());  // not UTF-8
    EXPECT_FALSE(percentDecode("100%").has_value());
    EXPECT_FALSE(percentDecode("%zz").has_value());
    EXPECT_EQ(escapeURLString("http://h:5008/a b?q=中&x=%41"), "http://h:5008/a%20b?q=%E4%B8%AD&x=%41");
    EXPECT_EQ(escapeURLString("50%off"), "50%25off");
}
