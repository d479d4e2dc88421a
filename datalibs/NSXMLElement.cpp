#include "datalibs/NSXMLElement.h"

#include <libxml/parser.h>

#include <climits>
#include <set>

#include "datalibs/XMLSupport.h"
#include "foundation/Format.h"

using namespace datalibs::xml;

namespace {

bool sameText(const xmlChar* a, const xmlChar* b) { return xmlStrEqual(a, b) != 0; }

// The element whose scope a node sees: an attribute sees its element's.
xmlNodePtr scopeOf(xmlNodePtr node) {
    if (node && node->type == XML_ATTRIBUTE_NODE) return node->parent;
    return node;
}

// The in-scope declaration of uri usable by the node: attributes cannot use a
// default namespace.
xmlNsPtr findByURI(xmlNodePtr node, const xmlChar* uri, bool forAttribute) {
    xmlNodePtr scope = scopeOf(node);
    if (!scope || !uri) return nullptr;
    xmlNsPtr found = xmlSearchNsByHref(scope->doc, scope, uri);
    if (found && forAttribute && !found->prefix) {
        // Look for a prefixed declaration of the same URI that is not shadowed.
        for (xmlNodePtr n = scope; n && n->type == XML_ELEMENT_NODE; n = n->parent)
            for (xmlNsPtr d = n->nsDef; d; d = d->next)
                if (d->prefix && sameText(d->href, uri) && xmlSearchNs(scope->doc, scope, d->prefix) == d) return d;
        return nullptr;
    }
    return found;
}

// Declares uri on the element with the wanted prefix when no declaration in
// scope uses that prefix yet, else (or when a prefix is required and there is
// none) with a fresh one: "ns1", "ns2", ...
xmlNsPtr declareNamespace(xmlNodePtr element, const xmlChar* uri, const xmlChar* prefix, bool needsPrefix) {
    if ((prefix || !needsPrefix) && !xmlSearchNs(element->doc, element, prefix))
        if (xmlNsPtr made = xmlNewNs(element, uri, prefix)) return made;
    for (int i = 1; i < INT_MAX; ++i) {
        std::string fresh = "ns" + std::to_string(i);
        if (xmlSearchNs(element->doc, element, X(fresh))) continue;
        return xmlNewNs(element, uri, X(fresh));
    }
    return nullptr;
}

// Calls fn for the node, its attributes and its whole subtree.
template <typename F>
void forEachInTree(xmlNodePtr node, F&& fn) {
    fn(node);
    if (node->type != XML_ELEMENT_NODE) return;
    for (xmlAttrPtr a = node->properties; a; a = a->next) fn(reinterpret_cast<xmlNodePtr>(a));
    for (xmlNodePtr c = node->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) forEachInTree(c, fn);
}

xmlAttrPtr findAttribute(xmlNodePtr element, const xmlChar* name, bool anyNamespace, const xmlChar* uri) {
    for (xmlAttrPtr a = element->properties; a; a = a->next) {
        if (!sameText(a->name, name)) continue;
        if (anyNamespace) return a;
        if (uri ? (a->ns && sameText(a->ns->href, uri)) : a->ns == nullptr) return a;
    }
    return nullptr;
}

}  // namespace

// ---- Parsing ----

NSXMLElementPtr NSXMLElement::initWithXMLString(const std::string& string, ns::ErrorPtr* error) {
    xmlDocPtr doc = readDocument(string);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    xmlNodePtr copy = root ? xmlCopyNode(root, 1) : nullptr;
    if (doc) xmlFreeDoc(doc);
    if (!copy) {
        if (error) *error = ns::makeError(NSXMLErrorDomain, -1);
        return nullptr;
    }
    return std::make_shared<NSXMLElement>(copy, true);
}

// ---- Namespaces ----

std::optional<NSXMLNodeArray> NSXMLElement::namespaces() {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE) return std::nullopt;
    NSXMLNodeArray list;
    for (xmlNsPtr d = xmlNode_->nsDef; d; d = d->next) {
        if (d->prefix && sameText(d->prefix, BAD_CAST "xml")) continue;
        list.push_back(nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(d)));
    }
    if (list.empty()) return std::nullopt;
    return list;
}

