#include "soapserver/SoapServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "foundation/RunLoop.h"
#include "net/Gzip.h"
#include "service/JSON.h"
#include "service/SoapXmlParseHelper.h"

namespace {

constexpr const char* kSoapNamespace = "http://www.w3.org/2003/05/soap-envelope";

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return std::string(s);
}

const char* reason(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 404: return "Not Found";
        case 411: return "Length Required";
        case 413: return "Payload Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string faultEnvelope(const std::string& text, const std::string& code = "soap:Receiver") {
    return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=\"") + kSoapNamespace +
           "\"><soap:Body><soap:Fault><soap:Code><soap:Value>" + xmlEscape(code) +
           "</soap:Value></soap:Code><soap:Reason><soap:Text xml:lang=\"en\">" + xmlEscape(text) +
           "</soap:Text></soap:Reason></soap:Fault></soap:Body></soap:Envelope>";
}

// What failed, and why (the system's reason: the address in use, no permission).
std::runtime_error failure(const std::string& what) {
    return std::runtime_error("soap server: " + what + ": " + std::strerror(errno));
}

}  // namespace

struct SoapServer::Connection {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
};

SoapServer::SoapServer(int port, std::string serviceNamespace, Listening listening)
    : namespace_(std::move(serviceNamespace)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw failure("cannot make a socket");
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    // Bound but not yet listening, the port is this server's and a connection
    // to it is refused.
    socklen_t len = sizeof addr;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        auto error = failure("cannot listen on port " + std::to_string(port));
        ::close(listenFd_);
        throw error;
    }
    port_ = ntohs(addr.sin_port);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        auto error = failure("cannot make its wake-up descriptor");
        ::close(listenFd_);
        throw error;
    }
    if (listening == Listening::Now) {
        try {
            listen();
        } catch (...) {
            ::close(listenFd_);
            ::close(wakeFd_);
            throw;
        }
    }
}

void SoapServer::listen() {
    if (acceptThread_.joinable()) return;
    if (::listen(listenFd_, 128) != 0) throw failure("cannot listen on port " + std::to_string(port_));
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

SoapServer::~SoapServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    if (acceptThread_.joinable()) acceptThread_.join();
    std::list<std::shared_ptr<Connection>> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
        for (auto& c : connections) ::shutdown(c->fd, SHUT_RDWR);
    }
    for (auto& c : connections) {
        c->thread.join();
        ::close(c->fd);
    }
    ::close(listenFd_);
    ::close(wakeFd_);
}

std::string SoapServer::baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }
std::string SoapServer::url() const { return baseURL() + "/AppDataSource/interface.asmx"; }

std::string SoapServer::refusedURL() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);  // nothing listens there now
    return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/AppDataSource/interface.asmx";
}

