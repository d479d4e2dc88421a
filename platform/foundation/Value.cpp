#include "foundation/Value.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "foundation/DateTime.h"
#include "foundation/TextIndex.h"

namespace ns {

namespace {

const std::string kEmptyString;
const Bytes kEmptyBytes;
const std::vector<Value> kEmptyItems;
const std::vector<std::pair<std::string, Value>> kEmptyEntries;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view skipSpace(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    return s.substr(i);
}

}  // namespace

// ---- Dictionaries' index ----

namespace {

// The key of an entry, for the index.
struct KeyAt {
    const std::vector<std::pair<std::string, Value>>& entries;
    std::string_view operator()(std::size_t place) const { return entries[place].first; }
};

// Merges entries[first, end) into the index, which holds entries[0, first)
// each at its place: a key it holds already gives its value to the place of
// its first and goes, the others move down after the kept ones. Answers how
// many are kept. A run of keys is hashed first, then each goes into the
// index while the slot of a key some places on is being brought in (an
// index of millions of keys is far larger than the caches, and each lookup
// would wait for memory).
std::size_t mergeIntoIndex(TextIndex& index, std::vector<std::pair<std::string, Value>>& entries, std::size_t first) {
    constexpr std::size_t kAhead = 8, kHashed = 256;
    std::uint32_t hashes[kHashed];
    std::size_t kept = first;
    const std::size_t end = entries.size();
    for (std::size_t from = first; from < end; from += kHashed) {
        const std::size_t n = std::min(kHashed, end - from);
        for (std::size_t j = 0; j < n; ++j) hashes[j] = TextIndex::hashOf(entries[from + j].first);
        for (std::size_t j = 0; j < n && j < kAhead; ++j) index.prefetch(hashes[j]);
        for (std::size_t j = 0; j < n; ++j) {
            if (j + kAhead < n) index.prefetch(hashes[j + kAhead]);
            const std::size_t i = from + j;
            const auto at = index.findOrAdd(entries[i].first, hashes[j], kept, KeyAt{entries});
            if (at >= 0) {
                entries[static_cast<std::size_t>(at)].second = std::move(entries[i].second);
                continue;
            }
            if (kept != i) entries[kept] = std::move(entries[i]);
            ++kept;
        }
    }
    entries.resize(kept);
    return kept;
}

}  // namespace

DictionaryStorage::DictionaryStorage() = default;
DictionaryStorage::~DictionaryStorage() = default;

std::ptrdiff_t DictionaryStorage::find(std::string_view key) const {
    if (index) return index->find(key, TextIndex::hashOf(key), KeyAt{entries});
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].first == key) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

void DictionaryStorage::set(std::string key, Value v) {
    if (!index) {
        if (auto i = find(key); i >= 0) {
            entries[static_cast<std::size_t>(i)].second = std::move(v);
            return;
        }
        entries.emplace_back(std::move(key), std::move(v));
        if (entries.size() > kIndexedAbove) adopt(std::move(entries), false);
        return;
    }
    if (entries.size() >= TextIndex::kMostPlaces) {
        index.reset();
        set(std::move(key), std::move(v));
        return;
    }
    auto at = index->findOrAdd(key, TextIndex::hashOf(key), entries.size(), KeyAt{entries});
    if (at >= 0)
        entries[static_cast<std::size_t>(at)].second = std::move(v);
    else
        entries.emplace_back(std::move(key), std::move(v));
}

void DictionaryStorage::erase(std::size_t place) {
    const std::string& key = entries[place].first;
    if (index) index->eraseAndClose(key, TextIndex::hashOf(key), place, KeyAt{entries});
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(place));
}

void DictionaryStorage::clear() {
    entries.clear();
    index.reset();
}

