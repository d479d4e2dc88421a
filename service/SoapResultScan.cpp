#include "service/SoapResultScan.h"

#include <libxml/parser.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/ReadBudget.h"
#include "foundation/Strings.h"
#include "foundation/TextIndex.h"
#include "service/TextScan.h"
#include "service/XMLRead.h"

namespace soapscan {

// ---- The quick reader ----

namespace {

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(unsigned char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-'; }

bool isXmlChar(std::uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

// At '&': reads a predefined entity or a character reference of an XML
// character, and moves past its ';'.
bool readReference(const unsigned char*& p, const unsigned char* end, std::uint32_t& cp) {
    ++p;
    if (p < end && *p == '#') {
        ++p;
        bool hex = p < end && *p == 'x';
        if (hex) ++p;
        cp = 0;
        int digits = 0;
        for (; p < end && *p != ';'; ++p, ++digits) {
            const char c = static_cast<char>(*p);
            int d = hex ? ns::hexDigitValue(c) : c >= '0' && c <= '9' ? c - '0' : -1;
            if (d < 0 || digits >= 7) return false;
            cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        }
        if (p >= end || digits == 0 || !isXmlChar(cp)) return false;
        ++p;
        return true;
    }
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
    for (const auto& [entity, ch] : kEntities) {
        if (static_cast<std::size_t>(end - p) >= entity.size() && std::memcmp(p, entity.data(), entity.size()) == 0) {
            p += entity.size();
            cp = static_cast<unsigned char>(ch);
            return true;
        }
    }
    return false;
}

class Scanner {
public:
    // With `text`, the wanted element's text is gathered there; without, only
    // where it lies is noted (span()).
    Scanner(std::string_view xml, std::string_view name, std::string* text)
        : begin_(reinterpret_cast<const unsigned char*>(xml.data())),
          p_(begin_),
          end_(p_ + xml.size()),
          name_(name),
          text_(text),
          budget_(xml.size()) {}

    Quick run() {
        if (text_) text_->clear();
        if (!document()) return Quick::Unsure;
        if (text_ && !budget_.spendCopy(text_->capacity())) return Quick::Unsure;
        if (!found_) return Quick::Absent;
        if (text_) {
            if (!text_->empty() && text_->find_first_not_of(" \t\n") == std::string::npos) return Quick::Unsure;
        } else if (capEnd_ != capStart_ && onlySpace()) {
            return Quick::Unsure;
        }
        return Quick::Found;
    }

    Span span() const {
        return Span{static_cast<std::size_t>(capStart_ - begin_), static_cast<std::size_t>(capEnd_ - begin_), escaped_};
    }

private:
    static constexpr std::size_t kMaxDepth = 256;
    static constexpr std::size_t kMaxPrefixesInScope = 64;
    static constexpr std::size_t kComparedAttributes = 16;

    struct Element {
        std::string_view qname;
        std::size_t prefixes;      // prefixes declared before this element
        std::size_t declarations;  // namespaces it declares, a default one among them
    };
    struct Attribute {
        std::string_view qname, prefix, local;
    };

    bool at(std::string_view s) const {
        return static_cast<std::size_t>(end_ - p_) >= s.size() && std::string_view(reinterpret_cast<const char*>(p_), s.size()) == s;
    }
    bool skipSpace() {
        const unsigned char* start = p_;
        while (p_ < end_ && isSpace(*p_)) ++p_;
        return p_ != start;
    }
    std::string_view view(const unsigned char* from) const {
        return std::string_view(reinterpret_cast<const char*>(from), static_cast<std::size_t>(p_ - from));
    }

    // An ASCII name without a colon.
    bool ncName() {
        if (p_ >= end_ || !isNameStart(*p_)) return false;
        while (++p_ < end_ && isNameChar(*p_)) {
        }
        return true;
    }
    // prefix:local or local; what follows must not continue a name.
    bool qName(std::string_view& qname, std::string_view& prefix, std::string_view& local) {
        const unsigned char* start = p_;
        if (!ncName()) return false;
        prefix = {};
        local = view(start);
        if (p_ < end_ && *p_ == ':') {
            prefix = local;
            ++p_;
            const unsigned char* l = p_;
            if (!ncName()) return false;
            local = view(l);
        }
        if (p_ < end_ && (*p_ == ':' || *p_ >= 0x80)) return false;
        qname = view(start);
        return true;
    }

    // One character of text at p_ (not markup): checks it and moves past it.
    bool character() {
        unsigned char c = *p_;
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            ++p_;
            return true;
        }
        std::uint32_t cp;
        int n;
        if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            n = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            n = 3;
        } else {
            return false;
        }
        if (end_ - p_ <= n) return false;
        for (int i = 1; i <= n; ++i) {
            unsigned char k = p_[i];
            if ((k & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (k & 0x3F);
        }
        static constexpr std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[n] || !isXmlChar(cp)) return false;
        p_ += n + 1;
        return true;
    }

    // Whether the wanted element's text, references read, is all white space.
    bool onlySpace() {
        p_ = capStart_;
        while (p_ < capEnd_) {
            if (*p_ == '&') {
                std::uint32_t cp = 0;
                if (!reference(cp) || (cp != ' ' && cp != '\t' && cp != '\n')) return false;
            } else if (*p_ == ' ' || *p_ == '\t' || *p_ == '\n') {
                ++p_;
            } else {
                return false;
            }
        }
        return true;
    }

    // At '&': a predefined entity or a character reference.
    bool reference(std::uint32_t& cp) { return readReference(p_, end_, cp); }

    // <?xml version="1.0" encoding="utf-8"?>, the encoding optional.
    bool declaration() {
        p_ += 5;  // "<?xml"
        if (!skipSpace() || !at("version")) return false;
        p_ += 7;
        std::string_view value;
        if (!equalsAndValue(value) || value != "1.0") return false;
        bool space = skipSpace();
        if (space && at("encoding")) {
            p_ += 8;
            if (!equalsAndValue(value) || value.size() != 5) return false;
            for (std::size_t i = 0; i < 5; ++i) {
                char c = value[i];
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                if (c != "utf-8"[i]) return false;
            }
            skipSpace();
        }
        if (!at("?>")) return false;
        p_ += 2;
        return true;
    }
    // S? '=' S? and the opening quote of a value.
    bool equalsAndQuote(unsigned char& quote) {
        skipSpace();
        if (p_ >= end_ || *p_ != '=') return false;
        ++p_;
        skipSpace();
        if (p_ >= end_ || (*p_ != '"' && *p_ != '\'')) return false;
        quote = *p_++;
        return true;
    }
    // S? '=' S? and a quoted value of plain characters (for the declaration).
    bool equalsAndValue(std::string_view& value) {
        unsigned char quote = 0;
        if (!equalsAndQuote(quote)) return false;
        const unsigned char* start = p_;
        while (p_ < end_ && *p_ != quote) {
            if (*p_ == '<' || *p_ == '&' || *p_ >= 0x80 || *p_ < 0x20) return false;
            ++p_;
        }
        if (p_ >= end_) return false;
        value = view(start);
        ++p_;
        return true;
    }

    // An attribute value after its opening quote; checks and skips it.
    bool attributeValue(unsigned char quote, bool& empty) {
        const unsigned char* start = p_;
        for (;;) {
            if (quote == '"' && end_ - p_ >= textscan::kBlock) {
                const std::ptrdiff_t n = textscan::plainASCII<'"', '<', '&'>(p_);
                p_ += n;
                if (n == textscan::kBlock) continue;
            }
            if (p_ >= end_ || *p_ == quote) break;
            if (*p_ == '<') return false;
            if (*p_ == '&') {
                std::uint32_t cp;
                if (!reference(cp)) return false;
            } else if (!character()) {
                return false;
            }
        }
        if (p_ >= end_) return false;
        empty = p_ == start;
        ++p_;
        return true;
    }

    bool declared(std::string_view prefix) const {
        for (auto it = prefixes_.rbegin(); it != prefixes_.rend(); ++it)
            if (*it == prefix) return true;
        return false;
    }

    // Keeps an item on one of the scanner's lists, counting the room the list
    // takes for it against the budget.
    template <class T>
    bool hold(std::vector<T>& list, const T& item) {
        const std::size_t room = list.capacity();
        list.push_back(item);
        return list.capacity() == room || budget_.spend((list.capacity() - room) * sizeof(T));
    }

    // Whether the attribute just read repeats an earlier one of its tag: the
    // same name, or (left to the full reader, which knows the namespaces)
    // the same local name under two prefixes. A tag's first attributes are
    // compared one by one, the rest through an index of their names.
    bool repeated(const std::vector<Attribute>& attributes, const Attribute& a, ns::TextIndex& names, ns::TextIndex& locals) {
        const std::size_t count = attributes.size();
        if (count < kComparedAttributes) {
            for (const auto& other : attributes) {
                if (other.qname == a.qname) return true;
                if (!a.prefix.empty() && !other.prefix.empty() && other.local == a.local) return true;
            }
            return false;
        }
        auto name = [&](std::size_t i) { return attributes[i].qname; };
        auto local = [&](std::size_t i) { return attributes[i].prefix.empty() ? std::string_view() : attributes[i].local; };
        if (names.size() == 0)
            for (std::size_t i = 0; i < count; ++i) {
                (void)names.findOrAdd(name(i), ns::TextIndex::hashOf(name(i)), i, name);
                if (!attributes[i].prefix.empty())
                    (void)locals.findOrAdd(local(i), ns::TextIndex::hashOf(local(i)), i, local);
            }
        if (names.findOrAdd(a.qname, ns::TextIndex::hashOf(a.qname), count, name) >= 0) return true;
        return !a.prefix.empty() && locals.findOrAdd(a.local, ns::TextIndex::hashOf(a.local), count, local) >= 0;
    }

    // At '<' of a start tag.
    bool startTag() {
        ++p_;
        std::string_view qname, prefix, local;
        if (!qName(qname, prefix, local)) return false;
        Element element{qname, prefixes_.size(), 0};
        std::vector<Attribute>& attributes = attributes_;
        attributes.clear();
        ns::TextIndex names, locals;  // for a tag of many attributes
        bool empty = false;
        for (;;) {
            bool space = skipSpace();
            if (p_ >= end_) return false;
            if (*p_ == '>') {
                ++p_;
                break;
            }
            if (*p_ == '/') {
                if (!at("/>")) return false;
                p_ += 2;
                empty = true;
                break;
            }
            if (!space) return false;
            // A tag of more attributes than the full reader takes is left to
            // it, which refuses it.
            if (attributes.size() >= xmlread::kMaxAttributes) return false;
            Attribute a;
            if (!qName(a.qname, a.prefix, a.local)) return false;
            unsigned char quote = 0;
            if (!equalsAndQuote(quote)) return false;
            bool emptyValue = false;
            if (!attributeValue(quote, emptyValue)) return false;
            if (repeated(attributes, a, names, locals)) return false;
            if (a.prefix == "xmlns" || (a.prefix.empty() && a.qname == "xmlns")) ++element.declarations;
            if (a.prefix == "xmlns") {
                if (a.local == "xml" || a.local == "xmlns" || emptyValue) return false;
                // Prefixes are looked up one by one: more in scope than a
                // reply declares are left to the full reader.
                if (prefixes_.size() >= kMaxPrefixesInScope || !hold(prefixes_, a.local)) return false;
            }
            if (!hold(attributes, a)) return false;
        }
        // What the full reader counts for the tag, and a message for each
        // declaration (libxml2 warns of a namespace name that is no absolute
        // URI): the quick reader answers for no reply the full one would stop.
        inScope_ += element.declarations;
        if (!budget_.spend(names.bytes() + locals.bytes() +
                           xmlread::parserSteps(attributes.size(), element.declarations, inScope_, 0) +
                           element.declarations * xmlread::kMessageBytes))
            return false;
        for (const auto& a : attributes)
            if (!a.prefix.empty() && a.prefix != "xmlns" && a.prefix != "xml" && !declared(a.prefix)) return false;
        if (!prefix.empty() && (prefix == "xml" || prefix == "xmlns" || !declared(prefix))) return false;

        if (capturing_) return false;  // an element inside the wanted one
        if (!found_ && local == name_) {
            found_ = true;
            capturing_ = !empty;
            capStart_ = capEnd_ = p_;
        }
        if (empty) {
            prefixes_.resize(element.prefixes);
            inScope_ -= element.declarations;
            return true;
        }
        if (open_.size() >= kMaxDepth) return false;
        return hold(open_, element);
    }

    // At "</".
    bool endTag() {
        if (capturing_) capEnd_ = p_;
        p_ += 2;
        std::string_view qname, prefix, local;
        if (!qName(qname, prefix, local)) return false;
        skipSpace();
        if (p_ >= end_ || *p_ != '>') return false;
        ++p_;
        if (open_.empty() || open_.back().qname != qname) return false;
        prefixes_.resize(open_.back().prefixes);
        inScope_ -= open_.back().declarations;
        open_.pop_back();
        capturing_ = false;  // nothing nests inside the wanted element
        return true;
    }

    // Character data up to the next '<' (or the end).
    bool characterData() {
        const unsigned char* run = p_;
        auto flush = [&] {
            if (capturing_ && text_) text_->append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p_ - run));
        };
        while (p_ < end_) {
            // The common cases first: plain ASCII a block at a time, and
            // three-byte characters that can be no overlong form, surrogate
            // or non-character (U+1000 to U+CFFF, where most CJK text lies,
            // U+E000 to U+FFBF, the full-width punctuation among them), five
            // at a time where they come in a row.
            if (end_ - p_ >= textscan::kBlock) {
                const std::ptrdiff_t n = textscan::plainASCII<'<', '&', ']'>(p_);
                p_ += n;
                if (n == textscan::kBlock) continue;
            }
            unsigned char c = *p_;
            if (c == '<') break;
            if (c >= 0x20 && c < 0x80 && c != '&' && c != ']') {
                ++p_;
                continue;
            }
            if (c >= 0xE1 && end_ - p_ >= 16 && textscan::fiveThreeByteSequences<true>(p_)) {
                p_ += 15;
                continue;
            }
            if (c >= 0xE1 && c != 0xED && c <= 0xEF && end_ - p_ > 2 && (p_[1] & 0xC0) == 0x80 &&
                (p_[2] & 0xC0) == 0x80 && (c != 0xEF || p_[1] != 0xBF)) {
                p_ += 3;
                continue;
            }
            if (c == '&') {
                flush();
                std::uint32_t cp;
                if (!reference(cp)) return false;
                if (capturing_) {
                    escaped_ = true;
                    if (text_) ns::appendUTF8(*text_, static_cast<char32_t>(cp));
                }
                run = p_;
            } else if (c == ']') {
                if (at("]]>")) return false;
                ++p_;
            } else if (c == '\r' && capturing_) {
                return false;  // line ends are normalised by the full reader
            } else if (!character()) {
                return false;
            }
        }
        flush();
        return true;
    }

