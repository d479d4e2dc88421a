#include "app/images/WebImageDownloader.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/Notification.h"
#include "foundation/RunLoop.h"

namespace {

// The network workers: started as needed up to the limit. A reset of the
// main run loop (between tests) and the program's exit stop them: downloads
// under way are cancelled, those waiting dropped, and the workers joined, so
// none is still inside the transport (or decoding) while the program's
// statics go, nor tells a test that has ended.
class DownloadPool final : public ns::RunLoopSource {
public:
    static DownloadPool& shared() {
        static DownloadPool* pool = [] {
            auto* p = new DownloadPool;  // never destroyed: it is stopped at exit instead
            std::atexit([] { shared().stop(); });
            return p;
        }();
        return *pool;
    }

    // Main thread.
    void submit(std::shared_ptr<net::Cancellation> cancellation, std::function<void()> task) {
        if (!registered_) {
            registered_ = true;
            ns::RunLoop::main().addSource(this);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(Task{std::move(cancellation), std::move(task)});
        // A woken worker counts as idle until it takes a task, so compare the
        // waiting tasks with the idle workers rather than test for none idle.
        if (tasks_.size() > idle_ && static_cast<int>(workers_.size()) < WebImageDownloader::kMaxConcurrent) {
            workers_.emplace_back([this] { work(); });
        } else {
            cv_.notify_one();
        }
    }

    // Cancels the downloads under way, drops those waiting and waits for the
    // workers to return. Main thread (or the exiting one).
    void stop() {
        std::vector<std::thread> workers;
        std::deque<Task> dropped;  // released after the lock
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            dropped.swap(tasks_);
            for (const auto& c : running_) c->cancel();
            workers.swap(workers_);
        }
        cv_.notify_all();
        for (auto& w : workers) w.join();
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }

    bool descriptorReady(int, unsigned) override { return false; }
    void loopReset() override { stop(); }

private:
    struct Task {
        std::shared_ptr<net::Cancellation> cancellation;
        std::function<void()> run;
    };

    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_;
            cv_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
            --idle_;
            if (stopping_) return;
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            running_.push_back(task.cancellation);
            lock.unlock();
            task.run();
            task.run = nullptr;
            lock.lock();
            running_.erase(std::find(running_.begin(), running_.end(), task.cancellation));
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Task> tasks_;
    std::vector<std::shared_ptr<net::Cancellation>> running_;
    std::vector<std::thread> workers_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
    bool registered_ = false;  // main thread only
};

bool startsWithNoCase(const std::string& s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); i++) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

bool WebImageDownloader::isValidURL(const std::string& url) {
    std::size_t hostStart;
    if (startsWithNoCase(url, "http://")) {
        hostStart = 7;
    } else if (startsWithNoCase(url, "https://")) {
        hostStart = 8;
    } else {
        return false;
    }
    for (unsigned char c : url) {
        if (c <= ' ' || c == 0x7f) return false;
    }
    return hostStart < url.size() && url[hostStart] != '/' && url[hostStart] != '?' && url[hostStart] != '#';
}

WebImageDownloader::WebImageDownloader(Private, std::string url, Completion completion)
    : url_(std::move(url)), completion_(std::move(completion)), cancellation_(std::make_shared<net::Cancellation>()) {}

std::shared_ptr<WebImageDownloader> WebImageDownloader::downloadWithURL(const std::string& url,
                                                                        Completion completion) {
    auto d = std::make_shared<WebImageDownloader>(Private{}, url, std::move(completion));
    d->start();
    return d;
}

void WebImageDownloader::start() {
    ns::NotificationCenter::defaultCenter().post(WebImageDownloadStartNotification, this);
    auto self = shared_from_this();
    if (!isValidURL(url_)) {
        Result r;
        r.error = ns::makeError(WebImageErrorDomain, WebImageErrorBadURL, std::string("bad URL"));
        ns::postToMain([self, r] { self->finish(r); });
        return;
    }
    auto cancellation = cancellation_;
    std::string url = url_;
    DownloadPool::shared().submit(cancellation, [self, cancellation, url] {
        Result r = fetch(url, cancellation.get());
        ns::postToMain([self, r = std::move(r)] { self->finish(r); });
    });
}

WebImageDownloader::Result WebImageDownloader::fetch(const std::string& url, net::Cancellation* cancellation) {
    Result r;
    if (cancellation->cancelled()) return r;
    net::Request request;
    request.method = "GET";
    request.url = url;
    request.timeout = kTimeout;
    request.maxResponseBytes = net::kPictureLimit;
    net::Response response = net::perform(request, cancellation);
    if (response.failed()) {
        r.error = ns::makeError(WebImageErrorDomain, WebImageErrorTransport,
                                std::string(net::errorKindName(response.error)) +
                                    (response.errorMessage.empty() ? "" : ": " + response.errorMessage));
        return r;
    }
    if (response.status < 200 || response.status > 299) {
        r.error = ns::makeError(WebImageErrorDomain, WebImageErrorHTTPStatus,
                                "HTTP status " + std::to_string(response.status));
        return r;
    }
    r.data.assign(response.body.begin(), response.body.end());
    r.image = ui::Image::imageWithData(r.data);
    if (!r.image) {
        r.data.clear();
        r.error = ns::makeError(WebImageErrorDomain, WebImageErrorNotAnImage,
                                "not an image (" + std::to_string(response.body.size()) + " bytes)");
    }
    return r;
}

void WebImageDownloader::finish(Result result) {
    if (cancelled_ || finished_) return;
    finished_ = true;
    ns::NotificationCenter::defaultCenter().post(WebImageDownloadStopNotification, this);
    auto completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) completion(result);
}

void WebImageDownloader::cancel() {
    if (cancelled_ || finished_) return;
    cancelled_ = true;
    cancellation_->cancel();
    completion_ = nullptr;
    ns::NotificationCenter::defaultCenter().post(WebImageDownloadStopNotification, this);
}
