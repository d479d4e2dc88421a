#include "service/HTTPRequest.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/RunLoop.h"
#include "net/Engine.h"
#include "net/NetworkActivity.h"

namespace {

std::atomic<double> gDefaultTimeOut{HTTPRequest::kDefaultTimeOutSeconds};

bool hasHTTPScheme(const std::string& url) {
    auto lower = url.substr(0, 8);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

}  // namespace

// The shared queue: at most four exchanges run at once on the main run
// loop's engine, the rest wait in order. Large replies are read on one
// reader thread, which endAll() (and a reset of the main run loop) joins.
class NetworkQueue final : public ns::RunLoopSource {
public:
    static NetworkQueue& shared() {
        static NetworkQueue* queue = [] {
            auto* q = new NetworkQueue;  // never destroyed: requests may end while the program exits
            // No reader may still be at work while the program's statics go.
            std::atexit([] { shared().stopReader(); });
            return q;
        }();
        return *queue;
    }

    // Any thread.
    void add(HTTPRequestPtr request) {
        {
            std::lock_guard lock(mutex_);
            waiting_.push_back(std::move(request));
        }
        if (ns::isMainThread())
            pump();
        else
            ns::RunLoop::main().post([] { shared().pump(); });
    }

    // Any thread: a waiting request that was cancelled.
    void remove(const HTTPRequest* request) {
        HTTPRequestPtr dropped;  // released outside the lock
        std::lock_guard lock(mutex_);
        dropped = takeOut(waiting_, request);
    }

    std::size_t count() {
        std::lock_guard lock(mutex_);
        return waiting_.size() + running_.size() + reading_.size();
    }

    // Main thread: the request's exchange has ended (or never began).
    void finished(const HTTPRequest* request) {
        HTTPRequestPtr done;  // released after the lock
        {
            std::lock_guard lock(mutex_);
            done = takeOut(running_, request);
        }
        if (done) pump();
    }

    // Main thread: gives waiting requests their turn while fewer than four run.
    void pump() {
        if (!registered_) {
            registered_ = true;
            ns::RunLoop::main().addSource(this);
        }
        if (pumping_ || ending_) return;
        pumping_ = true;
        for (;;) {
            HTTPRequestPtr next;
            {
                std::lock_guard lock(mutex_);
                if (waiting_.empty() ||
                    running_.size() >= static_cast<std::size_t>(HTTPRequest::kMaxConcurrentRequests))
                    break;
                next = std::move(waiting_.front());
                waiting_.pop_front();
                running_.push_back(next);
            }
            next->begin();
        }
        pumping_ = false;
    }

    // Main thread: runs `read` on the reader thread. The request counts as
    // queued until readDone().
    void readOffMain(HTTPRequestPtr request, std::function<void()> read) {
        {
            std::lock_guard lock(mutex_);
            reading_.push_back(std::move(request));
            reads_.push_back(std::move(read));
            if (!reader_.joinable()) {
                readerStop_ = false;
                reader_ = std::thread([this] { readLoop(); });
            }
        }
        readable_.notify_one();
    }

    // Main thread: a large reply has been read and is about to be told.
    void readDone(const HTTPRequest* request) {
        HTTPRequestPtr done;  // released after the lock
        std::lock_guard lock(mutex_);
        done = takeOut(reading_, request);
    }

    // Main thread.
    void endAll() {
        ending_ = true;
        std::deque<HTTPRequestPtr> waiting;
        std::vector<HTTPRequestPtr> running, reading;
        {
            std::lock_guard lock(mutex_);
            waiting.swap(waiting_);
            running.swap(running_);
            reading.swap(reading_);
        }
        for (auto& r : waiting) r->clearDelegatesAndCancel();
        for (auto& r : running) r->clearDelegatesAndCancel();
        for (auto& r : reading) r->clearDelegatesAndCancel();
        stopReader();
        ending_ = false;
    }

    // Stops the reader thread and waits for it; reads not begun are dropped.
    void stopReader() {
        std::thread reader;
        std::deque<std::function<void()>> dropped;  // released after the lock
        {
            std::lock_guard lock(mutex_);
            readerStop_ = true;
            reader = std::move(reader_);
            dropped.swap(reads_);
        }
        readable_.notify_all();
        if (reader.joinable() && reader.get_id() != std::this_thread::get_id()) reader.join();
    }

    bool hasReader() {
        std::lock_guard lock(mutex_);
        return reader_.joinable();
    }

    // RunLoopSource: no descriptors; a reset of the main loop ends everything.
    bool descriptorReady(int, unsigned) override { return false; }
    void loopReset() override { endAll(); }

private:
    // Takes the request out of the list, when it is there (under the lock).
    template <typename List>
    static HTTPRequestPtr takeOut(List& list, const HTTPRequest* request) {
        auto it = std::find_if(list.begin(), list.end(), [&](const auto& r) { return r.get() == request; });
        if (it == list.end()) return nullptr;
        HTTPRequestPtr taken = std::move(*it);
        list.erase(it);
        return taken;
    }

