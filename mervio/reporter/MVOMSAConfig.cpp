#include "mervio/reporter/MVOMSAConfig.h"

#include <cstdlib>
#include <optional>

#include "mervio/reporter/MVOMSAReporterLinks.h"
#include "service/ServiceConfig.h"

namespace {

std::mutex& instanceMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<MVOMSAConfig>& instance() {
    static std::shared_ptr<MVOMSAConfig> config;
    return config;
}

}  // namespace

std::shared_ptr<MVOMSAConfig> MVOMSAConfig::getInstance() {
    std::lock_guard lock(instanceMutex());
    if (!instance()) instance() = std::make_shared<MVOMSAConfig>();
    return instance();
}

void MVOMSAConfig::resetForTesting() {
    std::lock_guard lock(instanceMutex());
    instance().reset();
}

MVOMSASettings MVOMSAConfig::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

ns::Value MVOMSAConfig::getCustomProperty(const std::string& key, const ns::Value& fallback) const {
    auto source = MVOMSAReporterLinks::configSource();
    ns::Value value = source ? source->getAppProperty(key) : ns::Value();
    return value.isNil() ? fallback : value;
}

std::string MVOMSAConfig::reportURL() const {
    Text url = statReportURL();
    return url && !url->empty() ? *url : std::string(kBuiltInReportURL);
}

bool MVOMSAConfig::applyCommandLine(int& argc, char** argv, std::string* error) {
    std::optional<std::string> given;
    if (ServiceConfig::takeOption(argc, argv, "--stat-report", [&](std::string value) { given = std::move(value); },
                                  error) < 0)
        return false;
    auto refuse = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    std::string url;
    if (given) {
        // An address that is none would only make every upload fail, in the log.
        if (given->empty()) return refuse("--stat-report needs a value");
        if (!ServiceConfig::isWebURL(*given))
            return refuse("--stat-report takes an http or https URL, not \"" + *given + "\"");
        url = std::move(*given);
    } else if (const char* env = std::getenv("KL_STAT_REPORT_URL"); env && *env) {
        url = env;
        if (!ServiceConfig::isWebURL(url))
            return refuse("KL_STAT_REPORT_URL must be an http or https URL, not \"" + url + "\"");
    }
    if (!url.empty()) getInstance()->setStatReportURL(ServiceConfig::normaliseEndpoint(url, kReportPath));
    return true;
}
