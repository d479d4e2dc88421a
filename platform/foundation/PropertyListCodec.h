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

}  // namespace ns::plistcodec
