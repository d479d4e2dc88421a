// SOAP envelopes, the request argument and the endpoint configuration.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>

#include "service/JSON.h"
#include "service/ServiceArgument.h"
#include "service/ServiceConfig.h"
#include "service/SoapResultScan.h"
#include "service/SoapXmlParseHelper.h"
#include "service/XMLRead.h"
#include "foundation/Strings.h"

namespace {

TEST(SoapEnvelope, CarriesAnyTextIntactThroughXMLAndJSON) {
    const std::string nasty = "He said \"hi\" \\ <b>&amp;</b> ]]> 'x'\r\nline2\t\x01 中文 \xF0\x9F\x98\x80";
    std::string argument = formatParameters({quoted("content", nasty)});
    std::string envelope = SoapXmlParseHelper::requestEnvelope("SubmitComment", "http://tempuri.org/", argument);
    auto request = SoapXmlParseHelper::parseRequest(envelope);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->operation, "SubmitComment");
    EXPECT_EQ(request->serviceNamespace, "http://tempuri.org/");
    ASSERT_TRUE(request->jsonString);
    EXPECT_EQ(*request->jsonString, argument);
    EXPECT_EQ(JSONValue(*request->jsonString)["parameters"]["content"].str(), nasty);
}

// Long arguments are escaped a block at a time: what needs escaping is
// found wherever it lies in a block.
TEST(SoapEnvelope, EscapesWhatNeedsItAnywhereInALongArgument) {
    const std::string specials[] = {"&", "<", ">", "\r", "]]>", "\"", "'", "中", "\x01"};
    for (std::size_t at = 0; at < 40; ++at)
        for (const auto& special : specials) {
            std::string text(48, 'a');
            text.replace(at, special.size(), special);
            const std::string argument = formatParameters({quoted("content", text)});
            const std::string envelope = SoapXmlParseHelper::requestEnvelope("SubmitComment", "urn:a", argument);
            const auto request = SoapXmlParseHelper::parseRequest(envelope);
            ASSERT_TRUE(request && request->jsonString) << at << " " << special;
            EXPECT_EQ(*request->jsonString, argument) << at << " " << special;
        }
}

TEST(SoapEnvelope, OperationsWithoutArgumentHaveNoJsonStringElement) {
    std::string envelope = SoapXmlParseHelper::requestEnvelope("GetLinkList", "urn:x", std::nullopt);
    auto request = SoapXmlParseHelper::parseRequest(envelope);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->operation, "GetLinkList");
    EXPECT_FALSE(request->jsonString);
    EXPECT_EQ(envelope.find("jsonString"), std::string::npos);
}

TEST(SoapResult, ReadsTheResultElementUnderAnyPrefix) {
    const std::string result = R"({"state":"successful","message":"<ok> & \"fine\""})";
    EXPECT_EQ(SoapXmlParseHelper::resultText(
                  SoapXmlParseHelper::responseEnvelope("GetArticleList", "http://tempuri.org/", result),
                  "GetArticleList"),
              result);
    const char* prefixed =
        R"(<?xml version="1.0"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>)"
        R"(<m:GetSignResponse xmlns:m="urn:a"><m:GetSignResult>{"sign_count":2}</m:GetSignResult>)"
        R"(</m:GetSignResponse></s:Body></s:Envelope>)";
    EXPECT_EQ(SoapXmlParseHelper::resultText(prefixed, "GetSign"), R"({"sign_count":2})");
    const char* cdata =
        R"(<Envelope><Body><GetSignResponse><GetSignResult><![CDATA[{"a":"<b>"}]]></GetSignResult>)"
        R"(</GetSignResponse></Body></Envelope>)";
    EXPECT_EQ(SoapXmlParseHelper::resultText(cdata, "GetSign"), R"({"a":"<b>"})");
}