    void readLoop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            readable_.wait(lock, [&] { return readerStop_ || !reads_.empty(); });
            if (readerStop_) return;
            auto read = std::move(reads_.front());
            reads_.pop_front();
            lock.unlock();
            read();
            read = nullptr;
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::deque<HTTPRequestPtr> waiting_;
    std::vector<HTTPRequestPtr> running_;  // their exchanges run
    std::vector<HTTPRequestPtr> reading_;  // their large replies are with the reader
    // The reader of large replies.
    std::condition_variable readable_;
    std::deque<std::function<void()>> reads_;
    std::thread reader_;
    bool readerStop_ = false;
    // Main thread only.
    bool registered_ = false;
    bool pumping_ = false;
    bool ending_ = false;
};

HTTPRequestPtr HTTPRequest::requestWithURL(std::string url) { return std::make_shared<HTTPRequest>(std::move(url)); }

HTTPRequest::HTTPRequest(std::string url) : url_(std::move(url)), timeOut_(gDefaultTimeOut.load()) {}

HTTPRequest::~HTTPRequest() { endActivity(); }

void HTTPRequest::setDefaultTimeOutSeconds(double seconds) {
    gDefaultTimeOut.store(seconds > 0 ? seconds : kDefaultTimeOutSeconds);
}

double HTTPRequest::defaultTimeOutSeconds() { return gDefaultTimeOut.load(); }

std::size_t HTTPRequest::queuedRequestCount() { return NetworkQueue::shared().count(); }

void HTTPRequest::endAll() { NetworkQueue::shared().endAll(); }

bool HTTPRequest::hasReaderThread() { return NetworkQueue::shared().hasReader(); }

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

net::Request HTTPRequest::takeRequest() {
    net::Request r;
    r.method = method_.empty() ? "GET" : method_;
    if (!body_.empty() && (r.method == "GET" || r.method == "HEAD")) r.method = "POST";
    r.url = url_;
    r.headers = requestHeaders_;
    r.body = std::move(body_);  // goes with the exchange: never held twice
    body_.clear();
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
    complete(net::perform(takeRequest(), &cancellation_));
    endActivity();
}

void HTTPRequest::begin() {
    {
        std::lock_guard lock(mutex_);
        if (done_) {
            NetworkQueue::shared().finished(this);
            return;
        }
        executing_ = true;
    }
    if (!hasHTTPScheme(url_)) {
        postStarted();
        net::Response r;
        r.error = net::ErrorKind::Other;
        r.errorMessage = "Unable to create request (bad url?)";
        if (complete(std::move(r), HTTPUnableToCreateRequestErrorType)) deliver(Delivery::Failed);
        NetworkQueue::shared().finished(this);
        return;
    }
    exchange_ = net::startExchange(takeRequest(), [self = shared_from_this()](net::Response&& response) {
        self->exchangeEnded(std::move(response));
    });
    // Under way: libcurl starts it on this turn of the main run loop or the next.
    postStarted();
}

void HTTPRequest::exchangeEnded(net::Response&& response) {
    exchange_ = 0;
    auto keep = shared_from_this();
    NetworkQueue& queue = NetworkQueue::shared();
    // The next waiting request starts before this one's outcome is handled.
    queue.finished(this);
    if (isFinished()) return;  // cancelled meanwhile: that was told
    const bool failed = response.failed();
    if (!failed && processor_ && response.body.size() >= kLargeReplyBytes) {
        // Reading it here could freeze the screen: the reader thread reads
        // it and hands it back.
        auto reply = std::make_shared<net::Response>(std::move(response));
        queue.readOffMain(keep, [keep, reply] {
            if (!keep->isFinished()) keep->processor_(*reply);
            ns::RunLoop::main().post([keep, reply] {
                NetworkQueue::shared().readDone(keep.get());
                keep->readEnded(std::move(*reply));
            });
        });
        return;
    }
    if (!failed && processor_) processor_(response);
    if (complete(std::move(response))) deliverNow(failed ? Delivery::Failed : Delivery::Finished);
}

void HTTPRequest::readEnded(net::Response&& response) {
    if (complete(std::move(response))) deliverNow(Delivery::Finished);
}

void HTTPRequest::stopExchange() {
    if (!exchange_) return;
    net::cancelExchange(std::exchange(exchange_, 0));
    NetworkQueue::shared().finished(this);
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
    startedPending_ = true;
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
    if (ns::isMainThread()) {
        stopExchange();
    } else if (auto self = weak_from_this().lock()) {
        ns::RunLoop::main().post([self] { self->stopExchange(); });
    }
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
        owner = std::move(owner_);  // leaves owner_ empty
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

std::shared_ptr<HTTPRequest::FinalDelivery> HTTPRequest::finalDelivery() {
    std::lock_guard lock(mutex_);
    auto final = std::make_shared<FinalDelivery>();
    final->request = shared_from_this();
    final->owner = std::move(owner_);  // leaves owner_ empty
    return final;
}

void HTTPRequest::deliver(Delivery what) {
    auto final = what != Delivery::Started ? finalDelivery() : nullptr;
    ns::RunLoop::main().post([self = shared_from_this(), what, final = std::move(final)] { self->runDelivery(what); });
}

void HTTPRequest::deliverNow(Delivery what) {
    bool behindStarted;
    {
        std::lock_guard lock(mutex_);
        behindStarted = startedPending_;
    }
    if (behindStarted) {
        deliver(what);  // keeps the order: "started" first
        return;
    }
    auto final = finalDelivery();
    runDelivery(what);
}

void HTTPRequest::runDelivery(Delivery what) {
    // The exchange counts until its outcome is told, so that no count
    // means no outcome on its way.
    if (what != Delivery::Started) endActivity();
    std::shared_ptr<HTTPRequestDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        if (what == Delivery::Started) startedPending_ = false;
        delegate = delegate_.lock();
    }
    if (delegate) {
        switch (what) {
            case Delivery::Started: delegate->requestStarted(*this); break;
            case Delivery::Finished: delegate->requestFinished(*this); break;
            case Delivery::Failed: delegate->requestFailed(*this); break;
        }
    }
    std::function<void()> block;  // read after the delegate, which may have cleared it
    {
        std::lock_guard lock(mutex_);
        block = what == Delivery::Started    ? startedBlock_
                : what == Delivery::Finished ? completionBlock_
                                             : failedBlock_;
    }
    if (block) block();
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
