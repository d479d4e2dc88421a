#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/Strings.h"
#include "support/HostilePlists.h"
#include "support/AllocationCount.h"
#include "support/PeakMemory.h"

using namespace ns;
using testsupport::allocationPeak;
using testsupport::statusKB;

namespace {

// A tree with every kind the property lists carry.
Value sampleTree() {
    return Value::dictionary({
        {"title", Value("温馨提示 😀")},
        {"markup <&>", Value("<b>&amp;</b> ]]>")},
        {"名称", Value("")},
        {"count", Value(42)},
        {"negative", Value(-7)},
        {"min", Value(LLONG_MIN)},
        {"max", Value(LLONG_MAX)},
        {"tm", Value(18446744073709551615ULL)},
        {"big", Value(9223372036854775808ULL)},
        {"ratio", Value(0.1)},
        {"flag", Value(true)},
        {"off", Value(false)},
        {"created", Value(Date{1425175200})},  // 2015-03-01 10:00:00 +0800
        {"old", Value(Date{315504000})},       // 1980-01-01 00:00 local
        {"bytes", Value(Bytes{0, 1, 2, 0xFF})},
        {"empty", Value(Bytes{})},
        {"list", Value::array({Value("a"), Value::array({Value(1), Value::dictionary({{"k", Value("值")}})}),
                               Value::dictionary()})},
        {"nested", Value::dictionary({{"member_id", Value("12")}, {"real_name", Value("张三")}})},
    });
}

Value roundTrip(const Value& v, PropertyListFormat format) {
    auto data = PropertyListSerialization::dataWithPropertyList(v, format);
    EXPECT_TRUE(data.has_value());
    if (!data) return {};
    PropertyListFormat seen{};
    Value back = PropertyListSerialization::propertyListWithData(*data, &seen);
    EXPECT_EQ(seen, format);
    return back;
}

// A number in `width` bytes, most significant first.
void putNumber(Bytes& out, std::uint64_t n, unsigned width) {
    for (unsigned i = width; i-- > 0;) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
}

// A binary property list by hand: objects in order, the first on top, with
// offsets and references of `width` bytes (the objects hold theirs already).
Bytes bplist(const std::vector<Bytes>& objects, unsigned width = 1) {
    Bytes out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::vector<std::uint64_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(out.size());
        out.insert(out.end(), o.begin(), o.end());
    }
    const std::uint64_t table = out.size();
    for (std::uint64_t off : offsets) putNumber(out, off, width);
    out.insert(out.end(), 6, 0);
    out.push_back(static_cast<std::uint8_t>(width));  // offset size
    out.push_back(static_cast<std::uint8_t>(width));  // reference size
    putNumber(out, objects.size(), 8);
    putNumber(out, 0, 8);  // the top object
    putNumber(out, table, 8);
    return out;
}

// An ASCII string object of a binary list (under 15 characters).
Bytes asciiObject(const std::string& text) {
    Bytes out = {static_cast<std::uint8_t>(0x50 | text.size())};
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

// A binary property list of arrays only, by hand: each array the numbers of
// the objects it holds, the first array on top; 4-byte offsets and
// references, so any number of objects.
Bytes arraysList(const std::vector<std::vector<std::uint32_t>>& arrays) {
    std::vector<Bytes> objects;
    objects.reserve(arrays.size());
    for (const auto& refs : arrays) {
        Bytes array;
        if (refs.size() < 15) {
            array.push_back(static_cast<std::uint8_t>(0xA0 | refs.size()));
        } else {
            array.push_back(0xAF);
            array.push_back(0x12);
            putNumber(array, refs.size(), 4);
        }
        for (std::uint32_t r : refs) putNumber(array, r, 4);
        objects.push_back(std::move(array));
    }
    return bplist(objects, 4);
}

// The UTF-16 code units as bytes in either order, with the byte-order mark
// first when asked for.
Bytes utf16Bytes(std::u16string units, bool little, bool mark) {
    if (mark) units.insert(units.begin(), 0xFEFF);
    Bytes out;
    for (char16_t u : units) {
        auto high = static_cast<std::uint8_t>(u >> 8), low = static_cast<std::uint8_t>(u & 0xFF);
        out.push_back(little ? low : high);
        out.push_back(little ? high : low);
    }
    return out;
}

}  // namespace

TEST(PropertyList, RoundTripsEveryKindInBothFormats) {
    for (auto format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        Value tree = sampleTree();
        Value back = roundTrip(tree, format);
        EXPECT_EQ(back, tree) << back.description();
        // Integers keep their sign and width.
        EXPECT_TRUE(back["tm"].isUnsigned());
        EXPECT_EQ(back["tm"].unsignedValue(), 18446744073709551615ULL);
        EXPECT_EQ(back["big"].unsignedValue(), 9223372036854775808ULL);
        EXPECT_EQ(back["negative"].integerValue(), -7);
        EXPECT_FALSE(back["negative"].isUnsigned());
        EXPECT_EQ(back["min"].integerValue(), LLONG_MIN);
        EXPECT_TRUE(back["flag"].isBool());
        EXPECT_TRUE(back["ratio"].isDouble());
        EXPECT_TRUE(back["created"].isDate());
        EXPECT_EQ(back["title"].str(), "温馨提示 😀");
        // Key order is kept.
        EXPECT_EQ(back.keys(), tree.keys());
    }
}

TEST(PropertyList, BinaryDatesKeepFractionsXMLWholeSeconds) {
    for (double t : {1425175200.25, 1000.5, 315504000.75, 978307200.0}) {
        Value v = Value::array({Value(Date{t})});
        EXPECT_DOUBLE_EQ(roundTrip(v, PropertyListFormat::Binary).at(0).date().seconds, t) << t;
        EXPECT_DOUBLE_EQ(roundTrip(v, PropertyListFormat::XML).at(0).date().seconds, std::floor(t)) << t;
    }
}

TEST(PropertyList, BinaryListsPastSixtyFourKibibytesReadBack) {
    // Offsets wider than two bytes.
    Value big = Value::dictionary({{"data", Value(Bytes(70000, 0x5A))}, {"after", Value("tail")}});
    EXPECT_EQ(roundTrip(big, PropertyListFormat::Binary), big);
}

TEST(PropertyList, KeyedArchiveUIDsReadAsDictionaries) {
    Value archive = Value::dictionary({{"$top", Value::dictionary({{"root", Value::dictionary({{"CF$UID", Value(1)}})}})},
                                      {"$objects", Value::array({Value("$null"), Value("x")})}});
    Value back = roundTrip(archive, PropertyListFormat::Binary);
    EXPECT_EQ(back["$top"]["root"]["CF$UID"].integerValue(), 1);
}