void NSXMLElement::setNamespaces(const NSXMLNodeArray& namespaces) {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE) return;
    releaseCachedValues();
    xmlNodePtr element = xmlNode_;

    // Declare the new set while the old records still exist: the given
    // wrappers may be this element's own declarations.
    xmlNsPtr old = element->nsDef;
    element->nsDef = nullptr;
    for (const auto& w : namespaces) {
        if (!w || !datalibs::xml::isNamespaceRecord(w->XMLNode())) continue;
        auto* record = reinterpret_cast<xmlNsPtr>(w->XMLNode());
        xmlNewNs(element, record->href, record->prefix);
    }

    // Rebind every node that still uses an old declaration: to a declaration
    // in scope with the same URI, else to a copy of the old one declared here.
    std::set<xmlNsPtr> oldSet;
    for (xmlNsPtr d = old; d; d = d->next) oldSet.insert(d);
    if (!oldSet.empty()) {
        NamespaceMap redeclared;
        forEachInTree(element, [&](xmlNodePtr n) {
            if (!n->ns || !oldSet.count(n->ns)) return;
            xmlNsPtr was = n->ns;
            bool forAttribute = n->type == XML_ATTRIBUTE_NODE;
            xmlNodePtr scope = scopeOf(n);
            xmlNsPtr same = xmlSearchNs(scope->doc, scope, was->prefix);
            if (same && oldSet.count(same)) same = nullptr;
            if (!(same && sameText(same->href, was->href) && (same->prefix || !forAttribute)))
                same = findByURI(n, was->href, forAttribute);
            if (!same) {
                auto it = redeclared.find(was);
                if (it != redeclared.end()) {
                    same = it->second;
                } else {
                    same = declareNamespace(element, was->href, was->prefix, forAttribute);
                    redeclared[was] = same;
                }
            }
            n->ns = same;
        });
    }
    xmlFreeNsList(old);
    fixUpNamespacesForNode(element, element);
}

void NSXMLElement::addNamespace(const NSXMLNodePtr& ns) {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE || !ns) return;
    if (!datalibs::xml::isNamespaceRecord(ns->XMLNode())) return;
    releaseCachedValues();
    auto* record = reinterpret_cast<xmlNsPtr>(ns->XMLNode());
    xmlNewNs(xmlNode_, record->href, record->prefix);
    fixUpNamespacesForNode(xmlNode_, xmlNode_);
}

std::optional<std::string> NSXMLElement::resolvePrefixForNamespaceURI(const std::string& URI) {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE) return std::nullopt;
    xmlNsPtr found = xmlSearchNsByHref(xmlNode_->doc, xmlNode_, X(URI));
    if (!found) return std::nullopt;
    return found->prefix ? std::string(C(found->prefix)) : std::string();
}

// ---- Children ----

void NSXMLElement::addChild(const NSXMLNodePtr& child) {
    if (!xmlNode_ || !child || !child->XMLNode()) return;
    unsigned k = child->kind();
    if (k == NSXMLAttributeKind) return addAttribute(child);
    if (k == NSXMLNamespaceKind) return addNamespace(child);
    // Only what an element can hold; documents and declarations cannot.
    switch (child->XMLNode()->type) {
        case XML_ELEMENT_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_ENTITY_REF_NODE:
        case XML_PI_NODE:
        case XML_COMMENT_NODE:
            break;
        default:
            return;
    }
    releaseCachedValues();
    xmlNodePtr copy = child->XMLNodeCopy();
    if (!copy) return;
    // Text may be merged into the last child, which frees the copy: carry on
    // with the node libxml2 answers.
    xmlNodePtr added = xmlAddChild(xmlNode_, copy);
    if (!added) {
        xmlFreeNode(copy);
        return;
    }
    fixUpNamespacesForNode(added, xmlNode_);
}

std::optional<NSXMLNodeArray> NSXMLElement::elementsForName(const std::string& name) {
    if (!xmlNode_) return std::nullopt;
    if (auto prefix = prefixForName(name)) {
        xmlNsPtr found = xmlSearchNs(xmlNode_->doc, xmlNode_, X(*prefix));
        if (found) return elementsForLocalName(*localNameForName(name), text(found->href));
    }
    NSXMLNodeArray list;
    for (xmlNodePtr c = xmlNode_->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && qualifiedNameForXMLNode(c) == name) list.push_back(nodeBorrowingXMLNode(c));
    return list;
}

