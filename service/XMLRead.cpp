#include "service/XMLRead.h"

#include <libxml/encoding.h>
#include <libxml/entities.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/ReadBudget.h"
#include "foundation/TextIndex.h"

namespace xmlread {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// ---- Start tags ----

// Where a search from `from` ends: past what it found, or at the end.
std::size_t past(std::string_view s, std::size_t found, std::size_t length) {
    return found == npos ? s.size() : found + length;
}

bool at(std::string_view s, std::size_t i, std::string_view what) {
    return s.size() >= i && s.size() - i >= what.size() && std::memcmp(s.data() + i, what.data(), what.size()) == 0;
}

// From just after "<!": past a document type declaration (or any other such
// markup), to its '>' outside quoted literals and outside its internal
// subset, whose comments and processing instructions are skipped whole.
std::size_t skipDeclaration(std::string_view s, std::size_t i) {
    bool subset = false;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"' || c == '\'') {
            i = past(s, s.find(c, i + 1), 1);
            continue;
        }
        if (subset) {
            if (at(s, i, "<!--")) {
                i = past(s, s.find("-->", i + 4), 3);
                continue;
            }
            if (at(s, i, "<?")) {
                i = past(s, s.find("?>", i + 2), 2);
                continue;
            }
            if (c == ']') subset = false;
        } else if (c == '[') {
            subset = true;
        } else if (c == '>') {
            return i + 1;
        }
        ++i;
    }
    return i;
}

// The bytes that matter inside a start tag.
enum : unsigned char { kOther = 0, kEquals = 1, kQuote = 2, kEnd = 3 };
constexpr std::array<unsigned char, 256> makeTagBytes() {
    std::array<unsigned char, 256> t{};
    t['='] = kEquals;
    t['"'] = t['\''] = kQuote;
    t['>'] = t['<'] = kEnd;
    return t;
}
constexpr auto kTagBytes = makeTagBytes();

// Whether every start tag of UTF-8 text carries at most `most` attributes:
// one for each '=' outside its quoted values. Up to the first place where
// the text is not well-formed, which is as far as libxml2 reads it, the
// count is exact.
bool tagsWithin(std::string_view s, std::size_t most) {
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t lt = s.find('<', i);
        if (lt == npos || lt + 1 == n) return true;
        i = lt + 1;
        switch (s[i]) {
            case '!':
                if (at(s, i + 1, "--")) {
                    i = past(s, s.find("-->", i + 3), 3);
                } else if (at(s, i + 1, "[CDATA[")) {
                    i = past(s, s.find("]]>", i + 8), 3);
                } else {
                    i = skipDeclaration(s, i + 1);
                }
                break;
            case '?': i = past(s, s.find("?>", i + 1), 2); break;
            case '/': i = past(s, s.find('>', i), 1); break;
            default: {
                std::size_t count = 0;
                while (i < n) {
                    const unsigned char k = kTagBytes[static_cast<unsigned char>(s[i])];
                    if (k == kOther) {
                        ++i;
                    } else if (k == kEquals) {
                        if (++count > most) return false;
                        ++i;
                    } else if (k == kQuote) {
                        i = past(s, s.find(s[i], i + 1), 1);
                    } else {
                        break;
                    }
                }
            }
        }
    }
    return true;
}

// The encoding the document's declaration names, lower case; "" without one.
std::string declaredEncoding(std::string_view xml) {
    if (at(xml, 0, "\xEF\xBB\xBF")) xml.remove_prefix(3);
    if (!at(xml, 0, "<?xml")) return {};
    const std::string_view declaration = xml.substr(0, xml.find("?>"));
    std::size_t i = declaration.find("encoding");
    if (i == npos) return {};
    i += 8;
    auto blanks = [&] {
        while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '\t' || declaration[i] == '\r' ||
                                          declaration[i] == '\n'))
            ++i;
    };
    blanks();
    if (i >= declaration.size() || declaration[i] != '=') return {};
    ++i;
    blanks();
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return {};
    const std::size_t end = declaration.find(declaration[i], i + 1);
    if (end == npos) return {};
    std::string name(declaration.substr(i + 1, end - i - 1));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// Encodings whose bytes below 0x80 are ASCII and never part of another