TEST(PropertyList, WhatCannotBeWrittenFails) {
    Value loop = Value::array();
    loop.push(Value::dictionary({{"back", loop}}));
    Value deep = Value::array();
    for (int i = 0; i < kPropertyListMaxDepth + 1; ++i) deep = Value::array({deep});
    const struct {
        const char* what;
        Value value;
        bool binary;  // written in binary all the same
    } cases[] = {
        {"nil", Value(), false},
        {"the null object", Value::array({Value("a"), Value::null()}), false},
        {"text that is not UTF-8", Value::dictionary({{"k", Value(std::string("\xFF\xFE"))}}), false},
        {"a key that is not UTF-8", Value::dictionary({{std::string("\xC0"), Value(1)}}), false},
        {"a date that is not a number", Value::dateSinceReferenceDate(std::nan("")), false},
        {"a container that holds itself", loop, false},
        {"nesting too deep", deep, false},
        {"a NUL in a string", Value(std::string("a\0b", 3)), true},
        {"a NUL in a key", Value::dictionary({{std::string("k\0", 2), Value(1)}}), true},
        {"a control character", Value::array({Value("bell \a")}), true},
        {"U+FFFF", Value("\xEF\xBF\xBF"), true},
        {"the year 10000", Value(Date{253402300800.0}), true},
        {"the year -1", Value(Date{-62167219201.0}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (auto format : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
            ErrorPtr error;
            bool written = PropertyListSerialization::dataWithPropertyList(c.value, format, &error).has_value();
            EXPECT_EQ(written, c.binary && format == PropertyListFormat::Binary);
            if (!written) {
                ASSERT_TRUE(error);
                EXPECT_EQ(error->code, kPropertyListWriteInvalidError);
            }
        }
        EXPECT_EQ(PropertyListSerialization::isValidPropertyList(c.value), c.binary);
    }
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(Value("x"), PropertyListFormat::OpenStep));
    loop.removeAll();  // break the cycle for the leak checker
}

TEST(PropertyList, WhatOtherAppsWriteReadsAndWritesBackUnchanged) {
    // Dates the platform's 32-bit date calls could not carry, and fractions
    // near a second's end, as seconds since 2001.
    const double dates[] = {-3187296000.0,   // 1900-01-01
                            -2145916800.0,   // 1933-01-01, just past the old limit
                            -2147483649.0,   // 1932-12-13 20:45:51
                            2177452799.0,    // 2069-12-31 23:59:59
                            3124137600.0,    // 2100-01-01
                            -63113904000.0,  // 0001-01-01
                            446868000.588395, 446868000.999999, -0.000001};
    Value tree = Value::dictionary({{"nul", Value(std::string("a\0b\0", 4))},
                                    {std::string("k\0ey", 4), Value("NUL in a key")},
                                    {"cr", Value("a\rb")},
                                    {"lf", Value("a\nb")},
                                    {"a\rb", Value(1)},
                                    {"a\nb", Value(2)},
                                    {"zero", Value(-0.0)},
                                    {"uid", Value::dictionary({{"CF$UID", Value(4294967296LL)}})},
                                    {"uid64", Value::dictionary({{"CF$UID", Value(18446744073709551615ULL)}})},
                                    {"dates", Value::array()}});
    for (double d : dates) tree["dates"].push(Value::dateSinceReferenceDate(d));

    Value binary = roundTrip(tree, PropertyListFormat::Binary);
    EXPECT_EQ(binary["nul"].str(), std::string("a\0b\0", 4));
    EXPECT_EQ(binary[std::string("k\0ey", 4)].str(), "NUL in a key");
    EXPECT_EQ(binary["uid"]["CF$UID"].integerValue(), 4294967296LL);
    EXPECT_EQ(binary["uid64"]["CF$UID"].unsignedValue(), 18446744073709551615ULL);
    ASSERT_EQ(binary["dates"].count(), std::size(dates));
    for (std::size_t i = 0; i < std::size(dates); ++i)
        EXPECT_EQ(binary["dates"].at(i).timeIntervalSinceReferenceDate(), dates[i]) << dates[i];

    tree.remove("nul");
    tree.remove(std::string("k\0ey", 4));
    Value xml = roundTrip(tree, PropertyListFormat::XML);
    EXPECT_EQ(xml["cr"].str(), "a\rb");
    EXPECT_EQ(xml["a\rb"].integerValue(), 1);
    EXPECT_EQ(xml["a\nb"].integerValue(), 2);
    EXPECT_TRUE(std::signbit(xml["zero"].doubleValue()));
    EXPECT_EQ(xml["uid64"]["CF$UID"].unsignedValue(), 18446744073709551615ULL);
    for (std::size_t i = 0; i < std::size(dates); ++i)
        EXPECT_EQ(xml["dates"].at(i).timeIntervalSinceReferenceDate(), std::floor(dates[i])) << dates[i];

    // As other writers lay them out: a 16-byte integer, UIDs of 8 and 16
    // bytes, a UTF-16 string with a NUL, a date of 2100.
    const struct {
        Bytes object;
        Value expected;
    } objects[] = {
        {{0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, Value(18446744073709551614ULL)},
        {{0x14, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, Value(-2)},
        {{0x87, 0, 0, 0, 1, 0, 0, 0, 0}, Value::dictionary({{"CF$UID", Value(4294967296LL)}})},
        {{0x8F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}, Value::dictionary({{"CF$UID", Value(7)}})},
        {{0x62, 0x4E, 0x2D, 0, 0}, Value(std::string("中\0", 4))},
        {{0x33, 0x41, 0xE7, 0x46, 0xD1, 0xD0, 0, 0, 0}, Value(Date{4102444800.0})},
    };
    for (const auto& o : objects) {
        Value v = PropertyListSerialization::propertyListWithData(bplist({o.object}));
        EXPECT_EQ(v, o.expected) << v.description();
    }
    for (const Bytes& beyond : {Bytes{0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0},
                                Bytes{0x88, 1, 0, 0, 0, 0, 0, 0, 0, 0}, Bytes{0x33, 0x7F, 0xF8, 0, 0, 0, 0, 0, 0}})
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(bplist({beyond})).isNil());
}

TEST(PropertyList, SharedContainersAreWrittenOnceAndReadBackShared) {
    // Sixteen levels, each holding the one below twice: 2^16 leaves.
    Value level = Value::array({Value("leaf")});
    for (int i = 0; i < 16; ++i) level = Value::array({level, level});
    auto bytes = PropertyListSerialization::dataWithPropertyList(level, PropertyListFormat::Binary);
    ASSERT_TRUE(bytes);
    EXPECT_LT(bytes->size(), 200u);
    // Read back as the list holds it: each level once, held twice.
    Value tree = PropertyListSerialization::propertyListWithData(*bytes);
    ASSERT_TRUE(tree.isArray());
    EXPECT_EQ(tree, level);
    int depth = 0;
    for (Value at = tree; at.count() == 2; at = at.at(0), ++depth) EXPECT_TRUE(at.at(0).isSame(at.at(1)));
    EXPECT_EQ(depth, 16);
    EXPECT_EQ(PropertyListSerialization::dataWithPropertyList(tree, PropertyListFormat::Binary), bytes);

    Value small = Value::array({Value("x"), Value(1)});
    Value twice = Value::dictionary({{"a", small}, {"b", small}});
    Value back = roundTrip(twice, PropertyListFormat::Binary);
    EXPECT_EQ(back, twice);
    EXPECT_TRUE(back["a"].isSame(back["b"])) << "one container held in both places";
    EXPECT_FALSE(back["a"].isSame(small));

    // An array of ten numbers put a hundred times into another.
    Value ten = Value::array();
    for (int i = 0; i < 10; ++i) ten.push(Value(i));
    Value hundred = Value::array();
    for (int i = 0; i < 100; ++i) hundred.push(ten);
    auto written = PropertyListSerialization::dataWithPropertyList(hundred, PropertyListFormat::Binary);
    ASSERT_TRUE(written);
    EXPECT_LT(written->size(), 200u);
    Value read = PropertyListSerialization::propertyListWithData(*written);
    ASSERT_EQ(read.count(), 100u);
    EXPECT_EQ(read, hundred);
    EXPECT_TRUE(read.at(0).isSame(read.at(99)));
}

TEST(PropertyList, SharedReferencesCostWhatTheirObjectsCostNotWhatTheyExpandTo) {
    // Sixty levels, each holding the next twice: 2^60 values when expanded,
    // read, compared, copied and written again from its 61 objects.
    std::vector<std::vector<std::uint32_t>> doubling;
    for (std::uint32_t i = 0; i < 60; ++i) doubling.push_back({i + 1, i + 1});
    doubling.push_back({});
    const Bytes bytes = arraysList(doubling);
    Value tree = PropertyListSerialization::propertyListWithData(bytes);
    ASSERT_TRUE(tree.isArray());
    Value again = PropertyListSerialization::propertyListWithData(bytes);
    EXPECT_EQ(tree, again);
    Value copy = tree.deepCopy();
    EXPECT_FALSE(copy.isSame(tree));
    EXPECT_TRUE(copy.at(0).isSame(copy.at(1)));
    EXPECT_EQ(copy, tree);
    auto written = PropertyListSerialization::dataWithPropertyList(copy, PropertyListFormat::Binary);
    ASSERT_TRUE(written);
    EXPECT_LT(written->size(), bytes.size());
    // A difference at the bottom is still found.
    Value changed = tree.deepCopy();
    Value bottom = changed;
    while (bottom.at(0).count() > 0) bottom = bottom.at(0);
    bottom.replaceAt(0, Value::array({Value(1)}));
    EXPECT_FALSE(changed == tree);

    // A chain first met near the top, then again at its bottom through
    // another: every path counts, so 200 chains of 300 nest 60,000 deep
    // and the list is one beyond the readers' bounds, not one to recurse into;
    // so are 257 chains of 255 in an array of their own, 65,537 deep.
    struct Chains {
        std::uint32_t count, length;
        bool inOwnArray;
    };
    for (const auto& [count, length, inOwnArray] : {Chains{200, 300, false}, Chains{257, 255, true}}) {
        std::vector<std::vector<std::uint32_t>> chains(1);
        const std::size_t holder = inOwnArray ? 1 : 0;
        if (inOwnArray) chains = {{1}, {}};
        for (std::uint32_t c = 0; c < count; ++c) {
            const std::uint32_t head = static_cast<std::uint32_t>(chains.size());
            chains[holder].push_back(head);
            for (std::uint32_t i = 0; i + 1 < length; ++i) chains.push_back({head + i + 1});
            chains.push_back(c == 0 ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{head - length});
        }
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(arraysList(chains), nullptr, &error).isNil());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, kPropertyListReadBeyondLimitsError);
    }
    // The writer refuses such a value too.
    Value chain = Value::array();
    for (int i = 0; i < 300; ++i) chain = Value::array({chain});
    Value deeper = chain;
    for (int i = 0; i < 300; ++i) deeper = Value::array({deeper});
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(Value::array({chain, deeper}), PropertyListFormat::Binary));
    EXPECT_TRUE(PropertyListSerialization::dataWithPropertyList(Value::array({chain, chain}), PropertyListFormat::Binary));
}

