#include "service/SoapXmlParseHelper.h"

#include "service/SoapResultScan.h"
#include "service/TextScan.h"
#include "service/XMLRead.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <memory>

namespace {

constexpr const char* kSoap12Namespace = "http://www.w3.org/2003/05/soap-envelope";
constexpr const char* kSoap11Namespace = "http://schemas.xmlsoap.org/soap/envelope/";

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// SOAP messages carry no document type declaration; refusing one keeps
// entity expansion out of the reader, whatever its size limits.
DocPtr readDocument(std::string_view xml) {
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
    return DocPtr(xmlread::readDocument(xml, options, {.refuseDocumentType = true}));
}

bool nameIs(const xmlNode* node, std::string_view name) {
    if (node->type != XML_ELEMENT_NODE || !node->name) return false;
    return std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

// A message read whole, and its root element when that is an Envelope.
struct Envelope {
    DocPtr doc;
    const xmlNode* root = nullptr;
};

Envelope readEnvelope(std::string_view xml) {
    Envelope e{readDocument(xml)};
    const xmlNode* root = e.doc ? xmlDocGetRootElement(e.doc.get()) : nullptr;
    if (root && nameIs(root, "Envelope")) e.root = root;
    return e;
}

std::string contentOf(const xmlNode* node) {
    xmlChar* text = xmlNodeGetContent(node);
    if (!text) return {};
    std::string out(reinterpret_cast<const char*>(text));
    xmlFree(text);
    return out;
}

const xmlNode* firstElementChild(const xmlNode* node) {
    for (const xmlNode* c = node ? node->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) return c;
    return nullptr;
}

// The first child element with this local name (any namespace), or null.
const xmlNode* child(const xmlNode* node, std::string_view name) {
    for (const xmlNode* c = node ? node->children : nullptr; c; c = c->next)
        if (nameIs(c, name)) return c;
    return nullptr;
}

bool inNamespace(const xmlNode* node, const char* href) {
    return node && node->ns && node->ns->href && std::strcmp(reinterpret_cast<const char*>(node->ns->href), href) == 0;
}

std::string trimmed(std::string s) {
    const char* space = " \t\r\n";
    std::size_t end = s.find_last_not_of(space);
    if (end == std::string::npos) return {};
    s.erase(end + 1);
    s.erase(0, s.find_first_not_of(space));
    return s;
}

std::string trimmedContent(const xmlNode* node) { return node ? trimmed(contentOf(node)) : std::string(); }

}  // namespace

namespace {

// Escapes what XML text must not carry as it is. In element content quotes
// need no escaping, and leaving them keeps the reader on its fast path.
void appendEscaped(std::string& out, std::string_view text, bool attribute) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Element content goes a block at a time up to the next byte that
        // may need escaping (or is not plain ASCII).
        while (!attribute && text.size() - i >= static_cast<std::size_t>(textscan::kBlock)) {
            const std::ptrdiff_t n = textscan::plainASCII<'&', '<', '>'>(bytes + i);
            i += static_cast<std::size_t>(n);
            if (n != textscan::kBlock) break;
        }
        if (i == text.size()) break;
        const char* entity = nullptr;
        switch (text[i]) {
            case '&': entity = "&amp;"; break;
            case '<': entity = "&lt;"; break;
            case '>': entity = "&gt;"; break;
            case '\r': entity = "&#13;"; break;  // would otherwise be read back as "\n"
            case '"': entity = attribute ? "&quot;" : nullptr; break;
            case '\'': entity = attribute ? "&apos;" : nullptr; break;
            default: break;
        }
        if (!entity) continue;
        out.append(text.data() + run, i - run);
        out += entity;
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
}

// The declaration and the envelope's start tag up to the SOAP 1.2 namespace
// bound to `prefix` (its closing quote is the caller's).
void appendEnvelopeStart(std::string& out, std::string_view prefix) {
    out += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<";
    out += prefix;
    out += ":Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:";
    out += prefix;
    out += "=\"";
    out += kSoap12Namespace;
}

}  // namespace

std::string xmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    appendEscaped(out, text, true);
    return out;
}

std::optional<std::string> SoapXmlParseHelper::findResultText(std::string_view xml, std::string_view operation) {
    std::string name = std::string(operation) + "Result";
    std::string text;
    switch (soapscan::quickScan(xml, name, text)) {
        case soapscan::Quick::Found: return text;
        case soapscan::Quick::Absent: return std::nullopt;
        case soapscan::Quick::Unsure: break;
    }
    return soapscan::fullScan(xml, name);
}

