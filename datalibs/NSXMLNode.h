// A small object model of XML documents over libxml2: thin wrappers around
// libxml2 nodes.
//
// Ownership: a wrapper made from a fresh node (the factories, copies,
// nodeConsumingXMLNode, an element parsed from a string) owns the node and
// frees it with its subtree. A wrapper handed out for a node inside a tree
// (children, attributes, namespaces, XPath results, elements found by name,
// a document's root element) borrows it: it is valid only while that tree
// exists and the node stays in it. Adding a child or an attribute never
// takes the given wrapper's node; the receiver grafts a copy.
//
// Names: a qualified name is "prefix:name" when the node's namespace has a
// prefix. A node built for a namespace URI before it is part of a tree is
// named "{URI}:name"; grafting it where that URI is declared binds it to the
// namespace and leaves it the bare name.
#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"

class NSXMLNode;
class NSXMLElement;
class NSXMLDocument;
using NSXMLNodePtr = std::shared_ptr<NSXMLNode>;
using NSXMLElementPtr = std::shared_ptr<NSXMLElement>;
using NSXMLNodeArray = std::vector<NSXMLNodePtr>;

// Node kinds.
enum NSXMLNodeKind : unsigned {
    NSXMLInvalidKind = 0,
    NSXMLDocumentKind = 1,
    NSXMLElementKind = 2,
    NSXMLAttributeKind = 3,
    NSXMLNamespaceKind = 4,
    NSXMLProcessingInstructionKind = 5,
    NSXMLCommentKind = 6,
    NSXMLTextKind = 7,
    NSXMLDTDKind = 8,
    NSXMLEntityDeclarationKind = 9,
    NSXMLAttributeDeclarationKind = 10,
    NSXMLElementDeclarationKind = 11,
    NSXMLNotationDeclarationKind = 12,
};

// The error domain of the model: parse errors carry code -1; XPath errors
// carry libxml2's code and, when there is one, the text under "error".
extern const char* const NSXMLErrorDomain;

class NSXMLNode : public std::enable_shared_from_this<NSXMLNode> {
public:
    // ---- Factories (owning wrappers; nullptr when libxml2 cannot make the node) ----
    static NSXMLElementPtr elementWithName(const std::string& name);
    static NSXMLElementPtr elementWithName_stringValue(const std::string& name, const std::string& stringValue);
    static NSXMLElementPtr elementWithName_URI(const std::string& name, const std::string& URI);
    static NSXMLNodePtr attributeWithName(const std::string& name, const std::string& stringValue);
    static NSXMLNodePtr attributeWithName_URI_stringValue(const std::string& name, const std::string& URI,
                                                          const std::string& stringValue);
    static NSXMLNodePtr textWithStringValue(const std::string& stringValue);
    // A namespace record with the prefix name (none when empty) and the URI.
    static NSXMLNodePtr namespaceWithName(const std::string& name, const std::string& stringValue);
    // An NSXMLElement for an element node, a plain NSXMLNode for any other.
    static NSXMLNodePtr nodeConsumingXMLNode(xmlNodePtr node);
    static NSXMLNodePtr nodeBorrowingXMLNode(xmlNodePtr node);

    static std::optional<std::string> qualifiedNameForXMLNode(xmlNodePtr node);
    // The part after the first ":" when something follows it, else the name.
    static std::optional<std::string> localNameForName(const std::optional<std::string>& name);
    // The part before the first ":", nullopt without a colon.
    static std::optional<std::string> prefixForName(const std::optional<std::string>& name);

    // initConsumingXMLNode / initBorrowingXMLNode: shouldFree true / false.
    NSXMLNode(xmlNodePtr node, bool shouldFree);
    virtual ~NSXMLNode();
    NSXMLNode(const NSXMLNode&) = delete;
    NSXMLNode& operator=(const NSXMLNode&) = delete;

    // ---- Values ----
    std::optional<std::string> stringValue() const;
    // Replaces the node's content with the text, taken literally.
    void setStringValue(const std::optional<std::string>& value);
    // The node serialised without indentation, trimmed at both ends.
    std::optional<std::string> XMLString() const;

    // ---- Names ----
    std::optional<std::string> name() const;
    std::optional<std::string> localName() const;
    std::optional<std::string> prefix() const;
    std::optional<std::string> URI() const;

    // ---- Children ----
    // Every read sees the node's children as they are now, whichever wrapper
    // of the node (or of another node) changed them.
    unsigned childCount();
    std::optional<NSXMLNodeArray> children();
    NSXMLNodePtr childAtIndex(std::uint32_t index);

    unsigned kind() const;

    // Borrowing wrappers of the result's nodes in node-set order (namespace
    // nodes come as owning copies); nullopt when the expression fails.
    std::optional<NSXMLNodeArray> nodesForXPath(const std::string& xpath, ns::ErrorPtr* error = nullptr);

    std::string description() const;

    // A deep copy, owned, in a plain NSXMLNode.
    NSXMLNodePtr copyWithZone() const;
    bool isEqual(const NSXMLNodePtr& other) const;
    std::size_t hash() const;

    // A deep libxml2 copy (the caller owns it), or null.
    xmlNodePtr XMLNodeCopy() const;
    xmlNodePtr XMLNode() const { return xmlNode_; }
    bool shoudFreeXMLNode() const { return shouldFreeXMLNode_; }
    void setShouldFreeXMLNode(bool flag) { shouldFreeXMLNode_ = flag; }

    void releaseCachedValues();

protected:
    virtual const char* className() const { return "NSXMLNode"; }
    bool isNamespaceRecord() const;
    xmlNsPtr asNamespace() const { return reinterpret_cast<xmlNsPtr>(xmlNode_); }
    // The cached children, brought in line with the node's child list first.
    const NSXMLNodeArray& cachedChildren();
    // Brings a cache of wrappers in line with the list of nodes that starts
    // at first: a wrapper is kept while it stands for the node at its place,
    // and replaced otherwise. Several wrappers may wrap one node, and any of
    // them may change its lists, freeing nodes the others have cached.
    static const NSXMLNodeArray& refreshedCache(std::optional<NSXMLNodeArray>& cache, xmlNodePtr first);

    xmlNodePtr xmlNode_ = nullptr;  // for a namespace wrapper an xmlNs
    bool shouldFreeXMLNode_ = false;
    std::optional<NSXMLNodeArray> cachedChildren_;
    std::optional<NSXMLNodeArray> cachedAttributes_;
};

// Lines libxml2 reports go to the project log.
namespace datalibs {
void initXMLLibrary();
}