SoapServer::SilentPort::SilentPort() {
    auto fail = [this](const char* what) {
        close();
        throw std::runtime_error(std::string("SilentPort: ") + what);
    };
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    // A queue of one: the filler takes it, and the kernel drops what comes after.
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 0) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        fail("cannot listen on 127.0.0.1");
    port_ = ntohs(addr.sin_port);
    filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (filler_ < 0 || ::connect(filler_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        fail("cannot fill the queue");
}

SoapServer::SilentPort::~SilentPort() { close(); }

void SoapServer::SilentPort::close() {
    if (filler_ >= 0) ::close(filler_);
    if (listener_ >= 0) ::close(listener_);
    filler_ = listener_ = -1;
}

// ---- Scripting ----

void SoapServer::reply(const std::string& operation, const std::string& resultText) {
    reply(operation, result(operation, resultText));
}

void SoapServer::reply(const std::string& operation, const ns::Value& value) {
    reply(operation, JSONRepresentation(value));
}

void SoapServer::reply(const std::string& operation, Reply r) {
    handle(operation, [r = std::move(r)](const Received&) { return r; });
}

void SoapServer::handle(const std::string& operation, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[operation] = std::move(handler);
}

void SoapServer::replyOnce(const std::string& operation, Reply r) {
    std::lock_guard lock(mutex_);
    once_[operation].push_back(std::move(r));
}

void SoapServer::handleOthers(Handler handler) {
    std::lock_guard lock(mutex_);
    fallback_ = std::move(handler);
}

void SoapServer::clearReplies() {
    std::lock_guard lock(mutex_);
    handlers_.clear();
    fallback_ = nullptr;
    once_.clear();
    paths_.clear();
}

void SoapServer::serve(const std::string& path, Reply r) {
    handlePath(path, [r = std::move(r)](const Received&) { return r; });
}

void SoapServer::handlePath(const std::string& path, Handler handler) {
    std::lock_guard lock(mutex_);
    paths_[path] = std::move(handler);
}

SoapServer::Reply SoapServer::result(const std::string& operation, const std::string& resultText,
                                               int code) const {
    Reply r;
    r.status = code;
    r.body = SoapXmlParseHelper::responseEnvelope(operation, namespace_, resultText);
    return r;
}

SoapServer::Reply SoapServer::status(int code, std::string body) {
    Reply r;
    r.status = code;
    r.body = body.empty() ? faultEnvelope("Status " + std::to_string(code)) : std::move(body);
    return r;
}

SoapServer::Reply SoapServer::fault(const std::string& code, const std::string& reason, int statusCode) {
    return status(statusCode, faultEnvelope(reason, code));
}

SoapServer::Reply SoapServer::malformedXML(const std::string& operation) const {
    Reply r;
    // The result element is there, but the envelope never closes.
    r.body = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=\"") + kSoapNamespace +
             "\"><soap:Body><" + operation + "Response xmlns=\"" + namespace_ + "\"><" + operation +
             "Result>{\"state\":\"successful\"}</" + operation + "Result></" + operation + "Response></soap:Body>";
    return r;
}

SoapServer::Reply SoapServer::withoutResult(const std::string& operation) const {
    Reply r;
    r.body = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=\"") + kSoapNamespace +
             "\"><soap:Body><" + operation + "Response xmlns=\"" + namespace_ + "\" /></soap:Body></soap:Envelope>";
    return r;
}

SoapServer::Reply SoapServer::cutShort(const std::string& operation, const std::string& resultText,
                                                 std::size_t sendBytes) const {
    Reply r = result(operation, resultText);
    r.cutAfter = sendBytes;
    return r;
}

SoapServer::Reply SoapServer::dripping(const std::string& operation, const std::string& resultText,
                                                 std::size_t pieceBytes, double intervalSeconds) const {
    Reply r = result(operation, resultText);
    r.dripBytes = std::max<std::size_t>(1, pieceBytes);
    r.dripInterval = intervalSeconds;
    return r;
}

SoapServer::Reply SoapServer::held(Reply r) {
    r.hold = true;
    return r;
}

SoapServer::Reply SoapServer::closeWithoutReply() {
    Reply r;
    r.closeWithoutReply = true;
    return r;
}

void SoapServer::release() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

void SoapServer::stopHolding() {
    std::lock_guard lock(mutex_);
    released_ = false;
}

// ---- Records ----

std::vector<SoapServer::Received> SoapServer::requests() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<SoapServer::Received> SoapServer::requests(const std::string& operation) const {
    std::lock_guard lock(mutex_);
    std::vector<Received> out;
    for (const auto& r : received_)
        if (r.operation == operation) out.push_back(r);
    return out;
}

std::size_t SoapServer::count(const std::string& operation) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(received_.begin(), received_.end(), [&](const auto& r) { return r.operation == operation; }));
}

std::size_t SoapServer::count() const {
    std::lock_guard lock(mutex_);
    return received_.size();
}

std::optional<SoapServer::Received> SoapServer::last(const std::string& operation) const {
    std::lock_guard lock(mutex_);
    for (auto it = received_.rbegin(); it != received_.rend(); ++it)
        if (it->operation == operation) return *it;
    return std::nullopt;
}

ns::Value SoapServer::received(const std::string& operation) const {
    auto r = last(operation);
    return r ? r->argument : ns::Value();
}

void SoapServer::clearRecords() {
    std::lock_guard lock(mutex_);
    received_.clear();
}

void SoapServer::setRecording(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
}

std::size_t SoapServer::connectionCount() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::size_t SoapServer::acceptFailures() const {
    std::lock_guard lock(mutex_);
    return acceptFailures_;
}

void SoapServer::setIdleTimeout(double seconds) {
    std::lock_guard lock(mutex_);
    idleTimeout_ = seconds;
}

