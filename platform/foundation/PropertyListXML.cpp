#include "foundation/PropertyListXML.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "foundation/Data.h"
#include "foundation/DateTime.h"
#include "foundation/PropertyList.h"
#include "foundation/PropertyListCodec.h"
#include "foundation/ReadBudget.h"
#include "foundation/Strings.h"

namespace ns::plistxml {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A name from the text as an error tells it: whole when short, else its
// start (a name may be megabytes long).
std::string shown(std::string_view name) {
    constexpr std::size_t kMost = 64;
    if (name.size() <= kMost) return std::string(name);
    std::size_t cut = kMost;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    return std::string(name.substr(0, cut)) + "... (" + std::to_string(name.size()) + " bytes)";
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':';
}

std::string_view trimmedEnd(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return trimmedEnd(s);
}

std::optional<Value> integerFrom(std::string_view text) {
    // Hexadecimal right at the start ("0x10"), without a sign or blanks
    // before the digits, as other writers and readers take it.
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = trimmedEnd(text.substr(2));
        unsigned long long u = 0;
        const char* end = digits.data() + digits.size();
        auto r = std::from_chars(digits.data(), end, u, 16);
        if (digits.empty() || r.ec != std::errc() || r.ptr != end) return std::nullopt;
        return Value(u);
    }
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    const char* end = text.data() + text.size();
    if (text.front() == '-') {
        long long v = 0;
        auto r = std::from_chars(text.data(), end, v);
        if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
        return Value(v);
    }
    unsigned long long u = 0;
    auto r = std::from_chars(text.data(), end, u);
    if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return Value(u);  // signed when it fits, as the binary reader gives it
}

std::optional<Value> realFrom(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double d = 0;
    const char* end = text.data() + text.size();
    auto r = std::from_chars(text.data(), end, d);
    if (r.ptr != end) return std::nullopt;
    if (r.ec == std::errc::result_out_of_range) {
        // Too small for a double is zero, too large infinity, with its sign:
        // what strtod gives for the decimal number checked above.
        return Value(std::strtod(std::string(text).c_str(), nullptr));
    }
    if (r.ec != std::errc()) return std::nullopt;
    return Value(d);
}

// "2015-03-01T02:00:00Z", perhaps with a fraction of a second; the time, or
// its seconds, or its minutes and seconds, may be left out ("2015-03-01Z",
// "2015-03-01T02Z", "2015-03-01T02:00Z").
std::optional<Value> dateFrom(std::string_view text) {
    text = trimmed(text);
    auto number = [&](std::size_t at, std::size_t digits, int& out) {
        if (at + digits > text.size()) return false;
        out = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            out = out * 10 + (text[i] - '0');
        }
        return true;
    };
    auto at = [&](std::size_t i, char c) { return i < text.size() && text[i] == c; };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!number(0, 4, y) || !at(4, '-') || !number(5, 2, mo) || !at(7, '-') || !number(8, 2, d)) return std::nullopt;
    std::size_t next = 10;
    double fraction = 0;
    if (at(next, 'T')) {
        if (!number(11, 2, h)) return std::nullopt;
        next = 13;
        if (at(next, ':')) {
            if (!number(14, 2, mi)) return std::nullopt;
            next = 16;
            if (at(next, ':')) {
                if (!number(17, 2, s)) return std::nullopt;
                next = 19;
                if (at(next, '.')) {
                    double scale = 0.1;
                    for (++next; next < text.size() && text[next] >= '0' && text[next] <= '9'; ++next, scale /= 10)
                        fraction += (text[next] - '0') * scale;
                }
            }
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return std::nullopt;
    if (next + 1 != text.size() || text[next] != 'Z') return std::nullopt;
    long long days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    long long whole = days * 86400 + h * 3600 + mi * 60 + s - static_cast<long long>(kReferenceDateSince1970);
    return Value::dateSinceReferenceDate(static_cast<double>(whole) + fraction);
}

std::optional<Value> dataFrom(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text)
        if (!isBlank(c)) compact.push_back(c);
    auto bytes = base64Decode(compact);
    if (!bytes) return std::nullopt;
    return Value(std::move(*bytes));
}

