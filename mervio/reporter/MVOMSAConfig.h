// The statistics reporter's settings, one set per process, with their
// defaults. The reporter, the server's configuration and the app change them
// from several threads: every read and write is locked, and settings() takes
// a consistent copy of all of them at once.
//
//   auto config = MVOMSAConfig::getInstance();
//   config->setReportStrategy(1);
//   MVOMSASettings now = config->settings();
//
// The upload goes to statReportURL, else to the built-in endpoint. The
// program sets statReportURL from "--stat-report URL" or KL_STAT_REPORT_URL
// (applyCommandLine), as it takes the service's URL.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Value.h"

struct MVOMSASettings {
    using Text = std::optional<std::string>;

    bool debugEnable = false;
    std::uint32_t sessionTimeoutSecs = 30;
    std::int32_t reportStrategy = 3;  // 1 to 7
    Text appkey;                      // reporter keys, "|" between them
    Text channel = "appstore";
    std::uint32_t maxStoreEventCount = 1024;
    std::uint32_t maxLoadEventCount = 30;
    std::uint32_t minBatchReportCount = 30;
    std::uint32_t maxSendRetryCount = 3;
    std::uint32_t sendPeriodMinutes = 1440;
    std::uint32_t maxParallelTimingEvents = 1024;
    bool smartReporting = true;
    bool autoExceptionCaught = true;
    std::uint32_t maxReportEventLength = 4096;  // UTF-16 units of an event's JSON text
    Text ym;
    Text account;
    std::int8_t accountType = 0;
    Text accountExt;
    bool statEnable = true;
    Text customerUserID;
    Text customerAppVersion;
    Text ifa;
    Text pushDeviceToken;
    Text statReportURL;
    std::int32_t maxSessionStatReportCount = -1;  // below 1: no limit
    Text op;
    Text cn;
    Text sp;
    std::function<void()> crashCallback;
};

class MVOMSAConfig {
public:
    using Text = MVOMSASettings::Text;

    static constexpr const char* kReportPath = "/stat/report";
    // No statistics host is published for this app: the built-in endpoint
    // names a host that never resolves. A reporter left unconfigured still
    // asks the resolver for it at every upload, and each upload fails, so its
    // stored events go after maxSendRetryCount tries, as any failed upload's.
    static constexpr const char* kBuiltInReportURL = "http://stat.mervio.invalid/stat/report";

    static std::shared_ptr<MVOMSAConfig> getInstance();
    // Tests: the next getInstance() makes a fresh set with the defaults.
    static void resetForTesting();

    // All settings at once.
    MVOMSASettings settings() const;

    // Where the upload goes: statReportURL when set, else the built-in endpoint.
    std::string reportURL() const;
    // The program's option: reads and removes "--stat-report URL" (or
    // "--stat-report=URL") from argv, else reads KL_STAT_REPORT_URL, and sets
    // statReportURL to it; a URL naming only a host gets the path
    // "/stat/report". False, with a message, when the option lacks its value
    // or the URL (of the option, else of the variable) is not an http or
    // https URL.
    static bool applyCommandLine(int& argc, char** argv, std::string* error = nullptr);

    // The app configuration's property from the configuration holder, or
    // `fallback` when it has none.
    ns::Value getCustomProperty(const std::string& key, const ns::Value& fallback) const;

