#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <regex>

#include "PeerTools.h"
#include "datalibs/NSXMLDocument.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/ReadBudget.h"
#include "support/ZipFixtures.h"

namespace {

NSXMLElementPtr asElement(const NSXMLNodePtr& n) { return std::dynamic_pointer_cast<NSXMLElement>(n); }

std::string str(const std::optional<ns::Bytes>& data) {
    return data ? std::string(data->begin(), data->end()) : std::string();
}

const char* kSample =
    R"(<?xml version="1.0"?>)"
    R"(<root xmlns="urn:d" xmlns:a="urn:a" id="7"><a:item a:key="k">one</a:item><item>two</item>)"
    R"(<!--c--><?pi data?><![CDATA[x<y]]></root>)";

}  // namespace

TEST(XMLModel, ParsesNavigatesAndNamesNodes) {
    auto doc = NSXMLDocument::initWithXMLString(kSample, 0);
    ASSERT_TRUE(doc);
    auto root = doc->rootElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name(), "root");
    EXPECT_EQ(root->URI(), "urn:d");
    EXPECT_EQ(root->prefix(), "");
    EXPECT_EQ(root->stringValue(), "onetwox<y");

    ASSERT_EQ(root->childCount(), 5u);
    auto kids = *root->children();
    std::vector<unsigned> kinds;
    for (auto& k : kids) kinds.push_back(k->kind());
    EXPECT_EQ(kinds, (std::vector<unsigned>{NSXMLElementKind, NSXMLElementKind, NSXMLCommentKind,
                                            NSXMLProcessingInstructionKind, NSXMLTextKind}));
    EXPECT_TRUE(asElement(kids[0]));
    EXPECT_FALSE(asElement(kids[2]));
    EXPECT_EQ(kids[0]->name(), "a:item");
    EXPECT_EQ(kids[0]->localName(), "item");
    EXPECT_EQ(kids[0]->prefix(), "a");
    EXPECT_EQ(kids[0]->URI(), "urn:a");
    EXPECT_EQ(root->childAtIndex(1)->stringValue(), "two");
    EXPECT_FALSE(root->childAtIndex(5));

    auto item = asElement(kids[0]);
    EXPECT_EQ(item->attributeForName("a:key")->stringValue(), "k");
    EXPECT_EQ(item->attributeForLocalName("key", "urn:a")->stringValue(), "k");
    EXPECT_FALSE(item->attributeForLocalName("key", "urn:other"));
    EXPECT_EQ(root->attributeForName("id")->stringValue(), "7");

    EXPECT_EQ(root->elementsForName("a:item")->size(), 1u);
    auto plain = root->elementsForName("item");
    ASSERT_EQ(plain->size(), 1u);
    EXPECT_EQ((*plain)[0]->stringValue(), "two");
    EXPECT_EQ((*root->elementsForLocalName("item", std::string("urn:a")))[0]->stringValue(), "one");
    EXPECT_EQ((*root->elementsForLocalName("item", std::string("urn:d")))[0]->stringValue(), "two");

    EXPECT_EQ(root->resolvePrefixForNamespaceURI("urn:a"), "a");
    EXPECT_EQ(root->resolvePrefixForNamespaceURI("urn:d"), "");
    EXPECT_FALSE(root->resolvePrefixForNamespaceURI("urn:none"));

    auto spaces = *root->namespaces();
    ASSERT_EQ(spaces.size(), 2u);
    EXPECT_EQ(spaces[0]->kind(), NSXMLNamespaceKind);
    EXPECT_EQ(spaces[0]->name(), "");
    EXPECT_EQ(spaces[0]->stringValue(), "urn:d");
    EXPECT_EQ(spaces[1]->name(), "a");
    EXPECT_EQ(spaces[1]->prefix(), "");
    EXPECT_FALSE(spaces[1]->URI());
    EXPECT_EQ(spaces[1]->childCount(), 0u);
}

TEST(XMLModel, EmptyResultsAndNameSplitting) {
    auto e = NSXMLElement::initWithXMLString("<e/>");
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->children());
    EXPECT_TRUE(e->children()->empty());
    EXPECT_FALSE(e->attributes());
    EXPECT_FALSE(e->elementsForLocalName("x", std::string("urn:x")));
    EXPECT_TRUE(e->elementsForName("x")->empty());

    EXPECT_EQ(NSXMLNode::localNameForName(std::string("abc:")), "abc:");
    EXPECT_EQ(NSXMLNode::localNameForName(std::string("a:b:c")), "b:c");
    EXPECT_EQ(NSXMLNode::prefixForName(std::string(":abc")), "");
    EXPECT_FALSE(NSXMLNode::prefixForName(std::string("abc")));
    EXPECT_FALSE(NSXMLNode::localNameForName(std::nullopt));

    NSXMLNode none(nullptr, false);
    EXPECT_EQ(none.kind(), NSXMLInvalidKind);
    EXPECT_FALSE(none.children());
    EXPECT_FALSE(none.prefix());
    EXPECT_FALSE(none.XMLString());
    EXPECT_EQ(none.childCount(), 0u);
}

