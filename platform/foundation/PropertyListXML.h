// The XML property-list form, read and written (PropertyList.h is the way
// in).
//
// The reader never recurses: containers are kept on an explicit stack, so a damaged
// file of a million unclosed <array> costs no stack and is refused at the
// nesting limit. Dictionaries are built with a hash index (a repeated key
// keeps its last value), so a list of many keys reads in linear time.
//
// Understood: an optional XML declaration, DOCTYPE, comments and processing
// instructions; a <plist> root or a bare value; dict/key, array, string,
// data (base64, blanks ignored), date (ISO 8601, UTC; the time or its last
// parts may be left out), integer (decimal, signed 64-bit, and unsigned up
// to 2^64 - 1; also hexadecimal after "0x"), real (a number too small for a
// double is 0 with its sign, too large infinity), true and false; the five
// predefined entities, character references and CDATA sections in text,
// whose carriage returns and CR LF pairs read as line feeds, as in every XML
// reader ("&#13;" stays a carriage return). Entities a DOCTYPE declares are
// not expanded. Dates read as Value::dateSinceReferenceDate. The text is
// UTF-8: PropertyList.cpp turns UTF-16 with a byte-order mark into it, and
// text in another encoding its XML declaration names (textInDeclaredEncoding).
//
// Writing gives what the platform's writer gives (the XML declaration, the
// DOCTYPE, tab indentation, data in base64 lines), with a carriage return as
// "&#13;" so that readers do not take it for a line feed; dates to the whole
// second, rounded down. A container held in several places is written out
// in each, so the writer refuses a list once its text passes
// kPropertyListMaxXMLBytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/PropertyListCodec.h"
#include "foundation/ReadBudget.h"
#include "foundation/Value.h"

namespace ns::plistxml {

// The property list in the text, or nil with the problem in *problem. What
// it builds is counted against a ReadBudget of the text's size (or the one
// given); a list that builds more is refused as beyond the readers' bounds.
Value read(std::string_view text, plistcodec::Problem* problem);
Value read(std::string_view text, plistcodec::Problem* problem, ReadBudget budget);

// Bytes that open with an XML declaration naming an encoding, as UTF-8 text
// for read(), by the system's converters (ns::stringFromEncoding: the names
// iconv knows, in any case). nullopt, the problem left empty, for text read
// as it stands: without a declaration at its very start (a byte-order mark
// before it names the encoding itself), without an encoding in it, naming
// UTF-8, or naming an encoding that would not read the declaration itself
// as it is written (UTF-16 in 8-bit text). nullopt with the problem set when
// the list cannot be read: an encoding name the converters do not know
// (beyond the readers' bounds: it need not be a damaged list), or bytes not
// valid in the named encoding.
std::optional<std::string> textInDeclaredEncoding(std::string_view bytes, plistcodec::Problem* problem);

// The text; throws plistcodec::Refusal for what
// PropertyListSerialization::dataWithPropertyList refuses in XML.
Bytes write(const Value& plist);

}  // namespace ns::plistxml