// A container being read.
struct Frame {
    bool isDict = false;
    std::vector<Value> items;
    DictionaryBuilder entries;  // a repeated key keeps its last value, at its first place
    std::size_t held = 0;       // the most entries it held, each counted
    std::string key;            // read, its value not yet
    bool hasKey = false;

    void add(Value v) {
        if (!isDict) {
            items.push_back(std::move(v));
            return;
        }
        entries.add(std::move(key), std::move(v));
        hasKey = false;
    }

    Value finish() {
        if (isDict) return Value::dictionary(std::move(entries));
        return Value::array(std::move(items));
    }
};

class Reader {
public:
    Reader(std::string_view text, ReadBudget budget) : s_(text), budget_(budget) {}

    Value read(plistcodec::Problem* problem) {
        Value v = document();
        if (v.isNil() && problem) {
            *problem = problem_;
            if (problem->reason.empty()) problem->reason = "not a property list";
        }
        return v;
    }

private:
    struct Tag {
        std::string_view name;
        bool selfClosing = false;
    };

    Value document() {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
        if (!skipMisc(true)) return {};
        std::size_t start = at_;
        auto tag = startTag();
        if (!tag) return {};
        bool wrapped = tag->name == "plist";
        if (wrapped) {
            if (tag->selfClosing) return fail("empty property list");
            if (!skipMisc(false)) return {};
            if (looking("</")) return fail("empty property list");
        } else {
            at_ = start;
        }
        Value v = value();
        if (v.isNil()) return {};
        if (!skipMisc(false)) return {};
        if (wrapped && !endTag("plist")) return {};
        if (!skipMisc(false)) return {};
        if (at_ != s_.size()) return fail("text after the property list");
        return v;
    }

    // One whole value from its start tag, containers on a stack of their own.
    // What each element builds is counted as it is built: its value in an
    // array, its entry in a dictionary, a container's own storage, a string
    // or data with its body.
    Value value() {
        std::vector<Frame> stack;
        std::string text;  // of the leaf at hand
        for (;;) {
            if (!skipMisc(false)) return {};
            if (at_ >= s_.size()) return fail("unexpected end");
            if (s_[at_] != '<') return fail("text between elements");
            if (looking("</")) {
                if (stack.empty()) return fail("unexpected end tag");
                Frame& top = stack.back();
                if (!endTag(top.isDict ? "dict" : "array")) return {};
                if (top.hasKey) return fail("key without a value");
                Value done = top.finish();
                stack.pop_back();
                if (stack.empty()) return done;
                stack.back().add(std::move(done));
                continue;
            }
            auto tag = startTag();
            if (!tag) return {};
            if (!stack.empty() && stack.back().isDict && !stack.back().hasKey) {
                if (tag->name != "key") return fail("dictionary value without a key");
                Frame& top = stack.back();
                top.key.clear();
                if (!tag->selfClosing && !content("key", top.key)) return {};
                if (!isValidUTF8(top.key)) return fail("key that is not UTF-8");
                // Counted when the dictionary holds more than it ever held.
                if (top.entries.size() == top.held) {
                    if (!budget_.spendEntry(top.key.size())) return beyondBudget();
                    ++top.held;
                }
                top.hasKey = true;
                continue;
            }
            if (!stack.empty() && !stack.back().isDict && !budget_.spendValues(1)) return beyondBudget();
            Value leaf;
            if (tag->name == "dict" || tag->name == "array") {
                // An empty container is a level too, however it is written.
                if (static_cast<int>(stack.size()) >= kPropertyListMaxDepth) return tooDeep();
                Frame frame;
                frame.isDict = tag->name == "dict";
                if (!(frame.isDict ? budget_.spendDictionary(0) : budget_.spendArray(0))) return beyondBudget();
                if (!tag->selfClosing) {
                    stack.push_back(std::move(frame));
                    continue;
                }
                leaf = frame.finish();
            } else {
                text.clear();
                if (!tag->selfClosing && !content(tag->name, text)) return {};
                std::optional<Value> v;
                if (tag->name == "string") {
                    // Text that is not UTF-8 could not be written back whole.
                    if (!isValidUTF8(text)) return fail("string that is not UTF-8");
                    if (!budget_.spendText(text.size())) return beyondBudget();
                    v = Value(std::move(text));
                } else if (tag->name == "integer") {
                    v = integerFrom(text);
                } else if (tag->name == "real") {
                    v = realFrom(text);
                } else if (tag->name == "date") {
                    if (!budget_.spendText(0)) return beyondBudget();
                    v = dateFrom(text);
                } else if (tag->name == "data") {
                    v = dataFrom(text);
                    if (v && !budget_.spendText(v->data().size())) return beyondBudget();
                } else if (tag->name == "true" || tag->name == "false") {
                    if (!trimmed(text).empty()) return fail("text in <" + shown(tag->name) + ">");
                    v = Value(tag->name == "true");
                } else {
                    return fail("unknown element <" + shown(tag->name) + ">");
                }
                if (!v) return fail("bad <" + shown(tag->name) + ">");
                leaf = std::move(*v);
            }
            if (stack.empty()) return leaf;
            stack.back().add(std::move(leaf));
        }
    }

