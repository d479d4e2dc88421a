#include "mervio/reporter/MVOMSADispatcher.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "foundation/DateTime.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"
#include "foundation/Strings.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADataConfigHolder.h"
#include "mervio/reporter/MVOMSAHelper.h"
#include "mervio/reporter/MVOMSAReachability.h"
#include "net/Http.h"
#include "service/JSON.h"

namespace {

// The texts as the items of one JSON array (each already JSON). Appended
// piece by piece: GCC 12 takes "[" + a temporary for an overlapping copy.
std::string jsonArrayOf(const std::vector<std::string>& items) {
    std::string out(1, '[');
    out += ns::componentsJoinedByString(items, ",");
    out += ']';
    return out;
}

std::mutex& instanceMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<MVOMSADispatcher>& instance() {
    static std::shared_ptr<MVOMSADispatcher> dispatcher;
    return dispatcher;
}

std::optional<std::string> systemLookup(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::optional<std::string> out;
    if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) out = text;
    freeaddrinfo(found);
    return out;
}

struct Resolver {
    std::mutex mutex;
    MVOMSADispatcher::Lookup lookup = systemLookup;
    double limit = MVOMSADispatcher::kResolveLimitSeconds;
};

Resolver& resolver() {
    static Resolver r;
    return r;
}

using Clock = std::chrono::steady_clock;

// How often a wait of the speed test looks whether the uploads were stopped.
constexpr std::chrono::milliseconds kStopCheck{50};

// Waits until `ready` (which itself waits at most the time it is given)
// answers true: false when `seconds` pass first, or the uploads stop.
template <typename Ready>
bool waitUnlessStopped(double seconds, const MVOMSADispatcher& dispatcher, Ready ready) {
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
        if (dispatcher.uploadsStopped()) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (ready(std::min(left, kStopCheck))) return true;
    }
}

// The host's address, or none when the lookup fails, takes longer than the
// limit, or the uploads stop meanwhile. The lookup runs on a thread of its
// own, which is left to finish by itself when it is too slow; nothing else in
// the process is disturbed.
std::optional<std::string> resolveWithin(const std::string& host, const MVOMSADispatcher& dispatcher) {
    MVOMSADispatcher::Lookup lookup;
    double limit;
    {
        std::lock_guard lock(resolver().mutex);
        lookup = resolver().lookup;
        limit = resolver().limit;
    }
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        std::optional<std::string> address;
    };
    auto answer = std::make_shared<Answer>();
    std::thread([answer, lookup, host] {
        std::optional<std::string> address = lookup(host);
        std::lock_guard lock(answer->mutex);
        answer->address = std::move(address);
        answer->done = true;
        answer->ready.notify_all();
    }).detach();
    std::unique_lock lock(answer->mutex);
    if (!waitUnlessStopped(limit, dispatcher, [&](auto wait) {
            return answer->ready.wait_for(lock, wait, [&] { return answer->done; });
        }))
        return std::nullopt;
    return answer->address;
}

// Connects the non-blocking socket to the peer within the time-out: false
// when it fails, the time-out passes, or the uploads stop meanwhile.
bool connectWithin(int fd, const sockaddr_in& peer, double timeoutSeconds, const MVOMSADispatcher& dispatcher) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return true;
    if (errno != EINPROGRESS) return false;
    if (!waitUnlessStopped(timeoutSeconds, dispatcher, [&](std::chrono::milliseconds wait) {
            pollfd p{fd, POLLOUT, 0};
            return ::poll(&p, 1, static_cast<int>(wait.count())) > 0;
        }))
        return false;
    int problem = 0;
    socklen_t length = sizeof problem;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &problem, &length) == 0 && problem == 0;
}

// "http://host:port/..." as host and port (80 when it names none).
void hostAndPort(const std::string& url, std::string* host, long long* port) {
    std::string rest = url;
    std::size_t scheme = rest.find("://");
    if (scheme != std::string::npos) rest = rest.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    std::size_t colon = rest.rfind(':');
    *port = 80;
    if (colon != std::string::npos) {
        std::string digits = rest.substr(colon + 1);
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            *port = ns::parseLeadingInteger(digits);
        rest = rest.substr(0, colon);
    }
    *host = rest;
}

bool containsRC4(std::string encoding) {
    std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return encoding.find("rc4") != std::string::npos;
}

void setIf(ns::Value& dict, const char* key, const std::optional<std::string>& text) {
    if (text) dict.set(key, ns::Value(*text));
}

void setIf(ns::Value& dict, const char* key, const std::optional<long long>& number) {
    if (number) dict.set(key, ns::Value(*number));
}

}  // namespace

// ---- The speed test's record ----

