// The JSON codec: a strict RFC 8259 reader into ns::Value (mutable arrays and
// dictionaries, keys in the order they came) and a writer back to text.
//
//   ns::Value reply = JSONValue(text);          // object or array, else nil
//   ns::Value any = JSONFragmentValue("12");    // any value at the top level
//   std::string arg = JSONRepresentation(v);    // compact text
//
// The reader refuses anything RFC 8259 does not allow: trailing commas,
// leading zeros, bad escapes, lone surrogates, raw control characters in
// strings, bytes that are not UTF-8, text after the value. Nesting deeper
// than the depth limit is refused, and so is a text that would build more
// than its size allows (ns::ReadBudget: values, strings, containers and keys
// counted as they are made). Integers that fit 64 bits stay exact
// (unsigned up to 2^64-1); larger ones are read as doubles. A repeated key
// keeps the last value, at the first key's place.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Value.h"

class JSONParser {
public:
    static constexpr std::size_t kDefaultMaxDepth = 512;

    explicit JSONParser(std::size_t maxDepth = kDefaultMaxDepth) : maxDepth_(maxDepth) {}

    // The value of the text, or nil (see error()) when it is not JSON.
    // With allowFragment false the top level must be an object or an array.
    ns::Value parse(std::string_view text, bool allowFragment = true);

    // Why the last parse failed ("" after a success): message and place.
    const std::string& error() const { return error_; }
    // The same as an array of texts, for the log.
    ns::Value errorTrace() const;

private:
    std::size_t maxDepth_;
    std::string error_;
};

class JSONWriter {
public:
    // Pretty output: two-space indentation, one member per line, "key": value.
    explicit JSONWriter(bool humanReadable = false) : humanReadable_(humanReadable) {}

    // The text of the value, or nothing (see error()) when it holds something
    // JSON cannot carry: data, dates, NaN or infinity, or nil at the top level.
    std::optional<std::string> write(const ns::Value& value);
    const std::string& error() const { return error_; }

private:
    bool humanReadable_;
    std::string error_;
};

// The top-level object or array of the text, or nil after the log line
// "-JSONValue failed. Error trace is: %@".
ns::Value JSONValue(std::string_view text);
// Any JSON value, or nil after "-JSONFragmentValue failed. Error trace is: %@".
ns::Value JSONFragmentValue(std::string_view text);

// Compact text of the value; "" (and a log line) when it cannot be written.
std::string JSONRepresentation(const ns::Value& value);
// The same, indented for people.
std::string JSONPrettyRepresentation(const ns::Value& value);
// True when the value is an object or array that can be written as JSON.
bool isValidJSONObject(const ns::Value& value);

// The JSON text of a string, quotes included: "a\"b".
std::string JSONQuote(std::string_view text);
// Appends the escaped characters of the text (no quotes); invalid UTF-8
// becomes U+FFFD so the output is always valid JSON. Every character XML 1.0
// cannot carry is escaped (controls other than tab, LF and CR as \u00XX; the
// non-characters U+FFFE and U+FFFF as \ufffe and \uffff), so the text can go
// into an XML document as it is, as the request arguments do.
void JSONEscapeAppend(std::string& out, std::string_view text);
// True when the whole text is one JSON number ("12", "-0.5", "1e3").
bool isJSONNumber(std::string_view text);
