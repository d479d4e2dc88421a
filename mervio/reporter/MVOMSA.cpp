#include "mervio/reporter/MVOMSA.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <random>
#include <vector>

#include "foundation/DateTime.h"
#include "foundation/Log.h"
#include "foundation/Notification.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "foundation/UserDefaults.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADataConfigHolder.h"
#include "mervio/reporter/MVOMSADispatcher.h"
#include "mervio/reporter/MVOMSAHelper.h"
#include "mervio/reporter/MVOMSAInstance.h"
#include "mervio/reporter/MVOMSAKeyChain.h"
#include "mervio/reporter/MVOMSAReachability.h"
#include "mervio/reporter/MVOMSAStore.h"

namespace {

using EventPtr = std::shared_ptr<MVOMSAEvent>;
using Key = MVOMSA::Key;

// ---- The reporter ----

// Published once its start-up is done: until then, events wait in the buffer.
mvomsa::Instance<MVOMSA>& reporterInstance() {
    static mvomsa::Instance<MVOMSA> reporter;
    return reporter;
}

std::shared_ptr<MVOMSA> existing() { return reporterInstance().get(); }

// ---- The engine's state ----

// The session and the dispatching share one lock: a session check runs as
// one piece with respect to other checks and to dispatching. It is taken
// before the buffer's lock.
struct SessionState {
    std::recursive_mutex mutex;
    std::uint32_t currentId = 0;
    std::uint32_t lastActivity = 0;
    std::int64_t nextMidnight = 0;
    std::uint32_t reportCount = 0;
    bool additionSent = false;
    std::mt19937 ids{std::random_device{}()};
};

SessionState& session() {
    static SessionState s;
    return s;
}

struct Buffer {
    std::mutex mutex;
    std::vector<EventPtr> events;
};

Buffer& buffer() {
    static Buffer b;
    return b;
}

// Open timed events by key, with their start; made on first use.
struct TimingTable {
    std::mutex mutex;
    std::optional<std::map<std::string, std::uint32_t>> starts;
};

TimingTable& pageTable() {
    static TimingTable t;
    return t;
}

TimingTable& eventTable() {
    static TimingTable t;
    return t;
}

std::uint32_t nowSeconds() { return static_cast<std::uint32_t>(ns::now().seconds); }

std::shared_ptr<MVOMSAConfig> config() { return MVOMSAConfig::getInstance(); }

bool statEnabled() { return config()->statEnable(); }

// The guard of the tracking operations.
bool trackingAllowed() { return MVOMSAHelper::getInstance()->checkMSAEnable() && statEnabled(); }

void debugLog(const std::string& line) {
    if (config()->debugEnable()) ns::NSLog("%@", ns::Value(line));
}

// ---- Sending ----

void sendAllCached() { MVOMSAStore::getInstance()->sendCachedEvents(-1); }

void sendNowCallback(bool success, const EventPtr& event, std::int32_t n) {
    auto store = MVOMSAStore::getInstance();
    if (!success) {
        store->storeEvent(event, true, nullptr);
        return;
    }
    if (store->storedEventCount() != 0) store->sendCachedEvents(n);
}

// Goes now when nothing waits; else waits behind the stored ones, which all go.
void sendEventNow(const EventPtr& event, std::int32_t n) {
    auto store = MVOMSAStore::getInstance();
    if (store->storedEventCount() == 0) {
        MVOMSADispatcher::getInstance()->sendEvent(
            event, [n](bool success, const EventPtr& sent) { sendNowCallback(success, sent, n); });
    } else {
        store->storeEvent(event, false, sendAllCached);
    }
}

void sendBatchIfDue() {
    std::uint32_t batch = config()->minBatchReportCount();
    auto store = MVOMSAStore::getInstance();
    if (store->storedEventCount() >= batch) store->sendCachedEvents(static_cast<std::int32_t>(batch));
}

// Strategy 5: everything stored goes once sendPeriodMinutes have passed
// since the last time.
void sendIfPeriodPassed() {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    long long now = nowSeconds();
    long long last = defaults->integerForKey(MVOMSA::kSentTimeKey);
    if (last != 0 && now - last < static_cast<long long>(config()->sendPeriodMinutes()) * 60) return;
    if (last != 0) sendAllCached();
    defaults->setInteger(now, MVOMSA::kSentTimeKey);
    defaults->synchronize();
}

// On "VovuruzAnalysis".
void routeEvent(const EventPtr& event) {
    MVOMSASettings settings = config()->settings();
    if (!settings.statEnable) return;
    std::int32_t strategy = event->isRealTime ? 1 : settings.reportStrategy;
    auto reachability = MVOMSAReachability::reachabilityForInternetConnection();
    bool wifi = reachability && reachability->isReachableViaWiFi();
    auto store = MVOMSAStore::getInstance();
    if (strategy == 7) {
        if (wifi) MVOMSADispatcher::getInstance()->sendEvent(event, nullptr);
        return;
    }
    if (!reachability || !reachability->isReachable()) {
        store->storeEvent(event, false, nullptr);
        return;
    }
    if (settings.smartReporting && wifi) strategy = 1;
    switch (strategy) {
        case 1: sendEventNow(event, -1); break;
        case 2: store->storeEvent(event, false, sendBatchIfDue); break;
        case 3:
        case 6: store->storeEvent(event, false, nullptr); break;
        case 4:
            if (wifi)
                sendEventNow(event, -1);
            else
                store->storeEvent(event, false, nullptr);
            break;
        case 5:
            store->storeEvent(event, false, nullptr);
            sendIfPeriodPassed();
            break;
        default: break;
    }
}

void dispatchEvent(const EventPtr& event) {
    if (!event) return;
    SessionState& s = session();
    std::lock_guard lock(s.mutex);
    std::int32_t limit = config()->maxSessionStatReportCount();
    if (limit >= 1 && s.reportCount >= static_cast<std::uint32_t>(limit)) return;
    ++s.reportCount;
    if (auto reporter = existing()) reporter->getTaskQueue().async([event] { routeEvent(event); });
}

void reportEvent(const EventPtr& event) {
    std::lock_guard sessionLock(session().mutex);
    std::vector<EventPtr> waiting;
    {
        std::lock_guard lock(buffer().mutex);
        if (!existing()) {
            if (buffer().events.size() < MVOMSA::kBufferLimit) buffer().events.push_back(event);
            return;
        }
        waiting.swap(buffer().events);
    }
    for (const auto& w : waiting) dispatchEvent(w);
    dispatchEvent(event);
}

template <typename T>
std::shared_ptr<T> made(std::uint32_t sid, const Key& appkey, bool isRealTime) {
    auto event = std::make_shared<T>();
    event->sid = sid;
    event->appkey = appkey;
    event->isRealTime = isRealTime;
    return event;
}

// ---- Sessions ----

// Draws an id from the reporter's own generator (the process-wide one is
// left to others) and resets the session's count and next midnight.
std::uint32_t newSessionId() {
    SessionState& s = session();
    std::lock_guard lock(s.mutex);
    s.reportCount = 0;
    auto t = static_cast<std::int64_t>(ns::now().seconds);
    ns::DateComponents c = ns::dateComponents(ns::Date{static_cast<double>(t)});
    s.nextMidnight = t + 86400 - (c.hour * 3600 + c.minute * 60 + c.second);
    return s.ids() & 0x7FFFFFFFu;
}

void reportAdditionEvent(bool force, const Key& appkey, bool isRealTime) {
    if (!statEnabled()) return;
    SessionState& s = session();
    std::lock_guard lock(s.mutex);
    if (!force && s.additionSent) return;
    s.additionSent = true;
    if (!config()->ym()) return;
    reportEvent(made<MVOMSAAdditionEvent>(s.currentId, appkey, isRealTime));
}

void startSessionEnv(const Key& appkey, bool isRealTime) {
    SessionState& s = session();
    std::lock_guard lock(s.mutex);
    if (s.currentId != 0 && config()->reportStrategy() == 3) sendAllCached();
    reportEvent(made<MVOMSASessionEnv>(s.currentId, appkey, isRealTime));
    reportAdditionEvent(true, appkey, false);
}

std::uint32_t checkSession(bool timeoutTest, const Key& appkey, bool isRealTime) {
    SessionState& s = session();
    std::lock_guard lock(s.mutex);
    std::uint32_t now = nowSeconds();
    auto startNew = [&] {
        s.currentId = newSessionId();
        startSessionEnv(appkey, isRealTime);
    };
    if (timeoutTest && now - s.lastActivity >= config()->sessionTimeoutSecs()) startNew();
    if (static_cast<std::int64_t>(now) >= s.nextMidnight) startNew();
    s.lastActivity = now;
    if (s.currentId == 0) startNew();
    return s.currentId;
}

// ---- Timed events ----

void openTimed(TimingTable& table, const std::string& key) {
    std::uint32_t limit = config()->maxParallelTimingEvents();
    std::lock_guard lock(table.mutex);
    if (!table.starts) table.starts.emplace();
    if (table.starts->count(key) || table.starts->size() >= limit) return;
    (*table.starts)[key] = nowSeconds();
}

// The seconds since the key was opened (at least 1), the key closed; none
// when it is not open.
std::optional<std::uint32_t> closeTimed(TimingTable& table, const std::string& key) {
    std::lock_guard lock(table.mutex);
    if (!table.starts) return std::nullopt;
    auto found = table.starts->find(key);
    if (found == table.starts->end()) return std::nullopt;
    std::uint32_t now = nowSeconds();
    std::uint32_t duration = now > found->second ? now - found->second : 0;
    table.starts->erase(found);
    return std::max<std::uint32_t>(duration, 1);
}

void reportCustom(const std::string& eventId, const ns::Value& args, const ns::Value& kvs, std::uint32_t duration,
                  const Key& appkey, bool isRealTime) {
    auto event = made<MVOMSACustomEvent>(checkSession(false, appkey, false), appkey, isRealTime);
    event->eventID = eventId;
    event->args = args;
    event->kvs = kvs;
    event->duration = duration;
    reportEvent(event);
}

void reset(TimingTable& table) {
    std::lock_guard lock(table.mutex);
    table.starts.reset();
}

}  // namespace