// A string or data held in many places (one storage, as a list read back
// gives it to each place) is looked at once when written, not once in each
// place: 65,536 places of 8 MiB would be half a terabyte to look at.
TEST(PropertyList, TextAndDataHeldInManyPlacesAreWrittenInTheTimeOfTheirSize) {
    constexpr std::size_t kSize = 8u << 20;
    const Value blob(Bytes(kSize, 0x5A)), text(std::string(kSize, 't'));
    std::vector<Value> items;
    for (int i = 0; i < (1 << 15); ++i) {
        items.push_back(blob);
        items.push_back(text);
    }
    const Value many = Value::array(std::move(items));
    EXPECT_TRUE(PropertyListSerialization::isValidPropertyList(many));
    auto written = PropertyListSerialization::dataWithPropertyList(many, PropertyListFormat::Binary);
    ASSERT_TRUE(written);
    EXPECT_LT(written->size(), 2 * kSize + (1u << 20));
    // Read back, each place holds the one string or data again: written again
    // the same way.
    Value back = PropertyListSerialization::propertyListWithData(*written);
    ASSERT_EQ(back.count(), many.count());
    EXPECT_EQ(back.at(0).data().size(), kSize);
    EXPECT_EQ(back.at(many.count() - 1).str().size(), kSize);
    EXPECT_EQ(PropertyListSerialization::dataWithPropertyList(back, PropertyListFormat::Binary), written);
}

// A key is not shared: each dictionary holds its own copy of a key object
// the list refers to from several of them, so a long key held by many
// dictionaries would make a few bytes of list gigabytes. The copies may add
// up to kPropertyListMaxSharedKeyBytes; a list beyond is beyond the readers'
// bounds, and the binary writer does not write one.
TEST(PropertyList, KeysHeldByManyDictionariesAreCopiedOnlyWithinTheirBound) {
    constexpr std::size_t kKey = 1u << 20;
    constexpr std::size_t kMostCopies = kPropertyListMaxSharedKeyBytes / kKey;
    // An array of `dictionaries` dictionaries, each {<the long key>: 5}; with
    // `twice`, every other one holds a second key object of the same text.
    auto shared = [](std::size_t dictionaries, bool twice = false) {
        std::vector<Bytes> objects;
        Bytes top = {0xAF, 0x12};
        putNumber(top, dictionaries, 4);
        for (std::size_t i = 0; i < dictionaries; ++i) putNumber(top, i + 1, 4);
        objects.push_back(top);
        const std::size_t number = dictionaries + 1, key = dictionaries + 2;
        for (std::size_t i = 0; i < dictionaries; ++i) {
            Bytes dict = {0xD1};
            putNumber(dict, key + (twice ? i % 2 : 0), 4);
            putNumber(dict, number, 4);
            objects.push_back(dict);
        }
        objects.push_back({0x10, 5});
        Bytes text = {0x5F, 0x12};
        putNumber(text, kKey, 4);
        text.insert(text.end(), kKey, 'k');
        objects.push_back(text);
        objects.push_back(text);
        return bplist(objects, 4);
    };
    Value read = PropertyListSerialization::propertyListWithData(shared(kMostCopies + 1));
    ASSERT_EQ(read.count(), kMostCopies + 1);
    EXPECT_EQ(read.at(kMostCopies)[std::string(kKey, 'k')], Value(5));
    ErrorPtr error;
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(shared(kMostCopies + 2), nullptr, &error).isNil());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, kPropertyListReadBeyondLimitsError);
    // Equal keys count as one, as the writer writes them.
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(shared(kMostCopies + 2, true)).isNil());
    // 4,096 dictionaries would hold 4 GiB of copies.
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(shared(4096)).isNil());

    // The writer counts the copies the reader would make.
    read.push(Value::dictionary({{std::string(kKey, 'k'), Value(6)}}));
    EXPECT_FALSE(PropertyListSerialization::isValidPropertyList(read));
    ErrorPtr writeError;
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(read, PropertyListFormat::Binary, &writeError));
    ASSERT_TRUE(writeError);
    EXPECT_EQ(writeError->code, kPropertyListWriteInvalidError);
    read.removeAt(read.count() - 1);
    auto written = PropertyListSerialization::dataWithPropertyList(read, PropertyListFormat::Binary);
    ASSERT_TRUE(written);
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(*written).count(), kMostCopies + 1);
}