    bool document() {
        if (p_ >= end_ || *p_ == 0xEF) return false;
        if (at("<?xml") && end_ - p_ > 5 && isSpace(p_[5]) && !declaration()) return false;
        skipSpace();
        if (p_ >= end_ || *p_ != '<' || !startTag()) return false;
        while (!open_.empty()) {
            if (p_ >= end_) return false;
            if (*p_ != '<') {
                if (!characterData()) return false;
                continue;
            }
            if (end_ - p_ < 2) return false;
            unsigned char next = p_[1];
            if (next == '/') {
                if (!endTag()) return false;
            } else if (next == '!' || next == '?') {
                return false;
            } else if (!startTag()) {
                return false;
            }
        }
        skipSpace();
        return p_ == end_;
    }

    const unsigned char* begin_;
    const unsigned char* p_;
    const unsigned char* end_;
    std::string_view name_;
    std::string* text_;
    // What the scanner's lists take for this reply (the room they already
    // had from earlier ones is not counted again), the text gathered, and
    // what the full reader would count for the same reply.
    ns::ReadBudget budget_;
    std::size_t inScope_ = 0;  // namespace declarations in scope
    bool found_ = false;
    bool capturing_ = false;
    const unsigned char* capStart_ = nullptr;  // the wanted element's content
    const unsigned char* capEnd_ = nullptr;
    bool escaped_ = false;  // it holds references
    // The scanner's lists keep their room from one reply to the next on
    // each thread, so reading a reply allocates nothing.
    struct Lists {
        std::vector<Element> open;
        std::vector<std::string_view> prefixes;  // declared, innermost last
        std::vector<Attribute> attributes;       // of the start tag being read
    };
    static Lists& lists() {
        thread_local Lists l;
        l.open.clear();
        l.prefixes.clear();
        l.attributes.clear();
        return l;
    }
    Lists& lists_ = lists();
    std::vector<Element>& open_ = lists_.open;
    std::vector<std::string_view>& prefixes_ = lists_.prefixes;
    std::vector<Attribute>& attributes_ = lists_.attributes;
};

}  // namespace