std::string MVOMSATimingKeyForArgs(const std::string& eventId, const ns::Value& args) {
    std::string key = eventId + "[";
    for (const ns::Value& arg : args.items()) key += arg.description();
    return key;
}

std::string MVOMSATimingKeyForProps(const std::string& eventId, const ns::Value& props) {
    std::string key = eventId + "{";
    for (const auto& [k, v] : props.entries()) key += k + v.description();
    return key;
}

// ---- MVOMSA ----

std::shared_ptr<MVOMSA> MVOMSA::getInstance() {
    return reporterInstance().getOrMake([] {
        auto reporter = std::shared_ptr<MVOMSA>(new MVOMSA());
        reporter->init();
        return reporter;
    });
}

void MVOMSA::init() {
    auto helper = MVOMSAHelper::getInstance();
    helper->setMSAEnableFlag(true);
    auto store = MVOMSAStore::getInstance();
    MVOMSADataConfigHolder::initSingleton([] {});
    helper->getUser();
    store->launch();
    if (config()->reportStrategy() == 3) store->sendCachedEvents(-1);
    config()->setPushDeviceToken(helper->getPSDeviceToken());

    auto& center = ns::NotificationCenter::defaultCenter();
    std::weak_ptr<MVOMSA> weak = shared_from_this();
    auto observe = [&](const char* name, void (MVOMSA::*handler)()) {
        center.addObserver(weak, name, [weak, handler](const ns::Notification&) {
            if (auto self = weak.lock()) (self.get()->*handler)();
        });
    };
    observe(ns::UIApplicationWillResignActiveNotification, &MVOMSA::onWillApplicationResignActive);
    observe(ns::UIApplicationDidEnterBackgroundNotification, &MVOMSA::onWillApplicationEnterBackground);
    observe(ns::UIApplicationDidBecomeActiveNotification, &MVOMSA::onDidApplicationBecomeActive);
    observe(ns::UIApplicationWillEnterForegroundNotification, &MVOMSA::onWillApplicationEnterForeground);
    observe(ns::UIApplicationWillTerminateNotification, &MVOMSA::onWillApplicationWillTerminate);
}

