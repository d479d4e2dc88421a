// The plain records that travel with the statistics reporter's events: the
// reporting user, the device environment and a monitored interface call.
// They are values: whoever keeps one keeps a copy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The reporting user. userType is a bit set: 0 first seen, 1 seen again on a
// later day, bit value 2 the app's version changed (MVOMSAHelper::getUser).
struct MVOMSAUser {
    std::string uid;
    std::int32_t userType = 0;
    std::string appVer;
    std::uint32_t tagTime = 0;  // seconds since 1970 when the type last changed
};

// The device environment, built once by MVOMSAHelper. Optional fields are
// absent when the device has no answer.
struct MVOMSAEnv {
    std::string platform;
    std::string os_version;
    std::optional<std::string> language;
    std::string resolution;
    std::string deviceid;
    std::optional<std::string> mccmnc;
    std::string timezone;
    std::string app_version;
    std::string sdk_version;
    std::string devicename;
    std::string modulename;
    std::optional<std::string> ifa;  // UUID texts
    std::optional<std::string> ifv;
    bool jailbroken = false;
    std::optional<std::string> wf;
};

// One monitored interface call, as the app reports it.
struct MVOMSAAppMonitorStat {
    std::optional<std::string> interface;
    std::uint32_t requestPackageSize = 0;
    std::uint32_t responsePackageSize = 0;
    std::uint64_t consumedMilliseconds = 0;
    std::int32_t returnCode = 0;
    std::int32_t resultType = 0;
    std::uint32_t sampling = 0;
};
