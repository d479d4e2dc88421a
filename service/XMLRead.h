// Reading XML that others wrote with libxml2, in time and memory that follow
// the document's size: the service's reply readers and the XML document
// model read through here.
//
//   xmlDocPtr doc = xmlread::readDocument(xml, XML_PARSE_NONET, {.refuseDocumentType = true}, &refusal);
//   bool fine = xmlread::parse(xml, handler, &state, options, {}, &refusal);
//
// libxml2 does work that grows faster than the text in a few places: it
// checks each attribute of a tag against the others, and each default a
// document type declares for an element against the others on every such
// element; it looks a prefix up through every namespace in scope, and the
// tree it builds looks one up through every ancestor and appends each
// attribute after walking the ones before. A read here
// - refuses, before libxml2 sees it, a document with a start tag of more than
//   kMaxAttributes attributes (namespace declarations among them), and stops
//   at a declaration that would give an element more defaults than that, or
//   an entity whose text holds such a tag;
// - counts against an ns::ReadBudget of the document's size what the tree
//   holds (nodes, attributes, namespace records, text) and the steps those
//   lookups and checks take (in bytes that take as long to build), and
//   stops the parse once the allowance is spent;
// - counts libxml2's messages too (each is formatted and copied), and hands
//   on no more than kMaxMessages of them.
// A document refused or stopped is not well-formed to the caller.
#pragma once

#include <libxml/parser.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace xmlread {

// The most attributes one element may carry, written or declared as
// defaults, namespace declarations among them.
inline constexpr std::size_t kMaxAttributes = 1024;
// The most messages of one document handed on to the error handler.
inline constexpr std::size_t kMaxMessages = 100;
// What a message costs (libxml2 formats it and copies its texts).
inline constexpr std::size_t kMessageBytes = 1024;

// What libxml2's parser spends on one start tag of that many attributes and
// namespace declarations (written or defaulted), with that many
// declarations in scope (the tag's own among them) and that many defaults
// declared for the element: its checks of each against the others and its
// lookups of prefixes, in bytes of the read budget. A reader that answers
// for documents libxml2 would read otherwise counts the same, so that it
// answers for none the parse would stop.
std::size_t parserSteps(std::size_t attributes, std::size_t declarations, std::size_t inScope, std::size_t defaults);

struct Settings {
    // Stop at a document type declaration (the service's messages carry
    // none, and so no entity is ever declared or expanded).
    bool refuseDocumentType = false;
};

// Whether every start tag of the text carries at most kMaxAttributes
// attributes: the text as libxml2 reads it (UTF-8 or another encoding that
// leaves ASCII as it is, else converted from the encoding its first bytes
// or its declaration name), skipping comments, processing instructions,
// CDATA sections and a document type declaration.
bool startTagsWithinBound(std::string_view xml);

// The document as xmlReadMemory gives it with these options (without a URL
// or encoding), within the bounds above; nullptr otherwise, and `refusal`
// then says why when a bound was the reason.
xmlDocPtr readDocument(std::string_view xml, int options, const Settings& settings, std::string* refusal = nullptr);

// Parses the text with the caller's SAX handler and user data and these
// options, within the bounds (memory the caller's callbacks build is the
// caller's to count). True when the document was well-formed and nothing
// stopped it.
bool parse(std::string_view xml, const xmlSAXHandler& handler, void* userData, int options, const Settings& settings,
           std::string* refusal = nullptr);

}  // namespace xmlread