    // ---- Tokens ----

    Value fail(std::string reason, bool beyondLimits = false) {
        if (problem_.reason.empty()) problem_ = {std::move(reason), beyondLimits};
        return {};
    }

    // A list nested deeper than the readers take.
    Value tooDeep() { return fail(plistcodec::kTooDeep, true); }

    // A list that builds more than its size allows.
    Value beyondBudget() { return fail(ReadBudget::kReason, true); }

    bool looking(std::string_view what) const { return s_.substr(at_, what.size()) == what; }

    // Moves past the terminator, looked for from `from` bytes on; false (and
    // a failure) when there is none.
    bool skipPast(std::string_view terminator, const char* what, std::size_t from = 0) {
        std::size_t end = s_.find(terminator, at_ + from);
        if (end == std::string_view::npos) {
            fail(std::string("unterminated ") + what);
            return false;
        }
        at_ = end + terminator.size();
        return true;
    }

    // Blanks, comments and processing instructions; in the prolog also a
    // DOCTYPE, whose internal subset is skipped unread.
    bool skipMisc(bool prolog) {
        for (;;) {
            while (at_ < s_.size() && isBlank(s_[at_])) ++at_;
            // Most often an element is next.
            if (at_ + 1 >= s_.size() || s_[at_] != '<' || (s_[at_ + 1] != '!' && s_[at_ + 1] != '?')) return true;
            if (looking("<!--")) {
                if (!skipPast("-->", "comment")) return false;
            } else if (looking("<?")) {
                if (!skipPast("?>", "processing instruction")) return false;
            } else if (prolog && looking("<!DOCTYPE")) {
                if (!skipDoctype()) return false;
            } else {
                return true;
            }
        }
    }

    // A DOCTYPE, read once from its start to its end: its quoted literals,
    // and in its internal subset also comments and processing
    // instructions, may hold "[", "]" and ">".
    bool skipDoctype() {
        at_ += 9;  // <!DOCTYPE
        bool subset = false;
        while (at_ < s_.size()) {
            const char c = s_[at_];
            if (c == '"' || c == '\'') {
                if (!skipPast(std::string_view(&c, 1), "DOCTYPE", 1)) return false;
            } else if (subset && looking("<!--")) {
                if (!skipPast("-->", "comment")) return false;
            } else if (subset && looking("<?")) {
                if (!skipPast("?>", "processing instruction")) return false;
            } else if (c == '[' && !subset) {
                subset = true;
                ++at_;
            } else if (c == ']' && subset) {
                subset = false;
                ++at_;
            } else if (c == '>' && !subset) {
                ++at_;
                return true;
            } else {
                ++at_;
            }
        }
        fail("unterminated DOCTYPE");
        return false;
    }

    std::string_view name() {
        std::size_t start = at_;
        while (at_ < s_.size() && isNameChar(s_[at_])) ++at_;
        return s_.substr(start, at_ - start);
    }

