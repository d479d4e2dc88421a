// Keyed archives: the archive's shape, plain values and coded objects both
// ways, and the reader's refusals of archives that other programs could
// hand us.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Format.h"
#include "foundation/KeyedArchive.h"
#include "foundation/PropertyList.h"
#include "support/HostilePlists.h"
#include "support/AllocationCount.h"
#include "support/Plistlib.h"

using namespace ns;

namespace {

Value uid(long long n) { return Value::dictionary({{"CF$UID", Value(n)}}); }

// A coded object with one field of each archive form.
class Sample : public Coding {
public:
    Value name;
    bool on = false;
    std::int32_t small = 0;
    std::int64_t big = 0;
    std::shared_ptr<Sample> child, other;

    std::string className() const override { return "Sample"; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(name, "name");
        coder.encodeBool(on, "on");
        coder.encodeInt32(small, "small");
        coder.encodeInt64(big, "big");
        coder.encodeObject(std::static_pointer_cast<Coding>(child), "child");
        coder.encodeObject(std::static_pointer_cast<Coding>(other), "other");
    }
    void initWithCoder(KeyedUnarchiver& coder) override {
        name = coder.decodeObjectForKey("name");
        on = coder.decodeBoolForKey("on");
        small = coder.decodeInt32ForKey("small");
        big = coder.decodeInt64ForKey("big");
        child = std::dynamic_pointer_cast<Sample>(coder.decodeCodedObjectForKey("child"));
        other = std::dynamic_pointer_cast<Sample>(coder.decodeCodedObjectForKey("other"));
    }
};

// A coded object that writes values and coded objects it makes on the spot,
// each gone before the next is made.
class MadeOnTheSpot : public Coding {
public:
    static constexpr int kCount = 8;
    std::vector<Value> lists;
    std::vector<std::shared_ptr<Sample>> children;

    std::string className() const override { return "MadeOnTheSpot"; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        for (int i = 0; i < kCount; ++i) {
            coder.encodeObject(Value::array({Value(i)}), "list" + std::to_string(i));
            auto child = std::make_shared<Sample>();
            child->small = i;
            coder.encodeObject(std::static_pointer_cast<Coding>(child), "child" + std::to_string(i));
        }
    }
    void initWithCoder(KeyedUnarchiver& coder) override {
        for (int i = 0; i < kCount; ++i) {
            lists.push_back(coder.decodeObjectForKey("list" + std::to_string(i)));
            children.push_back(std::dynamic_pointer_cast<Sample>(coder.decodeCodedObjectForKey("child" + std::to_string(i))));
        }
    }
};

// An archive written by hand: the objects after "$null", the root's index.
Bytes archive(std::vector<Value> objects, long long root = 1) {
    objects.insert(objects.begin(), Value("$null"));
    Value plist = Value::dictionary({{"$archiver", Value("NSKeyedArchiver")},
                                     {"$version", Value(100000)},
                                     {"$top", Value::dictionary({{"root", uid(root)}})},
                                     {"$objects", Value::array(std::move(objects))}});
    return *PropertyListSerialization::dataWithPropertyList(plist, PropertyListFormat::Binary);
}

Value classRecord(const std::string& name) {
    return Value::dictionary({{"$classname", Value(name)}, {"$classes", Value::array({Value(name), Value("NSObject")})}});
}

}  // namespace

