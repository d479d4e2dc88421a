#include "foundation/PropertyListBinary.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/PropertyList.h"
#include "foundation/PropertyListCodec.h"
#include "foundation/ReadBudget.h"
#include "foundation/Strings.h"
#include "foundation/TextIndex.h"

namespace ns::plistbinary {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

// Object markers: the high nibble is the kind, the low one a size or count.
enum Marker : std::uint8_t {
    kFalse = 0x08,
    kTrue = 0x09,
    kInteger = 0x10,
    kReal = 0x20,
    kDate = 0x33,
    kData = 0x40,
    kASCII = 0x50,
    kUTF16 = 0x60,
    kUID = 0x80,
    kArray = 0xA0,
    kDictionary = 0xD0,
};

std::uint64_t bigEndian(const std::uint8_t* q, std::size_t size) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < size; ++i) v = (v << 8) | q[i];
    return v;
}

// ---- Reading ----

// What the reader builds beside the budget's own costs: an entry of one of
// its hash indexes (its link, key and hash, its bucket and the allocator's
// share); the storage that a string, data or date shares among the places
// that hold it (its control block and holder), as much as a container's.
constexpr std::size_t kIndexEntryBytes = 48;
constexpr std::size_t kSharedStorageBytes = ReadBudget::kContainerBytes;

class Reader {
public:
    Reader(const Bytes& bytes, plistcodec::ReferenceBound maxReferences)
        : p_(bytes.data()), n_(bytes.size()), referenceBound_(maxReferences), budget_(bytes.size()) {}

    Value read(plistcodec::Problem* problem) {
        if (auto bad = check()) {
            if (problem) *problem = {*bad, beyondLimits_};
            return {};
        }
        return build(slots_[top_] - 1);
    }

private:
    // What is wrong with the list, or nothing.
    using Fault = std::optional<std::string>;

    // The objects the root reaches, each body once: objects of the list
    // whose offsets name the same bytes are one node, read and built once,
    // so that many objects laid over one long string cost its size once.
    struct Node {
        std::size_t offset = 0;   // where its bytes start
        std::uint8_t state = 0;   // a State
        std::uint16_t height = 0;  // containers nested from here down, to kPropertyListMaxDepth + 1
        bool container = false;    // an array or dictionary
        bool key = false;          // a dictionary's key, its first copy paid for
        // A scalar as read (a UID as its dictionary); a container referred
        // to again, once built.
        Value value;
    };
    enum State : std::uint8_t { kNew, kOnPath, kDone, kReachedAgain };

    // A fault that is a list beyond the readers' bounds rather than damage.
    Fault beyond(const char* reason) {
        beyondLimits_ = true;
        return reason;
    }
    // A list that would build more than its size allows.
    Fault overBudget() { return beyond(ReadBudget::kReason); }
    // The storage of a string, data or date, with a body of `bytes`.
    bool spendStorage(std::size_t bytes) { return budget_.spend(kSharedStorageBytes) && budget_.spendCopy(bytes); }

    // The dictionary at hand holds the key object. Each dictionary holds a
    // copy of its keys: the first is the budget's, the others count against
    // kPropertyListMaxSharedKeyBytes, as the writer counts them.
    Fault holdKey(std::uint32_t key) {
        const std::string& text = nodes_[key].value.str();
        if (!nodes_[key].key) {
            nodes_[key].key = true;
            const bool looked = text.size() > plistcodec::kInlineKeyBytes;  // and kept in keyCopies_
            if (!budget_.spendCopy(text.size()) || (looked && !budget_.spend(kIndexEntryBytes))) return overBudget();
        }
        if (keyCopies_.hold(text, text.size())) return std::nullopt;
        return beyond(plistcodec::kSharedKeysTooLong);
    }