Quick quickScan(std::string_view xml, std::string_view name, std::string& text) {
    return Scanner(xml, name, &text).run();
}

Quick quickSpan(std::string_view xml, std::string_view name, Span& span) {
    Scanner scanner(xml, name, nullptr);
    Quick q = scanner.run();
    if (q == Quick::Found) span = scanner.span();
    return q;
}

void cutToSpan(std::string& xml, const Span& span) {
    if (!span.escaped) {
        xml.erase(span.end);
        xml.erase(0, span.begin);
        return;
    }
    // The text, references read, is never longer than it was written: it is
    // written over the document from the front. (The scanner has checked
    // every reference in it.)
    const auto* bytes = reinterpret_cast<const unsigned char*>(xml.data());
    char* out = xml.data();
    std::size_t w = 0;
    for (std::size_t i = span.begin; i < span.end;) {
        if (xml[i] != '&') {
            out[w++] = xml[i++];
            continue;
        }
        const unsigned char* p = bytes + i;
        std::uint32_t cp = 0;
        readReference(p, bytes + span.end, cp);
        i = static_cast<std::size_t>(p - bytes);
        std::string utf8;
        ns::appendUTF8(utf8, static_cast<char32_t>(cp));
        for (char c : utf8) out[w++] = c;
    }
    xml.resize(w);
}