// character: the text's markup reads the same in its own bytes.
bool keepsASCII(const std::string& name) {
    static constexpr std::string_view kNames[] = {"utf-8", "utf8", "us-ascii", "ascii", "latin1"};
    for (std::string_view n : kNames)
        if (name == n) return true;
    return name.rfind("iso-8859-", 0) == 0 || name.rfind("windows-125", 0) == 0;
}

// The text converted to UTF-8 as far as the handler can take it.
std::string toUTF8(std::string_view xml, xmlCharEncodingHandlerPtr handler) {
    constexpr std::size_t kPiece = 64 * 1024;
    std::string out;
    xmlBufferPtr in = xmlBufferCreate();
    xmlBufferPtr converted = xmlBufferCreate();
    bool fine = in && converted;
    for (std::size_t i = 0; fine && i < xml.size(); i += kPiece) {
        const std::size_t n = std::min(kPiece, xml.size() - i);
        fine = xmlBufferAdd(in, reinterpret_cast<const xmlChar*>(xml.data() + i), static_cast<int>(n)) == 0;
        // As much as converts now; what ends in the middle of a character
        // waits for the next piece.
        while (fine && xmlBufferLength(in) > 0) {
            const int left = xmlBufferLength(in);
            const int made = xmlCharEncInFunc(handler, converted, in);
            out.append(reinterpret_cast<const char*>(xmlBufferContent(converted)),
                       static_cast<std::size_t>(xmlBufferLength(converted)));
            xmlBufferEmpty(converted);
            fine = made >= 0 || made == -1;  // else not this encoding from here on
            if (xmlBufferLength(in) == left) break;
        }
    }
    if (in) xmlBufferFree(in);
    if (converted) xmlBufferFree(converted);
    xmlCharEncCloseFunc(handler);
    return out;
}

// ---- The watch over one parse ----

// What the tree holds for each thing.
constexpr std::size_t kAllocation = ns::ReadBudget::kAllocationBytes;
constexpr std::size_t kNodeBytes = sizeof(xmlNode) + kAllocation;
constexpr std::size_t kAttributeBytes = sizeof(xmlAttr) + kAllocation;
constexpr std::size_t kNamespaceBytes = sizeof(xmlNs) + kAllocation;
constexpr std::size_t kEntityBytes = sizeof(xmlEntity) + kAllocation;

// A product of counts, held at the largest size rather than wrapping.
std::size_t times(std::size_t a, std::size_t b) { return b != 0 && a > SIZE_MAX / b ? SIZE_MAX : a * b; }

class Watch;
thread_local Watch* current = nullptr;

class Watch {
public:
    Watch(xmlParserCtxtPtr ctxt, std::size_t size, bool tree, const Settings& settings)
        : ctxt_(ctxt), budget_(size), tree_(tree), settings_(settings), original_(*ctxt->sax), previous_(current) {
        current = this;
        xmlSAXHandlerPtr sax = ctxt->sax;
        if (sax->startElementNs) sax->startElementNs = &startElementNs;
        if (sax->endElementNs) sax->endElementNs = &endElementNs;
        if (sax->characters) sax->characters = &characters;
        if (sax->cdataBlock) sax->cdataBlock = &cdataBlock;
        if (sax->reference) sax->reference = &reference;
        if (sax->comment) sax->comment = &comment;
        if (sax->processingInstruction) sax->processingInstruction = &processingInstruction;
        if (sax->entityDecl) sax->entityDecl = &entityDecl;
        if (sax->attributeDecl) sax->attributeDecl = &attributeDecl;
        sax->internalSubset = &internalSubset;
        sax->serror = &message;
    }
    ~Watch() { current = previous_; }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    bool stopped() const { return stopped_; }
    const std::string& refusal() const { return refusal_; }

private:
    static Watch& self() { return *current; }

