// What the XML and text readers build follows their input: each of their
// constructs is counted, a list that builds more than its size allows is
// refused as beyond the readers' bounds, and dictionaries of as many keys
// as each form holds read back whole.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "foundation/PropertyList.h"
#include "foundation/PropertyListText.h"
#include "foundation/PropertyListXML.h"
#include "foundation/ReadBudget.h"
#include "support/LargeLists.h"

using namespace ns;

namespace {

// `count` copies of `item`, between `head` and `tail`.
std::string repeated(const std::string& head, const std::string& item, std::size_t count, const std::string& tail) {
    std::string out = head;
    for (std::size_t i = 0; i < count; ++i) out += item;
    return out + tail;
}

// Keys numbered in turn, each as `before` + number + `after`.
std::string numbered(const std::string& head, const std::string& before, const std::string& after, std::size_t count,
                     const std::string& tail) {
    std::string out = head;
    for (std::size_t i = 0; i < count; ++i) out += before + std::to_string(i) + after;
    return out + tail;
}

using Reader = Value (*)(std::string_view, plistcodec::Problem*, ReadBudget);

}  // namespace

// Every construct a list may repeat costs what it builds: with a small
// allowance each of these lists is refused, as beyond the readers' bounds;
// with the allowance of its own size it reads.
TEST(PropertyListBudget, EachConstructOfTheTextFormsIsCounted) {
    struct Case {
        const char* what;
        Reader read;
        std::string text;
    };
    constexpr std::size_t kAllowance = 32 << 10;
    const std::string xmlHead = "<plist><array>", xmlTail = "</array></plist>";
    const Case cases[] = {
        {"text: short strings", plisttext::read, repeated("(", "a,", 8000, ")")},
        {"text: quoted empty strings", plisttext::read, repeated("(", "\"\",", 6000, ")")},
        {"text: empty data", plisttext::read, repeated("(", "<>,", 6000, ")")},
        {"text: empty containers", plisttext::read, repeated("(", "(),{},", 3000, ")")},
        {"text: entries", plisttext::read, numbered("{", "k", "=a;", 3000, "}")},
        {"text: one long string", plisttext::read, "\"" + std::string(kAllowance, 'a') + "\""},
        {"text: one long datum", plisttext::read, "<" + std::string(4 * kAllowance, 'a') + ">"},
        {"XML: empty strings", plistxml::read, repeated(xmlHead, "<string/>", 2000, xmlTail)},
        {"XML: empty containers", plistxml::read, repeated(xmlHead, "<array/><dict/>", 1000, xmlTail)},
        {"XML: booleans", plistxml::read, repeated(xmlHead, "<true/>", 3000, xmlTail)},
        {"XML: dates", plistxml::read, repeated(xmlHead, "<date>2015-03-01Z</date>", 1000, xmlTail)},
        {"XML: data", plistxml::read, repeated(xmlHead, "<data>AAAA</data>", 1000, xmlTail)},
        {"XML: entries", plistxml::read, numbered("<plist><dict>", "<key>k", "</key><true/>", 1500, "</dict></plist>")},
        {"XML: one long string", plistxml::read, "<string>" + std::string(kAllowance, 'a') + "</string>"},
    };
    for (const Case& c : cases) {
        plistcodec::Problem problem;
        EXPECT_TRUE(c.read(c.text, &problem, ReadBudget::withAllowance(kAllowance)).isNil()) << c.what;
        EXPECT_TRUE(problem.beyondLimits) << c.what;
        EXPECT_EQ(problem.reason, ReadBudget::kReason) << c.what;
        plistcodec::Problem none;
        EXPECT_FALSE(c.read(c.text, &none, ReadBudget(c.text.size())).isNil()) << c.what << ": " << none.reason;
    }
}

// Tiny strings cost a value and a holder each, more than 32 bytes for each
// of their two bytes: at the readers' own allowance such a list is refused
// once it passes its base, not read to gigabytes at 32 MiB.
TEST(PropertyListBudget, AListOfTinyStringsBeyondItsAllowanceIsRefused) {
    const std::size_t values = (ReadBudget::kBaseBytes / (ReadBudget::kValueBytes + ReadBudget::kHolderBytes -
                                                          2 * ReadBudget::kBytesPerInputByte)) * 11 / 10;
    const std::string text = repeated("(", "a,", values, ")");
    ErrorPtr error;
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(Bytes(text.begin(), text.end()), nullptr, &error).isNil());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, kPropertyListReadBeyondLimitsError);
    // A tenth fewer read.
    const std::string fewer = repeated("(", "a,", values * 8 / 10, ")");
    EXPECT_EQ(PropertyListSerialization::propertyListWithData(Bytes(fewer.begin(), fewer.end())).count(), values * 8 / 10);
}

