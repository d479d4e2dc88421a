#include "service/JSON.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "foundation/Log.h"
#include "foundation/ReadBudget.h"
#include "foundation/Strings.h"
#include "foundation/TextIndex.h"
#include "service/TextScan.h"

namespace {

using Entries = std::vector<std::pair<std::string, ns::Value>>;

// Byte classes inside a string.
enum : unsigned char { kPlain = 0, kQuote = 1, kBackslash = 2, kControl = 3, kHigh = 4 };

constexpr std::array<unsigned char, 256> makeClasses() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        if (c < 0x20)
            t[c] = kControl;
        else if (c == '"')
            t[c] = kQuote;
        else if (c == '\\')
            t[c] = kBackslash;
        else if (c >= 0x80)
            t[c] = kHigh;
        else
            t[c] = kPlain;
    }
    return t;
}
constexpr auto kClasses = makeClasses();

inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Skips what a string holds as it is: printable ASCII other than '"' and
// '\\', and well-formed multi-byte UTF-8. Stops at the first byte that needs
// work (a quote, a backslash, a control character, the start of a malformed
// sequence) or at end. ASCII goes a block at a time; Chinese text, mostly
// three-byte sequences, five at a time and else one at a time without a call.
const unsigned char* skipPlain(const unsigned char* p, const unsigned char* end) {
    for (;;) {
        if (end - p >= textscan::kBlock) {
            const std::ptrdiff_t n = textscan::plainASCII<'"', '\\', '\\'>(p);
            p += n;
            if (n == textscan::kBlock) continue;
        } else {
            while (p < end && kClasses[*p] == kPlain) ++p;
            if (p == end) return p;
        }
        if (*p < 0x80) return p;
        do {
            if (end - p >= 16 && textscan::fiveThreeByteSequences(p)) {
                p += 15;
                continue;
            }
            if (end - p >= 3 && (p[0] & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
                // No overlong form (below U+0800), no surrogate.
                const unsigned top = ((p[0] & 0x0Fu) << 6) | (p[1] & 0x3Fu);  // code point >> 6
                if (top < 0x20 || (top >= 0x360 && top < 0x380)) return p;
                p += 3;
                continue;
            }
            const std::size_t n = ns::utf8SequenceLength(p, end);
            if (!n) return p;
            p += n;
        } while (p < end && *p >= 0x80);
    }
}

// The readers' member stacks and escape buffer keep their room from one text
// to the next on each thread, so a page of records takes none anew (room of
// a kilobyte and more taken per text also made the allocator tidy up all its
// small free blocks each time); what a large text grew them to is let go.
struct Stacks {
    Entries entries;
    std::vector<ns::Value> items;
    std::string scratch;
};
constexpr std::size_t kKeptStackRoom = 256;  // members
constexpr std::size_t kKeptScratchRoom = 16 * 1024;

Stacks& threadStacks() {
    thread_local Stacks stacks;
    return stacks;
}

// Room for one more member on a stack: twice what it has, but never more
// than the rest of the text can still hold (each further member takes at
// least `bytesPerMember` of it), so a stack of millions of members is not
// left with as many again unused.
template <class Stack>
void makeRoom(Stack& stack, std::size_t remainingBytes, std::size_t bytesPerMember) {
    if (stack.size() < stack.capacity()) return;
    const std::size_t most = stack.size() + remainingBytes / bytesPerMember + 1;
    stack.reserve(std::max<std::size_t>(16, std::min(stack.capacity() * 2, most)));
}

// The fewest bytes a further member takes with its separator: an array's
// ("0,"), an object's (an empty key, a colon, a digit and a comma).
constexpr std::size_t kShortestItem = 2;
constexpr std::size_t kShortestEntry = 5;
// An object's members are compared one by one up to this many; past it, by
// an index of their keys.
constexpr std::size_t kLinearMembers = 16;

// What a read builds beside the values its containers hold (ReadBudget's
// kValueBytes each): a string's shared holder, its control block with the
// string in it, costs what a container's own storage does; an entry's key
// beside its value.
constexpr std::size_t kHolderBytes = ns::ReadBudget::kContainerBytes + ns::ReadBudget::kAllocationBytes;
constexpr std::size_t kMemberBytes = ns::ReadBudget::kValueBytes + ns::ReadBudget::kEntryBytes;

// Every empty string of a text is this one value: strings do not change, and
// a reply of millions of them then costs one holder, not one each.
const ns::Value& emptyString() {
    static const ns::Value empty{std::string()};
    return empty;
}

class Reader {
public:
    Reader(std::string_view text, std::size_t maxDepth)
        : begin_(reinterpret_cast<const unsigned char*>(text.data())),
          p_(begin_),
          end_(begin_ + text.size()),
          maxDepth_(maxDepth),
          budget_(text.size()) {
        // Room for a page of records without growing step by step.
        entryStack_.reserve(16);
        itemStack_.reserve(16);
    }
    ~Reader() {
        // Members of a text that failed are dropped here.
        entryStack_.clear();
        itemStack_.clear();
        if (entryStack_.capacity() > kKeptStackRoom) Entries().swap(entryStack_);
        if (itemStack_.capacity() > kKeptStackRoom) std::vector<ns::Value>().swap(itemStack_);
        if (scratch_.capacity() > kKeptScratchRoom) std::string().swap(scratch_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool document(ns::Value& out) {
        skipSpace();
        if (!value(out, 0)) return false;
        if (!budget_.spend(std::exchange(pending_, 0))) return beyondBudget();
        skipSpace();
        if (p_ != end_) return fail("Unexpected text after the value");
        return true;
    }

    std::string error;

private:
    bool fail(const char* message) {
        if (!error.empty()) return false;
        std::size_t line = 1, column = 1;
        for (const unsigned char* q = begin_; q < p_ && q < end_; ++q) {
            if (*q == '\n') {
                ++line;
                column = 1;
            } else if ((*q & 0xC0) != 0x80) {
                ++column;
            }
        }
        error = std::string(message) + " at line " + std::to_string(line) + ", column " + std::to_string(column);
        return false;
    }

    void skipSpace() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
    }

    bool literal(const char* word, std::size_t n) {
        if (static_cast<std::size_t>(end_ - p_) < n || std::memcmp(p_, word, n) != 0)
            return fail("Unrecognised word");
        p_ += n;
        return true;
    }

    bool value(ns::Value& out, std::size_t depth) {
        if (p_ >= end_) return fail("Unexpected end of input");
        switch (*p_) {
            case '{': return object(out, depth + 1);
            case '[': return array(out, depth + 1);
            case '"': {
                std::string_view s;
                if (!string(s)) return false;
                if (s.empty()) {
                    out = emptyString();
                    return true;
                }
                if (!spend(kHolderBytes) || !spendCopy(s.size())) return beyondBudget();
                out = ns::Value(std::string(s));
                return true;
            }
            case 't':
                if (!literal("true", 4)) return false;
                out = ns::Value(true);
                return true;
            case 'f':
                if (!literal("false", 5)) return false;
                out = ns::Value(false);
                return true;
            case 'n':
                if (!literal("null", 4)) return false;
                out = ns::Value::null();
                return true;
            default:
                if (*p_ == '-' || isDigit(*p_)) return number(out);
                return fail("Unrecognised leading character");
        }
    }

    // What the read has built is more than its text allows.
    bool beyondBudget() { return fail(ns::ReadBudget::kReason); }

    // The fixed costs of values, holders and members are gathered here and
    // spent a batch at a time, and what is left at the end of the text (a
    // text is refused at most a batch late); a body copied out is spent as
    // it comes.
    static constexpr std::size_t kBatchBytes = 64 * 1024;
    bool spend(std::size_t bytes) {
        pending_ += bytes;
        if (pending_ < kBatchBytes) return true;
        const std::size_t batch = std::exchange(pending_, 0);
        return budget_.spend(batch);
    }
    bool spendCopy(std::size_t bytes) { return bytes <= ns::ReadBudget::kInlineBytes || budget_.spendCopy(bytes); }

    std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

    // A container's own storage, beside the value that holds it.
    bool spendContainer() {
        return spend(ns::ReadBudget::kContainerBytes + ns::ReadBudget::kAllocationBytes) || beyondBudget();
    }

    // The members gathered on a stack from `base` on, moved into a vector of
    // their own. The outermost container's take the stack's storage itself,
    // whose room never passes what the text could hold: the members of a
    // reply of millions are not copied, and not held twice.
    template <class Stack>
    static Stack takeMembers(Stack& stack, std::size_t base) {
        if (base == 0) return std::exchange(stack, Stack());
        Stack members(std::make_move_iterator(stack.begin() + static_cast<std::ptrdiff_t>(base)),
                      std::make_move_iterator(stack.end()));
        stack.resize(base);
        return members;
    }

    // Objects and arrays gather their members on these stacks (shared by all
    // levels) and move them into a container of the exact size at the end,
    // instead of growing each container step by step.
    bool object(ns::Value& out, std::size_t depth) {
        if (depth > maxDepth_) return fail("Nested too deep");
        ++p_;  // '{'
        if (!spendContainer()) return false;
        const std::size_t base = entryStack_.size();
        ns::TextIndex index;  // only for large objects
        std::size_t indexBytes = 0;
        skipSpace();
        if (p_ < end_ && *p_ == '}') {
            ++p_;
            out = ns::Value::dictionary();
            return true;
        }
        for (;;) {
            skipSpace();
            if (p_ >= end_) return fail("Unexpected end of input in object");
            if (*p_ != '"') return fail(*p_ == '}' ? "Trailing comma in object" : "Object key is not a string");
            std::string_view keyText;
            if (!string(keyText)) return false;
            std::string key(keyText);
            skipSpace();
            if (p_ >= end_ || *p_ != ':') return fail("Expected ':' after object key");
            ++p_;
            skipSpace();
            ns::Value v;
            if (!value(v, depth)) return false;
            // A repeated key keeps the last value.
            const std::size_t count = entryStack_.size() - base;
            std::size_t at = count;
            if (count < kLinearMembers) {
                for (std::size_t i = 0; i < count; ++i)
                    if (entryStack_[base + i].first == key) {
                        at = i;
                        break;
                    }
            } else {
                if (count >= ns::TextIndex::kMostPlaces) return fail("Too many members in object");
                auto keyAt = [&](std::size_t i) -> std::string_view { return entryStack_[base + i].first; };
                if (index.size() == 0)
                    for (std::size_t i = 0; i < count; ++i) index.add(i, ns::TextIndex::hashOf(keyAt(i)));
                const std::ptrdiff_t earlier = index.findOrAdd(key, ns::TextIndex::hashOf(key), count, keyAt);
                if (earlier >= 0) at = static_cast<std::size_t>(earlier);
                if (index.bytes() > indexBytes) {
                    if (!budget_.spend(index.bytes() - indexBytes)) return beyondBudget();
                    indexBytes = index.bytes();
                }
            }
            if (at < count) {
                entryStack_[base + at].second = std::move(v);
            } else {
                if (!spend(kMemberBytes) || !spendCopy(key.size())) return beyondBudget();
                makeRoom(entryStack_, remaining(), kShortestEntry);
                entryStack_.emplace_back(std::move(key), std::move(v));
            }
            skipSpace();
            if (p_ >= end_) return fail("Unexpected end of input in object");
            if (*p_ == ',') {
                ++p_;
                continue;
            }
            if (*p_ == '}') {
                ++p_;
                // Keys are already distinct: a repeated key replaced its value
                // above. The index of a large object's keys goes along with them.
                out = ns::Value::dictionaryWithUniqueEntries(takeMembers(entryStack_, base), std::move(index));
                return true;
            }
            return fail("Expected ',' or '}' in object");
        }
    }

    bool array(ns::Value& out, std::size_t depth) {
        if (depth > maxDepth_) return fail("Nested too deep");
        ++p_;  // '['
        if (!spendContainer()) return false;
        const std::size_t base = itemStack_.size();
        skipSpace();
        if (p_ < end_ && *p_ == ']') {
            ++p_;
            out = ns::Value::array();
            return true;
        }
        for (;;) {
            skipSpace();
            if (p_ < end_ && *p_ == ']') return fail("Trailing comma in array");
            ns::Value v;
            if (!value(v, depth)) return false;
            if (!spend(ns::ReadBudget::kValueBytes)) return beyondBudget();
            makeRoom(itemStack_, remaining(), kShortestItem);
            itemStack_.push_back(std::move(v));
            skipSpace();
            if (p_ >= end_) return fail("Unexpected end of input in array");
            if (*p_ == ',') {
                ++p_;
                continue;
            }
            if (*p_ == ']') {
                ++p_;
                out = ns::Value::array(takeMembers(itemStack_, base));
                return true;
            }
            return fail("Expected ',' or ']' in array");
        }
    }

    bool hex4(std::uint32_t& out) {
        if (end_ - p_ < 4) return fail("Short \\u escape");
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            int h = ns::hexDigitValue(static_cast<char>(p_[i]));
            if (h < 0) return fail("Invalid \\u escape");
            v = (v << 4) | static_cast<std::uint32_t>(h);
        }
        p_ += 4;
        out = v;
        return true;
    }

    bool escape(std::string& out) {
        ++p_;  // '\'
        if (p_ >= end_) return fail("Unterminated string");
        unsigned char c = *p_++;
        switch (c) {
            case '"': out += '"'; return true;
            case '\\': out += '\\'; return true;
            case '/': out += '/'; return true;
            case 'b': out += '\b'; return true;
            case 'f': out += '\f'; return true;
            case 'n': out += '\n'; return true;
            case 'r': out += '\r'; return true;
            case 't': out += '\t'; return true;
            case 'u': {
                std::uint32_t cp = 0;
                if (!hex4(cp)) return false;
                if (cp >= 0xDC00 && cp <= 0xDFFF) return fail("Lone low surrogate");
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (end_ - p_ < 6 || p_[0] != '\\' || p_[1] != 'u') return fail("Lone high surrogate");
                    p_ += 2;
                    std::uint32_t low = 0;
                    if (!hex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return fail("Lone high surrogate");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                ns::appendUTF8(out, cp);
                return true;
            }
            default:
                --p_;
                return fail("Invalid escape");
        }
    }

    // The text of a string: one without escapes where it stands in the text,
    // one with escapes gathered in a buffer kept from string to string (good
    // until the next string is read). Either is then copied once, at its
    // exact size.
    bool string(std::string_view& out) {
        ++p_;  // '"'
        const unsigned char* const start = p_;
        const unsigned char* run = start;
        for (;;) {
            p_ = skipPlain(p_, end_);
            if (p_ >= end_) return fail("Unterminated string");
            switch (kClasses[*p_]) {
                case kQuote:
                    if (run == start) {
                        out = std::string_view(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p_ - start));
                    } else {
                        scratch_.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p_ - run));
                        out = scratch_;
                    }
                    ++p_;
                    return true;
                case kBackslash:
                    if (run == start) scratch_.clear();
                    scratch_.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p_ - run));
                    if (!escape(scratch_)) return false;
                    run = p_;
                    break;
                case kHigh: return fail("Invalid UTF-8 in string");
                default: return fail("Unescaped control character in string");
            }
        }
    }

    bool number(ns::Value& out) {
        const unsigned char* start = p_;
        bool negative = false;
        if (*p_ == '-') {
            negative = true;
            ++p_;
        }
        if (p_ >= end_ || !isDigit(*p_)) return fail("Invalid number");
        const unsigned char* digits = p_;
        if (*p_ == '0') {
            ++p_;
            if (p_ < end_ && isDigit(*p_)) return fail("Leading zero in number");
        } else {
            while (p_ < end_ && isDigit(*p_)) ++p_;
        }
        const unsigned char* digitsEnd = p_;
        bool integral = true;
        if (p_ < end_ && *p_ == '.') {
            ++p_;
            if (p_ >= end_ || !isDigit(*p_)) return fail("Invalid fraction in number");
            while (p_ < end_ && isDigit(*p_)) ++p_;
            integral = false;
        }
        const unsigned char* fractionEnd = p_;
        bool negativeExponent = false;
        long long exponent = 0;  // held at a bound beyond any text's count of digits
        if (p_ < end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ < end_ && (*p_ == '+' || *p_ == '-')) negativeExponent = *p_++ == '-';
            if (p_ >= end_ || !isDigit(*p_)) return fail("Invalid exponent in number");
            for (; p_ < end_ && isDigit(*p_); ++p_)
                if (exponent < 1000000000000LL) exponent = exponent * 10 + (*p_ - '0');
            if (negativeExponent) exponent = -exponent;
            integral = false;
        }
        if (integral) {
            std::uint64_t v = 0;
            bool overflow = false;
            for (const unsigned char* q = digits; q < digitsEnd; ++q) {
                std::uint64_t d = *q - '0';
                if (v > (UINT64_MAX - d) / 10) {
                    overflow = true;
                    break;
                }
                v = v * 10 + d;
            }
            if (!overflow) {
                if (!negative) {
                    out = ns::Value(static_cast<unsigned long long>(v));
                    return true;
                }
                if (v <= 9223372036854775808ULL) {
                    out = v == 9223372036854775808ULL ? ns::Value(static_cast<long long>(INT64_MIN))
                                                      : ns::Value(-static_cast<long long>(v));
                    return true;
                }
            }
        }
        double d = 0;
        auto [ptr, ec] = std::from_chars(reinterpret_cast<const char*>(start), reinterpret_cast<const char*>(p_), d);
        if (ec == std::errc::result_out_of_range) {
            // Too large is refused, too small is zero: which one it is, the
            // power of ten of its first significant digit tells, not the
            // exponent's sign alone ("1000...0e-1" can be too large).
            if (magnitude(digits, digitsEnd, fractionEnd, exponent) > 0) {
                p_ = start;
                return fail("Number out of range");
            }
            d = negative ? -0.0 : 0.0;
        } else if (ec != std::errc() || ptr != reinterpret_cast<const char*>(p_) || !std::isfinite(d)) {
            p_ = start;
            return fail("Number out of range");
        }
        out = ns::Value(d);
        return true;
    }

    // The power of ten of a number's first significant digit: its integer
    // digits [digits, digitsEnd), then an optional fraction up to
    // fractionEnd, then the exponent.
    static long long magnitude(const unsigned char* digits, const unsigned char* digitsEnd,
                               const unsigned char* fractionEnd, long long exponent) {
        if (*digits != '0') return exponent + (digitsEnd - digits) - 1;
        long long zeros = 0;
        for (const unsigned char* q = digitsEnd + 1; q < fractionEnd && *q == '0'; ++q) ++zeros;
        return exponent - zeros - 1;
    }

    const unsigned char* begin_;
    const unsigned char* p_;
    const unsigned char* end_;
    std::size_t maxDepth_;
    // What the values, containers and keys built from the text may cost.
    ns::ReadBudget budget_;
    std::size_t pending_ = 0;
    // A text is read whole before another one on the same thread begins.
    Stacks& stacks_ = threadStacks();
    Entries& entryStack_ = stacks_.entries;
    std::vector<ns::Value>& itemStack_ = stacks_.items;
    std::string& scratch_ = stacks_.scratch;
};