TEST(PropertyList, TheOldTextForm) {
    struct Case {
        std::string text;
        Value expected;  // nil: refused
    };
    const std::vector<Case> cases = {
        {"{a = b; c = (1, 2);}", Value::dictionary({{"a", Value("b")}, {"c", Value::array({Value("1"), Value("2")})}})},
        {"\xEF\xBB\xBF // a comment\n{ \"名 称\" = '温馨 提示'; /* note */ empty = {}; list = (); }",
         Value::dictionary({{"名 称", Value("温馨 提示")}, {"empty", Value::dictionary()}, {"list", Value::array()}})},
        {"(a, \"b\\\"c\", <0fBD 7a>, path/to.file:$_-, )",
         Value::array({Value("a"), Value("b\"c"), Value(Bytes{0x0F, 0xBD, 0x7A}), Value("path/to.file:$_-")})},
        {"\"\\t\\n\\r\\101\\0\\U4e2d\\Ud83d\\Ude00\\q\"", Value(std::string("\t\n\rA\0中😀q", 13))},
        {"<>", Value(Bytes{})},
        {"{k = 1; k = 2;}", Value::dictionary({{"k", Value("2")}})},
        {"bare", Value("bare")},
        // Damage is refused.
        {"{a = b}", {}},
        {"{a b;}", {}},
        {"{(a) = b;}", {}},
        {"(a b)", {}},
        {"(a,,b)", {}},
        {"<0fb>", {}},
        {"<0fbx>", {}},
        {"\"open", {}},
        {"\"\\Ud83d\"", {}},
        {"\"\\200\"", {}},
        {"/* open", {}},
        {"a b", {}},
        {"{a = b;} }", {}},
        {"   ", {}},
        {"hello world", {}},
    };
    for (const auto& c : cases) {
        ErrorPtr error;
        PropertyListFormat format = PropertyListFormat::Binary;
        Value v = PropertyListSerialization::propertyListWithData(Bytes(c.text.begin(), c.text.end()), &format, &error);
        EXPECT_EQ(v, c.expected) << c.text << " -> " << v.description();
        if (c.expected.isNil()) {
            ASSERT_TRUE(error) << c.text;
            EXPECT_EQ(error->code, kPropertyListReadCorruptError);
        } else {
            EXPECT_EQ(format, PropertyListFormat::OpenStep) << c.text;
        }
    }
    // Deep nesting stops at the limit, without exhausting the stack.
    std::string deep(100000, '(');
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(Bytes(deep.begin(), deep.end())).isNil());
    std::string fine = std::string(512, '(') + std::string(512, ')');
    EXPECT_FALSE(PropertyListSerialization::propertyListWithData(Bytes(fine.begin(), fine.end())).isNil());
}

// A binary list may claim an object for every byte of its offset table
// (all of them one object): reading it takes little more than the list's
// own size, not tens of bytes for each object claimed.
// Four bytes an object at most; the thread sanitizer shadows every byte
// touched with four more.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kBytesPerClaimedObject = 20;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr std::size_t kBytesPerClaimedObject = 20;
#else
constexpr std::size_t kBytesPerClaimedObject = 4;
#endif
#else
constexpr std::size_t kBytesPerClaimedObject = 4;
#endif

TEST(PropertyList, ObjectsABinaryListClaimsCostLittleMemory) {
    constexpr std::size_t kClaimed = 16u << 20;
    Bytes list = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0x09};  // one object: true
    list.insert(list.end(), kClaimed, 8);                          // every offset names it
    Bytes trailer(32, 0);
    trailer[6] = 1;  // offset size
    trailer[7] = 1;  // reference size
    for (int i = 0; i < 8; ++i) trailer[8 + i] = static_cast<std::uint8_t>(kClaimed >> (8 * (7 - i)));
    trailer[31] = 9;  // the offset table
    list.insert(list.end(), trailer.begin(), trailer.end());

    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long before = statusKB("VmRSS:");
    Value v = PropertyListSerialization::propertyListWithData(list);
    const long grown = statusKB("VmHWM:") - before;
    EXPECT_EQ(v, Value(true));
    EXPECT_LT(grown, static_cast<long>(kBytesPerClaimedObject * kClaimed / 1024)) << "kB";
}

TEST(PropertyList, BadBytesGiveNilNeverACrash) {
    auto good = PropertyListSerialization::dataWithPropertyList(sampleTree(), PropertyListFormat::Binary);
    ASSERT_TRUE(good);
    std::vector<Bytes> inputs = {Bytes{}, Bytes{'h', 'e', 'l', 'l', 'o'}, Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'}};
    for (std::size_t cut = 1; cut < good->size(); cut += 5) inputs.emplace_back(good->begin(), good->begin() + cut);
    LogCapture log;
    for (const Bytes& in : inputs) {
        ErrorPtr error;
        Value v = PropertyListSerialization::propertyListWithData(in, nullptr, &error);
        if (v.isNil()) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code, kPropertyListReadCorruptError);
        }
    }
    // Flipped bytes anywhere: whatever comes back, nothing crashes.
    for (std::size_t i = 8; i < good->size(); ++i) {
        Bytes in = *good;
        in[i] ^= 0xFF;
        (void)PropertyListSerialization::propertyListWithData(in);
    }
    // Damage of the structure, and shared references that expand without end.
    const std::vector<Bytes> refused = {
        bplist({{0xA1, 0}}),                                   // an array that holds itself
        bplist({{0xD1, 1, 2}, {0x10, 5}, {0x51, 'v'}}),        // an integer as dictionary key
        bplist({{0x51, 0x80}}),                                // an ASCII string with a byte above 127
        bplist({{0xA1, 5}}),                                   // a reference past the end
        bplist({{0x5F, 0x10, 200, 'a'}}),                      // a length past the end
    };
    for (const Bytes& in : refused) {
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(in, nullptr, &error).isNil());
        EXPECT_TRUE(error);
    }
    // 40 arrays, each holding the next one twice: 2^40 nodes when expanded,
    // 41 objects as read.
    std::vector<Bytes> bomb;
    for (std::uint8_t i = 0; i < 40; ++i) bomb.push_back({0xA2, static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 1)});
    bomb.push_back({0x09});
    Value bombed = PropertyListSerialization::propertyListWithData(bplist(bomb));
    ASSERT_TRUE(bombed.isArray());
    EXPECT_TRUE(bombed.at(0).isSame(bombed.at(1)));
    // The checks pass well-formed hand-made lists: a 4-byte real, a lone
    // surrogate (read as U+FFFD), shared leaves.
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(bplist({{0x22, 0x3F, 0xC0, 0, 0}})), Value(1.5));
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(bplist({{0x61, 0xD8, 0x3D}})), Value("\xEF\xBF\xBD"));
    Value shared = PropertyListSerialization::propertyListWithData(bplist({{0xA2, 1, 1}, {0x51, 'x'}}));
    EXPECT_EQ(shared, Value::array({Value("x"), Value("x")}));

    // Without an error place the failure is logged.
    log.clear();
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(Bytes{'{', 'x'}).isNil());
    EXPECT_TRUE(log.contains("PropertyList"));
}