// ---- Serving ----

void SoapServer::acceptLoop() {
    // After a failed accept the waiting connection is still there, so the
    // listening socket stays readable: wait before trying again.
    constexpr int kFirstBackOffMs = 50, kLongestBackOffMs = 1000;
    int backOffMs = 0;
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int n = backOffMs > 0 ? ::poll(&fds[1], 1, backOffMs) : ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (fds[1].revents) return;
        if (backOffMs > 0) {
            fds[0].revents = POLLIN;  // the wait is over: try again
        }
        if (!(fds[0].revents & POLLIN)) continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                backOffMs = backOffMs == 0 ? kFirstBackOffMs : std::min(backOffMs * 2, kLongestBackOffMs);
                std::lock_guard lock(mutex_);
                ++acceptFailures_;
            } else {
                backOffMs = 0;  // the client gave up (ECONNABORTED) or nothing was there
            }
            continue;
        }
        backOffMs = 0;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_shared<Connection>();
        c->fd = fd;
        std::list<std::shared_ptr<Connection>> finished;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                ::close(fd);
                return;
            }
            // A connection silent this long either way is closed.
            timeval idle{};
            idle.tv_sec = static_cast<time_t>(idleTimeout_);
            idle.tv_usec = static_cast<suseconds_t>((idleTimeout_ - static_cast<double>(idle.tv_sec)) * 1e6);
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
            setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &idle, sizeof idle);
            ++accepted_;
            for (auto it = connections_.begin(); it != connections_.end();) {
                if ((*it)->done) {
                    finished.push_back(*it);
                    it = connections_.erase(it);
                } else {
                    ++it;
                }
            }
            connections_.push_back(c);
            c->thread = std::thread([this, c] { serveConnection(c); });
        }
        for (auto& f : finished) {
            f->thread.join();
            ::close(f->fd);
        }
    }
}

bool SoapServer::waitFor(double seconds, bool untilRelease) {
    std::unique_lock lock(mutex_);
    auto ready = [&] { return stopping_ || (untilRelease && released_); };
    if (untilRelease && seconds <= 0)
        changed_.wait(lock, ready);
    else
        changed_.wait_for(lock, std::chrono::duration<double>(seconds), ready);
    return !stopping_;
}

SoapServer::Reply SoapServer::replyFor(const Received& r) {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        std::string path = r.path.substr(0, r.path.find('?'));
        for (const auto& key : {r.path, path}) {
            auto p = paths_.find(key);
            if (p != paths_.end()) {
                handler = p->second;
                break;
            }
        }
    }
    if (handler) return handler(r);
    {
        std::lock_guard lock(mutex_);
        if (r.operation.empty()) return status(404, "Not Found");
        auto q = once_.find(r.operation);
        if (q != once_.end() && !q->second.empty()) {
            Reply out = std::move(q->second.front());
            q->second.pop_front();
            return out;
        }
        auto h = handlers_.find(r.operation);
        if (h != handlers_.end()) handler = h->second;
        else handler = fallback_;
    }
    if (handler) return handler(r);
    return status(500, faultEnvelope("No reply scripted for " + r.operation));
}

void SoapServer::send(Connection& c, const Reply& reply, bool keepAlive) {
    std::string body = reply.gzip ? net::gzip(reply.body) : reply.body;
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) + "\r\n";
    head += "Content-Type: " + reply.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    if (reply.gzip) head += "Content-Encoding: gzip\r\n";
    for (const auto& [k, v] : reply.headers) head += k + ": " + v + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (!sendAll(c.fd, head.data(), head.size())) return;
    std::size_t total = reply.cutAfter ? std::min(*reply.cutAfter, body.size()) : body.size();
    if (reply.dripBytes == 0) {
        sendAll(c.fd, body.data(), total);
        return;
    }
    for (std::size_t at = 0; at < total; at += reply.dripBytes) {
        if (at > 0 && !waitFor(reply.dripInterval, false)) return;
        if (!sendAll(c.fd, body.data() + at, std::min(reply.dripBytes, total - at))) return;
    }
}

