#include "mervio/reporter/MVOMSAEvent.h"

#include "foundation/Dispatch.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSAHelper.h"
#include "mervio/reporter/MVOMSAKeyChain.h"
#include "mervio/reporter/MVOMSAReachability.h"
#include "mervio/reporter/MVOMSAReporterLinks.h"
#include "mervio/RecordReader.h"

namespace {

ns::OnceFlag& indexRestored() {
    static ns::OnceFlag flag;
    return flag;
}

void setIf(ns::Value& dict, const char* key, const std::optional<std::string>& text) {
    if (text) dict.set(key, ns::Value(*text));
}

std::int32_t userType() {
    std::optional<MVOMSAUser> user = MVOMSAHelper::getInstance()->getUser();
    return user ? user->userType : 0;
}

// The customer's app version, else the app's.
std::string appVersionText(const MVOMSASettings& settings, const MVOMSAEnv& env) {
    return settings.customerAppVersion.value_or(env.app_version);
}

// "WIFI" or "CellNetwork" by how the internet is reached; none without a connection.
std::optional<std::string> networkKind() {
    auto reachability = MVOMSAReachability::reachabilityForInternetConnection();
    if (!reachability) return std::nullopt;
    if (reachability->isReachableViaWiFi()) return "WIFI";
    if (reachability->isReachableViaWWAN()) return "CellNetwork";
    return std::nullopt;
}

// The device's description shared by the session's "ev" and the error's "errkv".
ns::Value environmentObject(const MVOMSASettings& settings, const MVOMSAEnv& env) {
    ns::Value o = ns::Value::dictionary({{"pl", ns::Value(env.platform)},
                                         {"tz", ns::Value(env.timezone)},
                                         {"ov", ns::Value(env.os_version)},
                                         {"av", ns::Value(appVersionText(settings, env))},
                                         {"os", ns::Value(2)},
                                         {"sv", ns::Value(env.sdk_version)}});
    setIf(o, "lg", env.language);
    o.set("sr", ns::Value(env.resolution));
    setIf(o, "op", env.mccmnc);
    o.set("md", ns::Value(env.devicename));
    o.set("mf", ns::Value(env.modulename));
    return o;
}

}  // namespace

MVOMSAEvent::MVOMSAEvent() {
    ts = static_cast<std::uint32_t>(ns::now().seconds);
    ns::once(indexRestored(), [] {
        std::optional<long long> saved = mvrecord::integerValue(MVOMSAKeyChain::load(kIndexKeychainKey));
        if (saved && *saved >= 2) MVOMSAHelper::setCurrentIndex(static_cast<std::uint64_t>(*saved) + 100);
    });
    eventIndex = MVOMSAHelper::nextEventIndex();
}

void MVOMSAEvent::resetIndexRestoreForTesting() { indexRestored().reset(); }

std::string MVOMSAEvent::toJsonString() {
    auto helper = MVOMSAHelper::getInstance();
    const MVOMSAEnv& env = helper->getEnv();
    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    std::int32_t type = getType();

    ns::Value d = ns::Value::dictionary({{"idx", ns::Value(eventIndex)}, {"ts", ns::Value(ts)}, {"si", ns::Value(sid)}});
    if (type != 2) {
        d.set("sv", ns::Value(env.sdk_version));
        d.set("ut", ns::Value(userType()));
        setIf(d, "ch", settings.channel);
        d.set("av", ns::Value(appVersionText(settings, env)));
    }
    d.set("mc", ns::Value(MVOMSAHelper::getMacAddress()));
    setIf(d, "cui", settings.customerUserID);
    setIf(d, "cav", settings.customerAppVersion);
    d.set("ui", ns::Value(env.deviceid));
    setIf(d, "ifa", settings.ifa);
    d.set("mid", ns::Value(settings.pushDeviceToken.value_or("none")));
    setIf(d, "ifv", env.ifv);
    d.set("et", ns::Value(type));
    setIf(d, "ky", appkey ? appkey : settings.appkey);
    encode(d);
    return helper->getJson(d);
}

