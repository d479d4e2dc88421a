#include "foundation/KeyedArchive.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "foundation/PropertyList.h"
#include "foundation/PropertyListCodec.h"

namespace ns {

namespace {

constexpr long long kArchiveVersion = 100000;
constexpr const char* kArchiverName = "NSKeyedArchiver";
constexpr const char* kNullObject = "$null";
constexpr const char* kUIDKey = kPropertyListUIDKey;

Value uid(std::size_t index) { return Value::dictionary({{kUIDKey, Value(static_cast<long long>(index))}}); }

// The index a UID value names; nullopt for anything that is not a UID.
std::optional<std::size_t> uidIndex(const Value& v) {
    if (!v.isDictionary() || v.count() != 1) return std::nullopt;
    Value n = v[kUIDKey];
    if (!n.isInteger() || n.isUnsigned() || n.integerValue() < 0) return std::nullopt;
    return static_cast<std::size_t>(n.integerValue());
}

bool isArrayClass(const std::string& name) { return name == "NSArray" || name == "NSMutableArray"; }
bool isDictionaryClass(const std::string& name) { return name == "NSDictionary" || name == "NSMutableDictionary"; }
bool isStringClass(const std::string& name) { return name == "NSString" || name == "NSMutableString"; }
bool isDataClass(const std::string& name) { return name == "NSData" || name == "NSMutableData"; }

// How deep an object lies, as the writer and the reader both count it: the
// arrays, dictionaries and coded objects on the way from the root, the
// object itself included (a root array is at 1); strings, numbers, data and
// dates add nothing. An object held in several places is written and read
// once, in whatever place each meets it first, and its levels are checked
// again in every other place: so the writer refuses exactly what the reader
// would, whatever order a coded object's fields are written and read in.
class Nesting {
public:
    // One level further down; false (and nothing entered) past the limit.
    bool enter(int limit) {
        if (depth_ >= limit) return false;
        ++depth_;
        deepest_ = std::max(deepest_, depth_);
        return true;
    }
    void leave() { --depth_; }

    // Starts measuring the levels an object met here reaches; what it
    // answers goes to reached().
    int measure() { return std::exchange(deepest_, depth_); }
    // The levels below this one that the object measured reaches (0 for a
    // string, 1 for an empty array).
    int reached(int outer) {
        const int below = deepest_ - depth_;
        deepest_ = std::max(outer, deepest_);
        return below;
    }
    // An object measured before, met again here; false when it would reach
    // past the limit.
    bool again(int below, int limit) {
        if (depth_ + below > limit) return false;
        deepest_ = std::max(deepest_, depth_ + below);
        return true;
    }

private:
    int depth_ = 0;
    int deepest_ = 0;  // the deepest level reached since the last measure()
};

}  // namespace

// ---- Writing ----

// The archiver refuses what the reader's default limits would: more objects
// than it takes, more bytes, nesting deeper, more to decode. It counts what
// the reader counts, each object once and the references its arrays and
// dictionaries hold, over every object it writes (the reader counts only
// those it reaches).

struct KeyedArchiver::State {
    std::vector<Value> objects{Value(kNullObject)};
    std::size_t references = 0;  // held by the arrays and dictionaries written
    plistcodec::KeyCopies<std::size_t> keyCopies;  // of the keys' objects, as the reader counts them
    // Strings, numbers, data and dates by value: each distinct one is one
    // object however many places hold it, as the reader gives one value to
    // every place of an object. A string or data is looked for by its
    // storage first (the object written holds that storage), so a long one
    // held in many places is keyed once.
    std::unordered_map<std::string, std::size_t> scalars;
    std::unordered_map<const void*, std::size_t> storages;
    std::unordered_map<std::string, std::size_t> classes;
    // Containers and coded objects by identity, so that one held in several
    // places is written once: where it is (kOnPath while its contents are
    // written), and the levels it reaches below the place it is met.
    struct Written {
        std::size_t at = kOnPath;
        int below = 0;
    };
    std::unordered_map<const void*, Written> written;
    static constexpr std::size_t kOnPath = 0;
    // What `written` names stays alive until the archive is done: a value or
    // coded object made on the spot and gone must not leave its address to
    // the next one.
    std::vector<Value> heldValues;
    std::vector<CodingPtr> heldObjects;
    std::vector<Value> current;  // the dictionaries of the coded objects being written
    Nesting nesting;
    bool failed = false;