std::optional<NSXMLNodeArray> NSXMLElement::elementsForLocalName(const std::string& localName,
                                                                 const std::optional<std::string>& URI) {
    if (!xmlNode_ || !xmlNode_->children) return std::nullopt;
    std::string placeholder = URI ? ns::format("{%@}:%@", *URI, localName) : std::string();
    NSXMLNodeArray list;
    for (xmlNodePtr c = xmlNode_->children; c; c = c->next) {
        if (c->type != XML_ELEMENT_NODE) continue;
        bool match;
        if (!URI)
            match = !c->ns && sameText(c->name, X(localName));
        else if (c->ns)
            match = sameText(c->ns->href, X(*URI)) && sameText(c->name, X(localName));
        else
            match = sameText(c->name, X(placeholder));
        if (match) list.push_back(nodeBorrowingXMLNode(c));
    }
    if (list.empty()) return std::nullopt;
    return list;
}

// ---- Attributes ----

std::optional<NSXMLNodeArray> NSXMLElement::attributes() {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE) return std::nullopt;
    const NSXMLNodeArray& list = refreshedCache(cachedAttributes_, reinterpret_cast<xmlNodePtr>(xmlNode_->properties));
    if (list.empty()) return std::nullopt;
    return list;
}

void NSXMLElement::addAttribute(const NSXMLNodePtr& attribute) {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE || !attribute) return;
    xmlNodePtr given = attribute->XMLNode();
    if (!given || given->type != XML_ATTRIBUTE_NODE || !given->name) return;
    releaseCachedValues();

    // The name and namespace the attribute will have on this element, found
    // before the duplicate check: "p:k" and "{urn:p}:k" are resolved here as
    // the namespace repair would resolve them after grafting.
    std::string local = C(given->name);
    const xmlChar* uri = nullptr;
    xmlNsPtr target = nullptr;
    if (given->ns && given->ns->href) {
        uri = given->ns->href;
        target = findByURI(xmlNode_, uri, true);
    } else if (auto resolved = resolveQualifiedName(given, xmlNode_)) {
        local = resolved->local;
        target = resolved->ns;
        uri = target->href;
    }
    if (findAttribute(xmlNode_, X(local), uri == nullptr, uri)) return;

    if (uri && !target) target = declareNamespace(xmlNode_, uri, given->ns->prefix, true);
    std::optional<std::string> value = take(xmlNodeGetContent(given));
    xmlAttrPtr made = xmlNewNsProp(xmlNode_, target, X(local), value ? X(*value) : BAD_CAST "");
    if (made) fixUpNamespacesForNode(reinterpret_cast<xmlNodePtr>(made), xmlNode_);
}

NSXMLNodePtr NSXMLElement::attributeForName(const std::string& name) {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE) return nullptr;
    if (xmlAttrPtr a = findAttribute(xmlNode_, X(name), true, nullptr))
        return nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(a));
    if (auto prefix = prefixForName(name)) {
        xmlNsPtr found = xmlSearchNs(xmlNode_->doc, xmlNode_, X(*prefix));
        std::string local = *localNameForName(name);
        if (xmlAttrPtr a = findAttribute(xmlNode_, X(local), false, found ? found->href : nullptr))
            return nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(a));
    }
    return nullptr;
}

NSXMLNodePtr NSXMLElement::attributeForLocalName(const std::string& localName, const std::string& URI) {
    if (!xmlNode_ || xmlNode_->type != XML_ELEMENT_NODE) return nullptr;
    xmlAttrPtr a = findAttribute(xmlNode_, X(localName), false, X(URI));
    if (!a) a = findAttribute(xmlNode_, X(ns::format("{%@}:%@", URI, localName)), true, nullptr);
    return a ? nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(a)) : nullptr;
}

// ---- Namespace repair ----

void NSXMLElement::deleteNamespacePtr(xmlNsPtr ns, xmlNodePtr node) {
    if (!ns || !node || node->type != XML_ELEMENT_NODE) return;
    xmlNsPtr prev = nullptr;
    for (xmlNsPtr d = node->nsDef; d; prev = d, d = d->next) {
        if (d != ns) continue;
        if (prev)
            prev->next = d->next;
        else
            node->nsDef = d->next;
        d->next = nullptr;
        xmlFreeNs(d);
        return;
    }
}

