#include "net/Http.h"

#include <curl/curl.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "foundation/Strings.h"
#include "net/Reachability.h"
#include "net/Transfer.h"

namespace net {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Done as the program loads, on the main thread, as libcurl asks: the TLS
// library's state for the initialising thread is then the main thread's,
// which its clean-up at exit releases, rather than a worker's that a queue
// joins only after that clean-up.
[[maybe_unused]] const bool kInitialisedAtLoad = (detail::globalInit(), true);

// Each thread keeps one multi handle for its blocking exchanges, so its
// connections stay open between exchanges (keep-alive) without sharing a
// cache across threads, and one easy handle that keeps its settings.
struct ThreadHandles {
    CURLM* multi = nullptr;
    detail::Easy easy;
    bool easyInUse = false;
    ThreadHandles() { multi = curl_multi_init(); }
    ~ThreadHandles() {
        if (multi) curl_multi_cleanup(multi);
    }
};

ThreadHandles& threadHandles() {
    thread_local ThreadHandles handles;
    return handles;
}

std::string noProxyList() {
    std::string list = "127.0.0.1,localhost,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* v = std::getenv(name);
        if (v && *v) return std::string(v) + "," + list;
    }
    return list;
}

using detail::Clock;

}  // namespace

std::string headerValue(const Headers& headers, std::string_view name) {
    for (const auto& [k, v] : headers)
        if (ns::asciiCaseInsensitiveEqual(k, name)) return v;
    return {};
}

const char* errorKindName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::None: return "none";
        case ErrorKind::ConnectionFailure: return "connection failure";
        case ErrorKind::TimedOut: return "timed out";
        case ErrorKind::Cancelled: return "cancelled";
        case ErrorKind::Other: return "other";
    }
    return "other";
}

