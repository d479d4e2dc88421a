#include "foundation/PropertyListText.h"

#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/PropertyList.h"
#include "foundation/PropertyListCodec.h"
#include "foundation/Strings.h"

namespace ns::plisttext {

namespace {

bool isBareCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '/' || c == ':' || c == '.' || c == '-';
}

class Reader {
public:
    explicit Reader(std::string_view text) : s_(text) {}

    Value read(plistcodec::Problem* problem) {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
        Value v;
        if (skip()) {
            if (at_ >= s_.size()) fail("empty property list");
            else v = value(0);
        }
        if (!v.isNil() && skip() && at_ != s_.size()) v = fail("text after the property list");
        if (v.isNil() && problem) {
            *problem = problem_;
            if (problem->reason.empty()) problem->reason = "not a property list";
        }
        return v;
    }

private:
    Value fail(std::string reason, bool beyondLimits = false) {
        if (problem_.reason.empty()) problem_ = {std::move(reason), beyondLimits};
        return {};
    }

    // A list nested deeper than the readers take.
    Value tooDeep() { return fail(plistcodec::kTooDeep, true); }

    // Blanks and comments; false for a comment that does not end.
    bool skip() {
        for (;;) {
            while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\t' || s_[at_] == '\n' || s_[at_] == '\r' ||
                                       s_[at_] == '\f' || s_[at_] == '\v'))
                ++at_;
            if (s_.substr(at_, 2) == "//") {
                std::size_t end = s_.find_first_of("\n\r", at_);
                at_ = end == std::string_view::npos ? s_.size() : end;
            } else if (s_.substr(at_, 2) == "/*") {
                std::size_t end = s_.find("*/", at_ + 2);
                if (end == std::string_view::npos) {
                    fail("unterminated comment");
                    return false;
                }
                at_ = end + 2;
            } else {
                return true;
            }
        }
    }

    // Skips to the next token and tells whether it is `c` (taking it).
    bool take(char c) {
        if (!skip() || at_ >= s_.size() || s_[at_] != c) return false;
        ++at_;
        return true;
    }

    Value value(int depth) {
        if (!skip()) return {};
        if (at_ >= s_.size()) return fail("unexpected end");
        char c = s_[at_];
        if (c == '{' || c == '(') {
            if (depth >= kPropertyListMaxDepth) return tooDeep();
            ++at_;
            return c == '{' ? dictionary(depth) : array(depth);
        }
        if (c == '<') return data();
        if (c == '"' || c == '\'') return quoted();
        if (isBareCharacter(c)) {
            std::size_t start = at_;
            while (at_ < s_.size() && isBareCharacter(s_[at_])) ++at_;
            return Value(std::string(s_.substr(start, at_ - start)));
        }
        return fail("unexpected character");
    }

    Value array(int depth) {
        std::vector<Value> items;
        for (;;) {
            if (take(')')) return Value::array(std::move(items));
            if (!problem_.reason.empty()) return {};
            Value item = value(depth + 1);
            if (item.isNil()) return {};
            items.push_back(std::move(item));
            if (take(')')) return Value::array(std::move(items));
            if (!take(',')) return fail("expected ',' or ')' in an array");
        }
    }

    Value dictionary(int depth) {
        std::vector<std::pair<std::string, Value>> entries;
        std::unordered_map<std::string, std::size_t> index;
        for (;;) {
            if (take('}')) return Value::dictionaryWithUniqueEntries(std::move(entries));
            if (!problem_.reason.empty()) return {};
            Value key = value(depth + 1);
            if (key.isNil()) return {};
            if (!key.isString()) return fail("dictionary key is not a string");
            if (!take('=')) return fail("expected '=' in a dictionary");
            Value item = value(depth + 1);
            if (item.isNil()) return {};
            if (!take(';')) return fail("expected ';' in a dictionary");
            auto [it, fresh] = index.try_emplace(key.str(), entries.size());
            if (fresh)
                entries.emplace_back(key.str(), std::move(item));
            else
                entries[it->second].second = std::move(item);
        }
    }

    Value data() {
        ++at_;  // '<'
        Bytes bytes;
        int high = -1;
        for (; at_ < s_.size(); ++at_) {
            char c = s_[at_];
            if (c == '>') {
                ++at_;
                if (high >= 0) return fail("odd number of hex digits in data");
                return Value(std::move(bytes));
            }
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
            int v = hexDigitValue(c);
            if (v < 0) return fail("bad character in data");
            if (high < 0) {
                high = v;
            } else {
                bytes.push_back(static_cast<std::uint8_t>(high * 16 + v));
                high = -1;
            }
        }
        return fail("unterminated data");
    }

    // Up to `most` digits of the base from the current place.
    unsigned digits(int base, int most) {
        unsigned v = 0;
        for (int i = 0; i < most && at_ < s_.size(); ++i, ++at_) {
            int d = base == 16 ? hexDigitValue(s_[at_]) : (s_[at_] >= '0' && s_[at_] <= '7' ? s_[at_] - '0' : -1);
            if (d < 0) break;
            v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        }
        return v;
    }

    Value quoted() {
        char quote = s_[at_++];
        std::string out;
        std::u16string units;  // \U escapes, joined into pairs before they become UTF-8
        auto flush = [&]() {
            for (std::size_t i = 0; i < units.size(); ++i) {
                char32_t c = units[i];
                if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                    units[i + 1] <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
                } else if (c >= 0xD800 && c <= 0xDFFF) {
                    return false;
                }
                appendUTF8(out, c);
            }
            units.clear();
            return true;
        };
        while (at_ < s_.size()) {
            char c = s_[at_++];
            if (c == quote) {
                if (!flush()) return fail("lone surrogate in a string");
                if (!isValidUTF8(out)) return fail("string that is not UTF-8");
                return Value(std::move(out));
            }
            if (c != '\\') {
                if (!flush()) return fail("lone surrogate in a string");
                out += c;
                continue;
            }
            if (at_ >= s_.size()) break;
            char e = s_[at_++];
            if (e == 'U') {
                std::size_t start = at_;
                unsigned u = digits(16, 4);
                if (at_ == start) return fail("\\U without hex digits");
                units.push_back(static_cast<char16_t>(u));
                continue;
            }
            if (!flush()) return fail("lone surrogate in a string");
            if (e >= '0' && e <= '7') {
                --at_;
                unsigned o = digits(8, 3);
                if (o >= 0x80) return fail("octal escape beyond ASCII");
                out += static_cast<char>(o);
                continue;
            }
            switch (e) {
                case 'a': out += '\a'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'v': out += '\v'; break;
                default: out += e;  // \" \' \\ and any other character as itself
            }
        }
        return fail("unterminated string");
    }

    std::string_view s_;
    std::size_t at_ = 0;
    plistcodec::Problem problem_;
};

}  // namespace

Value read(std::string_view text, plistcodec::Problem* problem) { return Reader(text).read(problem); }

}  // namespace ns::plisttext