    Fault check() {
        if (n_ < kHeaderSize + kTrailerSize || std::memcmp(p_, "bplist00", kHeaderSize) != 0) return "truncated";
        const std::uint8_t* t = p_ + n_ - kTrailerSize;
        offsetSize_ = t[6];
        refSize_ = t[7];
        std::uint64_t count = bigEndian(t + 8, 8), top = bigEndian(t + 16, 8), table = bigEndian(t + 24, 8);
        auto okSize = [](unsigned s) { return s >= 1 && s <= 8; };
        if (!okSize(offsetSize_) || !okSize(refSize_)) return "bad trailer";
        if (count == 0 || count > n_ || top >= count || table < kHeaderSize || table > n_ - kTrailerSize)
            return "bad trailer";
        if ((n_ - kTrailerSize - table) / offsetSize_ < count) return "bad offset table";
        count_ = static_cast<std::size_t>(count);
        top_ = static_cast<std::size_t>(top);
        end_ = static_cast<std::size_t>(table);
        if (referenceBound_) maxReferences_ = referenceBound_(n_, refSize_);
        std::uint64_t last = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            std::uint64_t off = bigEndian(p_ + table + i * offsetSize_, offsetSize_);
            if (off < kHeaderSize || off >= end_) return "object outside the object area";
            if (off <= last) increasing_ = false;
            last = off;
        }
        // Four bytes for each object the list claims (up to one per byte of
        // the list), zero pages until the root reaches the object; the rest
        // only for the bodies it reaches.
        slots_.reset(static_cast<std::uint32_t*>(std::calloc(count_, sizeof(std::uint32_t))));
        if (!slots_) return beyond("too many objects");
        if (auto bad = visit(nodeOf(top_), 0)) return bad;
        // A container reached again deeper down nests deeper there.
        if (nodes_[slots_[top_] - 1].height > kPropertyListMaxDepth) return beyond(plistcodec::kTooDeep);
        return std::nullopt;
    }

    // The node of an object, made when the walk first meets it.
    std::uint32_t nodeOf(std::size_t obj) {
        std::uint32_t& slot = slots_[obj];
        if (slot != 0) return slot - 1;
        const auto node = static_cast<std::uint32_t>(nodes_.size());
        const std::size_t offset = offsetOf(obj);
        // Offsets that only grow (as writers lay objects out) name distinct
        // bytes; others are looked up.
        if (!increasing_) {
            auto [it, fresh] = byOffset_.try_emplace(offset, node);
            if (!fresh) {
                slot = it->second + 1;
                return it->second;
            }
        }
        nodes_.push_back({offset, kNew, 0, false, false, {}});
        slot = node + 1;
        return node;
    }

    // The count of a marker: its low nibble, or a following integer object.
    bool countOf(std::size_t& at, unsigned low, std::uint64_t& count) const {
        if (low != 0xF) {
            count = low;
            return true;
        }
        if (at >= end_) return false;
        std::uint8_t m = p_[at++];
        if ((m >> 4) != 0x1 || (m & 0xF) > 3) return false;
        std::size_t size = std::size_t{1} << (m & 0xF);
        if (end_ - at < size) return false;
        count = bigEndian(p_ + at, size);
        at += size;
        return true;
    }

    std::size_t ref(std::size_t at, std::uint64_t i) const {
        const std::uint8_t* q = p_ + at + i * refSize_;
        switch (refSize_) {
            case 1: return q[0];
            case 2: return std::size_t{q[0]} << 8 | q[1];
            default: return static_cast<std::size_t>(bigEndian(q, refSize_));
        }
    }
    // Where an object starts (checked to lie in the object area).
    std::size_t offsetOf(std::size_t obj) const {
        return static_cast<std::size_t>(bigEndian(p_ + end_ + obj * offsetSize_, offsetSize_));
    }

    // Depth-first over the object graph, each node once: reads every
    // scalar, rejects cycles, counts the references the containers hold
    // against the bound, notes how deep each container nests and which
    // nodes are reached again. What each node builds (the node itself, a
    // scalar's body, a container's values) is paid from the budget before
    // it is built, so a list is refused before it builds more than its size
    // allows, however its objects lie over one another.
    Fault visit(std::uint32_t node, int depth) {
        const std::uint8_t state = nodes_[node].state;
        if (state == kOnPath) return "reference cycle";
        if (state != kNew) {
            nodes_[node].state = kReachedAgain;
            return std::nullopt;
        }
        nodes_[node].state = kOnPath;
        // A node, and as much again while the list of nodes grows.
        if (!budget_.spend(2 * sizeof(Node) + (increasing_ ? 0 : kIndexEntryBytes))) return overBudget();
        const std::size_t offset = nodes_[node].offset;
        std::uint8_t marker = p_[offset];
        unsigned type = marker >> 4;
        if (type == 0xA || type == 0xD) {
            if (depth >= kPropertyListMaxDepth) return beyond(plistcodec::kTooDeep);
            nodes_[node].container = true;
            std::size_t at = offset + 1;
            std::uint64_t count = 0;
            if (!countOf(at, marker & 0xF, count)) return "bad container";
            std::uint64_t refs = type == 0xD ? count * 2 : count;
            if (count > n_ || (end_ - at) / refSize_ < refs) return "bad container";
            references_ += refs;
            if (references_ > maxReferences_) return beyond("more references than the reader takes");
            if (!(type == 0xA ? budget_.spendArray(count) : budget_.spendDictionary(count))) return overBudget();
            int below = 0;
            for (std::uint64_t i = 0; i < refs; ++i) {
                std::size_t r = ref(at, i);
                if (r >= count_) return "bad reference";
                const std::uint32_t next = nodeOf(r);
                if (type == 0xD && i < count) {
                    unsigned keyType = p_[nodes_[next].offset] >> 4;
                    if (keyType != 0x5 && keyType != 0x6) return "dictionary key is not a string";
                }
                if (auto bad = visit(next, depth + 1)) return bad;
                if (type == 0xD && i < count) {
                    if (auto bad = holdKey(next)) return bad;
                }
                below = std::max(below, static_cast<int>(nodes_[next].height));
            }
            // Counted no further than one past the limit: how far past is no
            // matter, and it keeps to its two bytes.
            nodes_[node].height = static_cast<std::uint16_t>(std::min(below + 1, kPropertyListMaxDepth + 1));
        } else if (type == 0x8) {
            // A UID reads as a dictionary: one level, as deep as one.
            if (depth >= kPropertyListMaxDepth) return beyond(plistcodec::kTooDeep);
            if (auto bad = scalar(node)) return bad;
            nodes_[node].height = 1;
        } else {
            if (auto bad = scalar(node)) return bad;
        }
        nodes_[node].state = kDone;
        return std::nullopt;
    }

    Fault scalar(std::uint32_t node) {
        std::size_t at = nodes_[node].offset;
        std::uint8_t marker = p_[at++];
        unsigned low = marker & 0xF;
        std::size_t left = end_ - at;
        Value& out = nodes_[node].value;
        switch (marker >> 4) {
            case 0x0:
                if (marker != kFalse && marker != kTrue) return "unsupported object";
                out = Value(marker == kTrue);
                return std::nullopt;
            case 0x1: {
                if (low > 4 || left < (std::size_t{1} << low)) return "bad integer";
                if (low < 3) {
                    out = Value(static_cast<long long>(bigEndian(p_ + at, std::size_t{1} << low)));
                } else if (low == 3) {
                    out = Value(static_cast<long long>(bigEndian(p_ + at, 8)));
                } else {
                    // 128 bits, signed: what fits in 64 bits reads.
                    std::uint64_t high = bigEndian(p_ + at, 8), value = bigEndian(p_ + at + 8, 8);
                    if (high == 0)
                        out = Value(static_cast<unsigned long long>(value));
                    else if (high == ~std::uint64_t{0} && (value >> 63) != 0)
                        out = Value(static_cast<long long>(value));
                    else
                        return "integer beyond 64 bits";
                }
                return std::nullopt;
            }
            case 0x2:
                if (low == 2 && left >= 4) {
                    out = Value(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bigEndian(p_ + at, 4)))));
                } else if (low == 3 && left >= 8) {
                    out = Value(std::bit_cast<double>(bigEndian(p_ + at, 8)));
                } else {
                    return "bad real";
                }
                return std::nullopt;
            case 0x3: {
                if (marker != kDate || left < 8) return "bad date";
                double interval = std::bit_cast<double>(bigEndian(p_ + at, 8));
                if (!std::isfinite(interval)) return "bad date";
                if (!spendStorage(0)) return overBudget();
                out = Value::dateSinceReferenceDate(interval);
                return std::nullopt;
            }
            case 0x4: {
                std::uint64_t count = 0;
                if (!countOf(at, low, count) || end_ - at < count) return "bad data";
                if (!spendStorage(count)) return overBudget();
                out = Value(Bytes(p_ + at, p_ + at + count));
                return std::nullopt;
            }
            case 0x5: {
                std::uint64_t count = 0;
                if (!countOf(at, low, count) || end_ - at < count) return "bad string";
                if (!spendStorage(count)) return overBudget();
                for (std::uint64_t i = 0; i < count; ++i)
                    if (p_[at + i] >= 0x80) return "ASCII string with a byte above 127";
                out = Value(std::string(reinterpret_cast<const char*>(p_ + at), count));
                return std::nullopt;
            }
            case 0x6: {
                std::uint64_t count = 0;
                if (!countOf(at, low, count) || (end_ - at) / 2 < count) return "bad string";
                // Up to three bytes of UTF-8 a unit.
                if (!spendStorage(3 * count)) return overBudget();
                out = Value(fromUTF16BigEndian(p_ + at, count));
                return std::nullopt;
            }
            case 0x8: {
                std::size_t size = low + 1u;
                if (left < size) return "bad UID";
                for (std::size_t i = 0; i + 8 < size; ++i)
                    if (p_[at + i] != 0) return "UID beyond 64 bits";
                std::size_t skip = size > 8 ? size - 8 : 0;
                auto n = static_cast<unsigned long long>(bigEndian(p_ + at + skip, size - skip));
                // UIDs of one number share the dictionary made last for it,
                // unless another number took its place in the cache since.
                if (uids_.empty()) {
                    if (!budget_.spend(kUIDCache * sizeof(UID))) return overBudget();
                    uids_.resize(kUIDCache);
                }
                UID& known = uids_[(n * 0x9E3779B97F4A7C15ULL) >> (64 - kUIDCacheBits)];
                if (known.node != kNoNode && known.number == n) {
                    out = nodes_[known.node].value;
                    return std::nullopt;
                }
                if (!budget_.spendDictionary(1)) return overBudget();
                out = Value::dictionary({{kPropertyListUIDKey, Value(n)}});
                known = {n, node};
                return std::nullopt;
            }
            default: return "unsupported object";
        }
    }

    // The checked graph as values, each node built once: a container the
    // list refers to from several places (or several objects over one body)
    // is one shared container there, as the writer of the list had it, so
    // memory and work follow the list's own objects however far its
    // references would expand. So is a UID: the dictionary it reads as is
    // one dictionary in every place that refers to it. Only containers
    // reached again are kept once built; one reached once is built once
    // anyway.
    Value build(std::uint32_t node) {
        const Node& n = nodes_[node];
        if (!n.container) return n.value;
        const bool shared = n.state == kReachedAgain;
        if (shared && !n.value.isNil()) return n.value;
        std::size_t at = n.offset + 1;
        std::uint64_t count = 0;
        countOf(at, p_[n.offset] & 0xF, count);
        Value out;
        if (p_[n.offset] >> 4 == 0xA) {
            std::vector<Value> items;
            items.reserve(count);
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::uint32_t item = slots_[ref(at, i)] - 1;
                items.push_back(nodes_[item].container ? build(item) : nodes_[item].value);
            }
            out = Value::array(std::move(items));
        } else {
            // A repeated key keeps its last value, at its first place; the
            // dictionary tells its keys apart through its own index.
            std::vector<std::pair<std::string, Value>> entries;
            entries.reserve(count);
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::string& key = nodes_[slots_[ref(at, i)] - 1].value.str();
                entries.emplace_back(key, build(slots_[ref(at, count + i)] - 1));
            }
            out = Value::dictionaryWithEntries(std::move(entries));
        }
        if (shared) nodes_[node].value = out;
        return out;
    }

    struct Free {
        void operator()(void* p) const { std::free(p); }
    };

    const std::uint8_t* p_;
    std::size_t n_;
    const plistcodec::ReferenceBound referenceBound_;
    std::size_t maxReferences_ = SIZE_MAX;  // for this list's size and width
    ReadBudget budget_;
    unsigned offsetSize_ = 0, refSize_ = 0;
    std::size_t count_ = 0, top_ = 0, end_ = 0;
    bool increasing_ = true;     // every offset past the one before
    bool beyondLimits_ = false;  // the fault is a list beyond the readers' bounds
    std::uint64_t references_ = 0;  // held by the containers visited, each once
    // Of each object claimed: its node plus one, 0 until the walk meets it.
    std::unique_ptr<std::uint32_t[], Free> slots_;
    std::vector<Node> nodes_;
    std::unordered_map<std::size_t, std::uint32_t> byOffset_;  // when offsets do not only grow
    plistcodec::KeyCopies<std::string_view> keyCopies_;       // the keys' text, in nodes_
    // The nodes of the UIDs met last, by their numbers: a list of millions
    // of UIDs of a few numbers makes a few dictionaries, without an index of
    // every number.
    static constexpr std::uint32_t kNoNode = UINT32_MAX;
    struct UID {
        std::uint64_t number = 0;
        std::uint32_t node = kNoNode;
    };
    static constexpr unsigned kUIDCacheBits = 12;
    static constexpr std::size_t kUIDCache = std::size_t{1} << kUIDCacheBits;
    std::vector<UID> uids_;
};