TEST(XMLModel, KindsOfDocumentParts) {
    auto doc = NSXMLDocument::initWithXMLString("<!DOCTYPE r [<!ELEMENT r ANY>]><r/>", 0);
    ASSERT_TRUE(doc);
    auto docNode = NSXMLNode::nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(doc->XMLDoc()));
    EXPECT_EQ(docNode->kind(), NSXMLDocumentKind);
    auto dtd = docNode->childAtIndex(0);
    EXPECT_EQ(dtd->kind(), NSXMLDTDKind);
    EXPECT_EQ(dtd->childAtIndex(0)->kind(), NSXMLElementDeclarationKind);
    EXPECT_EQ(NSXMLNode::attributeWithName("a", "b")->kind(), NSXMLAttributeKind);
    EXPECT_EQ(NSXMLNode::namespaceWithName("p", "urn:p")->kind(), NSXMLNamespaceKind);
    EXPECT_EQ(NSXMLNode::textWithStringValue("t")->kind(), NSXMLTextKind);
}

TEST(XMLModel, GraftedPlaceholderAndDefaultNamespaceAreBound) {
    auto parent = NSXMLElement::initWithXMLString(R"(<p xmlns:n="urn:n"/>)");
    auto child = NSXMLNode::elementWithName_URI("c", "urn:n");
    EXPECT_EQ(child->name(), "{urn:n}:c");
    parent->addChild(child);
    auto grafted = parent->childAtIndex(0);
    EXPECT_EQ(grafted->name(), "n:c");
    EXPECT_EQ(grafted->URI(), "urn:n");
    EXPECT_EQ(child->name(), "{urn:n}:c");  // the given node is not taken
    parent->addAttribute(NSXMLNode::attributeWithName_URI_stringValue("k", "urn:n", "v"));
    EXPECT_EQ(parent->XMLString(), R"(<p xmlns:n="urn:n" n:k="v"><n:c/></p>)");

    auto withDefault = NSXMLElement::initWithXMLString(R"(<p xmlns="urn:d"/>)");
    auto plain = NSXMLElement::initWithXMLString(R"(<c id="1"/>)");
    withDefault->addChild(plain);
    auto c = asElement(withDefault->childAtIndex(0));
    EXPECT_EQ(c->URI(), "urn:d");
    // An unprefixed attribute stays in no namespace.
    EXPECT_FALSE(c->attributeForName("id")->URI());
    auto found = withDefault->nodesForXPath("*/@id");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), 1u);
}

TEST(XMLModel, GraftRemovesDuplicateDeclarationsOnlyWhenTheyMeanTheSame) {
    auto parent = NSXMLElement::initWithXMLString(R"(<p xmlns:a="urn:a"/>)");
    parent->addChild(NSXMLElement::initWithXMLString(R"(<a:c xmlns:a="urn:a"><a:d/></a:c>)"));
    EXPECT_EQ(parent->XMLString(), R"(<p xmlns:a="urn:a"><a:c><a:d/></a:c></p>)");
    EXPECT_EQ(parent->childAtIndex(0)->childAtIndex(0)->URI(), "urn:a");

    // Below a redeclaration of the prefix the inner declaration must stay.
    auto other = NSXMLElement::initWithXMLString(R"(<p xmlns:a="urn:a"/>)");
    other->addChild(NSXMLElement::initWithXMLString(R"(<a:c xmlns:a="urn:other"><a:d xmlns:a="urn:a"/></a:c>)"));
    EXPECT_EQ(other->XMLString(), R"(<p xmlns:a="urn:a"><a:c xmlns:a="urn:other"><a:d xmlns:a="urn:a"/></a:c></p>)");
    EXPECT_EQ(other->childAtIndex(0)->childAtIndex(0)->URI(), "urn:a");
}