void DictionaryStorage::adopt(std::vector<std::pair<std::string, Value>> taken, bool keysMayRepeat) {
    entries = std::move(taken);
    index.reset();
    // Of a key that repeats, the first place takes the last value.
    if (entries.size() <= kIndexedAbove || entries.size() > TextIndex::kMostPlaces) {
        if (!keysMayRepeat) return;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            std::size_t first = 0;
            while (first < kept && entries[first].first != entries[i].first) ++first;
            if (first < kept) {
                entries[first].second = std::move(entries[i].second);
                continue;
            }
            if (kept != i) entries[kept] = std::move(entries[i]);
            ++kept;
        }
        entries.resize(kept);
        return;
    }
    index = std::make_unique<TextIndex>(entries.size());
    mergeIntoIndex(*index, entries, 0);
}

// ---- Dictionaries built entry by entry ----

namespace {

// Entries gathered before they are merged into the index: the batch that
// repeats wait in, and the size below which a dictionary is gathered
// without an index of its own until it is finished.
constexpr std::size_t kBatch = 256;

}  // namespace

DictionaryBuilder::DictionaryBuilder() = default;
DictionaryBuilder::DictionaryBuilder(DictionaryBuilder&&) noexcept = default;
DictionaryBuilder& DictionaryBuilder::operator=(DictionaryBuilder&&) noexcept = default;
DictionaryBuilder::~DictionaryBuilder() = default;

void DictionaryBuilder::add(std::string key, Value v) {
    entries_.emplace_back(std::move(key), std::move(v));
    if (entries_.size() - indexed_ >= kBatch) indexPending();
}

void DictionaryBuilder::indexPending() {
    if (!index_) index_ = std::make_unique<TextIndex>(entries_.size());
    index_->reserve(entries_.size());
    indexed_ = mergeIntoIndex(*index_, entries_, indexed_);
}

// ---- Construction ----

Value::Value(bool b) : kind_(Kind::Bool), i_(b ? 1 : 0) {}
Value::Value(int i) : kind_(Kind::Integer), i_(i) {}
Value::Value(long i) : kind_(Kind::Integer), i_(i) {}
Value::Value(long long i) : kind_(Kind::Integer), i_(i) {}
Value::Value(unsigned u) : kind_(Kind::Integer), i_(u) {}
Value::Value(unsigned long u) : Value(static_cast<unsigned long long>(u)) {}
Value::Value(unsigned long long u)
    : kind_(Kind::Integer), unsigned_(u > static_cast<unsigned long long>(LLONG_MAX)), i_(static_cast<long long>(u)) {}
Value::Value(double d) : kind_(Kind::Double), d_(d) {}
Value::Value(const char* s) {
    if (s) {
        kind_ = Kind::String;
        ref_ = std::make_shared<std::string>(s);
    }
}
Value::Value(std::string s) : kind_(Kind::String), ref_(std::make_shared<std::string>(std::move(s))) {}
Value::Value(std::string_view s) : kind_(Kind::String), ref_(std::make_shared<std::string>(s)) {}
Value::Value(Bytes data) : kind_(Kind::Data), ref_(std::make_shared<Bytes>(std::move(data))) {}
Value::Value(Date date) : kind_(Kind::Date), d_(date.seconds) {}

Value Value::dateSinceReferenceDate(double interval) {
    Value v(Date{interval + kReferenceDateSince1970});
    v.ref_ = std::make_shared<double>(interval);
    return v;
}

Value Value::null() {
    Value v;
    v.kind_ = Kind::Null;
    return v;
}

Value Value::array() {
    Value v;
    v.kind_ = Kind::Array;
    v.ref_ = std::make_shared<ArrayStorage>();
    return v;
}

Value Value::array(std::initializer_list<Value> items) {
    Value v = array();
    v.arr()->items.assign(items.begin(), items.end());
    return v;
}

Value Value::array(std::vector<Value> items) {
    Value v = array();
    v.arr()->items = std::move(items);
    return v;
}

Value Value::dictionary() {
    Value v;
    v.kind_ = Kind::Dictionary;
    v.ref_ = std::make_shared<DictionaryStorage>();
    return v;
}