TEST(KeyedArchive, PlainValuesRoundTripInTheArchiveShape) {
    Value tree = Value::dictionary({
        {"text", Value("迈维 text")},
        {"count", Value(42)},
        {"negative", Value(LLONG_MIN)},
        {"ratio", Value(0.25)},
        {"flag", Value(false)},
        {"bytes", Value(Bytes{0, 1, 0xFF})},
        {"when", Value(Date{1425175200.5})},
        {"list", Value::array({Value("a"), Value("a"), Value::array({Value(1)}), Value::dictionary()})},
        {"nested", Value::dictionary({{"k", Value("v")}})},
    });
    auto bytes = KeyedArchiver::archivedDataWithRootObject(tree);
    ASSERT_TRUE(bytes);
    Value back = KeyedUnarchiver::unarchivedValue(*bytes);
    EXPECT_EQ(back, tree) << back.description();
    EXPECT_TRUE(back["flag"].isBool());
    EXPECT_DOUBLE_EQ(back["when"].date().seconds, 1425175200.5);

    Value plist = PropertyListSerialization::propertyListWithData(*bytes);
    EXPECT_EQ(plist["$archiver"].str(), "NSKeyedArchiver");
    EXPECT_EQ(plist["$version"].integerValue(), 100000);
    EXPECT_EQ(plist["$objects"].at(0).str(), "$null");
    EXPECT_EQ(plist["$top"]["root"]["CF$UID"].integerValue(), 1);
    // Equal strings are stored once.
    int copies = 0;
    for (const auto& o : plist["$objects"].items()) copies += o.isString() && o.str() == "a";
    EXPECT_EQ(copies, 1);
}

TEST(KeyedArchive, WhatAnArchiveCannotHoldIsRefused) {
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(Value()));
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(Value::array({Value::null()})));
    Value loop = Value::array();
    loop.push(Value::dictionary({{"back", loop}}));
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(loop));
    loop.removeAll();  // break the cycle for the leak checker
    auto self = std::make_shared<Sample>();
    self->child = self;
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<Coding>(self)));
    self->child.reset();

    // A NUL in a string and dates of any year are no obstacle.
    Value odd = Value::array({Value(std::string("a\0b", 3)), Value::dateSinceReferenceDate(3124137600.000001),
                              Value::dateSinceReferenceDate(-63113904000.0)});
    auto bytes = KeyedArchiver::archivedDataWithRootObject(odd);
    ASSERT_TRUE(bytes);
    Value back = KeyedUnarchiver::unarchivedValue(*bytes);
    ASSERT_EQ(back.count(), 3u);
    EXPECT_EQ(back.at(0).str(), std::string("a\0b", 3));
    EXPECT_EQ(back.at(1).timeIntervalSinceReferenceDate(), 3124137600.000001);
    EXPECT_EQ(back.at(2).timeIntervalSinceReferenceDate(), -63113904000.0);
}

TEST(KeyedArchive, WhatSeveralPlacesHoldIsWrittenOnceAndReadAsOne) {
    // Sixteen levels, each holding the one below twice.
    Value level = Value::array({Value("leaf")});
    for (int i = 0; i < 16; ++i) level = Value::array({level, level});
    auto bytes = KeyedArchiver::archivedDataWithRootObject(level);
    ASSERT_TRUE(bytes);
    EXPECT_LT(bytes->size(), 1000u);
    Value back = KeyedUnarchiver::unarchivedValue(*bytes);
    ASSERT_TRUE(back.isArray());
    EXPECT_TRUE(back.at(0).isSame(back.at(1)));
    EXPECT_TRUE(back.at(0).at(0).isSame(back.at(1).at(1)));
    Value bottom = back;
    for (int i = 0; i < 16; ++i) bottom = bottom.at(1);
    EXPECT_EQ(bottom, Value::array({Value("leaf")}));
    // The limit counts the archive's objects, each once however many places
    // hold it, and the references they hold: the 17 arrays and the leaf, 33
    // references.
    EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*bytes, ArchiveLimits{.maxDecoded = 51}), level);
    EXPECT_TRUE(KeyedUnarchiver::unarchivedValue(*bytes, ArchiveLimits{.maxDecoded = 50}).isNil());

    // A coded object held twice is one object when read back, and so is a
    // value that two coded objects hold.
    auto shared = std::make_shared<Sample>();
    shared->name = Value::dictionary({{"a", Value::array({Value(1)})}});
    auto root = std::make_shared<Sample>();
    root->child = shared;
    root->other = shared;
    root->name = shared->name;
    auto coded = KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<Coding>(root));
    ASSERT_TRUE(coded);
    auto read = KeyedUnarchiver::unarchivedObjectOfClass<Sample>(*coded);
    ASSERT_TRUE(read && read->child);
    EXPECT_EQ(read->child, read->other);
    EXPECT_TRUE(read->name.isSame(read->child->name));
    EXPECT_EQ(read->child->name, shared->name);
}