    std::size_t reserve() {
        objects.emplace_back();
        return objects.size() - 1;
    }

    // True (and failure) once "$objects" holds more than the reader takes,
    // or more than it decodes.
    bool tooMany() {
        const ArchiveLimits limits;
        if (objects.size() > limits.maxObjects || objects.size() + references > limits.maxDecoded) failed = true;
        return failed;
    }

    // The index of an object already written, or nullopt (and the object
    // marked as being written) for a new one; a cycle fails, and so does an
    // object that would nest too deep here.
    std::optional<std::size_t> seen(const void* identity) {
        auto [it, fresh] = written.try_emplace(identity);
        if (fresh) return std::nullopt;
        if (it->second.at == kOnPath) failed = true;  // an object that holds itself
        if (!nesting.again(it->second.below, ArchiveLimits{}.maxDepth)) failed = true;
        return it->second.at;
    }

    // Keeps where an object was written and the levels it reached; `outer`
    // is what nesting.measure() gave before it was entered.
    void wrote(const void* identity, std::size_t at, int outer) {
        written[identity] = {at, nesting.reached(outer)};
    }

    std::size_t classRecord(const std::string& name) {
        auto it = classes.find(name);
        if (it != classes.end()) return it->second;
        std::size_t at = objects.size();
        objects.push_back(Value::dictionary(
            {{"$classes", Value::array({Value(name), Value("NSObject")})}, {"$classname", Value(name)}}));
        classes.emplace(name, at);
        return at;
    }

    // One level further down for a container or coded object; failure past
    // the depth the reader takes.
    bool enter() {
        if (!nesting.enter(ArchiveLimits{}.maxDepth)) failed = true;
        return !failed;
    }

    // The object of a string, number, data or date, written the first time.
    std::size_t scalar(const Value& v) {
        const void* storage = nullptr;
        if (v.isString()) storage = &v.str();
        if (v.isData()) storage = &v.data();
        if (storage) {
            if (auto known = storages.find(storage); known != storages.end()) return known->second;
        }
        auto [it, fresh] = scalars.try_emplace(plistcodec::scalarKey(v));
        if (!fresh) return it->second;
        const std::size_t at = it->second = reserve();
        if (v.isDate()) {
            objects[at] = Value::dictionary({{"NS.time", Value(v.timeIntervalSinceReferenceDate())},
                                             {"$class", uid(classRecord("NSDate"))}});
        } else {
            objects[at] = v;
            if (storage) storages.emplace(storage, at);
        }
        return at;
    }

    std::size_t encode(const Value& v) {
        if (tooMany()) return 0;
        switch (v.kind()) {
            case Value::Kind::Nil: return 0;
            case Value::Kind::Null: failed = true; return 0;
            case Value::Kind::Date:
                // The reader takes no date that is not a number.
                if (!std::isfinite(v.timeIntervalSinceReferenceDate())) {
                    failed = true;
                    return 0;
                }
                return scalar(v);
            case Value::Kind::String:
            case Value::Kind::Bool:
            case Value::Kind::Integer:
            case Value::Kind::Double:
            case Value::Kind::Data: return scalar(v);
            case Value::Kind::Array: {
                if (auto done = seen(&v.items())) return *done;
                heldValues.push_back(v);
                const int outer = nesting.measure();
                if (!enter()) return 0;
                std::size_t at = reserve();
                references += v.count();
                Value refs = Value::array();
                for (const auto& item : v.items()) {
                    // nil has no place in an array (the reader refuses it).
                    if (item.isNil()) failed = true;
                    refs.push(uid(encode(item)));
                }
                nesting.leave();
                objects[at] = Value::dictionary({{"NS.objects", refs}, {"$class", uid(classRecord("NSArray"))}});
                wrote(&v.items(), at, outer);
                return at;
            }
            case Value::Kind::Dictionary: {
                if (auto done = seen(&v.entries())) return *done;
                heldValues.push_back(v);
                const int outer = nesting.measure();
                if (!enter()) return 0;
                std::size_t at = reserve();
                references += 2 * v.count();
                Value keys = Value::array(), values = Value::array();
                for (const auto& [key, item] : v.entries()) {
                    if (item.isNil()) failed = true;
                    const std::size_t keyAt = encode(Value(key));
                    if (!keyCopies.hold(keyAt, key.size())) failed = true;
                    keys.push(uid(keyAt));
                    values.push(uid(encode(item)));
                }
                nesting.leave();
                objects[at] = Value::dictionary(
                    {{"NS.keys", keys}, {"NS.objects", values}, {"$class", uid(classRecord("NSDictionary"))}});
                wrote(&v.entries(), at, outer);
                return at;
            }
        }
        failed = true;
        return 0;
    }

