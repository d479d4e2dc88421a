// The XML document model: a document parsed from any bytes, walked through
// the model's accessors, asked a fixed set of XPath queries (from the root,
// from an inner element and from a detached copy), grafted onto and written.
// What the model writes must parse again.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "datalibs/NSXMLDocument.h"
#include "datalibs/NSXMLElement.h"

namespace {

const char* const kQueries[] = {
    "//*",
    "//@*",
    "//text()",
    "//comment() | //processing-instruction()",
    "//namespace::*",
    "/*/*[1]",
    "//*[local-name()='Result']",
    "//*[@id]/..",
    "count(//*)",
    "string(/)",
    "(//*)[last()]/preceding::*",
    "descendant-or-self::node()[position() < 20]",
    "id('a')",
    "//*[contains(., 'a')][1]/following-sibling::*",
    "//soap:Body",
    "*/",
};

// At most this many nodes are visited, so a large document costs what a small one does.
constexpr int kMaxVisits = 2000;

void walk(const NSXMLNodePtr& node, int depth, int& visits) {
    if (!node || depth > 64 || ++visits > kMaxVisits) return;
    node->name();
    node->localName();
    node->prefix();
    node->URI();
    node->stringValue();
    node->XMLString();
    node->description();
    FUZZ_CHECK(node->kind() != NSXMLInvalidKind);
    if (auto element = std::dynamic_pointer_cast<NSXMLElement>(node)) {
        if (auto attributes = element->attributes())
            for (const auto& attribute : *attributes) {
                walk(attribute, depth + 1, visits);
                if (auto name = attribute->name()) FUZZ_CHECK(element->attributeForName(*name) != nullptr);
            }
        if (auto namespaces = element->namespaces())
            for (const auto& space : *namespaces) {
                walk(space, depth + 1, visits);
                if (auto uri = space->stringValue()) element->resolvePrefixForNamespaceURI(*uri);
            }
        if (auto local = element->localName()) element->elementsForLocalName(*local, element->URI());
        if (auto name = element->name()) element->elementsForName(*name);
    }
    unsigned count = node->childCount();
    auto children = node->children();
    FUZZ_CHECK(count == (children ? children->size() : 0));
    if (children)
        for (const auto& child : *children) walk(child, depth + 1, visits);
}

void query(const NSXMLNodePtr& node) {
    if (!node) return;
    for (const char* xpath : kQueries) {
        ns::ErrorPtr error;
        auto nodes = node->nodesForXPath(xpath, &error);
        FUZZ_CHECK(nodes.has_value() || error != nullptr);
        if (nodes)
            for (std::size_t i = 0; i < nodes->size() && i < 50; ++i) {
                FUZZ_CHECK((*nodes)[i] != nullptr);
                (*nodes)[i]->XMLString();
                (*nodes)[i]->name();
            }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    ns::ErrorPtr error;
    NSXMLDocumentPtr doc = NSXMLDocument::initWithData(fuzz::bytes(data, size), 0, &error);
    if (!doc) {
        FUZZ_CHECK(error != nullptr);
        return 0;
    }
    NSXMLElementPtr root = doc->rootElement();
    int visits = 0;
    walk(root, 0, visits);
    query(root);
    if (root) {
        auto children = root->children();
        if (children && !children->empty()) query(children->back());
        NSXMLNodePtr detached = root->copyWithZone();
        FUZZ_CHECK(detached && detached->isEqual(root));
        query(detached);
    }

    auto written = doc->XMLData();
    FUZZ_CHECK(written.has_value());
    FUZZ_CHECK(NSXMLDocument::initWithData(*written, 0) != nullptr);

    // Grafts: the first element child again at the end (namespace repair),
    // and the root into a document of its own.
    if (root) {
        if (auto elements = root->nodesForXPath("*[1]"); elements && !elements->empty()) {
            root->addChild((*elements)[0]);
            visits = 0;
            walk(root, 0, visits);
        }
        NSXMLDocumentPtr copy = NSXMLDocument::initWithRootElement(root);
        FUZZ_CHECK(copy != nullptr);
        auto again = copy->XMLData();
        FUZZ_CHECK(again.has_value());
        // Without the document type, entity references would be undefined.
        if (!doc->XMLDoc()->intSubset) FUZZ_CHECK(NSXMLDocument::initWithData(*again, 0) != nullptr);
    }
    return 0;
}
