// Reading the result element out of a reply envelope: a quick reader for
// envelopes written the plain way, and the full XML reader it leaves the rest
// to. SoapXmlParseHelper::findResultText puts the two together.
//
//   std::string text;
//   switch (soapscan::quickScan(xml, "GetSignResult", text)) {
//       case soapscan::Quick::Found: ... text ...
//       case soapscan::Quick::Absent: ... well-formed, no such element ...
//       case soapscan::Quick::Unsure: return soapscan::fullScan(xml, "GetSignResult");
//   }
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace soapscan {

enum class Quick { Found, Absent, Unsure };

// One pass over the document. It answers only for documents it can tell are
// well-formed (and namespace-well-formed) from what it knows: UTF-8 without a
// byte order mark, an optional version 1.0 UTF-8 declaration, elements with
// ASCII names and declared prefixes, attributes, character data, the five
// predefined entities and character references. Anything else (comments,
// CDATA sections, processing instructions, document types, other names or
// encodings, elements inside the wanted one, a wanted element holding only
// white space or a carriage return), and every error, gives Unsure.
// Found: `text` holds the text of the first element whose local name is
// `name`, as the full reader gives it.
Quick quickScan(std::string_view xml, std::string_view name, std::string& text);

// Where the wanted element's text lies in the document, unread: its content
// from `begin` to `end`, and whether that holds references.
struct Span {
    std::size_t begin = 0, end = 0;
    bool escaped = false;
};
// quickScan without gathering the text: Found tells where it is.
Quick quickSpan(std::string_view xml, std::string_view name, Span& span);
// Turns the document, in place, into the text of a span quickSpan found
// (references read): a large reply is never held twice.
void cutToSpan(std::string& xml, const Span& span);

// The full reader (libxml2, streaming): the text of the first element whose
// local name is `name` (that of elements inside it included), or nothing when
// there is none or the document is not well-formed. Documents with a type
// declaration are refused.
std::optional<std::string> fullScan(std::string_view xml, std::string_view name);

}  // namespace soapscan
