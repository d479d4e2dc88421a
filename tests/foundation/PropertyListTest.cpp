#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "foundation/Log.h"
#include "foundation/PropertyList.h"

using namespace ns;

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

// A binary property list by hand: objects in order, one-byte offsets and
// references, the first object on top.
Bytes bplist(const std::vector<Bytes>& objects) {
    Bytes out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    Bytes offsets;
    for (const auto& o : objects) {
        offsets.push_back(static_cast<std::uint8_t>(out.size()));
        out.insert(out.end(), o.begin(), o.end());
    }
    auto table = static_cast<std::uint8_t>(out.size());
    out.insert(out.end(), offsets.begin(), offsets.end());
    Bytes trailer(32, 0);
    trailer[6] = 1;  // offset size
    trailer[7] = 1;  // reference size
    trailer[15] = static_cast<std::uint8_t>(objects.size());
    trailer[31] = table;
    out.insert(out.end(), trailer.begin(), trailer.end());
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
    // Offsets wider than two bytes (three, as libplist writes them).
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
    for (const Value& bad : {Value(), Value::null(), Value::array({Value("a"), Value::null()}),
                             Value(Date{-3e9}), Value(std::string("a\0b", 3))}) {
        ErrorPtr error;
        EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(bad, PropertyListFormat::Binary, &error));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, kPropertyListWriteInvalidError);
    }
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
    // Damage libplist itself would abort on, or expand without end.
    const std::vector<Bytes> refused = {
        bplist({{0xA1, 0}}),                                   // an array that holds itself
        bplist({{0xD1, 1, 2}, {0x10, 5}, {0x51, 'v'}}),        // an integer as dictionary key
        bplist({{0x53, 'a', 0, 'b'}}),                         // a string with a NUL
        bplist({{0xA1, 5}}),                                   // a reference past the end
        bplist({{0x5F, 0x10, 200, 'a'}}),                      // a length past the end
    };
    for (const Bytes& in : refused) {
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(in, nullptr, &error).isNil());
        EXPECT_TRUE(error);
    }
    // 40 arrays, each holding the next one twice: 2^40 nodes when expanded.
    std::vector<Bytes> bomb;
    for (std::uint8_t i = 0; i < 40; ++i) bomb.push_back({0xA2, static_cast<std::uint8_t>(i + 1), static_cast<std::uint8_t>(i + 1)});
    bomb.push_back({0x09});
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(bplist(bomb)).isNil());
    // The checks pass well-formed hand-made lists: a 4-byte real, shared leaves.
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(bplist({{0x22, 0x3F, 0xC0, 0, 0}})), Value(1.5));
    Value shared = PropertyListSerialization::propertyListWithData(bplist({{0xA2, 1, 1}, {0x51, 'x'}}));
    EXPECT_EQ(shared, Value::array({Value("x"), Value("x")}));

    // Without an error place the failure is logged.
    log.clear();
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(Bytes{'x'}).isNil());
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
    for (const Bytes& damaged : {nested(200000, "<array>", ""), nested(200000, "<array>", "</array>"),
                                 nested(200000, "<dict><key>k</key>", "</dict>"), nested(513, "<array>", "</array>")}) {
        ErrorPtr error;
        EXPECT_TRUE(PropertyListSerialization::propertyListWithData(damaged, nullptr, &error).isNil());
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, kPropertyListReadCorruptError);
    }
    Value v = PropertyListSerialization::propertyListWithData(nested(512, "<array>", "</array>"));
    int depth = 0;
    for (; v.isArray(); v = v.at(0)) ++depth;
    EXPECT_EQ(depth, 512);
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

    // Fewer in binary, where libplist's own writer is slow with many keys.
    entries.resize(kKeys / 3);
    auto binary = PropertyListSerialization::dataWithPropertyList(Value::dictionaryWithUniqueEntries(entries),
                                                                  PropertyListFormat::Binary);
    ASSERT_TRUE(binary);
    Value fromBinary = PropertyListSerialization::propertyListWithData(*binary);
    ASSERT_EQ(fromBinary.count(), entries.size());
    EXPECT_EQ(fromBinary[entries.back().first], entries.back().second);
}
