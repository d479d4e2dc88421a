// The dynamic value that carries everything the program keeps as a Foundation
// object: parsed JSON, property lists, user defaults, column values.
//
// A Value is a small handle. Scalars (numbers, strings, data, dates) behave as
// values; arrays and dictionaries are shared and mutable: copying a Value that
// holds an array copies the reference, so two holders see one array, as two
// Objective-C pointers to one NSMutableArray would.
//
// Typed reads never throw: a missing key, an index out of range or a wrong
// type reads as nil, 0 or empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/SharedText.h"

namespace ns {

using Bytes = std::vector<std::uint8_t>;

// Seconds since 1970-01-01 00:00:00 UTC.
struct Date {
    double seconds = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

// Seconds from 1970-01-01 to 2001-01-01, the reference date from which
// property lists and keyed archives count their dates.
inline constexpr double kReferenceDateSince1970 = 978307200.0;

// The most text description() gives of a container, and what ends a text
// cut there.
inline constexpr std::size_t kDescriptionMaxBytes = 32u << 20;
inline constexpr std::string_view kDescriptionTruncated = "\n... (description truncated at 32 MiB)";

class Value;
class DictionaryBuilder;
class TextIndex;
struct ArrayStorage;
struct DictionaryStorage;

class Value {
public:
    enum class Kind { Nil, Null, Bool, Integer, Double, String, Data, Date, Array, Dictionary };

    Value() = default;  // nil
    Value(std::nullptr_t) {}
    Value(bool b);
    Value(int i);
    Value(long i);
    Value(long long i);
    Value(unsigned u);
    Value(unsigned long u);
    Value(unsigned long long u);
    Value(double d);
    Value(const char* s);  // nullptr gives nil
    Value(std::string s);
    Value(std::string_view s);
    Value(Bytes data);
    Value(Date date);

    static Value null();  // NSNull
    static Value array();
    static Value array(std::initializer_list<Value> items);
    static Value array(std::vector<Value> items);
    static Value dictionary();
    static Value dictionary(std::initializer_list<std::pair<std::string, Value>> entries);
    // Takes the entries as they are, in order; their keys must be distinct
    // (for readers that have already checked, such as the JSON parser).
    static Value dictionaryWithUniqueEntries(std::vector<std::pair<std::string, Value>> entries);
    // The same with the index the reader made of them, each key at its
    // place (one that is empty, or of other entries, is made again).
    static Value dictionaryWithUniqueEntries(std::vector<std::pair<std::string, Value>> entries, TextIndex&& index);
    // Takes the entries in order; a key that repeats keeps its last value,
    // at the place of its first, as setting them in turn would (for readers
    // of lists that may repeat a key). Linear in the entries.
    static Value dictionaryWithEntries(std::vector<std::pair<std::string, Value>> entries);
    // What the builder gathered (DictionaryBuilder::finish).
    static Value dictionary(DictionaryBuilder&& builder);
    // A date as property lists and archives hold it: seconds since the
    // reference date. The value keeps that number as it is, so a date read
    // from one list is written to the next unchanged (seconds since 1970, a
    // double too, cannot hold every such number).
    static Value dateSinceReferenceDate(double interval);