void SoapServer::serveConnection(std::shared_ptr<Connection> c) {
    std::string buffer;
    char chunk[64 * 1024];
    auto readMore = [&]() -> bool {
        for (;;) {
            ssize_t n = ::recv(c->fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
    };
    for (;;) {
        // A peer that stops (or goes silent past the idle time) is let go.
        std::size_t headEnd;
        bool gone = false;
        while (!gone && (headEnd = buffer.find("\r\n\r\n")) == std::string::npos)
            gone = buffer.size() > 1024 * 1024 || !readMore();
        if (gone) break;
        Received r;
        std::string_view head(buffer.data(), headEnd);
        std::size_t lineEnd = head.find("\r\n");
        std::string_view requestLine = head.substr(0, lineEnd);
        std::size_t s1 = requestLine.find(' '), s2 = requestLine.rfind(' ');
        if (s1 == std::string_view::npos || s2 == s1) break;
        r.method = std::string(requestLine.substr(0, s1));
        r.path = std::string(requestLine.substr(s1 + 1, s2 - s1 - 1));
        std::string version(requestLine.substr(s2 + 1));
        std::size_t at = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
        while (at < head.size()) {
            std::size_t e = head.find("\r\n", at);
            if (e == std::string_view::npos) e = head.size();
            std::string_view line = head.substr(at, e - at);
            std::size_t colon = line.find(':');
            if (colon != std::string_view::npos)
                r.headers.emplace_back(trim(line.substr(0, colon)), trim(line.substr(colon + 1)));
            at = e + 2;
        }
        buffer.erase(0, headEnd + 4);
        if (!r.header("Transfer-Encoding").empty()) {
            Reply refused = status(411, "Length Required");
            send(*c, refused, false);
            break;
        }
        // The body's length, refused unread when it is not a number or too large.
        std::string lengthText = r.header("Content-Length");
        std::size_t length = 0;
        if (!lengthText.empty()) {
            auto [end, ec] = std::from_chars(lengthText.data(), lengthText.data() + lengthText.size(), length);
            if (ec == std::errc::result_out_of_range || (ec == std::errc() && length > kMaxBodyBytes)) {
                send(*c, status(413, "Payload Too Large"), false);
                break;
            }
            if (ec != std::errc() || end != lengthText.data() + lengthText.size()) {
                send(*c, status(400, "Bad Request"), false);
                break;
            }
        }
        if (equalsIgnoreCase(r.header("Expect"), "100-continue")) {
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            sendAll(c->fd, kContinue, sizeof kContinue - 1);
        }
        while (!gone && buffer.size() < length) gone = !readMore();
        if (gone) break;
        r.body = buffer.substr(0, length);
        buffer.erase(0, length);
        std::string connection = r.header("Connection");
        bool keepAlive = version == "HTTP/1.1" ? !equalsIgnoreCase(connection, "close")
                                               : equalsIgnoreCase(connection, "keep-alive");

        r.soapAction = r.header("SOAPAction");
        if (r.soapAction.size() >= 2 && r.soapAction.front() == '"' && r.soapAction.back() == '"')
            r.soapAction = r.soapAction.substr(1, r.soapAction.size() - 2);
        if (!r.body.empty()) {
            if (auto soap = SoapXmlParseHelper::parseRequest(r.body)) {
                r.operation = soap->operation;
                r.serviceNamespace = soap->serviceNamespace;
                r.jsonString = soap->jsonString;
                if (r.jsonString) r.argument = JSONParser().parse(*r.jsonString);
            }
        }
        // The reply is chosen before the request shows in the records, so a
        // test that sees it arrive and scripts the next reply never gives
        // that one to this request.
        Reply reply = replyFor(r);
        bool recorded = false;
        {
            std::lock_guard lock(mutex_);
            if (recording_) received_.push_back(r);
            recorded = recording_;
        }
        changed_.notify_all();
        // A test on the main thread may be waiting for this request to arrive.
        if (recorded) ns::RunLoop::main().wakeUp();
        if (reply.closeWithoutReply) break;
        if (reply.delay > 0 && !waitFor(reply.delay, false)) break;
        if (reply.hold && !waitFor(0, true)) break;
        bool keep = keepAlive && !reply.cutAfter;
        send(*c, reply, keep);
        if (!keep) break;
    }
    ::shutdown(c->fd, SHUT_RDWR);
    c->done = true;
}
