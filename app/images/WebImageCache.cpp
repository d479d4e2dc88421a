#include "app/images/WebImageCache.h"

#include <algorithm>
#include <chrono>
#include <tuple>
#include <vector>

#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/Notification.h"
#include "foundation/RunLoop.h"

namespace {

// The wall clock, for file dates: the order of use must survive a restart
// whatever clock the program runs on.
ns::Date wallClock() {
    using namespace std::chrono;
    return ns::Date{duration<double>(system_clock::now().time_since_epoch()).count()};
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (!dir.empty() && dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace

// The disk index: which files are there, how large, in which order they were
// last used. Only ever touched on the cache's queue.
struct WebImageCache::DiskState {
    std::string dir;
    std::size_t limit = 0;
    bool scanned = false;
    struct File {
        std::size_t size = 0;
        std::uint64_t use = 0;
    };
    std::unordered_map<std::string, File> files;  // by file name
    std::map<std::uint64_t, std::string> byUse;   // least recently used first
    std::uint64_t clock = 0;
    std::size_t total = 0;

    std::string path(const std::string& name) const { return joinPath(dir, name); }

    void scan() {
        if (scanned) return;
        scanned = true;
        auto& fm = ns::FileManager::defaultManager();
        fm.createDirectoryAtPath(dir, true);
        auto names = fm.contentsOfDirectoryAtPath(dir);
        if (!names) return;
        std::vector<std::tuple<double, std::string, std::size_t>> found;
        for (const auto& name : *names) {
            std::string p = path(name);
            if (name.find(".tmp-") != std::string::npos) {  // a write cut short
                fm.removeItemAtPath(p);
                continue;
            }
            auto size = fm.fileSize(p);
            auto date = fm.modificationDate(p);
            if (!size || !date || fm.isDirectory(p)) continue;
            found.emplace_back(date->seconds, name, static_cast<std::size_t>(*size));
        }
        std::sort(found.begin(), found.end());
        for (auto& [date, name, size] : found) add(name, size);
        trim();
    }

    void add(const std::string& name, std::size_t size) {
        remove(name, false);
        File f{size, ++clock};
        files[name] = f;
        byUse[f.use] = name;
        total += size;
    }

    void touch(const std::string& name) {
        auto it = files.find(name);
        if (it == files.end()) return;
        byUse.erase(it->second.use);
        it->second.use = ++clock;
        byUse[it->second.use] = name;
        ns::FileManager::defaultManager().setModificationDate(path(name), wallClock());
    }

    void remove(const std::string& name, bool deleteFile) {
        auto it = files.find(name);
        if (it != files.end()) {
            total -= it->second.size;
            byUse.erase(it->second.use);
            files.erase(it);
        }
        if (deleteFile) ns::FileManager::defaultManager().removeItemAtPath(path(name));
    }

    void trim() {
        while (total > limit && !byUse.empty()) {
            std::string oldest = byUse.begin()->second;
            remove(oldest, true);
        }
    }
};

std::string WebImageCache::defaultDirectory() { return joinPath(ns::cachesDirectory(), "ImageCache"); }

WebImageCache::WebImageCache(std::string directory, std::size_t memoryLimit, std::size_t diskLimit)
    : directory_(std::move(directory)),
      memoryLimit_(memoryLimit),
      disk_(std::make_shared<DiskState>()),
      io_(std::make_unique<ns::SerialQueue>("WebImageCache.disk")) {
    disk_->dir = directory_;
    disk_->limit = diskLimit;
    // The application's end waits for the disk work already submitted, and
    // for what the main run loop hands the cache while it waits (a download
    // that completes then), so a run that ends there (and may remove its
    // home next) loses no write and has none still under way.
    ns::NotificationCenter::defaultCenter().addObserver(
        terminating_, ns::UIApplicationWillTerminateNotification,
        [io = io_.get(), submitted = submitted_](const ns::Notification&) {
            for (std::uint64_t seen = submitted->load();; seen = submitted->load()) {
                io->waitUntilIdle();
                if (submitted->load() == seen) break;
            }
        });
}

void WebImageCache::onDisk(std::function<void()> task) {
    submitted_->fetch_add(1);
    io_->async(std::move(task));
}

// The queue's destructor finishes the disk work already submitted.
WebImageCache::~WebImageCache() { ns::NotificationCenter::defaultCenter().removeObserver(terminating_.get()); }

std::size_t WebImageCache::costOf(const ui::Image& image) {
    return static_cast<std::size_t>(image.pixelWidth()) * static_cast<std::size_t>(image.pixelHeight()) * 4;
}

ui::ImagePtr WebImageCache::imageFromMemoryCache(const std::string& key) {
    auto it = memory_.find(key);
    if (it == memory_.end()) return nullptr;
    memoryOrder_.splice(memoryOrder_.end(), memoryOrder_, it->second.order);
    return it->second.image;
}

void WebImageCache::storeImageInMemory(const ui::ImagePtr& image, const std::string& key) {
    if (!image || key.empty()) return;
    auto it = memory_.find(key);
    if (it != memory_.end()) {
        memoryCost_ -= it->second.cost;
        memoryOrder_.erase(it->second.order);
        memory_.erase(it);
    }
    MemoryEntry e;
    e.image = image;
    e.cost = costOf(*image);
    e.order = memoryOrder_.insert(memoryOrder_.end(), key);
    memoryCost_ += e.cost;
    memory_.emplace(key, std::move(e));
    trimMemory();
}

void WebImageCache::trimMemory() {
    // The newest image stays even when it alone is over the limit: the
    // screen asked for it and is about to show it.
    while (memoryCost_ > memoryLimit_ && memoryOrder_.size() > 1) {
        auto it = memory_.find(memoryOrder_.front());
        memoryCost_ -= it->second.cost;
        memory_.erase(it);
        memoryOrder_.pop_front();
    }
}

void WebImageCache::clearMemory() {
    memory_.clear();
    memoryOrder_.clear();
    memoryCost_ = 0;
}

std::string WebImageCache::cachePathForKey(const std::string& key) const {
    return joinPath(directory_, ns::md5Hex(key));
}

void WebImageCache::queryDiskCache(const std::string& key, std::function<void(ui::ImagePtr)> done) {
    std::weak_ptr<WebImageCache> weakSelf = weak_from_this();
    auto disk = disk_;
    std::string name = ns::md5Hex(key);
    onDisk([disk, name, key, weakSelf, done = std::move(done)]() mutable {
        disk->scan();
        ui::ImagePtr image;
        if (disk->files.count(name)) {
            ns::ErrorPtr error;
            auto bytes = ns::readFile(disk->path(name), kMaxFileBytes, &error);
            if (bytes) image = ui::Image::imageWithData(*bytes);
            if (image) {
                disk->touch(name);
            } else {
                if (error && error->code == ns::FileReadTooLargeError)  // the file and the reason
                    ns::NSLog("WebImageCache: dropping unreadable cache file for %@ (%@)", key, error->localizedDescription());
                else
                    ns::NSLog("WebImageCache: dropping unreadable cache file for %@", key);
                disk->remove(name, true);
            }
        }
        ns::postToMain([weakSelf, key, image, done = std::move(done)] {
            if (image) {
                if (auto self = weakSelf.lock()) self->storeImageInMemory(image, key);
            }
            if (done) done(image);
        });
    });
}

void WebImageCache::storeImage(const ui::ImagePtr& image, const ns::Bytes& bytes, const std::string& key) {
    storeImageInMemory(image, key);
    if (bytes.empty() || key.empty()) return;
    if (bytes.size() > kMaxFileBytes) {
        ns::NSLog("WebImageCache: cannot write %@",
                  ns::fileTooLargeError(cachePathForKey(key), kMaxFileBytes, true)->localizedDescription());
        return;
    }
    auto disk = disk_;
    std::string name = ns::md5Hex(key);
    onDisk([disk, name, bytes] {
        disk->scan();
        auto& fm = ns::FileManager::defaultManager();
        fm.createDirectoryAtPath(disk->dir, true);
        ns::ErrorPtr error;
        if (!ns::writeFileAtomically(disk->path(name), bytes, &error)) {
            // The writer's error names the file and the reason.
            ns::NSLog("WebImageCache: cannot write %@", error->localizedDescription());
            return;
        }
        disk->add(name, bytes.size());
        disk->trim();
    });
}

void WebImageCache::removeImage(const std::string& key) {
    auto it = memory_.find(key);
    if (it != memory_.end()) {
        memoryCost_ -= it->second.cost;
        memoryOrder_.erase(it->second.order);
        memory_.erase(it);
    }
    auto disk = disk_;
    std::string name = ns::md5Hex(key);
    onDisk([disk, name] {
        disk->scan();
        disk->remove(name, true);
    });
}

void WebImageCache::clearDisk() {
    auto disk = disk_;
    onDisk([disk] {
        disk->scan();
        while (!disk->byUse.empty()) disk->remove(disk->byUse.begin()->second, true);
    });
}

std::size_t WebImageCache::diskSize() {
    std::size_t total = 0;
    auto disk = disk_;
    io_->sync([&] {
        disk->scan();
        total = disk->total;
    });
    return total;
}

void WebImageCache::waitForDisk() { io_->waitUntilIdle(); }
