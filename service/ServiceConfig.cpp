#include "service/ServiceConfig.h"

#include <cstdlib>
#include <cstring>
#include <functional>
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

std::string ServiceConfig::normaliseEndpoint(std::string_view url, std::string_view path) {
    std::string out(url);
    auto scheme = out.find("://");
    std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    auto slash = out.find('/', hostStart);
    if (slash == std::string::npos) return out + std::string(path);
    if (slash == out.size() - 1) return out.substr(0, slash) + std::string(path);
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

int ServiceConfig::takeOption(int& argc, char** argv, std::string_view option,
                              const std::function<void(std::string)>& apply, std::string* error) {
    int out = 1, taken = 0;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == option) {
            if (i + 1 >= argc) {
                if (error) *error = std::string(option) + " needs a value";
                return -1;
            }
            apply(argv[++i]);
            ++taken;
        } else if (arg.size() > option.size() && arg.substr(0, option.size()) == option && arg[option.size()] == '=') {
            apply(std::string(arg.substr(option.size() + 1)));
            ++taken;
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    return taken;
}

bool ServiceConfig::applyCommandLine(int& argc, char** argv, std::string* error) {
    return takeOption(argc, argv, "--service", [](std::string url) { setEndpoint(std::move(url)); }, error) >= 0 &&
           takeOption(argc, argv, "--service-namespace", [](std::string ns) { setServiceNamespace(std::move(ns)); },
                      error) >= 0;
}
