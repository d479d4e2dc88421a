#include "datalibs/NSXMLNode.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <typeinfo>

#include "datalibs/NSXMLElement.h"
#include "datalibs/XMLSupport.h"
#include "foundation/Log.h"

using namespace datalibs::xml;

const char* const NSXMLErrorDomain = "NSXMLErrorDomain";

// ---- libxml2 set-up and error routing ----

namespace {

std::string trimmed(std::string s) {
    const char* ws = " \t\r\n";
    std::size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

void logStructuredError(void*, xmlErrorPtr error) {
    if (!error) return;
    std::string message = trimmed(error->message ? error->message : "");
    if (error->line > 0)
        ns::NSLog("libxml2: line %d: %@", error->line, message);
    else
        ns::NSLog("libxml2: %@", message);
}

// libxml2 hands generic messages over in pieces; a line is logged once it ends.
void logGenericError(void*, const char* fmt, ...) {
    thread_local std::string pending;
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    pending.append(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
    std::size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
        std::string line = trimmed(pending.substr(0, nl));
        pending.erase(0, nl + 1);
        if (!line.empty()) ns::NSLog("libxml2: %@", line);
    }
}

}  // namespace

namespace datalibs {

void initXMLLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlThrDefSetStructuredErrorFunc(nullptr, logStructuredError);
        xmlThrDefSetGenericErrorFunc(nullptr, logGenericError);
    });
    // The handlers live in per-thread state; set them for this thread too.
    thread_local bool threadReady = false;
    if (!threadReady) {
        threadReady = true;
        xmlSetStructuredErrorFunc(nullptr, logStructuredError);
        xmlSetGenericErrorFunc(nullptr, logGenericError);
    }
}

namespace xml {

void ensureInitialized() { initXMLLibrary(); }

xmlNsPtr copyNamespaceRecord(const xmlNs* ns) {
    if (!ns) return nullptr;
    auto* copy = static_cast<xmlNsPtr>(xmlMalloc(sizeof(xmlNs)));
    if (!copy) return nullptr;
    std::memset(copy, 0, sizeof(xmlNs));
    copy->type = XML_NAMESPACE_DECL;
    copy->href = ns->href ? xmlStrdup(ns->href) : nullptr;
    copy->prefix = ns->prefix ? xmlStrdup(ns->prefix) : nullptr;
    return copy;
}

EscapedNamespaceURIs::EscapedNamespaceURIs(xmlNodePtr top) {
    if (!top) return;
    if (isNamespaceRecord(top)) {
        escape(reinterpret_cast<xmlNsPtr>(top));
        return;
    }
    // Depth first without recursion through the elements (where namespaces
    // are declared) and a document's top level; not into entity references,
    // whose children belong to the entity's declaration.
    bool document = top->type == XML_DOCUMENT_NODE || top->type == XML_HTML_DOCUMENT_NODE;
    for (xmlNodePtr node = top; node;) {
        if (node->type == XML_ELEMENT_NODE)
            for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next) escape(ns);
        if ((node->type == XML_ELEMENT_NODE || (node == top && document)) && node->children) {
            node = node->children;
            continue;
        }
        while (node && node != top && !node->next) node = node->parent;
        node = !node || node == top ? nullptr : node->next;
    }
}

EscapedNamespaceURIs::~EscapedNamespaceURIs() {
    for (auto& [ns, own] : saved_) {
        xmlFree(const_cast<xmlChar*>(ns->href));
        ns->href = own;
    }
}

void EscapedNamespaceURIs::escape(xmlNsPtr ns) {
    if (!ns->href || !std::strpbrk(C(ns->href), "<\t\n\r")) return;
    std::string out;
    for (const char* p = C(ns->href); *p; ++p) {
        switch (*p) {
            case '<': out += "&lt;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default: out += *p;
        }
    }
    xmlChar* escaped = xmlStrdup(X(out));
    if (!escaped) return;
    saved_.emplace_back(ns, ns->href);
    ns->href = escaped;
}

}  // namespace xml
}  // namespace datalibs