    std::size_t encode(const Coding& object, KeyedArchiver& coder) {
        if (tooMany()) return 0;
        if (auto done = seen(&object)) return *done;
        if (object.className().empty()) {
            failed = true;  // a class record names its class
            return 0;
        }
        const int outer = nesting.measure();
        if (!enter()) return 0;
        std::size_t at = reserve();
        current.push_back(Value::dictionary());
        object.encodeWithCoder(coder);
        nesting.leave();
        Value fields = current.back();
        current.pop_back();
        fields.set("$class", uid(classRecord(object.className())));
        objects[at] = fields;
        wrote(&object, at, outer);
        return at;
    }

    void put(const std::string& key, Value v) {
        if (current.empty()) {
            failed = true;  // a key written outside encodeWithCoder:
            return;
        }
        current.back().set(key, std::move(v));
    }

    // The list written lays each container in bytes of its own, so its
    // references are within ArchiveLimits::maxReferences of its size.
    std::optional<Bytes> finish(std::size_t root) {
        if (tooMany()) return std::nullopt;
        Value archive = Value::dictionary({
            {"$version", Value(kArchiveVersion)},
            {"$archiver", Value(kArchiverName)},
            {"$top", Value::dictionary({{"root", uid(root)}})},
            {"$objects", Value::array(std::move(objects))},
        });
        ErrorPtr error;
        auto bytes = PropertyListSerialization::dataWithPropertyList(archive, PropertyListFormat::Binary, &error);
        if (bytes && bytes->size() > ArchiveLimits{}.maxBytes) return std::nullopt;
        return bytes;
    }
};

KeyedArchiver::KeyedArchiver() : s_(std::make_unique<State>()) {}
KeyedArchiver::~KeyedArchiver() = default;

std::optional<Bytes> KeyedArchiver::archivedDataWithRootObject(const Value& root) {
    if (root.isNil()) return std::nullopt;
    KeyedArchiver coder;
    std::size_t at = coder.s_->encode(root);
    return coder.s_->finish(at);
}

std::optional<Bytes> KeyedArchiver::archivedDataWithRootObject(const CodingPtr& root) {
    if (!root) return std::nullopt;
    KeyedArchiver coder;
    std::size_t at = coder.s_->encode(*root, coder);
    return coder.s_->finish(at);
}

void KeyedArchiver::encodeObject(const Value& value, const std::string& key) {
    std::size_t at = s_->encode(value);
    s_->put(key, uid(at));
}

void KeyedArchiver::encodeObject(const CodingPtr& object, const std::string& key) {
    if (object) s_->heldObjects.push_back(object);
    std::size_t at = object ? s_->encode(*object, *this) : 0;
    s_->put(key, uid(at));
}

void KeyedArchiver::encodeBool(bool value, const std::string& key) { s_->put(key, Value(value)); }
void KeyedArchiver::encodeInt32(std::int32_t value, const std::string& key) { s_->put(key, Value(value)); }
void KeyedArchiver::encodeInt64(std::int64_t value, const std::string& key) {
    s_->put(key, Value(static_cast<long long>(value)));
}

// ---- Reading ----

struct KeyedUnarchiver::State {
    const std::vector<Value>& objects;
    std::unordered_map<std::string, const ArchiveClass*> classes;
    ArchiveLimits limits;
    std::size_t decoded = 0;            // objects decoded, each once, and the references they hold
    std::vector<std::uint8_t> counted;  // objects counted in `decoded`
    std::vector<std::uint8_t> onPath;   // objects being decoded, against cycles
    std::vector<Value> current;         // the fields of the coded objects being read
    // The keys the dictionaries decoded hold (strings kept in `plains`),
    // counted as a property list's reader counts them, to the same bound.
    plistcodec::KeyCopies<std::string_view> keyCopies;
    Nesting nesting;
    bool failed = false;

