// A SOAP 1.2 service on 127.0.0.1: a real HTTP/1.1 server on a free port (or
// a given one) that answers each operation with what was scripted or what a
// handler makes of the request. The loopback test service and the demo
// service are built on it.
//
//   SoapServer svc;                        // listening once constructed (or at listen())
//   ServiceConfig::setEndpoint(svc.url());
//   svc.reply("GetArticleList", R"({"state":"successful","records":[]})");
//   ... client->news_request("1", "10", "code") ...
//   svc.received("GetArticleList")["parameters"]["category_code"]   // the parsed argument
//
// Faults: SoapServer::status(500), fault(code, reason, status), cutShort(...), malformedXML(),
// withoutResult(), held() (answers only after release() or shutdown),
// dripping(...), closeWithoutReply(), refusedURL() for a port nobody
// listens on, and SilentPort for one that never answers. An operation without a scripted reply goes to the fallback
// handler when there is one, else gets status 500 with a SOAP fault naming
// it. Plain GET paths (images, pages) are served with serve(), other paths
// by a handler of their own (handlePath()).
//
// Limits, so that a client cannot take the server down: a request head over
// 1 MB ends the connection, a body over kMaxBodyBytes is refused (413)
// without being read, as is a length that is not a number (400); a
// connection on which nothing moves either way for the idle time-out
// (default kIdleTimeout seconds) is closed; when accepting fails (no
// descriptors left) the server waits a moment, longer each time, before it
// tries again, rather than spinning.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Value.h"
#include "net/Http.h"

class SoapServer {
public:
    // One scripted HTTP reply, with its faults.
    struct Reply {
        int status = 200;
        std::string body;
        std::string contentType = "application/soap+xml; charset=utf-8";
        net::Headers headers;           // further headers
        bool gzip = false;              // send the body gzip-encoded
        std::optional<std::size_t> cutAfter;  // send only this many body bytes, then close
        bool hold = false;              // wait for release() (or shutdown) before answering
        double delay = 0;               // seconds to wait before answering
        std::size_t dripBytes = 0;      // send the body in pieces of this size...
        double dripInterval = 0;        // ...this many seconds apart
        bool closeWithoutReply = false; // read the request, then close the connection
    };

    // What arrived.
    struct Received {
        std::string method;
        std::string path;
        net::Headers headers;
        std::string body;
        std::string soapAction;
        std::string operation;                  // "" when the body is not a SOAP request
        std::string serviceNamespace;
        std::optional<std::string> jsonString;  // the argument text, when the element had one
        ns::Value argument;                     // the argument parsed (nil when absent or not JSON)
        std::string header(std::string_view name) const { return net::headerValue(headers, name); }
    };

    using Handler = std::function<Reply(const Received&)>;

    static constexpr std::size_t kMaxBodyBytes = 16u * 1024u * 1024u;
    static constexpr double kIdleTimeout = 30;

    // Listening::Later: the port is taken but every connection to it is
    // refused until listen(), so that a service setting itself up answers no
    // request before it is ready.
    enum class Listening { Now, Later };

    // port 0: a free port chosen by the system.
    explicit SoapServer(int port = 0, std::string serviceNamespace = "http://tempuri.org/",
                        Listening listening = Listening::Now);
    ~SoapServer();
    SoapServer(const SoapServer&) = delete;
    SoapServer& operator=(const SoapServer&) = delete;

    // Starts taking connections (a server made with Listening::Later); throws
    // std::runtime_error when it cannot. Once listening, does nothing.
    void listen();

    int port() const { return port_; }
    std::string baseURL() const;  // http://127.0.0.1:<port>
    std::string url() const;      // the service endpoint
    const std::string& serviceNamespace() const { return namespace_; }

