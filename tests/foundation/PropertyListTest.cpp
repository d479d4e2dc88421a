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