// ---- Writing ----

using Failure = plistcodec::Refusal;

bool isUID(const Value& v) {
    if (!v.isDictionary() || v.count() != 1) return false;
    Value n = v[kPropertyListUIDKey];
    return n.isInteger() && (n.isUnsigned() || n.integerValue() >= 0);
}

// The narrowest of 1, 2, 4 and 8 bytes that holds the number.
unsigned widthOf(std::uint64_t n) {
    if (n < (1u << 8)) return 1;
    if (n < (1u << 16)) return 2;
    if (n <= 0xFFFFFFFFu) return 4;
    return 8;
}

unsigned log2Width(unsigned width) { return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3; }

class Writer {
public:
    // Numbers the objects; throws a Failure for a value no list can hold.
    void prepare(const Value& root) { flatten(root, 0); }

    Bytes write(const Value& root) {
        prepare(root);
        refSize_ = widthOf(objects_.size());
        out_.assign({'b', 'p', 'l', 'i', 's', 't', '0', '0'});
        std::vector<std::uint64_t> offsets;
        offsets.reserve(objects_.size());
        for (const auto& object : objects_) {
            offsets.push_back(out_.size());
            encode(object);
        }
        std::uint64_t table = out_.size();
        unsigned offsetSize = widthOf(offsets.empty() ? 0 : offsets.back());
        for (std::uint64_t off : offsets) number(off, offsetSize);
        out_.insert(out_.end(), 6, 0);
        out_.push_back(static_cast<std::uint8_t>(offsetSize));
        out_.push_back(static_cast<std::uint8_t>(refSize_));
        number(objects_.size(), 8);
        number(0, 8);  // the root is the first object
        number(table, 8);
        return std::move(out_);
    }

private:
    // What an object is made of lives in the value being written, which
    // stays as it is while it is written.
    struct Object {
        const Value* value = nullptr;       // none for a key
        const std::string* key = nullptr;   // a dictionary's key
        std::size_t refsAt = 0, refs = 0;  // a container's references in refs_: keys then values
        int height = 0;                     // containers nested from here down (a UID is one)