// A key repeated throughout a list keeps its last value; the repeats are
// merged as they come, so the list reads to what it holds at its end, well
// within its allowance however many repeats it has.
TEST(PropertyListBudget, RepeatedKeysCostWhatTheDictionaryHolds) {
    const std::size_t repeats = ReadBudget::kBaseBytes / 32;  // beyond the allowance if each were held
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"text", repeated("{", "a=b;", repeats, "a=last;z=z;}")},
        {"XML", repeated("<plist><dict>", "<key>a</key><string/>", repeats / 4,
                         "<key>a</key><string>last</string><key>z</key><true/></dict></plist>")},
    };
    for (const Case& c : cases) {
        ErrorPtr error;
        Value v = PropertyListSerialization::propertyListWithData(Bytes(c.text.begin(), c.text.end()), nullptr, &error);
        EXPECT_EQ(v.keys(), (std::vector<std::string>{"a", "z"})) << c.what << ": " << (error ? error->description() : "");
        EXPECT_EQ(v["a"].str(), "last") << c.what;
    }
}

// The densest dictionaries of each form fit within 32 bytes for each of
// their bytes, without the allowance's base, and read back whole, in order.
TEST(PropertyListBudget, DictionariesOfManyKeysReadBackWhole) {
    constexpr std::size_t kBytes = 1 << 20;
    struct Case {
        const char* what;
        std::function<Bytes(std::size_t)> make;
        std::size_t width;
        bool base62;
        Reader read;
    };
    const Case cases[] = {
        {"text", largelists::textKeys, 7, false, plisttext::read},
        {"XML", largelists::xmlKeys, 6, false, plistxml::read},
        {"binary", largelists::binaryKeys, 4, true, nullptr},
    };
    for (const Case& c : cases) {
        const Bytes list = c.make(kBytes);
        ASSERT_LE(list.size(), kBytes) << c.what;
        Value v = PropertyListSerialization::propertyListWithData(list);
        ASSERT_TRUE(v.isDictionary()) << c.what;
        EXPECT_GT(v.count(), kBytes / 26) << c.what;
        for (std::size_t i = 0; i < v.count(); ++i)
            ASSERT_EQ(v.entries()[i].first, largelists::key(i, c.width, c.base62)) << c.what << " " << i;
        EXPECT_TRUE(v.has(largelists::key(v.count() - 1, c.width, c.base62))) << c.what;
        EXPECT_FALSE(v.has(largelists::key(v.count(), c.width, c.base62))) << c.what;
        if (c.read) {
            const std::string_view text(reinterpret_cast<const char*>(list.data()), list.size());
            plistcodec::Problem problem;
            const Value tight = c.read(text, &problem, ReadBudget::withAllowance(kBytes * ReadBudget::kBytesPerInputByte));
            EXPECT_EQ(tight.count(), v.count()) << c.what << ": " << problem.reason;
        }
    }
}

// The binary writer writes each distinct text once, whether a key or a
// string, and data apart from text of the same bytes.
TEST(PropertyListBudget, TheBinaryWriterWritesEachTextOnce) {
    const std::string longText(100, 'x');
    const struct {
        Value value;
        std::uint64_t objects;
    } cases[] = {
        {Value::dictionary({{"a", Value("a")}}), 2},
        {Value::dictionary({{"a", Value(Bytes{'a'})}}), 3},
        {Value::array({Value(longText), Value(longText), Value(Bytes(100, 'x')), Value(Bytes(100, 'x'))}), 3},
    };
    for (const auto& c : cases) {
        auto list = PropertyListSerialization::dataWithPropertyList(c.value, PropertyListFormat::Binary);
        ASSERT_TRUE(list);
        std::uint64_t objects = 0;  // in the trailer
        for (std::size_t i = list->size() - 24; i < list->size() - 16; ++i) objects = objects << 8 | (*list)[i];
        EXPECT_EQ(objects, c.objects) << c.value.description();
        EXPECT_EQ(PropertyListSerialization::propertyListWithData(*list), c.value);
    }
}
