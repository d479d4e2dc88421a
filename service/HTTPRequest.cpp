#include "service/HTTPRequest.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <thread>

#include "foundation/RunLoop.h"
#include "net/NetworkActivity.h"

namespace {

std::atomic<double> gDefaultTimeOut{HTTPRequest::kDefaultTimeOutSeconds};

bool hasHTTPScheme(const std::string& url) {
    auto lower = url.substr(0, 8);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

}  // namespace

// The shared queue: up to four worker threads, started as work arrives and
// kept for the life of the program.
class NetworkQueue {
public:
    static NetworkQueue& shared() {
        static NetworkQueue* queue = new NetworkQueue;  // lives as long as its threads
        return *queue;
    }

    void add(HTTPRequestPtr request) {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(request));
        if (waiting_.size() > static_cast<std::size_t>(idle_) && threads_ < HTTPRequest::kMaxConcurrentRequests) {
            ++threads_;
            std::thread([this] { work(); }).detach();
        }
        wake_.notify_one();
    }

    void remove(const HTTPRequest* request) {
        HTTPRequestPtr dropped;  // released outside the lock
        std::lock_guard lock(mutex_);
        auto it = std::find_if(waiting_.begin(), waiting_.end(), [&](const auto& r) { return r.get() == request; });
        if (it != waiting_.end()) {
            dropped = std::move(*it);
            waiting_.erase(it);
        }
    }

