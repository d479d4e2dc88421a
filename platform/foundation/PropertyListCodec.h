// What the property-list forms' readers and writers share
// (PropertyListBinary.h, PropertyListXML.h, PropertyListText.h).
#pragma once

#include <string>

namespace ns::plistcodec {

// Thrown by a writer for a value its form cannot hold; PropertyList.cpp
// makes it the write error.
struct Refusal {
    std::string reason;
};

// A reader's reason for a list nested deeper than kPropertyListMaxDepth: a
// list beyond this reader's bounds rather than bytes that are no list.
inline constexpr const char* kTooDeep = "nesting too deep";

}  // namespace ns::plistcodec
