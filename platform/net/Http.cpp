#include "net/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "net/Reachability.h"

namespace net {

namespace {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Done as the program loads, on the main thread, as libcurl asks: the TLS
// library's state for the initialising thread is then the main thread's,
// which its clean-up at exit releases, rather than a worker's that a queue
// joins only after that clean-up.
[[maybe_unused]] const bool kInitialisedAtLoad = (globalInit(), true);

// Each thread keeps one multi handle, so its connections stay open between
// exchanges (keep-alive) without sharing a cache across threads, and one easy
// handle, reset for each exchange instead of built anew.
struct ThreadHandles {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    bool easyInUse = false;
    ThreadHandles() {
        globalInit();
        multi = curl_multi_init();
        easy = curl_easy_init();
    }
    ~ThreadHandles() {
        if (easy) curl_easy_cleanup(easy);
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

using Clock = std::chrono::steady_clock;

}  // namespace

std::string headerValue(const Headers& headers, std::string_view name) {
    for (const auto& [k, v] : headers)
        if (equalsIgnoreCase(k, name)) return v;
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

// What the callbacks of one exchange share.
struct ExchangeState {
    Response* response = nullptr;
    std::size_t limit = 0;
    bool tooLarge = false;
    std::size_t announced = 0;  // the response's Content-Length (0: none)
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastDown = 0, lastUp = 0;
    const Progress* progress = nullptr;

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

    static size_t onBody(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<ExchangeState*>(user);
        std::size_t n = size * count;
        self->lastActivity = Clock::now();
        if (self->response->body.size() + n > self->limit) {
            self->tooLarge = true;
            return 0;  // makes libcurl stop with a write error
        }
        // Room for the whole body at once, as long as it says and the limit
        // allows: a body of megabytes grown piece by piece is copied over
        // and over, and held twice while it is.
        if (self->response->body.empty() && self->announced > n)
            self->response->body.reserve(std::min(self->announced, self->limit));
        self->response->body.append(data, n);
        return n;
    }

    static size_t onHeader(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<ExchangeState*>(user);
        std::size_t n = size * count;
        self->lastActivity = Clock::now();
        std::string_view line(data, n);
        if (line.substr(0, 5) == "HTTP/") {
            // A new response (after a redirect or an interim 1xx): start over.
            self->response->headers.clear();
            self->announced = 0;
            return n;
        }
        auto colon = line.find(':');
        if (colon != std::string_view::npos && colon > 0) {
            auto& [name, value] = self->response->headers.emplace_back(std::string(trim(line.substr(0, colon))),
                                                                        std::string(trim(line.substr(colon + 1))));
            if (equalsIgnoreCase(name, "Content-Length")) {
                unsigned long long length = 0;
                auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
                self->announced =
                    ec == std::errc() && end == value.data() + value.size() ? static_cast<std::size_t>(length) : 0;
            }
        }
        return n;
    }

    static int onProgress(void* user, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
        auto* self = static_cast<ExchangeState*>(user);
        if (dlnow != self->lastDown || ulnow != self->lastUp) {
            self->lastActivity = Clock::now();
            if (dlnow != self->lastDown && self->progress && *self->progress)
                (*self->progress)(static_cast<std::uint64_t>(dlnow), static_cast<std::uint64_t>(dltotal));
            self->lastDown = dlnow;
            self->lastUp = ulnow;
        }
        return 0;
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

std::string lowercase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The URL's host, lower-cased ("" when it does not parse).
std::string hostOf(const std::string& url) {
    CURLU* u = curl_url();
    std::string host;
    char* part = nullptr;
    if (u && curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_HOST, &part, 0) == CURLUE_OK && part) {
        host = lowercase(part);
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
    std::string scheme = lowercase(location.substr(0, location.find(':')));
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

// Sets the method and body of one hop.
void setMethod(CURL* easy, const std::string& method, bool sendBody, const std::string& body) {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 0L);
    if (sendBody) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
        if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        return;
    }
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    if (method == "HEAD")
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    else if (method != "GET")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
}

constexpr long kMaxRedirects = 5;
constexpr double kDefaultExchangeLimit = 300;

}  // namespace

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
    bool ownEasy = handles.easyInUse || !handles.easy;
    CURL* easy = ownEasy ? curl_easy_init() : handles.easy;
    if (!multi || !easy) return fail(ErrorKind::Other, "Could not create the exchange");
    if (!ownEasy) {
        curl_easy_reset(easy);
        handles.easyInUse = true;
    }

    ExchangeState state;
    state.response = &response;
    state.limit = request.maxResponseBytes;
    state.progress = &progress;

    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &ExchangeState::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &ExchangeState::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &ExchangeState::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    std::string noProxy = noProxyList();
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
    if (request.acceptCompressed)
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    else
        curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    if (request.timeout > 0) {
        auto ms = static_cast<long>(std::max(1.0, request.timeout * 1000.0));
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, ms);
    }