Value Value::dictionary(std::initializer_list<std::pair<std::string, Value>> entries) {
    Value v = dictionary();
    for (const auto& [k, val] : entries) v.set(k, val);
    return v;
}

Value Value::dictionaryWithUniqueEntries(std::vector<std::pair<std::string, Value>> entries) {
    Value v = dictionary();
    v.dict()->adopt(std::move(entries), false);
    return v;
}

Value Value::dictionaryWithUniqueEntries(std::vector<std::pair<std::string, Value>> entries, TextIndex&& index) {
    if (index.size() != entries.size() || entries.size() <= DictionaryStorage::kIndexedAbove)
        return dictionaryWithUniqueEntries(std::move(entries));
    Value v = dictionary();
    v.dict()->entries = std::move(entries);
    v.dict()->index = std::make_unique<TextIndex>(std::move(index));
    return v;
}

Value Value::dictionaryWithEntries(std::vector<std::pair<std::string, Value>> entries) {
    Value v = dictionary();
    v.dict()->adopt(std::move(entries), true);
    return v;
}

Value Value::dictionary(DictionaryBuilder&& builder) {
    DictionaryBuilder taken = std::move(builder);
    builder = DictionaryBuilder();
    // Fewer than a batch were ever gathered: the repeats are merged now.
    if (!taken.index_) return dictionaryWithEntries(std::move(taken.entries_));
    taken.indexPending();
    Value v = dictionary();
    DictionaryStorage* d = v.dict();
    d->entries = std::move(taken.entries_);
    if (d->entries.size() > DictionaryStorage::kIndexedAbove) d->index = std::move(taken.index_);
    return v;
}

ArrayStorage* Value::arr() const {
    return kind_ == Kind::Array ? static_cast<ArrayStorage*>(ref_.get()) : nullptr;
}

DictionaryStorage* Value::dict() const {
    return kind_ == Kind::Dictionary ? static_cast<DictionaryStorage*>(ref_.get()) : nullptr;
}

// ---- Typed reads ----

const std::string& Value::str() const {
    return kind_ == Kind::String ? *static_cast<const std::string*>(ref_.get()) : kEmptyString;
}

SharedText Value::sharedText() const {
    if (kind_ == Kind::String)
        return SharedText(std::shared_ptr<const std::string>(ref_, static_cast<const std::string*>(ref_.get())));
    return SharedText(text());
}

std::string Value::text() const {
    switch (kind_) {
        case Kind::String: return str();
        case Kind::Bool:
        case Kind::Integer:
        case Kind::Double: return description();
        default: return {};
    }
}

long long Value::integerValue() const {
    switch (kind_) {
        case Kind::Bool:
        case Kind::Integer: return i_;
        case Kind::Double:
            if (std::isnan(d_)) return 0;
            if (d_ >= 9.2233720368547758e18) return LLONG_MAX;
            if (d_ <= -9.2233720368547758e18) return LLONG_MIN;
            return static_cast<long long>(d_);
        case Kind::String: return parseLeadingInteger(str());
        default: return 0;
    }
}

unsigned long long Value::unsignedValue() const {
    if (kind_ == Kind::Integer) return static_cast<unsigned long long>(i_);
    return static_cast<unsigned long long>(integerValue());
}

double Value::doubleValue() const {
    switch (kind_) {
        case Kind::Bool: return i_ ? 1.0 : 0.0;
        case Kind::Integer: return unsigned_ ? static_cast<double>(static_cast<unsigned long long>(i_)) : static_cast<double>(i_);
        case Kind::Double: return d_;
        case Kind::String: return parseLeadingDouble(str());
        default: return 0;
    }
}

bool Value::boolValue() const {
    switch (kind_) {
        case Kind::Bool: return i_ != 0;
        case Kind::Integer: return i_ != 0;
        case Kind::Double: return d_ != 0;
        case Kind::String: return parseBoolText(str());
        default: return false;
    }
}

const Bytes& Value::data() const {
    return kind_ == Kind::Data ? *static_cast<const Bytes*>(ref_.get()) : kEmptyBytes;
}