TEST(XMLModel, AttributesAndNamespaceDeclarations) {
    auto e = NSXMLNode::elementWithName("e");
    e->addAttribute(NSXMLNode::attributeWithName("id", "1"));
    e->addAttribute(NSXMLNode::attributeWithName("id", "2"));
    EXPECT_EQ(e->attributes()->size(), 1u);
    EXPECT_EQ(e->attributeForName("id")->stringValue(), "1");
    e->addChild(NSXMLNode::attributeWithName("other", "x"));
    EXPECT_EQ(e->attributes()->size(), 2u);

    // Asking for the XML namespace declares it on a free element; it is never listed.
    EXPECT_EQ(e->resolvePrefixForNamespaceURI("http://www.w3.org/XML/1998/namespace"), "xml");
    EXPECT_FALSE(e->namespaces());
    e->addChild(NSXMLNode::namespaceWithName("p", "urn:p"));
    auto spaces = e->namespaces();
    ASSERT_TRUE(spaces);
    ASSERT_EQ(spaces->size(), 1u);
    EXPECT_EQ((*spaces)[0]->name(), "p");

    // A namespaced attribute copied from another tree keeps its namespace.
    auto source = NSXMLElement::initWithXMLString(R"(<s xmlns:q="urn:q" q:k="v"/>)");
    e->addAttribute(source->attributeForName("q:k"));
    EXPECT_EQ(e->attributeForLocalName("k", "urn:q")->stringValue(), "v");
    EXPECT_EQ(e->resolvePrefixForNamespaceURI("urn:q"), "q");
}

TEST(XMLModel, ElementsAreFoundByNamespaceWhateverPrefixBindsThem) {
    // Declared on the child itself, under another prefix than the one in
    // scope, and under the prefix in scope.
    auto r = NSXMLElement::initWithXMLString(
        R"(<r xmlns:a="urn:m"><m:p xmlns:m="urn:m">1</m:p><p>2</p><b:p xmlns:b="urn:m">3</b:p><a:p>4</a:p></r>)");
    auto found = r->elementsForLocalName("p", std::string("urn:m"));
    ASSERT_TRUE(found);
    std::vector<std::string> texts;
    for (auto& e : *found) texts.push_back(e->stringValue().value_or(""));
    EXPECT_EQ(texts, (std::vector<std::string>{"1", "3", "4"}));
    auto bare = r->elementsForLocalName("p", std::nullopt);
    ASSERT_TRUE(bare);
    EXPECT_EQ((*bare)[0]->stringValue(), "2");
    EXPECT_EQ(r->elementsForName("a:p")->size(), 3u);
}

TEST(XMLModel, ANamespacedAttributeIsAddedOnceHoweverItIsNamed) {
    std::vector<NSXMLElementPtr> sources;  // the trees copied attributes are borrowed from
    struct Way {
        const char* what;
        std::function<NSXMLNodePtr(const std::string&)> make;
    } ways[] = {
        {"URI", [](const std::string& v) { return NSXMLNode::attributeWithName_URI_stringValue("k", "urn:p", v); }},
        {"prefix in scope", [](const std::string& v) { return NSXMLNode::attributeWithName("p:k", v); }},
        {"copy from another tree",
         [&](const std::string& v) {
             sources.push_back(NSXMLElement::initWithXMLString(R"(<s xmlns:q="urn:p" q:k=")" + v + R"("/>)"));
             return sources.back()->attributeForName("q:k");
         }},
    };
    auto dir = peer::scratch("xml-attributes");
    for (const Way& first : ways) {
        for (const Way& second : ways) {
            SCOPED_TRACE(std::string(first.what) + ", then " + second.what);
            auto r = NSXMLElement::initWithXMLString(R"(<r xmlns:p="urn:p"/>)");
            r->addAttribute(first.make("1"));
            r->addAttribute(second.make("2"));
            EXPECT_EQ(r->XMLString(), R"(<r xmlns:p="urn:p" p:k="1"/>)");
            peer::writeFile(dir / "out.xml", r->XMLString().value_or(""));
            auto lint = peer::run("xmllint --noout " + peer::q((dir / "out.xml").string()));
            EXPECT_EQ(lint.status, 0) << lint.output;
        }
    }
}

