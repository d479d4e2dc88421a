#include "foundation/PropertyList.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <plist/plist.h>

#include "foundation/Data.h"
#include "foundation/Log.h"
#include "foundation/PropertyListXML.h"
#include "foundation/Strings.h"

namespace ns {

namespace {

// Seconds between 1970-01-01 and the property lists' 2001-01-01 reference.
constexpr double kReferenceOffset = 978307200.0;
using plistxml::kMaxDepth;
constexpr const char* kUIDKey = "CF$UID";

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct Failure {
    std::string reason;
};

// A node for an unsigned value above INT64_MAX. plist_new_uint stores every
// value as signed; the XML reader is the public way to get an unsigned one.
plist_t newBigUnsigned(unsigned long long u) {
    std::string xml = "<plist version=\"1.0\"><integer>" + std::to_string(u) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.c_str(), static_cast<uint32_t>(xml.size()), &node);
    return node;
}

bool isUIDDictionary(const Value& v) {
    return v.isDictionary() && v.count() == 1 && v[kUIDKey].isInteger() && !v[kUIDKey].isUnsigned() &&
           v[kUIDKey].integerValue() >= 0;
}

plist_t toNode(const Value& v, PropertyListFormat format, int depth) {
    if (depth > kMaxDepth) throw Failure{"nesting too deep"};
    switch (v.kind()) {
        case Value::Kind::Nil: throw Failure{"nil has no property-list form"};
        case Value::Kind::Null: throw Failure{"the null object has no property-list form"};
        case Value::Kind::Bool: return plist_new_bool(v.boolValue() ? 1 : 0);
        case Value::Kind::Integer:
            if (v.isUnsigned()) {
                plist_t n = newBigUnsigned(v.unsignedValue());
                if (!n) throw Failure{"cannot encode unsigned integer"};
                return n;
            }
            return plist_new_uint(static_cast<uint64_t>(v.integerValue()));
        case Value::Kind::Double: return plist_new_real(v.doubleValue());
        case Value::Kind::String: {
            const std::string& s = v.str();
            if (s.find('\0') != std::string::npos) throw Failure{"string with a NUL character"};
            return plist_new_string(s.c_str());
        }
        case Value::Kind::Data: {
            const Bytes& d = v.data();
            return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
        }
        case Value::Kind::Date: {
            double rel = v.date().seconds - kReferenceOffset;
            double whole = std::floor(rel);
            if (!std::isfinite(rel) || whole < INT32_MIN || whole > INT32_MAX) throw Failure{"date out of range"};
            int32_t usec = 0;
            // XML dates carry whole seconds, as the platform writes them.
            if (format == PropertyListFormat::Binary) {
                usec = static_cast<int32_t>(std::llround((rel - whole) * 1e6));
                if (usec >= 1000000) {
                    usec = 0;
                    whole += 1;
                    if (whole > INT32_MAX) throw Failure{"date out of range"};
                }
            }
            return plist_new_date(static_cast<int32_t>(whole), usec);
        }
        case Value::Kind::Array: {
            PlistPtr node(plist_new_array());
            for (const auto& item : v.items()) plist_array_append_item(node.get(), toNode(item, format, depth + 1));
            return node.release();
        }
        case Value::Kind::Dictionary: {
            if (isUIDDictionary(v)) return plist_new_uid(static_cast<uint64_t>(v[kUIDKey].integerValue()));
            PlistPtr node(plist_new_dict());
            for (const auto& [key, item] : v.entries()) {
                if (key.find('\0') != std::string::npos) throw Failure{"key with a NUL character"};
                plist_dict_set_item(node.get(), key.c_str(), toNode(item, format, depth + 1));
            }
            return node.release();
        }
    }
    throw Failure{"unknown value"};
}

// The node's integer, telling unsigned values above INT64_MAX from negative
// ones (both read back as the same 64 bits).
Value integerOf(plist_t node) {
    uint64_t u = 0;
    plist_get_uint_val(node, &u);
    if (u <= static_cast<uint64_t>(INT64_MAX)) return Value(static_cast<long long>(u));
    char* xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(node, &xml, &len);
    bool negative = xml && std::string_view(xml, len).find("<integer>-") != std::string_view::npos;
    if (xml) plist_to_xml_free(xml);
    if (negative) return Value(static_cast<long long>(u));
    return Value(static_cast<unsigned long long>(u));
}

Value fromNode(plist_t node, int depth) {
    if (!node) throw Failure{"missing value"};
    if (depth > kMaxDepth) throw Failure{"nesting too deep"};
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return Value(b != 0);
        }
        case PLIST_UINT: return integerOf(node);
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return Value(d);
        }
        case PLIST_STRING: {
            // The pointer read: the copying reader asserts on strings with an
            // embedded NUL, which damaged input can hold.
            uint64_t len = 0;
            const char* s = plist_get_string_ptr(node, &len);
            if (!s) return Value(std::string());
            // Text that is not UTF-8 (bytes passed through as they are) could
            // not be written back whole.
            std::string text(s, ::strnlen(s, static_cast<std::size_t>(len)));
            if (!isValidUTF8(text)) throw Failure{"string that is not UTF-8"};
            return Value(std::move(text));
        }
        case PLIST_DATA: {
            char* d = nullptr;
            uint64_t len = 0;
            plist_get_data_val(node, &d, &len);
            Bytes bytes(reinterpret_cast<const std::uint8_t*>(d), reinterpret_cast<const std::uint8_t*>(d) + (d ? len : 0));
            std::free(d);
            return Value(std::move(bytes));
        }
        case PLIST_DATE: {
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            // The binary reader splits a negative time by truncation, leaving
            // the fraction's magnitude in usec.
            double frac = usec / 1e6;
            double rel = sec < 0 ? sec - frac : sec + frac;
            return Value(Date{rel + kReferenceOffset});
        }
        case PLIST_UID: {
            uint64_t u = 0;
            plist_get_uid_val(node, &u);
            return Value::dictionary({{kUIDKey, Value(static_cast<long long>(u))}});
        }
        case PLIST_ARRAY: {
            Value out = Value::array();
            uint32_t n = plist_array_get_size(node);
            for (uint32_t i = 0; i < n; ++i) out.push(fromNode(plist_array_get_item(node, i), depth + 1));
            return out;
        }
        case PLIST_DICT: {
            // Built through an index: a dictionary of many keys reads in linear time.
            std::vector<std::pair<std::string, Value>> entries;
            std::unordered_map<std::string, std::size_t> index;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            if (!it) return Value::dictionary();
            for (;;) {
                char* key = nullptr;
                plist_t item = nullptr;
                plist_dict_next_item(node, it, &key, &item);
                if (!key) break;
                std::string k = key;
                std::free(key);
                if (!isValidUTF8(k)) {
                    std::free(it);
                    throw Failure{"key that is not UTF-8"};
                }
                if (!item) {
                    std::free(it);
                    throw Failure{"dictionary key without a value"};
                }
                try {
                    Value v = fromNode(item, depth + 1);
                    auto [at, fresh] = index.try_emplace(k, entries.size());
                    if (fresh)
                        entries.emplace_back(std::move(k), std::move(v));
                    else
                        entries[at->second].second = std::move(v);
                } catch (...) {
                    std::free(it);
                    throw;
                }
            }
            std::free(it);
            return Value::dictionaryWithUniqueEntries(std::move(entries));
        }
        default: throw Failure{"unsupported node"};
    }
}