Date Value::date() const { return kind_ == Kind::Date ? Date{d_} : Date{}; }

double Value::timeIntervalSinceReferenceDate() const {
    if (kind_ != Kind::Date) return 0;
    return ref_ ? *static_cast<const double*>(ref_.get()) : d_ - kReferenceDateSince1970;
}

// ---- Arrays ----

std::size_t Value::count() const {
    if (auto* a = arr()) return a->items.size();
    if (auto* d = dict()) return d->entries.size();
    return 0;
}

Value Value::at(std::size_t index) const {
    auto* a = arr();
    if (!a || index >= a->items.size()) return {};
    return a->items[index];
}

Value Value::last() const {
    auto* a = arr();
    if (!a || a->items.empty()) return {};
    return a->items.back();
}

void Value::push(Value v) {
    if (auto* a = arr()) a->items.push_back(std::move(v));
}

void Value::append(const Value& other) {
    auto* a = arr();
    auto* b = other.arr();
    if (!a || !b) return;
    std::vector<Value> copy = b->items;  // other may be this very array
    a->items.insert(a->items.end(), copy.begin(), copy.end());
}

void Value::insert(std::size_t index, Value v) {
    auto* a = arr();
    if (!a) return;
    index = std::min(index, a->items.size());
    a->items.insert(a->items.begin() + static_cast<std::ptrdiff_t>(index), std::move(v));
}

void Value::removeAt(std::size_t index) {
    auto* a = arr();
    if (!a || index >= a->items.size()) return;
    a->items.erase(a->items.begin() + static_cast<std::ptrdiff_t>(index));
}

void Value::removeLast() {
    auto* a = arr();
    if (a && !a->items.empty()) a->items.pop_back();
}

void Value::removeAll() {
    if (auto* a = arr()) a->items.clear();
    if (auto* d = dict()) d->clear();
}

void Value::replaceAt(std::size_t index, Value v) {
    auto* a = arr();
    if (a && index < a->items.size()) a->items[index] = std::move(v);
}

void Value::removeObject(const Value& v) {
    auto* a = arr();
    if (!a) return;
    std::erase_if(a->items, [&](const Value& x) { return x.isSame(v); });
}

bool Value::containsObject(const Value& v) const {
    auto* a = arr();
    if (!a) return false;
    return std::any_of(a->items.begin(), a->items.end(), [&](const Value& x) { return x.isSame(v); });
}

const std::vector<Value>& Value::items() const {
    auto* a = arr();
    return a ? a->items : kEmptyItems;
}

// ---- Dictionaries ----

Value Value::operator[](std::string_view key) const {
    auto* d = dict();
    if (!d) return {};
    auto i = d->find(key);
    return i < 0 ? Value{} : d->entries[static_cast<std::size_t>(i)].second;
}

bool Value::has(std::string_view key) const {
    auto* d = dict();
    return d && d->find(key) >= 0;
}

void Value::set(std::string key, Value v) {
    auto* d = dict();
    if (!d) return;
    if (v.isNil()) {
        remove(key);
        return;
    }
    d->set(std::move(key), std::move(v));
}

void Value::remove(std::string_view key) {
    auto* d = dict();
    if (!d) return;
    auto i = d->find(key);
    if (i >= 0) d->erase(static_cast<std::size_t>(i));
}

std::vector<std::string> Value::keys() const {
    std::vector<std::string> out;
    if (auto* d = dict())
        for (const auto& e : d->entries) out.push_back(e.first);
    return out;
}

const std::vector<std::pair<std::string, Value>>& Value::entries() const {
    auto* d = dict();
    return d ? d->entries : kEmptyEntries;
}

// Containers already copied, by the storage of the original. Only a
// container held in more than one place can be reached twice, so only such
// a one is kept here: a list of shared references copies in the time of its
// own objects, not of its expanded tree, and a tree without sharing keeps
// nothing at all.
struct Value::CopiedContainers {
    std::unordered_map<const void*, Value> done;
};

