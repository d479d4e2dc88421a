// Where the service lives: its endpoint URL, its namespace, the time-out and
// the limit on a whole exchange.
//
// Compiled-in defaults point at the local service the tests and the demo run
// on 127.0.0.1. The environment overrides them (KL_SERVICE_URL,
// KL_SERVICE_NAMESPACE), and so does the command line (--service URL,
// --service-namespace NS) through applyCommandLine(). A URL that names only
// a host ("http://10.0.0.5:8080") gets the service path added.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class ServiceConfig {
public:
    static constexpr const char* kServicePath = "/AppDataSource/interface.asmx";
    static constexpr const char* kDefaultEndpoint = "http://127.0.0.1:8735/AppDataSource/interface.asmx";
    static constexpr const char* kDefaultNamespace = "http://tempuri.org/";
    static constexpr double kDefaultTimeOutSeconds = 60;
    // A reply may come slowly, but no exchange lasts longer than this: a
    // largest reply (32 MiB) comes through a 1 Mbit/s line within it.
    static constexpr double kDefaultExchangeLimitSeconds = 300;

    // In force: set here, else from the environment, else the default.
    static std::string endpoint();
    static std::string serviceNamespace();
    static double timeOutSeconds();
    static double exchangeLimitSeconds();

    static void setEndpoint(std::string url);  // "" goes back to the environment/default
    static void setServiceNamespace(std::string ns);
    static void setTimeOutSeconds(double seconds);  // 0 or less: the default
    static void setExchangeLimitSeconds(double seconds);  // 0 or less: the default
    static void reset();  // everything back to the environment/defaults

    // Reads and removes "--service URL", "--service=URL", "--service-namespace NS"
    // and "--service-namespace=NS" from argv. Returns false (with a message)
    // when an option lacks its value, the URL is not an http or https one
    // (nor, without the option, KL_SERVICE_URL) or the namespace is empty.
    static bool applyCommandLine(int& argc, char** argv, std::string* error = nullptr);

    // Whether the text is an http or https URL naming a host (with a port or not).
    static bool isWebURL(std::string_view url);

    // Reads and removes every "--option VALUE" and "--option=VALUE" from argv,
    // handing each value to `apply`: how many were taken, or -1 (with a
    // message) when the option comes last without its value.
    static int takeOption(int& argc, char** argv, std::string_view option,
                          const std::function<void(std::string)>& apply, std::string* error = nullptr);

    // An http or https URL from "--option URL" or "--option=URL" (read and
    // removed from argv; the last one counts), else from the environment
    // variable when it is set and not empty: `url` gets it ("" for neither)
    // and `fromOption` whether the option gave it. False, with a message,
    // when the option lacks its value or a value is not such a URL.
    static bool takeURLOption(int& argc, char** argv, std::string_view option, const char* variable, std::string* url,
                              bool* fromOption, std::string* error = nullptr);

    // The URL with the path added when it names only a host.
    static std::string normaliseEndpoint(std::string_view url, std::string_view path = kServicePath);
};