namespace {
// Initialises libxml2 when the program image is loaded.
struct LoadHook {
    LoadHook() { datalibs::initXMLLibrary(); }
} gLoadHook;
}  // namespace

// ---- Factories ----

NSXMLElementPtr NSXMLNode::elementWithName(const std::string& name) {
    ensureInitialized();
    xmlNodePtr node = xmlNewNode(nullptr, X(name));
    if (!node) return nullptr;
    return std::make_shared<NSXMLElement>(node, true);
}

NSXMLElementPtr NSXMLNode::elementWithName_stringValue(const std::string& name, const std::string& stringValue) {
    ensureInitialized();
    xmlNodePtr node = xmlNewNode(nullptr, X(name));
    if (!node) return nullptr;
    xmlNodePtr text = xmlNewText(X(stringValue));
    if (!text || !xmlAddChild(node, text)) {
        if (text) xmlFreeNode(text);
        xmlFreeNode(node);
        return nullptr;
    }
    return std::make_shared<NSXMLElement>(node, true);
}

NSXMLElementPtr NSXMLNode::elementWithName_URI(const std::string& name, const std::string& URI) {
    return elementWithName(ns::format("{%@}:%@", URI, name));
}

NSXMLNodePtr NSXMLNode::attributeWithName(const std::string& name, const std::string& stringValue) {
    ensureInitialized();
    xmlAttrPtr attr = xmlNewProp(nullptr, X(name), X(stringValue));
    if (!attr) return nullptr;
    return std::make_shared<NSXMLNode>(reinterpret_cast<xmlNodePtr>(attr), true);
}

NSXMLNodePtr NSXMLNode::attributeWithName_URI_stringValue(const std::string& name, const std::string& URI,
                                                          const std::string& stringValue) {
    return attributeWithName(ns::format("{%@}:%@", URI, name), stringValue);
}

NSXMLNodePtr NSXMLNode::textWithStringValue(const std::string& stringValue) {
    ensureInitialized();
    xmlNodePtr node = xmlNewText(X(stringValue));
    if (!node) return nullptr;
    return std::make_shared<NSXMLNode>(node, true);
}

NSXMLNodePtr NSXMLNode::namespaceWithName(const std::string& name, const std::string& stringValue) {
    ensureInitialized();
    xmlNsPtr ns = xmlNewNs(nullptr, X(stringValue), name.empty() ? nullptr : X(name));
    if (!ns) return nullptr;
    return std::make_shared<NSXMLNode>(reinterpret_cast<xmlNodePtr>(ns), true);
}

NSXMLNodePtr NSXMLNode::nodeConsumingXMLNode(xmlNodePtr node) {
    if (!node) return nullptr;
    if (node->type == XML_ELEMENT_NODE) return std::make_shared<NSXMLElement>(node, true);
    return std::make_shared<NSXMLNode>(node, true);
}

NSXMLNodePtr NSXMLNode::nodeBorrowingXMLNode(xmlNodePtr node) {
    if (!node) return nullptr;
    if (node->type == XML_ELEMENT_NODE) return std::make_shared<NSXMLElement>(node, false);
    return std::make_shared<NSXMLNode>(node, false);
}

std::optional<std::string> NSXMLNode::qualifiedNameForXMLNode(xmlNodePtr node) {
    if (!node) return std::nullopt;
    if (datalibs::xml::isNamespaceRecord(node)) {
        auto* record = reinterpret_cast<xmlNsPtr>(node);
        return record->prefix ? std::string(C(record->prefix)) : std::string();
    }
    xmlNsPtr space = nodeNamespace(node);
    if (space && space->prefix)
        return ns::format("%s:%s", C(space->prefix), node->name ? C(node->name) : "(null)");
    return text(node->name);
}

std::optional<std::string> NSXMLNode::localNameForName(const std::optional<std::string>& name) {
    if (!name) return std::nullopt;
    std::size_t colon = name->find(':');
    if (colon != std::string::npos && colon + 1 < name->size()) return name->substr(colon + 1);
    return name;
}