// Objects are told apart by what they are while the archive is written:
// one made on the spot and gone before the next is never taken for that
// next one, wherever the next one's memory lies.
TEST(KeyedArchive, ObjectsMadeWhileWritingAreEachTheirOwn) {
    auto bytes = KeyedArchiver::archivedDataWithRootObject(std::make_shared<MadeOnTheSpot>());
    ASSERT_TRUE(bytes);
    auto read = std::dynamic_pointer_cast<MadeOnTheSpot>(
        KeyedUnarchiver::unarchivedObject(*bytes, {ArchiveClass::of<MadeOnTheSpot>(), ArchiveClass::of<Sample>()}));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->lists.size(), static_cast<std::size_t>(MadeOnTheSpot::kCount));
    for (int i = 0; i < MadeOnTheSpot::kCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read->lists[static_cast<std::size_t>(i)], Value::array({Value(i)}));
        ASSERT_TRUE(read->children[static_cast<std::size_t>(i)]);
        EXPECT_EQ(read->children[static_cast<std::size_t>(i)]->small, i);
    }
}

TEST(KeyedArchive, CodedObjectsRoundTripWithEveryKeyForm) {
    auto sample = std::make_shared<Sample>();
    sample->name = Value("root");
    sample->on = true;
    sample->small = INT32_MIN;
    sample->big = INT64_MAX;
    sample->child = std::make_shared<Sample>();
    sample->child->name = Value::array({Value("x")});
    auto bytes = KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<Coding>(sample));
    ASSERT_TRUE(bytes);

    auto back = KeyedUnarchiver::unarchivedObjectOfClass<Sample>(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, Value("root"));
    EXPECT_TRUE(back->on);
    EXPECT_EQ(back->small, INT32_MIN);
    EXPECT_EQ(back->big, INT64_MAX);
    ASSERT_TRUE(back->child);
    EXPECT_EQ(back->child->name, Value::array({Value("x")}));
    EXPECT_FALSE(back->child->child);

    // A coded root is no plain value, and a reader that does not allow the
    // class refuses the archive.
    EXPECT_TRUE(KeyedUnarchiver::unarchivedValue(*bytes).isNil());
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObject(*bytes, {}));
}

TEST(KeyedArchive, MissingKeysAndOtherKindsReadEmptyWithoutRefusing) {
    // "name" holds an inline integer, "on" a string, "small" a value beyond
    // 32 bits, "big" a real; "child" is absent.
    auto bytes = archive({Value::dictionary({{"name", Value(5)},
                                             {"on", uid(3)},
                                             {"small", Value(1LL << 40)},
                                             {"big", Value(1.5)},
                                             {"$class", uid(2)}}),
                          classRecord("Sample"), Value("yes")});
    auto back = KeyedUnarchiver::unarchivedObjectOfClass<Sample>(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->name.isNil());
    EXPECT_FALSE(back->on);
    EXPECT_EQ(back->small, 0);
    EXPECT_EQ(back->big, 0);
    EXPECT_FALSE(back->child);

    // Unsigned 32-bit values written by other archivers keep their bits.
    auto wide = archive({Value::dictionary({{"small", Value(4294967295LL)}, {"on", Value(2)}, {"$class", uid(2)}}),
                         classRecord("Sample")});
    auto read = KeyedUnarchiver::unarchivedObjectOfClass<Sample>(wide);
    ASSERT_TRUE(read);
    EXPECT_EQ(static_cast<std::uint32_t>(read->small), 4294967295u);
    EXPECT_TRUE(read->on);
}