std::optional<NSXMLElement::ResolvedName> NSXMLElement::resolveQualifiedName(xmlNodePtr node, xmlNodePtr scope) {
    if (!node || !scope || node->ns || !node->name) return std::nullopt;
    if (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE) return std::nullopt;
    std::string name = C(node->name);
    std::size_t colon = name.rfind(':');
    if (colon != std::string::npos && colon + 1 == name.size()) return std::nullopt;
    std::optional<std::string> prefix;
    std::string local = name;
    if (colon != std::string::npos) {
        if (colon > 0) prefix = name.substr(0, colon);
        local = name.substr(colon + 1);
    }
    bool forAttribute = node->type == XML_ATTRIBUTE_NODE;
    if (prefix && prefix->size() >= 3 && prefix->front() == '{' && prefix->back() == '}') {
        std::string uri = prefix->substr(1, prefix->size() - 2);
        if (xmlNsPtr found = findByURI(scope, X(uri), forAttribute)) return ResolvedName{found, local};
    }
    // An attribute without a prefix belongs to no namespace, whatever the
    // default namespace.
    if (!prefix && forAttribute) return std::nullopt;
    xmlNsPtr found = xmlSearchNs(scope->doc, scope, prefix ? X(*prefix) : nullptr);
    if (found && found->href && *found->href) return ResolvedName{found, local};
    return std::nullopt;
}

void NSXMLElement::fixQualifiedNamesForNode(xmlNodePtr node, xmlNodePtr graftPoint) {
    if (!node || !graftPoint) return;
    // Names are resolved where the node now stands, which lies in the graft
    // point's scope.
    xmlNodePtr scope = scopeOf(node);
    if (!scope) scope = graftPoint;
    if (auto resolved = resolveQualifiedName(node, scope)) {
        xmlSetNs(node, resolved->ns);
        xmlNodeSetName(node, X(resolved->local));
    }
}

void NSXMLElement::fixDuplicateNamespacesForNode(xmlNodePtr node, xmlNodePtr graftPoint, NamespaceMap& map) {
    if (!node || !graftPoint) return;
    if (node->type == XML_ELEMENT_NODE) {
        xmlNsPtr d = node->nsDef;
        while (d) {
            xmlNsPtr next = d->next;
            xmlNsPtr inScope = xmlSearchNs(graftPoint->doc, graftPoint, d->prefix);
            // Only when the record would also be the one seen from the node's
            // own place: a declaration in between keeps the node's own.
            bool visible = node == graftPoint || !node->parent ||
                           xmlSearchNs(node->doc, node->parent, d->prefix) == inScope;
            if (inScope && inScope != d && sameText(inScope->href, d->href) && visible) {
                map[d] = inScope;
                deleteNamespacePtr(d, node);
            }
            d = next;
        }
    }
    if (node->ns) {
        auto it = map.find(node->ns);
        if (it != map.end()) node->ns = it->second;
    }
}

void NSXMLElement::fixUpNamespacesForNode_graftingToTreeNode_namespaceSubstitutionMap(xmlNodePtr node,
                                                                                     xmlNodePtr graftPoint,
                                                                                     NamespaceMap& map) {
    if (!node || (node->type != XML_ELEMENT_NODE && node->type != XML_ATTRIBUTE_NODE)) return;
    fixQualifiedNamesForNode(node, graftPoint);
    fixDuplicateNamespacesForNode(node, graftPoint, map);
    if (node->type != XML_ELEMENT_NODE) return;
    for (xmlNodePtr c = node->children; c; c = c->next)
        fixUpNamespacesForNode_graftingToTreeNode_namespaceSubstitutionMap(c, graftPoint, map);
    for (xmlAttrPtr a = node->properties; a; a = a->next)
        fixUpNamespacesForNode_graftingToTreeNode_namespaceSubstitutionMap(reinterpret_cast<xmlNodePtr>(a),
                                                                           graftPoint, map);
}

void NSXMLElement::fixUpNamespacesForNode(xmlNodePtr node, xmlNodePtr graftPoint) {
    NamespaceMap map;
    fixUpNamespacesForNode_graftingToTreeNode_namespaceSubstitutionMap(node, graftPoint, map);
}
