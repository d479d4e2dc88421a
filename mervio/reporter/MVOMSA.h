// The statistics reporter: MSAMV, the facade through which the SDK starts
// it and reports its own events, and MVOMSA, the reporter with its tracking
// operations as class methods.
//
//   MSAMV::startWithAppkey(appId);   // the key "IMVOP" + app id; a session opens
//   MSAMV::onBackground();           // "onBackground_MV", sent at once
//   MVOMSA::trackCustomKeyValueEvent("share", ns::Value::dictionary({{"to", "wx"}}));
//
// Every event is routed by the report strategy (reportStrategy, 1 to 7; a
// real-time event counts as 1) on the serial queue "VovuruzAnalysis": sent
// at once, stored and sent in batches (at every new session under 3, from
// minBatchReportCount under 2, after sendPeriodMinutes under 5), or dropped
// (7 off Wi-Fi). With smartReporting, Wi-Fi sends everything at once; an
// unreachable network stores it. Events reported before the reporter exists
// wait in a buffer of 128 and go first, in order, with the next event.
//
// Sessions: a check with the time-out test after sessionTimeoutSecs of
// silence, the first check at or after local midnight, or a check with none
// open starts one, which reports the session's environment event. Becoming
// active and entering the foreground check with the test; resigning active
// and entering the background without it.
//
// Thread-safe. The tracking operations run on the caller's thread; the
// reporter is published only once its start-up is done, so an event reported
// meanwhile (an error in a stored configuration) waits in the buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Dispatch.h"
#include "foundation/Value.h"
#include "mervio/reporter/MVOMSAEvent.h"
#include "mervio/reporter/MVOMSARecords.h"

// An exception as the reporter records it.
struct MVOMSAException {
    std::string description;
    ns::Value callStackSymbols = ns::Value::array();  // texts
};

class MVOMSA : public std::enable_shared_from_this<MVOMSA> {
public:
    using Key = std::optional<std::string>;  // an appkey; none: the configured one

    static constexpr std::size_t kBufferLimit = 128;
    static constexpr const char* kSentTimeKey = "MSA_SDK_DATA_SENT_TS";  // user defaults, strategy 5

    // The reporter, made (and started up) on first use.
    static std::shared_ptr<MVOMSA> getInstance();
    // Tests: waits until the reporter's queues (routing, store, holder,
    // upload) are all idle, work they handed each other included.
    static void waitForQueuesForTesting();
    // Tests: waits until the reporter's queues are idle, then forgets the
    // reporter, its store, holder and upload, and every event, table and
    // session it kept, as a new process would.
    static void resetForTesting();
    // At the end of the program: the reporter finishes what its queues hold
    // and stops them, with its store closed, before the process tears down
    // what they use. Uploads get MVOMSADispatcher::kExitGraceSeconds; the
    // one still in flight then is stopped, and those after it are not tried:
    // their events wait again at once, and those of the one stopped in
    // flight at the next start, with no failure counted against them.
    static void finishBeforeExit();

    // Starts (once statistics are on): keys given again pile up, "|" between them.
    static void startWithAppkey(const std::string& key);
    // Statistics go off (false) for an SDK version above "1.4.6"; else starts.
    static bool startWithAppkey(const std::string& key, const std::string& checkedSdkVersion);
    // Sends n stored events (-1: all).
    static void commitCachedStats(std::int32_t n);