std::optional<std::string> NSXMLNode::prefixForName(const std::optional<std::string>& name) {
    if (!name) return std::nullopt;
    std::size_t colon = name->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return name->substr(0, colon);
}

// ---- Life ----

NSXMLNode::NSXMLNode(xmlNodePtr node, bool shouldFree) : xmlNode_(node), shouldFreeXMLNode_(shouldFree) {}

NSXMLNode::~NSXMLNode() {
    if (shouldFreeXMLNode_ && xmlNode_) {
        if (isNamespaceRecord()) {
            xmlFreeNs(asNamespace());
        } else {
            switch (xmlNode_->type) {
                case XML_DOCUMENT_NODE:
                case XML_HTML_DOCUMENT_NODE:
                case XML_DOCB_DOCUMENT_NODE:
                    xmlFreeDoc(reinterpret_cast<xmlDocPtr>(xmlNode_));
                    break;
                case XML_DTD_NODE:
                    xmlUnlinkNode(xmlNode_);
                    xmlFreeDtd(reinterpret_cast<xmlDtdPtr>(xmlNode_));
                    break;
                case XML_ATTRIBUTE_NODE:
                    xmlUnlinkNode(xmlNode_);
                    xmlFreeProp(reinterpret_cast<xmlAttrPtr>(xmlNode_));
                    break;
                default:
                    xmlUnlinkNode(xmlNode_);
                    xmlFreeNode(xmlNode_);
                    break;
            }
        }
    }
    releaseCachedValues();
}

bool NSXMLNode::isNamespaceRecord() const { return datalibs::xml::isNamespaceRecord(xmlNode_); }

void NSXMLNode::releaseCachedValues() {
    cachedChildren_.reset();
    cachedAttributes_.reset();
}

// ---- Values ----

std::optional<std::string> NSXMLNode::stringValue() const {
    if (!xmlNode_) return std::nullopt;
    if (isNamespaceRecord()) return text(asNamespace()->href);
    return take(xmlNodeGetContent(xmlNode_));
}

void NSXMLNode::setStringValue(const std::optional<std::string>& value) {
    if (!value || !xmlNode_) return;
    if (isNamespaceRecord()) {
        xmlNsPtr record = asNamespace();
        if (record->href) xmlFree(const_cast<xmlChar*>(record->href));
        record->href = xmlStrdup(X(*value));
        return;
    }
    switch (xmlNode_->type) {
        case XML_ELEMENT_NODE:
        case XML_ATTRIBUTE_NODE:
        case XML_DOCUMENT_FRAG_NODE: {
            // The text is kept as it is: "&" and "<" are characters, not markup.
            xmlNodeSetContent(xmlNode_, nullptr);
            if (!value->empty()) {
                xmlNodePtr text = xmlNewDocText(xmlNode_->doc, X(*value));
                if (text && !xmlAddChild(xmlNode_, text)) xmlFreeNode(text);
            }
            break;
        }
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            xmlNodeSetContent(xmlNode_, X(*value));
            break;
        default:
            break;
    }
    releaseCachedValues();
}

std::optional<std::string> NSXMLNode::XMLString() const {
    if (!xmlNode_) return std::nullopt;
    xmlBufferPtr buf = xmlBufferCreate();
    if (!buf) return std::nullopt;
    int n;
    {
        EscapedNamespaceURIs escaped(xmlNode_);
        n = xmlNodeDump(buf, nodeDocument(xmlNode_), xmlNode_, 0, 0);
    }
    std::optional<std::string> out;
    if (n >= 0) {
        const xmlChar* content = xmlBufferContent(buf);
        std::string s(content ? C(content) : "", static_cast<std::size_t>(xmlBufferLength(buf)));
        out = trimmed(std::move(s));
    }
    xmlBufferFree(buf);
    return out;
}

// ---- Names ----

std::optional<std::string> NSXMLNode::name() const { return qualifiedNameForXMLNode(xmlNode_); }

