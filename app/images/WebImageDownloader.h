// One download of a remote image, off the main thread.
//
//   auto d = WebImageDownloader::downloadWithURL(url, [](const WebImageDownloader::Result& r) { ... });
//   d->cancel();   // the completion never runs
//
// The download runs on a small pool of network workers (at most four at a
// time; the rest wait their turn). On the main run loop the downloader posts
// "WebImageDownloadStartNotification" when it starts and
// "WebImageDownloadStopNotification" when it ends, however it ends (the
// notification's object is the downloader), then calls the completion with
// the bytes and the decoded image, or with an error: a URL that is not an
// absolute http(s) address, a transport failure, a status other than 2xx, or
// bytes that are not an image. A reset of the main run loop (between tests)
// and the program's exit cancel the downloads under way and drop those
// waiting, telling nobody, and wait for the workers.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "foundation/Error.h"
#include "foundation/Value.h"
#include "net/Http.h"
#include "uikit/Image.h"

inline constexpr const char* WebImageDownloadStartNotification = "WebImageDownloadStartNotification";
inline constexpr const char* WebImageDownloadStopNotification = "WebImageDownloadStopNotification";
inline constexpr const char* WebImageErrorDomain = "WebImageErrorDomain";

enum WebImageErrorCode : long {
    WebImageErrorBadURL = 1,
    WebImageErrorTransport = 2,
    WebImageErrorHTTPStatus = 3,
    WebImageErrorNotAnImage = 4,
};

class WebImageDownloader : public std::enable_shared_from_this<WebImageDownloader> {
public:
    static constexpr double kTimeout = 15;  // seconds without progress
    static constexpr int kMaxConcurrent = 4;

    struct Result {
        ns::Bytes data;
        ui::ImagePtr image;
        ns::ErrorPtr error;  // set when image is null
    };
    using Completion = std::function<void(const Result&)>;

    // Starts at once (called on the main thread).
    static std::shared_ptr<WebImageDownloader> downloadWithURL(const std::string& url, Completion completion);

    const std::string& url() const { return url_; }
    // Stops the download; its completion does not run. Main thread.
    void cancel();
    bool isCancelled() const { return cancelled_; }
    bool isFinished() const { return finished_; }

    // Whether the text is an address the downloader accepts.
    static bool isValidURL(const std::string& url);

    struct Private {};
    WebImageDownloader(Private, std::string url, Completion completion);

private:
    void start();
    void finish(Result result);  // main thread
    static Result fetch(const std::string& url, net::Cancellation* cancellation);

    std::string url_;
    Completion completion_;
    std::shared_ptr<net::Cancellation> cancellation_;
    bool cancelled_ = false;
    bool finished_ = false;
};

using WebImageDownloaderPtr = std::shared_ptr<WebImageDownloader>;