    // ---- Scripting ----
    // The operation answers with this result text, in a 200 reply envelope.
    void reply(const std::string& operation, const std::string& resultText);
    void reply(const std::string& operation, const char* resultText) { reply(operation, std::string(resultText)); }
    // ... with this value written as JSON.
    void reply(const std::string& operation, const ns::Value& result);
    // ... with this whole HTTP reply.
    void reply(const std::string& operation, Reply reply);
    // ... with whatever the handler makes of each request (called on a server thread).
    void handle(const std::string& operation, Handler handler);
    // Replies used once each, in order, before the standing reply.
    void replyOnce(const std::string& operation, Reply reply);
    // Answers the operations that have no reply of their own (nullptr: none).
    void handleOthers(Handler handler);
    void clearReplies();

    // A GET (or any method) to this path answers with the reply.
    void serve(const std::string& path, Reply reply);
    // ... with whatever the handler makes of each request (called on a server thread).
    void handlePath(const std::string& path, Handler handler);

    // ---- Reply makers ----
    Reply result(const std::string& operation, const std::string& resultText, int status = 200) const;
    static Reply status(int code, std::string body = {});
    // A SOAP 1.2 fault with this code ("soap:Sender") and reason, sent with the status.
    static Reply fault(const std::string& code, const std::string& reason, int status = 500);
    Reply malformedXML(const std::string& operation) const;
    Reply withoutResult(const std::string& operation) const;
    Reply cutShort(const std::string& operation, const std::string& resultText, std::size_t sendBytes) const;
    Reply dripping(const std::string& operation, const std::string& resultText, std::size_t pieceBytes,
                   double intervalSeconds) const;
    static Reply held(Reply reply = status(200));
    static Reply closeWithoutReply();

    // Lets every held reply go (those waiting now and those that come later
    // until stopHolding()).
    void release();
    // Held replies wait again.
    void stopHolding();

    // ---- Records ----
    std::vector<Received> requests() const;
    std::vector<Received> requests(const std::string& operation) const;
    std::size_t count(const std::string& operation) const;
    std::size_t count() const;
    // The parsed argument of the last request of the operation (nil when none).
    ns::Value received(const std::string& operation) const;
    std::optional<Received> last(const std::string& operation) const;
    void clearRecords();
    // Off: requests are still served but not kept (long benchmark or demo runs).
    void setRecording(bool on);
    // Connections accepted so far.
    std::size_t connectionCount() const;
    // Times accepting a connection failed (descriptors or memory ran out).
    std::size_t acceptFailures() const;

    // ---- Limits ----
    // Seconds a connection may stay silent (applies to connections accepted later).
    void setIdleTimeout(double seconds);

    // A URL on 127.0.0.1 where nothing listens (connection refused).
    static std::string refusedURL();

    // A port on 127.0.0.1 that takes no connection and refuses none: its
    // listener's queue is full and nobody accepts, so a new connection's
    // first packet goes unanswered until the object goes.
    class SilentPort {
    public:
        SilentPort();
        ~SilentPort();
        SilentPort(const SilentPort&) = delete;
        SilentPort& operator=(const SilentPort&) = delete;
        int port() const { return port_; }

    private:
        void close();
        int listener_ = -1;
        int filler_ = -1;  // the connection that fills the queue
        int port_ = 0;
    };

private:
    struct Connection;
    void acceptLoop();
    void serveConnection(std::shared_ptr<Connection> c);
    Reply replyFor(const Received& r);
    bool waitFor(double seconds, bool untilRelease);  // false when shutting down
    void send(Connection& c, const Reply& reply, bool keepAlive);

    int port_ = 0;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::string namespace_;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool released_ = false;
    bool recording_ = true;
    std::map<std::string, Handler> handlers_;
    Handler fallback_;
    std::map<std::string, std::list<Reply>> once_;
    std::map<std::string, Handler> paths_;
    std::vector<Received> received_;
    std::list<std::shared_ptr<Connection>> connections_;
    std::size_t accepted_ = 0;
    std::size_t acceptFailures_ = 0;
    double idleTimeout_ = kIdleTimeout;
};