// Checks the structure of a binary property list before libplist reads it:
// libplist aborts (assertions) on some damaged input, e.g. a string with a
// NUL character or a dictionary key that is not a string, and expands
// shared references without limit. Anything odd is refused here.
class BinaryChecker {
public:
    BinaryChecker(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}

    std::optional<std::string> problem() {
        if (n_ < 8 + 32) return "truncated";
        const std::uint8_t* t = p_ + n_ - 32;
        offsetSize_ = t[6];
        refSize_ = t[7];
        std::uint64_t count = be(t + 8, 8), top = be(t + 16, 8), table = be(t + 24, 8);
        auto okSize = [](unsigned s) { return s >= 1 && s <= 8; };
        if (!okSize(offsetSize_) || !okSize(refSize_)) return "bad trailer";
        if (count == 0 || count > n_ || top >= count || table < 8 || table > n_ - 32) return "bad trailer";
        if ((n_ - 32 - table) / offsetSize_ < count) return "bad offset table";
        count_ = static_cast<std::size_t>(count);
        end_ = static_cast<std::size_t>(table);
        offsets_.resize(count_);
        for (std::size_t i = 0; i < count_; ++i) {
            std::uint64_t off = be(p_ + table + i * offsetSize_, offsetSize_);
            if (off < 8 || off >= end_) return "object outside the object area";
            offsets_[i] = static_cast<std::size_t>(off);
        }
        state_.assign(count_, 0);
        weight_.assign(count_, 0);
        std::uint64_t total = 0;
        if (auto bad = visit(static_cast<std::size_t>(top), 0, total)) return bad;
        return std::nullopt;
    }

private:
    // Writers share equal scalars (and seldom a container), so a list
    // expands to little more than its references, each at least a byte: a
    // few bytes of containers holding each other twice must not expand to a
    // tree that takes seconds to build.
    static constexpr std::uint64_t kMaxNodes = 1'000'000;
    static constexpr std::uint64_t kMaxNodesPerByte = 4;

