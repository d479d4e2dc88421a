// Helpers shared by the XML model's sources (not part of its interface).
#pragma once

#include <libxml/tree.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace datalibs::xml {

// The fixed parse options: CDATA merged as text, ignorable blanks dropped.
inline constexpr int kParseOptions = XML_PARSE_NOCDATA | XML_PARSE_NOBLANKS;

inline const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }
inline const char* C(const xmlChar* s) { return reinterpret_cast<const char*>(s); }

inline std::optional<std::string> text(const xmlChar* s) {
    if (!s) return std::nullopt;
    return std::string(C(s));
}

// Takes a string libxml2 allocated and frees it.
inline std::optional<std::string> take(xmlChar* s) {
    if (!s) return std::nullopt;
    std::string out(C(s));
    xmlFree(s);
    return out;
}

inline bool isNamespaceRecord(const void* node) {
    return node && static_cast<const xmlNode*>(node)->type == XML_NAMESPACE_DECL;
}

// The namespace of a node whose structure carries one (elements, attributes,
// text and the like); null for documents, DTDs, declarations and namespace
// records, whose structures have no such field.
inline xmlNsPtr nodeNamespace(xmlNodePtr node) {
    if (!node) return nullptr;
    switch (node->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_ENTITY_REF_NODE:
        case XML_PI_NODE:
        case XML_COMMENT_NODE:
        case XML_DOCUMENT_FRAG_NODE:
        case XML_XINCLUDE_START:
        case XML_XINCLUDE_END:
            return node->ns;
        default:
            return nullptr;
    }
}

// The document of a node; null for a namespace record.
inline xmlDocPtr nodeDocument(xmlNodePtr node) {
    if (!node || isNamespaceRecord(node)) return nullptr;
    return node->doc;
}

// A free-standing copy of one namespace record (also of the "xml" one,
// which xmlNewNs declines to make).
xmlNsPtr copyNamespaceRecord(const xmlNs* ns);

// libxml2 ready and its error lines routed to the project log; safe to call
// any number of times.
void ensureInitialized();

// The model's parse of a whole document (kParseOptions) within the readers'
// bounds and the model's own (its size, what its entities expand to);
// nullptr otherwise, with a log line for a bound.
xmlDocPtr readDocument(std::string_view text);

// While alive, the namespace URIs declared in the tree (or the one record)
// are held escaped: libxml2's writer puts them between quotes as they are,
// so a URI with "<" would make markup that does not read back, and one with
// a tab or a line end would read back with spaces. ("&" is kept by the
// reader as the reference "&#38;", which is written as it is.)
class EscapedNamespaceURIs {
public:
    explicit EscapedNamespaceURIs(xmlNodePtr top);
    ~EscapedNamespaceURIs();
    EscapedNamespaceURIs(const EscapedNamespaceURIs&) = delete;
    EscapedNamespaceURIs& operator=(const EscapedNamespaceURIs&) = delete;

private:
    void escape(xmlNsPtr ns);
    std::vector<std::pair<xmlNsPtr, const xmlChar*>> saved_;  // record, its own URI
};

}  // namespace datalibs::xml