// ---- The full reader ----

namespace {

// Reads the reply as a stream of events and keeps only the text of the first
// element with the wanted local name: no tree is built for a reply that may
// be large, and the whole document must still be well-formed.
struct ResultScan {
    std::string name;
    int depth = 0;  // nesting inside the result element; 0 = outside
    bool found = false;
    std::string text;

    static ResultScan& of(void* ctx) { return *static_cast<ResultScan*>(ctx); }

    static void start(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*, int, const xmlChar**, int,
                      int, const xmlChar**) {
        ResultScan& s = of(ctx);
        if (s.depth > 0) {
            ++s.depth;
        } else if (!s.found && s.name == reinterpret_cast<const char*>(localname)) {
            s.found = true;
            s.depth = 1;
        }
    }
    static void end(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
        ResultScan& s = of(ctx);
        if (s.depth > 0) --s.depth;
    }
    static void characters(void* ctx, const xmlChar* ch, int len) {
        ResultScan& s = of(ctx);
        if (s.depth > 0) s.text.append(reinterpret_cast<const char*>(ch), static_cast<std::size_t>(len));
    }
    static void quiet(void*, xmlErrorPtr) {}
};

}  // namespace

std::optional<std::string> fullScan(std::string_view xml, std::string_view name) {
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = &ResultScan::start;
    sax.endElementNs = &ResultScan::end;
    sax.characters = &ResultScan::characters;
    sax.cdataBlock = &ResultScan::characters;
    sax.serror = &ResultScan::quiet;

    ResultScan scan;
    scan.name = std::string(name);
    // SOAP messages carry no document type declaration; refusing one keeps
    // entity expansion out of the reader, whatever its size limits.
    const bool wellFormed =
        xmlread::parse(xml, sax, &scan, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE,
                       {.refuseDocumentType = true});
    if (!wellFormed || !scan.found) return std::nullopt;
    return std::move(scan.text);
}

}  // namespace soapscan