std::string MVOMSATestSpeed::toJsonString() const {
    ns::Value d = ns::Value::dictionary();
    setIf(d, "dm", dm);
    setIf(d, "pt", pt);
    setIf(d, "rip", rip);
    setIf(d, "st", st);
    setIf(d, "ts", ts);
    setIf(d, "tm", tm);
    return MVOMSAHelper::getInstance()->getJson(d);
}

std::string MVOMSATestSpeed::description() const {
    auto text = [](const auto& value) -> std::string {
        if (!value) return "(null)";
        return ns::Value(*value).description();
    };
    return "MSATestSpeed info is dm:" + text(dm) + " , pt:" + text(pt) + " , rip:" + text(rip) + " , st:" + text(st) +
           " , ts:" + text(ts) + " , tm:" + text(tm) + " ";
}

// ---- The dispatcher ----

std::shared_ptr<MVOMSADispatcher> MVOMSADispatcher::getInstance() {
    std::lock_guard lock(instanceMutex());
    if (!instance()) instance() = std::shared_ptr<MVOMSADispatcher>(new MVOMSADispatcher());
    return instance();
}

void MVOMSADispatcher::resetForTesting() {
    {
        std::lock_guard lock(instanceMutex());
        instance().reset();
    }
    setLookupForTesting(systemLookup, kResolveLimitSeconds);
}

void MVOMSADispatcher::setLookupForTesting(Lookup lookup, double limitSeconds) {
    std::lock_guard lock(resolver().mutex);
    resolver().lookup = lookup ? std::move(lookup) : systemLookup;
    resolver().limit = limitSeconds;
}

MVOMSADispatcher::~MVOMSADispatcher() { stopUploads(); }

void MVOMSADispatcher::stopUploadsAfter(double seconds) {
    std::lock_guard lock(watchMutex_);
    if (stopWatch_.joinable() || stopAsked_) return;
    stopWatch_ = std::thread([this, seconds] {
        std::unique_lock lock(watchMutex_);
        stopNow_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return stopAsked_; });
        stop_.cancel();
    });
}

void MVOMSADispatcher::stopUploads() {
    std::thread watch;
    {
        std::lock_guard lock(watchMutex_);
        stopAsked_ = true;
        watch = std::move(stopWatch_);
    }
    stop_.cancel();
    stopNow_.notify_all();
    if (watch.joinable()) watch.join();
}

bool MVOMSADispatcher::uploadsStopped() const { return stop_.cancelled(); }

void MVOMSADispatcher::sendEvent(const std::shared_ptr<MVOMSAEvent>& event, EventCallback callback) {
    if (!event) return;
    std::string json = event->toJsonString();
    if (ns::utf16Length(json) > MVOMSAConfig::getInstance()->maxReportEventLength() && event->getType() != 3) {
        if (callback) callback(true, nullptr);
        return;
    }
    if (json.empty()) return;
    send(event, std::move(callback));
}

void MVOMSADispatcher::send(const std::shared_ptr<MVOMSAEvent>& event, EventCallback callback) {
    if (!event) return;
    auto done = [event, callback = std::move(callback)](bool ok) {
        if (callback) callback(ok, event);
    };
    // Stopped: called back as not sent, and the caller keeps the event.
    post({event->toJsonString()}, done, [done](bool) { done(false); });
}

void MVOMSADispatcher::send(const MVOMSAStoreEvents& events, BatchCallback callback, UnsentCallback unsent) {
    std::vector<std::string> texts;
    for (const auto& e : events) texts.push_back(e->content);
    post(
        std::move(texts),
        [events, callback = std::move(callback)](bool ok) {
            if (callback) callback(ok, events);
        },
        // Stopped on its way, the server may have it: not called back, the
        // events left as they are. Stopped before: handed back as unsent.
        [events, unsent = std::move(unsent)](bool begun) {
            if (!begun && unsent) unsent(events);
        });
}

void MVOMSADispatcher::post(std::vector<std::string> texts, std::function<void(bool)> done,
                            std::function<void(bool begun)> stopped) {
    queue_.async([self = shared_from_this(), texts = std::move(texts), done = std::move(done),
                  stopped = std::move(stopped)] {
        if (self->uploadsStopped()) {  // not even built: the program ends
            stopped(false);
            return;
        }
        std::string plain = jsonArrayOf(texts);
        ns::Value reply;
        bool begun = false;
        bool ok = self->nsRequest(ns::Bytes(plain.begin(), plain.end()), &reply, &begun);
        if (!ok && self->uploadsStopped()) {
            stopped(begun);
            return;
        }
        done(ok);
        if (ok) takeReply(reply);
    });
}