    static void trackPageViewBegin(const std::string& page, const Key& appkey = std::nullopt);
    static void trackPageViewEnd(const std::string& page, const Key& appkey = std::nullopt, bool isRealTime = false);
    static void trackDirectPageViewBegin(const std::string& page, const Key& appkey = std::nullopt);
    static void trackDirectPageViewEnd(const std::string& page, const Key& appkey = std::nullopt,
                                       bool isRealTime = false);
    static void trackException(const std::optional<MVOMSAException>& exception, const Key& appkey = std::nullopt,
                               bool isRealTime = false);
    static void trackError(const std::string& error, const Key& appkey = std::nullopt, bool isRealTime = false);
    // An empty event id is reported; none is not.
    static void trackCustomEvent(const std::optional<std::string>& eventId, const ns::Value& args,
                                 const Key& appkey = std::nullopt, bool isRealTime = false);
    static void trackCustomEventBegin(const std::string& eventId, const ns::Value& args,
                                      const Key& appkey = std::nullopt);
    static void trackCustomEventEnd(const std::string& eventId, const ns::Value& args,
                                    const Key& appkey = std::nullopt, bool isRealTime = false);
    static void trackCustomKeyValueEvent(const std::string& eventId, const ns::Value& props,
                                         const Key& appkey = std::nullopt, bool isRealTime = false);
    static void trackCustomKeyValueEventBegin(const std::string& eventId, const ns::Value& props,
                                              const Key& appkey = std::nullopt);
    static void trackCustomKeyValueEventEnd(const std::string& eventId, const ns::Value& props,
                                            const Key& appkey = std::nullopt, bool isRealTime = false);
    static void trackCustomKeyValueEventDuration(std::uint32_t duration, const std::string& eventId,
                                                 const ns::Value& props, const Key& appKey = std::nullopt,
                                                 bool isRealTime = false);
    static void startNewSession(bool isRealTime = false);
    // The next check with the time-out test starts a new session.
    static void stopSession();
    static void reportYM(const std::string& ym, const Key& appkey = std::nullopt, bool isRealTime = false);
    static void reportAccount(const std::string& account, std::uint32_t type, const std::string& ext,
                              const Key& appkey = std::nullopt, bool isRealTime = false);
    static void reportAppMonitorStat(const std::optional<MVOMSAAppMonitorStat>& stat, const Key& appkey = std::nullopt,
                                     bool isRealTime = false);
    static void trackGameUser(const std::optional<std::string>& uid, const std::string& world,
                              const std::string& level, const Key& appkey = std::nullopt, bool isRealTime = false);
    static std::string getMsaUDID();

    ns::SerialQueue& getTaskQueue() { return queue_; }
    void handleCrashReport() {}

    std::optional<std::string> keyForKeyChain() const;
    void setKeyForKeyChain(std::optional<std::string> key);
    std::optional<std::string> msaCurrentPage() const;
    void setMsaCurrentPage(std::optional<std::string> page);
    std::optional<std::string> lastPage() const;
    void setLastPage(std::optional<std::string> page);

    // The application's notifications.
    void onWillApplicationResignActive();
    void onWillApplicationEnterBackground();
    void onDidApplicationBecomeActive();
    void onWillApplicationEnterForeground();
    // Closes the store and keeps the event index in the keychain.
    void onWillApplicationWillTerminate();

    MVOMSA(const MVOMSA&) = delete;
    MVOMSA& operator=(const MVOMSA&) = delete;

private:
    MVOMSA() = default;
    void init();

    ns::SerialQueue queue_{"VovuruzAnalysis"};
    mutable std::mutex mutex_;
    std::optional<std::string> keyForKeyChain_, msaCurrentPage_, lastPage_;
};

// The key under which an open timed event waits: the event id, "[", then
// each argument's description.
std::string MVOMSATimingKeyForArgs(const std::string& eventId, const ns::Value& args);
// The event id, "{", then each property's key and value descriptions.
std::string MVOMSATimingKeyForProps(const std::string& eventId, const ns::Value& props);

// The SDK's reporter: its own key, "IMVOP" followed by the app id.
class MSAMV {
public:
    static constexpr const char* kKeyPrefix = "IMVOP";
    static constexpr const char* kBackgroundEvent = "onBackground_MV";

    static std::shared_ptr<MSAMV> getInstance();
    static void resetForTesting();

    // "IMVOP" + the app id; none for no app id.
    static std::optional<std::string> ConvertMVappkey(const std::optional<std::string>& appId);
    // Keeps the key and starts the reporter with it (no app id: not started).
    static void startWithAppkey(const std::optional<std::string>& appId);
    // Reports "onBackground_MV" under the SDK's key, at once.
    static void onBackground();

    std::optional<std::string> appkey() const;
    void setAppkey(std::optional<std::string> key);

private:
    mutable std::mutex mutex_;
    std::optional<std::string> appkey_;
};
