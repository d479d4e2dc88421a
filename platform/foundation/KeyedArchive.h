// Keyed archives: the platform's NSKeyedArchiver form, a binary property
// list of the shape
//
//   { "$archiver": "NSKeyedArchiver", "$version": 100000,
//     "$top": { "root": UID }, "$objects": [ "$null", ... ] }
//
// where every object lives once in "$objects" and refers to others by UID
// (index into "$objects"; UID 0 is nil). A container or coded object held in
// several places is written once and reads back as one object in all of
// them. Strings, numbers, booleans and data
// are stored as they are; dates, arrays, dictionaries and coded objects are
// dictionaries with a "$class" UID naming a class record
// { "$classname": ..., "$classes": [...] }.
//
//   class AppSettingItem : public ns::Coding { ... };   // className, encodeWithCoder, initWithCoder
//   auto bytes = ns::KeyedArchiver::archivedDataWithRootObject(item);
//   auto back = ns::KeyedUnarchiver::unarchivedObjectOfClass<AppSettingItem>(*bytes);
//   ns::Value dict = ns::KeyedUnarchiver::unarchivedValue(otherBytes);   // plain values only
//
// Archives come from other programs, so the reader is strict: only the
// Foundation classes of Value (strings, numbers, booleans, data, dates,
// arrays, dictionaries) and the coded classes a caller names may appear,
// within size limits; anything else, a dangling or cyclic reference or
// malformed bytes give no object (nil or nullptr), never an exception. The
// limits bound the list itself too: one whose containers hold more
// references than its bytes could (ArchiveLimits::maxReferences) is refused
// before it is built, and what any list builds follows its size
// (ReadBudget.h).
// A key that is missing, or holds a value of another kind than the one
// read, reads as nil, 0 or NO without refusing the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace ns {

class KeyedArchiver;
class KeyedUnarchiver;

// NSCoding: an object that writes itself into an archive under keys and
// reads itself back from them.
class Coding {
public:
    virtual ~Coding() = default;
    // The class name the archive records ("$classname").
    virtual std::string className() const = 0;
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
    // initWithCoder: on a fresh object.
    virtual void initWithCoder(KeyedUnarchiver& coder) = 0;
};

using CodingPtr = std::shared_ptr<Coding>;

// A coded class the reader may create, by name.
struct ArchiveClass {
    std::string name;
    std::function<CodingPtr()> make;

    template <class T>
    static ArchiveClass of() {
        return {T().className(), [] { return std::make_shared<T>(); }};
    }
};

struct ArchiveLimits {
    std::size_t maxBytes = 32u << 20;     // the archive's own size
    std::size_t maxObjects = 1u << 17;    // entries of "$objects"
    std::size_t maxDecoded = 1u << 18;    // objects decoded, each once however many places hold it, and
                                          // the references their arrays and dictionaries hold
    int maxDepth = 64;                    // arrays, dictionaries and coded objects inside each other
                                          // (a root array is 1; the values they hold add none), in
                                          // every place an object held in several places is held

    // The references the containers of an archive's list of `bytes` may
    // hold together, its references `width` bytes wide (each container
    // counted once, a dictionary's entry as two): as many as its bytes
    // hold, all that a list whose containers do not overlap can hold. An
    // archiver writes each container in bytes of its own, so every archive
    // within the other limits is within this one.
    static std::size_t maxReferences(std::size_t bytes, unsigned width) { return bytes / width; }
};

class KeyedArchiver {
public:
    // archivedDataWithRootObject: nullopt when the value holds what an
    // archive cannot (nil at the root or in an array or dictionary, the null
    // object, a date that is not a number, a coded object without a class
    // name, an object that holds itself) or what the reader's default
    // limits refuse (nesting, objects, what there is to decode, bytes).
    static std::optional<Bytes> archivedDataWithRootObject(const Value& root);
    static std::optional<Bytes> archivedDataWithRootObject(const CodingPtr& root);

    // For encodeWithCoder:. A nil value (or an empty pointer) is stored as
    // the nil reference.
    void encodeObject(const Value& value, const std::string& key);
    void encodeObject(const CodingPtr& object, const std::string& key);
    void encodeBool(bool value, const std::string& key);
    void encodeInt32(std::int32_t value, const std::string& key);
    void encodeInt64(std::int64_t value, const std::string& key);
    void encodeInteger(long long value, const std::string& key) { encodeInt64(value, key); }

    KeyedArchiver();
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

private:
    struct State;
    std::unique_ptr<State> s_;
};

class KeyedUnarchiver {
public:
    // The root when it is a plain value (a coded object at the root gives nil).
    static Value unarchivedValue(const Bytes& data, const ArchiveLimits& limits = {});
    // The root when it is a coded object of one of `classes`.
    static CodingPtr unarchivedObject(const Bytes& data, const std::vector<ArchiveClass>& classes,
                                      const ArchiveLimits& limits = {});
    template <class T>
    static std::shared_ptr<T> unarchivedObjectOfClass(const Bytes& data, const ArchiveLimits& limits = {}) {
        return std::dynamic_pointer_cast<T>(unarchivedObject(data, {ArchiveClass::of<T>()}, limits));
    }

    // For initWithCoder:, reading the keys of the object being decoded.
    bool containsValueForKey(const std::string& key) const;
    // A plain value; nil when missing, nil or a coded object.
    Value decodeObjectForKey(const std::string& key);
    // A coded object of an allowed class; nullptr when missing or plain.
    CodingPtr decodeCodedObjectForKey(const std::string& key);
    // A boolean, or an integer (non-zero is YES); NO for anything else.
    bool decodeBoolForKey(const std::string& key);
    // An integer within 32 bits (signed or unsigned, kept as its low 32
    // bits); 0 for anything else.
    std::int32_t decodeInt32ForKey(const std::string& key);
    // An integer; 0 for anything else.
    std::int64_t decodeInt64ForKey(const std::string& key);
    long long decodeIntegerForKey(const std::string& key) { return decodeInt64ForKey(key); }

    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

private:
    struct State;
    explicit KeyedUnarchiver(State& state) : s_(state) {}
    static CodingPtr decodeCoded(State& s, std::size_t index);

    State& s_;
};

}  // namespace ns
