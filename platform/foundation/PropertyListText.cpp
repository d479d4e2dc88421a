#include "foundation/PropertyListText.h"

#include <array>
#include <utility>
#include <vector>

#include "foundation/PropertyList.h"
#include "foundation/PropertyListCodec.h"
#include "foundation/ReadBudget.h"
#include "foundation/Strings.h"

namespace ns::plisttext {

namespace {

// Letters, digits and _ $ / : . - make a bare string.
constexpr std::array<bool, 256> kBare = [] {
    std::array<bool, 256> bare{};
    for (int c = 0; c < 256; ++c) {
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        bare[static_cast<std::size_t>(c)] = alphanumeric || c == '_' || c == '$' || c == '/' || c == ':' || c == '.' ||
                                            c == '-';
    }
    return bare;
}();

bool isBareCharacter(char c) { return kBare[static_cast<unsigned char>(c)]; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

class Reader {
public:
    Reader(std::string_view text, ReadBudget budget) : s_(text), budget_(budget) {}

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

    // A list that builds more than its size allows.
    Value beyondBudget() { return fail(ReadBudget::kReason, true); }

    // A failure, where a part of a value is read.
    bool refuse(std::string reason) {
        fail(std::move(reason));
        return false;
    }

    // Blanks and comments; false for a comment that does not end.
    bool skip() {
        for (;;) {
            while (at_ < s_.size() && isBlank(s_[at_])) ++at_;
            if (at_ + 1 >= s_.size() || s_[at_] != '/') return true;
            if (s_[at_ + 1] == '/') {
                std::size_t end = s_.find_first_of("\n\r", at_);
                at_ = end == std::string_view::npos ? s_.size() : end;
            } else if (s_[at_ + 1] == '*') {
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
        std::string body;
        if (!text(body)) return {};
        if (!budget_.spendText(body.size())) return beyondBudget();
        return Value(std::move(body));
    }

    // A quoted or bare string at the current place, into `out`; false (and
    // a failure) for none.
    bool text(std::string& out) {
        if (at_ >= s_.size()) return refuse("unexpected end");
        const char c = s_[at_];
        if (c == '"' || c == '\'') return quoted(out);
        if (!isBareCharacter(c)) return refuse("unexpected character");
        const std::size_t start = at_;
        while (at_ < s_.size() && isBareCharacter(s_[at_])) ++at_;
        out.assign(s_.substr(start, at_ - start));
        return true;
    }

    Value array(int depth) {
        if (!budget_.spendArray(0)) return beyondBudget();
        std::vector<Value> items;
        for (;;) {
            if (take(')')) return Value::array(std::move(items));
            if (!problem_.reason.empty()) return {};
            if (!budget_.spendValues(1)) return beyondBudget();
            Value item = value(depth + 1);
            if (item.isNil()) return {};
            items.push_back(std::move(item));
            if (take(')')) return Value::array(std::move(items));
            if (!take(',')) return fail("expected ',' or ')' in an array");
        }
    }

    // A repeated key keeps its last value, at its first place. An entry
    // is counted when the dictionary holds more than it ever held before.
    Value dictionary(int depth) {
        if (!budget_.spendDictionary(0)) return beyondBudget();
        DictionaryBuilder entries;
        std::size_t held = 0;
        for (;;) {
            if (take('}')) return Value::dictionary(std::move(entries));
            if (!problem_.reason.empty()) return {};
            std::string key;
            if (at_ < s_.size() && (s_[at_] == '{' || s_[at_] == '(' || s_[at_] == '<'))
                return fail("dictionary key is not a string");
            if (!text(key)) return {};
            if (entries.size() == held) {
                if (!budget_.spendEntry(key.size())) return beyondBudget();
                ++held;
            }
            if (!take('=')) return fail("expected '=' in a dictionary");
            Value item = value(depth + 1);
            if (item.isNil()) return {};
            if (!take(';')) return fail("expected ';' in a dictionary");
            entries.add(std::move(key), std::move(item));
        }
    }

    Value data() {
        ++at_;  // '<'
        const std::size_t end = s_.find('>', at_);
        if (end == std::string_view::npos) return fail("unterminated data");
        // Two digits a byte, blanks between them: at most half the text.
        Bytes bytes;
        bytes.reserve((end - at_) / 2);
        int high = -1;
        for (; at_ < end; ++at_) {
            char c = s_[at_];
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
        ++at_;  // '>'
        if (high >= 0) return fail("odd number of hex digits in data");
        if (!budget_.spendText(bytes.size())) return beyondBudget();
        bytes.shrink_to_fit();
        return Value(std::move(bytes));
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

    bool quoted(std::string& out) {
        const char quote = s_[at_++];
        // Text without escapes is taken as it stands.
        const std::size_t stop = s_.find_first_of(quote == '"' ? "\"\\" : "'\\", at_);
        if (stop == std::string_view::npos) return refuse("unterminated string");
        out.assign(s_.substr(at_, stop - at_));
        at_ = stop;
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
                if (!flush()) return refuse("lone surrogate in a string");
                if (!isValidUTF8(out)) return refuse("string that is not UTF-8");
                return true;
            }
            if (c != '\\') {
                if (!flush()) return refuse("lone surrogate in a string");
                out += c;
                continue;
            }
            if (at_ >= s_.size()) break;
            char e = s_[at_++];
            if (e == 'U') {
                std::size_t start = at_;
                unsigned u = digits(16, 4);
                if (at_ == start) return refuse("\\U without hex digits");
                units.push_back(static_cast<char16_t>(u));
                continue;
            }
            if (!flush()) return refuse("lone surrogate in a string");
            if (e >= '0' && e <= '7') {
                --at_;
                unsigned o = digits(8, 3);
                if (o >= 0x80) return refuse("octal escape beyond ASCII");
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
        return refuse("unterminated string");
    }

    std::string_view s_;
    std::size_t at_ = 0;
    ReadBudget budget_;
    plistcodec::Problem problem_;
};

}  // namespace

Value read(std::string_view text, plistcodec::Problem* problem) { return read(text, problem, ReadBudget(text.size())); }

Value read(std::string_view text, plistcodec::Problem* problem, ReadBudget budget) {
    return Reader(text, budget).read(problem);
}

}  // namespace ns::plisttext
