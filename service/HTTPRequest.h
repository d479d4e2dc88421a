// One HTTP exchange with its settings, headers, body and result, run from
// the shared network queue (at most four at a time, the rest waiting in
// order) by the main run loop's network engine (net/Engine.h), with every
// delegate call and completion block delivered on the main run loop, on a
// later turn than the call that started it.
//
//   auto r = HTTPRequest::requestWithURL(url);
//   r->setRequestMethod("POST");
//   r->addRequestHeader("Content-Type", "text/xml; charset=utf-8");
//   r->setPostBody(body);
//   r->setDelegate(self);          // held weakly
//   r->startAsynchronous();        // the queue keeps r alive until it is done
//
// Once its last callback has run (or was dropped unrun by a reset of the
// run loop) the request lets go of its blocks, so a block that captured the
// request does not keep it alive.
//
// A request that fails carries an error in "HTTPRequestErrorDomain" whose
// code tells what happened (HTTPRequestErrorType). cancel() reports a
// cancelled failure to the delegate; clearDelegatesAndCancel() reports nothing.
// While a request is queued or running it counts in net::NetworkActivity.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "foundation/Error.h"
#include "net/Http.h"

inline constexpr const char* HTTPRequestErrorDomain = "HTTPRequestErrorDomain";

enum HTTPRequestErrorType {
    HTTPConnectionFailureErrorType = 1,
    HTTPRequestTimedOutErrorType = 2,
    HTTPRequestCancelledErrorType = 4,
    HTTPUnableToCreateRequestErrorType = 5,
    HTTPInternalErrorType = 6,
};

class HTTPRequest;
using HTTPRequestPtr = std::shared_ptr<HTTPRequest>;

// Optional callbacks, on the main run loop.
class HTTPRequestDelegate {
public:
    virtual ~HTTPRequestDelegate() = default;
    virtual void requestStarted(HTTPRequest&) {}
    virtual void requestFinished(HTTPRequest&) {}
    virtual void requestFailed(HTTPRequest&) {}
    // Whether requestStarted does anything; asked when the request starts. A
    // request whose delegate does not listen (and that has no started block)
    // posts no "started", sparing the main run loop a wake-up in the middle
    // of the exchange.
    virtual bool respondsToRequestStarted() const { return true; }
};

class HTTPRequest : public std::enable_shared_from_this<HTTPRequest> {
public:
    static constexpr double kDefaultTimeOutSeconds = 60;

    static HTTPRequestPtr requestWithURL(std::string url);
    explicit HTTPRequest(std::string url);
    ~HTTPRequest();
    HTTPRequest(const HTTPRequest&) = delete;
    HTTPRequest& operator=(const HTTPRequest&) = delete;

    // ---- Settings (before starting) ----
    const std::string& url() const { return url_; }
    // "GET" by default. A GET with a body goes out as a POST.
    void setRequestMethod(std::string method) { method_ = std::move(method); }
    const std::string& requestMethod() const { return method_; }
    void addRequestHeader(std::string name, std::string value);
    const net::Headers& requestHeaders() const { return requestHeaders_; }
    void setPostBody(std::string body) { body_ = std::move(body); }
    void appendPostData(std::string_view data) { body_.append(data); }
    // The body to send; it moves into the exchange when the request starts.
    const std::string& postBody() const { return body_; }
    void setTimeOutSeconds(double seconds) { timeOut_ = seconds; }
    double timeOutSeconds() const { return timeOut_; }
    void setShouldFollowRedirects(bool follow) { followRedirects_ = follow; }
    // Seconds the whole exchange may take, however steadily the reply comes (300 by default).
    void setExchangeLimitSeconds(double seconds) { exchangeLimit_ = seconds; }
    // How large the decoded reply may grow before the request fails
    // (net::kServiceReplyLimit by default: this transport carries service replies).
    void setMaxResponseBytes(std::size_t bytes) { maxResponseBytes_ = bytes; }

    void setDelegate(std::weak_ptr<HTTPRequestDelegate> delegate);
    std::shared_ptr<HTTPRequestDelegate> delegate() const;
    // Blocks run on the main run loop, after the delegate's callback.
    void setStartedBlock(std::function<void()> fn);
    void setCompletionBlock(std::function<void()> fn);
    void setFailedBlock(std::function<void()> fn);
    // Runs once a reply has arrived, before the callbacks: on the main
    // thread, or, for a reply of kLargeReplyBytes and more, which could
    // freeze the screen while it is read, on the network queue's reader
    // thread. It may take the body (a large reply is then held once).
    using ResponseProcessor = std::function<void(net::Response&)>;
    static constexpr std::size_t kLargeReplyBytes = 256 * 1024;
    void setResponseProcessor(ResponseProcessor fn) { processor_ = std::move(fn); }

