// The statistics reporter's keychain store: one keyed-archived object (a
// number, a text or a dictionary) per name, kept as a generic-password item
// whose service and account are both the name, readable after the first
// unlock (uikit/Keychain.h).
//
//   MVOMSAKeyChain::save("MSA.EventIndex.Key", ns::Value(158));
//   ns::Value index = MVOMSAKeyChain::load("MSA.EventIndex.Key");   // nil when missing or damaged
//
// Items may have been written by other apps of the device: load() gives nil
// for anything that is not a well-formed archive of plain values, and callers
// read what it gives by kind (mervio/RecordReader.h).
#pragma once

#include <string>

#include "foundation/Value.h"

class MVOMSAKeyChain {
public:
    // The query naming the item: class generic password, service = account =
    // name, accessible after first unlock.
    static ns::Value getKeychainQuery(const std::string& name);
    // The item holds the archive of the object from now on, with the query's
    // accessibility: true when it was kept. An item that cannot be written
    // (a full disk) keeps what it held; an object that cannot be archived
    // deletes it.
    static bool save(const std::string& name, const ns::Value& object);
    // The unarchived object; nil when the item is missing or unreadable.
    static ns::Value load(const std::string& name);
    static void delete_(const std::string& name);
};