std::optional<std::string> SoapXmlParseHelper::takeResultText(std::string& xml, std::string_view operation) {
    std::string name;
    name.reserve(operation.size() + 6);
    name.append(operation).append("Result");
    soapscan::Span span;
    switch (soapscan::quickSpan(xml, name, span)) {
        case soapscan::Quick::Found: {
            soapscan::cutToSpan(xml, span);
            std::optional<std::string> result(std::move(xml));
            xml.clear();
            return result;
        }
        case soapscan::Quick::Absent: return std::nullopt;
        case soapscan::Quick::Unsure: break;
    }
    return soapscan::fullScan(xml, name);
}

std::string SoapXmlParseHelper::resultText(std::string_view xml, std::string_view operation) {
    return findResultText(xml, operation).value_or(std::string());
}

std::string SoapXmlParseHelper::requestEnvelope(std::string_view operation, std::string_view serviceNamespace,
                                                const std::optional<std::string>& jsonString) {
    std::string out;
    out.reserve(320 + (jsonString ? jsonString->size() + jsonString->size() / 8 : 0));
    appendEnvelopeStart(out, "soap12");
    out += "\">\n  <soap12:Body>\n    <";
    out += operation;
    out += " xmlns=\"";
    appendEscaped(out, serviceNamespace, true);
    if (!jsonString) {
        out += "\" />\n";
    } else {
        out += "\">\n      <jsonString>";
        appendEscaped(out, *jsonString, false);
        out += "</jsonString>\n    </";
        out += operation;
        out += ">\n";
    }
    out += "  </soap12:Body>\n</soap12:Envelope>\n";
    return out;
}

std::optional<SoapXmlParseHelper::Fault> SoapXmlParseHelper::findFault(std::string_view xml) {
    Envelope message = readEnvelope(xml);
    const xmlNode* envelope = message.root;
    if (!envelope) return std::nullopt;
    bool soap12 = inNamespace(envelope, kSoap12Namespace);
    if (!soap12 && !inNamespace(envelope, kSoap11Namespace)) return std::nullopt;
    const xmlNode* fault = firstElementChild(child(envelope, "Body"));
    if (!fault || !nameIs(fault, "Fault") || !inNamespace(fault, soap12 ? kSoap12Namespace : kSoap11Namespace))
        return std::nullopt;
    Fault f;
    if (soap12) {
        const xmlNode* code = child(fault, "Code");
        f.code = trimmedContent(child(code, "Value"));
        for (const xmlNode* sub = child(code, "Subcode"); sub; sub = child(sub, "Subcode"))
            f.subcode = trimmedContent(child(sub, "Value"));
        f.reason = trimmedContent(child(child(fault, "Reason"), "Text"));
        f.detail = trimmedContent(child(fault, "Detail"));
    } else {
        f.code = trimmedContent(child(fault, "faultcode"));
        f.reason = trimmedContent(child(fault, "faultstring"));
        f.detail = trimmedContent(child(fault, "detail"));
    }
    return f;
}

std::optional<SoapXmlParseHelper::Request> SoapXmlParseHelper::parseRequest(std::string_view xml) {
    Envelope message = readEnvelope(xml);
    if (!message.root) return std::nullopt;
    const xmlNode* body = nullptr;
    for (const xmlNode* c = message.root->children; c; c = c->next)
        if (nameIs(c, "Body")) body = c;
    const xmlNode* op = firstElementChild(body);
    if (!op) return std::nullopt;
    Request r;
    r.operation = reinterpret_cast<const char*>(op->name);
    if (op->ns && op->ns->href) r.serviceNamespace = reinterpret_cast<const char*>(op->ns->href);
    for (const xmlNode* c = op->children; c; c = c->next)
        if (nameIs(c, "jsonString")) {
            r.jsonString = contentOf(c);
            break;
        }
    return r;
}

std::string SoapXmlParseHelper::responseEnvelope(std::string_view operation, std::string_view serviceNamespace,
                                                 std::string_view result) {
    std::string out;
    out.reserve(360 + result.size() + result.size() / 8);
    appendEnvelopeStart(out, "soap");
    out += "\"><soap:Body><";
    out += operation;
    out += "Response xmlns=\"";
    appendEscaped(out, serviceNamespace, true);
    out += "\"><";
    out += operation;
    out += "Result>";
    appendEscaped(out, result, false);
    out += "</";
    out += operation;
    out += "Result></";
    out += operation;
    out += "Response></soap:Body></soap:Envelope>";
    return out;
}