    Kind kind() const { return kind_; }
    bool isNil() const { return kind_ == Kind::Nil; }
    bool isNull() const { return kind_ == Kind::Null; }
    // nil or NSNull: "no value" for most readers.
    bool isNone() const { return kind_ == Kind::Nil || kind_ == Kind::Null; }
    bool isBool() const { return kind_ == Kind::Bool; }
    bool isInteger() const { return kind_ == Kind::Integer; }
    bool isDouble() const { return kind_ == Kind::Double; }
    bool isNumber() const { return kind_ == Kind::Bool || kind_ == Kind::Integer || kind_ == Kind::Double; }
    bool isString() const { return kind_ == Kind::String; }
    bool isData() const { return kind_ == Kind::Data; }
    bool isDate() const { return kind_ == Kind::Date; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isDictionary() const { return kind_ == Kind::Dictionary; }
    explicit operator bool() const { return kind_ != Kind::Nil; }

    // Integers above INT64_MAX keep their unsigned value.
    bool isUnsigned() const { return kind_ == Kind::Integer && unsigned_; }

    // ---- Typed reads (never throw) ----
    // The string itself, or "" for anything else.
    const std::string& str() const;
    // Text of a string or a number (numbers as "%@" prints them), else "".
    std::string text() const;
    // The same text, a string's shared with this value rather than copied.
    SharedText sharedText() const;
    // Numbers as numbers; strings by Foundation's rules (leading number, 0 when none).
    long long integerValue() const;
    int intValue() const { return static_cast<int>(integerValue()); }
    unsigned long long unsignedValue() const;
    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    // Numbers: non-zero; strings: leading "Y", "y", "T", "t" or a non-zero number.
    bool boolValue() const;
    const Bytes& data() const;  // empty for non-data
    Date date() const;          // epoch 0 for non-dates
    // A date's seconds since the reference date (exactly as made by
    // dateSinceReferenceDate); 0 for non-dates.
    double timeIntervalSinceReferenceDate() const;

    // ---- Arrays ----
    std::size_t count() const;  // elements of an array, entries of a dictionary, else 0
    Value at(std::size_t index) const;  // nil when out of range or not an array
    Value last() const;
    void push(Value v);                 // addObject:
    void append(const Value& array);    // addObjectsFromArray:
    void insert(std::size_t index, Value v);
    void removeAt(std::size_t index);
    void removeLast();
    void removeAll();                   // arrays and dictionaries
    void replaceAt(std::size_t index, Value v);
    // removeObject: by identity (same container or equal scalar).
    void removeObject(const Value& v);
    bool containsObject(const Value& v) const;  // by identity
    const std::vector<Value>& items() const;    // empty for non-arrays

    // ---- Dictionaries ----
    Value operator[](std::string_view key) const;  // nil when missing or not a dictionary
    Value get(std::string_view key) const { return (*this)[key]; }
    bool has(std::string_view key) const;
    void set(std::string key, Value v);  // setObject:forKey:; nil removes
    void remove(std::string_view key);
    std::vector<std::string> keys() const;  // in insertion order
    const std::vector<std::pair<std::string, Value>>& entries() const;

    // Deep copy of containers (mutableCopy of the whole tree): the copy
    // shares no container with this value. A container held in several
    // places is copied once and held by the same places of the copy, so the
    // work follows the distinct containers, not the expanded tree.
    Value deepCopy() const;

    // Same object: containers by identity, scalars by equality.
    bool isSame(const Value& other) const;
    // isEqual: deep equality; integers and doubles compare by value. Each
    // pair of containers is compared once, however often it is held.
    bool operator==(const Value& other) const;

    // The text Foundation's "%@" gives for this object. A container's text
    // stops once it passes kDescriptionMaxBytes (one held in many places is
    // printed in each): it is cut there and ends in kDescriptionTruncated.
    std::string description() const;

private:
    struct CopiedContainers;
    struct ComparedContainers;
    Value deepCopy(std::unique_ptr<CopiedContainers>& copied, bool root) const;
    bool equals(const Value& other, std::unique_ptr<ComparedContainers>& compared) const;
    bool containersEqual(const Value& other, std::unique_ptr<ComparedContainers>& compared, bool root) const;
    void setKindArray();
    ArrayStorage* arr() const;
    DictionaryStorage* dict() const;

    Kind kind_ = Kind::Nil;
    bool unsigned_ = false;
    union {
        long long i_ = 0;  // booleans (0 or 1) and integers
        double d_;         // doubles and dates (seconds since 1970)
    };
    // String, data, array or dictionary storage; for a date made by
    // dateSinceReferenceDate, its seconds since the reference date (a double).
    std::shared_ptr<void> ref_;
};

struct ArrayStorage {
    std::vector<Value> items;
};

class TextIndex;

// A dictionary's entries in the order their keys came. A dictionary of more
// than kIndexedAbove entries finds a key through an index of their hashes
// (TextIndex.h), in constant time on average; a smaller one compares the
// keys in turn, which costs less at that size and keeps it as small as it
// was.
struct DictionaryStorage {
    static constexpr std::size_t kIndexedAbove = 16;

    DictionaryStorage();
    DictionaryStorage(const DictionaryStorage&) = delete;
    DictionaryStorage& operator=(const DictionaryStorage&) = delete;
    ~DictionaryStorage();

    std::vector<std::pair<std::string, Value>> entries;
    std::unique_ptr<TextIndex> index;  // beyond kIndexedAbove entries

    // The place of the key in entries, or -1.
    std::ptrdiff_t find(std::string_view key) const;
    // Replaces the value of a key held, else adds the entry at the end.
    void set(std::string key, Value v);
    void erase(std::size_t place);
    void clear();
    // Takes the entries in order; of a key that repeats, the first place
    // keeps the last value and the others go, as setting them in turn would
    // leave them. Without `keysMayRepeat` the keys are distinct, and only a
    // dictionary large enough to be indexed is looked through for repeats
    // (its index names one place for each key).
    void adopt(std::vector<std::pair<std::string, Value>> taken, bool keysMayRepeat);
};

// The entries of a dictionary as a reader meets them, one by one, a key that
// repeats keeping its last value at the place of its first (as setting them
// in turn would), in time and memory that follow the entries kept: repeats
// are merged as they come, a batch at a time, and a large dictionary's
// index is made as it grows and handed over whole.
//
//   DictionaryBuilder entries;
//   while (...) entries.add(std::move(key), std::move(value));
//   Value dict = Value::dictionary(std::move(entries));
class DictionaryBuilder {
public:
    DictionaryBuilder();
    DictionaryBuilder(DictionaryBuilder&&) noexcept;
    DictionaryBuilder& operator=(DictionaryBuilder&&) noexcept;
    ~DictionaryBuilder();

    void add(std::string key, Value v);
    // The entries held now: at most a batch more than the distinct keys.
    std::size_t size() const { return entries_.size(); }

private:
    friend class Value;
    // Merges the entries not yet in the index into it.
    void indexPending();

    std::vector<std::pair<std::string, Value>> entries_;
    std::unique_ptr<TextIndex> index_;  // of entries_[0, indexed_), made once a batch is pending
    std::size_t indexed_ = 0;
};

// Foundation's leading-number rules for -intValue, -doubleValue, -boolValue.
long long parseLeadingInteger(std::string_view s);
double parseLeadingDouble(std::string_view s);
bool parseBoolText(std::string_view s);

// Shortest text that reads back as the same double ("1.5", "3", "0.1").
std::string formatDouble(double d);

}  // namespace ns
