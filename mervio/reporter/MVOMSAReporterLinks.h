// The two parts of the statistics reporter that the events and the helper
// reach without owning them: the store, which keeps the reporting user, and
// the configuration holder, which keeps the server's configuration. Each
// fills its interface when it starts; until then the helper has no user
// record (getUser() gives none) and events carry the configuration "cfg" as
// {"1":{},"2":{}}.
//
//   MVOMSAReporterLinks::setUserStorage(store);        // the store, at its creation
//   MVOMSAReporterLinks::setConfigSource(holder);      // the holder, at its creation
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "mervio/reporter/MVOMSARecords.h"

// The store's side: the user row.
class MVOMSAUserStorage {
public:
    virtual ~MVOMSAUserStorage() = default;
    // The stored user; a first use creates it from the environment with
    // type 0. None when the store cannot be read.
    virtual std::optional<MVOMSAUser> loadUser() = 0;
    // Writes the user's type, app version and tag time (may return before
    // the write is done).
    virtual void storeUser(const MVOMSAUser& user) = 0;
};

// The configuration holder's side.
class MVOMSAConfigSource {
public:
    virtual ~MVOMSAConfigSource() = default;
    // Adds "cfg": {"1": {"v": <SDK configuration version>}, "2": {"v": <app
    // configuration version>}}, each inner object empty without one.
    virtual void encode(ns::Value& dict) = 0;
    // The app configuration's property, or nil.
    virtual ns::Value getAppProperty(const std::string& key) = 0;
};

namespace MVOMSAReporterLinks {

void setUserStorage(std::shared_ptr<MVOMSAUserStorage> storage);
std::shared_ptr<MVOMSAUserStorage> userStorage();
void setConfigSource(std::shared_ptr<MVOMSAConfigSource> source);
std::shared_ptr<MVOMSAConfigSource> configSource();

// The source's encode, or the empty "cfg" without a source.
void encodeConfig(ns::Value& dict);

}  // namespace MVOMSAReporterLinks