void MVOMSA::waitForQueuesForTesting() {
    // Work of one queue hands work to the others: wait until a whole round finds them all idle.
    for (bool busy = true; busy;) {
        busy = false;
        std::vector<ns::SerialQueue*> queues;
        if (auto reporter = existing()) queues.push_back(&reporter->getTaskQueue());
        auto store = MVOMSAStore::existing();
        auto holder = MVOMSADataConfigHolder::getInstance();
        auto dispatcher = MVOMSADispatcher::getInstance();
        if (store) queues.push_back(&store->taskQueue());
        if (holder) queues.push_back(&holder->taskQueue());
        queues.push_back(&dispatcher->taskQueue());
        for (ns::SerialQueue* queue : queues) {
            if (queue->pending() == 0) continue;
            busy = true;
            queue->waitUntilIdle();
        }
    }
}

namespace {

// Lets queued work finish, then forgets the reporter and its singletons, so
// nothing runs against the statistics store while the process tears it down.
void finishAndForget() {
    MVOMSA::waitForQueuesForTesting();
    reporterInstance().take();
    MSAMV::resetForTesting();
    {
        SessionState& s = session();
        std::lock_guard lock(s.mutex);
        s.currentId = s.lastActivity = s.reportCount = 0;
        s.nextMidnight = 0;
        s.additionSent = false;
    }
    {
        std::lock_guard lock(buffer().mutex);
        buffer().events.clear();
    }
    reset(pageTable());
    reset(eventTable());
    MVOMSADataConfigHolder::resetForTesting();
    MVOMSAStore::resetForTesting();
    MVOMSADispatcher::resetForTesting();
}

}  // namespace