    // At "<name ...>" or "<name .../>"; attributes are skipped.
    std::optional<Tag> startTag() {
        if (!looking("<")) {
            fail("expected an element");
            return std::nullopt;
        }
        ++at_;
        Tag tag;
        tag.name = name();
        if (tag.name.empty()) {
            fail("bad element");
            return std::nullopt;
        }
        while (at_ < s_.size()) {
            char c = s_[at_];
            if (c == '>') {
                ++at_;
                return tag;
            }
            if (c == '/' && at_ + 1 < s_.size() && s_[at_ + 1] == '>') {
                at_ += 2;
                tag.selfClosing = true;
                return tag;
            }
            if (c == '"' || c == '\'') {
                std::size_t close = s_.find(c, at_ + 1);
                if (close == std::string_view::npos) break;
                at_ = close;
            }
            ++at_;
        }
        fail("unterminated <" + shown(tag.name) + ">");
        return std::nullopt;
    }

    bool endTag(std::string_view expected) {
        if (!looking("</")) {
            fail("expected </" + shown(expected) + ">");
            return false;
        }
        at_ += 2;
        std::string_view n = name();
        while (at_ < s_.size() && isBlank(s_[at_])) ++at_;
        if (n != expected || !looking(">")) {
            fail("expected </" + shown(expected) + ">");
            return false;
        }
        ++at_;
        return true;
    }

    // The text of a leaf element up to its end tag, appended to `out`:
    // entities and character references decoded, CDATA taken as it is,
    // comments dropped.
    bool content(std::string_view element, std::string& out) {
        for (;;) {
            std::size_t stop = s_.find_first_of("<&", at_);
            if (stop == std::string_view::npos) {
                fail("unterminated <" + shown(element) + ">");
                return false;
            }
            appendLines(out, s_.substr(at_, stop - at_));
            at_ = stop;
            if (s_[at_] == '&') {
                if (!reference(out)) return false;
            } else if (looking("<![CDATA[")) {
                std::size_t start = at_ + 9;
                at_ = start;
                if (!skipPast("]]>", "CDATA section")) return false;
                appendLines(out, s_.substr(start, at_ - 3 - start));
            } else if (looking("<!--")) {
                if (!skipPast("-->", "comment")) return false;
            } else if (looking("</")) {
                return endTag(element);
            } else {
                fail("element inside <" + shown(element) + ">");
                return false;
            }
        }
    }

    // Text as it stands in the document, its line ends as XML reads them: a
    // carriage return, alone or before a line feed, is one line feed (a
    // written "&#13;" stays a carriage return). Runs without one are
    // appended whole.
    static void appendLines(std::string& out, std::string_view raw) {
        for (;;) {
            const std::size_t cr = raw.find('\r');
            out.append(raw.substr(0, cr));
            if (cr == std::string_view::npos) return;
            out.push_back('\n');
            raw.remove_prefix(cr + 1 < raw.size() && raw[cr + 1] == '\n' ? cr + 2 : cr + 1);
        }
    }

    bool reference(std::string& out) {
        std::size_t semi = s_.find(';', at_);
        if (semi == std::string_view::npos || semi - at_ > 12) {
            fail("bad entity reference");
            return false;
        }
        std::string_view ref = s_.substr(at_ + 1, semi - at_ - 1);
        at_ = semi + 1;
        static const std::pair<std::string_view, char> kNamed[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [n, c] : kNamed) {
            if (ref == n) {
                out.push_back(c);
                return true;
            }
        }
        if (ref.size() < 2 || ref[0] != '#') {
            fail("unknown entity &" + std::string(ref) + ";");
            return false;
        }
        bool hex = ref[1] == 'x' || ref[1] == 'X';
        std::string_view digits = ref.substr(hex ? 2 : 1);
        std::uint32_t cp = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
        if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() || cp == 0 ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            fail("bad character reference");
            return false;
        }
        appendUTF8(out, static_cast<char32_t>(cp));
        return true;
    }

    std::string_view s_;
    std::size_t at_ = 0;
    ReadBudget budget_;
    plistcodec::Problem problem_;
};

// ---- The declared encoding ----

// The encoding named by the declaration at the start of the text, with the
// declaration's length; nullopt for text without a declaration there or
// without an encoding in it. A declaration this cannot take apart is left
// to read() as it stands.
struct Declaration {
    std::string_view encoding;
    std::size_t length = 0;
};