    // What each object decoded to, as a plain value and as a coded object,
    // so that an object referred to from several places is one value (or
    // coded object) in all of them, and the levels it reaches below the
    // place it is met.
    template <class T>
    struct Decoded {
        bool done = false;
        T made{};
        int below = 0;
    };
    std::vector<Decoded<Value>> plains;
    std::vector<Decoded<CodingPtr>> codeds;
    // Entries of "$objects" that are one dictionary (a binary list gives
    // one to every object laid over the same body) are one object: each
    // entry's first entry with its dictionary, 0 until asked.
    std::vector<std::uint32_t> firsts;
    std::unordered_map<const void*, std::uint32_t> bodies;
    // The class names of the class records asked for ("" for one that is
    // not a proper record), each record looked into once however many
    // objects name it.
    std::unordered_map<std::size_t, std::string> classNames;

    State(const std::vector<Value>& o, const std::vector<ArchiveClass>& allowed, const ArchiveLimits& l)
        : objects(o), limits(l), counted(o.size(), 0), onPath(o.size(), 0), plains(o.size()), codeds(o.size()),
          firsts(o.size(), 0) {
        for (const auto& c : allowed) classes.emplace(c.name, &c);
    }

    // The entry that stands for every entry of the same dictionary.
    std::size_t first(std::size_t index) {
        if (index == 0 || index >= objects.size()) return index;
        if (firsts[index] == 0) {
            const Value& object = objects[index];
            const auto self = static_cast<std::uint32_t>(index);
            firsts[index] = object.isDictionary() ? bodies.try_emplace(&object.entries(), self).first->second : self;
        }
        return firsts[index];
    }

    // An object decoded before: its levels checked here, it given back.
    template <class T>
    std::optional<T> again(std::vector<Decoded<T>>& memo, std::size_t index) {
        if (failed || index >= memo.size() || !memo[index].done) return std::nullopt;
        if (!nesting.again(memo[index].below, limits.maxDepth)) return fail(), T{};
        return memo[index].made;
    }
    // Keeps what an object decoded to; `outer` is what nesting.measure()
    // gave when it began.
    template <class T>
    void keep(std::vector<Decoded<T>>& memo, std::size_t index, int outer, const T& made) {
        const int below = nesting.reached(outer);
        if (!failed) memo[index] = {true, made, below};
    }

    bool fail() {
        failed = true;
        return false;
    }

    // Counts the object, the first time it is decoded; it is on the path.
    bool enter(std::size_t index) {
        if (failed) return false;
        if (index >= objects.size() || onPath[index]) return fail();
        if (!counted[index]) {
            counted[index] = 1;
            if (++decoded > limits.maxDecoded) return fail();
        }
        onPath[index] = 1;
        return true;
    }
    void leave(std::size_t index) { onPath[index] = 0; }
    // Counts the references of an array or dictionary being decoded (once:
    // its object is decoded once, also when several entries of "$objects"
    // are its dictionary).
    bool follow(std::size_t references) {
        decoded += references;
        return decoded <= limits.maxDecoded || fail();
    }
    // One level further down for a container or coded object.
    bool deeper() { return nesting.enter(limits.maxDepth) || fail(); }

    // The class name of an object dictionary; "" (and failure) when its
    // "$class" is not a proper class record.
    std::string classOf(const Value& object) {
        auto ref = uidIndex(object["$class"]);
        if (!ref || *ref == 0 || *ref >= objects.size()) {
            fail();
            return {};
        }
        auto [known, fresh] = classNames.try_emplace(first(*ref));
        if (fresh) {
            const Value& record = objects[*ref];
            Value name = record["$classname"];
            if (record.isDictionary() && name.isString()) known->second = name.str();
        }
        if (known->second.empty()) fail();
        return known->second;
    }