void MVOMSA::resetForTesting() { finishAndForget(); }

// The uploads get a moment to finish (a server that answers takes
// milliseconds); one that takes longer is stopped, its events kept for the
// next start, so that the program ends at once however the server behaves.
// The batches queued behind it wait again in the store before it closes.
void MVOMSA::finishBeforeExit() {
    auto dispatcher = MVOMSADispatcher::getInstance();
    dispatcher->stopUploadsAfter(MVOMSADispatcher::kExitGraceSeconds);
    finishAndForget();
    dispatcher->stopUploads();
}

void MVOMSA::startWithAppkey(const std::string& key) {
    if (!statEnabled() || key.empty()) return;
    auto settings = config();
    std::optional<std::string> configured = settings->appkey();
    settings->setAppkey(configured ? *configured + "|" + key : key);
    getInstance();
    checkSession(true, std::nullopt, false);
}

bool MVOMSA::startWithAppkey(const std::string& key, const std::string& checkedSdkVersion) {
    if (ns::compareNumeric(checkedSdkVersion, MVOMSAHelper::kSDKVersion) > 0) {
        config()->setStatEnable(false);
        return false;
    }
    startWithAppkey(key);
    return true;
}

void MVOMSA::commitCachedStats(std::int32_t n) {
    if (statEnabled() && existing()) MVOMSAStore::getInstance()->sendCachedEvents(n);
}

void MVOMSA::trackPageViewBegin(const std::string& page, const Key& appkey) {
    if (!trackingAllowed() || page.empty()) return;
    getInstance()->setMsaCurrentPage(page);
    trackDirectPageViewBegin(page, appkey);
}

void MVOMSA::trackPageViewEnd(const std::string& page, const Key& appkey, bool isRealTime) {
    if (!trackingAllowed() || page.empty()) return;
    trackDirectPageViewEnd(page, appkey, isRealTime);
    getInstance()->setMsaCurrentPage(std::nullopt);
}

void MVOMSA::trackDirectPageViewBegin(const std::string& page, const Key& appkey) {
    if (!statEnabled() || page.empty()) return;
    reportAdditionEvent(false, appkey, false);
    openTimed(pageTable(), page);
    checkSession(true, appkey, false);
}

void MVOMSA::trackDirectPageViewEnd(const std::string& page, const Key& appkey, bool isRealTime) {
    if (!statEnabled() || page.empty()) return;
    std::optional<std::uint32_t> duration = closeTimed(pageTable(), page);
    if (!duration) return;
    auto reporter = getInstance();
    auto event = made<MVOMSAPageView>(checkSession(false, appkey, false), appkey, isRealTime);
    event->page = page;
    event->refer = reporter->lastPage();
    event->duration = *duration;
    reporter->setLastPage(page);
    reportEvent(event);
}

void MVOMSA::trackException(const std::optional<MVOMSAException>& exception, const Key& appkey, bool isRealTime) {
    if (!trackingAllowed() || !exception) return;
    auto event = made<MVOMSAErrorEvent>(newSessionId(), appkey, isRealTime);
    event->error = exception->description + "\n" + exception->callStackSymbols.description();
    event->attr = 1;
    reportEvent(event);
}