TEST(XMLModel, WrappersOfOneNodeSeeEachOthersEdits) {
    auto doc = NSXMLDocument::initWithXMLString(R"(<r><a x="1"><b/>text</a><c/></r>)", 0);
    auto reader = doc->rootElement();
    auto writer = doc->rootElement();
    ASSERT_EQ(reader->childCount(), 2u);
    auto a = asElement(reader->childAtIndex(0));
    ASSERT_TRUE(a);
    EXPECT_EQ(a, reader->childAtIndex(0));  // unchanged children keep their wrappers
    ASSERT_EQ(a->childCount(), 2u);
    auto attribute = a->attributeForName("x");
    ASSERT_EQ(attribute->childAtIndex(0)->stringValue(), "1");

    // Below: edits through other wrappers of a and of its attribute free the
    // nodes the first wrappers had cached.
    asElement(writer->childAtIndex(0))->setStringValue(std::string("new"));
    ASSERT_EQ(a->childCount(), 1u);
    EXPECT_EQ(a->childAtIndex(0)->kind(), NSXMLTextKind);
    EXPECT_EQ(a->childAtIndex(0)->stringValue(), "new");
    EXPECT_FALSE(a->childAtIndex(1));
    asElement(writer->childAtIndex(0))->attributeForName("x")->setStringValue(std::string("2"));
    EXPECT_EQ(attribute->childAtIndex(0)->stringValue(), "2");

    // At the top: the whole tree below goes, and a new child comes.
    writer->setStringValue(std::string("flat"));
    auto kids = reader->children();
    ASSERT_TRUE(kids);
    ASSERT_EQ(kids->size(), 1u);
    EXPECT_EQ((*kids)[0]->name(), "text");
    EXPECT_EQ((*kids)[0]->stringValue(), "flat");
    writer->addChild(NSXMLNode::elementWithName("d"));
    ASSERT_EQ(reader->childCount(), 2u);
    EXPECT_EQ(reader->childAtIndex(1)->name(), "d");
    EXPECT_TRUE(asElement(reader->childAtIndex(1)));
    writer->addAttribute(NSXMLNode::attributeWithName("y", "3"));
    ASSERT_TRUE(reader->attributes());
    EXPECT_EQ(reader->attributes()->size(), 1u);
}

TEST(XMLModel, CopiesArePlainNodesThatCompareEqual) {
    auto e = NSXMLElement::initWithXMLString("<a x='1'><b/><c/></a>");
    auto c = e->copyWithZone();
    ASSERT_TRUE(c);
    EXPECT_FALSE(asElement(c));
    EXPECT_EQ(c->kind(), NSXMLElementKind);
    EXPECT_TRUE(c->isEqual(e));
    EXPECT_TRUE(e->isEqual(c));
    EXPECT_EQ(c->hash(), e->hash());
    EXPECT_FALSE(e->isEqual(NSXMLNode::elementWithName("a")));
    EXPECT_FALSE(e->isEqual(nullptr));

    auto spaceCopy = NSXMLNode::namespaceWithName("p", "urn:p")->copyWithZone();
    ASSERT_TRUE(spaceCopy);
    EXPECT_EQ(spaceCopy->kind(), NSXMLNamespaceKind);
    EXPECT_EQ(spaceCopy->stringValue(), "urn:p");

    EXPECT_TRUE(std::regex_match(e->description(),
                                 std::regex(R"(NSXMLElement 0x[0-9A-F]+: \{type:1 name:a xml:"<a x="1"><b/><c/></a>"\})")));
    auto doc = NSXMLDocument::initWithRootElement(e);
    EXPECT_TRUE(std::regex_match(doc->description(), std::regex("NSXMLDocument 0x[0-9A-F]+")));
    EXPECT_EQ(doc->rootElement()->XMLString(), e->XMLString());
}

TEST(XMLModel, XPathOnAFreeElementLeavesItOutsideAnyDocument) {
    auto r = NSXMLNode::elementWithName("r");
    r->addChild(NSXMLNode::elementWithName_stringValue("x", "1"));
    r->addChild(NSXMLNode::elementWithName_stringValue("x", "2"));
    auto inner = r->childAtIndex(1);
    auto found = inner->nodesForXPath("//x");
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 2u);
    EXPECT_EQ((*found)[1]->stringValue(), "2");
    EXPECT_EQ(r->XMLNode()->doc, nullptr);
    EXPECT_EQ(inner->XMLNode()->doc, nullptr);
    EXPECT_EQ(r->XMLNode()->parent, nullptr);

    auto counted = r->nodesForXPath("count(x)");
    ASSERT_TRUE(counted);
    EXPECT_TRUE(counted->empty());
}

