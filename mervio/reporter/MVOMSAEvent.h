// The statistics reporter's events: a base with the fields every event has
// and one class per kind. An event knows its type number and writes itself
// as one JSON object text, which the store keeps and the upload sends.
//
//   auto event = std::make_shared<MVOMSACustomEvent>();   // numbered and timed here
//   event->eventID = "onBackground_MV";
//   std::string json = event->toJsonString();
//
// Every event takes the next process-wide index when it is made; the first
// event of a process continues from the index saved in the keychain under
// "MSA.EventIndex.Key" (plus 100, when it is 2 or more). The text is made
// when asked for: the index, time and session are the event's, the
// settings, user and environment those of that moment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "mervio/reporter/MVOMSARecords.h"

class MVOMSAEventProtocol {
public:
    virtual ~MVOMSAEventProtocol() = default;
    virtual std::int32_t getType() const = 0;
    // Adds the kind's own keys (replacing common ones of the same name).
    virtual void encode(ns::Value& dict) = 0;
};

class MVOMSAEvent : public MVOMSAEventProtocol {
public:
    static constexpr const char* kIndexKeychainKey = "MSA.EventIndex.Key";

    // Now as the event's time, and the next index.
    MVOMSAEvent();

    std::uint32_t sid = 0;  // session
    std::uint32_t ts = 0;   // seconds since 1970
    std::optional<std::string> appkey;  // none: the configured one
    bool isRealTime = false;
    std::uint64_t eventIndex = 0;

    std::int32_t getType() const override { return 0; }
    void encode(ns::Value&) override {}

    // The event as compact JSON text; "" when it cannot be written.
    std::string toJsonString();

    // Tests: the next event restores the saved index again.
    static void resetIndexRestoreForTesting();
};

class MVOMSAPageView : public MVOMSAEvent {
public:
    std::uint32_t duration = 0;
    std::optional<std::string> page;
    std::optional<std::string> refer;  // becomes "-" when it is the page itself

    std::int32_t getType() const override { return 1; }
    void encode(ns::Value& dict) override;
};

class MVOMSASessionEnv : public MVOMSAEvent {
public:
    std::int32_t getType() const override { return 2; }
    void encode(ns::Value& dict) override;
};

class MVOMSAErrorEvent : public MVOMSAEvent {
public:
    std::optional<std::string> error;
    std::uint32_t attr = 0;  // 0 an error text, 1 an exception
    std::optional<std::string> availableMemory;
    std::optional<std::string> freeDiskSpace;
    std::optional<std::string> processName;

    std::int32_t getType() const override { return 3; }
    void encode(ns::Value& dict) override;
};

class MVOMSACustomEvent : public MVOMSAEvent {
public:
    std::string eventID;
    ns::Value args;  // an array, or nil
    ns::Value kvs;   // a dictionary, or nil
    std::uint32_t duration = 0;

    std::int32_t getType() const override { return 1000; }
    void encode(ns::Value& dict) override;
};

class MVOMSAAdditionEvent : public MVOMSAEvent {
public:
    std::int32_t getType() const override { return 1001; }
    void encode(ns::Value& dict) override;
};

class MVOMSAAccountEvent : public MVOMSAEvent {
public:
    std::int32_t getType() const override { return 1001; }
    void encode(ns::Value& dict) override;
};

class MVOMSAMonitorStatEvent : public MVOMSAEvent {
public:
    std::optional<MVOMSAAppMonitorStat> stat;

    std::int32_t getType() const override { return 1002; }
    void encode(ns::Value& dict) override;
};

class MVOMSAGameUserEvent : public MVOMSAEvent {
public:
    std::optional<std::string> uid, world, level;

    std::int32_t getType() const override { return 1003; }
    void encode(ns::Value& dict) override;
};

class MVOMSATestSpeedEvent : public MVOMSAEvent {
public:
    std::optional<std::string> sp, op, cn;

    std::int32_t getType() const override { return 1004; }
    void encode(ns::Value& dict) override;
};