void MVOMSAPageView::encode(ns::Value& dict) {
    setIf(dict, "pi", page);
    dict.set("du", ns::Value(duration));
    if (page && refer == page) refer = std::string(1, '-');
    setIf(dict, "rf", refer);
}

void MVOMSASessionEnv::encode(ns::Value& dict) {
    auto helper = MVOMSAHelper::getInstance();
    const MVOMSAEnv& env = helper->getEnv();
    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    ns::Value ev = environmentObject(settings, env);
    ev.set("wf", ns::Value(helper->fetchSSIDInfo()));
    setIf(ev, "ch", settings.channel);
    setIf(ev, "cn", networkKind());
    dict.set("ev", ev);
    dict.set("ut", ns::Value(userType()));
    if (env.jailbroken) dict.set("jb", ns::Value(1));
    MVOMSAReporterLinks::encodeConfig(dict);
}

void MVOMSAErrorEvent::encode(ns::Value& dict) {
    auto helper = MVOMSAHelper::getInstance();
    const MVOMSAEnv& env = helper->getEnv();
    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    if (error) {
        std::vector<std::string> lines = ns::componentsSeparatedByString(*error, "\n");
        if (lines.size() > 100) lines.resize(100);
        dict.set("er", ns::Value(ns::componentsJoinedByString(lines, "\n")));
    }
    dict.set("ea", ns::Value(attr));
    dict.set("ut", ns::Value(userType()));

    ns::Value kv = environmentObject(settings, env);
    setIf(kv, "ch", settings.channel);
    setIf(kv, "cn", networkKind());
    setIf(kv, "cui", settings.customerUserID);
    kv.set("ui", ns::Value(env.deviceid));
    setIf(kv, "ym", settings.account);
    setIf(kv, "ym", settings.ym);  // the YM number wins over the account
    setIf(kv, "pcn", processName);
    if (availableMemory) kv.set("fram", ns::Value(ns::parseLeadingInteger(*availableMemory)));
    if (freeDiskSpace) kv.set("from", ns::Value(ns::parseLeadingInteger(*freeDiskSpace)));
    dict.set("errkv", ns::Value(helper->getJson(kv)));
}

void MVOMSACustomEvent::encode(ns::Value& dict) {
    dict.set("ei", ns::Value(eventID));
    if (!args.isNil()) dict.set("ar", args);
    if (!kvs.isNil()) dict.set("kv", kvs);
    if (duration != 0) dict.set("du", ns::Value(static_cast<std::int32_t>(duration)));
}

void MVOMSAAdditionEvent::encode(ns::Value& dict) { setIf(dict, "ym", MVOMSAConfig::getInstance()->ym()); }

void MVOMSAAccountEvent::encode(ns::Value& dict) {
    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    ns::Value acc = ns::Value::dictionary();
    setIf(acc, "a", settings.account);
    acc.set("t", ns::Value(static_cast<int>(settings.accountType)));
    setIf(acc, "e", settings.accountExt);
    dict.set("acc", acc);
    setIf(dict, "ym", settings.account);
}

void MVOMSAMonitorStatEvent::encode(ns::Value& dict) {
    if (!stat || !stat->interface) return;
    dict.set("na", ns::Value(*stat->interface));
    dict.set("rq", ns::Value(stat->requestPackageSize));
    dict.set("rp", ns::Value(stat->responsePackageSize));
    dict.set("tm", ns::Value(stat->consumedMilliseconds));
    dict.set("rc", ns::Value(stat->returnCode));
    if (stat->sampling == 0) stat->sampling = 1;
    dict.set("sp", ns::Value(stat->sampling));
    dict.set("rt", ns::Value(stat->resultType));
    setIf(dict, "op", MVOMSAHelper::getInstance()->getEnv().mccmnc);
    setIf(dict, "cn", networkKind());
}

void MVOMSAGameUserEvent::encode(ns::Value& dict) {
    setIf(dict, "gid", uid);
    setIf(dict, "wod", world);
    setIf(dict, "lev", level);
}

void MVOMSATestSpeedEvent::encode(ns::Value& dict) {
    setIf(dict, "sp", sp);
    setIf(dict, "op", op);
    setIf(dict, "cn", cn);
}
