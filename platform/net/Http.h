// One HTTP exchange: the stand-in for the platform's HTTP machinery.
//
//   net::Request req;
//   req.method = "POST";
//   req.url = "http://127.0.0.1:8735/AppDataSource/interface.asmx";
//   req.headers = {{"Content-Type", "text/xml; charset=utf-8"}};
//   req.body = envelope;
//   net::Response r = net::perform(req);
//   if (r.failed()) ... r.error, r.errorMessage ... else r.status, r.body
//
// perform() blocks the calling thread; a Cancellation handed in lets another
// thread stop it at once. Replies sent with gzip or deflate are decoded,
// unless the request turns acceptCompressed off: then every body is handed
// over as it came, whatever its Content-Encoding says. The time-out counts
// seconds during which no byte moves either way (connecting included), so a
// slow but steady reply is not cut off. Proxies and TLS are libcurl's, from
// the usual environment variables; loopback addresses never go through a
// proxy.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

using Header = std::pair<std::string, std::string>;
using Headers = std::vector<Header>;

// The value of the first header with this name (case-insensitive), or "".
std::string headerValue(const Headers& headers, std::string_view name);

enum class ErrorKind {
    None,
    ConnectionFailure,  // no connection, refused, reset, or the reply broke off
    TimedOut,           // nothing moved for the time-out
    Cancelled,          // Cancellation::cancel()
    Other,              // bad URL, TLS verification, reply too large, ...
};

const char* errorKindName(ErrorKind kind);

struct Request {
    std::string method = "GET";
    std::string url;
    Headers headers;
    std::string body;          // sent when not empty (or when the method is POST/PUT)
    double timeout = 60;       // seconds without progress; 0 or less: none
    bool followRedirects = true;
    bool acceptCompressed = true;                         // ask for and decode gzip/deflate
    std::size_t maxResponseBytes = 512u * 1024u * 1024u;  // a larger body fails (Other)
};

struct Response {
    int status = 0;  // 0 when no reply arrived
    Headers headers;
    std::string body;
    std::string effectiveURL;
    ErrorKind error = ErrorKind::None;
    std::string errorMessage;

    bool failed() const { return error != ErrorKind::None; }
    std::string header(std::string_view name) const { return headerValue(headers, name); }
};

// Stops an exchange from another thread. One Cancellation serves one exchange
// at a time; cancelling before the exchange starts makes it fail at once.
class Cancellation {
public:
    void cancel();
    bool cancelled() const { return cancelled_.load(); }

private:
    friend struct ExchangeState;
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    void* multi_ = nullptr;  // the running exchange's libcurl multi handle
};

// Called on the exchange's thread as bytes arrive: body bytes so far and the
// expected total (0 when unknown).
using Progress = std::function<void(std::uint64_t received, std::uint64_t expected)>;

// `begun` is called once on the exchange's thread as soon as the exchange is
// under way (connecting or sending), while the peer works on it.
Response perform(const Request& request, Cancellation* cancellation = nullptr, const Progress& progress = {},
                 const std::function<void()>& begun = {});

}  // namespace net
