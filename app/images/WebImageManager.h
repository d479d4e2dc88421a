// The shared image manager behind the remote image views: the memory cache,
// then the disk cache, then one download per URL, whoever asks.
//
//   auto load = WebImageManager::sharedManager()->loadImage(url,
//       [](const ui::ImagePtr& image, const ns::ErrorPtr& error) { ... });
//   WebImageManager::sharedManager()->cancel(load);   // the completion never runs
//
// Main thread only. An image in memory is answered at once (inside
// loadImage, which then returns nullptr); anything else is answered later on
// the main run loop. Every caller asking for a URL that is already being
// looked up or downloaded joins that lookup: the URL is fetched once. A
// download that every caller has cancelled is stopped. A failed download
// logs one line and answers every caller with the error; nothing is cached.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/images/WebImageCache.h"
#include "app/images/WebImageDownloader.h"
#include "foundation/Error.h"
#include "uikit/Image.h"

class WebImageManager : public std::enable_shared_from_this<WebImageManager> {
public:
    using Completion = std::function<void(const ui::ImagePtr& image, const ns::ErrorPtr& error)>;

    // One caller's request, for cancelling it.
    class Load {
    public:
        const std::string& url() const { return url_; }
        bool isCancelled() const { return cancelled_; }

    private:
        friend class WebImageManager;
        std::string url_;
        std::uint64_t id_ = 0;
        bool cancelled_ = false;
    };
    using LoadPtr = std::shared_ptr<Load>;

    static std::shared_ptr<WebImageManager> sharedManager();
    // Tests: replaces the shared manager (a fresh one over the default cache
    // folder when null), as a restart of the program would.
    static void setSharedManager(std::shared_ptr<WebImageManager> manager);

    explicit WebImageManager(std::shared_ptr<WebImageCache> cache);
    ~WebImageManager();

    std::shared_ptr<WebImageCache> imageCache() const { return cache_; }

    LoadPtr loadImage(const std::string& url, Completion completion);
    void cancel(const LoadPtr& load);

    // URLs being looked up or downloaded now.
    std::size_t activeFetches() const { return fetches_.size(); }

private:
    struct Fetch {
        std::string url;
        // By the load's id, so in the order they asked; a cancelled one
        // leaves without a look at the others.
        std::map<std::uint64_t, Completion> waiters;
        WebImageDownloaderPtr downloader;
    };
    void lookUpDisk(const std::shared_ptr<Fetch>& fetch);
    void download(const std::shared_ptr<Fetch>& fetch);
    void finish(const std::shared_ptr<Fetch>& fetch, const ui::ImagePtr& image, const ns::ErrorPtr& error);
    bool isCurrent(const std::shared_ptr<Fetch>& fetch) const;

    std::shared_ptr<WebImageCache> cache_;
    std::map<std::string, std::shared_ptr<Fetch>> fetches_;
    std::uint64_t nextId_ = 1;
};