std::optional<std::string> NSXMLNode::localName() const {
    if (!xmlNode_) return std::nullopt;
    if (isNamespaceRecord()) return localNameForName(text(asNamespace()->href));
    return localNameForName(text(xmlNode_->name));
}

std::optional<std::string> NSXMLNode::prefix() const {
    if (!xmlNode_) return std::nullopt;
    if (isNamespaceRecord()) return std::string();
    xmlNsPtr space = nodeNamespace(xmlNode_);
    if (space && space->prefix) return std::string(C(space->prefix));
    return std::string();
}

std::optional<std::string> NSXMLNode::URI() const {
    if (!xmlNode_ || isNamespaceRecord()) return std::nullopt;
    xmlNsPtr space = nodeNamespace(xmlNode_);
    return space ? text(space->href) : std::nullopt;
}

// ---- Children ----

const NSXMLNodeArray& NSXMLNode::refreshedCache(std::optional<NSXMLNodeArray>& cache, xmlNodePtr first) {
    NSXMLNodeArray& list = cache ? *cache : cache.emplace();
    std::size_t i = 0;
    // Attributes chain through the same field as other nodes.
    for (xmlNodePtr n = first; n; n = n->next, ++i) {
        if (i == list.size()) {
            list.push_back(nodeBorrowingXMLNode(n));
            continue;
        }
        // Only the wrapper's own pointer is compared, never the node it had:
        // that one may be freed. An address libxml2 handed out again may hold
        // another kind of node, which needs the other wrapper class.
        const NSXMLNodePtr& held = list[i];
        bool elementWrapper = dynamic_cast<const NSXMLElement*>(held.get()) != nullptr;
        if (held->xmlNode_ != n || elementWrapper != (n->type == XML_ELEMENT_NODE)) list[i] = nodeBorrowingXMLNode(n);
    }
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i), list.end());
    return list;
}

const NSXMLNodeArray& NSXMLNode::cachedChildren() {
    xmlNodePtr first = xmlNode_ && !isNamespaceRecord() ? xmlNode_->children : nullptr;
    return refreshedCache(cachedChildren_, first);
}

unsigned NSXMLNode::childCount() {
    if (!xmlNode_ || isNamespaceRecord()) return 0;
    unsigned n = 0;
    for (xmlNodePtr c = xmlNode_->children; c; c = c->next) ++n;
    return n;
}

std::optional<NSXMLNodeArray> NSXMLNode::children() {
    if (!xmlNode_) return std::nullopt;
    return cachedChildren();
}

NSXMLNodePtr NSXMLNode::childAtIndex(std::uint32_t index) {
    if (!xmlNode_) return nullptr;
    const NSXMLNodeArray& list = cachedChildren();
    if (index >= list.size()) return nullptr;
    return list[index];
}

unsigned NSXMLNode::kind() const {
    if (!xmlNode_) return NSXMLInvalidKind;
    switch (static_cast<int>(xmlNode_->type)) {
        case 9: case 10: case 11: case 13: case 21: return NSXMLDocumentKind;
        case 1: return NSXMLElementKind;
        case 2: return NSXMLAttributeKind;
        case 18: return NSXMLNamespaceKind;
        case 7: case 19: case 20: return NSXMLProcessingInstructionKind;
        case 8: return NSXMLCommentKind;
        case 3: case 4: return NSXMLTextKind;
        case 14: return NSXMLDTDKind;
        case 5: case 6: case 17: return NSXMLEntityDeclarationKind;
        case 16: return NSXMLAttributeDeclarationKind;
        case 15: return NSXMLElementDeclarationKind;
        case 12: return NSXMLNotationDeclarationKind;
        default: return NSXMLInvalidKind;
    }
}

// ---- XPath ----