    bool isCoded(const std::string& name) const { return classes.count(name) != 0; }

    // The plain value at a reference; nil for the nil reference, for a coded
    // object of an allowed class, and on failure (which is remembered).
    Value plainAt(const Value& ref) {
        auto index = uidIndex(ref);
        if (!index) {
            fail();
            return {};
        }
        return plain(*index);
    }

    Value plain(std::size_t index) {
        if (index == 0) return {};
        index = first(index);
        if (auto done = again(plains, index)) return *done;
        const int outer = nesting.measure();
        if (!enter(index)) return {};
        Value out = plainBody(objects[index]);
        leave(index);
        keep(plains, index, outer, out);
        return failed ? Value() : out;
    }

    Value plainBody(const Value& object) {
        switch (object.kind()) {
            case Value::Kind::String:
            case Value::Kind::Bool:
            case Value::Kind::Integer:
            case Value::Kind::Double:
            case Value::Kind::Data:
            case Value::Kind::Date: return object;
            case Value::Kind::Dictionary: break;
            default: fail(); return {};
        }
        std::string name = classOf(object);
        if (failed) return {};
        if (name == "NSDate") {
            Value t = object["NS.time"];
            if (!t.isInteger() && !t.isDouble()) return fail(), Value();
            if (!std::isfinite(t.doubleValue())) return fail(), Value();
            return Value::dateSinceReferenceDate(t.doubleValue());
        }
        if (isStringClass(name)) {
            Value s = object["NS.string"];
            return s.isString() ? s : (fail(), Value());
        }
        if (isDataClass(name)) {
            Value d = object["NS.data"];
            return d.isData() ? d : (fail(), Value());
        }
        if (isArrayClass(name)) {
            Value refs = object["NS.objects"];
            if (!refs.isArray() || !deeper() || !follow(refs.count())) return fail(), Value();
            std::vector<Value> items;
            items.reserve(refs.count());
            for (const auto& r : refs.items()) {
                Value item = plainAt(r);
                if (failed) return {};
                // A nil or coded element has no place in an array of values.
                if (item.isNil()) return fail(), Value();
                items.push_back(std::move(item));
            }
            nesting.leave();
            return Value::array(std::move(items));
        }
        if (isDictionaryClass(name)) {
            Value keys = object["NS.keys"], values = object["NS.objects"];
            if (!keys.isArray() || !values.isArray() || keys.count() != values.count() || !deeper() ||
                !follow(2 * keys.count()))
                return fail(), Value();
            std::vector<std::pair<std::string, Value>> entries;
            entries.reserve(keys.count());
            for (std::size_t i = 0; i < keys.count(); ++i) {
                Value key = plainAt(keys.items()[i]);
                if (failed) return {};
                if (!key.isString() || !keyCopies.hold(key.str(), key.str().size())) return fail(), Value();
                Value item = plainAt(values.items()[i]);
                if (failed) return {};
                if (item.isNil()) return fail(), Value();
                entries.emplace_back(key.str(), std::move(item));
            }
            nesting.leave();
            // A later key replaces an earlier one, at the earlier one's place.
            return Value::dictionaryWithEntries(std::move(entries));
        }
        if (!isCoded(name)) fail();  // a class outside the allow-list refuses the archive
        return {};
    }