TEST(XMLModel, NamespaceURIsWithMarkupCharactersWriteBackAsTheSameURIs) {
    // As written in the document, and as read (libxml2 keeps "&" as "&#38;").
    const std::pair<const char*, const char*> cases[] = {
        {"urn:a&lt;b", "urn:a<b"},
        {"urn:a&#9;b&#10;c&#13;", "urn:a\tb\nc\r"},
        {"urn:&quot;a'", "urn:\"a'"},
        {"urn:a&amp;b", "urn:a&#38;b"},
    };
    for (const auto& [written, uri] : cases) {
        std::string xml = std::string("<r xmlns:p=\"") + written + "\"><p:x/></r>";
        ns::LogCapture quiet;  // libxml2 warns of URIs that are not valid
        auto doc = NSXMLDocument::initWithXMLString(xml, 0);
        ASSERT_TRUE(doc) << written;
        ASSERT_EQ(doc->rootElement()->childAtIndex(0)->URI(), uri);
        auto data = doc->XMLData();
        ASSERT_TRUE(data);
        auto again = NSXMLDocument::initWithData(*data, 0);
        ASSERT_TRUE(again) << std::string(data->begin(), data->end());
        EXPECT_EQ(again->rootElement()->childAtIndex(0)->URI(), uri);
        auto element = NSXMLElement::initWithXMLString(*doc->rootElement()->XMLString());
        ASSERT_TRUE(element) << written;
        EXPECT_EQ(element->childAtIndex(0)->URI(), uri);
        // Writing leaves the document's own URI as it was.
        EXPECT_EQ(doc->rootElement()->childAtIndex(0)->URI(), uri);
    }
}

TEST(XMLModel, ADocumentInUTF7IsWrittenInUTF8) {
    // UTF-7 would change the declaration too, and nothing could read it back.
    auto doc = NSXMLDocument::initWithXMLString(R"(<?xml version="1.0" encoding="UTF-7"?><r a="1">text</r>)", 0);
    ASSERT_TRUE(doc);
    auto data = doc->XMLData();
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    auto again = NSXMLDocument::initWithData(*data, 0);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rootElement()->XMLString(), R"(<r a="1">text</r>)");
}

TEST(XMLModel, XPathAboveAFreeElementFindsNothing) {
    // The document the query runs in is gone once it returns: only nodes of
    // the element's own tree come back.
    auto r = NSXMLNode::elementWithName("r");
    r->addChild(NSXMLNode::elementWithName("x"));
    for (const char* xpath : {"..", "/", "/..", "x/../..", "ancestor-or-self::node()"}) {
        auto found = r->nodesForXPath(xpath);
        ASSERT_TRUE(found) << xpath;
        for (auto& n : *found) EXPECT_EQ(n->XMLString(), "<r><x/></r>") << xpath;
    }
}

TEST(XMLModel, XPathErrorsCarryLibxmlCodes) {
    auto doc = NSXMLDocument::initWithXMLString("<r><x/></r>", 0);
    auto root = doc->rootElement();
    ns::ErrorPtr error;
    {
        ns::LogCapture quiet;
        EXPECT_FALSE(root->nodesForXPath("//x[", &error));
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, NSXMLErrorDomain);
    EXPECT_EQ(error->code, 1207);
    EXPECT_EQ(error->userInfo["error"].str(), "//x[");
    {
        ns::LogCapture quiet;
        EXPECT_FALSE(root->nodesForXPath("q:x", &error));
    }
    EXPECT_EQ(error->code, 1219);
}

TEST(XMLModel, XPathNamespaceNodesOutliveTheResult) {
    auto doc = NSXMLDocument::initWithXMLString(R"(<r xmlns:a="urn:a"><x/></r>)", 0);
    auto found = doc->rootElement()->childAtIndex(0)->nodesForXPath("namespace::*");
    ASSERT_TRUE(found);
    std::vector<std::string> uris;
    for (auto& n : *found) {
        EXPECT_EQ(n->kind(), NSXMLNamespaceKind);
        uris.push_back(n->stringValue().value_or(""));
    }
    std::sort(uris.begin(), uris.end());
    EXPECT_EQ(uris, (std::vector<std::string>{"http://www.w3.org/XML/1998/namespace", "urn:a"}));
}

TEST(XMLModel, StringValuesAreStoredLiterally) {
    auto e = NSXMLNode::elementWithName("t");
    e->addChild(NSXMLNode::elementWithName("old"));
    e->setStringValue(std::string("AT&T <x>"));
    EXPECT_EQ(e->stringValue(), "AT&T <x>");
    EXPECT_EQ(e->childCount(), 1u);
    EXPECT_EQ(e->XMLString(), "<t>AT&amp;T &lt;x&gt;</t>");

    e->addAttribute(NSXMLNode::attributeWithName("q", "1"));
    auto attr = e->attributeForName("q");
    attr->setStringValue(std::string("a&b \"c\""));
    EXPECT_EQ(e->attributeForName("q")->stringValue(), "a&b \"c\"");

    auto text = NSXMLNode::textWithStringValue("x");
    text->setStringValue(std::string("&amp;"));
    EXPECT_EQ(text->stringValue(), "&amp;");

    auto space = NSXMLNode::namespaceWithName("p", "urn:old");
    space->setStringValue(std::string("urn:new"));
    EXPECT_EQ(space->stringValue(), "urn:new");
    e->setStringValue(std::nullopt);
    EXPECT_EQ(e->stringValue(), "AT&T <x>");

    auto dir = peer::scratch("xml-literal");
    peer::writeFile(dir / "out.xml", str(NSXMLDocument::initWithRootElement(e)->XMLData()));
    auto lint = peer::run("xmllint --noout " + peer::q((dir / "out.xml").string()));
    EXPECT_EQ(lint.status, 0) << lint.output;
    EXPECT_NE(peer::readFile(dir / "out.xml").find("AT&amp;T &lt;x&gt;"), std::string::npos);
}