std::optional<Declaration> declarationAtStart(std::string_view text) {
    constexpr std::string_view kOpen = "<?xml";
    if (text.substr(0, kOpen.size()) != kOpen || text.size() <= kOpen.size() || !isBlank(text[kOpen.size()]))
        return std::nullopt;
    const std::size_t end = text.find("?>");
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view rest = text.substr(kOpen.size(), end - kOpen.size());
    // Pseudo-attributes: name = "value" or 'value', blanks between.
    for (;;) {
        rest = trimmed(rest);
        if (rest.empty()) return std::nullopt;
        std::size_t nameEnd = 0;
        while (nameEnd < rest.size() && isNameChar(rest[nameEnd])) ++nameEnd;
        std::string_view name = rest.substr(0, nameEnd);
        rest = trimmed(rest.substr(nameEnd));
        if (name.empty() || rest.empty() || rest.front() != '=') return std::nullopt;
        rest = trimmed(rest.substr(1));
        if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) return std::nullopt;
        const std::size_t close = rest.find(rest.front(), 1);
        if (close == std::string_view::npos) return std::nullopt;
        if (name == "encoding") return Declaration{rest.substr(1, close - 1), end + 2};
        rest = rest.substr(close + 1);
    }
}

// XML's form of an encoding name: a letter, then letters, digits, ".", "_"
// and "-".
bool isEncodingName(std::string_view name) {
    if (name.empty() || !((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'))) return false;
    for (char c : name)
        if (!isNameChar(c) || c == ':') return false;
    return true;
}

bool namesUTF8(std::string_view name) {
    std::string bare;
    for (char c : name)
        if (c != '-' && c != '_') bare.push_back(c);
    return asciiCaseInsensitiveEqual(bare, "UTF8");
}

// ---- Writing ----

using Failure = plistcodec::Refusal;

class Writer {
public:
    Bytes write(const Value& root) {
        out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n";
        value(root, 0);
        out_ += "</plist>\n";
        checkSize();
        return Bytes(out_.begin(), out_.end());
    }

private:
    // XML holds no shared containers: one held in many places is written
    // out in each, so the text is checked against its bound as it grows.
    void checkSize() const {
        if (out_.size() > kPropertyListMaxXMLBytes) throw Failure{"XML text beyond 32 MiB"};
    }

    void indent(int depth) { out_.append(static_cast<std::size_t>(depth), '\t'); }

    void element(const char* name, std::string_view text, int depth) {
        indent(depth);
        out_ += '<';
        out_ += name;
        out_ += '>';
        out_ += text;
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }

    // Text as XML holds it; a character it cannot hold refuses the list.
    std::string escaped(std::string_view s) {
        if (!isValidUTF8(s)) throw Failure{"text that is not UTF-8"};
        std::string out;
        out.reserve(s.size());
        for (std::size_t i = 0; i < s.size(); ++i) {
            auto c = static_cast<unsigned char>(s[i]);
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') throw Failure{"a control character in XML text"};
            if (c == 0xEF && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xBF &&
                static_cast<unsigned char>(s[i + 2]) >= 0xBE)
                throw Failure{"U+FFFE or U+FFFF in XML text"};
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '\r': out += "&#13;"; break;
                default: out += static_cast<char>(c);
            }
        }
        return out;
    }

    static std::string real(double d) {
        if (std::isnan(d)) return "nan";
        if (std::isinf(d)) return d > 0 ? "+infinity" : "-infinity";
        char buffer[32];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, d);
        return std::string(buffer, r.ptr);
    }

    static std::string date(double interval) {
        // The years 0 to 9999, the four digits of the form.
        constexpr double kFirst = -62167219200.0 - kReferenceDateSince1970;  // 0000-01-01
        constexpr double kEnd = 253402300800.0 - kReferenceDateSince1970;    // 10000-01-01
        if (!(interval >= kFirst && interval < kEnd)) throw Failure{"date outside the years 0 to 9999"};
        auto seconds = static_cast<long long>(std::floor(interval)) + static_cast<long long>(kReferenceDateSince1970);
        long long days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
        long long rest = seconds - days * 86400;
        const CivilDate day = civilFromDays(days);
        char buffer[80];
        std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", day.year, day.month, day.day,
                      rest / 3600, rest / 60 % 60, rest % 60);
        return buffer;
    }

    void value(const Value& v, int depth) {
        checkSize();
        switch (v.kind()) {
            case Value::Kind::Nil: throw Failure{"nil has no property-list form"};
            case Value::Kind::Null: throw Failure{"the null object has no property-list form"};
            case Value::Kind::Bool:
                indent(depth);
                out_ += v.boolValue() ? "<true/>\n" : "<false/>\n";
                return;
            case Value::Kind::Integer:
                element("integer", v.isUnsigned() ? std::to_string(v.unsignedValue()) : std::to_string(v.integerValue()),
                        depth);
                return;
            case Value::Kind::Double: element("real", real(v.doubleValue()), depth); return;
            case Value::Kind::Date: element("date", date(v.timeIntervalSinceReferenceDate()), depth); return;
            case Value::Kind::String: element("string", escaped(v.str()), depth); return;
            case Value::Kind::Data: {
                std::string text = base64Encode(v.data());
                indent(depth);
                out_ += "<data>\n";
                for (std::size_t at = 0; at < text.size(); at += kDataLine) {
                    indent(depth);
                    out_.append(text, at, kDataLine);
                    out_ += '\n';
                }
                indent(depth);
                out_ += "</data>\n";
                return;
            }
            case Value::Kind::Array:
            case Value::Kind::Dictionary: {
                bool dict = v.isDictionary();
                const char* name = dict ? "dict" : "array";
                if (depth >= kPropertyListMaxDepth) throw Failure{plistcodec::kTooDeep};
                if (v.count() == 0) {
                    indent(depth);
                    out_ += dict ? "<dict/>\n" : "<array/>\n";
                    return;
                }
                if (!onPath_.insert(dict ? static_cast<const void*>(&v.entries()) : &v.items()).second)
                    throw Failure{"a container that holds itself"};
                indent(depth);
                out_ += std::string("<") + name + ">\n";
                if (dict) {
                    for (const auto& [key, item] : v.entries()) {
                        element("key", escaped(key), depth + 1);
                        value(item, depth + 1);
                    }
                } else {
                    for (const auto& item : v.items()) value(item, depth + 1);
                }
                indent(depth);
                out_ += std::string("</") + name + ">\n";
                onPath_.erase(dict ? static_cast<const void*>(&v.entries()) : &v.items());
                return;
            }
        }
    }

    static constexpr std::size_t kDataLine = 68;
    std::string out_;
    std::unordered_set<const void*> onPath_;
};

}  // namespace

