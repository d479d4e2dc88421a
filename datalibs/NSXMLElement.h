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
    static void fixUpNamespacesForNode(xmlNodePtr node, xmlNodePtr graftPoint, NamespaceMap& map);
    static void fixUpNamespacesForNode(xmlNodePtr node, xmlNodePtr graftPoint);

protected:
    const char* className() const override { return "NSXMLElement"; }
};