TEST(KeyedArchive, HostileArchivesGiveNothing) {
    Value dictClass = classRecord("NSDictionary");
    Value arrayClass = classRecord("NSArray");
    struct Case {
        const char* what;
        Bytes bytes;
    };
    // An array whose every element is the next array: 2^40 values if expanded.
    std::vector<Value> doubling;
    for (int i = 0; i < 40; ++i) {
        long long next = i + 3;
        doubling.push_back(Value::dictionary({{"NS.objects", Value::array({uid(next), uid(next)})}, {"$class", uid(2)}}));
        if (i == 0) doubling.push_back(arrayClass);
    }
    doubling.push_back(Value("leaf"));
    std::vector<Case> cases = {
        {"a class outside the allow-list",
         archive({Value::dictionary({{"NS.relative", uid(3)}, {"$class", uid(2)}}), classRecord("NSURL"), Value("x")})},
        {"a dangling reference",
         archive({Value::dictionary({{"NS.objects", Value::array({uid(99)})}, {"$class", uid(2)}}), arrayClass})},
        {"a cycle",
         archive({Value::dictionary({{"NS.objects", Value::array({uid(1)})}, {"$class", uid(2)}}), arrayClass})},
        {"a key that is no string",
         archive({Value::dictionary({{"NS.keys", Value::array({uid(3)})}, {"NS.objects", Value::array({uid(3)})},
                                     {"$class", uid(2)}}),
                  dictClass, Value(7)})},
        {"keys and objects of different counts",
         archive({Value::dictionary({{"NS.keys", Value::array({uid(3)})}, {"NS.objects", Value::array()},
                                     {"$class", uid(2)}}),
                  dictClass, Value("k")})},
        {"a class reference to no class record", archive({Value::dictionary({{"$class", uid(2)}}), Value("NSArray")})},
        {"a root beyond the objects", archive({Value("x")}, 5)},
        {"no archive at all", *PropertyListSerialization::dataWithPropertyList(Value::dictionary({{"a", Value(1)}}),
                                                                               PropertyListFormat::Binary)},
        {"not a property list", Bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3}},
        {"nothing", Bytes{}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(KeyedUnarchiver::unarchivedValue(c.bytes).isNil()) << c.what;
        EXPECT_FALSE(KeyedUnarchiver::unarchivedObjectOfClass<Sample>(c.bytes)) << c.what;
    }

    // Entries of "$objects" that share one body in the property list (a few
    // bytes each) are one object, decoded once: 3,000 places hold one array
    // of 1,024 references, not 3 million values.
    {
        const long long objects = 3000, references = 1024, arrayClassAt = objects + 2, leafAt = objects + 3;
        std::vector<Value> toLeaf(references, uid(leafAt)), toBodies;
        for (long long i = 0; i < objects; ++i) toBodies.push_back(uid(i + 2));
        const Value body = Value::dictionary({{"NS.objects", Value::array(std::move(toLeaf))}, {"$class", uid(arrayClassAt)}});
        std::vector<Value> list = {Value::dictionary({{"NS.objects", Value::array(std::move(toBodies))}, {"$class", uid(arrayClassAt)}})};
        list.insert(list.end(), objects, body);
        list.push_back(arrayClass);
        list.push_back(Value("leaf"));
        const Bytes shared = archive(std::move(list));
        EXPECT_LT(shared.size(), 40000u);
        const Value read = KeyedUnarchiver::unarchivedValue(shared);
        ASSERT_EQ(read.count(), static_cast<std::size_t>(objects));
        EXPECT_EQ(read.at(0).count(), static_cast<std::size_t>(references));
        EXPECT_TRUE(read.at(0).isSame(read.at(objects - 1)));
    }

    // Dictionaries that each hold a copy of one long key: 4,096 of them would
    // be 4 GiB of keys. One dictionary in 4,096 places holds it once.
    for (bool distinct : {true, false}) {
        const long long dictionaries = 4096, keyAt = dictionaries + 2;
        std::vector<Value> toDictionaries;
        for (long long i = 0; i < dictionaries; ++i) toDictionaries.push_back(uid(i + 2));
        auto body = [&] {
            return Value::dictionary({{"NS.keys", Value::array({uid(keyAt)})},
                                      {"NS.objects", Value::array({uid(keyAt + 1)})},
                                      {"$class", uid(keyAt + 3)}});
        };
        std::vector<Value> list = {Value::dictionary({{"NS.objects", Value::array(std::move(toDictionaries))},
                                                      {"$class", uid(keyAt + 2)}})};
        const Value one = body();
        for (long long i = 0; i < dictionaries; ++i) list.push_back(distinct ? body() : one);
        list.push_back(Value(std::string(1u << 20, 'k')));
        list.push_back(Value(5));
        list.push_back(arrayClass);
        list.push_back(dictClass);
        const Value read = KeyedUnarchiver::unarchivedValue(archive(std::move(list)));
        EXPECT_EQ(read.isNil(), distinct);
        if (!distinct) {
            ASSERT_EQ(read.count(), static_cast<std::size_t>(dictionaries));
            EXPECT_TRUE(read.at(0).isSame(read.at(dictionaries - 1)));
        }
    }

    // The expansion costs nothing: the 40 arrays read as 40 containers, each
    // held twice by the one above.
    Value expands = KeyedUnarchiver::unarchivedValue(archive(doubling));
    int levels = 0;
    for (Value at = expands; at.isArray(); at = at.at(0), ++levels) ASSERT_TRUE(at.at(0).isSame(at.at(1)));
    EXPECT_EQ(levels, 40);

    // Limits are the reader's to set.
    auto fine = KeyedArchiver::archivedDataWithRootObject(Value::array({Value(1), Value(2), Value(3)}));
    ASSERT_TRUE(fine);
    EXPECT_FALSE(KeyedUnarchiver::unarchivedValue(*fine).isNil());
    EXPECT_TRUE(KeyedUnarchiver::unarchivedValue(*fine, ArchiveLimits{.maxBytes = fine->size() - 1}).isNil());
    EXPECT_TRUE(KeyedUnarchiver::unarchivedValue(*fine, ArchiveLimits{.maxDecoded = 3}).isNil());
}