TEST(XMLModel, SetNamespacesRebindsNodesThatStillUseOldDeclarations) {
    auto r = NSXMLElement::initWithXMLString(R"(<r xmlns:a="urn:a" xmlns:b="urn:b"><a:x a:k="1"/><b:y/></r>)");
    r->setNamespaces({NSXMLNode::namespaceWithName("c", "urn:a")});
    auto x = asElement(r->childAtIndex(0));
    EXPECT_EQ(x->name(), "c:x");
    EXPECT_EQ(x->URI(), "urn:a");
    EXPECT_EQ(x->attributeForLocalName("k", "urn:a")->stringValue(), "1");
    EXPECT_EQ(r->childAtIndex(1)->URI(), "urn:b");
    EXPECT_EQ(r->XMLString(), R"(<r xmlns:c="urn:a" xmlns:b="urn:b"><c:x c:k="1"/><b:y/></r>)");

    // Handing an element its own declarations keeps it as it was.
    auto before = r->XMLString();
    r->setNamespaces(*r->namespaces());
    EXPECT_EQ(r->XMLString(), before);

    auto dir = peer::scratch("xml-setns");
    peer::writeFile(dir / "out.xml", *r->XMLString());
    auto lint = peer::run("xmllint --noout " + peer::q((dir / "out.xml").string()));
    EXPECT_EQ(lint.status, 0) << lint.output;
}

TEST(XMLModel, AddChildMergesTextAndRefusesNodesAnElementCannotHold) {
    auto e = NSXMLNode::elementWithName_stringValue("t", "ab");
    e->addChild(NSXMLNode::textWithStringValue("cd"));
    EXPECT_EQ(e->childCount(), 1u);
    EXPECT_EQ(e->stringValue(), "abcd");

    auto doc = NSXMLDocument::initWithXMLString("<d/>", 0);
    auto docNode = NSXMLNode::nodeBorrowingXMLNode(reinterpret_cast<xmlNodePtr>(doc->XMLDoc()));
    e->addChild(docNode);
    EXPECT_EQ(e->childCount(), 1u);
}

