#include "service/ServiceConfig.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct Settings {
    std::mutex mutex;
    std::string endpoint;
    std::string serviceNamespace;
    double timeOut = 0;
    double exchangeLimit = 0;
};

Settings& settings() {
    static Settings s;
    return s;
}

std::string fromEnvironment(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

}  // namespace

std::string ServiceConfig::normaliseEndpoint(std::string_view url) {
    std::string out(url);
    auto scheme = out.find("://");
    std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    auto slash = out.find('/', hostStart);
    if (slash == std::string::npos) return out + kServicePath;
    if (slash == out.size() - 1) return out.substr(0, slash) + kServicePath;
    return out;
}

std::string ServiceConfig::endpoint() {
    {
        std::lock_guard lock(settings().mutex);
        if (!settings().endpoint.empty()) return settings().endpoint;
    }
    std::string env = fromEnvironment("KL_SERVICE_URL");
    return env.empty() ? std::string(kDefaultEndpoint) : normaliseEndpoint(env);
}

std::string ServiceConfig::serviceNamespace() {
    {
        std::lock_guard lock(settings().mutex);
        if (!settings().serviceNamespace.empty()) return settings().serviceNamespace;
    }
    std::string env = fromEnvironment("KL_SERVICE_NAMESPACE");
    return env.empty() ? std::string(kDefaultNamespace) : env;
}

double ServiceConfig::timeOutSeconds() {
    std::lock_guard lock(settings().mutex);
    return settings().timeOut > 0 ? settings().timeOut : kDefaultTimeOutSeconds;
}

double ServiceConfig::exchangeLimitSeconds() {
    std::lock_guard lock(settings().mutex);
    return settings().exchangeLimit > 0 ? settings().exchangeLimit : kDefaultExchangeLimitSeconds;
}

void ServiceConfig::setExchangeLimitSeconds(double seconds) {
    std::lock_guard lock(settings().mutex);
    settings().exchangeLimit = seconds;
}

void ServiceConfig::setEndpoint(std::string url) {
    std::lock_guard lock(settings().mutex);
    settings().endpoint = url.empty() ? std::string() : normaliseEndpoint(url);
}

void ServiceConfig::setServiceNamespace(std::string ns) {
    std::lock_guard lock(settings().mutex);
    settings().serviceNamespace = std::move(ns);
}

void ServiceConfig::setTimeOutSeconds(double seconds) {
    std::lock_guard lock(settings().mutex);
    settings().timeOut = seconds;
}

void ServiceConfig::reset() {
    std::lock_guard lock(settings().mutex);
    settings().endpoint.clear();
    settings().serviceNamespace.clear();
    settings().timeOut = 0;
    settings().exchangeLimit = 0;
}

bool ServiceConfig::applyCommandLine(int& argc, char** argv, std::string* error) {
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        auto take = [&](std::string_view option, void (*apply)(std::string)) -> int {
            if (arg == option) {
                if (i + 1 >= argc) {
                    if (error) *error = std::string(option) + " needs a value";
                    return -1;
                }
                apply(argv[++i]);
                return 1;
            }
            if (arg.size() > option.size() && arg.substr(0, option.size()) == option && arg[option.size()] == '=') {
                apply(std::string(arg.substr(option.size() + 1)));
                return 1;
            }
            return 0;
        };
        int r = take("--service", &ServiceConfig::setEndpoint);
        if (r == 0) r = take("--service-namespace", &ServiceConfig::setServiceNamespace);
        if (r < 0) return false;
        if (r == 0) argv[out++] = argv[i];
    }
    argc = out;
    argv[argc] = nullptr;
    return true;
}