namespace {

// A coded object without a class name.
class Nameless : public Coding {
public:
    std::string className() const override { return ""; }
    void encodeWithCoder(KeyedArchiver&) const override {}
    void initWithCoder(KeyedUnarchiver&) override {}
};

}  // namespace

// The reader's limits guard against other programs' archives; the archiver
// refuses what they would refuse, so what it writes reads back.
TEST(KeyedArchive, WhatTheArchiverWritesReadsBack) {
    // Eighteen levels, each holding the one below twice: 2^18 places, 20 objects.
    Value level = Value::array({Value("leaf")});
    for (int i = 0; i < 18; ++i) level = Value::array({level, level});
    auto shared = KeyedArchiver::archivedDataWithRootObject(level);
    ASSERT_TRUE(shared);
    Value back = KeyedUnarchiver::unarchivedValue(*shared);
    EXPECT_EQ(back, level);
    EXPECT_TRUE(back.at(0).isSame(back.at(1)));

    // "$objects": "$null", the array, its class record and each number.
    const std::size_t most = ArchiveLimits{}.maxObjects;
    for (std::size_t numbers : {most - 3, most - 2}) {
        SCOPED_TRACE(numbers);
        std::vector<Value> items;
        for (std::size_t i = 0; i < numbers; ++i) items.emplace_back(static_cast<long long>(i));
        Value many = Value::array(std::move(items));
        auto bytes = KeyedArchiver::archivedDataWithRootObject(many);
        EXPECT_EQ(bytes.has_value(), numbers == most - 3);
        if (bytes) {
            EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*bytes), many);
        }
    }

    // References count as the reader counts them: "$null", the two arrays,
    // their class record and the number, then the references.
    const Value inner = Value::array({Value(1)});
    const std::size_t decodable = ArchiveLimits{}.maxDecoded;
    for (std::size_t places : {decodable - 6, decodable - 5}) {
        SCOPED_TRACE(places);
        const Value outer = Value::array(std::vector<Value>(places, inner));
        auto bytes = KeyedArchiver::archivedDataWithRootObject(outer);
        EXPECT_EQ(bytes.has_value(), places == decodable - 6);
        if (bytes) {
            EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*bytes), outer);
        }
    }

    // What the reader reads, written again: one number, data, date and
    // string, each held in 44,000 places of an archive (as an archiver that
    // writes each distinct object once writes them), are four objects again,
    // not 132,000 beyond the count of objects.
    {
        const long long places = 44000, arrayClassAt = 2;
        std::vector<Value> list = {Value(), classRecord("NSArray"), Value(7), Value(Bytes{1, 2}),
                                   Value::dictionary({{"NS.time", Value(1.5)}, {"$class", uid(7)}}), Value("text"),
                                   classRecord("NSDate")};
        std::vector<Value> refs;
        for (long long i = 0; i < places; ++i)
            for (long long at : {3, 4, 5, 6}) refs.push_back(uid(at));
        list[0] = Value::dictionary({{"NS.objects", Value::array(std::move(refs))}, {"$class", uid(arrayClassAt)}});
        const Value read = KeyedUnarchiver::unarchivedValue(archive(std::move(list)));
        ASSERT_EQ(read.count(), static_cast<std::size_t>(4 * places));
        auto again = KeyedArchiver::archivedDataWithRootObject(read);
        ASSERT_TRUE(again);
        EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*again), read);
    }

    // Keys held by many dictionaries, in copies up to the bound the reader
    // takes: one copy more is refused.
    {
        const std::string key(1u << 20, 'k');
        Value dictionaries = Value::array();
        for (std::size_t i = 0; i <= kPropertyListMaxSharedKeyBytes / key.size(); ++i)
            dictionaries.push(Value::dictionary({{key, Value(static_cast<long long>(i))}}));
        auto bytes = KeyedArchiver::archivedDataWithRootObject(dictionaries);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*bytes), dictionaries);
        dictionaries.push(Value::dictionary({{key, Value(-1)}}));
        EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(dictionaries));
    }

    // The archive's own bytes: data of the reader's whole bound cannot fit.
    const std::size_t bound = ArchiveLimits{}.maxBytes;
    auto large = KeyedArchiver::archivedDataWithRootObject(Value(Bytes(bound - 4096, 0x5A)));
    ASSERT_TRUE(large);
    EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*large).data().size(), bound - 4096);
    large.reset();
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(Value(Bytes(bound, 0x5A))));

    // What the reader takes for a broken archive.
    Value holes = Value::dictionaryWithUniqueEntries({{"k", Value()}});
    for (const Value& v : {Value::array({Value(1), Value()}), holes, Value::dateSinceReferenceDate(std::nan("")),
                           Value::array({Value(Date{INFINITY})})})
        EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(v)) << v.description();
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(std::make_shared<Nameless>()));
}

