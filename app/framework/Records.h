// Safe reading of the service's JSON replies, for every screen.
//
// A reply or a record may hold anything at any key: JSON null, a number
// where text was meant, an object where an array was meant, or no JSON at
// all. These readers turn each of those into the empty value of the kind
// the screen expects, so a screen never has to test kinds itself:
//
//   ns::Value reply = records::parse(result);               // always a dictionary
//   for (auto& row : records::list(reply).items()) ...      // "records" as rows
//   titleLabel->setText(records::text(row, "title"));       // null -> ""
//   titleLabel->setText(records::sharedText(row, "title")); // the row's own string
//   ns::Value article = records::item(reply);               // "records" as one record
//   if (records::succeeded(reply)) ...                      // "state" == "successful"
#pragma once

#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace records {

// The reply text as a dictionary: the parsed object, or a new empty
// dictionary when the text is not JSON or its top level is no object.
// fragment: parse as JSONFragmentValue (bare values accepted, and then
// replaced by the empty dictionary) instead of JSONValue; each logs its own
// failure line.
ns::Value parse(std::string_view text, bool fragment = false);

// Text of a string or a number; "" for null, absent and every other kind.
std::string text(const ns::Value& value);
std::string text(const ns::Value& record, std::string_view key);
// The same text, a string's shared with the record rather than copied: for
// what a screen keeps or shows and a reply may make large (titles).
ns::SharedText sharedText(const ns::Value& record, std::string_view key);

// The array itself, or a new empty array for anything else.
ns::Value array(const ns::Value& value);
ns::Value array(const ns::Value& record, std::string_view key);

// The dictionary itself, or a new empty dictionary for anything else.
ns::Value object(const ns::Value& value);
ns::Value object(const ns::Value& record, std::string_view key);

// The rows of a list reply: a new array of the dictionaries found in its
// "records" array (other elements are left out; no array: no rows).
ns::Value list(const ns::Value& reply);
// The one record of a detail reply: "records" as a dictionary, or empty.
ns::Value item(const ns::Value& reply);

// The reply's "state" and "message" texts.
std::string state(const ns::Value& reply);
std::string message(const ns::Value& reply);
// True only for the "state" "successful".
bool succeeded(const ns::Value& reply);

}  // namespace records