    // Stops the parse (and the entity's being parsed, in a tree) for that
    // reason; false.
    bool stop(void* ctx, std::string reason) {
        if (!stopped_) {
            stopped_ = true;
            refusal_ = std::move(reason);
        }
        xmlStopParser(ctxt_);
        if (tree_ && ctx && ctx != ctxt_) xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
        return false;
    }
    bool spend(void* ctx, std::size_t bytes) {
        if (stopped_) return false;
        return budget_.spend(bytes) || stop(ctx, ns::ReadBudget::kReason);
    }
    // In a tree: a node beside `bytes` of text; a text run goes on in the
    // node before it (whose room may double as it grows).
    bool spendText(void* ctx, std::size_t bytes) {
        if (!tree_) return !stopped_;
        const std::size_t node = lastWasText_ ? 0 : kNodeBytes;
        lastWasText_ = true;
        return spend(ctx, node + times(bytes, 2));
    }
    bool spendNode(void* ctx, std::size_t bytes) {
        lastWasText_ = false;
        return tree_ ? spend(ctx, kNodeBytes + bytes) : !stopped_;
    }

    static std::size_t length(const xmlChar* s) { return s ? static_cast<std::size_t>(xmlStrlen(s)) : 0; }

    static void startElementNs(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* URI,
                               int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                               const xmlChar** attributes) {
        Watch& w = self();
        if (w.stopped_) return;
        const std::size_t n = static_cast<std::size_t>(std::max(nbAttributes, 0));
        const std::size_t declared = static_cast<std::size_t>(std::max(nbNamespaces, 0));
        w.inScope_ += declared;
        w.declared_.push_back(declared);
        // The parser checks each attribute and declaration against the others
        // and the defaults declared for the element, and looks each name's
        // prefix up among the declarations in scope; the tree looks it up
        // through the ancestors too, and appends each attribute after the
        // ones before.
        std::size_t defaults = 0;
        if (!w.defaults_.empty()) {
            std::string name = prefix ? std::string(reinterpret_cast<const char*>(prefix)) + ":" : std::string();
            name += reinterpret_cast<const char*>(localname);
            auto found = w.defaults_.find(name);
            if (found != w.defaults_.end()) defaults = found->second;
        }
        std::size_t bytes = parserSteps(n, declared, w.inScope_, defaults);
        if (w.tree_) {
            // A step up through the ancestors or along the attributes takes
            // about as long as building two bytes of the tree.
            bytes += times(w.declared_.size(), 2 * (n + 1)) + n * n + declared * declared;
            bytes += kNodeBytes + declared * kNamespaceBytes;
            for (std::size_t i = 0; i < declared; ++i) bytes += length(namespaces[2 * i]) + length(namespaces[2 * i + 1]);
            for (std::size_t i = 0; i < n; ++i) {
                const auto* value = attributes[5 * i + 3];
                const auto* end = attributes[5 * i + 4];
                const std::size_t size = value && end > value ? static_cast<std::size_t>(end - value) : 0;
                // Its value's text, and a node for each piece a reference
                // splits it into.
                const std::size_t pieces = 1 + static_cast<std::size_t>(std::count(value, value + size, '&'));
                bytes += kAttributeBytes + times(pieces, kNodeBytes) + size + kAllocation;
            }
        }
        w.lastWasText_ = false;
        if (!w.spend(ctx, bytes)) return;
        w.original_.startElementNs(ctx, localname, prefix, URI, nbNamespaces, namespaces, nbAttributes, nbDefaulted,
                                   attributes);
    }

    static void endElementNs(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* URI) {
        Watch& w = self();
        if (w.stopped_) return;
        if (!w.declared_.empty()) {
            w.inScope_ -= w.declared_.back();
            w.declared_.pop_back();
        }
        w.lastWasText_ = false;
        w.original_.endElementNs(ctx, localname, prefix, URI);
    }