    std::uint64_t be(const std::uint8_t* q, unsigned size) const {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < size; ++i) v = (v << 8) | q[i];
        return v;
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
        unsigned size = 1u << (m & 0xF);
        if (end_ - at < size) return false;
        count = be(p_ + at, size);
        at += size;
        return true;
    }

    // Depth-first over the object graph: rejects cycles and bounds the size
    // of the tree the references expand to.
    std::optional<std::string> visit(std::size_t obj, int depth, std::uint64_t& weight) {
        if (depth > kMaxDepth) return "nesting too deep";
        if (state_[obj] == 1) return "reference cycle";
        if (state_[obj] == 2) {
            weight = weight_[obj];
            return std::nullopt;
        }
        state_[obj] = 1;
        std::size_t at = offsets_[obj];
        std::uint8_t marker = p_[at++];
        unsigned type = marker >> 4, low = marker & 0xF;
        std::uint64_t count = 0;
        weight = 1;
        switch (type) {
            case 0x0:
                if (marker != 0x08 && marker != 0x09) return "unsupported object";
                break;
            case 0x1:
                if (low > 4 || end_ - at < (1u << low)) return "bad integer";
                break;
            case 0x2:
                if ((low != 2 && low != 3) || end_ - at < (1u << low)) return "bad real";
                break;
            case 0x3:
                if (marker != 0x33 || end_ - at < 8) return "bad date";
                break;
            case 0x4:
                if (!countOf(at, low, count) || end_ - at < count) return "bad data";
                break;
            case 0x5:
                if (!countOf(at, low, count) || end_ - at < count) return "bad string";
                for (std::uint64_t i = 0; i < count; ++i) {
                    if (p_[at + i] == 0) return "string with a NUL character";
                    if (p_[at + i] >= 0x80) return "ASCII string with a byte above 127";
                }
                break;
            case 0x6:
                if (!countOf(at, low, count) || (end_ - at) / 2 < count) return "bad string";
                for (std::uint64_t i = 0; i < count; ++i)
                    if (p_[at + 2 * i] == 0 && p_[at + 2 * i + 1] == 0) return "string with a NUL character";
                break;
            case 0x8:
                if (low > 7 || end_ - at < low + 1u) return "bad UID";
                break;
            case 0xA:
            case 0xD: {
                if (!countOf(at, low, count)) return "bad container";
                std::uint64_t refs = type == 0xD ? count * 2 : count;
                if (count > n_ || (end_ - at) / refSize_ < refs) return "bad container";
                for (std::uint64_t i = 0; i < refs; ++i) {
                    std::uint64_t ref = be(p_ + at + i * refSize_, refSize_);
                    if (ref >= count_) return "bad reference";
                    bool isKey = type == 0xD && i < count;
                    if (isKey) {
                        unsigned keyType = p_[offsets_[ref]] >> 4;
                        if (keyType != 0x5 && keyType != 0x6) return "dictionary key is not a string";
                    }
                    std::uint64_t w = 0;
                    if (auto bad = visit(static_cast<std::size_t>(ref), depth + 1, w)) return bad;
                    weight += w;
                    if (weight > kMaxNodes || weight > kMaxNodesPerByte * n_) return "too many objects";
                }
                break;
            }
            default: return "unsupported object";
        }
        state_[obj] = 2;
        weight_[obj] = weight;
        return std::nullopt;
    }

    const std::uint8_t* p_;
    std::size_t n_;
    unsigned offsetSize_ = 0, refSize_ = 0;
    std::size_t count_ = 0, end_ = 0;
    std::vector<std::size_t> offsets_;
    std::vector<std::uint8_t> state_;  // 0 new, 1 on the path, 2 done
    std::vector<std::uint64_t> weight_;
};