void Cancellation::cancel() {
    cancelled_.store(true);
    std::lock_guard lock(mutex_);
    if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

// Lets a Cancellation reach the multi handle of the exchange it may stop.
struct ExchangeState {
    static void attach(Cancellation* c, CURLM* multi) {
        if (!c) return;
        std::lock_guard lock(c->mutex_);
        c->multi_ = multi;
    }
    static void detach(Cancellation* c) {
        if (!c) return;
        std::lock_guard lock(c->mutex_);
        c->multi_ = nullptr;
    }
};

namespace {

ErrorKind kindOf(CURLcode code) {
    switch (code) {
        case CURLE_OK: return ErrorKind::None;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return ErrorKind::ConnectionFailure;
        case CURLE_OPERATION_TIMEDOUT: return ErrorKind::TimedOut;
        case CURLE_ABORTED_BY_CALLBACK: return ErrorKind::Cancelled;
        default: return ErrorKind::Other;
    }
}

bool methodCarriesBody(const std::string& method) {
    return method == "POST" || method == "PUT" || method == "PATCH";
}

// What a redirect asks of the next hop, or why it is refused.
struct NextHop {
    std::string url, method;
    bool sendBody = false;
    std::string refusal;  // not empty: the redirect is not followed
};

// The URL's host, lower-cased ("" when it does not parse).
std::string hostOf(const std::string& url) {
    CURLU* u = curl_url();
    std::string host;
    char* part = nullptr;
    if (u && curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &part, 0) == CURLUE_OK && part) {
        host = ns::asciiLowercase(part);
    }
    curl_free(part);
    curl_url_cleanup(u);
    return host;
}

bool isRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect from `url` (sent with `method`, with or without a body)
// to `location` goes. Only http and https are followed. 303, and 301 or 302
// after a POST, go on as a GET without the body, as browsers do; the others
// keep the method and the body, which never goes to another host.
NextHop nextHop(const std::string& url, const std::string& method, bool sendBody, long status,
                const std::string& location) {
    NextHop next;
    next.url = location;
    std::string scheme = ns::asciiLowercase(location.substr(0, location.find(':')));
    if (scheme != "http" && scheme != "https") {
        next.refusal = "A redirect to " + (scheme.empty() ? location : scheme + ":") + " was refused";
        return next;
    }
    bool toGet = (status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST");
    next.method = toGet ? "GET" : method;
    next.sendBody = toGet ? false : sendBody;
    if (next.sendBody && hostOf(location) != hostOf(url))
        next.refusal = "A redirect asked for the request body to be sent to another host; it was refused";
    return next;
}

constexpr long kMaxRedirects = 5;
// Codings stacked on one reply that are undone (each is a stage of its own);
// a reply naming more is refused, as libcurl refuses it.
constexpr std::size_t kMaxContentCodings = 5;
constexpr double kDefaultExchangeLimit = 300;
// The longest connection time-out handed to curl, in milliseconds: what an
// int counts (24.8 days). The exchange's own limit ends a longer one anyway.
constexpr long kLongestConnectMs = std::numeric_limits<int>::max();

}  // namespace

namespace detail {

// The content codings of one reply, undone in turn (the last one applied
// first): gzip, and deflate with or without its zlib wrapper.
struct Decoding {
    struct Stage {
        z_stream zs{};
        bool deflate = false;  // may come without its zlib wrapper
        bool raw = false;      // it did
        bool begun = false;    // bytes have gone in
        bool ended = false;    // the stream is complete
        std::vector<char> out = std::vector<char>(16 * 1024);  // what one inflate call gives
        ~Stage() { inflateEnd(&zs); }
    };
    std::vector<std::unique_ptr<Stage>> stages;
};

}  // namespace detail

namespace {

// Chooses how the hop's body is decoded, from its Content-Encoding headers.
// False when a coding is none this exchange can undo.
bool chooseDecoding(detail::Transfer& t) {
    t.decodingChosen = true;
    t.decoding.reset();
    if (!t.request.acceptCompressed) return true;
    std::vector<std::string> codings;
    for (const auto& [name, value] : t.response.headers) {
        if (!ns::asciiCaseInsensitiveEqual(name, "Content-Encoding")) continue;
        std::string_view list = value;
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            const std::string coding = ns::asciiLowercase(trim(list.substr(0, comma)));
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
            if (!coding.empty() && coding != "identity") codings.push_back(coding);
        }
    }
    if (codings.empty()) return true;
    if (codings.size() > kMaxContentCodings) {
        t.force(ErrorKind::Other, "The reply came in more content codings than are undone");
        return false;
    }
    auto decoding = std::make_shared<detail::Decoding>();
    for (auto it = codings.rbegin(); it != codings.rend(); ++it) {
        const bool gzip = *it == "gzip" || *it == "x-gzip";
        if (!gzip && *it != "deflate") {
            t.force(ErrorKind::Other, "The reply came in a content coding that was not asked for (" + *it + ")");
            return false;
        }
        auto stage = std::make_unique<detail::Decoding::Stage>();
        // gzip takes a zlib stream too, as servers that mislabel one send it.
        if (inflateInit2(&stage->zs, gzip ? 15 + 32 : 15) != Z_OK) {
            t.force(ErrorKind::Other, "Could not decode the reply");
            return false;
        }
        stage->deflate = !gzip;
        decoding->stages.push_back(std::move(stage));
    }
    t.decoding = std::move(decoding);
    return true;
}

// Keeps decoded bytes within the reply cap.
bool keep(detail::Transfer& t, const char* data, std::size_t n) {
    std::string& body = t.response.body;
    if (body.size() + n > t.request.maxResponseBytes) {
        t.tooLarge = true;
        return false;
    }
    body.append(data, n);
    return true;
}

// Passes bytes through the decoding from `stage` on; false when they cannot
// be decoded or the reply grows too large.
bool decode(detail::Transfer& t, std::size_t stage, const char* data, std::size_t n) {
    if (stage == t.decoding->stages.size()) return keep(t, data, n);
    if (n == 0) return true;
    detail::Decoding::Stage& s = *t.decoding->stages[stage];
    if (s.ended) {
        t.force(ErrorKind::Other, "The reply has bytes after the end of its compressed body");
        return false;
    }
    s.zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    s.zs.avail_in = static_cast<uInt>(n);
    for (;;) {
        s.zs.next_out = reinterpret_cast<Bytef*>(s.out.data());
        s.zs.avail_out = static_cast<uInt>(s.out.size());
        int rc = inflate(&s.zs, Z_NO_FLUSH);
        if (rc == Z_DATA_ERROR && s.deflate && !s.raw && !s.begun) {
            // "deflate" sent as a bare deflate stream, as some servers do.
            inflateEnd(&s.zs);
            s.zs = z_stream{};
            if (inflateInit2(&s.zs, -15) != Z_OK) {
                t.force(ErrorKind::Other, "Could not decode the reply");
                return false;
            }
            s.raw = true;
            s.zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
            s.zs.avail_in = static_cast<uInt>(n);
            continue;
        }
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            t.force(ErrorKind::Other, "The reply's compressed body is damaged");
            return false;
        }
        s.begun = true;
        const std::size_t got = s.out.size() - s.zs.avail_out;
        if (got && !decode(t, stage + 1, s.out.data(), got)) return false;
        if (rc == Z_STREAM_END) {
            s.ended = true;
            break;
        }
        if (s.zs.avail_in == 0 && s.zs.avail_out != 0) break;  // all taken in, all given out
        if (rc == Z_BUF_ERROR && got == 0) break;
    }
    if (s.ended && s.zs.avail_in > 0) {
        t.force(ErrorKind::Other, "The reply has bytes after the end of its compressed body");
        return false;
    }
    return true;
}