    static void characters(void* ctx, const xmlChar* ch, int len) {
        Watch& w = self();
        if (w.spendText(ctx, static_cast<std::size_t>(std::max(len, 0)))) w.original_.characters(ctx, ch, len);
    }
    static void cdataBlock(void* ctx, const xmlChar* value, int len) {
        Watch& w = self();
        if (w.spendText(ctx, static_cast<std::size_t>(std::max(len, 0)))) w.original_.cdataBlock(ctx, value, len);
    }
    static void reference(void* ctx, const xmlChar* name) {
        Watch& w = self();
        if (w.spendNode(ctx, 0)) w.original_.reference(ctx, name);
    }
    static void comment(void* ctx, const xmlChar* value) {
        Watch& w = self();
        if (w.spendNode(ctx, length(value))) w.original_.comment(ctx, value);
    }
    static void processingInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
        Watch& w = self();
        if (w.spendNode(ctx, length(target) + length(data))) w.original_.processingInstruction(ctx, target, data);
    }

    static void internalSubset(void* ctx, const xmlChar* name, const xmlChar* externalID, const xmlChar* systemID) {
        Watch& w = self();
        if (w.settings_.refuseDocumentType) {
            w.stop(ctx, "has a document type declaration");
            return;
        }
        if (w.spendNode(ctx, length(name) + length(externalID) + length(systemID)) && w.original_.internalSubset)
            w.original_.internalSubset(ctx, name, externalID, systemID);
    }

    // An entity's text is parsed where it is first referred to: its start
    // tags are held to the same bound as the document's.
    static void entityDecl(void* ctx, const xmlChar* name, int type, const xmlChar* publicId, const xmlChar* systemId,
                           xmlChar* content) {
        Watch& w = self();
        if (w.stopped_) return;
        const std::string_view text = content ? std::string_view(reinterpret_cast<const char*>(content)) : std::string_view();
        if (!tagsWithin(text, kMaxAttributes)) {
            w.stop(ctx, "declares an entity with a start tag of more than " + std::to_string(kMaxAttributes) +
                            " attributes");
            return;
        }
        if (w.spend(ctx, kEntityBytes + length(name) + text.size() + length(publicId) + length(systemId)))
            w.original_.entityDecl(ctx, name, type, publicId, systemId, content);
    }

    // Every default declared for an element is checked on each such element
    // against the others: no more of them than one tag may carry.
    static void attributeDecl(void* ctx, const xmlChar* elem, const xmlChar* fullname, int type, int def,
                              const xmlChar* defaultValue, xmlEnumerationPtr tree) {
        Watch& w = self();
        bool forward = !w.stopped_;
        if (forward && defaultValue && elem &&
            ++w.defaults_[std::string(reinterpret_cast<const char*>(elem))] > kMaxAttributes)
            forward = w.stop(ctx, "declares more than " + std::to_string(kMaxAttributes) + " defaults for an element");
        if (forward) forward = w.spendNode(ctx, length(elem) + length(fullname) + length(defaultValue));
        if (forward) {
            w.original_.attributeDecl(ctx, elem, fullname, type, def, defaultValue, tree);
        } else if (tree) {
            xmlFreeEnumeration(tree);  // the declaration's own, which the tree would have taken
        }
    }

    // Each message is counted; the first ones go where libxml2 would have
    // sent them (the handler's own, else the thread's).
    static void message(void* data, xmlErrorPtr error) {
        Watch& w = self();
        if (!w.spend(w.tree_ ? data : nullptr, kMessageBytes) || ++w.messages_ > kMaxMessages) return;
        if (w.original_.serror) {
            w.original_.serror(data, error);
        } else if (xmlStructuredError) {
            xmlStructuredError(xmlStructuredErrorContext, error);
        }
    }

    xmlParserCtxtPtr ctxt_;
    ns::ReadBudget budget_;
    bool tree_;
    Settings settings_;
    xmlSAXHandler original_;
    Watch* previous_;
    bool stopped_ = false;
    std::string refusal_;
    std::size_t inScope_ = 0;               // namespace declarations in scope
    std::vector<std::size_t> declared_;     // by each open element, so as deep as they are
    bool lastWasText_ = false;
    std::size_t messages_ = 0;
    std::unordered_map<std::string, std::size_t, ns::TextHash, std::equal_to<>> defaults_;  // declared, by element name
};

}  // namespace

