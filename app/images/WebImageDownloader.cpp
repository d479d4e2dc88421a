#include "app/images/WebImageDownloader.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/Notification.h"
#include "foundation/RunLoop.h"

namespace {

// The network workers: started as needed up to the limit, living as long as
// the program (like the platform's own network threads).
class DownloadPool {
public:
    static DownloadPool& shared() {
        static DownloadPool* pool = new DownloadPool();
        return *pool;
    }

    void submit(std::function<void()> task) {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        // A woken worker counts as idle until it takes a task, so compare the
        // waiting tasks with the idle workers rather than test for none idle.
        if (tasks_.size() > idle_ && static_cast<int>(workers_.size()) < WebImageDownloader::kMaxConcurrent) {
            workers_.emplace_back([this] { work(); });
            workers_.back().detach();
        } else {
            cv_.notify_one();
        }
    }

private:
    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_;
            cv_.wait(lock, [&] { return !tasks_.empty(); });
            --idle_;
            auto task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> workers_;
    std::size_t idle_ = 0;
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
    DownloadPool::shared().submit([self, cancellation, url] {
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
