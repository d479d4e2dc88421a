#include "mervio/reporter/MVOMSADataConfigHolder.h"

#include <cmath>
#include <limits>

#include "foundation/FileManager.h"
#include "foundation/Format.h"
#include "foundation/Strings.h"
#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADispatcher.h"
#include "mervio/reporter/MVOMSAHelper.h"
#include "mervio/reporter/MVOMSAInstance.h"
#include "mervio/reporter/MVOMSAReachability.h"
#include "service/JSON.h"

namespace {

// Published once it has applied the stored configuration: an error event it
// reports meanwhile never waits for it.
mvomsa::Instance<MVOMSADataConfigHolder>& holderInstance() {
    static mvomsa::Instance<MVOMSADataConfigHolder> holder;
    return holder;
}

const char* className(const ns::Value& value) {
    switch (value.kind()) {
        case ns::Value::Kind::Array: return "NSArray";
        case ns::Value::Kind::String: return "NSString";
        case ns::Value::Kind::Null: return "NSNull";
        default: return "NSNumber";
    }
}

bool textEquals(const ns::Value& value, const std::string& text) { return value.isString() && value.str() == text; }

// The report strategy a number of "rs" names: its integer value, when it is
// 1 or more. A value past the strategy's range, or not finite, names none.
std::optional<std::int32_t> strategyOf(const ns::Value& value) {
    constexpr auto kMost = std::numeric_limits<std::int32_t>::max();
    if (!value.isNumber()) return std::nullopt;
    if (value.kind() == ns::Value::Kind::Double) {
        double whole = std::trunc(value.doubleValue());
        if (!std::isfinite(whole) || whole < 1 || whole > kMost) return std::nullopt;
        return static_cast<std::int32_t>(whole);
    }
    if (value.isUnsigned()) {
        unsigned long long n = value.unsignedValue();
        if (n < 1 || n > static_cast<unsigned long long>(kMost)) return std::nullopt;
        return static_cast<std::int32_t>(n);
    }
    long long n = value.integerValue();
    if (n < 1 || n > kMost) return std::nullopt;
    return static_cast<std::int32_t>(n);
}

}  // namespace

MVOMSADataConfigHolder::MVOMSADataConfigHolder()
    : insertEvent_(mvomsa::kInsertEvent) {}

MVOMSADataConfigHolder::~MVOMSADataConfigHolder() { closeDB(); }

std::shared_ptr<MVOMSADataConfigHolder> MVOMSADataConfigHolder::initSingleton(const std::function<void()>& completion) {
    bool made = false;
    auto holder = holderInstance().getOrMake([&] {
        auto fresh = std::shared_ptr<MVOMSADataConfigHolder>(new MVOMSADataConfigHolder());
        fresh->initWithBlock(completion);
        made = true;
        return fresh;
    });
    if (made) MVOMSAReporterLinks::setConfigSource(holder);
    return holder;
}

std::shared_ptr<MVOMSADataConfigHolder> MVOMSADataConfigHolder::getInstance() { return holderInstance().get(); }

void MVOMSADataConfigHolder::resetForTesting() {
    std::shared_ptr<MVOMSADataConfigHolder> holder = holderInstance().take();
    if (!holder) return;
    holder->closeDB();
    if (MVOMSAReporterLinks::configSource() == holder) MVOMSAReporterLinks::setConfigSource(nullptr);
}

void MVOMSADataConfigHolder::initWithBlock(const std::function<void()>& completion) {
    MVOMSAStore::getInstance()->loadConfig([this](const MVOMSADataConfig& config) { setConfig(config); });
    if (completion) completion();
}

void MVOMSADataConfigHolder::setConfig(const MVOMSADataConfig& config) {
    JSONParser parser;
    ns::Value content = parser.parse(config.content, false);
    if (content.isNil()) {
        MVOMSA::trackError(ns::format("Decode response config JSON error :%@", ns::Value(parser.error())));
        return;
    }
    if (!content.isDictionary()) {
        MVOMSA::trackError(ns::format("Not NSDictionary for decoded response config object:%@", className(content)));
        return;
    }
    if (config.type == kApp) {
        std::lock_guard lock(mutex_);
        appCfg_ = config;
        appProperties_ = content;
    } else if (config.type == kSDK) {
        {
            std::lock_guard lock(mutex_);
            sdkCfg_ = config;
        }
        applySDKContent(content);
    }
}