TEST(PropertyList, XMLAsOtherWritersWriteIt) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC "
                             "\"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";
    struct Case {
        std::string xml;
        Value expected;  // nil: refused
    };
    const std::vector<Case> cases = {
        {head + "<plist version=\"1.0\"><string>a &lt;&amp;&gt; &#20013;&#x1F600;</string></plist>", Value("a <&> 中😀")},
        {"<plist><string><![CDATA[<b>&amp;</b>]]><!-- note --> x</string></plist>", Value("<b>&amp;</b> x")},
        {"\xEF\xBB\xBF<array><integer>\n\t-7 </integer><integer>18446744073709551615</integer><true/><false></false>"
         "<real>1.5</real><string/><array/><dict/></array>",
         Value::array({Value(-7), Value(18446744073709551615ULL), Value(true), Value(false), Value(1.5), Value(""),
                       Value::array(), Value::dictionary()})},
        {"<plist><dict><key>a</key><integer>1</integer><!-- c --><key>b</key><date>2015-03-01T02:00:00Z</date>"
         "<key>a</key><data> AAEC\n /w== </data></dict></plist>",
         Value::dictionary({{"a", Value(Bytes{0, 1, 2, 0xFF})}, {"b", Value(Date{1425175200})}})},
        {"<plist><date>1969-12-31T23:59:59.5Z</date></plist>", Value(Date{-0.5})},
        // Damage of every kind is refused.
        {"", {}},
        {"<plist></plist>", {}},
        {"<plist><string>x</string>", {}},
        {"<plist><string>x</plist>", {}},
        {"<plist><string>x</string></plist> trailing", {}},
        {"<plist><string>x</string><string>y</string></plist>", {}},
        {"<plist><dict><key>a</key></dict></plist>", {}},
        {"<plist><dict><string>a</string></dict></plist>", {}},
        {"<plist><array></dict></plist>", {}},
        {"<plist><integer>12x</integer></plist>", {}},
        {"<plist><integer>18446744073709551616</integer></plist>", {}},
        {"<plist><date>yesterday</date></plist>", {}},
        {"<plist><data>%%%%</data></plist>", {}},
        {"<plist><string>&#0;</string></plist>", {}},
        {"<plist><string><b>x</b></string></plist>", {}},
        {"<plist><blob/></plist>", {}},
        // Entities a DOCTYPE declares are not expanded.
        {"<!DOCTYPE plist [<!ENTITY big \"xxxxxxxx\">]><plist><string>&big;</string></plist>", {}},
        // Integers in hexadecimal, right after the element's start and unsigned.
        {"<plist><array><integer>0x10</integer><integer>0XfF </integer><integer>0xFFFFFFFFFFFFFFFF</integer>"
         "<integer>0x8000000000000000</integer></array></plist>",
         Value::array({Value(16), Value(255), Value(18446744073709551615ULL), Value(9223372036854775808ULL)})},
        {"<plist><integer>-0x10</integer></plist>", {}},
        {"<plist><integer>+0x10</integer></plist>", {}},
        {"<plist><integer> 0x10</integer></plist>", {}},
        {"<plist><integer>0x 10</integer></plist>", {}},
        {"<plist><integer>0x\t10</integer></plist>", {}},
        {"<plist><integer>0x</integer></plist>", {}},
        {"<plist><integer>0x10000000000000000</integer></plist>", {}},
        {"<plist><integer>0x1g</integer></plist>", {}},
        // Dates without their time, or its last parts.
        {"<plist><array><date>2015-03-01Z</date><date>2015-03-01T02Z</date><date>2015-03-01T02:30Z</date>"
         "<date>2015-03-01T02:30:15Z</date></array></plist>",
         Value::array({Value(Date{1425168000}), Value(Date{1425175200}), Value(Date{1425177000}),
                       Value(Date{1425177015})})},
        {"<plist><date>2015-03-01</date></plist>", {}},
        {"<plist><date>2015-03Z</date></plist>", {}},
        {"<plist><date>2015-03-01T2Z</date></plist>", {}},
        {"<plist><date>2015-03-01TZ</date></plist>", {}},
        // Reals beyond a double's range: zero or infinity, with their sign.
        {"<plist><array><real>1e-400</real><real>1e400</real><real>-1e400</real><real>0.000001e-320</real>"
         "<real>100000e305</real><real>1e-320</real></array></plist>",
         Value::array({Value(0.0), Value(HUGE_VAL), Value(-HUGE_VAL), Value(0.0), Value(HUGE_VAL), Value(1e-320)})},
        {"<plist><real>1e-400x</real></plist>", {}},
    };
    for (const auto& c : cases) {
        ErrorPtr error;
        Value v = PropertyListSerialization::propertyListWithData(Bytes(c.xml.begin(), c.xml.end()), nullptr, &error);
        EXPECT_EQ(v, c.expected) << c.xml << " -> " << v.description();
        if (c.expected.isNil()) {
            ASSERT_TRUE(error) << c.xml;
            EXPECT_EQ(error->code, kPropertyListReadCorruptError);
        }
    }
    Value negative = PropertyListSerialization::propertyListWithData(bytesFromString("<real>-1e-400</real>"));
    ASSERT_TRUE(negative.isDouble());
    EXPECT_EQ(negative.doubleValue(), 0.0);
    EXPECT_TRUE(std::signbit(negative.doubleValue()));
}

TEST(PropertyList, XMLInUTF16WithAByteOrderMark) {
    // In either order; not without the mark, nor with a lone surrogate or
    // an odd byte.
    const std::u16string xml = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<plist version=\"1.0\"><dict>"
                               u"<key>名称</key><string>温馨 😀</string></dict></plist>\n";
    auto utf16 = [&xml](bool little, bool mark, char16_t extra = 0) {
        std::u16string units = xml;
        if (extra) units.insert(units.find(u"</string>"), 1, extra);
        return utf16Bytes(std::move(units), little, mark);
    };
    const Value expected = Value::dictionary({{"名称", Value("温馨 😀")}});
    for (bool little : {true, false}) {
        PropertyListFormat format{};
        EXPECT_EQ(PropertyListSerialization::propertyListWithData(utf16(little, true), &format), expected);
        EXPECT_EQ(format, PropertyListFormat::XML);
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(utf16(little, false)).isNil());
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(utf16(little, true, 0xD800)).isNil());
        Bytes odd = utf16(little, true);
        odd.pop_back();
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(odd).isNil());
    }
}