TEST(XMLModel, ParseFailuresAnswerNothingAndLogLibxmlLines) {
    ns::LogCapture log;
    ns::ErrorPtr error;
    EXPECT_FALSE(NSXMLElement::initWithXMLString("<a><b></a>", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, NSXMLErrorDomain);
    EXPECT_EQ(error->code, -1);
    EXPECT_TRUE(error->userInfo.isNil());
    error.reset();
    EXPECT_FALSE(NSXMLDocument::initWithData(ns::Bytes{'x'}, 0, &error));
    EXPECT_EQ(error->code, -1);
    EXPECT_TRUE(log.contains("libxml2"));
}

// Entity references stay references in the tree, and reading text expands
// them: a small document must not be able to expand to gigabytes that way.
TEST(XMLModel, DocumentsWhoseEntitiesWouldExpandFarBeyondTheirSizeAreRefused) {
    auto document = [](const std::string& declarations, const std::string& body) {
        return "<?xml version=\"1.0\"?>\n<!DOCTYPE r [" + declarations + "]>\n<r>" + body + "</r>\n";
    };
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    const std::string large = "<!ENTITY a \"" + std::string(20000, 'x') + "\">";
    const std::string k32 = "<!ENTITY k \"" + std::string(32 << 10, 'k') + "\">";
    std::string nested = "<!ENTITY a0 \"xxxxxxxxxx\">";
    for (int i = 1; i <= 6; ++i)
        nested += "<!ENTITY a" + std::to_string(i) + " \"" + repeat("&a" + std::to_string(i - 1) + ";", 10) + "\">";
    struct Case {
        const char* what;
        std::string xml;
        bool refused;
        std::size_t text = 0;  // the root's text, when it is read
    };
    const Case cases[] = {
        // 60 KB that would read as 200 MB of text.
        {"one large entity referenced often", document(large, repeat("&a;", 10000)), true},
        {"in attribute values", document(large, "<e v=\"" + repeat("&a;", 10000) + "\"/>"), true},
        // Each level ten times the one below.
        {"nested entities", document(nested, repeat("&a6;", 10)), true},
        {"up to the limit", document(k32, repeat("&k;", 1024)), false},
        {"one reference beyond it", document(k32, repeat("&k;", 1025)), true},
        {"entities used as a document uses them",
         document("<!ENTITY org \"Velmarsh 党委\">", repeat("<p>&org; &amp; &org;</p>", 500)), false,
         500 * (2 * std::strlen("Velmarsh 党委") + 3)},
    };
    for (const Case& c : cases) {
        ns::LogCapture log;
        ns::ErrorPtr error;
        auto doc = NSXMLDocument::initWithXMLString(c.xml, 0, &error);
        EXPECT_EQ(!doc, c.refused) << c.what;
        if (c.refused) {
            ASSERT_TRUE(error) << c.what;
            EXPECT_EQ(error->code, -1) << c.what;
        } else if (doc && c.text) {
            EXPECT_EQ(doc->rootElement()->stringValue()->size(), c.text) << c.what;
        }
        // An element parsed from text keeps its entities' references too.
        error.reset();
        auto element = NSXMLElement::initWithXMLString(c.xml, &error);
        EXPECT_EQ(!element, c.refused) << c.what;
        EXPECT_EQ(error != nullptr, c.refused) << c.what;
    }
}

// A document beyond the bound of every reader of others' data, or one that
// would cost more than its size allows, is refused at once, with the reason
// in the log; within them the same layouts read.
TEST(XMLModel, DocumentsBeyondTheReadersBoundsAreRefused) {
    auto repeat = [](const std::string& s, std::size_t n) {
        std::string out;
        for (std::size_t i = 0; i < n; ++i) out += s;
        return out;
    };
    auto attributes = [](std::size_t n) {
        std::string out;
        for (std::size_t i = 0; i < n; ++i) out += " a" + std::to_string(i) + "=''";
        return out;
    };
    const std::size_t bound = NSXMLDocument::kMaxDocumentSize;
    const struct {
        const char* what;
        std::string xml;
        std::string refused;  // the reason logged; "": read
    } cases[] = {
        {"larger than the bound", "<r>" + std::string(bound - 6, ' ') + "</r>", "it is larger than 33554432 bytes"},
        {"as large as the bound", "<r>" + std::string(bound - 7, ' ') + "</r>", ""},
        {"one tag of 100,000 attributes", "<r" + attributes(100000) + "/>",
         "it has a start tag of more than 1024 attributes"},
        {"one tag of 1,000 attributes", "<r" + attributes(1000) + "/>", ""},
        {"millions of empty elements", "<r>" + repeat("<a/>", 2u << 20) + "</r>",
         std::string("it ") + ns::ReadBudget::kReason},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ns::LogCapture log;
        ns::ErrorPtr error;
        EXPECT_EQ(NSXMLDocument::initWithXMLString(c.xml, 0, &error) == nullptr, !c.refused.empty());
        if (!c.refused.empty()) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code, -1);
            EXPECT_TRUE(log.contains("XML document refused: " + c.refused));
        }
        EXPECT_EQ(NSXMLElement::initWithXMLString(c.xml) == nullptr, !c.refused.empty());
    }
}

TEST(XMLModel, DocumentVersionAndEncoding) {
    auto doc = NSXMLDocument::initWithRootElement(NSXMLNode::elementWithName_stringValue("r", "中文"));
    doc->setVersion(std::string("1.1"));
    doc->setCharacterEncoding(std::string("UTF-8"));
    std::string out = str(doc->XMLData());
    EXPECT_EQ(out.rfind(R"(<?xml version="1.1" encoding="UTF-8"?>)", 0), 0u) << out;
    EXPECT_NE(out.find("<r>中文</r>"), std::string::npos);
    doc->setCharacterEncoding(std::nullopt);
    EXPECT_EQ(str(doc->XMLData()).rfind(R"(<?xml version="1.1"?>)", 0), 0u);
}