// ---- Writer ----

class Writer {
public:
    explicit Writer(bool pretty) : pretty_(pretty) {}

    bool write(const ns::Value& v, std::size_t depth) {
        if (depth > 512) return fail("Nested too deep (or a container holds itself)");
        switch (v.kind()) {
            case ns::Value::Kind::Nil:
            case ns::Value::Kind::Null: out += "null"; return true;
            case ns::Value::Kind::Bool: out += v.boolValue() ? "true" : "false"; return true;
            case ns::Value::Kind::Integer:
                out += v.isUnsigned() ? std::to_string(v.unsignedValue()) : std::to_string(v.integerValue());
                return true;
            case ns::Value::Kind::Double: {
                double d = v.doubleValue();
                if (!std::isfinite(d)) return fail("NaN or infinity is not JSON");
                char buf[32];
                auto r = std::to_chars(buf, buf + sizeof buf, d);
                out.append(buf, r.ptr);
                return true;
            }
            case ns::Value::Kind::String:
                out += '"';
                JSONEscapeAppend(out, v.str());
                out += '"';
                return true;
            case ns::Value::Kind::Array: {
                const auto& items = v.items();
                if (items.empty()) {
                    out += "[]";
                    return true;
                }
                out += '[';
                for (std::size_t i = 0; i < items.size(); ++i) {
                    if (i) out += ',';
                    newline(depth + 1);
                    if (!write(items[i], depth + 1)) return false;
                }
                newline(depth);
                out += ']';
                return true;
            }
            case ns::Value::Kind::Dictionary: {
                const auto& entries = v.entries();
                if (entries.empty()) {
                    out += "{}";
                    return true;
                }
                out += '{';
                for (std::size_t i = 0; i < entries.size(); ++i) {
                    if (i) out += ',';
                    newline(depth + 1);
                    out += '"';
                    JSONEscapeAppend(out, entries[i].first);
                    out += pretty_ ? "\": " : "\":";
                    if (!write(entries[i].second, depth + 1)) return false;
                }
                newline(depth);
                out += '}';
                return true;
            }
            case ns::Value::Kind::Data: return fail("Data is not JSON");
            case ns::Value::Kind::Date: return fail("A date is not JSON");
        }
        return fail("Unknown value");
    }