TEST(PropertyList, XMLInTheEncodingItsDeclarationNames) {
    auto declared = [](const std::string& declaration, const std::string& body) {
        std::string xml = declaration + "\n<plist version=\"1.0\"><dict><key>other</key>" + body + "</dict></plist>\n";
        return Bytes(xml.begin(), xml.end());
    };
    auto decl = [](const std::string& encoding) { return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>"; };
    // Text before the declaration (appended: GCC 12 warns wrongly of
    // overlapping copies in "literal" + string).
    auto after = [](const char* before, const std::string& declaration) {
        std::string text = before;
        text += declaration;
        return text;
    };
    const std::string latin1 = "<string>caf\xE9</string>";
    const Value cafe = Value::dictionary({{"other", Value("café")}});
    struct Case {
        const char* name;
        Bytes xml;
        Value expected;  // nil: refused
        long code = kPropertyListReadCorruptError;
    };
    const std::vector<Case> cases = {
        // Names the system's converters know, in any case and by their aliases.
        {"ISO-8859-1", declared(decl("ISO-8859-1"), latin1), cafe},
        {"latin1", declared(decl("latin1"), latin1), cafe},
        {"iso_8859-1", declared(decl("iso_8859-1"), latin1), cafe},
        {"quotes and blanks", declared("<?xml version='1.0'  encoding = 'ISO-8859-1' standalone=\"yes\" ?>", latin1), cafe},
        {"a key, a reference",
         declared(decl("ISO-8859-1"), "<string>&#x4E2D;</string><key>\xF6</key><string>\xDF</string>"),
         Value::dictionary({{"other", Value("中")}, {"ö", Value("ß")}})},
        {"windows-1252", declared(decl("windows-1252"), "<string>\x80</string>"),
         Value::dictionary({{"other", Value("€")}})},
        {"GBK", declared(decl("GBK"), "<string>\xB5\xB3\xBD\xA8</string>"), Value::dictionary({{"other", Value("党建")}})},
        {"GB2312", declared(decl("GB2312"), "<string>\xB5\xB3\xBD\xA8</string>"),
         Value::dictionary({{"other", Value("党建")}})},
        {"utf-8", declared(decl("utf-8"), "<string>café</string>"), cafe},
        {"UTF8", declared(decl("UTF8"), "<string>café</string>"), cafe},
        // Bytes the named encoding does not define are no property list.
        {"not ASCII", declared(decl("US-ASCII"), latin1), {}},
        {"not GBK", declared(decl("GBK"), "<string>\xB5<</string>"), {}},
        {"not UTF-8", declared(decl("UTF-8"), latin1), {}},
        {"a NUL", declared(decl("latin1"), std::string("<string>a\0b</string>", 20)), {}},
        // A name the converters do not know: a list this reader cannot take.
        {"unknown", declared(decl("x-unknown-encoding"), latin1), {}, kPropertyListReadBeyondLimitsError},
        {"empty name", declared(decl(""), "<string>x</string>"), {}, kPropertyListReadBeyondLimitsError},
        {"a converter's suffix", declared(decl("US-ASCII//IGNORE"), latin1), {}, kPropertyListReadBeyondLimitsError},
        // A byte-order mark names the encoding; a declaration after it is not
        // asked.
        {"UTF-8 mark", declared(after("\xEF\xBB\xBF", decl("ISO-8859-1")), "<string>café</string>"), cafe},
        {"UTF-8 mark, Latin-1 bytes", declared(after("\xEF\xBB\xBF", decl("ISO-8859-1")), latin1), {}},
        {"UTF-8 mark, unknown name", declared(after("\xEF\xBB\xBF", decl("x-unknown-encoding")), "<string>café</string>"), cafe},
        // 8-bit text cannot be in the UTF-16 it names: it reads as it stands.
        {"UTF-16 in 8-bit text", declared(decl("UTF-16"), "<string>café</string>"), cafe},
        {"UTF-16LE in 8-bit text", declared(decl("UTF-16LE"), "<string>café</string>"), cafe},
        // Only a declaration at the very start is one.
        {"declaration after a blank", declared(after(" ", decl("ISO-8859-1")), latin1), {}},
        {"a processing instruction", declared("<?xml-stylesheet encoding=\"ISO-8859-1\"?>", latin1), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ErrorPtr error;
        PropertyListFormat format{};
        Value v = PropertyListSerialization::propertyListWithData(c.xml, &format, &error);
        EXPECT_EQ(v, c.expected) << v.description();
        if (c.expected.isNil()) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code, c.code) << error->localizedDescription();
        } else {
            EXPECT_EQ(format, PropertyListFormat::XML);
        }
    }

    // UTF-16 with its mark reads as UTF-16 whatever the declaration says;
    // without the mark it is no property list, whatever it names.
    auto utf16 = [](const std::string& declaration, bool mark, bool little) {
        return utf16Bytes(toUTF16(declaration + "<plist><string>café</string></plist>"), little, mark);
    };
    for (bool little : {true, false}) {
        EXPECT_EQ(PropertyListSerialization::propertyListWithData(utf16(decl("ISO-8859-1"), true, little)), Value("café"));
        EXPECT_EQ(PropertyListSerialization::propertyListWithData(utf16(decl("x-unknown"), true, little)), Value("café"));
        for (const char* name : {"UTF-16", "UTF-16LE", "UTF-16BE"}) {
            ErrorPtr error;
            EXPECT_TRUE(PropertyListSerialization::propertyListWithData(utf16(decl(name), false, little), nullptr, &error)
                            .isNil())
                << name;
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code, kPropertyListReadCorruptError);
        }
    }
}

TEST(PropertyList, XMLLineEndsReadAsXMLReadsThem) {
    // A carriage return alone or before a line feed is one line feed, in
    // keys, strings and CDATA; "&#13;" stays a carriage return.
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<plist version=\"1.0\">\r\n<dict>\r\n"
        "\t<key>a\r\n</key>\r\n\t<string>x\ry\r\nz\n\r</string>\r\n"
        "\t<key>a\n</key>\r\n\t<string>later</string>\r\n"
        "\t<key>cr&#13;</key>\r\n\t<string>&#13;&#10;<![CDATA[\r\n]]>\r</string>\r\n</dict>\r\n</plist>\r\n";
    Value v = PropertyListSerialization::propertyListWithData(Bytes(xml.begin(), xml.end()));
    EXPECT_EQ(v, Value::dictionary({{"a\n", Value("later")}, {"cr\r", Value("\r\n\n\n")}})) << v.description();
    // What XML writes of a carriage return reads back as one.
    Value cr = Value::dictionary({{"k\r\n", Value("a\rb\r\n")}, {"k\n", Value("c")}});
    EXPECT_EQ(roundTrip(cr, PropertyListFormat::XML), cr);
}

TEST(PropertyList, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    auto nested = [](int depth, const std::string& open, const std::string& close) {
        std::string s = "<plist>";
        for (int i = 0; i < depth; ++i) s += open;
        for (int i = 0; i < depth; ++i) s += close;
        if (!close.empty()) s += "</plist>";
        return Bytes(s.begin(), s.end());
    };
    // What a damaged defaults file held: 200000 <array> that never close.
    // Nesting past the readers' bounds is told apart from damage: such a
    // list need not be damaged, this program just cannot read it.
    for (const Bytes& damaged : {nested(200000, "<array>", ""), nested(200000, "<array>", "</array>"),
                                 nested(200000, "<dict><key>k</key>", "</dict>"), nested(513, "<array>", "</array>")}) {
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(damaged, nullptr, &error).isNil());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, kPropertyListReadBeyondLimitsError);
    }
    std::string text(513, '(');
    text += std::string(513, ')');
    auto chain = [](std::uint32_t arrays) {
        std::vector<std::vector<std::uint32_t>> list;
        for (std::uint32_t i = 0; i + 1 < arrays; ++i) list.push_back({i + 1});
        list.push_back({});
        return arraysList(list);
    };
    for (const Bytes& deep : {Bytes(text.begin(), text.end()), chain(513)}) {
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(deep, nullptr, &error).isNil());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, kPropertyListReadBeyondLimitsError);
    }
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(chain(512)).isArray());
    Value v = PropertyListSerialization::propertyListWithData(nested(512, "<array>", "</array>"));
    // As deep in binary, and no deeper.
    auto binary = PropertyListSerialization::dataWithPropertyList(v, PropertyListFormat::Binary);
    ASSERT_TRUE(binary);
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(*binary), v);
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(Value::array({v}), PropertyListFormat::Binary));
    int depth = 0;
    for (; v.isArray(); v = v.at(0)) ++depth;
    EXPECT_EQ(depth, 512);
}