// Pairs of containers found equal, or being compared: not compared again,
// so two values that share containers compare in the time of their distinct
// pairs, not of their expanded trees. A pair is kept when either of its
// containers is held in more than one place; a pair of containers each held
// in one place is reached only through its parents' pair.
struct Value::ComparedContainers {
    struct PairHash {
        std::size_t operator()(const std::pair<const void*, const void*>& p) const {
            return std::hash<const void*>()(p.first) * 31 + std::hash<const void*>()(p.second);
        }
    };
    std::unordered_set<std::pair<const void*, const void*>, PairHash> seen;
    bool firstTime(const void* a, const void* b) { return seen.emplace(a, b).second; }
};

Value Value::deepCopy() const {
    std::unique_ptr<CopiedContainers> copied;
    return deepCopy(copied, true);
}

Value Value::deepCopy(std::unique_ptr<CopiedContainers>& copied, bool root) const {
    auto* a = arr();
    auto* d = dict();
    if (!a && !d) return *this;
    const bool shared = !root && ref_.use_count() > 1;
    if (shared && copied) {
        if (auto done = copied->done.find(ref_.get()); done != copied->done.end()) return done->second;
    }
    Value out = a ? array() : dictionary();
    if (a) {
        out.arr()->items.reserve(a->items.size());
        for (const auto& x : a->items) out.arr()->items.push_back(x.deepCopy(copied, false));
    } else {
        // The same keys in the same places: the copy takes the index as it is.
        DictionaryStorage* copy = out.dict();
        copy->entries.reserve(d->entries.size());
        for (const auto& [k, x] : d->entries) copy->entries.emplace_back(k, x.deepCopy(copied, false));
        if (d->index) copy->index = std::make_unique<TextIndex>(*d->index);
    }
    if (shared) {
        if (!copied) copied = std::make_unique<CopiedContainers>();
        copied->done.emplace(ref_.get(), out);
    }
    return out;
}

bool Value::isSame(const Value& other) const {
    if (kind_ == Kind::Array || kind_ == Kind::Dictionary) return kind_ == other.kind_ && ref_ == other.ref_;
    return *this == other;
}

bool Value::operator==(const Value& o) const {
    if (kind_ == o.kind_ && (kind_ == Kind::Array || kind_ == Kind::Dictionary)) {
        if (ref_ == o.ref_) return true;
        std::unique_ptr<ComparedContainers> compared;
        return containersEqual(o, compared, true);
    }
    if (isNumber() && o.isNumber()) {
        if (kind_ == Kind::Double || o.kind_ == Kind::Double) return doubleValue() == o.doubleValue();
        return i_ == o.i_ && unsigned_ == o.unsigned_;
    }
    if (kind_ != o.kind_) return false;
    switch (kind_) {
        case Kind::Nil:
        case Kind::Null: return true;
        case Kind::String: return str() == o.str();
        case Kind::Data: return data() == o.data();
        case Kind::Date: return d_ == o.d_;
        default: return false;
    }
}

bool Value::equals(const Value& o, std::unique_ptr<ComparedContainers>& compared) const {
    if (kind_ == o.kind_ && (kind_ == Kind::Array || kind_ == Kind::Dictionary))
        return ref_ == o.ref_ || containersEqual(o, compared, false);
    return *this == o;
}

// Two arrays or two dictionaries of distinct storage, element by element.
bool Value::containersEqual(const Value& o, std::unique_ptr<ComparedContainers>& compared, bool root) const {
    if (!root && (ref_.use_count() > 1 || o.ref_.use_count() > 1)) {
        if (!compared) compared = std::make_unique<ComparedContainers>();
        if (!compared->firstTime(ref_.get(), o.ref_.get())) return true;
    }
    if (kind_ == Kind::Array) {
        const auto& a = arr()->items;
        const auto& b = o.arr()->items;
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!a[i].equals(b[i], compared)) return false;
        return true;
    }
    const auto& a = dict()->entries;
    const auto& b = o.dict()->entries;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        // Keys in the same order (a copy, a list read again) need no lookup.
        auto at = a[i].first == b[i].first ? static_cast<std::ptrdiff_t>(i) : o.dict()->find(a[i].first);
        if (at < 0 || !a[i].second.equals(b[static_cast<std::size_t>(at)].second, compared)) return false;
    }
    return true;
}