TEST(SoapResult, GivesEmptyTextWhenTheEnvelopeCannotBeRead) {
    const std::string good = SoapXmlParseHelper::responseEnvelope("GetSign", "urn:a", "{}");
    struct {
        const char* name;
        std::string xml;
    } cases[] = {
        {"empty", ""},
        {"not XML", "{\"state\":\"successful\"}"},
        {"cut short", good.substr(0, good.size() - 20)},
        {"another operation's result", SoapXmlParseHelper::responseEnvelope("GetOrgList", "urn:a", "{}")},
        {"result for a longer name only", SoapXmlParseHelper::responseEnvelope("GetSignX", "urn:a", "{}")},
        {"document type declaration",
         R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY a "aaaaaaaa"><!ENTITY b "&a;&a;&a;&a;">]>)"
         R"(<Envelope><Body><GetSignResult>&b;</GetSignResult></Body></Envelope>)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SoapXmlParseHelper::resultText(c.xml, "GetSign"), "") << c.name;
        EXPECT_FALSE(SoapXmlParseHelper::findResultText(c.xml, "GetSign")) << c.name;
    }
    EXPECT_EQ(SoapXmlParseHelper::findResultText(SoapXmlParseHelper::responseEnvelope("GetSign", "urn:a", ""),
                                                 "GetSign"),
              std::optional<std::string>(""));
}

// The quick reader answers only where the full one would give the same: over
// plain replies, every way of writing XML it leaves alone, broken documents,
// every cut of a reply and single-byte damage anywhere in one.
TEST(SoapFault, ReadsCodeSubcodeReasonAndDetailOfBothVersions) {
    const std::string soap12 = R"(<?xml version="1.0" encoding="utf-8"?>)"
                               R"(<env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope"><env:Body>)"
                               R"(<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode>)"
                               R"(<env:Value>m:Outer</env:Value><env:Subcode><env:Value>m:Inner</env:Value>)"
                               R"(</env:Subcode></env:Subcode></env:Code><env:Reason>)"
                               R"(<env:Text xml:lang="zh">  参数 &lt;user_id&gt; 无效 &amp; 缺失 </env:Text>)"
                               R"(<env:Text xml:lang="en">bad user_id</env:Text></env:Reason>)"
                               R"(<env:Detail><m:Field xmlns:m="urn:m">user_id</m:Field></env:Detail>)"
                               R"(</env:Fault></env:Body></env:Envelope>)";
    auto f = SoapXmlParseHelper::findFault(soap12);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->code, "env:Sender");
    EXPECT_EQ(f->subcode, "m:Inner");
    EXPECT_EQ(f->reason, "参数 <user_id> 无效 & 缺失");
    EXPECT_EQ(f->detail, "user_id");

    const std::string soap11 = R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><s:Fault>)"
                               R"(<faultcode>s:Server</faultcode><faultstring><![CDATA[服务器错误 <b>]]></faultstring>)"
                               R"(</s:Fault></s:Body></s:Envelope>)";
    f = SoapXmlParseHelper::findFault(soap11);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->code, "s:Server");
    EXPECT_EQ(f->reason, "服务器错误 <b>");
    EXPECT_EQ(f->subcode, "");
}