ns::Value MVOMSADispatcher::replyObject(const ns::Bytes& reply) {
    ns::Value object = JSONParser().parse(std::string(reply.begin(), reply.end()), false);
    return object.isDictionary() ? object : ns::Value();
}

bool MVOMSADispatcher::replyAccepted(const ns::Value& object) {
    ns::Value ret = object["ret"];
    return !ret.isNil() && ret.description() == "0";
}

void MVOMSADispatcher::takeReply(const ns::Value& object) {
    auto holder = MVOMSADataConfigHolder::getInstance();
    if (object.isDictionary() && holder) holder->updateOnlineConfig(object);
}

bool MVOMSADispatcher::nsRequest(const ns::Bytes& plain, ns::Value* reply, bool* begun) {
    ns::Bytes body;
    net::Request request;
    if (plain.size() < kCompressFrom) {
        body = plain;
        request.headers = {{"Content-Encoding", "rc4"}};
    } else {
        ns::Bytes packed;
        if (MVOMSAHelper::GZip(plain, &packed) != 0) return false;
        auto n = static_cast<std::uint32_t>(plain.size());
        body = {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                static_cast<std::uint8_t>(n)};
        body.insert(body.end(), packed.begin(), packed.end());
        request.headers = {{"Content-Encoding", "rc4,gzip"}};
    }
    MVOMSAHelper::ChiperRC4(body);
    request.headers.insert(request.headers.begin(), {{"Connection", "keep-alive"}, {"Content-Type", "json"}});
    request.method = "POST";
    request.url = MVOMSAConfig::getInstance()->reportURL();
    request.body.assign(body.begin(), body.end());
    request.timeout = kTimeoutSeconds;
    request.acceptCompressed = false;  // the reply's "rc4" is ours to undo, not the HTTP layer's

    net::Response response = net::perform(request, &stop_, {}, [begun] {
        if (begun) *begun = true;
    });
    if (response.failed() || response.status != 200) return false;
    if (response.body.empty()) return false;
    ns::Bytes data(response.body.begin(), response.body.end());
    if (containsRC4(response.header("Content-Encoding"))) MVOMSAHelper::ChiperRC4(data);
    ns::Value object = replyObject(data);
    const bool accepted = replyAccepted(object);
    if (reply) *reply = std::move(object);
    return accepted;
}

std::string MVOMSADispatcher::GetCurTime() {
    return ns::DateFormatter("yyyy/MM/dd HH:mm:ss:SSS").stringFromDate(ns::now());
}

std::vector<std::string> MVOMSADispatcher::splitSpeedString(const std::string& text) {
    std::vector<std::string> urls;
    for (const std::string& entry : ns::componentsSeparatedByString(text, ";")) {
        if (entry.empty()) continue;
        std::string hostPort = entry;
        std::replace(hostPort.begin(), hostPort.end(), ',', ':');
        urls.push_back("http://" + hostPort);
    }
    return urls;
}

MVOMSATestSpeed MVOMSADispatcher::taSocket(const std::string& url) {
    MVOMSATestSpeed result;
    std::string host;
    long long port = 80;
    hostAndPort(url, &host, &port);
    result.dm = host;
    result.pt = port;
    result.st = -1;
    auto stamp = static_cast<long long>(ns::now().seconds);
    if (uploadsStopped()) return result;

    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return result;
    // Timed on the monotonic clock: a change of the wall clock does not count.
    auto start = Clock::now();
    std::optional<std::string> address = resolveWithin(host, *this);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    if (address) result.rip = *address;
    const bool connected = address && inet_pton(AF_INET, address->c_str(), &peer.sin_addr) == 1 &&
                           connectWithin(fd, peer, kTimeoutSeconds, *this);
    ::close(fd);
    if (!connected) return result;
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    result.st = 0;
    result.ts = stamp;
    result.tm = static_cast<long long>(elapsed * 100);
    return result;
}

bool MVOMSADispatcher::speedTest(const std::string& text) {
    std::vector<std::string> results;
    for (const std::string& url : splitSpeedString(text)) {
        MVOMSATestSpeed result = taSocket(url);
        // The program ends: what was measured so far is no result.
        if (uploadsStopped()) return false;
        results.push_back(result.toJsonString());
    }
    auto config = MVOMSAConfig::getInstance();
    config->setSp(jsonArrayOf(results));
    if (auto reachability = MVOMSAReachability::reachabilityForInternetConnection()) {
        if (reachability->isReachableViaWiFi())
            config->setCn(std::string("WIFI"));
        else if (reachability->isReachableViaWWAN())
            config->setCn(std::string("CellNetwork"));
    }
    if (auto mccmnc = MVOMSAHelper::getInstance()->getEnv().mccmnc) config->setOp(*mccmnc);
    return true;
}