// ---- Description ----

namespace {

void indent(std::string& out, int level) { out.append(static_cast<std::size_t>(level) * 4, ' '); }

// Inside collections Foundation prints strings in the old property-list
// style: bare when they are plain ASCII words, else quoted with escapes.
std::string quoteIfNeeded(const std::string& s) {
    bool bare = !s.empty();
    for (unsigned char c : s) {
        if (!(std::isalnum(c) || c == '_' || c == '$' || c == '.' || c == '/' || c == ':' || c == '-' || c == '+') ||
            c >= 0x80) {
            bare = false;
            break;
        }
    }
    if (bare) return s;
    std::string out = "\"";
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            switch (c) {
                case '"': out += "\\\""; break;
                case '\\': out += "\\\\"; break;
                case '\n': out += "\\n"; break;
                case '\t': out += "\\t"; break;
                case '\r': out += "\\r"; break;
                default:
                    if (c < 0x20) {
                        char buf[8];
                        std::snprintf(buf, sizeof buf, "\\%03o", c);
                        out += buf;
                    } else {
                        out += static_cast<char>(c);
                    }
            }
            ++i;
            continue;
        }
        // Decode one UTF-8 sequence, print it as \Uxxxx (UTF-16 units).
        std::uint32_t cp = 0;
        int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (len == 1 || i + static_cast<std::size_t>(len) > s.size()) {
            cp = 0xFFFD;
            len = 1;
        } else {
            cp = c & (0x7F >> len);
            for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        i += static_cast<std::size_t>(len);
        char buf[16];
        if (cp >= 0x10000) {
            cp -= 0x10000;
            std::snprintf(buf, sizeof buf, "\\U%04x\\U%04x", 0xD800 + (cp >> 10), 0xDC00 + (cp & 0x3FF));
        } else {
            std::snprintf(buf, sizeof buf, "\\U%04x", cp);
        }
        out += buf;
    }
    out += "\"";
    return out;
}

// Dates of other apps' lists and stores can lie anywhere a double can: the
// calendar is worked out in 64-bit days (proleptic Gregorian, as gmtime) for
// some three billion years either side of 1970; beyond that, and for NaN,
// the seconds themselves are shown.
std::string dateText(double seconds) {
    constexpr double kCalendarRange = 1e17;
    char buf[96];
    if (!(std::fabs(seconds) <= kCalendarRange)) {
        std::snprintf(buf, sizeof buf, "%.17g s from 1970-01-01 00:00:00 +0000", seconds);
        return buf;
    }
    const auto secs = static_cast<long long>(std::floor(seconds));
    long long days = secs / 86400, daySecs = secs % 86400;
    if (daySecs < 0) {
        daySecs += 86400;
        days -= 1;
    }
    const CivilDate date = civilFromDays(days);
    std::snprintf(buf, sizeof buf, "%s%04lld-%02u-%02u %02lld:%02lld:%02lld +0000", date.year < 0 ? "-" : "",
                  date.year < 0 ? -date.year : date.year, date.month, date.day, daySecs / 3600, daySecs / 60 % 60,
                  daySecs % 60);
    return buf;
}

std::string dataText(const Bytes& b) {
    static const char* hex = "0123456789abcdef";
    std::string out = "<";
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (i > 0 && i % 4 == 0) out += ' ';
        out += hex[b[i] >> 4];
        out += hex[b[i] & 15];
    }
    out += ">";
    return out;
}

void describe(const Value& v, std::string& out, int level, bool inCollection);

// Past its bound the text is cut (description() does that); what is left of
// a container is not printed.
bool full(const std::string& out) { return out.size() > kDescriptionMaxBytes; }