std::optional<NSXMLNodeArray> NSXMLNode::nodesForXPath(const std::string& xpath, ns::ErrorPtr* error) {
    ensureInitialized();
    if (!xmlNode_ || isNamespaceRecord()) {
        if (error) *error = ns::makeError(NSXMLErrorDomain, -1);
        return std::nullopt;
    }

    // A node outside any document is evaluated in a temporary one that holds
    // its tree for the duration.
    xmlDocPtr doc = xmlNode_->doc;
    xmlDocPtr tempDoc = nullptr;
    xmlNodePtr top = nullptr;
    if (!doc) {
        top = xmlNode_;
        while (top->parent) top = top->parent;
        if (top->type == XML_ELEMENT_NODE) {
            tempDoc = xmlNewDoc(nullptr);
            if (tempDoc) {
                xmlDocSetRootElement(tempDoc, top);
                doc = tempDoc;
            }
        }
    }
    auto detach = [&] {
        if (!tempDoc) return;
        xmlUnlinkNode(top);
        xmlSetTreeDoc(top, nullptr);
        xmlFreeDoc(tempDoc);
    };

    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx) {
        detach();
        if (error) *error = ns::makeError(NSXMLErrorDomain, -1);
        return std::nullopt;
    }
    ctx->node = xmlNode_;
    xmlXPathObjectPtr result = xmlXPathEval(X(xpath), ctx);
    std::optional<NSXMLNodeArray> answer;
    if (result) {
        NSXMLNodeArray nodes;
        if (result->type == XPATH_NODESET && result->nodesetval) {
            xmlNodeSetPtr set = result->nodesetval;
            for (int i = 0; i < set->nodeNr; ++i) {
                xmlNodePtr n = set->nodeTab[i];
                if (datalibs::xml::isNamespaceRecord(n)) {
                    // The result owns its namespace nodes and frees them with itself.
                    xmlNsPtr copy = copyNamespaceRecord(reinterpret_cast<xmlNsPtr>(n));
                    if (copy) nodes.push_back(std::make_shared<NSXMLNode>(reinterpret_cast<xmlNodePtr>(copy), true));
                } else if (n && n != reinterpret_cast<xmlNodePtr>(tempDoc)) {
                    // The temporary document goes with this call: "/" or ".."
                    // from the top of a detached tree finds nothing.
                    nodes.push_back(nodeBorrowingXMLNode(n));
                }
            }
        }
        xmlXPathFreeObject(result);
        answer = std::move(nodes);
    } else if (error) {
        ns::Value info;
        if (ctx->lastError.str1) info = ns::Value::dictionary({{"error", ns::Value(ctx->lastError.str1)}});
        *error = ns::makeError(NSXMLErrorDomain, ctx->lastError.code, info);
    }
    xmlXPathFreeContext(ctx);
    detach();
    return answer;
}

// ---- Identity, copies ----

std::string NSXMLNode::description() const {
    auto asValue = [](const std::optional<std::string>& s) { return s ? ns::Value(*s) : ns::Value(); };
    int type = xmlNode_ ? static_cast<int>(xmlNode_->type) : -1;
    return ns::format("%@ 0x%lX: {type:%d name:%@ xml:\"%@\"}", std::string(className()),
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(this)), type, asValue(name()),
                      asValue(XMLString()));
}

xmlNodePtr NSXMLNode::XMLNodeCopy() const {
    if (!xmlNode_) return nullptr;
    if (isNamespaceRecord()) return reinterpret_cast<xmlNodePtr>(copyNamespaceRecord(asNamespace()));
    return xmlCopyNode(xmlNode_, 1);
}

NSXMLNodePtr NSXMLNode::copyWithZone() const {
    xmlNodePtr c = XMLNodeCopy();
    if (!c) return nullptr;
    return std::make_shared<NSXMLNode>(c, true);
}

bool NSXMLNode::isEqual(const NSXMLNodePtr& other) const {
    if (!other) return false;
    if (other.get() == this) return true;
    if (xmlNode_ && xmlNode_ == other->xmlNode_) return true;
    return kind() == other->kind() && name() == other->name() &&
           const_cast<NSXMLNode*>(this)->childCount() == other->childCount();
}

std::size_t NSXMLNode::hash() const { return typeid(NSXMLNode).hash_code(); }