void MVOMSA::trackError(const std::string& error, const Key& appkey, bool isRealTime) {
    if (!trackingAllowed() || error.empty()) return;
    auto event = made<MVOMSAErrorEvent>(checkSession(false, appkey, false), appkey, isRealTime);
    event->error = error;
    event->attr = 0;
    reportEvent(event);
}

void MVOMSA::trackCustomEvent(const std::optional<std::string>& eventId, const ns::Value& args, const Key& appkey,
                              bool isRealTime) {
    if (!trackingAllowed() || !eventId) return;
    reportAdditionEvent(false, std::nullopt, false);
    reportCustom(*eventId, args, {}, 0, appkey, isRealTime);
}

void MVOMSA::trackCustomEventBegin(const std::string& eventId, const ns::Value& args, const Key& appkey) {
    if (!trackingAllowed() || eventId.empty()) return;
    reportAdditionEvent(false, appkey, false);
    openTimed(eventTable(), MVOMSATimingKeyForArgs(eventId, args));
}

void MVOMSA::trackCustomEventEnd(const std::string& eventId, const ns::Value& args, const Key& appkey,
                                 bool isRealTime) {
    if (!trackingAllowed() || eventId.empty()) return;
    if (auto duration = closeTimed(eventTable(), MVOMSATimingKeyForArgs(eventId, args)))
        reportCustom(eventId, args, {}, *duration, appkey, isRealTime);
}

void MVOMSA::trackCustomKeyValueEvent(const std::string& eventId, const ns::Value& props, const Key& appkey,
                                      bool isRealTime) {
    if (!trackingAllowed() || eventId.empty()) return;
    reportAdditionEvent(false, std::nullopt, false);
    reportCustom(eventId, {}, props, 0, appkey, isRealTime);
}

void MVOMSA::trackCustomKeyValueEventBegin(const std::string& eventId, const ns::Value& props, const Key& appkey) {
    if (!trackingAllowed() || eventId.empty()) return;
    reportAdditionEvent(false, appkey, false);
    openTimed(eventTable(), MVOMSATimingKeyForProps(eventId, props));
}

void MVOMSA::trackCustomKeyValueEventEnd(const std::string& eventId, const ns::Value& props, const Key& appkey,
                                         bool isRealTime) {
    if (!trackingAllowed() || eventId.empty()) return;
    if (auto duration = closeTimed(eventTable(), MVOMSATimingKeyForProps(eventId, props)))
        reportCustom(eventId, {}, props, *duration, appkey, isRealTime);
}

void MVOMSA::trackCustomKeyValueEventDuration(std::uint32_t duration, const std::string& eventId,
                                              const ns::Value& props, const Key& appKey, bool isRealTime) {
    if (!trackingAllowed() || eventId.empty() || duration == 0) return;
    reportCustom(eventId, {}, props, duration, appKey, isRealTime);
}

void MVOMSA::startNewSession(bool isRealTime) {
    if (statEnabled()) checkSession(true, std::nullopt, isRealTime);
}

void MVOMSA::stopSession() {
    if (!existing()) return;
    std::lock_guard lock(session().mutex);
    session().lastActivity = 0;
}

void MVOMSA::reportYM(const std::string& ym, const Key& appkey, bool isRealTime) {
    if (!trackingAllowed()) return;
    config()->setYm(ym);
    checkSession(false, appkey, false);
    reportAdditionEvent(true, appkey, isRealTime);
}

void MVOMSA::reportAccount(const std::string& account, std::uint32_t type, const std::string& ext,
                           const Key& appkey, bool isRealTime) {
    if (!trackingAllowed()) return;
    auto settings = config();
    settings->setAccount(account);
    settings->setAccountType(static_cast<std::int8_t>(type));
    settings->setAccountExt(ext);
    std::uint32_t sid = checkSession(false, appkey, false);
    if (!statEnabled()) return;
    reportEvent(made<MVOMSAAccountEvent>(sid, appkey, isRealTime));
}

void MVOMSA::reportAppMonitorStat(const std::optional<MVOMSAAppMonitorStat>& stat, const Key& appkey,
                                  bool isRealTime) {
    if (!trackingAllowed() || !stat || !stat->interface) return;
    auto event = made<MVOMSAMonitorStatEvent>(checkSession(false, appkey, false), appkey, isRealTime);
    event->stat = stat;
    reportEvent(event);
}

