// SOAP 1.2 messages of the service: the request envelope the client sends,
// the result text it reads back, and (for the test service and tools) the
// other two directions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class SoapXmlParseHelper {
public:
    // The text of the reply's element named "<operation>Result" (under any
    // namespace prefix), or "" when the envelope cannot be read or has no
    // such element.
    static std::string resultText(std::string_view xml, std::string_view operation);
    // The same, telling "no such element" (nothing) from an empty result.
    static std::optional<std::string> findResultText(std::string_view xml, std::string_view operation);
    // findResultText that may take the reply's own storage: when the result
    // is found by the quick reader, `xml` is turned into the result in place
    // and moved out (left empty); otherwise it is left as it was.
    static std::optional<std::string> takeResultText(std::string& xml, std::string_view operation);

    // A fault the reply carries instead of a result (SOAP 1.2, or 1.1 from
    // older peers): its code ("soap:Receiver"), the innermost subcode, the
    // reason text (the first one, trimmed) and the text of its detail.
    struct Fault {
        std::string code, subcode, reason, detail;
    };
    // The fault of an envelope whose body holds one; nothing otherwise
    // (a result, no envelope at all, or a document that does not read).
    static std::optional<Fault> findFault(std::string_view xml);

    // The request envelope: a SOAP 1.2 body whose element is the operation in
    // the service namespace, holding <jsonString> when an argument is given.
    static std::string requestEnvelope(std::string_view operation, std::string_view serviceNamespace,
                                       const std::optional<std::string>& jsonString);

    // What a request envelope carries (for the test service and tools).
    struct Request {
        std::string operation;
        std::string serviceNamespace;
        std::optional<std::string> jsonString;  // nothing: the element had no <jsonString>
    };
    static std::optional<Request> parseRequest(std::string_view xml);

    // A reply envelope with "<operation>Response"/"<operation>Result".
    static std::string responseEnvelope(std::string_view operation, std::string_view serviceNamespace,
                                        std::string_view result);
};

// Text escaped for XML element content and attribute values.
std::string xmlEscape(std::string_view text);