// Whether a compressed body stopped before its end.
bool brokeOff(const detail::Transfer& t) {
    if (!t.decoding) return false;
    for (const auto& s : t.decoding->stages)
        if (s->begun && !s->ended) return true;
    return false;
}

// ---- libcurl's callbacks: `user` is the Easy, whose current exchange is told

detail::Transfer& transferOf(void* user) { return *static_cast<detail::Easy*>(user)->current; }

size_t onBody(char* data, size_t size, size_t count, void* user) {
    detail::Transfer& t = transferOf(user);
    std::size_t n = size * count;
    t.lastActivity = Clock::now();
    if (!t.decodingChosen && !chooseDecoding(t)) return 0;
    // Returning less than was given makes libcurl stop with a write error.
    if (t.decoding) return decode(t, 0, data, n) ? n : 0;
    return keep(t, data, n) ? n : 0;
}

// "Content-Length: n" with n within the reply cap: the body's room is taken
// at once, so a large reply is never copied while it grows. (A compressed
// reply's length is a floor for its decoded size.)
void reserveFor(detail::Transfer& t, std::string_view value) {
    std::size_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return;
        if (n > t.request.maxResponseBytes) return;
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    if (n > 0 && n <= t.request.maxResponseBytes) t.response.body.reserve(n);
    t.reserved = true;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    detail::Transfer& t = transferOf(user);
    std::size_t n = size * count;
    t.lastActivity = Clock::now();
    std::string_view line(data, n);
    if (line.substr(0, 5) == "HTTP/") {
        // A new response (after a redirect or an interim 1xx): start over.
        t.response.headers.clear();
        t.reserved = false;
        t.decoding.reset();
        t.decodingChosen = false;
        return n;
    }
    auto colon = line.find(':');
    if (colon != std::string_view::npos && colon > 0) {
        std::string_view name = trim(line.substr(0, colon)), value = trim(line.substr(colon + 1));
        if (!t.reserved && ns::asciiCaseInsensitiveEqual(name, "Content-Length")) reserveFor(t, value);
        t.response.headers.emplace_back(std::string(name), std::string(value));
    }
    return n;
}

int onProgress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    detail::Transfer& t = transferOf(user);
    if (dlnow != t.lastDown || ulnow != t.lastUp) {
        t.lastActivity = Clock::now();
        if (dlnow != t.lastDown && t.progress && *t.progress)
            (*t.progress)(static_cast<std::uint64_t>(dlnow), static_cast<std::uint64_t>(dltotal));
        t.lastDown = dlnow;
        t.lastUp = ulnow;
    }
    return 0;
}

// Never destroyed: a worker may start its first exchange while the program
// ends, after the statics have gone.
const std::string& processNoProxyList() {
    static const std::string* list = new std::string(noProxyList());
    return *list;
}

}  // namespace

namespace detail {

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

Easy::Easy() {
    globalInit();
    handle = curl_easy_init();
    if (!handle) return;
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, processNoProxyList().c_str());
    curl_easy_setopt(handle, CURLOPT_HTTP_CONTENT_DECODING, 0L);  // decoded in onBody
}

Easy::~Easy() {
    if (handle) curl_easy_cleanup(handle);
    curl_slist_free_all(headers);
}