void report(ErrorPtr* error, long code, const std::string& reason) {
    if (error) {
        *error = makeError(kCocoaErrorDomain, code, reason);
    } else {
        NSLog("PropertyList: %@", reason);
    }
}

}  // namespace

std::optional<Bytes> PropertyListSerialization::dataWithPropertyList(const Value& plist, PropertyListFormat format,
                                                                     ErrorPtr* error) {
    PlistPtr root;
    try {
        root.reset(toNode(plist, format, 0));
    } catch (const Failure& f) {
        report(error, kPropertyListWriteInvalidError, "cannot write property list: " + f.reason);
        return std::nullopt;
    }
    char* out = nullptr;
    uint32_t len = 0;
    if (format == PropertyListFormat::Binary)
        plist_to_bin(root.get(), &out, &len);
    else
        plist_to_xml(root.get(), &out, &len);
    if (!out) {
        report(error, kPropertyListWriteInvalidError, "cannot write property list");
        return std::nullopt;
    }
    Bytes bytes(reinterpret_cast<std::uint8_t*>(out), reinterpret_cast<std::uint8_t*>(out) + len);
    if (format == PropertyListFormat::Binary)
        plist_to_bin_free(out);
    else
        plist_to_xml_free(out);
    return bytes;
}

bool PropertyListSerialization::isValidPropertyList(const Value& plist) {
    try {
        PlistPtr root(toNode(plist, PropertyListFormat::Binary, 0));
        return root != nullptr;
    } catch (const Failure&) {
        return false;
    }
}

Value PropertyListSerialization::propertyListWithData(const Bytes& data, PropertyListFormat* format, ErrorPtr* error) {
    if (data.empty() || data.size() > UINT32_MAX) {
        report(error, kPropertyListReadCorruptError, data.empty() ? "empty property list" : "property list too large");
        return {};
    }
    const char* bytes = reinterpret_cast<const char*>(data.data());
    auto len = static_cast<uint32_t>(data.size());
    bool binary = plist_is_binary(bytes, len) != 0;
    if (binary) {
        if (auto bad = BinaryChecker(data.data(), data.size()).problem()) {
            report(error, kPropertyListReadCorruptError, "corrupt binary property list: " + *bad);
            return {};
        }
    } else if (std::memchr(bytes, 0, len)) {
        report(error, kPropertyListReadCorruptError, "not a property list");
        return {};
    }
    if (!binary) {
        std::string problem;
        Value v = plistxml::read(std::string_view(bytes, len), &problem);
        if (v.isNil()) {
            report(error, kPropertyListReadCorruptError, "not a property list: " + problem);
            return {};
        }
        if (format) *format = PropertyListFormat::XML;
        return v;
    }
    plist_t raw = nullptr;
    plist_from_bin(bytes, len, &raw);
    PlistPtr root(raw);
    if (!root) {
        report(error, kPropertyListReadCorruptError, "corrupt binary property list");
        return {};
    }
    try {
        Value v = fromNode(root.get(), 0);
        if (format) *format = PropertyListFormat::Binary;
        return v;
    } catch (const Failure& f) {
        report(error, kPropertyListReadCorruptError, "corrupt property list: " + f.reason);
        return {};
    }
}

}  // namespace ns
