#include "app/images/WebImageManager.h"

#include "foundation/Log.h"
#include "foundation/RunLoop.h"

namespace {

std::shared_ptr<WebImageManager>& sharedSlot() {
    static auto* slot = new std::shared_ptr<WebImageManager>();
    return *slot;
}

}  // namespace

std::shared_ptr<WebImageManager> WebImageManager::sharedManager() {
    auto& slot = sharedSlot();
    if (!slot) slot = std::make_shared<WebImageManager>(std::make_shared<WebImageCache>(WebImageCache::defaultDirectory()));
    return slot;
}

void WebImageManager::setSharedManager(std::shared_ptr<WebImageManager> manager) {
    sharedSlot() = std::move(manager);
}

WebImageManager::WebImageManager(std::shared_ptr<WebImageCache> cache) : cache_(std::move(cache)) {}

WebImageManager::~WebImageManager() {
    for (auto& [url, fetch] : fetches_) {
        if (fetch->downloader) fetch->downloader->cancel();
    }
}

WebImageManager::LoadPtr WebImageManager::loadImage(const std::string& url, Completion completion) {
    if (auto image = cache_->imageFromMemoryCache(url)) {
        if (completion) completion(image, nullptr);
        return nullptr;
    }
    auto load = std::make_shared<Load>();
    load->url_ = url;
    load->id_ = nextId_++;
    auto it = fetches_.find(url);
    if (it != fetches_.end()) {
        it->second->waiters.emplace(load->id_, std::move(completion));
        return load;
    }
    auto fetch = std::make_shared<Fetch>();
    fetch->url = url;
    fetch->waiters.emplace(load->id_, std::move(completion));
    fetches_[url] = fetch;
    lookUpDisk(fetch);
    return load;
}

void WebImageManager::cancel(const LoadPtr& load) {
    if (!load || load->cancelled_) return;
    load->cancelled_ = true;
    auto it = fetches_.find(load->url_);
    if (it == fetches_.end()) return;
    auto fetch = it->second;
    auto& w = fetch->waiters;
    w.erase(load->id_);
    if (!w.empty()) return;
    // Nobody waits any more: stop the download. A disk look-up that is
    // under way finds its fetch gone and only fills the memory cache.
    if (fetch->downloader) fetch->downloader->cancel();
    fetches_.erase(it);
}

bool WebImageManager::isCurrent(const std::shared_ptr<Fetch>& fetch) const {
    auto it = fetches_.find(fetch->url);
    return it != fetches_.end() && it->second == fetch;
}

void WebImageManager::lookUpDisk(const std::shared_ptr<Fetch>& fetch) {
    std::weak_ptr<WebImageManager> weakSelf = weak_from_this();
    cache_->queryDiskCache(fetch->url, [weakSelf, fetch](ui::ImagePtr image) {
        auto self = weakSelf.lock();
        if (!self || !self->isCurrent(fetch)) return;
        if (image) {
            self->finish(fetch, image, nullptr);
        } else {
            self->download(fetch);
        }
    });
}

void WebImageManager::download(const std::shared_ptr<Fetch>& fetch) {
    std::weak_ptr<WebImageManager> weakSelf = weak_from_this();
    fetch->downloader =
        WebImageDownloader::downloadWithURL(fetch->url, [weakSelf, fetch](const WebImageDownloader::Result& r) {
            auto self = weakSelf.lock();
            if (!self || !self->isCurrent(fetch)) return;
            if (r.image) {
                self->cache_->storeImage(r.image, r.data, fetch->url);
                self->finish(fetch, r.image, nullptr);
            } else {
                ns::NSLog("WebImage: cannot load %@: %@", fetch->url, r.error ? r.error->localizedDescription() : "");
                self->finish(fetch, nullptr, r.error);
            }
        });
}

void WebImageManager::finish(const std::shared_ptr<Fetch>& fetch, const ui::ImagePtr& image,
                             const ns::ErrorPtr& error) {
    fetches_.erase(fetch->url);
    auto waiters = std::move(fetch->waiters);
    fetch->waiters.clear();
    for (auto& [id, completion] : waiters) {
        if (completion) completion(image, error);
    }
}