Value read(std::string_view text, plistcodec::Problem* problem) { return read(text, problem, ReadBudget(text.size())); }

Value read(std::string_view text, plistcodec::Problem* problem, ReadBudget budget) {
    return Reader(text, budget).read(problem);
}

std::optional<std::string> textInDeclaredEncoding(std::string_view bytes, plistcodec::Problem* problem) {
    auto refuse = [problem](std::string reason, bool beyondLimits) -> std::optional<std::string> {
        if (problem) *problem = {std::move(reason), beyondLimits};
        return std::nullopt;
    };
    auto declaration = declarationAtStart(bytes);
    if (!declaration || namesUTF8(declaration->encoding)) return std::nullopt;
    const std::string name(declaration->encoding);
    bool unknown = !isEncodingName(name);
    std::optional<std::string> head;
    if (!unknown) head = stringFromEncoding(bytes.substr(0, declaration->length), name, &unknown);
    if (unknown) return refuse("an encoding this reader does not know: \"" + shown(name) + "\"", true);
    // The declaration was read as 8-bit text; an encoding that reads it
    // otherwise is not the one the text is in.
    if (head != bytes.substr(0, declaration->length)) return std::nullopt;
    auto text = stringFromEncoding(bytes, name);
    if (!text) return refuse("text that is not " + shown(name), false);
    return text;
}

Bytes write(const Value& plist) { return Writer().write(plist); }

}  // namespace ns::plistxml