namespace {

// `levels` arrays (or dictionaries, each under the key "k") inside each
// other; the innermost holds the string "leaf" when `leaf` is set, else
// nothing.
Value nested(int levels, bool dictionaries, bool leaf) {
    auto wrap = [&](Value inner) {
        if (dictionaries) return inner.isNil() ? Value::dictionary() : Value::dictionary({{"k", inner}});
        return inner.isNil() ? Value::array() : Value::array({inner});
    };
    Value v = wrap(leaf ? Value("leaf") : Value());
    for (int i = 1; i < levels; ++i) v = wrap(v);
    return v;
}

// The same written by hand, as another archiver may write it.
Bytes nestedArchive(int levels, bool dictionaries, bool leaf) {
    // 1: the class record; 2: the key "k"; 3 on: the containers, outermost first; then the leaf.
    std::vector<Value> objects = {classRecord(dictionaries ? "NSDictionary" : "NSArray"), Value("k")};
    for (int i = 0; i < levels; ++i) {
        long long next = i + 4;
        bool last = i == levels - 1;
        Value refs = last && !leaf ? Value::array() : Value::array({uid(next)});
        Value keys = last && !leaf ? Value::array() : Value::array({uid(2)});
        objects.push_back(dictionaries ? Value::dictionary({{"NS.keys", keys}, {"NS.objects", refs}, {"$class", uid(1)}})
                                       : Value::dictionary({{"NS.objects", refs}, {"$class", uid(1)}}));
    }
    if (leaf) objects.push_back(Value("leaf"));
    return archive(objects, 3);
}

}  // namespace