    bool debugEnable() const { return get(&MVOMSASettings::debugEnable); }
    void setDebugEnable(bool v) { set(&MVOMSASettings::debugEnable, v); }
    std::uint32_t sessionTimeoutSecs() const { return get(&MVOMSASettings::sessionTimeoutSecs); }
    void setSessionTimeoutSecs(std::uint32_t v) { set(&MVOMSASettings::sessionTimeoutSecs, v); }
    std::int32_t reportStrategy() const { return get(&MVOMSASettings::reportStrategy); }
    void setReportStrategy(std::int32_t v) { set(&MVOMSASettings::reportStrategy, v); }
    Text appkey() const { return get(&MVOMSASettings::appkey); }
    void setAppkey(Text v) { set(&MVOMSASettings::appkey, std::move(v)); }
    Text channel() const { return get(&MVOMSASettings::channel); }
    void setChannel(Text v) { set(&MVOMSASettings::channel, std::move(v)); }
    std::uint32_t maxStoreEventCount() const { return get(&MVOMSASettings::maxStoreEventCount); }
    void setMaxStoreEventCount(std::uint32_t v) { set(&MVOMSASettings::maxStoreEventCount, v); }
    std::uint32_t maxLoadEventCount() const { return get(&MVOMSASettings::maxLoadEventCount); }
    void setMaxLoadEventCount(std::uint32_t v) { set(&MVOMSASettings::maxLoadEventCount, v); }
    std::uint32_t minBatchReportCount() const { return get(&MVOMSASettings::minBatchReportCount); }
    void setMinBatchReportCount(std::uint32_t v) { set(&MVOMSASettings::minBatchReportCount, v); }
    std::uint32_t maxSendRetryCount() const { return get(&MVOMSASettings::maxSendRetryCount); }
    void setMaxSendRetryCount(std::uint32_t v) { set(&MVOMSASettings::maxSendRetryCount, v); }
    std::uint32_t sendPeriodMinutes() const { return get(&MVOMSASettings::sendPeriodMinutes); }
    void setSendPeriodMinutes(std::uint32_t v) { set(&MVOMSASettings::sendPeriodMinutes, v); }
    std::uint32_t maxParallelTimingEvents() const { return get(&MVOMSASettings::maxParallelTimingEvents); }
    void setMaxParallelTimingEvents(std::uint32_t v) { set(&MVOMSASettings::maxParallelTimingEvents, v); }
    bool smartReporting() const { return get(&MVOMSASettings::smartReporting); }
    void setSmartReporting(bool v) { set(&MVOMSASettings::smartReporting, v); }
    bool autoExceptionCaught() const { return get(&MVOMSASettings::autoExceptionCaught); }
    void setAutoExceptionCaught(bool v) { set(&MVOMSASettings::autoExceptionCaught, v); }
    std::uint32_t maxReportEventLength() const { return get(&MVOMSASettings::maxReportEventLength); }
    void setMaxReportEventLength(std::uint32_t v) { set(&MVOMSASettings::maxReportEventLength, v); }
    Text ym() const { return get(&MVOMSASettings::ym); }
    void setYm(Text v) { set(&MVOMSASettings::ym, std::move(v)); }
    Text account() const { return get(&MVOMSASettings::account); }
    void setAccount(Text v) { set(&MVOMSASettings::account, std::move(v)); }
    std::int8_t accountType() const { return get(&MVOMSASettings::accountType); }
    void setAccountType(std::int8_t v) { set(&MVOMSASettings::accountType, v); }
    Text accountExt() const { return get(&MVOMSASettings::accountExt); }
    void setAccountExt(Text v) { set(&MVOMSASettings::accountExt, std::move(v)); }
    bool statEnable() const { return get(&MVOMSASettings::statEnable); }
    void setStatEnable(bool v) { set(&MVOMSASettings::statEnable, v); }
    Text customerUserID() const { return get(&MVOMSASettings::customerUserID); }
    void setCustomerUserID(Text v) { set(&MVOMSASettings::customerUserID, std::move(v)); }
    Text customerAppVersion() const { return get(&MVOMSASettings::customerAppVersion); }
    void setCustomerAppVersion(Text v) { set(&MVOMSASettings::customerAppVersion, std::move(v)); }
    Text ifa() const { return get(&MVOMSASettings::ifa); }
    void setIfa(Text v) { set(&MVOMSASettings::ifa, std::move(v)); }
    Text pushDeviceToken() const { return get(&MVOMSASettings::pushDeviceToken); }
    void setPushDeviceToken(Text v) { set(&MVOMSASettings::pushDeviceToken, std::move(v)); }
    Text statReportURL() const { return get(&MVOMSASettings::statReportURL); }
    void setStatReportURL(Text v) { set(&MVOMSASettings::statReportURL, std::move(v)); }
    std::int32_t maxSessionStatReportCount() const { return get(&MVOMSASettings::maxSessionStatReportCount); }
    void setMaxSessionStatReportCount(std::int32_t v) { set(&MVOMSASettings::maxSessionStatReportCount, v); }
    Text op() const { return get(&MVOMSASettings::op); }
    void setOp(Text v) { set(&MVOMSASettings::op, std::move(v)); }
    Text cn() const { return get(&MVOMSASettings::cn); }
    void setCn(Text v) { set(&MVOMSASettings::cn, std::move(v)); }
    Text sp() const { return get(&MVOMSASettings::sp); }
    void setSp(Text v) { set(&MVOMSASettings::sp, std::move(v)); }
    std::function<void()> crashCallback() const { return get(&MVOMSASettings::crashCallback); }
    void setCrashCallback(std::function<void()> v) { set(&MVOMSASettings::crashCallback, std::move(v)); }

private:
    template <typename T>
    T get(T MVOMSASettings::*field) const {
        std::lock_guard lock(mutex_);
        return settings_.*field;
    }
    template <typename T>
    void set(T MVOMSASettings::*field, T value) {
        std::lock_guard lock(mutex_);
        settings_.*field = std::move(value);
    }

    mutable std::mutex mutex_;
    MVOMSASettings settings_;
};
