// The configuration the statistics server sends back: the SDK's (type 1),
// whose keys change the reporter's settings ("rs" the report strategy,
// "__HIBERNATE__" statistics off, "__MSA_KILL__" tracking off,
// "__MSA_TEST_SPEED__" a speed test), and the app's (type 2), free
// properties. The holder applies what the store kept when the reporter
// starts, replaces a type when a reply brings a newer version (and has the
// store keep it), and writes the versions it holds into session events.
//
//   auto holder = MVOMSADataConfigHolder::initSingleton([] {});   // applies the stored ones
//   holder->updateOnlineConfig(reply);                            // {"ret":0,"cfg":{"1":{"c":{...},"v":3,"m":"..."}}}
//   holder->getAppProperty("key");
//
// Its own serial queue (labelled "StatStore" too) runs the speed test, whose
// result event it writes into the store's events table over a connection of
// its own, under the "__MSA_LOCK__" lock. Thread-safe: what it holds is
// read and replaced under its lock.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Dispatch.h"
#include "foundation/Value.h"
#include "mervio/reporter/MVOMSADatabase.h"
#include "mervio/reporter/MVOMSAReporterLinks.h"
#include "mervio/reporter/MVOMSAStore.h"

class MVOMSADataConfigHolder : public MVOMSAConfigSource, public std::enable_shared_from_this<MVOMSADataConfigHolder> {
public:
    enum Type : std::uint32_t { kSDK = 1, kApp = 2 };

    // Makes the holder when there is none (initWithBlock), and answers it.
    // It becomes the events' configuration source.
    static std::shared_ptr<MVOMSADataConfigHolder> initSingleton(const std::function<void()>& completion);
    // The holder, or nullptr before initSingleton.
    static std::shared_ptr<MVOMSADataConfigHolder> getInstance();
    // Tests: closes its connection and forgets it (its queue must be idle).
    static void resetForTesting();

    ns::SerialQueue& taskQueue() { return queue_; }

    // Applies one configuration; content that is not a JSON object is
    // reported as an error event and applies nothing.
    void setConfig(const MVOMSADataConfig& config);
    // The SDK's (1) or the app's (2) configuration in force.
    std::optional<MVOMSADataConfig> getConfig(std::uint32_t type) const;
    // Applies and stores the server form of the type's configuration when its
    // version is higher than the one held (none counts as 0).
    void updateConfig(const ns::Value& dict, std::uint32_t type);
    // A successful upload's reply: "cfg" {"1": ..., "2": ...}, unless the
    // reply carries "mid".
    void updateOnlineConfig(const ns::Value& reply);

    ns::Value getAppProperty(const std::string& key) override;
    // "cfg": {"1": {"v": <version>}, "2": {"v": <version>}}, {} for a type not held.
    void encode(ns::Value& dict) override;

    sqlite3* getDB();
    void closeDB();
    // Closes, then removes ".vovuruz_analysis.db" from Documents.
    void deleteDB();

    MVOMSADataConfigHolder(const MVOMSADataConfigHolder&) = delete;
    MVOMSADataConfigHolder& operator=(const MVOMSADataConfigHolder&) = delete;
    ~MVOMSADataConfigHolder() override;

private:
    MVOMSADataConfigHolder();
    void initWithBlock(const std::function<void()>& completion);
    void applySDKContent(const ns::Value& content);
    // On the holder's queue: the test, then its event into the events table
    // (none when the program's end stopped the test).
    void runSpeedTest(const std::string& text);

    ns::SerialQueue queue_{"StatStore"};
    mutable std::mutex mutex_;
    std::optional<MVOMSADataConfig> sdkCfg_, appCfg_;
    ns::Value appProperties_;
    sqlite3* db_ = nullptr;  // under the database lock
    mvomsa::CachedStatement insertEvent_;
};