    std::string out;
    std::string error;

private:
    bool fail(const char* message) {
        error = message;
        return false;
    }
    void newline(std::size_t depth) {
        if (!pretty_) return;
        out += '\n';
        out.append(depth * 2, ' ');
    }
    bool pretty_;
};

}  // namespace

// ---- JSONParser ----

ns::Value JSONParser::parse(std::string_view text, bool allowFragment) {
    error_.clear();
    Reader reader(text, maxDepth_);
    ns::Value out;
    if (!reader.document(out)) {
        error_ = reader.error;
        return {};
    }
    if (!allowFragment && !out.isArray() && !out.isDictionary()) {
        error_ = "Valid fragment, but not a JSON object or array";
        return {};
    }
    return out;
}

ns::Value JSONParser::errorTrace() const {
    if (error_.empty()) return ns::Value::array();
    return ns::Value::array({ns::Value(error_)});
}

// ---- JSONWriter ----

std::optional<std::string> JSONWriter::write(const ns::Value& value) {
    error_.clear();
    if (value.isNil()) {
        error_ = "Nothing to write";
        return std::nullopt;
    }
    Writer w(humanReadable_);
    if (!w.write(value, 0)) {
        error_ = w.error;
        return std::nullopt;
    }
    return std::move(w.out);
}

