// The remote images' cache: decoded images in memory, their downloaded bytes
// on disk in the app home's Library/Caches, both bounded.
//
//   auto cache = std::make_shared<WebImageCache>(WebImageCache::defaultDirectory());
//   if (auto img = cache->imageFromMemoryCache(url)) ...            // main thread
//   cache->queryDiskCache(url, [](ui::ImagePtr img) { ... });      // answer on the main run loop
//   cache->storeImage(img, bytes, url);                            // memory now, disk later
//
// The memory cache belongs to the main thread. Every disk access (reads,
// writes, trimming) runs on the cache's own serial queue, and the file names
// are the MD5 of the key, so any URL text is a safe key. The memory cache
// counts decoded pixel bytes and drops the least recently used images beyond
// its limit; the disk cache drops the least recently used files once their
// total passes its limit. What is on disk survives a restart: when the
// application terminates, the cache waits for its disk work (also for what
// it is handed while it waits).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "foundation/Dispatch.h"
#include "foundation/Value.h"
#include "net/Http.h"
#include "uikit/Image.h"

class WebImageCache : public std::enable_shared_from_this<WebImageCache> {
public:
    static constexpr std::size_t kDefaultMemoryLimit = 16u * 1024u * 1024u;  // decoded bytes
    static constexpr std::size_t kDefaultDiskLimit = 32u * 1024u * 1024u;    // file bytes
    // The most one file on disk may hold: what a picture's download may be.
    // A larger one is not written, and one found there (the cache's folder
    // is a file others can replace) is dropped unread as one that no longer
    // decodes.
    static constexpr std::size_t kMaxFileBytes = net::kPictureLimit;

    // <caches>/ImageCache
    static std::string defaultDirectory();

    explicit WebImageCache(std::string directory, std::size_t memoryLimit = kDefaultMemoryLimit,
                           std::size_t diskLimit = kDefaultDiskLimit);
    ~WebImageCache();
    WebImageCache(const WebImageCache&) = delete;
    WebImageCache& operator=(const WebImageCache&) = delete;

    const std::string& directory() const { return directory_; }

    // ---- Memory (main thread) ----
    ui::ImagePtr imageFromMemoryCache(const std::string& key);
    void storeImageInMemory(const ui::ImagePtr& image, const std::string& key);
    void clearMemory();
    std::size_t memoryCost() const { return memoryCost_; }
    std::size_t memoryCount() const { return memory_.size(); }

    // ---- Disk ----
    // Looks for the key on disk and decodes what is there, off the main
    // thread; `done` runs on the main run loop with the image, or nullptr
    // when there is none (or the file no longer decodes, which removes it).
    // A hit is also kept in memory.
    void queryDiskCache(const std::string& key, std::function<void(ui::ImagePtr)> done);
    // Keeps the image in memory and, when bytes are given, writes them to disk
    // (later, on the cache's queue); bytes beyond kMaxFileBytes are not
    // written, with a log line naming the file.
    void storeImage(const ui::ImagePtr& image, const ns::Bytes& bytes, const std::string& key);
    void removeImage(const std::string& key);
    void clearDisk();
    // The file a key is kept in (whether or not it exists).
    std::string cachePathForKey(const std::string& key) const;
    // Total bytes of the cached files (waits for the disk queue).
    std::size_t diskSize();

    // Waits until every disk task submitted so far has finished (tests, and
    // the application's end).
    void waitForDisk();

private:
    struct DiskState;
    struct MemoryEntry {
        ui::ImagePtr image;
        std::size_t cost = 0;
        std::list<std::string>::iterator order;
    };
    static std::size_t costOf(const ui::Image& image);
    void trimMemory();
    // Hands the task to the disk queue, counting it.
    void onDisk(std::function<void()> task);

    std::string directory_;
    std::size_t memoryLimit_;
    std::unordered_map<std::string, MemoryEntry> memory_;
    std::list<std::string> memoryOrder_;  // least recently used first
    std::size_t memoryCost_ = 0;

    std::shared_ptr<DiskState> disk_;     // touched only on io_
    std::unique_ptr<ns::SerialQueue> io_;
    std::shared_ptr<std::atomic<std::uint64_t>> submitted_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    std::shared_ptr<int> terminating_ = std::make_shared<int>(0);  // observes the application's end
};
