#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Format.h"
#include "foundation/Value.h"

using ns::Value;

TEST(ValueDescription, ScalarsPrintAsFoundationDoes) {
    const std::pair<Value, const char*> cases[] = {
        {Value(12), "12"}, {Value(1.5), "1.5"}, {Value(3.0), "3"}, {Value(0.1), "0.1"}, {Value(true), "1"},
        {Value(false), "0"}, {Value::null(), "<null>"}, {Value(), "(null)"}, {Value("时间"), "时间"},
        {Value(18446744073709551615ULL), "18446744073709551615"}, {Value(ns::Bytes{1, 2, 3, 4, 5}), "<01020304 05>"},
        {Value(ns::Date{0}), "1970-01-01 00:00:00 +0000"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(v.description(), text);
}

// Another app's list may hold any date a double can: years keep four digits,
// far years are worked out whole, and what no calendar holds shows its seconds.
TEST(ValueDescription, DatesOfAnyYearPrintWhole) {
    const std::pair<double, const char*> cases[] = {
        {-0.5, "1969-12-31 23:59:59 +0000"},
        {-2208988800, "1900-01-01 00:00:00 +0000"},
        {4102444800, "2100-01-01 00:00:00 +0000"},
        {253402300799, "9999-12-31 23:59:59 +0000"},
        {-62135596800, "0001-01-01 00:00:00 +0000"},
        {-62135596800 - 366 * 86400.0 - 1, "-0001-12-31 23:59:59 +0000"},
        {1e17, "3168875820-09-06 09:46:40 +0000"},
        {-1e17, "-3168871881-04-27 14:13:20 +0000"},
        {1e300, "1.0000000000000001e+300 s from 1970-01-01 00:00:00 +0000"},
        {-INFINITY, "-inf s from 1970-01-01 00:00:00 +0000"},
        {NAN, "nan s from 1970-01-01 00:00:00 +0000"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(Value(ns::Date{seconds}).description(), text) << seconds;
}

TEST(ValueDescription, CollectionsUseFoundationLayout) {
    Value a = Value::array({1, Value::array({2, "a b"})});
    EXPECT_EQ(a.description(), "(\n    1,\n        (\n        2,\n        \"a b\"\n    )\n)");
    Value d = Value::dictionary({{"z", 1}, {"a", Value::dictionary({{"k", "中"}})}});
    EXPECT_EQ(d.description(), "{\n    a =     {\n        k = \"\\U4e2d\";\n    };\n    z = 1;\n}");
    EXPECT_EQ(Value::array().description(), "(\n)");
}

// A container held in many places prints in each of them; once the text
// passes kDescriptionMaxBytes it stops, ending in kDescriptionTruncated, so
// a log line of another app's list never carries gigabytes.
TEST(ValueDescription, StopsOnceItPassesItsBound) {
    Value arrays = Value::array({Value("leaf")}), dictionaries = Value::dictionary({{"k", "leaf"}});
    for (int i = 0; i < 64; ++i) {
        arrays = Value::array({arrays, arrays});
        dictionaries = Value::dictionary({{"a", dictionaries}, {"b", dictionaries}});
    }
    Value loop = Value::array();
    loop.push(Value::dictionary({{"back", loop}}));
    const std::size_t most = ns::kDescriptionMaxBytes + ns::kDescriptionTruncated.size();
    for (const Value& v : {arrays, dictionaries, loop}) {
        const std::string text = v.description();
        EXPECT_EQ(text.size(), most);
        EXPECT_TRUE(text.starts_with(v.isArray() ? "(\n" : "{\n"));
        EXPECT_TRUE(text.ends_with(ns::kDescriptionTruncated));
    }
    EXPECT_EQ(ns::format("<%@>", arrays).size(), most + 2);
    loop.removeAll();  // break the cycle for the leak checker

    // What fits prints whole, and a string is its own text however long.
    Value sixteen = Value::array({Value("leaf")});
    for (int i = 0; i < 16; ++i) sixteen = Value::array({sixteen, sixteen});
    const std::string whole = sixteen.description();
    EXPECT_TRUE(whole.ends_with("\n)"));
    std::size_t leaves = 0;
    for (std::size_t at = whole.find("leaf"); at != std::string::npos; at = whole.find("leaf", at + 1)) ++leaves;
    EXPECT_EQ(leaves, 1u << 16);
    const std::string longText(ns::kDescriptionMaxBytes + 1, 'a');
    EXPECT_EQ(Value(longText).description(), longText);
}

TEST(ValueContainers, AreSharedAndMutable) {
    Value list = Value::array();
    Value alias = list;
    Value node = Value::dictionary({{"id", "7"}});
    alias.push(node);
    EXPECT_EQ(list.count(), 1u);
    list.at(0).set("state", "open");
    EXPECT_EQ(node["state"].str(), "open");
    EXPECT_TRUE(list.containsObject(node));
    EXPECT_FALSE(list.containsObject(Value::dictionary({{"id", "7"}, {"state", "open"}})));
    list.removeObject(node);
    EXPECT_EQ(alias.count(), 0u);
    list.append(list);  // appending to itself is safe
}

TEST(ValueReads, NeverThrowAndFollowFoundationRules) {
    Value d = Value::dictionary({{"n", Value::null()}, {"s", " 42abc"}, {"f", "3.5e1x"}});
    EXPECT_TRUE(d["missing"].isNil());
    EXPECT_EQ(d["n"].str(), "");
    EXPECT_EQ(d["s"].intValue(), 42);
    EXPECT_DOUBLE_EQ(d["f"].doubleValue(), 35.0);
    EXPECT_EQ(Value("abc").intValue(), 0);
    EXPECT_EQ(Value("-0009").integerValue(), -9);
    EXPECT_EQ(Value("99999999999999999999").integerValue(), LLONG_MAX);
    EXPECT_TRUE(Value("yes").boolValue());
    EXPECT_TRUE(Value("007").boolValue());
    EXPECT_FALSE(Value("0").boolValue());
    EXPECT_TRUE(Value(5).at(3).isNil());
    EXPECT_EQ(Value(1) , Value(1.0));
}

TEST(Format, SpecifiersThePartsUse) {
    EXPECT_EQ(ns::format("%@-%02d", Value("2015"), 3), "2015-03");
    EXPECT_EQ(ns::format("%ld月", 3L), "3月");
    EXPECT_EQ(ns::format("%.2f|%.f|%.1f", 1.005, 2.5, 0.25), "1.00|2|0.2");
    EXPECT_EQ(ns::format("%08lx %02X %%3A", 255UL, 10u), "000000ff 0A %3A");
    EXPECT_EQ(ns::format("%s %c %@", "x", 'y', std::string("z")), "x y z");
    EXPECT_EQ(ns::format("%@ %@", Value(), Value::null()), "(null) <null>");
    EXPECT_EQ(ns::format("%d%%"), "0%");
}

// Text arguments are appended as they are, padded as asked; "%s" stops at a NUL.
TEST(Format, TextArgumentsPadAndStopWhereCStringsDo) {
    const std::string text = "中文";
    const std::string_view view = "ab";
    EXPECT_EQ(ns::format("[%8@][%-4@][%1@]", text, view, text), "[  中文][ab  ][中文]");
    EXPECT_EQ(ns::format("[%s][%4s]", std::string("a\0b", 3), view), "[a][  ab]");
    const std::string big(3'000'000, 'x');
    EXPECT_EQ(ns::format("<%@>", big).size(), big.size() + 2);
}

// A string's shared text is the value's own string; anything else gives its
// text() in a string of its own. Copies share.
TEST(ValueSharedText, IsTheStringItselfNotACopy) {
    const Value title("一个很长的标题");
    const ns::SharedText shared = title.sharedText();
    EXPECT_EQ(shared.str().data(), title.str().data());
    const ns::SharedText copy = shared;
    EXPECT_TRUE(copy.sharesWith(shared));
    EXPECT_EQ(copy, "一个很长的标题");

    const std::pair<Value, const char*> others[] = {
        {Value(12), "12"}, {Value(1.5), "1.5"}, {Value(), ""}, {Value::null(), ""}, {Value::array({1}), ""},
    };
    for (const auto& [v, text] : others) EXPECT_EQ(v.sharedText(), text) << v.description();

    ns::SharedText own(std::string("自己的"));
    EXPECT_FALSE(own.sharesWith(ns::SharedText(std::string("自己的"))));
    own.clear();
    EXPECT_TRUE(own.empty());
    EXPECT_FALSE(ns::SharedText().sharesWith(ns::SharedText()));
}

// A container held in many places is copied and compared once: 2^64
// places here.
TEST(ValueContainers, SharedContainersAreCopiedAndComparedOnce) {
    Value a = Value::array({1}), b = Value::array({1});
    for (int i = 0; i < 64; ++i) {
        a = Value::array({a, a});
        b = Value::array({b, b});
    }
    EXPECT_EQ(a, b);
    Value copy = a.deepCopy();
    EXPECT_TRUE(copy.at(0).isSame(copy.at(1)));
    EXPECT_FALSE(copy.at(0).isSame(a.at(0)));
    EXPECT_EQ(copy, a);
    Value bottom = copy;
    while (bottom.at(0).isArray()) bottom = bottom.at(0);
    bottom.replaceAt(0, Value(2));
    EXPECT_FALSE(copy == a);
    EXPECT_EQ(a.at(1).at(1).at(0).count(), 2u);
    Value leaf = a;
    while (leaf.at(0).isArray()) leaf = leaf.at(0);
    EXPECT_EQ(leaf.at(0), Value(1)) << "the original is left as it was";
}

// Sharing on one side only, level by level in turn: the first value holds
// each single-element array in two places, the second each two-element one;
// both expand to the same 2^60 places.
TEST(ValueContainers, TreesSharedAtDifferentLevelsCompareOnce) {
    Value one = Value::array({1});
    Value first = Value::array({1}), second = Value::array({1});
    Value pair;
    for (int i = 0; i < 60; ++i) {
        one = Value::array({Value::array({one, one})});
        pair = Value::array({first, second});
        first = Value::array({pair});
        second = Value::array({pair});
    }
    EXPECT_EQ(one, first);
    EXPECT_EQ(first.deepCopy(), one);
    Value bottom = first;
    while (bottom.at(0).at(0).isArray()) bottom = bottom.at(0).at(1);
    bottom.replaceAt(0, Value(2));
    EXPECT_FALSE(one == first);
    EXPECT_FALSE(first == one);
}

// ---- Dictionaries large enough to be indexed, and small ones ----

namespace {

// The entries as a plain list of pairs in the order a dictionary must keep.
using Model = std::vector<std::pair<std::string, int>>;

void expectSame(const Value& dict, const Model& model, const std::string& when) {
    ASSERT_EQ(dict.count(), model.size()) << when;
    for (std::size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(dict.entries()[i].first, model[i].first) << when << ", place " << i;
        ASSERT_EQ(dict[model[i].first].intValue(), model[i].second) << when << ", key " << model[i].first;
    }
}

}  // namespace

// Sets, replacements, removals and clearing, at sizes on both sides of the
// index, against a plain list: every key is found at its place, in order.
TEST(ValueDictionaries, KeepOrderAndFindEveryKeyAtEverySize) {
    const std::size_t sizes[] = {3, ns::DictionaryStorage::kIndexedAbove, ns::DictionaryStorage::kIndexedAbove + 1, 40,
                                 700};
    for (const std::size_t size : sizes) {
        Value dict = Value::dictionary();
        Model model;
        auto set = [&](const std::string& key, int v) {
            dict.set(key, v);
            auto at = std::find_if(model.begin(), model.end(), [&](const auto& e) { return e.first == key; });
            if (at == model.end()) model.emplace_back(key, v);
            else at->second = v;
        };
        auto remove = [&](const std::string& key) {
            dict.remove(key);
            std::erase_if(model, [&](const auto& e) { return e.first == key; });
        };
        const std::string label = std::to_string(size) + " keys";
        for (std::size_t i = 0; i < size; ++i) set("k" + std::to_string(i), static_cast<int>(i));
        expectSame(dict, model, label + " set");
        for (std::size_t i = 0; i < size; i += 3) set("k" + std::to_string(i), -1);  // replaced in place
        expectSame(dict, model, label + " replaced");
        for (std::size_t i = 1; i < size; i += 4) remove("k" + std::to_string(i));  // from the middle
        remove("absent");
        dict.set("k0", Value());  // nil removes
        std::erase_if(model, [](const auto& e) { return e.first == "k0"; });
        expectSame(dict, model, label + " removed");
        EXPECT_FALSE(dict.has("k1")) << label;
        EXPECT_TRUE(dict["k1"].isNil()) << label;
        set("k1", 99);  // set again after its removal: at the end
        set("new", 7);
        expectSame(dict, model, label + " set again");
        dict.removeAll();
        model.clear();
        expectSame(dict, model, label + " emptied");
        for (std::size_t i = 0; i < size; ++i) set("again" + std::to_string(i), static_cast<int>(i));
        expectSame(dict, model, label + " refilled");
    }
}

// Entries gathered one by one, repeats merged a batch at a time: the same
// dictionary as setting them in turn, whatever the count and the pattern of
// repeats, holding little more than the distinct keys as it goes.
TEST(ValueDictionaries, ABuilderGivesWhatSettingInTurnGives) {
    struct Case {
        const char* what;
        std::size_t entries, distinct;
    };
    const Case cases[] = {
        {"empty", 0, 1},        {"few, no repeats", 10, 10},   {"few, repeats", 12, 5},
        {"repeats", 40, 3},     {"one key", 5000, 1},          {"no repeats", 5000, 5000},
        {"repeats across batches", 5000, 700},                 {"a key a batch", 2000, 8},
    };
    for (const Case& c : cases) {
        ns::DictionaryBuilder builder;
        Value bySetting = Value::dictionary();
        std::size_t most = 0;
        for (std::size_t i = 0; i < c.entries; ++i) {
            const std::string key = "k" + std::to_string(i % c.distinct);
            builder.add(key, Value(static_cast<int>(i)));
            bySetting.set(key, Value(static_cast<int>(i)));
            most = std::max(most, builder.size());
        }
        Value built = Value::dictionary(std::move(builder));
        EXPECT_EQ(built.keys(), bySetting.keys()) << c.what;
        EXPECT_EQ(built, bySetting) << c.what;
        EXPECT_LE(most, std::min(c.entries, c.distinct) + 256) << c.what;
        if (c.entries > 0) {
            EXPECT_EQ(built["k0"].intValue(), static_cast<int>((c.entries - 1) / c.distinct * c.distinct)) << c.what;
        }
    }
}

// A copy has an index of its own: changing either leaves the other as it
// was; equality does not depend on order or on an index.
TEST(ValueDictionaries, CopiesShareNothingAndCompareByContent) {
    Value big = Value::dictionary();
    for (int i = 0; i < 100; ++i) big.set("k" + std::to_string(i), Value::array({i}));
    Value copy = big.deepCopy();
    EXPECT_EQ(copy, big);
    EXPECT_FALSE(copy["k0"].isSame(big["k0"]));
    copy.set("k5", 0);
    copy.remove("k6");
    copy.set("extra", 1);
    EXPECT_EQ(big["k5"], Value::array({5}));
    EXPECT_TRUE(big.has("k6"));
    EXPECT_FALSE(big.has("extra"));
    EXPECT_EQ(copy["k99"], Value::array({99}));
    EXPECT_TRUE(copy["k6"].isNil());

    // The same content set in reverse order equals it; a dictionary that
    // shrank below the index's size equals a small one.
    Value reversed = Value::dictionary();
    for (int i = 99; i >= 0; --i) reversed.set("k" + std::to_string(i), Value::array({i}));
    EXPECT_EQ(reversed, big);
    reversed.set("k50", Value::array({-1}));
    EXPECT_FALSE(reversed == big);
    for (int i = 3; i < 100; ++i) big.remove("k" + std::to_string(i));
    EXPECT_EQ(big, Value::dictionary({{"k2", Value::array({2})}, {"k0", Value::array({0})}, {"k1", Value::array({1})}}));
    EXPECT_FALSE(big == Value::dictionary({{"k2", Value::array({2})}, {"k0", Value::array({0})}, {"x", Value::array({1})}}));
}