    std::size_t count() {
        std::lock_guard lock(mutex_);
        return waiting_.size() + static_cast<std::size_t>(running_);
    }

private:
    void work() {
        for (;;) {
            HTTPRequestPtr request;
            {
                std::unique_lock lock(mutex_);
                ++idle_;
                wake_.wait(lock, [&] { return !waiting_.empty(); });
                --idle_;
                request = std::move(waiting_.front());
                waiting_.pop_front();
                ++running_;
            }
            request->runOnQueue();
            request.reset();
            std::lock_guard lock(mutex_);
            --running_;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<HTTPRequestPtr> waiting_;
    int threads_ = 0;
    int idle_ = 0;
    int running_ = 0;
};

HTTPRequestPtr HTTPRequest::requestWithURL(std::string url) { return std::make_shared<HTTPRequest>(std::move(url)); }

HTTPRequest::HTTPRequest(std::string url) : url_(std::move(url)), timeOut_(gDefaultTimeOut.load()) {}

HTTPRequest::~HTTPRequest() { endActivity(); }

void HTTPRequest::setDefaultTimeOutSeconds(double seconds) {
    gDefaultTimeOut.store(seconds > 0 ? seconds : kDefaultTimeOutSeconds);
}

double HTTPRequest::defaultTimeOutSeconds() { return gDefaultTimeOut.load(); }

std::size_t HTTPRequest::queuedRequestCount() { return NetworkQueue::shared().count(); }

void HTTPRequest::addRequestHeader(std::string name, std::string value) {
    for (auto& [k, v] : requestHeaders_)
        if (k == name) {
            v = std::move(value);
            return;
        }
    requestHeaders_.emplace_back(std::move(name), std::move(value));
}

void HTTPRequest::setDelegate(std::weak_ptr<HTTPRequestDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<HTTPRequestDelegate> HTTPRequest::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void HTTPRequest::setStartedBlock(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    startedBlock_ = std::move(fn);
}

void HTTPRequest::setCompletionBlock(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    completionBlock_ = std::move(fn);
}

void HTTPRequest::setFailedBlock(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    failedBlock_ = std::move(fn);
}

net::Request HTTPRequest::buildRequest() const {
    net::Request r;
    r.method = method_.empty() ? "GET" : method_;
    if (!body_.empty() && (r.method == "GET" || r.method == "HEAD")) r.method = "POST";
    r.url = url_;
    r.headers = requestHeaders_;
    r.body = body_;
    r.timeout = timeOut_;
    r.exchangeLimit = exchangeLimit_;
    r.maxResponseBytes = maxResponseBytes_;
    r.followRedirects = followRedirects_;
    return r;
}

void HTTPRequest::startAsynchronous() { startAsynchronous(nullptr); }

void HTTPRequest::startAsynchronous(std::shared_ptr<void> owner) {
    // Asked outside the lock: the delegate may take locks of its own that are
    // held while calling into this request.
    auto listener = delegate();
    bool hearsStarted = listener && listener->respondsToRequestStarted();
    listener.reset();
    {
        std::lock_guard lock(mutex_);
        if (started_) return;
        delegateHearsStarted_ = hearsStarted;
        started_ = true;
        counted_ = true;
        owner_ = std::move(owner);
    }
    net::NetworkActivity::increment();
    NetworkQueue::shared().add(shared_from_this());
}

void HTTPRequest::startSynchronous() {
    {
        std::lock_guard lock(mutex_);
        if (started_) return;
        started_ = true;
        counted_ = true;
        executing_ = true;
    }
    net::NetworkActivity::increment();
    if (!hasHTTPScheme(url_)) {
        net::Response r;
        r.error = net::ErrorKind::Other;
        r.errorMessage = "Unable to create request (bad url?)";
        complete(std::move(r), HTTPUnableToCreateRequestErrorType);
        endActivity();
        return;
    }
    complete(net::perform(buildRequest(), &cancellation_));
    endActivity();
}

void HTTPRequest::runOnQueue() {
    {
        std::lock_guard lock(mutex_);
        if (done_) return;
        executing_ = true;
    }
    if (!hasHTTPScheme(url_)) {
        postStarted();
        net::Response r;
        r.error = net::ErrorKind::Other;
        r.errorMessage = "Unable to create request (bad url?)";
        if (complete(std::move(r), HTTPUnableToCreateRequestErrorType)) deliver(Delivery::Failed);
        return;
    }
    // "Started" is posted once the exchange is under way, so posting it does
    // not delay the request itself.
    net::Response response = net::perform(buildRequest(), &cancellation_, {}, [this] { postStarted(); });
    postStarted();
    bool failed = response.failed();
    if (!failed && processor_ && !isFinished()) processor_(response);
    if (complete(std::move(response))) deliver(failed ? Delivery::Failed : Delivery::Finished);
}

bool HTTPRequest::complete(net::Response response, int errorCode) {
    {
        std::lock_guard lock(mutex_);
        if (done_) return false;
        done_ = true;
        executing_ = false;
        error_ = errorFor(response, errorCode);
        response_ = std::move(response);
    }
    return true;
}

void HTTPRequest::endActivity() {
    {
        std::lock_guard lock(mutex_);
        if (!counted_) return;
        counted_ = false;
    }
    net::NetworkActivity::decrement();
}

void HTTPRequest::postStarted() {
    std::lock_guard lock(mutex_);
    if (startedPosted_ || cancelled_) return;  // a request cancelled first never reports a start
    startedPosted_ = true;
    if (!delegateHearsStarted_ && !startedBlock_) return;  // nobody to tell
    deliver(Delivery::Started);
}

void HTTPRequest::cancel() {
    {
        std::lock_guard lock(mutex_);
        if (done_) return;
        done_ = true;
        cancelled_ = true;
        executing_ = false;
        net::Response r;
        r.error = net::ErrorKind::Cancelled;
        r.errorMessage = "The request was cancelled";
        error_ = errorFor(r, 0);
        deliver(Delivery::Failed);  // under the lock: no "started" can be posted after it
    }
    cancellation_.cancel();
    NetworkQueue::shared().remove(this);
    endActivity();
}

void HTTPRequest::clearDelegatesAndCancel() {
    // Released after the lock (and after the cancellation): the owner and the
    // blocks may hold this request, or be what holds its caller.
    auto keep = weak_from_this().lock();
    std::shared_ptr<void> owner;
    std::function<void()> started, completion, failed;
    {
        std::lock_guard lock(mutex_);
        delegate_.reset();
        started = std::move(startedBlock_);
        completion = std::move(completionBlock_);
        failed = std::move(failedBlock_);
        startedBlock_ = completionBlock_ = failedBlock_ = nullptr;
        owner = std::move(owner_);
        owner_.reset();
    }
    cancel();
}

// What the last callback carries besides the request: the owner. Destroyed
// when the callback has run or when the run loop drops it unrun; either way
// the request then lets go of its blocks.
struct HTTPRequest::FinalDelivery {
    HTTPRequestPtr request;
    std::shared_ptr<void> owner;
    ~FinalDelivery() { request->releaseBlocks(); }  // then the owner, then the request
};

void HTTPRequest::releaseBlocks() {
    std::function<void()> started, completion, failed;  // destroyed after the lock
    std::lock_guard lock(mutex_);
    started = std::move(startedBlock_);
    completion = std::move(completionBlock_);
    failed = std::move(failedBlock_);
    startedBlock_ = completionBlock_ = failedBlock_ = nullptr;
}

void HTTPRequest::deliver(Delivery what) {
    std::shared_ptr<FinalDelivery> final;
    if (what != Delivery::Started) {
        std::lock_guard lock(mutex_);
        final = std::make_shared<FinalDelivery>();
        final->request = shared_from_this();
        final->owner = std::move(owner_);
        owner_.reset();
    }
    ns::RunLoop::main().post([self = shared_from_this(), what, final = std::move(final)] {
        // The exchange counts until its outcome is told, so that no count
        // means no outcome on its way.
        if (what != Delivery::Started) self->endActivity();
        std::shared_ptr<HTTPRequestDelegate> delegate;
        {
            std::lock_guard lock(self->mutex_);
            delegate = self->delegate_.lock();
        }
        if (delegate) {
            switch (what) {
                case Delivery::Started: delegate->requestStarted(*self); break;
                case Delivery::Finished: delegate->requestFinished(*self); break;
                case Delivery::Failed: delegate->requestFailed(*self); break;
            }
        }
        std::function<void()> block;  // read after the delegate, which may have cleared it
        {
            std::lock_guard lock(self->mutex_);
            block = what == Delivery::Started    ? self->startedBlock_
                    : what == Delivery::Finished ? self->completionBlock_
                                                 : self->failedBlock_;
        }
        if (block) block();
    });
}

ns::ErrorPtr HTTPRequest::errorFor(const net::Response& r, int errorCode) {
    if (!r.failed()) return nullptr;
    int code = errorCode;
    std::string text;
    switch (r.error) {
        case net::ErrorKind::ConnectionFailure:
            if (!code) code = HTTPConnectionFailureErrorType;
            text = "A connection failure occurred";
            break;
        case net::ErrorKind::TimedOut:
            if (!code) code = HTTPRequestTimedOutErrorType;
            text = "The request timed out";
            break;
        case net::ErrorKind::Cancelled:
            if (!code) code = HTTPRequestCancelledErrorType;
            text = "The request was cancelled";
            break;
        default:
            if (!code) code = HTTPInternalErrorType;
            text = "The request failed";
    }
    if (!r.errorMessage.empty() && r.errorMessage != text) text += ": " + r.errorMessage;
    return ns::makeError(HTTPRequestErrorDomain, code, text);
}

bool HTTPRequest::isExecuting() const {
    std::lock_guard lock(mutex_);
    return executing_;
}

bool HTTPRequest::isFinished() const {
    std::lock_guard lock(mutex_);
    return done_;
}

bool HTTPRequest::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

int HTTPRequest::responseStatusCode() const {
    std::lock_guard lock(mutex_);
    return done_ ? response_.status : 0;
}

net::Headers HTTPRequest::responseHeaders() const {
    std::lock_guard lock(mutex_);
    return done_ ? response_.headers : net::Headers{};
}

std::string HTTPRequest::responseHeader(std::string_view name) const {
    std::lock_guard lock(mutex_);
    return done_ ? response_.header(name) : std::string();
}

ns::ErrorPtr HTTPRequest::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}