        std::string_view text() const { return key ? std::string_view(*key) : std::string_view(value->str()); }
    };

    static std::string_view bytesOf(const Value& v) {
        const Bytes& b = v.data();
        return {reinterpret_cast<const char*>(b.data()), b.size()};
    }

    // Strings and data longer than this, held in many places as one
    // storage, are found by their storage rather than hashed again.
    static constexpr std::size_t kLongText = 64;

    // The object of a string (a dictionary's key or a value's string): one
    // for each distinct text, checked when it is met first (a long key that
    // many dictionaries hold as copies of their own is checked once).
    // `text` lives in the value being written; `hash` is its TextIndex::hashOf.
    std::size_t stringObject(const std::string& text, const Value* value, std::uint32_t hash) {
        auto textAt = [this](std::size_t object) { return objects_[object].text(); };
        const auto at = strings_.findOrAdd(text, hash, objects_.size(), textAt);
        if (at >= 0) return static_cast<std::size_t>(at);
        if (!isValidUTF8(text)) throw Failure{"text that is not UTF-8"};  // a failure ends the whole write
        objects_.push_back({value, value ? nullptr : &text});
        return objects_.size() - 1;
    }

    std::size_t dataObject(const Value& v) {
        auto bytesAt = [this](std::size_t object) { return bytesOf(*objects_[object].value); };
        const std::string_view bytes = bytesOf(v);
        const auto at = datas_.findOrAdd(bytes, TextIndex::hashOf(bytes), objects_.size(), bytesAt);
        if (at >= 0) return static_cast<std::size_t>(at);
        objects_.push_back({&v});
        return objects_.size() - 1;
    }

