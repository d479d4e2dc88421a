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
// perform() blocks the calling thread (background queues use it); a
// Cancellation handed in lets another thread stop it at once. Exchanges for
// the main thread run on the main run loop itself instead (net/Engine.h),
// under the same rules. Replies sent with gzip or deflate are decoded,
// unless the request turns acceptCompressed off: then every body is handed
// over as it came, whatever its Content-Encoding says. A compressed body
// that stops before the end of its stream fails as a reply that broke off
// (ConnectionFailure), however whole its framing was. The time-out counts
// seconds during which no byte moves either way (connecting included), so a
// slow but steady reply is not cut off; the exchange limit bounds the whole
// exchange, so a peer that sends a byte now and then cannot hold it for ever.
// Only http and https are spoken, and redirects are followed only to them; a
// request body is never sent on to another host (a 307 or 308 that asks for
// it fails). Proxies and TLS are libcurl's, from the usual environment
// variables; loopback addresses never go through a proxy.
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

// How large a decoded reply body may grow, by what the exchange fetches. A
// larger body fails (Other) as soon as it passes the cap, however small it was
// on the wire.
// - Service replies: a page of records or one article is tens of kilobytes,
//   a long list or an article with its pictures inline some megabytes. 32 MiB,
//   the bound of every reader of others' data, keeps those and bounds what
//   one reply can cost: it is held once, and what its readers build from it
//   follows its size.
// - Pictures: the screen is 640 x 1136 pixels, 2.9 MB even uncompressed; a
//   photo straight from a camera is 2 to 6 MB as JPEG. 8 MB takes those.
// - Anything else, web pages among them (the web view sets its own limits,
//   of the same size): an article page or a linked site is well under 1 MB
//   of HTML; 8 MB takes the largest plain page, and a page is laid out whole.
inline constexpr std::size_t kServiceReplyLimit = 32u * 1024u * 1024u;
inline constexpr std::size_t kPictureLimit = 8u * 1024u * 1024u;
inline constexpr std::size_t kDefaultReplyLimit = 8u * 1024u * 1024u;

struct Request {
    std::string method = "GET";
    std::string url;
    Headers headers;
    std::string body;          // sent when not empty (or when the method is POST/PUT)
    double timeout = 60;       // seconds without progress; 0 or less: none
    double exchangeLimit = 300;  // seconds for the whole exchange, redirects included (0 or less: 300)
    bool followRedirects = true;  // at most five, to http and https only
    bool acceptCompressed = true;                   // ask for and decode gzip/deflate
    std::size_t maxResponseBytes = kDefaultReplyLimit;  // a larger decoded body fails (Other)
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