    // ---- Running ----
    // Queues the request on the shared queue; callbacks arrive on the main run loop.
    void startAsynchronous();
    // The same, and keeps `owner` (which may hold this request) alive until
    // the request's last callback has run on the main run loop, or has been
    // dropped there without running, or the request was cancelled with its
    // delegates cleared: whichever way it ends, the two do not keep each
    // other alive afterwards.
    void startAsynchronous(std::shared_ptr<void> owner);
    // Runs the request on the calling thread and returns when it is done; no
    // callbacks. Read the result with responseStatusCode(), error(), ...
    void startSynchronous();
    // Stops the request; the delegate hears requestFailed with the cancelled
    // error (on the main run loop). Nothing happens once the request is done.
    void cancel();
    // Forgets the delegate, the blocks and the owner, then cancels: nothing is reported.
    void clearDelegatesAndCancel();

    // ---- State and result ----
    bool isExecuting() const;
    bool isFinished() const;   // done: finished, failed or cancelled
    bool isCancelled() const;
    int responseStatusCode() const;
    net::Headers responseHeaders() const;
    std::string responseHeader(std::string_view name) const;
    // The body. Safe to read once the request is done (in its callbacks).
    const std::string& responseData() const { return response_.body; }
    const std::string& responseString() const { return response_.body; }
    ns::ErrorPtr error() const;

    // The default time-out of new requests (60 s); tests shorten it.
    static void setDefaultTimeOutSeconds(double seconds);
    static double defaultTimeOutSeconds();
    // Requests the shared queue holds (waiting, running, or having a large
    // reply read).
    static std::size_t queuedRequestCount();
    // Ends every request of the shared queue without telling anybody and
    // waits for the reader of large replies to stop: what the program and
    // the tests' run-loop reset do so that no worker runs past them. Main thread.
    static void endAll();
    // Whether the reader of large replies has a thread now (it is started
    // for the first large reply and ended by endAll()).
    static bool hasReaderThread();
    // At most this many run at a time (4).
    static constexpr int kMaxConcurrentRequests = 4;

private:
    friend class NetworkQueue;
    enum class Delivery { Started, Finished, Failed };

    net::Request takeRequest();  // the exchange's request; the body moves into it
    void begin();  // on the main thread, when the queue gives the request its turn
    void exchangeEnded(net::Response&& response);  // main thread
    void readEnded(net::Response&& response);      // main thread, after the reader
    void stopExchange();                           // main thread
    // Records the outcome once; false when the request was already done.
    bool complete(net::Response response, int errorCode = 0);
    void endActivity();
    void postStarted();  // once, and never after a cancellation
    void deliver(Delivery what);            // posts to the main run loop
    void deliverNow(Delivery what);         // on the main thread, now (or posted behind a pending "started")
    void runDelivery(Delivery what);
    // After the last callback has run or been dropped: lets go of the blocks,
    // which may hold this request.
    void releaseBlocks();
    struct FinalDelivery;
    // What lets go of the blocks and the owner once the outcome has been told.
    std::shared_ptr<FinalDelivery> finalDelivery();
    static ns::ErrorPtr errorFor(const net::Response& r, int errorCode);

    std::string url_;
    std::string method_ = "GET";
    net::Headers requestHeaders_;
    std::string body_;
    double timeOut_;
    double exchangeLimit_ = net::Request().exchangeLimit;
    std::size_t maxResponseBytes_ = net::kServiceReplyLimit;
    bool followRedirects_ = true;
    ResponseProcessor processor_;

    mutable std::recursive_mutex mutex_;
    std::weak_ptr<HTTPRequestDelegate> delegate_;
    std::function<void()> startedBlock_, completionBlock_, failedBlock_;
    std::shared_ptr<void> owner_;  // until the last callback is posted
    bool started_ = false;   // startAsynchronous/startSynchronous called
    bool executing_ = false;
    bool done_ = false;
    bool cancelled_ = false;
    bool counted_ = false;   // counted in NetworkActivity
    bool startedPosted_ = false;
    bool startedPending_ = false;  // a posted "started" has not run yet
    bool delegateHearsStarted_ = true;  // as the delegate answered at the start
    net::Cancellation cancellation_;
    std::uint64_t exchange_ = 0;  // main thread: the engine's exchange while it runs
    net::Response response_;
    ns::ErrorPtr error_;
};