    curl_slist* headers = nullptr;
    bool hasContentType = false;
    for (const auto& [name, value] : request.headers) {
        if (name.empty() || name.find_first_of(":\r\n") != std::string::npos ||
            value.find_first_of("\r\n") != std::string::npos)
            continue;  // a header that would split the message is dropped
        if (equalsIgnoreCase(name, "Content-Type")) hasContentType = true;
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        headers = curl_slist_append(headers, line.c_str());
    }
    std::string method = request.method.empty() ? std::string("GET") : request.method;
    bool sendBody = !request.body.empty() || methodCarriesBody(method);
    if (sendBody && !hasContentType) headers = curl_slist_append(headers, "Content-Type:");
    headers = curl_slist_append(headers, "Expect:");  // send the body without waiting for 100-continue
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    const auto started = Clock::now();
    const double exchangeLimit = request.exchangeLimit > 0 ? request.exchangeLimit : kDefaultExchangeLimit;
    std::string url = request.url;
    ExchangeState::attach(cancellation, multi);
    CURLcode result = CURLE_OK;
    ErrorKind forced = ErrorKind::None;
    bool told = false;
    for (long hop = 0;; ++hop) {
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        setMethod(easy, method, sendBody, request.body);
        curl_multi_add_handle(multi, easy);
        result = CURLE_OK;
        bool done = false;
        while (!done) {
            int running = 0;
            CURLMcode mc = curl_multi_perform(multi, &running);
            if (mc != CURLM_OK) {
                forced = ErrorKind::Other;
                response.errorMessage = curl_multi_strerror(mc);
                break;
            }
            if (!told) {
                told = true;
                if (begun) begun();
            }
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                    result = msg->data.result;
                    done = true;
                }
            }
            if (done) break;
            if (cancellation && cancellation->cancelled()) {
                forced = ErrorKind::Cancelled;
                response.errorMessage = "The request was cancelled";
                break;
            }
            const auto now = Clock::now();
            double left = exchangeLimit - std::chrono::duration<double>(now - started).count();
            if (left <= 0) {
                forced = ErrorKind::TimedOut;
                response.errorMessage = "The exchange took longer than its limit";
                break;
            }
            int waitMs = std::clamp(static_cast<int>(left * 1000.0) + 1, 1, 1000);
            if (request.timeout > 0) {
                double idle = std::chrono::duration<double>(now - state.lastActivity).count();
                if (idle >= request.timeout) {
                    forced = ErrorKind::TimedOut;
                    response.errorMessage = "The request timed out";
                    break;
                }
                waitMs = std::min(waitMs, static_cast<int>((request.timeout - idle) * 1000.0) + 1);
            }
            curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
        }
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        response.status = static_cast<int>(status);
        char* effective = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
            response.effectiveURL = effective;
        char* location = nullptr;
        if (curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location) != CURLE_OK) location = nullptr;
        std::string redirect = location ? location : "";
        curl_multi_remove_handle(multi, easy);
        if (forced != ErrorKind::None || result != CURLE_OK) break;
        if (!request.followRedirects || !isRedirect(status) || redirect.empty()) break;
        if (hop == kMaxRedirects) {
            forced = ErrorKind::Other;
            response.errorMessage = "Too many redirects";
            break;
        }
        NextHop next = nextHop(url, method, sendBody, status, redirect);
        if (!next.refusal.empty()) {
            forced = ErrorKind::Other;
            response.errorMessage = next.refusal;
            break;
        }
        url = std::move(next.url);
        method = std::move(next.method);
        sendBody = next.sendBody;
        response.body.clear();
        response.headers.clear();
        state.lastActivity = Clock::now();
    }
    ExchangeState::detach(cancellation);

    if (ownEasy) {
        curl_easy_cleanup(easy);
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        handles.easyInUse = false;
    }
    curl_slist_free_all(headers);

    if (forced != ErrorKind::None) {
        response.error = forced;
        response.body.clear();
        return response;
    }
    if (result != CURLE_OK) {
        response.error = state.tooLarge ? ErrorKind::Other : kindOf(result);
        response.errorMessage = state.tooLarge ? "The reply is too large" : curl_easy_strerror(result);
    }
    return response;
}

}  // namespace net