    // Gives every distinct object its number, the root first, each
    // container before what it holds. A UID is written as a scalar but
    // reads as a dictionary, so it nests as one.
    std::size_t flatten(const Value& v, int depth) {
        const bool uid = isUID(v);
        const bool container = (v.isArray() || v.isDictionary()) && !uid;
        if ((container || uid) && depth >= kPropertyListMaxDepth) throw Failure{plistcodec::kTooDeep};
        if (!container) {
            // A long string or data of the value held in many places is
            // one storage: hashed once, however long it is.
            const void* storage = nullptr;
            if (v.isString() && v.str().size() > kLongText) storage = &v.str();
            if (v.isData() && v.data().size() > kLongText) storage = &v.data();
            if (storage) {
                if (auto known = texts_.find(storage); known != texts_.end()) return known->second;
            }
            std::size_t object;
            if (v.isString()) {
                object = stringObject(v.str(), &v, TextIndex::hashOf(v.str()));
            } else if (v.isData()) {
                object = dataObject(v);
            } else {
                check(v);
                auto [it, fresh] = scalars_.try_emplace(plistcodec::scalarKey(v), objects_.size());
                if (fresh) objects_.push_back({&v, nullptr, 0, 0, uid ? 1 : 0});
                object = it->second;
            }
            if (storage) texts_.emplace(storage, object);
            return object;
        }
        const void* identity = v.isArray() ? static_cast<const void*>(&v.items()) : &v.entries();
        auto [it, fresh] = containers_.try_emplace(identity, objects_.size());
        if (!fresh) {
            if (it->second == kOnPath) throw Failure{"a container that holds itself"};
            // Held again deeper down, it nests deeper there.
            if (depth + objects_[it->second].height > kPropertyListMaxDepth) throw Failure{plistcodec::kTooDeep};
            return it->second;
        }
        it->second = kOnPath;
        const std::size_t at = objects_.size();
        // The container's references, in a run of refs_ of its own taken
        // now (what it holds takes its runs after it).
        const std::size_t refsAt = refs_.size(), count = v.isArray() ? v.count() : 2 * v.count();
        objects_.push_back({&v, nullptr, refsAt, count});
        refs_.resize(refsAt + count);
        std::size_t filled = refsAt;
        auto refer = [&](std::size_t object) { refs_[filled++] = object; };
        if (v.isArray()) {
            for (const auto& item : v.items()) refer(flatten(item, depth + 1));
        } else {
            const auto& entries = v.entries();
            strings_.reserve(strings_.size() + entries.size());
            // Each key is hashed some places ahead of its lookup, and its
            // slot brought in meanwhile (a dictionary of millions of keys).
            constexpr std::size_t kAhead = 8;
            std::uint32_t ahead[kAhead];
            auto hashAhead = [&](std::size_t i) {
                if (i >= entries.size()) return;
                ahead[i % kAhead] = TextIndex::hashOf(entries[i].first);
                strings_.prefetch(ahead[i % kAhead]);
            };
            for (std::size_t i = 0; i < kAhead; ++i) hashAhead(i);
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const std::uint32_t hash = ahead[i % kAhead];
                hashAhead(i + kAhead);
                const std::string& key = entries[i].first;
                const std::size_t object = stringObject(key, nullptr, hash);
                if (!keyCopies_.hold(object, key.size())) throw Failure{plistcodec::kSharedKeysTooLong};
                refer(object);
            }
            for (const auto& [key, item] : entries) refer(flatten(item, depth + 1));
        }
        int below = 0;
        for (std::size_t i = refsAt; i < refsAt + count; ++i) below = std::max(below, objects_[refs_[i]].height);
        objects_[at].height = below + 1;
        containers_[identity] = at;
        return at;
    }

    // A scalar other than a string or data.
    static void check(const Value& v) {
        switch (v.kind()) {
            case Value::Kind::Nil: throw Failure{"nil has no property-list form"};
            case Value::Kind::Null: throw Failure{"the null object has no property-list form"};
            case Value::Kind::Date:
                if (!std::isfinite(v.timeIntervalSinceReferenceDate())) throw Failure{"date that is not a number"};
                break;
            default: break;
        }
    }

    void number(std::uint64_t n, unsigned width) {
        for (unsigned i = width; i-- > 0;) out_.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    }

    // A marker with its count: in the low nibble, or as an integer after it.
    void head(std::uint8_t marker, std::uint64_t count) {
        if (count < 15) {
            out_.push_back(static_cast<std::uint8_t>(marker | count));
            return;
        }
        out_.push_back(static_cast<std::uint8_t>(marker | 0xF));
        unsigned width = widthOf(count);
        out_.push_back(static_cast<std::uint8_t>(kInteger | log2Width(width)));
        number(count, width);
    }

    void references(const Object& object) {
        for (std::size_t i = object.refsAt; i < object.refsAt + object.refs; ++i) number(refs_[i], refSize_);
    }

    void string(std::string_view s) {
        bool ascii = true;
        for (char c : s) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) {
            head(kASCII, s.size());
            out_.insert(out_.end(), s.begin(), s.end());
        } else {
            std::u16string units = toUTF16(s);
            head(kUTF16, units.size());
            for (char16_t u : units) number(u, 2);
        }
    }

    void encode(const Object& object) {
        if (object.key) {
            string(*object.key);
            return;
        }
        const Value& v = *object.value;
        switch (v.kind()) {
            case Value::Kind::Bool: out_.push_back(v.boolValue() ? kTrue : kFalse); return;
            case Value::Kind::Integer: {
                if (v.isUnsigned()) {  // above INT64_MAX: 16 bytes, as a signed 128-bit number
                    out_.push_back(kInteger | 4);
                    number(0, 8);
                    number(v.unsignedValue(), 8);
                    return;
                }
                long long n = v.integerValue();
                unsigned width = n < 0 ? 8 : widthOf(static_cast<std::uint64_t>(n));
                out_.push_back(static_cast<std::uint8_t>(kInteger | log2Width(width)));
                number(static_cast<std::uint64_t>(n), width);
                return;
            }
            case Value::Kind::Double:
                out_.push_back(kReal | 3);
                number(std::bit_cast<std::uint64_t>(v.doubleValue()), 8);
                return;
            case Value::Kind::Date:
                out_.push_back(kDate);
                number(std::bit_cast<std::uint64_t>(v.timeIntervalSinceReferenceDate()), 8);
                return;
            case Value::Kind::Data:
                head(kData, v.data().size());
                out_.insert(out_.end(), v.data().begin(), v.data().end());
                return;
            case Value::Kind::String: string(v.str()); return;
            case Value::Kind::Array:
                head(kArray, object.refs);
                references(object);
                return;
            case Value::Kind::Dictionary: {
                if (object.refs == 0 && isUID(v)) {
                    std::uint64_t n = v[kPropertyListUIDKey].unsignedValue();
                    unsigned width = widthOf(n);
                    out_.push_back(static_cast<std::uint8_t>(kUID | (width - 1)));
                    number(n, width);
                    return;
                }
                head(kDictionary, object.refs / 2);
                references(object);
                return;
            }
            default: return;  // refused while flattening
        }
    }

    static constexpr std::size_t kOnPath = static_cast<std::size_t>(-1);

    std::vector<Object> objects_;
    std::vector<std::size_t> refs_;  // the containers' references, a run for each
    TextIndex strings_;  // objects of strings and keys, by their text
    TextIndex datas_;    // objects of data, by their bytes
    std::unordered_map<std::string, std::size_t> scalars_;  // other scalars, by plistcodec::scalarKey
    std::unordered_map<const void*, std::size_t> containers_;
    // The value's long strings and data by their storage, which lives as
    // long as the value being written.
    std::unordered_map<const void*, std::size_t> texts_;
    plistcodec::KeyCopies<std::size_t> keyCopies_;  // the keys' objects
    unsigned refSize_ = 1;
    Bytes out_;
};

}  // namespace