namespace {

// A binary list's array object with 2-byte references.
Bytes arrayOf(std::initializer_list<unsigned> refs) {
    Bytes array = {static_cast<std::uint8_t>(0xA0 | refs.size())};
    for (unsigned r : refs) putNumber(array, r, 2);
    return array;
}

// `arrays` arrays inside each other, the innermost holding UID 7.
Bytes uidBelowArrays(unsigned arrays) {
    std::vector<Bytes> objects;
    for (unsigned i = 0; i < arrays; ++i) objects.push_back(arrayOf({i + 1}));
    objects.push_back({0x80, 7});
    return bplist(objects, 2);
}

Value uid7() { return Value::dictionary({{kPropertyListUIDKey, Value(7)}}); }

}  // namespace

// A UID reads as a dictionary, so it is one level of nesting, to the binary
// reader and writer as to XML: a list one form takes, the others take too.
TEST(PropertyList, AUIDIsALevelOfNestingInEveryForm) {
    const Bytes beyond = uidBelowArrays(512);
    ASSERT_EQ(beyond.size(), 2604u);
    ErrorPtr error;
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(beyond, nullptr, &error).isNil());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, kPropertyListReadBeyondLimitsError);

    // One array fewer is as deep as a list goes: read, and written back in both forms.
    Value deepest = PropertyListSerialization::propertyListWithData(uidBelowArrays(511));
    int arrays = 0;
    Value at = deepest;
    for (; at.isArray(); at = at.at(0)) ++arrays;
    EXPECT_EQ(arrays, 511);
    EXPECT_EQ(at, uid7());
    EXPECT_EQ(roundTrip(deepest, PropertyListFormat::Binary), deepest);
    EXPECT_EQ(roundTrip(deepest, PropertyListFormat::XML), deepest);
    Value deeper = Value::array({deepest});
    for (auto format : {PropertyListFormat::Binary, PropertyListFormat::XML}) {
        ErrorPtr writeError;
        EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(deeper, format, &writeError));
        ASSERT_TRUE(writeError);
        EXPECT_EQ(writeError->code, kPropertyListWriteInvalidError);
    }
    EXPECT_FALSE(PropertyListSerialization::isValidPropertyList(deeper));

    // A UID met first near the top and again at the bottom of a chain nests
    // as deep as its deeper place: the root, `chain` arrays, then the UID.
    for (unsigned chain : {510u, 511u}) {
        SCOPED_TRACE(chain);
        std::vector<Bytes> objects = {arrayOf({1, 2}), {0x80, 7}};
        for (unsigned i = 0; i + 1 < chain; ++i) objects.push_back(arrayOf({i + 3}));
        objects.push_back(arrayOf({1}));
        Value read = PropertyListSerialization::propertyListWithData(bplist(objects, 2));
        EXPECT_EQ(read.isArray(), chain == 510);
    }
    // So in the writer: an array holding a UID, held near the top and again
    // `wraps` arrays further down.
    for (int wraps : {509, 510}) {
        SCOPED_TRACE(wraps);
        Value holder = Value::array({uid7()});
        Value chain = holder;
        for (int i = 0; i < wraps; ++i) chain = Value::array({chain});
        Value both = Value::array({holder, chain});
        auto bytes = PropertyListSerialization::dataWithPropertyList(both, PropertyListFormat::Binary);
        EXPECT_EQ(bytes.has_value(), wraps == 509);
        EXPECT_EQ(PropertyListSerialization::isValidPropertyList(both), wraps == 509);
        if (bytes) {
            EXPECT_EQ(PropertyListSerialization::propertyListWithData(*bytes), both);
        }
    }
}

// XML holds no shared containers: a few bytes of binary list that hold one
// container in many places expand without end. The writer stops once its
// text passes kPropertyListMaxXMLBytes and refuses the list.
TEST(PropertyList, XMLTextStopsAtItsBound) {
    // Sixty-four levels, each holding the next twice: 2^64 empty arrays.
    std::vector<std::vector<std::uint32_t>> doubling;
    for (std::uint32_t i = 0; i < 64; ++i) doubling.push_back({i + 1, i + 1});
    doubling.push_back({});
    Value tree = PropertyListSerialization::propertyListWithData(arraysList(doubling));
    ASSERT_TRUE(tree.isArray());
    ErrorPtr error;
    EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(tree, PropertyListFormat::XML, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, kPropertyListWriteInvalidError);
    EXPECT_NE(error->localizedDescription().find("XML"), std::string::npos) << error->localizedDescription();
    EXPECT_TRUE(PropertyListSerialization::dataWithPropertyList(tree, PropertyListFormat::Binary));

    // Text of exactly the bound is written; one byte more is not. Data of
    // 51 bytes is one line of base64, so the text grows by a line per 51
    // bytes; a string fills up the rest.
    auto xmlSize = [](std::size_t lines, std::size_t letters) -> std::size_t {
        Value v = Value::array({Value(Bytes(51 * lines, 0x5A)), Value(std::string(letters, 'a'))});
        auto text = PropertyListSerialization::dataWithPropertyList(v, PropertyListFormat::XML);
        return text ? text->size() : 0;
    };
    const std::size_t bare = xmlSize(0, 0), line = xmlSize(1, 0) - bare;
    const std::size_t lines = (kPropertyListMaxXMLBytes - bare) / line;
    const std::size_t letters = kPropertyListMaxXMLBytes - bare - lines * line;
    EXPECT_EQ(xmlSize(lines, letters), kPropertyListMaxXMLBytes);
    EXPECT_EQ(xmlSize(lines, letters + 1), 0u);
}

TEST(PropertyList, ManyKeysReadInLinearTime) {
    // Quadratic building took minutes over this many keys; the test's time
    // limit catches that.
    constexpr int kKeys = 200000;
    std::string xml = "<plist><dict>";
    std::vector<std::pair<std::string, Value>> entries;
    for (int i = 0; i < kKeys; ++i) {
        std::string key = "key" + std::to_string(i);
        xml += "<key>" + key + "</key><integer>" + std::to_string(i) + "</integer>";
        entries.emplace_back(key, Value(i));
    }
    xml += "<key>key7</key><string>last wins</string></dict></plist>";
    Value fromXML = PropertyListSerialization::propertyListWithData(Bytes(xml.begin(), xml.end()));
    ASSERT_EQ(fromXML.count(), static_cast<std::size_t>(kKeys));
    EXPECT_EQ(fromXML["key199999"].integerValue(), 199999);
    EXPECT_EQ(fromXML["key7"].str(), "last wins");

    // Fewer in binary, whose writer was slow with many keys.
    entries.resize(kKeys / 3);
    auto binary = PropertyListSerialization::dataWithPropertyList(Value::dictionaryWithUniqueEntries(entries),
                                                                  PropertyListFormat::Binary);
    ASSERT_TRUE(binary);
    Value fromBinary = PropertyListSerialization::propertyListWithData(*binary);
    ASSERT_EQ(fromBinary.count(), entries.size());
    EXPECT_EQ(fromBinary[entries.back().first], entries.back().second);
}