// Depth counts the arrays, dictionaries and coded objects inside each other,
// the same way when writing and reading: what is written at the limit reads
// back, one more is refused by both.
TEST(KeyedArchive, WhatIsWrittenAtTheDepthLimitReadsBackAndOneMoreIsRefusedByBoth) {
    const int limit = ArchiveLimits{}.maxDepth;
    for (bool dictionaries : {false, true}) {
        for (bool leaf : {false, true}) {
            SCOPED_TRACE(std::string(dictionaries ? "dictionaries" : "arrays") + (leaf ? " around a string" : ""));
            Value deepest = nested(limit, dictionaries, leaf);
            auto bytes = KeyedArchiver::archivedDataWithRootObject(deepest);
            ASSERT_TRUE(bytes);
            EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*bytes), deepest);
            EXPECT_EQ(KeyedUnarchiver::unarchivedValue(nestedArchive(limit, dictionaries, leaf)), deepest);

            EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(nested(limit + 1, dictionaries, leaf)));
            EXPECT_TRUE(KeyedUnarchiver::unarchivedValue(nestedArchive(limit + 1, dictionaries, leaf)).isNil());
        }
    }

    // Coded objects count as levels too, and their fields' values do not.
    auto chain = [](int levels) {
        auto top = std::make_shared<Sample>();
        top->name = Value("leaf");
        for (int i = 1; i < levels; ++i) {
            auto outer = std::make_shared<Sample>();
            outer->name = Value("leaf");
            outer->child = top;
            top = outer;
        }
        return std::static_pointer_cast<Coding>(top);
    };
    auto coded = KeyedArchiver::archivedDataWithRootObject(chain(limit));
    ASSERT_TRUE(coded);
    auto read = KeyedUnarchiver::unarchivedObjectOfClass<Sample>(*coded);
    int levels = 0;
    for (auto at = read; at; at = at->child) {
        EXPECT_EQ(at->name, Value("leaf"));
        ++levels;
    }
    EXPECT_EQ(levels, limit);
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(chain(limit + 1)));
}

namespace {

// A coded object that writes a value and then an array holding it, and
// reads them the other way round.
class ReadInAnotherOrder : public Coding {
public:
    Value inner, outer;

    std::string className() const override { return "ReadInAnotherOrder"; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(inner, "inner");
        coder.encodeObject(outer, "outer");
    }
    void initWithCoder(KeyedUnarchiver& coder) override {
        outer = coder.decodeObjectForKey("outer");
        inner = coder.decodeObjectForKey("inner");
    }
};

}  // namespace

// A value held in two places nests as deep as its deeper place, whichever
// place is written or read first.
TEST(KeyedArchive, WhatSeveralPlacesHoldNestsAsDeepAsItsDeepestPlace) {
    const int limit = ArchiveLimits{}.maxDepth;
    for (int levels : {limit - 2, limit - 1}) {
        SCOPED_TRACE(levels);
        // The object, the outer array, then the levels of the inner value.
        auto object = std::make_shared<ReadInAnotherOrder>();
        object->inner = nested(levels, false, true);
        object->outer = Value::array({object->inner});
        auto bytes = KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<Coding>(object));
        if (levels + 2 > limit) {
            EXPECT_FALSE(bytes);
            continue;
        }
        ASSERT_TRUE(bytes);
        auto read = KeyedUnarchiver::unarchivedObjectOfClass<ReadInAnotherOrder>(*bytes);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->inner, object->inner);
        EXPECT_TRUE(read->outer.at(0).isSame(read->inner));
    }

    // Plain values, written and read in one order: the second place counts.
    Value inner = nested(limit - 2, false, true);
    Value both = Value::array({inner, Value::array({inner})});
    auto bytes = KeyedArchiver::archivedDataWithRootObject(both);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(KeyedUnarchiver::unarchivedValue(*bytes), both);
    EXPECT_TRUE(KeyedUnarchiver::unarchivedValue(*bytes, ArchiveLimits{.maxDepth = limit - 1}).isNil());
    Value deeper = nested(limit - 1, false, true);
    EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(Value::array({deeper, Value::array({deeper})})));
}