    // The raw entry under a key of the coded object being read.
    Value field(const std::string& key) const {
        if (current.empty()) return {};
        return current.back()[key];
    }
};

CodingPtr KeyedUnarchiver::decodeCoded(State& s, std::size_t index) {
    if (index == 0 || index >= s.objects.size()) return nullptr;
    index = s.first(index);
    if (auto done = s.again(s.codeds, index)) return *done;
    const Value& object = s.objects[index];
    if (!object.isDictionary()) return nullptr;
    std::string name = s.classOf(object);
    if (s.failed) return nullptr;
    auto it = s.classes.find(name);
    if (it == s.classes.end()) {
        // A plain value, or a class outside the allow-list.
        if (!isArrayClass(name) && !isDictionaryClass(name) && !isStringClass(name) && !isDataClass(name) &&
            name != "NSDate")
            s.fail();
        return nullptr;
    }
    const int outer = s.nesting.measure();
    if (!s.enter(index) || !s.deeper()) return nullptr;
    CodingPtr made = it->second->make ? it->second->make() : nullptr;
    if (made) {
        s.current.push_back(object);
        KeyedUnarchiver coder(s);
        made->initWithCoder(coder);
        s.current.pop_back();
    }
    s.nesting.leave();
    s.leave(index);
    s.keep(s.codeds, index, outer, made);
    return s.failed ? nullptr : made;
}

namespace {

// The parsed archive, or nil when its outer shape is wrong.
Value readArchive(const Bytes& data, const ArchiveLimits& limits) {
    if (data.empty() || data.size() > limits.maxBytes) return {};
    ErrorPtr error;
    Value archive = plistcodec::read(data, &ArchiveLimits::maxReferences, nullptr, &error);
    if (!archive.isDictionary()) return {};
    Value archiver = archive["$archiver"], version = archive["$version"], objects = archive["$objects"],
          top = archive["$top"];
    if (!archiver.isString() || archiver.str() != kArchiverName) return {};
    if (!version.isInteger() || version.integerValue() != kArchiveVersion) return {};
    if (!objects.isArray() || objects.count() == 0 || objects.count() > limits.maxObjects) return {};
    if (!objects.at(0).isString() || objects.at(0).str() != kNullObject) return {};
    if (!top.isDictionary() || !uidIndex(top["root"])) return {};
    return archive;
}

}  // namespace

Value KeyedUnarchiver::unarchivedValue(const Bytes& data, const ArchiveLimits& limits) {
    Value archive = readArchive(data, limits);
    if (!archive) return {};
    Value objects = archive["$objects"];
    State s(objects.items(), {}, limits);
    Value root = s.plainAt(archive["$top"]["root"]);
    return s.failed ? Value() : root;
}

CodingPtr KeyedUnarchiver::unarchivedObject(const Bytes& data, const std::vector<ArchiveClass>& classes,
                                            const ArchiveLimits& limits) {
    Value archive = readArchive(data, limits);
    if (!archive) return nullptr;
    Value objects = archive["$objects"];
    State s(objects.items(), classes, limits);
    CodingPtr root = decodeCoded(s, *uidIndex(archive["$top"]["root"]));
    return s.failed ? nullptr : root;
}

bool KeyedUnarchiver::containsValueForKey(const std::string& key) const {
    return !s_.current.empty() && s_.current.back().has(key);
}

Value KeyedUnarchiver::decodeObjectForKey(const std::string& key) {
    Value ref = s_.field(key);
    if (ref.isNil()) return {};
    auto index = uidIndex(ref);
    if (!index) return {};  // an inline value where an object belongs: read as missing
    return s_.plain(*index);
}

CodingPtr KeyedUnarchiver::decodeCodedObjectForKey(const std::string& key) {
    auto index = uidIndex(s_.field(key));
    if (!index) return nullptr;
    return decodeCoded(s_, *index);
}

bool KeyedUnarchiver::decodeBoolForKey(const std::string& key) {
    Value v = s_.field(key);
    if (v.isBool() || v.isInteger()) return v.integerValue() != 0 || v.isUnsigned();
    return false;
}

std::int32_t KeyedUnarchiver::decodeInt32ForKey(const std::string& key) {
    Value v = s_.field(key);
    if (!v.isInteger() || v.isUnsigned()) return 0;
    long long n = v.integerValue();
    if (n < INT32_MIN || n > static_cast<long long>(UINT32_MAX)) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

std::int64_t KeyedUnarchiver::decodeInt64ForKey(const std::string& key) {
    Value v = s_.field(key);
    if (!v.isInteger()) return 0;
    return static_cast<std::int64_t>(v.integerValue());
}

}  // namespace ns