Transfer::Transfer(const Request& r, const Progress* p) : request(r), progress(p) {
    method = r.method.empty() ? std::string("GET") : r.method;
    url = r.url;
    sendBody = !r.body.empty() || methodCarriesBody(method);
    started = lastActivity = Clock::now();
}

void Transfer::begin(Easy& e) {
    easy = &e;
    e.current = this;
    response.headers.reserve(8);
    CURL* h = e.handle;
    const int compressed = request.acceptCompressed ? 1 : 0;
    const bool headersChanged = !e.headersMade || e.headerKeyBody != sendBody || e.compressed != compressed ||
                                e.headerKey != request.headers;
    e.compressed = compressed;
    // The connection may take the time-out, but never longer than the whole
    // exchange may (whose own limit ends it then), so curl is handed a
    // number of milliseconds it holds whatever the time-out.
    const double exchangeSeconds = request.exchangeLimit > 0 ? request.exchangeLimit : kDefaultExchangeLimit;
    const double connectSeconds = std::min(request.timeout, exchangeSeconds);
    const long connectMs =
        request.timeout > 0
            ? static_cast<long>(std::clamp(connectSeconds * 1000.0, 1.0, static_cast<double>(kLongestConnectMs)))
            : 0L;
    if (e.connectTimeoutMs != connectMs) {
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
        e.connectTimeoutMs = connectMs;
    }
    if (headersChanged) {
        curl_slist* list = nullptr;
        bool hasContentType = false, hasAcceptEncoding = false;
        for (const auto& [name, value] : request.headers) {
            if (name.empty() || name.find_first_of(":\r\n") != std::string::npos ||
                value.find_first_of("\r\n") != std::string::npos)
                continue;  // a header that would split the message is dropped
            if (ns::asciiCaseInsensitiveEqual(name, "Content-Type")) hasContentType = true;
            if (ns::asciiCaseInsensitiveEqual(name, "Accept-Encoding")) hasAcceptEncoding = true;
            std::string line = value.empty() ? name + ";" : name + ": " + value;
            list = curl_slist_append(list, line.c_str());
        }
        if (sendBody && !hasContentType) list = curl_slist_append(list, "Content-Type:");
        // What onBody can decode.
        if (compressed && !hasAcceptEncoding) list = curl_slist_append(list, "Accept-Encoding: gzip, deflate");
        list = curl_slist_append(list, "Expect:");  // send the body without waiting for 100-continue
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, list);
        curl_slist_free_all(e.headers);
        e.headers = list;
        e.headerKey = request.headers;
        e.headerKeyBody = sendBody;
        e.headersMade = true;
    }
    setHop();
}

void Transfer::setHop() {
    CURL* h = easy->handle;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, nullptr);
    curl_easy_setopt(h, CURLOPT_NOBODY, 0L);
    if (sendBody) {
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
        if (method != "POST") curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
        return;
    }
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    if (method == "HEAD")
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    else if (method != "GET")
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
}

bool Transfer::hopEnded(CURLcode code) {
    CURL* h = easy->handle;
    result = code;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);
    char* effective = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        response.effectiveURL = effective;
    if (forced != ErrorKind::None || result != CURLE_OK) return false;
    // A reply whose compressed body stops before its end is cut short,
    // however whole its framing looked.
    auto last = [this] {
        if (brokeOff(*this)) force(ErrorKind::ConnectionFailure, "The reply broke off inside its compressed body");
        return false;
    };
    if (!request.followRedirects || !isRedirect(status)) return last();
    char* location = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location) != CURLE_OK || !location || !*location) return last();
    if (hop == kMaxRedirects) {
        force(ErrorKind::Other, "Too many redirects");
        return false;
    }
    NextHop next = nextHop(url, method, sendBody, status, location);
    if (!next.refusal.empty()) {
        force(ErrorKind::Other, next.refusal);
        return false;
    }
    url = std::move(next.url);
    method = std::move(next.method);
    sendBody = next.sendBody;
    response.body.clear();
    response.headers.clear();
    decoding.reset();
    decodingChosen = false;
    lastActivity = Clock::now();
    ++hop;
    return true;
}