TEST(KeyedArchive, PlistlibReadsAnArchiveAtTheDepthLimit) {
    ASSERT_TRUE(testsupport::Plistlib::available()) << "python3 with plistlib is a test dependency";
    testsupport::Plistlib peer("keyed-archive-depth");
    const int limit = ArchiveLimits{}.maxDepth;
    for (bool dictionaries : {false, true}) {
        auto bytes = KeyedArchiver::archivedDataWithRootObject(nested(limit, dictionaries, true));
        ASSERT_TRUE(bytes);
        peer.write(dictionaries ? "dictionaries" : "arrays", *bytes);
    }
    // Down the first reference of each container to the leaf.
    auto walked = peer.run(R"(import plistlib
for name in ("arrays", "dictionaries"):
    archive = plistlib.load(open(name, "rb"))
    objects = archive["$objects"]
    at, depth = objects[archive["$top"]["root"].data], 0
    while isinstance(at, dict):
        depth += 1
        at = objects[at["NS.objects"][0].data]
    print(name, depth, at)
)");
    EXPECT_EQ(walked.status, 0) << walked.output;
    EXPECT_EQ(walked.output, ns::format("arrays %d leaf\ndictionaries %d leaf\n", limit, limit));
}

// A list whose containers lie over one another can hold far more
// references than its bytes: 16 arrays over one run of a million references
// (16 million from 2.3 MB). An archive's list that holds more than its
// bytes can is refused before it is built; one that holds as many as its
// bytes (a million one-byte references to one UID, in an entry no object
// refers to) is read.
TEST(KeyedArchive, AListOfMoreReferencesThanItsBytesHoldIsRefusedUnbuilt) {
    const Bytes beyond = hostile::overlappingContainers(16, 1u << 20, true);
    Value read;
    const auto used = testsupport::allocationPeak([&] { read = KeyedUnarchiver::unarchivedValue(beyond); });
    EXPECT_TRUE(read.isNil());
    EXPECT_LT(used.peak, 16u << 20);
    EXPECT_EQ(KeyedUnarchiver::unarchivedValue(hostile::overlappingContainers(1, 1u << 20, true)), Value("value"));
    EXPECT_EQ(KeyedUnarchiver::unarchivedValue(hostile::archiveWithReferences(1u << 20)), Value("value"));
}

// An archive within the default limits but past the bound archives had on
// their references (16 for each object the limits allow, plus what
// decoding allows: 2.49 million): 32,041 coded records of 40 fields, 2.6
// million references in 5.8 MB. The archiver writes it and the unarchiver
// reads it back.
TEST(KeyedArchive, AnArchiveOfMillionsOfReferencesWithinTheLimitsReadsBack) {
    const auto tree = hostile::WideRecord::tree(4, 32040);
    ASSERT_EQ(tree->records(), 32041u);
    const auto bytes = KeyedArchiver::archivedDataWithRootObject(std::static_pointer_cast<Coding>(tree));
    ASSERT_TRUE(bytes);
    EXPECT_GT(bytes->size(), 5u << 20);
    const auto back = KeyedUnarchiver::unarchivedObjectOfClass<hostile::WideRecord>(*bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->sameTree(*tree));
}

// Entries of "$objects" that name one class record: the record is looked
// into once, however many keys it holds and however many entries name it,
// and entries that share one body decode once. 131,068 entries and 200,000
// keys were 26 billion comparisons; the test's time limit catches that.
TEST(KeyedArchive, AClassRecordIsLookedIntoOnce) {
    constexpr std::size_t kEntries = 131068;
    for (bool oneBody : {true, false}) {
        SCOPED_TRACE(oneBody);
        const Value read = KeyedUnarchiver::unarchivedValue(hostile::classLookup(kEntries, 200000, oneBody));
        ASSERT_EQ(read.count(), kEntries);
        EXPECT_EQ(read.at(kEntries - 1), Value("x"));
    }
}
