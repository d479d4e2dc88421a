#include "mervio/reporter/MVOMSAConfig.h"

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
    std::string url;
    if (!ServiceConfig::takeURLOption(argc, argv, "--stat-report", "KL_STAT_REPORT_URL", &url, nullptr, error))
        return false;
    if (!url.empty()) getInstance()->setStatReportURL(ServiceConfig::normaliseEndpoint(url, kReportPath));
    return true;
}