void MVOMSA::trackGameUser(const std::optional<std::string>& uid, const std::string& world, const std::string& level,
                           const Key& appkey, bool isRealTime) {
    if (!trackingAllowed() || !uid) return;
    auto event = made<MVOMSAGameUserEvent>(checkSession(false, appkey, false), appkey, isRealTime);
    event->uid = uid;
    event->world = world;
    event->level = level;
    reportEvent(event);
}

std::string MVOMSA::getMsaUDID() { return MVOMSAStore::getInstance()->getMsaShareUDID(); }

std::optional<std::string> MVOMSA::keyForKeyChain() const {
    std::lock_guard lock(mutex_);
    return keyForKeyChain_;
}

void MVOMSA::setKeyForKeyChain(std::optional<std::string> key) {
    std::lock_guard lock(mutex_);
    keyForKeyChain_ = std::move(key);
}

std::optional<std::string> MVOMSA::msaCurrentPage() const {
    std::lock_guard lock(mutex_);
    return msaCurrentPage_;
}

void MVOMSA::setMsaCurrentPage(std::optional<std::string> page) {
    std::lock_guard lock(mutex_);
    msaCurrentPage_ = std::move(page);
}

std::optional<std::string> MVOMSA::lastPage() const {
    std::lock_guard lock(mutex_);
    return lastPage_;
}

void MVOMSA::setLastPage(std::optional<std::string> page) {
    std::lock_guard lock(mutex_);
    lastPage_ = std::move(page);
}

void MVOMSA::onWillApplicationResignActive() {
    if (!statEnabled()) return;
    checkSession(false, std::nullopt, false);
    if (auto page = msaCurrentPage()) trackDirectPageViewEnd(*page, std::nullopt, false);
}

void MVOMSA::onWillApplicationEnterBackground() {
    if (statEnabled()) checkSession(false, std::nullopt, false);
}

void MVOMSA::onDidApplicationBecomeActive() {
    if (!statEnabled()) return;
    checkSession(true, std::nullopt, false);
    if (auto page = msaCurrentPage()) trackDirectPageViewBegin(*page, std::nullopt);
}

void MVOMSA::onWillApplicationEnterForeground() {
    if (statEnabled()) checkSession(true, std::nullopt, false);
}

void MVOMSA::onWillApplicationWillTerminate() {
    MVOMSAStore::getInstance()->close();
    if (std::uint64_t index = MVOMSAHelper::currentIndex())
        MVOMSAKeyChain::save(MVOMSAEvent::kIndexKeychainKey, ns::Value(index));
}

// ---- MSAMV ----

namespace {

std::mutex& facadeMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<MSAMV>& facade() {
    static std::shared_ptr<MSAMV> f;
    return f;
}

}  // namespace

std::shared_ptr<MSAMV> MSAMV::getInstance() {
    std::shared_ptr<MSAMV> f;
    {
        std::lock_guard lock(facadeMutex());
        if (!facade()) facade() = std::make_shared<MSAMV>();
        f = facade();
    }
    if (config()->debugEnable()) ns::NSLog("instance obj :<MSAMV: %p>", static_cast<const void*>(f.get()));
    return f;
}

void MSAMV::resetForTesting() {
    std::lock_guard lock(facadeMutex());
    facade().reset();
}

std::optional<std::string> MSAMV::ConvertMVappkey(const std::optional<std::string>& appId) {
    if (!appId) {
        ns::NSLog("[WARN]appkey is nil");
        return std::nullopt;
    }
    std::string key = kKeyPrefix + *appId;
    debugLog("MVappkey:" + key);
    return key;
}

void MSAMV::startWithAppkey(const std::optional<std::string>& appId) {
    auto f = getInstance();
    f->setAppkey(ConvertMVappkey(appId));
    std::optional<std::string> key = f->appkey();
    debugLog("MSAMV appkey :" + key.value_or("(null)"));
    if (key) MVOMSA::startWithAppkey(*key);
}

void MSAMV::onBackground() {
    std::optional<std::string> key = getInstance()->appkey();
    debugLog("onBackground appkey :" + key.value_or("(null)"));
    MVOMSA::trackCustomKeyValueEvent(kBackgroundEvent, {}, key, true);
}

std::optional<std::string> MSAMV::appkey() const {
    std::lock_guard lock(mutex_);
    return appkey_;
}

void MSAMV::setAppkey(std::optional<std::string> key) {
    std::lock_guard lock(mutex_);
    appkey_ = std::move(key);
}