void MVOMSADataConfigHolder::applySDKContent(const ns::Value& content) {
    auto settings = MVOMSAConfig::getInstance();
    if (std::optional<std::int32_t> strategy = strategyOf(content["rs"])) settings->setReportStrategy(*strategy);

    ns::Value hibernate = content["__HIBERNATE__"];
    if (hibernate.isString() && ns::compareNumeric(hibernate.str(), MVOMSAHelper::kSDKVersion) >= 0)
        settings->setStatEnable(false);

    ns::Value kill = content["__MSA_KILL__"];
    if (kill.isDictionary()) {
        auto helper = MVOMSAHelper::getInstance();
        const MVOMSAEnv& env = helper->getEnv();
        if (textEquals(kill["sv"], env.sdk_version) || textEquals(kill["md"], env.modulename) ||
            textEquals(kill["av"], env.app_version))
            helper->setMSAEnableFlag(false);
    }

    ns::Value speed = content["__MSA_TEST_SPEED__"];
    if (speed.isString() && !speed.str().empty())
        queue_.async([self = shared_from_this(), text = speed.str()] { self->runSpeedTest(text); });
}

void MVOMSADataConfigHolder::runSpeedTest(const std::string& text) {
    auto reachability = MVOMSAReachability::reachabilityForInternetConnection();
    if (!reachability || !reachability->isReachable()) return;
    if (!MVOMSADispatcher::getInstance()->speedTest(text)) return;
    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    auto event = std::make_shared<MVOMSATestSpeedEvent>();
    event->sp = settings.sp;
    event->op = settings.op;
    event->cn = settings.cn;
    std::string json = event->toJsonString();
    if (json.empty() || ns::utf16Length(json) > settings.maxReportEventLength) return;
    std::lock_guard lock(mvomsa::databaseLock());
    if (sqlite3* db = getDB())
        insertEvent_.run(db, {json, std::int64_t{MVOMSAStore::kWaiting}, std::int64_t{0}, std::int64_t{event->ts}});
}

std::optional<MVOMSADataConfig> MVOMSADataConfigHolder::getConfig(std::uint32_t type) const {
    std::lock_guard lock(mutex_);
    if (type == kSDK) return sdkCfg_;
    if (type == kApp) return appCfg_;
    return std::nullopt;
}

void MVOMSADataConfigHolder::updateConfig(const ns::Value& dict, std::uint32_t type) {
    MVOMSADataConfig config;
    if (!config.decode(dict)) return;
    config.type = type;
    std::optional<MVOMSADataConfig> held = getConfig(type);
    if ((held ? held->version : 0) >= config.version) return;
    setConfig(config);
    MVOMSAStore::getInstance()->storeConfig(config);
}

void MVOMSADataConfigHolder::updateOnlineConfig(const ns::Value& reply) {
    if (!reply.isDictionary() || reply.has("mid")) return;
    ns::Value cfg = reply["cfg"];
    if (!cfg.isDictionary()) return;
    if (cfg["1"].isDictionary()) updateConfig(cfg["1"], kSDK);
    if (cfg["2"].isDictionary()) updateConfig(cfg["2"], kApp);
}

ns::Value MVOMSADataConfigHolder::getAppProperty(const std::string& key) {
    std::lock_guard lock(mutex_);
    return appProperties_[key];
}

void MVOMSADataConfigHolder::encode(ns::Value& dict) {
    auto versionOf = [](const std::optional<MVOMSADataConfig>& config) {
        ns::Value entry = ns::Value::dictionary();
        if (config) config->encodeWithNoContent(entry);
        return entry;
    };
    std::lock_guard lock(mutex_);
    dict.set("cfg", ns::Value::dictionary({{"1", versionOf(sdkCfg_)}, {"2", versionOf(appCfg_)}}));
}

sqlite3* MVOMSADataConfigHolder::getDB() {
    std::lock_guard lock(mvomsa::databaseLock());
    return mvomsa::connect(db_, MVOMSAStore::databasePath());
}

void MVOMSADataConfigHolder::closeDB() {
    std::lock_guard lock(mvomsa::databaseLock());
    mvomsa::disconnect(db_, {&insertEvent_});
}

void MVOMSADataConfigHolder::deleteDB() {
    closeDB();
    ns::FileManager::defaultManager().removeItemAtPath(ns::documentsDirectory() + "/" +
                                                       mvomsa::databaseFileName("MSAStore"));
}