TEST(SoapFault, OnlyAFaultInTheBodyOfASoapEnvelopeIsOne) {
    const std::string fault12 = R"(<Fault><Code><Value>Receiver</Value></Code></Fault>)";
    const struct {
        const char* name;
        std::string xml;
    } cases[] = {
        {"result", SoapXmlParseHelper::responseEnvelope("GetSign", "urn:a", R"({"Fault":1})")},
        {"html", "<html><body><h1>500 Internal Server Error</h1></body></html>"},
        {"empty", ""},
        {"not xml", "Fault"},
        {"fault outside the body",
         R"(<e:Envelope xmlns:e="http://www.w3.org/2003/05/soap-envelope"><e:Header>)" + fault12 +
             R"(</e:Header><e:Body/></e:Envelope>)"},
        {"fault of another namespace",
         R"(<e:Envelope xmlns:e="http://www.w3.org/2003/05/soap-envelope"><e:Body><Fault xmlns="urn:x"/>)"
         R"(</e:Body></e:Envelope>)"},
        {"envelope of another namespace", R"(<Envelope xmlns="urn:x"><Body>)" + fault12 + "</Body></Envelope>"},
        {"cut short", R"(<e:Envelope xmlns:e="http://www.w3.org/2003/05/soap-envelope"><e:Body><e:Fault>)"},
    };
    for (const auto& c : cases) EXPECT_FALSE(SoapXmlParseHelper::findFault(c.xml)) << c.name;
}

// Reads a reply of GetSign with the quick reader and the full one, and checks
// that they agree wherever the quick one answers, and that the helper's two
// ways give what the full reader gives. The full reader's answer is kept.
struct QuickAndFull {
    int answered = 0, checked = 0;
    std::optional<std::string> full;

    soapscan::Quick operator()(const std::string& xml, const std::string& label) {
        using soapscan::Quick;
        std::string text;
        Quick q = soapscan::quickScan(xml, "GetSignResult", text);
        full = soapscan::fullScan(xml, "GetSignResult");
        ++checked;
        if (q == Quick::Found) {
            ++answered;
            EXPECT_EQ(full, std::optional<std::string>(text)) << label;
        } else if (q == Quick::Absent) {
            ++answered;
            EXPECT_FALSE(full) << label << ": " << *full;
        }
        EXPECT_EQ(SoapXmlParseHelper::findResultText(xml, "GetSign"), full) << label;
        // Taken in place: the same text; the reply is used up only when the
        // quick reader found the result.
        std::string owned = xml;
        EXPECT_EQ(SoapXmlParseHelper::takeResultText(owned, "GetSign"), full) << label;
        EXPECT_EQ(owned.empty(), q == Quick::Found || xml.empty()) << label;
        return q;
    }
};

TEST(SoapResult, TheQuickReaderAgreesWithTheFullOneWheneverItAnswers) {
    using soapscan::Quick;
    QuickAndFull agree;
    int& answered = agree.answered;
    int& checked = agree.checked;
    auto envelope = [](const std::string& result) {
        return SoapXmlParseHelper::responseEnvelope("GetSign", "http://tempuri.org/", result);
    };

    const std::string plain[] = {
        R"({"state":"successful","records":[{"title":"基层党组织建设 \"会议\"","n":1}]})",
        "", "x", "<b>&amp; ]]> 'q' \"q\"", "tab\tnew\nline", "cr\r\nlf", "😀 \xC2\xA9 \xEF\xBF\xBD", "  lead and trail  ",
    };
    for (const auto& r : plain) {
        SCOPED_TRACE(r);
        Quick q = agree(envelope(r), "plain");
        EXPECT_EQ(q, Quick::Found);  // the quick reader takes the service's own replies
    }
    EXPECT_EQ(agree(SoapXmlParseHelper::responseEnvelope("GetOrgList", "urn:a", "{}"), "other"), Quick::Absent);

    const std::string head = R"(<?xml version="1.0" encoding="utf-8"?>)";
    const std::string open = R"(<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>)";
    const std::string close = "</s:Body></s:Envelope>";
    auto wrap = [&](const std::string& inner) { return head + open + inner + close; };
    const std::pair<const char*, std::string> odd[] = {
        {"prefixed", wrap(R"(<m:GetSignResponse xmlns:m="urn:a"><m:GetSignResult>1</m:GetSignResult></m:GetSignResponse>)")},
        {"single quotes", wrap(R"(<GetSignResult xmlns='urn:a' a = 'x"y'>1</GetSignResult>)")},
        {"no declaration", open + "<GetSignResult>1</GetSignResult>" + close},
        {"declaration without encoding", R"(<?xml version="1.0"?>)" + open + "<GetSignResult>1</GetSignResult>" + close},
        {"upper-case encoding", R"(<?xml version='1.0' encoding='UTF-8' ?>)" + open + "<GetSignResult>1</GetSignResult>" + close},
        {"standalone", R"(<?xml version="1.0" standalone="yes"?>)" + open + "<GetSignResult>1</GetSignResult>" + close},
        {"version 1.1", R"(<?xml version="1.1"?>)" + open + "<GetSignResult>1</GetSignResult>" + close},
        {"other encoding", R"(<?xml version="1.0" encoding="ISO-8859-1"?>)" + open + "<GetSignResult>\xE9</GetSignResult>" + close},
        {"byte order mark", "\xEF\xBB\xBF" + wrap("<GetSignResult>1</GetSignResult>")},
        {"comment", wrap("<!-- c --><GetSignResult>1<!-- d -->2</GetSignResult>")},
        {"cdata", wrap("<GetSignResult><![CDATA[<a>]]></GetSignResult>")},
        {"processing instruction", wrap("<?pi x?><GetSignResult>1</GetSignResult>")},
        {"empty element", wrap("<GetSignResult/>")},
        {"empty element with space", wrap("<GetSignResult />")},
        {"only white space", wrap("<GetSignResult> \n\t </GetSignResult>")},
        {"nested", wrap("<GetSignResult>a<b>c</b>d</GetSignResult>")},
        {"second of two", wrap("<GetSignResult>1</GetSignResult><GetSignResult>2</GetSignResult>")},
        {"references", wrap("<GetSignResult>&lt;&#65;&#x4e2d;&#x1F600;&quot;&apos;&amp;&#13;</GetSignResult>")},
        {"unknown entity", wrap("<GetSignResult>&nbsp;</GetSignResult>")},
        {"bad character references", wrap("<GetSignResult>&#0;&#xD800;&#xFFFE;&#x110000;&#;&#x;</GetSignResult>")},
        {"bare ampersand", wrap("<GetSignResult>a & b</GetSignResult>")},
        {"cdata end in text", wrap("<GetSignResult>]]></GetSignResult>")},
        {"control character", wrap("<GetSignResult>\x01</GetSignResult>")},
        {"nul", wrap(std::string("<GetSignResult>\0</GetSignResult>", 32))},
        {"overlong", wrap("<GetSignResult>\xC0\x80</GetSignResult>")},
        {"surrogate", wrap("<GetSignResult>\xED\xA0\x80</GetSignResult>")},
        {"not a character", wrap("<GetSignResult>\xEF\xBF\xBE</GetSignResult>")},
        {"beyond unicode", wrap("<GetSignResult>\xF4\x90\x80\x80</GetSignResult>")},
        {"truncated sequence", wrap("<GetSignResult>\xE4\xB8</GetSignResult>")},
        {"stray continuation", wrap("<GetSignResult>\x80</GetSignResult>")},
        {"latin-1 byte", wrap("<GetSignResult>caf\xE9</GetSignResult>")},
        {"undeclared prefix", wrap("<q:GetSignResult>1</q:GetSignResult>")},
        {"undeclared attribute prefix", wrap(R"(<GetSignResult q:a="1">1</GetSignResult>)")},
        {"xml prefix", wrap(R"(<GetSignResult xml:lang="zh">1</GetSignResult>)")},
        {"xml:space", wrap(R"(<GetSignResult xml:space="preserve"> </GetSignResult>)")},
        {"empty prefix binding", wrap(R"(<GetSignResult xmlns:p="">1</GetSignResult>)")},
        {"duplicate attribute", wrap(R"(<GetSignResult a="1" a="2">1</GetSignResult>)")},
        {"duplicate expanded name", wrap(R"(<GetSignResult xmlns:p="u" xmlns:q="u" p:a="1" q:a="2">1</GetSignResult>)")},
        {"attributes run together", wrap(R"(<GetSignResult a="1"b="2">1</GetSignResult>)")},
        {"unquoted attribute", wrap("<GetSignResult a=1>1</GetSignResult>")},
        {"lt in attribute", wrap(R"(<GetSignResult a="<">1</GetSignResult>)")},
        {"reference in attribute", wrap(R"(<GetSignResult a="&amp;&#65;&bad;">1</GetSignResult>)")},
        {"mismatched end", wrap("<GetSignResult>1</GetSignResul>")},
        {"end tag with space", wrap("<GetSignResult>1</GetSignResult >")},
        {"non-ASCII name", wrap("<GetSignResult><名字>1</名字></GetSignResult>") },
        {"non-ASCII sibling", wrap("<名字>x</名字><GetSignResult>1</GetSignResult>")},
        {"colon twice", wrap("<a:b:GetSignResult>1</a:b:GetSignResult>")},
        {"text after root", wrap("<GetSignResult>1</GetSignResult>") + "x"},
        {"two roots", wrap("<GetSignResult>1</GetSignResult>") + "<a/>"},
        {"white space after root", wrap("<GetSignResult>1</GetSignResult>") + "\n\r\n "},
        {"white space before declaration", std::string(" ").append(wrap("<GetSignResult>1</GetSignResult>"))},
        {"longer name", wrap("<GetSignResultX>1</GetSignResultX>")},
        {"carriage return in text", wrap("<GetSignResult>a\rb\r\nc</GetSignResult>")},
        {"carriage return elsewhere", wrap("\r\n<GetSignResult>1</GetSignResult>\r\n")},
        {"doctype", R"(<?xml version="1.0"?><!DOCTYPE x []><x><GetSignResult>1</GetSignResult></x>)"},
    };
    // Plain XML that the quick reader takes itself; the rest it may leave.
    const std::set<std::string> taken = {"prefixed", "single quotes", "no declaration", "declaration without encoding",
                                         "upper-case encoding", "empty element", "empty element with space",
                                         "second of two", "references", "xml prefix", "end tag with space",
                                         "white space after root", "carriage return elsewhere", "longer name"};
    for (const auto& [label, xml] : odd) {
        Quick q = agree(xml, label);
        if (taken.count(label)) {
            EXPECT_NE(q, Quick::Unsure) << label;
        }
    }
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<a>";
    deep += "<GetSignResult>1</GetSignResult>";
    for (int i = 0; i < 300; ++i) deep += "</a>";
    agree(deep, "deep");

    // Every cut of a reply, and damage at every byte of its markup.
    const std::string reply = wrap(R"(<m:GetSignResponse xmlns:m="urn:a" k='v'><m:GetSignResult>{"t":"中文 &amp; &#x4e2d;"})"
                                   R"(</m:GetSignResult></m:GetSignResponse>)");
    for (std::size_t n = 0; n < reply.size(); ++n) agree(reply.substr(0, n), "cut at " + std::to_string(n));
    const char damage[] = {'<', '>', '&', '"', '\'', ':', '/', ' ', '\0', '\x80', '\xE4', ']', '=', '\r', 'x', '?', '!'};
    for (std::size_t i = 0; i < reply.size(); ++i)
        for (char c : damage) {
            std::string broken = reply;
            broken[i] = c;
            agree(broken, "byte " + std::to_string(i) + " as " + std::to_string(static_cast<unsigned char>(c)));
        }
    EXPECT_GT(answered, 0);
    EXPECT_GT(checked, answered);
}

// A tag's attributes are told apart at once however many it has: a repeat
// anywhere among them leaves the reply to the full reader (which refuses
// it), and a tag of more than the readers take is refused by both.
TEST(SoapResult, RepeatedAttributesAreFoundAmongManyAndTooManyAreRefused) {
    using soapscan::Quick;
    auto tag = [](std::size_t count, std::size_t repeatAt, const std::string& repeat) {
        std::string t = R"(<GetSignResponse xmlns="urn:a" xmlns:p="urn:p" xmlns:q="urn:q")";
        for (std::size_t i = 0; i < count; ++i) t += i == repeatAt ? repeat : " a" + std::to_string(i) + "=\"\"";
        return "<Envelope>" + t + "><GetSignResult>1</GetSignResult></GetSignResponse></Envelope>";
    };
    constexpr std::size_t none = SIZE_MAX;
    const std::size_t most = xmlread::kMaxAttributes - 3;  // the tag declares three namespaces
    const struct {
        const char* what;
        std::string xml;
        Quick quick;
        bool full;
    } cases[] = {
        {"many distinct", tag(most, none, ""), Quick::Found, true},
        {"the first repeated last", tag(most, most - 1, R"( a0="")"), Quick::Unsure, false},
        {"repeated among the first", tag(40, 10, R"( a3="")"), Quick::Unsure, false},
        {"repeated just past them", tag(40, 16, R"( a15="")"), Quick::Unsure, false},
        {"one local name under two prefixes", tag(300, 299, R"( p:a1="" q:a1="")"), Quick::Unsure, true},
        {"the same prefixed name twice", tag(300, 299, R"( p:a1="" p:a1="")"), Quick::Unsure, false},
        {"one attribute more than a tag may carry", tag(most + 1, none, ""), Quick::Unsure, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QuickAndFull agree;
        EXPECT_EQ(agree(c.xml, c.what), c.quick);
        EXPECT_EQ(agree.full.has_value(), c.full);
    }
}

// Where the full reader would stop a reply for what libxml2 spends on it
// (here checking each attribute of a tag against the others, with names too
// short to pay for it), the quick reader leaves it to it rather than answer.
TEST(SoapResult, TheQuickReaderAnswersForNoReplyTheFullOneWouldStop) {
    using soapscan::Quick;
    auto reply = [](std::size_t tags) {
        const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::string tag = "<t";
        for (std::size_t i = 0; i < xmlread::kMaxAttributes; ++i)
            tag += std::string(" ") + letters[i % letters.size()] + letters[i / letters.size()] + "=''";
        tag += "/>";
        std::string xml = "<Envelope>";
        for (std::size_t i = 0; i < tags; ++i) xml += tag;
        return xml + "<GetSignResult>1</GetSignResult></Envelope>";
    };
    QuickAndFull agree;
    EXPECT_EQ(agree(reply(10), "a few tags"), Quick::Found);
    EXPECT_EQ(agree(reply(2000), "many tags"), Quick::Unsure);
    EXPECT_FALSE(agree.full);
}

// The full reader reads a reply as libxml2 does, in whatever encoding it
// comes: a document type declaration is refused in UTF-16 too (it would
// bring entities along), and so is a tag of too many attributes.
TEST(SoapResult, TheFullReaderHoldsItsBoundsInEveryEncoding) {
    auto utf16 = [](const std::string& text, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t unit : ns::toUTF16(text)) {
            const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
            out += bigEndian ? high : low;
            out += bigEndian ? low : high;
        }
        return out;
    };
    const std::string result = "<GetSignResult>党建 &amp; 1</GetSignResult>";
    std::string many = "<Envelope";
    for (std::size_t i = 0; i <= xmlread::kMaxAttributes; ++i) many += " a" + std::to_string(i) + "=''";
    many += ">" + result + "</Envelope>";
    const struct {
        const char* what;
        std::string xml;
        bool read;
    } cases[] = {
        {"plain", "<Envelope>" + result + "</Envelope>", true},
        {"a document type", R"(<!DOCTYPE Envelope [<!ENTITY a "aaaa">]><Envelope>)" + result + "</Envelope>", false},
        {"a document type's name in a comment", "<!-- <!DOCTYPE x> --><Envelope>" + result + "</Envelope>", true},
        {"too many attributes", many, false},
    };
    for (const auto& c : cases) {
        for (const std::string& xml : {c.xml, utf16(c.xml, false), utf16(c.xml, true)}) {
            SCOPED_TRACE(std::string(c.what) + (xml == c.xml ? "" : xml[0] == '\xFF' ? ", UTF-16LE" : ", UTF-16BE"));
            const auto found = soapscan::fullScan(xml, "GetSignResult");
            EXPECT_EQ(found.has_value(), c.read);
            if (found) {
                EXPECT_EQ(*found, "党建 & 1");
            }
            EXPECT_EQ(SoapXmlParseHelper::findResultText(xml, "GetSign"), found);
        }
    }
}

// The quick reader steps over plain ASCII sixteen bytes at a time and over
// Chinese text five characters at a time: whatever it meets inside such a
// step (markup, a reference, a character XML refuses, a broken sequence)
// must stop it just as it stops the reader byte by byte.
TEST(SoapResult, TheQuickReaderStopsInsideItsLongStepsAsItDoesElsewhere) {
    using soapscan::Quick;
    std::string result;
    for (int i = 0; i < 4; ++i)
        result += R"({"title":"基层党组织建设工作推进会议召开（第一期），会议强调。","img_url":"/upload/201503/0.jpg"},)";
    const std::string reply = SoapXmlParseHelper::responseEnvelope("GetSign", "http://tempuri.org/", result);
    const std::size_t begin = reply.find(result), end = begin + result.size();
    ASSERT_NE(begin, std::string::npos);
    {
        std::string text;
        ASSERT_EQ(soapscan::quickScan(reply, "GetSignResult", text), Quick::Found);
        EXPECT_EQ(text, result);
    }
    const std::string damage[] = {"<", "&", "]]>", "\r", "\x01", std::string(1, '\0'), "\x80", "\xEF\xBF\xBE",
                                  "\xEF\xBF\xBF", "\xED\xA0\x80", "\xE0\x80\x80", "\xE4\xB8", "\xF4\x90\x80\x80",
                                  "\xEF\xBF\xBD", "\xEE\x80\x80", "&amp;", "&#x4e2d;"};
    int unsure = 0;
    for (std::size_t at = begin; at < end; at += 7)
        for (const auto& d : damage) {
            std::string broken = reply;
            broken.replace(at, d.size(), d);
            std::string text;
            const Quick q = soapscan::quickScan(broken, "GetSignResult", text);
            const auto full = soapscan::fullScan(broken, "GetSignResult");
            if (q == Quick::Found)
                EXPECT_EQ(full, std::optional<std::string>(text)) << at << " " << d;
            else if (q == Quick::Absent)
                EXPECT_FALSE(full) << at << " " << d;
            else
                ++unsure;
            std::string owned = broken;
            EXPECT_EQ(SoapXmlParseHelper::takeResultText(owned, "GetSign"), full) << at << " " << d;
        }
    EXPECT_GT(unsure, 0);
}

// A reply's result is read where it lies: the text handed on is the reply's
// own storage, cut down (and its references read) in place, never a copy.
TEST(SoapResult, TheResultIsTakenFromTheReplyWithoutACopy) {
    for (const char* escapes : {"", " &amp; &#x4e2d; &lt;b&gt;"}) {
        SCOPED_TRACE(escapes);
        std::string result = R"({"state":"successful","pad":")" + std::string(100000, 'p') + "\"}";
        std::string reply = SoapXmlParseHelper::responseEnvelope("GetSign", "urn:a", result);
        reply.insert(reply.find("\"}</GetSignResult>"), escapes);
        const char* storage = reply.data();
        std::optional<std::string> taken = SoapXmlParseHelper::takeResultText(reply, "GetSign");
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->data(), storage);
        EXPECT_TRUE(reply.empty());
        const std::string want = *escapes ? result.substr(0, result.size() - 2) + " & 中 <b>\"}" : result;
        EXPECT_TRUE(*taken == want);
    }
}

TEST(ServiceArgumentText, QuotedBarePagedAndOrders) {
    EXPECT_EQ(formatParameters({quoted("id", "7")}), R"({"parameters":{"id":"7"}})");
    EXPECT_EQ(formatParameters({bare("user_id", "12"), bare("type", "-1.5"), bare("tag", 1)}),
              R"({"parameters":{"user_id":12,"type":-1.5,"tag":1}})");
    EXPECT_EQ(formatPagedParameters("2", "10", {quoted("category_code", "x")}, true),
              R"({"page_index":2,"page_size":10,"parameters":{"category_code":"x"},"orders":{"add_time":"desc"}})");
    EXPECT_EQ(formatPagedParameters("1", "20", {}, false), R"({"page_index":1,"page_size":20,"parameters":{}})");
}

TEST(ServiceArgumentText, BareValuesThatAreNotNumbersStillMakeValidJSON) {
    struct {
        std::string text;
        ns::Value expected;
    } cases[] = {
        {"", ns::Value("")},                          // a missing value is never "(null)" or nothing
        {"12 OR 1=1", ns::Value("12 OR 1=1")},
        {"1,\"type\":9", ns::Value("1,\"type\":9")},  // cannot add keys
        {"007", ns::Value("007")},
        {"true", ns::Value("true")},
        {"42", ns::Value(42)},
    };
    for (const auto& c : cases) {
        std::string text = formatPagedParameters(c.text, c.text, {bare("user_id", c.text)}, false);
        ns::Value v = JSONValue(text);
        ASSERT_TRUE(v.isDictionary()) << text;
        EXPECT_EQ(v.keys(), (std::vector<std::string>{"page_index", "page_size", "parameters"})) << text;
        EXPECT_EQ(v["parameters"].keys(), (std::vector<std::string>{"user_id"})) << text;
        EXPECT_EQ(v["parameters"]["user_id"], c.expected) << text;
        EXPECT_EQ(v["page_index"], c.expected) << text;
    }
}

class ServiceConfigTest : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("KL_SERVICE_URL");
        unsetenv("KL_SERVICE_NAMESPACE");
        ServiceConfig::reset();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ServiceConfigTest, DefaultsEnvironmentAndSettersInThatOrder) {
    EXPECT_EQ(ServiceConfig::endpoint(), "http://127.0.0.1:8735/AppDataSource/interface.asmx");
    EXPECT_EQ(ServiceConfig::serviceNamespace(), "http://tempuri.org/");
    EXPECT_EQ(ServiceConfig::timeOutSeconds(), 60);
    setenv("KL_SERVICE_URL", "http://10.1.2.3:8080", 1);
    setenv("KL_SERVICE_NAMESPACE", "urn:kestrowline", 1);
    EXPECT_EQ(ServiceConfig::endpoint(), "http://10.1.2.3:8080/AppDataSource/interface.asmx");
    EXPECT_EQ(ServiceConfig::serviceNamespace(), "urn:kestrowline");
    ServiceConfig::setEndpoint("https://example.test/svc.asmx");
    EXPECT_EQ(ServiceConfig::endpoint(), "https://example.test/svc.asmx");
    ServiceConfig::setEndpoint("");
    EXPECT_EQ(ServiceConfig::endpoint(), "http://10.1.2.3:8080/AppDataSource/interface.asmx");
    ServiceConfig::setTimeOutSeconds(0.5);
    EXPECT_EQ(ServiceConfig::timeOutSeconds(), 0.5);
}

TEST_F(ServiceConfigTest, CommandLineOptionsAreTakenOut) {
    std::string a0 = "prog", a1 = "--service", a2 = "http://h:1/", a3 = "keep", a4 = "--service-namespace=urn:n";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
    int argc = 5;
    ASSERT_TRUE(ServiceConfig::applyCommandLine(argc, argv));
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[1], "keep");
    EXPECT_EQ(argv[2], nullptr);
    EXPECT_EQ(ServiceConfig::endpoint(), "http://h:1/AppDataSource/interface.asmx");
    EXPECT_EQ(ServiceConfig::serviceNamespace(), "urn:n");

    std::string b1 = "--service";
    char* bad[] = {a0.data(), b1.data(), nullptr};
    int badc = 2;
    std::string error;
    EXPECT_FALSE(ServiceConfig::applyCommandLine(badc, bad, &error));
    EXPECT_NE(error.find("--service"), std::string::npos);
}

}  // namespace