Value read(const Bytes& bytes, plistcodec::Problem* problem, plistcodec::ReferenceBound maxReferences) {
    return Reader(bytes, maxReferences).read(problem);
}

Bytes write(const Value& plist) { return Writer().write(plist); }

bool writable(const Value& plist) {
    try {
        Writer().prepare(plist);
        return true;
    } catch (const Failure&) {
        return false;
    }
}

}  // namespace ns::plistbinary

namespace ns::plistcodec {

std::string scalarKey(const Value& v) {
    auto tagged = [](char tag, std::string_view bytes) {
        std::string key(1, tag);
        key.append(bytes);
        return key;
    };
    auto bits = [](char tag, std::uint64_t b, bool flag = false) {
        std::string key(1, tag);
        key.append(reinterpret_cast<const char*>(&b), sizeof b);
        if (flag) key.push_back('+');
        return key;
    };
    switch (v.kind()) {
        case Value::Kind::Bool: return v.boolValue() ? "T" : "F";
        case Value::Kind::Integer: return bits('i', v.unsignedValue(), v.isUnsigned());
        case Value::Kind::Double: return bits('r', std::bit_cast<std::uint64_t>(v.doubleValue()));
        case Value::Kind::Date: return bits('d', std::bit_cast<std::uint64_t>(v.timeIntervalSinceReferenceDate()));
        case Value::Kind::String: return tagged('s', v.str());
        case Value::Kind::Data: {
            const auto& d = v.data();
            return tagged('b', std::string_view(reinterpret_cast<const char*>(d.data()), d.size()));
        }
        default: return bits('u', v[kPropertyListUIDKey].unsignedValue());
    }
}

}  // namespace ns::plistcodec