// ---- Free functions ----

ns::Value JSONValue(std::string_view text) {
    JSONParser parser;
    ns::Value v = parser.parse(text, false);
    if (v.isNil()) ns::NSLog("-JSONValue failed. Error trace is: %@", parser.errorTrace());
    return v;
}

ns::Value JSONFragmentValue(std::string_view text) {
    JSONParser parser;
    ns::Value v = parser.parse(text, true);
    if (v.isNil()) ns::NSLog("-JSONFragmentValue failed. Error trace is: %@", parser.errorTrace());
    return v;
}

std::string JSONRepresentation(const ns::Value& value) {
    JSONWriter writer;
    auto text = writer.write(value);
    if (!text) {
        ns::NSLog("-JSONRepresentation failed. Error trace is: %@", ns::Value::array({ns::Value(writer.error())}));
        return {};
    }
    return std::move(*text);
}

std::string JSONPrettyRepresentation(const ns::Value& value) {
    JSONWriter writer(true);
    auto text = writer.write(value);
    if (!text) {
        ns::NSLog("-JSONRepresentation failed. Error trace is: %@", ns::Value::array({ns::Value(writer.error())}));
        return {};
    }
    return std::move(*text);
}

bool isValidJSONObject(const ns::Value& value) {
    if (!value.isArray() && !value.isDictionary()) return false;
    JSONWriter writer;
    return writer.write(value).has_value();
}