void describeContainer(const Value& v, std::string& out, int level) {
    if (full(out)) return;
    if (v.isArray()) {
        out += "(\n";
        const auto& items = v.items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (full(out)) return;
            indent(out, level + 1);
            if (items[i].isArray() || items[i].isDictionary()) indent(out, level + 1);
            describe(items[i], out, level + 1, true);
            if (i + 1 < items.size()) out += ',';
            out += '\n';
        }
        indent(out, level);
        out += ')';
        return;
    }
    out += "{\n";
    // Sorted by key, the entries themselves not copied.
    std::vector<const std::pair<std::string, Value>*> entries;
    entries.reserve(v.count());
    for (const auto& e : v.entries()) entries.push_back(&e);
    std::stable_sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const auto* e : entries) {
        const auto& [k, x] = *e;
        if (full(out)) return;
        indent(out, level + 1);
        out += quoteIfNeeded(k);
        out += " = ";
        if (x.isArray() || x.isDictionary()) indent(out, level + 1);
        describe(x, out, level + 1, true);
        out += ";\n";
    }
    indent(out, level);
    out += '}';
}

void describe(const Value& v, std::string& out, int level, bool inCollection) {
    switch (v.kind()) {
        case Value::Kind::Nil: out += "(null)"; break;
        case Value::Kind::Null: out += "<null>"; break;
        case Value::Kind::Bool: out += v.boolValue() ? "1" : "0"; break;
        case Value::Kind::Integer:
            out += v.isUnsigned() ? std::to_string(v.unsignedValue()) : std::to_string(v.integerValue());
            break;
        case Value::Kind::Double: out += formatDouble(v.doubleValue()); break;
        case Value::Kind::String: out += inCollection ? quoteIfNeeded(v.str()) : v.str(); break;
        case Value::Kind::Data: out += dataText(v.data()); break;
        case Value::Kind::Date: out += dateText(v.date().seconds); break;
        case Value::Kind::Array:
        case Value::Kind::Dictionary: describeContainer(v, out, level); break;
    }
}

}  // namespace

std::string Value::description() const {
    std::string out;
    describe(*this, out, 0, false);
    // A container's text is plain ASCII (strings inside are escaped), so it
    // can be cut at any byte.
    if ((isArray() || isDictionary()) && full(out)) {
        out.resize(kDescriptionMaxBytes);
        out += kDescriptionTruncated;
    }
    return out;
}

// ---- Number parsing and printing ----

long long parseLeadingInteger(std::string_view s) {
    s = skipSpace(s);
    bool neg = false;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    unsigned long long acc = 0;
    bool overflow = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        if (acc > (ULLONG_MAX - 9) / 10) {
            overflow = true;
            continue;
        }
        acc = acc * 10 + static_cast<unsigned>(s[i] - '0');
    }
    if (neg) {
        if (overflow || acc > static_cast<unsigned long long>(LLONG_MAX) + 1) return LLONG_MIN;
        return static_cast<long long>(0 - acc);
    }
    if (overflow || acc > static_cast<unsigned long long>(LLONG_MAX)) return LLONG_MAX;
    return static_cast<long long>(acc);
}

double parseLeadingDouble(std::string_view s) {
    s = skipSpace(s);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
            i = j;
        }
    }
    std::string prefix(s.substr(0, i));
    return std::strtod(prefix.c_str(), nullptr);
}

bool parseBoolText(std::string_view s) {
    s = skipSpace(s);
    std::size_t i = 0;
    while (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && s[i] == '0') ++i;
    if (i >= s.size()) return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string formatDouble(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    if (d == 0) return std::signbit(d) ? "-0" : "0";
    char buf[64];
    // Whole numbers up to 2^53 print without exponent or fraction.
    if (std::fabs(d) < 9007199254740992.0 && d == std::floor(d)) {
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return buf;
    }
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    if (ec != std::errc{}) return "0";
    return std::string(buf, end);
}

}  // namespace ns
