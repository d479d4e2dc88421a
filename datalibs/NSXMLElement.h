// An element of the XML model: namespaces, children, attributes, and the
// namespace repair run whenever a copy is grafted into a tree.
#pragma once

#include <map>

#include "datalibs/NSXMLNode.h"

class NSXMLElement : public NSXMLNode {
public:
    using NSXMLNode::NSXMLNode;

    // Parses the text as a document and keeps a copy of its root element;
    // nullptr (and a parse error) without one.
    static NSXMLElementPtr initWithXMLString(const std::string& string, ns::ErrorPtr* error = nullptr);

    // ---- Namespaces ----
    // The declarations made on this element, in order, without "xml";
    // nullopt when it declares none.
    std::optional<NSXMLNodeArray> namespaces();
    // Replaces the element's declarations. Nodes bound to a declaration that
    // goes are rebound to one in scope with the same URI first.
    void setNamespaces(const NSXMLNodeArray& namespaces);
    void addNamespace(const NSXMLNodePtr& ns);
    // The prefix of the namespace with that URI in scope: "" for a default
    // namespace, nullopt when there is none.
    std::optional<std::string> resolvePrefixForNamespaceURI(const std::string& URI);

    // ---- Children ----
    // Appends a copy of the node (attributes go to addAttribute, namespace
    // records to addNamespace).
    void addChild(const NSXMLNodePtr& child);
    std::optional<NSXMLNodeArray> elementsForName(const std::string& name);
    // The child elements with that local name in the namespace URI, whatever
    // prefix binds them and wherever it is declared (a child often declares
    // its own namespace, as SOAP bodies do), and those still named
    // "{URI}:localName"; without a URI, those in no namespace. nullopt when
    // none match.
    std::optional<NSXMLNodeArray> elementsForLocalName(const std::string& localName,
                                                       const std::optional<std::string>& URI);

    // ---- Attributes ----
    std::optional<NSXMLNodeArray> attributes();
    void addAttribute(const NSXMLNodePtr& attribute);
    NSXMLNodePtr attributeForName(const std::string& name);
    NSXMLNodePtr attributeForLocalName(const std::string& localName, const std::string& URI);

    // ---- Namespace repair ----
    using NamespaceMap = std::map<xmlNsPtr, xmlNsPtr>;
    static void deleteNamespacePtr(xmlNsPtr ns, xmlNodePtr node);
    static void fixQualifiedNamesForNode(xmlNodePtr node, xmlNodePtr graftPoint);
    static void fixDuplicateNamespacesForNode(xmlNodePtr node, xmlNodePtr graftPoint, NamespaceMap& map);
    static void fixUpNamespacesForNode_graftingToTreeNode_namespaceSubstitutionMap(xmlNodePtr node,
                                                                                   xmlNodePtr graftPoint,
                                                                                   NamespaceMap& map);
    static void fixUpNamespacesForNode(xmlNodePtr node, xmlNodePtr graftPoint);

protected:
    const char* className() const override { return "NSXMLElement"; }

private:
    // The namespace in scope that a node without one is bound to by its
    // name ("prefix:local", "{URI}:local", or a bare element name under a
    // default namespace), with the local name it then takes; nullopt when
    // the name binds to nothing there.
    struct ResolvedName {
        xmlNsPtr ns;
        std::string local;
    };
    static std::optional<ResolvedName> resolveQualifiedName(xmlNodePtr node, xmlNodePtr scope);
};