std::size_t parserSteps(std::size_t attributes, std::size_t declarations, std::size_t inScope, std::size_t defaults) {
    const std::size_t n = std::min(attributes, kMaxAttributes * 2), d = std::min(declarations, kMaxAttributes * 2);
    // Two comparisons of the parser's (of names it holds once each) take
    // about as long as building a byte.
    const std::size_t compared = times(inScope, n + 1) + n * n / 2 + d * d / 2;
    return compared / 2 + times(std::min(defaults, kMaxAttributes * 2), std::min(defaults, kMaxAttributes * 2) + n);
}

namespace {

bool readable(std::string_view xml, std::string* refusal) {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    if (xml.empty() || xml.size() > INT_MAX) return false;
    if (startTagsWithinBound(xml)) return true;
    if (refusal) *refusal = "has a start tag of more than " + std::to_string(kMaxAttributes) + " attributes";
    return false;
}

}  // namespace

bool startTagsWithinBound(std::string_view xml) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(xml.data());
    const xmlCharEncoding detected = xml.size() >= 4 ? xmlDetectCharEncoding(bytes, 4) : XML_CHAR_ENCODING_NONE;
    if (detected != XML_CHAR_ENCODING_NONE && detected != XML_CHAR_ENCODING_UTF8) {
        xmlCharEncodingHandlerPtr handler = xmlGetCharEncodingHandler(detected);
        return tagsWithin(handler ? toUTF8(xml, handler) : std::string(xml), kMaxAttributes);
    }
    if (!tagsWithin(xml, kMaxAttributes)) return false;
    // A declared encoding that may hold ASCII's bytes inside other characters
    // (UTF-7, ISO-2022): the text is read as libxml2 will read it too.
    const std::string name = declaredEncoding(xml);
    if (name.empty() || keepsASCII(name)) return true;
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(name.c_str());
    return !handler || tagsWithin(toUTF8(xml, handler), kMaxAttributes);
}

namespace {

// Parses the text under a watch, with the context as `ready` leaves it;
// `done` takes what the parse made, and whether the watch stopped it, before
// the watch ends. False when the text is refused before the parse or no
// context can be made for it.
template <class Ready, class Done>
bool watchedParse(std::string_view xml, int options, bool tree, const Settings& settings, std::string* refusal,
                  Ready ready, Done done) {
    if (!readable(xml, refusal)) return false;
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(xml.data(), static_cast<int>(xml.size()));
    if (!ctxt) return false;
    ready(ctxt);
    xmlCtxtUseOptions(ctxt, options);
    {
        Watch watch(ctxt, xml.size(), tree, settings);
        xmlParseDocument(ctxt);
        done(ctxt, watch.stopped());
        if (watch.stopped() && refusal) *refusal = watch.refusal();
    }
    if (ctxt->myDoc) {
        xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
    }
    xmlFreeParserCtxt(ctxt);
    return true;
}

}  // namespace

xmlDocPtr readDocument(std::string_view xml, int options, const Settings& settings, std::string* refusal) {
    xmlDocPtr doc = nullptr;
    watchedParse(
        xml, options, true, settings, refusal, [](xmlParserCtxtPtr) {},
        [&](xmlParserCtxtPtr ctxt, bool stopped) {
            if (ctxt->myDoc && !stopped && (ctxt->wellFormed || ctxt->recovery)) std::swap(doc, ctxt->myDoc);
        });
    return doc;
}

bool parse(std::string_view xml, const xmlSAXHandler& handler, void* userData, int options, const Settings& settings,
           std::string* refusal) {
    bool fine = false;
    watchedParse(
        xml, options, false, settings, refusal,
        [&](xmlParserCtxtPtr ctxt) {
            *ctxt->sax = handler;
            ctxt->userData = userData;
        },
        [&](xmlParserCtxtPtr ctxt, bool stopped) { fine = ctxt->wellFormed != 0 && !stopped; });
    return fine;
}

}  // namespace xmlread
