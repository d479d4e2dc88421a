// Reading others' XML with libxml2 within bounds: the count of a start tag's
// attributes before libxml2 sees it, parses stopped where what they build or
// look up passes their size, the messages handed on, and documents of any
// layout at the largest size a reader takes.
#include <gtest/gtest.h>

#include <libxml/tree.h>

#include <functional>
#include <random>
#include <string>

#include "foundation/ReadBudget.h"
#include "foundation/Strings.h"
#include "service/XMLRead.h"
#include "support/ReadInChild.h"

namespace {

using xmlread::kMaxAttributes;

// The text in UTF-16, little-endian with a byte order mark.
std::string utf16(const std::string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t unit : ns::toUTF16(text)) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    }
    return out;
}

std::string attributes(std::size_t count, const std::string& value = "") {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += " a" + std::to_string(i) + "=\"" + value + "\"";
    return out;
}

std::string repeat(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

TEST(XMLRead, StartTagsAreCountedAsLibxml2ReadsThem) {
    const std::string many = std::string(2000, '=');
    const std::string tooMany = "<r" + attributes(kMaxAttributes + 1) + "/>";
    // U+3D3C holds the bytes of '<' and '=' in UTF-16.
    const std::string lookalikes = "<r a=''>" + repeat("\xE3\xB4\xBC", 3000) + "</r>";
    const struct {
        const char* what;
        std::string xml;
        bool within;
    } cases[] = {
        {"as many as a tag may carry", "<r" + attributes(kMaxAttributes) + "/>", true},
        {"one more", tooMany, false},
        {"one more, namespaces among them", "<r xmlns='u' xmlns:p='v'" + attributes(kMaxAttributes - 1) + "/>", false},
        {"on a later tag", "<r><s/>" + tooMany + "</r>", false},
        {"'=' in values", "<r a=\"" + many + "\" b='" + many + "'/>", true},
        {"'>' in a value, '=' in the text after", "<r a=\">\" b='>'>" + many + "</r>", true},
        {"'=' in a comment, CDATA, a processing instruction and an end tag",
         "<r><!-- <a " + many + "--><![CDATA[<a " + many + "]]><?pi <a " + many + "?></r " + many + "></r>", true},
        {"'=' in a document type declaration",
         "<!DOCTYPE r [<!ENTITY e \"<a " + many + "> ]\"><!-- ' --><?pi \" ?>]><r/>", true},
        {"a tag after a document type declaration", "<!DOCTYPE r [<!ATTLIST r a CDATA '>]'>]>" + tooMany, false},
        {"a value never closed", "<r a='" + many, true},
        {"in UTF-16", utf16(tooMany), false},
        {"in UTF-16, as many as a tag may carry", utf16("<r" + attributes(kMaxAttributes) + "/>"), true},
        {"in UTF-16, text whose units hold markup's bytes", utf16(lookalikes), true},
        {"declared UTF-16", "<?xml version='1.0' encoding='UTF-16'?>" + tooMany, false},
    };
    for (const auto& c : cases) EXPECT_EQ(xmlread::startTagsWithinBound(c.xml), c.within) << c.what;
}

// Each layout costs libxml2 work that grows faster than the text; each is
// stopped once what it built and looked up passes what its size allows, or
// refused at once where a bound is passed, with the reason.
TEST(XMLRead, ParsesStopWhereTheirCostPassesTheirSize) {
    auto attlist = [](std::size_t count) {
        std::string out = "<!ATTLIST x";
        for (std::size_t i = 0; i < count; ++i) out += " d" + std::to_string(i) + " CDATA 'v'";
        return out + ">";
    };
    std::string scope = "<r";
    for (int i = 0; i < 1000; ++i) scope += " xmlns:p" + std::to_string(i) + "='u" + std::to_string(i) + "'";
    const std::string deep = "<r xmlns:p='u'>" + repeat("<d>", 250) + repeat("<p:e/>", 200000) + repeat("</d>", 250) + "</r>";
    const struct {
        const char* what;
        std::string xml;
        bool read;
        const char* reason;  // part of it
    } cases[] = {
        {"an element of too many defaults", "<!DOCTYPE r [" + attlist(kMaxAttributes + 1) + "]><r><x/></r>", false,
         "defaults"},
        {"an element of many defaults, often", "<!DOCTYPE r [" + attlist(300) + "]><r>" + repeat("<x/>", 50000) + "</r>",
         false, ns::ReadBudget::kReason},
        {"an element of a few defaults, often",
         "<!DOCTYPE r [" + attlist(3) + "]><r>" + repeat("<x>基层党组织建设工作会议</x>", 50000) + "</r>", true, ""},
        {"an entity with a tag of too many attributes",
         "<!DOCTYPE r [<!ENTITY e '<t" + attributes(kMaxAttributes + 1) + "/>'>]><r>&e;</r>", false, "entity"},
        {"many namespaces in scope, a prefix looked up often",
         scope + ">" + repeat("<p0:e/>", 200000) + "</r>", false, ns::ReadBudget::kReason},
        {"prefixes looked up deep down", deep, false, ns::ReadBudget::kReason},
        {"empty elements, four bytes each", "<r>" + repeat("<a/>", 2u << 20) + "</r>", false, ns::ReadBudget::kReason},
        {"elements with text", "<r>" + repeat("<item id='12345'>基层党组织 &amp; 会议</item>", 200000) + "</r>", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string refusal;
        xmlDocPtr doc = xmlread::readDocument(c.xml, XML_PARSE_NOCDATA | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR, {},
                                              &refusal);
        EXPECT_EQ(doc != nullptr, c.read) << refusal;
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
        if (doc) xmlFreeDoc(doc);
    }
    // A reader of messages that carry none refuses one wherever it comes.
    std::string refusal;
    EXPECT_FALSE(xmlread::readDocument(utf16("<!DOCTYPE r><r/>"), 0, {.refuseDocumentType = true}, &refusal));
    EXPECT_NE(refusal.find("document type"), std::string::npos) << refusal;
    EXPECT_FALSE(xmlread::readDocument("<r" + attributes(kMaxAttributes + 1) + "/>", 0, {}, &refusal));
    EXPECT_NE(refusal.find("attributes"), std::string::npos) << refusal;
}

struct Counted {
    int messages = 0;
    int elements = 0;
};

xmlSAXHandler countingHandler() {
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = [](void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
                            const xmlChar**) { ++static_cast<Counted*>(ctx)->elements; };
    sax.serror = [](void* ctx, xmlErrorPtr) { ++static_cast<Counted*>(ctx)->messages; };
    return sax;
}

// Every message libxml2 makes is counted (each is formatted and copied), and
// no more than a hundred of one document reach the handler.
TEST(XMLRead, MessagesAreCountedAndAFewHandedOn) {
    const struct {
        std::size_t undeclared;
        bool fine;
    } cases[] = {{50, true}, {500, true}, {100000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.undeclared);
        Counted counted;
        std::string refusal;
        const std::string xml = "<r>" + repeat("<q:e/>", c.undeclared) + "</r>";
        EXPECT_EQ(xmlread::parse(xml, countingHandler(), &counted, XML_PARSE_NOERROR, {}, &refusal), c.fine) << refusal;
        EXPECT_EQ(counted.messages, static_cast<int>(std::min(c.undeclared, xmlread::kMaxMessages)));
        if (c.fine) {
            EXPECT_EQ(counted.elements, static_cast<int>(c.undeclared) + 1);
        } else {
            EXPECT_EQ(refusal, ns::ReadBudget::kReason);
        }
    }
}

// ---- Documents of any layout at the largest size a reader takes ----

// A document laid out at random, as an attacker might: tags of many
// attributes, namespaces declared and used (some undeclared), deep runs of
// prefixed elements, text with references, a document type's entities and
// defaults, comments, processing instructions and CDATA, until the text
// reaches its size.
struct Layout {
    const char* name;
    unsigned tags, namespaces, deep, text, other;  // weights
    bool documentType;
    bool inUTF16;
    unsigned seed;
};

class RandomDocument {
public:
    RandomDocument(const Layout& layout, std::size_t bytes) : layout_(layout), bytes_(bytes), rng_(layout.seed) {}

    std::string make() {
        out_ = "<?xml version=\"1.0\"?>";
        if (layout_.documentType) {
            out_ += "<!DOCTYPE r [<!ENTITY e '党建 <b p0:a=\"1\">&amp;</b>'>";
            out_ += "<!ENTITY t '<t" + attributes(below(kMaxAttributes)) + "/>'>";
            out_ += "<!ATTLIST x" + defaults(below(40)) + "><!ATTLIST y xmlns:p9 CDATA 'u9'" + defaults(below(8)) + ">]>";
        }
        out_ += "<r xmlns='urn:r' xmlns:p0='urn:0'>";
        while (!full()) item(1);
        out_ += "</r>";
        return layout_.inUTF16 ? utf16(out_) : std::move(out_);
    }

private:
    // Room kept for what closes the items begun.
    bool full() const { return out_.size() + 64 * 1024 >= bytes_ / (layout_.inUTF16 ? 2 : 1); }
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    static std::string defaults(std::size_t n) {
        std::string out;
        for (std::size_t i = 0; i < n; ++i) out += " d" + std::to_string(i) + " CDATA 'v'";
        return out;
    }
    std::string prefix() { return "p" + std::to_string(below(12)) + ":"; }

    void item(std::size_t depth) {
        const unsigned weights[] = {layout_.tags, layout_.namespaces, layout_.deep, layout_.text, layout_.other};
        std::discrete_distribution<unsigned> pick(std::begin(weights), std::end(weights));
        switch (depth > 200 ? 3 : pick(rng_)) {
            case 0:  // tags of a few attributes, now and then as many as one may carry
                for (std::size_t n = 1 + below(64); n-- > 0 && !full();) {
                    out_ += "<t" + attributes(below(32) ? below(16) : below(kMaxAttributes));
                    if (below(2)) out_ += " " + prefix() + "k='v'";
                    out_ += "/>";
                }
                break;
            case 1: {  // declarations, and names that use them (or no declaration)
                out_ += "<n xmlns:p" + std::to_string(1 + below(11)) + "='urn:y'";
                for (std::size_t n = below(100); n-- > 0;) out_ += " xmlns:p" + std::to_string(12 + n) + "='urn:x'";
                out_ += ">";
                for (std::size_t n = below(1000); n-- > 0 && !full();) out_ += "<" + prefix() + "e " + prefix() + "a='1'/>";
                out_ += "</n>";
                break;
            }
            case 2: {  // a deep run of prefixed elements
                const std::size_t levels = 1 + below(200);
                for (std::size_t i = 0; i < levels; ++i) out_ += "<p0:d>";
                for (std::size_t n = below(10000); n-- > 0 && !full();) out_ += "<p0:e/>";
                for (std::size_t i = 0; i < levels; ++i) out_ += "</p0:d>";
                break;
            }
            case 3: {  // text with references
                static const char* pieces[] = {"abc ", "党建网格", "&amp;", "&#x4e2d;", "&lt;", "&#60;"};
                out_ += "<p>";
                for (std::size_t n = below(1u << 14); n-- > 0 && !full();) {
                    out_ += pieces[below(std::size(pieces))];
                    if (layout_.documentType && below(8) == 0) out_ += below(2) ? "&e;" : "&t;";
                }
                out_ += "</p>";
                break;
            }
            default:  // the rest of what a document holds
                switch (below(5)) {
                    case 0: out_ += "<!-- note -->"; break;
                    case 1: out_ += "<?pi data?>"; break;
                    case 2: out_ += "<c><![CDATA[<a b='c'>]]></c>"; break;
                    case 3: out_ += layout_.documentType ? "<x/><y/>" : "<x/>"; break;
                    default:
                        out_ += "<s>";
                        item(depth + 1);
                        out_ += "</s>";
                }
        }
    }

    Layout layout_;
    std::size_t bytes_;
    std::mt19937 rng_;
    std::string out_;
};

// Named by the layout in the test's name and in messages.
void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

class XMLLayouts : public testing::TestWithParam<Layout> {};

constexpr long kMostKB = testsupport::sanitizedKB(testsupport::kReadersMostKB);

// A document of 32 MiB, the largest any reader takes, reads or is refused
// within the memory the readers may take, as the document model reads it
// (a tree) and as the service reads a reply (a tree for a fault, events for
// a result), and never ends the program.
TEST_P(XMLLayouts, ReadOrRefusedWithinBoundsAtTheLargestSize) {
    const std::string xml = RandomDocument(GetParam(), 32u << 20).make();
    ASSERT_LE(xml.size(), 32u << 20);
    const int service = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
    const struct {
        const char* reader;
        std::function<bool()> read;
    } readers[] = {
        {"model",
         [&] {
             xmlDocPtr doc = xmlread::readDocument(xml, XML_PARSE_NOCDATA | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR, {});
             if (doc) xmlFreeDoc(doc);
             return doc != nullptr;
         }},
        {"fault",
         [&] {
             xmlDocPtr doc = xmlread::readDocument(xml, service, {.refuseDocumentType = true});
             if (doc) xmlFreeDoc(doc);
             return doc != nullptr;
         }},
        {"result",
         [&] {
             Counted counted;
             return xmlread::parse(xml, countingHandler(), &counted, service, {.refuseDocumentType = true});
         }},
    };
    for (const auto& r : readers) {
        const testsupport::ChildRead read = testsupport::readInChild(r.read);
        EXPECT_TRUE(read.ended) << r.reader << ": " << read.describe();
        EXPECT_LT(read.peakKB, kMostKB) << r.reader << ": " << read.describe();
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, XMLLayouts,
                         testing::Values(Layout{"tags", 8, 1, 1, 1, 1, false, false, 1},
                                         Layout{"namespaces", 1, 8, 1, 1, 1, false, false, 2},
                                         Layout{"deep", 1, 1, 8, 1, 1, false, false, 3},
                                         Layout{"text", 1, 1, 1, 8, 1, true, false, 4},
                                         Layout{"documentType", 1, 1, 1, 1, 8, true, false, 5},
                                         Layout{"mixedUTF16", 1, 1, 1, 1, 1, true, true, 6}),
                         [](const testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

}  // namespace
