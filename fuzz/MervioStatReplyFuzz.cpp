// The statistics server's reply to an upload, deciphered, as the reporter
// takes it: read as JSON, accepted or not by its "ret", and its "cfg" handed
// to the configuration holder, which applies and stores each configuration
// newer than the one it holds. The holder keeps its promises: what is in
// force is what the store keeps for the next start, the report strategy is
// the integer value of "rs" when that is 1 or more and fits, else the
// default, and nothing is switched off unless an SDK configuration is held.
//
// Nothing leaves the process: no reporter runs to upload, uploads would go
// to a port of the loopback nobody answers, and the network reads as
// unreachable, so a speed test the reply orders does nothing.
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>

#include "FuzzSupport.h"
#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADataConfigHolder.h"
#include "mervio/reporter/MVOMSADispatcher.h"
#include "mervio/reporter/MVOMSAHelper.h"
#include "mervio/reporter/MVOMSAStore.h"
#include "net/Reachability.h"
#include "service/JSON.h"

namespace {

constexpr std::int32_t kDefaultStrategy = 3;

// The reporter as a new process has it: default settings, no configuration
// held or stored.
void startAfresh() {
    MVOMSA::resetForTesting();
    MVOMSAConfig::resetForTesting();
    std::error_code ec;
    std::filesystem::remove(MVOMSAStore::databasePath(), ec);
    MVOMSAConfig::getInstance()->setStatReportURL(std::string("http://127.0.0.1:9/stat/report"));
    MVOMSAHelper::getInstance()->setMSAEnableFlag(true);
}

// What "rs" in this SDK content sets the strategy to.
std::int32_t strategyFor(const ns::Value& content) {
    ns::Value rs = content["rs"];
    if (!rs.isNumber()) return kDefaultStrategy;
    double whole = std::trunc(rs.doubleValue());
    if (!std::isfinite(whole) || whole < 1 || whole > std::numeric_limits<std::int32_t>::max()) return kDefaultStrategy;
    return static_cast<std::int32_t>(whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Quiet quiet;
    net::Reachability::setFlags(0);
    startAfresh();
    auto holder = MVOMSADataConfigHolder::initSingleton([] {});
    ns::Bytes reply = fuzz::bytes(data, size);

    ns::Value object = MVOMSADispatcher::replyObject(reply);
    FUZZ_CHECK(object.isNil() || object.isDictionary());
    if (MVOMSADispatcher::replyAccepted(object)) FUZZ_CHECK(object.isDictionary());
    MVOMSADispatcher::takeReply(object);
    MVOMSA::waitForQueuesForTesting();

    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    std::optional<MVOMSADataConfig> sdk = holder->getConfig(MVOMSADataConfigHolder::kSDK);
    std::optional<MVOMSADataConfig> app = holder->getConfig(MVOMSADataConfigHolder::kApp);
    if (sdk) {
        FUZZ_CHECK(sdk->version > 0);
        ns::Value content = JSONParser().parse(sdk->content, false);
        FUZZ_CHECK(content.isDictionary());
        FUZZ_CHECK(settings.reportStrategy == strategyFor(content));
    } else {
        FUZZ_CHECK(settings.reportStrategy == kDefaultStrategy);
        FUZZ_CHECK(settings.statEnable && MVOMSAHelper::getInstance()->checkMSAEnable());
    }
    if (app) FUZZ_CHECK(app->version > 0 && JSONParser().parse(app->content, false).isDictionary());

    // Kept for the next start exactly as held now; a configuration the
    // holder refused (content it cannot read back as an object) may be kept,
    // and is refused again there.
    std::map<std::uint32_t, MVOMSADataConfig> stored;
    MVOMSAStore::getInstance()->loadConfig([&](const MVOMSADataConfig& c) { stored[c.type] = c; });
    auto same = [&](std::uint32_t type, const std::optional<MVOMSADataConfig>& held) {
        auto found = stored.find(type);
        if (!held) return found == stored.end() || !JSONParser().parse(found->second.content, false).isDictionary();
        return found != stored.end() && found->second.content == held->content && found->second.md5 == held->md5 &&
               found->second.version == held->version;
    };
    FUZZ_CHECK(stored.size() <= 2);
    FUZZ_CHECK(same(MVOMSADataConfigHolder::kSDK, sdk));
    FUZZ_CHECK(same(MVOMSADataConfigHolder::kApp, app));

    ns::Value cfg = ns::Value::dictionary();
    holder->encode(cfg);
    FUZZ_CHECK(!MVOMSAHelper::getInstance()->getJson(cfg).empty());
    return 0;
}