TEST(XMLModel, ZippedDocumentsAreReadFromTheCaches) {
    auto folder = std::filesystem::path(ns::cachesDirectory()) / NSXMLDocument::kZipFolderName;
    auto work = peer::scratch("xml-zip");
    peer::writeFile(work / "pack.xml", "<pack><v>1</v></pack>");
    peer::writeFile(work / "other.xml", "<other/>");
    std::filesystem::create_directories(folder);
    auto made = peer::run("cd " + peer::q(work.string()) + " && zip -q " + peer::q((folder / "pack.dat").string()) +
                          " pack.xml other.xml");
    ASSERT_EQ(made.status, 0) << made.output;

    auto doc = NSXMLDocument::initWithZipFile("pack.dat", 0);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->rootElement()->name(), "pack");
    EXPECT_FALSE(NSXMLDocument::initWithZipFile("missing.zip", 0));
    EXPECT_FALSE(NSXMLDocument::initWithZipFile("", 0));
    std::filesystem::copy_file(folder / "pack.dat", folder / "nothing.zip");
    EXPECT_FALSE(NSXMLDocument::initWithZipFile("nothing.zip", 0));

    // Damaged data is not parsed.
    made = peer::run("cd " + peer::q(work.string()) + " && zip -q -0 " + peer::q((folder / "bad.zip").string()) +
                     " pack.xml");
    ASSERT_EQ(made.status, 0) << made.output;
    std::string bytes = peer::readFile(folder / "bad.zip");
    bytes[bytes.find("<v>1</v>") + 3] = '2';
    peer::writeFile(folder / "bad.zip", bytes);
    EXPECT_FALSE(NSXMLDocument::initWithZipFile("bad.zip", 0));
}

TEST(XMLModel, ZippedDocumentsStayInTheirFolderAndWithinTheirSize) {
    auto caches = std::filesystem::path(ns::cachesDirectory());
    auto folder = caches / NSXMLDocument::kZipFolderName;
    std::filesystem::create_directories(folder / "sub");
    zipfixture::craft(caches / "outside.zip", {{"outside.xml", "<outside/>"}});
    zipfixture::craft(folder / "sub/inner.zip", {{"inner.xml", "<inner/>"}});
    struct Case {
        std::string name;
        bool read;
    } cases[] = {
        {"sub/inner.zip", true},
        {"../outside.zip", false},
        {"sub/../../outside.zip", false},
        {(caches / "outside.zip").string(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ns::LogCapture log;
        EXPECT_EQ(NSXMLDocument::initWithZipFile(c.name, 0) != nullptr, c.read);
        EXPECT_EQ(log.contains("Refused zipped document outside the caches folder: " + c.name), !c.read);
    }

    std::string big = "<big>" + std::string(NSXMLDocument::kMaxZippedDocumentSize, ' ') + "</big>";
    zipfixture::craft(folder / "big.zip", {{"big.xml", big}});
    ns::LogCapture log;
    EXPECT_FALSE(NSXMLDocument::initWithZipFile("big.zip", 0));
    EXPECT_TRUE(log.contains("Zipped document big.xml in " + (folder / "big.zip").string() +
                             " is larger than 33554432 bytes"));
}

TEST(XMLModel, WrittenDocumentsMatchXmllintCanonicalForm) {
    const char* input =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE r [<!ENTITY e \"ent\">]>\n"
        "<r xmlns=\"urn:d\" xmlns:a=\"urn:a\" a:at=\"1 &amp; 2\"><a:x>&e; text &lt;</a:x><!-- note -->"
        "<?pi v?><y><![CDATA[c<d]]></y><z b=\"&quot;q&quot;\">中文</z></r>\n";
    auto dir = peer::scratch("xml-c14n");
    peer::writeFile(dir / "in.xml", input);
    auto doc = NSXMLDocument::initWithData(ns::Bytes(input, input + std::strlen(input)), 0);
    ASSERT_TRUE(doc);
    peer::writeFile(dir / "out.xml", str(doc->XMLData()));
    auto lint = peer::run("xmllint --noout " + peer::q((dir / "out.xml").string()));
    EXPECT_EQ(lint.status, 0) << lint.output;
    auto a = peer::run("xmllint --c14n " + peer::q((dir / "in.xml").string()));
    auto b = peer::run("xmllint --c14n " + peer::q((dir / "out.xml").string()));
    ASSERT_EQ(a.status, 0) << a.output;
    EXPECT_EQ(a.output, b.output);

    // Edited documents stay well-formed.
    auto root = doc->rootElement();
    root->addChild(NSXMLNode::elementWithName_URI("n", "urn:a"));
    root->addAttribute(NSXMLNode::attributeWithName_URI_stringValue("k", "urn:a", "v & w"));
    peer::writeFile(dir / "edited.xml", str(doc->XMLData()));
    lint = peer::run("xmllint --noout " + peer::q((dir / "edited.xml").string()));
    EXPECT_EQ(lint.status, 0) << lint.output << peer::readFile(dir / "edited.xml");
}
