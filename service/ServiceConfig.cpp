#include "service/ServiceConfig.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>

#include "foundation/Strings.h"

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

bool ServiceConfig::takeURLOption(int& argc, char** argv, std::string_view option, const char* variable,
                                  std::string* url, bool* fromOption, std::string* error) {
    // An address that is none would only make every request fail, in the log.
    std::string given, message;
    int taken = takeOption(
        argc, argv, option,
        [&](std::string value) {
            if (!message.empty()) return;
            if (value.empty())
                message = std::string(option) + " needs a value";
            else if (!isWebURL(value))
                message = std::string(option) + " takes an http or https URL, not \"" + value + "\"";
            given = std::move(value);
        },
        error);
    if (taken < 0) return false;
    if (taken == 0) {
        given = fromEnvironment(variable);
        if (!given.empty() && !isWebURL(given))
            message = std::string(variable) + " must be an http or https URL, not \"" + given + "\"";
    }
    if (!message.empty()) {
        if (error) *error = std::move(message);
        return false;
    }
    if (url) *url = std::move(given);
    if (fromOption) *fromOption = taken > 0;
    return true;
}

bool ServiceConfig::applyCommandLine(int& argc, char** argv, std::string* error) {
    std::string url;
    bool fromOption = false;
    if (!takeURLOption(argc, argv, "--service", "KL_SERVICE_URL", &url, &fromOption, error)) return false;
    // The environment's URL is read where it is used.
    if (fromOption) setEndpoint(std::move(url));
    bool emptyNamespace = false;
    if (takeOption(argc, argv, "--service-namespace",
                   [&](std::string ns) {
                       if (ns.empty()) emptyNamespace = true;
                       setServiceNamespace(std::move(ns));
                   },
                   error) < 0)
        return false;
    if (!emptyNamespace) return true;
    if (error) *error = "--service-namespace needs a value";
    return false;
}

bool ServiceConfig::isWebURL(std::string_view url) {
    std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) return false;
    const std::string_view scheme = url.substr(0, schemeEnd);
    if (!ns::asciiCaseInsensitiveEqual(scheme, "http") && !ns::asciiCaseInsensitiveEqual(scheme, "https"))
        return false;
    std::string_view rest = url.substr(schemeEnd + 3);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (authority.find('@') != std::string_view::npos) return false;
    std::string_view host = authority, port;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos || close == 1) return false;
        for (char c : authority.substr(1, close - 1))
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return false;
        host = authority.substr(0, close + 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty() && after.front() != ':') return false;
        if (!after.empty()) port = after.substr(1);
        if (!after.empty() && port.empty()) return false;
    } else {
        std::size_t colon = authority.find(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
            if (port.empty()) return false;
        }
        if (host.empty() || host.front() == '.' || host.front() == '-') return false;
        for (char c : host)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') return false;
    }
    if (!port.empty()) {
        if (port.size() > 5) return false;
        unsigned number = 0;
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            number = number * 10 + static_cast<unsigned>(c - '0');
        }
        if (number == 0 || number > 65535) return false;
    }
    for (char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return false;
    return true;
}