// A key a binary dictionary holds twice (one key object, or two of the same
// text, ASCII or UTF-16) is one entry, in the place it first had, with the
// value it had last.
TEST(PropertyList, ABinaryDictionarysRepeatedKeyKeepsItsFirstPlaceAndLastValue) {
    // {a: 1, b: 2, a: 3, a (UTF-16): 4}
    const Bytes small = bplist({{0xD4, 1, 2, 1, 3, 4, 5, 6, 7}, {0x51, 'a'}, {0x51, 'b'}, {0x61, 0, 'a'},
                                {0x10, 1}, {0x10, 2}, {0x10, 3}, {0x10, 4}});
    const Value read = PropertyListSerialization::propertyListWithData(small);
    ASSERT_EQ(read.count(), 2u);
    EXPECT_EQ(read.entries()[0], (std::pair<std::string, Value>{"a", Value(4)}));
    EXPECT_EQ(read.entries()[1], (std::pair<std::string, Value>{"b", Value(2)}));

    // 3,000 keys, then each again with another value: 3,000 entries.
    constexpr std::uint32_t kKeys = 3000;
    std::vector<Bytes> objects(1);
    Bytes& dict = objects[0];
    dict = {0xDF, 0x11};
    putNumber(dict, 2 * kKeys, 2);
    for (std::uint32_t i = 0; i < 2 * kKeys; ++i) putNumber(dict, 1 + i % kKeys, 2);
    for (std::uint32_t i = 0; i < 2 * kKeys; ++i) putNumber(dict, 1 + kKeys + i, 2);
    for (std::uint32_t i = 0; i < kKeys; ++i) objects.push_back(asciiObject("k" + std::to_string(i)));
    for (std::uint32_t i = 0; i < 2 * kKeys; ++i) objects.push_back({0x11, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
    const Value many = PropertyListSerialization::propertyListWithData(bplist(objects, 2));
    ASSERT_EQ(many.count(), kKeys);
    for (std::uint32_t i : {0u, 1234u, kKeys - 1}) {
        EXPECT_EQ(many.entries()[i].first, "k" + std::to_string(i));
        EXPECT_EQ(many.entries()[i].second, Value(static_cast<int>(kKeys + i)));
    }
}

// Objects whose offsets all name one body are one object: its bytes are read
// once and every place holds the one value. Expanded, each list below is 64
// million characters, bytes or values (16 million for the arrays).
TEST(PropertyList, ObjectsThatShareTheirBytesAreReadOnce) {
    using hostile::Body;
    for (Body kind : {Body::ASCII, Body::UTF16, Body::Data, Body::Array}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const std::size_t places = kind == Body::Array ? 4000 : 8000, size = places;
        const Bytes list = hostile::sharedBody(kind, places, size);
        Value read;
        const auto used = allocationPeak([&] { read = PropertyListSerialization::propertyListWithData(list); });
        ASSERT_EQ(read.count(), places);
        const Value first = read.at(0), last = read.at(places - 1);
        switch (kind) {
            case Body::ASCII: EXPECT_EQ(first.str(), std::string(size, 's')); break;
            case Body::UTF16: EXPECT_EQ(first.str().size(), 3 * size); break;
            case Body::Data: EXPECT_EQ(first.data(), Bytes(size, 0xD5)); break;
            case Body::Array: EXPECT_EQ(first.at(size - 1), Value("word")); break;
        }
        // One storage in every place.
        auto storage = [](const Value& v) -> const void* {
            if (v.isString()) return &v.str();
            if (v.isData()) return &v.data();
            return &v.items();
        };
        EXPECT_EQ(storage(first), storage(last));
        EXPECT_LT(used.peak, 16u << 20);
    }
}

// A UID is one dictionary in every place that refers to it: a list of a
// million references to one costs what the same list with one string costs
// (and the reader's own small cache of UIDs' dictionaries).
TEST(PropertyList, AUIDReferredToFromManyPlacesIsOneDictionary) {
    constexpr std::size_t kPlaces = 1u << 20;
    const Bytes toUID = hostile::referencesToOne(kPlaces, true), toString = hostile::referencesToOne(kPlaces, false);
    Value strings, uids;
    const std::size_t forStrings =
        allocationPeak([&] { strings = PropertyListSerialization::propertyListWithData(toString); }).peak;
    const std::size_t forUIDs = allocationPeak([&] { uids = PropertyListSerialization::propertyListWithData(toUID); }).peak;
    ASSERT_EQ(strings.count(), kPlaces);
    ASSERT_EQ(uids.count(), kPlaces);
    EXPECT_EQ(uids.at(0), uid7());
    EXPECT_TRUE(uids.at(0).isSame(uids.at(kPlaces - 1)));
    EXPECT_LT(forUIDs, forStrings + (1u << 20)) << "bytes, against " << forStrings << " for one string";
    // Written again as one UID.
    auto written = PropertyListSerialization::dataWithPropertyList(uids, PropertyListFormat::Binary);
    ASSERT_TRUE(written);
    EXPECT_LT(written->size(), 4 * kPlaces);
}

// An empty container is a level of nesting however it is written: at the
// deepest level, "<array/>" is refused as "<array></array>" is.
TEST(PropertyList, AnEmptyContainerIsALevelHoweverItIsWritten) {
    auto nested = [](int outer, const std::string& innermost) {
        std::string s = "<plist>";
        for (int i = 0; i < outer; ++i) s += "<array>";
        s += innermost;
        for (int i = 0; i < outer; ++i) s += "</array>";
        s += "</plist>";
        return Bytes(s.begin(), s.end());
    };
    for (const char* empty : {"<array/>", "<dict/>", "<array></array>", "<dict></dict>"}) {
        SCOPED_TRACE(empty);
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(nested(512, empty), nullptr, &error).isNil());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, kPropertyListReadBeyondLimitsError);
        // One level up it is read, and written back in both forms.
        Value read = PropertyListSerialization::propertyListWithData(nested(511, empty));
        ASSERT_TRUE(read.isArray());
        EXPECT_EQ(roundTrip(read, PropertyListFormat::Binary), read);
        EXPECT_EQ(roundTrip(read, PropertyListFormat::XML), read);
    }
}

// A DOCTYPE is read once, to its end: a list behind 2.8 million of them
// (32 MiB) reads in the time of its size. Each used to be looked at to the
// end of the text for an internal subset, which took most of an hour; the
// test's time limit catches that. Quoted literals and comments in a DOCTYPE
// may hold "]" and ">".
TEST(PropertyList, ADoctypeIsReadOnceToItsEnd) {
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(hostile::doctypes((32u << 20) / 12)), Value("x"));
    const std::string plist = "<plist><string>x</string></plist>";
    for (const std::string doctype :
         {"<!DOCTYPE plist [ <!ENTITY a \"]>\"> ]>", "<!DOCTYPE plist [ <!ENTITY a ']>'> <!-- ] > --> <?pi ]>?> ]>",
          "<!DOCTYPE plist SYSTEM \"a]>[b\">", "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\" [ ] >"}) {
        const std::string text = doctype + plist;
        EXPECT_EQ(PropertyListSerialization::propertyListWithData(Bytes(text.begin(), text.end())), Value("x")) << doctype;
    }
    for (const std::string doctype : {"<!DOCTYPE plist [ <!ENTITY a \"]>", "<!DOCTYPE plist [ <!-- ]>", "<!DOCTYPE plist ["}) {
        const std::string text = doctype + plist;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(Bytes(text.begin(), text.end())).isNil()) << doctype;
    }
}

// A name of a megabyte (an encoding, an element) goes into an error by its
// start, not whole.
TEST(PropertyList, ErrorsTellALongNameByItsStart) {
    const std::string name(1u << 20, 'x');
    const std::string texts[] = {"<?xml version=\"1.0\" encoding=\"" + name + "\"?><plist><true/></plist>",
                                 "<plist><" + name + ">1</" + name + "></plist>"};
    for (const std::string& text : texts) {
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(Bytes(text.begin(), text.end()), nullptr, &error).isNil());
        ASSERT_TRUE(error);
        const std::string said = error->localizedDescription();
        EXPECT_LT(said.size(), 512u);
        EXPECT_NE(said.find("xxxxxxxx"), std::string::npos) << said;
    }
}