Response Transfer::finish() {
    if (easy) {
        easy->current = nullptr;
        easy = nullptr;
    }
    if (forced != ErrorKind::None) {
        response.error = forced;
        response.body = std::string();
    } else if (result != CURLE_OK) {
        response.error = tooLarge ? ErrorKind::Other : kindOf(result);
        response.errorMessage = tooLarge ? "The reply is too large" : curl_easy_strerror(result);
        if (tooLarge) response.body = std::string();
    }
    return std::move(response);
}

void Transfer::force(ErrorKind kind, std::string message) {
    if (forced != ErrorKind::None) return;
    forced = kind;
    response.errorMessage = std::move(message);
}

namespace {

// Some seconds after a moment, held at the end of the steady clock (some 292
// years on): a longer time-out waits as long as the clock can express.
Clock::time_point secondsAfter(Clock::time_point from, double s) {
    using Seconds = std::chrono::duration<double>;
    const Clock::duration room = Clock::time_point::max() - from;
    // (A second short of the end: no rounding on the way carries it past.)
    if (!(s < Seconds(room).count() - 1)) return Clock::time_point::max();
    return from + std::chrono::duration_cast<Clock::duration>(Seconds(std::max(0.0, s)));
}

}  // namespace

Clock::time_point Transfer::limitDue() const {
    return secondsAfter(started, request.exchangeLimit > 0 ? request.exchangeLimit : kDefaultExchangeLimit);
}

Clock::time_point Transfer::idleDue() const {
    return request.timeout > 0 ? secondsAfter(lastActivity, request.timeout) : Clock::time_point::max();
}

Clock::time_point Transfer::deadline() const { return std::min(limitDue(), idleDue()); }

bool Transfer::expire(Clock::time_point now) {
    if (now >= limitDue()) {
        force(ErrorKind::TimedOut, "The exchange took longer than its limit");
        return true;
    }
    if (now >= idleDue()) {
        force(ErrorKind::TimedOut, "The request timed out");
        return true;
    }
    return false;
}

}  // namespace detail

Response perform(const Request& request, Cancellation* cancellation, const Progress& progress,
                 const std::function<void()>& begun) {
    Response response;
    auto fail = [&](ErrorKind kind, std::string message) {
        response.error = kind;
        response.errorMessage = std::move(message);
        return response;
    };
    if (cancellation && cancellation->cancelled()) return fail(ErrorKind::Cancelled, "The request was cancelled");
    if (Reachability::isOverridden() && !Reachability::isReachable())
        return fail(ErrorKind::ConnectionFailure, "The network is not reachable");

    ThreadHandles& handles = threadHandles();
    CURLM* multi = handles.multi;
    // A progress or begun callback may run another exchange on this thread;
    // that one gets an easy handle of its own.
    std::unique_ptr<detail::Easy> own;
    if (handles.easyInUse || !handles.easy.handle) own = std::make_unique<detail::Easy>();
    detail::Easy& easy = own ? *own : handles.easy;
    if (!multi || !easy.handle) return fail(ErrorKind::Other, "Could not create the exchange");
    if (!own) handles.easyInUse = true;

    detail::Transfer t(request, &progress);
    t.begin(easy);
    ExchangeState::attach(cancellation, multi);
    bool told = false;
    for (;;) {
        curl_multi_add_handle(multi, easy.handle);
        CURLcode result = CURLE_OK;
        bool done = false;
        while (!done) {
            int running = 0;
            CURLMcode mc = curl_multi_perform(multi, &running);
            if (mc != CURLM_OK) {
                t.force(ErrorKind::Other, curl_multi_strerror(mc));
                break;
            }
            if (!told) {
                told = true;
                if (begun) begun();
            }
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy.handle) {
                    result = msg->data.result;
                    done = true;
                }
            }
            if (done) break;
            if (cancellation && cancellation->cancelled()) {
                t.force(ErrorKind::Cancelled, "The request was cancelled");
                break;
            }
            const auto now = Clock::now();
            if (t.expire(now)) break;
            const double left = std::chrono::duration<double>(t.deadline() - now).count();
            const int waitMs = static_cast<int>(std::clamp(left * 1000.0 + 1, 1.0, 1000.0));
            curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
        }
        bool again = t.hopEnded(result);
        curl_multi_remove_handle(multi, easy.handle);
        if (!again) break;
        t.setHop();
    }
    ExchangeState::detach(cancellation);
    if (!own) handles.easyInUse = false;
    return t.finish();
}

}  // namespace net