std::string JSONQuote(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    JSONEscapeAppend(out, text);
    out += '"';
    return out;
}

void JSONEscapeAppend(std::string& out, std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    const unsigned char* run = p;
    auto flush = [&] { out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run)); };
    while (p < end) {
        unsigned char cls = kClasses[*p];
        if (cls == kPlain) {
            ++p;
            continue;
        }
        if (cls == kHigh) {
            std::size_t n = ns::utf8SequenceLength(p, end);
            if (n == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] >= 0xBE) {
                // U+FFFE and U+FFFF are no XML characters: escaped, a JSON
                // text can travel inside an XML document.
                flush();
                out += p[2] == 0xBE ? "\\ufffe" : "\\uffff";
                p += 3;
                run = p;
                continue;
            }
            if (n) {
                p += n;
                continue;
            }
            flush();
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
            ++p;
            run = p;
            continue;
        }
        flush();
        switch (*p) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[*p >> 4];
                out += hex[*p & 0xF];
            }
        }
        ++p;
        run = p;
    }
    flush();
}

bool isJSONNumber(std::string_view text) {
    std::size_t i = 0, n = text.size();
    auto digit = [&](std::size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    if (i < n && text[i] == '-') ++i;
    if (!digit(i)) return false;
    if (text[i] == '0') {
        ++i;
    } else {
        while (digit(i)) ++i;
    }
    if (i < n && text[i] == '.') {
        ++i;
        if (!digit(i)) return false;
        while (digit(i)) ++i;
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digit(i)) return false;
        while (digit(i)) ++i;
    }
    return i == n;
}
