// Remote images: one fetch per URL, the disk cache across a restart,
// failures, view reuse and the cache's bounds, against the loopback server.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "app/images/WebImageCache.h"
#include "app/images/WebImageDownloader.h"
#include "app/images/WebImageManager.h"
#include "app/images/WebImageView.h"
#include "foundation/Bundle.h"
#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/Notification.h"
#include "foundation/RunLoop.h"
#include "support/FullDisk.h"
#include "support/LoopbackService.h"
#include "support/WebContent.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace {

std::string resourceBytes(const std::string& name) {
    auto path = ns::Bundle::mainBundle()->pathForResource(name, "");
    auto bytes = ns::readFile(path);
    EXPECT_TRUE(bytes) << name;
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

LoopbackService::Reply imageReply(const std::string& resource) {
    return testsupport::content(resourceBytes(resource), resource.ends_with(".jpg") ? "image/jpeg" : "image/png");
}

std::size_t pathRequests(const LoopbackService& svc, const std::string& path) {
    std::size_t n = 0;
    for (const auto& r : svc.requests()) n += r.path == path ? 1 : 0;
    return n;
}

// Counts the downloader's notifications.
struct DownloadCounter {
    std::shared_ptr<int> token = std::make_shared<int>(0);
    int started = 0;
    int stopped = 0;
    DownloadCounter() {
        auto& nc = ns::NotificationCenter::defaultCenter();
        nc.addObserver(token, WebImageDownloadStartNotification, [this](const ns::Notification&) { started++; });
        nc.addObserver(token, WebImageDownloadStopNotification, [this](const ns::Notification&) { stopped++; });
    }
    ~DownloadCounter() { ns::NotificationCenter::defaultCenter().removeObserver(token.get()); }
};

class WebImageTest : public testing::Test {
protected:
    void SetUp() override {
        ns::FileManager::defaultManager().removeItemAtPath(WebImageCache::defaultDirectory());
        WebImageManager::setSharedManager(nullptr);
        placeholder = ui::Image::imageNamed("icon_empty.png");
        ASSERT_TRUE(placeholder);
    }
    void TearDown() override {
        WebImageManager::sharedManager()->imageCache()->waitForDisk();
        WebImageManager::setSharedManager(nullptr);
    }
    std::shared_ptr<ui::ImageView> imageView() { return ui::create<ui::ImageView>(ui::Rect{0, 0, 60, 60}); }
    static bool hasSize(const std::shared_ptr<ui::ImageView>& v, double w, double h) {
        return v->image() && v->image()->size().width == w && v->image()->size().height == h;
    }

    ui::TestDriver driver;
    ui::ImagePtr placeholder;
};

TEST_F(WebImageTest, ManyViewsOfOneURLShareOneFetchAndLaterViewsHitMemory) {
    LoopbackService svc;
    auto reply = imageReply("Icon.png");
    reply.delay = 0.05;
    svc.serve("/pic/icon.png", reply);
    std::string url = svc.baseURL() + "/pic/icon.png";
    DownloadCounter downloads;

    std::vector<std::shared_ptr<ui::ImageView>> views;
    for (int i = 0; i < 8; i++) {
        views.push_back(imageView());
        setImageWithURL(views.back(), url, placeholder);
        EXPECT_EQ(views.back()->image(), placeholder);  // the placeholder at once
    }
    ASSERT_TRUE(driver.waitUntil([&] {
        for (auto& v : views)
            if (!hasSize(v, 57, 57)) return false;
        return true;
    }));
    EXPECT_EQ(pathRequests(svc, "/pic/icon.png"), 1u);
    EXPECT_EQ(downloads.started, 1);
    EXPECT_EQ(downloads.stopped, 1);
    EXPECT_EQ(views[0]->image(), views[7]->image());  // one decoded image shared

    // A view asking later is answered from memory, at once, without the network.
    auto late = imageView();
    setImageWithURL(late, url, placeholder);
    EXPECT_TRUE(hasSize(late, 57, 57));
    EXPECT_EQ(pathRequests(svc, "/pic/icon.png"), 1u);
    EXPECT_EQ(downloads.started, 1);
    EXPECT_EQ(pendingImageLoads(), 0u);
}

TEST_F(WebImageTest, RestartFindsTheImageOnDiskWithoutNetwork) {
    std::string url;
    {
        LoopbackService svc;
        svc.serve("/a/head.jpg", imageReply("test_adv_item.jpg"));
        url = svc.baseURL() + "/a/head.jpg";
        auto v = imageView();
        setImageWithURL(v, url, placeholder);
        ASSERT_TRUE(driver.waitUntil([&] { return v->image() != placeholder; }));
        WebImageManager::sharedManager()->imageCache()->waitForDisk();
        EXPECT_TRUE(ns::FileManager::defaultManager().fileExistsAtPath(
            WebImageManager::sharedManager()->imageCache()->cachePathForKey(url)));
    }  // the server is gone: nothing answers at that address any more

    WebImageManager::setSharedManager(nullptr);  // a new run: empty memory, same disk
    ASSERT_EQ(WebImageManager::sharedManager()->imageCache()->memoryCount(), 0u);
    DownloadCounter downloads;
    ns::LogCapture log;
    auto v = imageView();
    setImageWithURL(v, url, placeholder);
    EXPECT_EQ(v->image(), placeholder);
    ASSERT_TRUE(driver.waitUntil([&] { return v->image() != placeholder; }));
    ASSERT_TRUE(v->image());
    EXPECT_GT(v->image()->size().width, 0);
    EXPECT_EQ(downloads.started, 0);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(WebImageTest, FailedLoadsKeepThePlaceholderAndLogOneLineEach) {
    LoopbackService svc;
    svc.serve("/missing.png", LoopbackService::status(404, "no such picture"));
    svc.serve("/page.png", testsupport::content("<html>not a picture</html>", "text/html"));
    LoopbackService::Reply truncated = imageReply("maiwei1.png");
    truncated.body.resize(truncated.body.size() / 3);
    svc.serve("/cut.png", truncated);
    const std::vector<std::string> urls = {
        svc.baseURL() + "/missing.png",         // HTTP error
        svc.baseURL() + "/page.png",            // not an image
        svc.baseURL() + "/cut.png",             // damaged image
        "upload/2014/a.png",                    // not an absolute address
        LoopbackService::refusedURL() + "/x.png",  // nobody listens
    };
    DownloadCounter downloads;
    ns::LogCapture log;
    std::vector<std::shared_ptr<ui::ImageView>> views;
    for (const auto& url : urls) {
        for (int i = 0; i < 2; i++) {  // two views each: still one attempt and one line
            views.push_back(imageView());
            setImageWithURL(views.back(), url, placeholder);
        }
    }
    ASSERT_TRUE(driver.waitUntil([&] { return downloads.stopped == static_cast<int>(urls.size()); }));
    driver.runPending();
    for (auto& v : views) EXPECT_EQ(v->image(), placeholder);
    std::size_t failures = 0;
    for (const auto& line : log.lines()) failures += line.find("cannot load") != std::string::npos ? 1 : 0;
    EXPECT_EQ(failures, urls.size());
    for (const auto& url : urls) EXPECT_TRUE(log.contains(url)) << url;
    EXPECT_EQ(pathRequests(svc, "/missing.png"), 1u);
    EXPECT_EQ(pendingImageLoads(), 0u);
    // Nothing was cached: the next request tries again.
    WebImageManager::sharedManager()->imageCache()->waitForDisk();
    EXPECT_EQ(WebImageManager::sharedManager()->imageCache()->diskSize(), 0u);
}

TEST_F(WebImageTest, EmptyAddressShowsOnlyThePlaceholder) {
    DownloadCounter downloads;
    ns::LogCapture log;
    auto v = imageView();
    setImageWithURL(v, "", placeholder);
    EXPECT_EQ(v->image(), placeholder);
    setImageWithURL(v, "");  // no placeholder: the image is cleared
    EXPECT_FALSE(v->image());
    driver.runPending();
    EXPECT_EQ(downloads.started, 0);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(WebImageTest, ReusedViewNeverShowsTheEarlierImage) {
    LoopbackService svc;
    svc.serve("/first.png", LoopbackService::held(imageReply("Icon@2x.png")));  // 114 x 114, answers late
    svc.serve("/second.png", imageReply("icon_empty.png"));                     // 120 x 120
    auto cell = imageView();
    auto other = imageView();  // keeps the first download alive
    setImageWithURL(cell, svc.baseURL() + "/first.png", placeholder);
    setImageWithURL(other, svc.baseURL() + "/first.png", placeholder);
    setImageWithURL(cell, svc.baseURL() + "/second.png");  // the cell is reused for another row
    EXPECT_FALSE(cell->image());
    ASSERT_TRUE(driver.waitUntil([&] { return hasSize(cell, 120, 120); }));

    svc.release();
    ASSERT_TRUE(driver.waitUntil([&] { return hasSize(other, 114, 114); }));
    driver.runPending();
    EXPECT_TRUE(hasSize(cell, 120, 120));

    // Reused for an address already in memory: shown at once, and a late
    // answer for the address before it does not replace it.
    svc.serve("/third.png", LoopbackService::held(imageReply("title.png")));
    svc.stopHolding();
    setImageWithURL(other, svc.baseURL() + "/third.png", placeholder);
    auto keeper = imageView();
    setImageWithURL(keeper, svc.baseURL() + "/third.png");
    setImageWithURL(other, svc.baseURL() + "/second.png", placeholder);
    EXPECT_TRUE(hasSize(other, 120, 120));
    svc.release();
    ASSERT_TRUE(driver.waitUntil([&] { return hasSize(keeper, 280, 40); }));
    EXPECT_TRUE(hasSize(other, 120, 120));
}

TEST_F(WebImageTest, CancelledLoadStopsTheDownloadAndAViewThatWentAwayGetsNothing) {
    LoopbackService svc;
    svc.serve("/slow.png", LoopbackService::held(imageReply("Icon.png")));
    DownloadCounter downloads;
    auto v = imageView();
    setImageWithURL(v, svc.baseURL() + "/slow.png", placeholder);
    ASSERT_TRUE(driver.waitUntil([&] { return downloads.started == 1; }));
    cancelCurrentImageLoad(v.get());
    EXPECT_EQ(downloads.stopped, 1);  // nobody waits any more: the download stops
    EXPECT_EQ(WebImageManager::sharedManager()->activeFetches(), 0u);
    EXPECT_EQ(v->image(), placeholder);

    // A view released while its load is pending: the load is dropped.
    {
        auto gone = imageView();
        setImageWithURL(gone, svc.baseURL() + "/slow.png");
    }
    svc.release();
    ASSERT_TRUE(driver.waitUntil([&] { return downloads.started == 2; }));
    EXPECT_EQ(pendingImageLoads(), 0u);  // noticed the view had gone
    ASSERT_TRUE(driver.waitUntil([&] { return downloads.stopped == 2; }));
    EXPECT_EQ(v->image(), placeholder);
}

// A hundred thousand views given one picture's address in one turn: each
// load takes constant time, not a look at every load still pending; when
// they have gone, the next view's load stops their download and drops each
// of their waits in constant time (ctest's timeout catches the minutes of
// either look).
TEST_F(WebImageTest, AHundredThousandViewsWaitingForOnePictureComeAndGoInLinearTime) {
    constexpr std::size_t kViews = 100000;
    LoopbackService svc;
    svc.serve("/slow.png", LoopbackService::held(imageReply("Icon.png")));
    DownloadCounter downloads;
    {
        std::vector<std::shared_ptr<ui::ImageView>> views;
        for (std::size_t i = 0; i < kViews; ++i) {
            views.push_back(imageView());
            setImageWithURL(views.back(), svc.baseURL() + "/slow.png", placeholder);
        }
        ASSERT_TRUE(driver.waitUntil([&] { return downloads.started == 1; }));
        EXPECT_EQ(pendingImageLoads(), kViews);
        EXPECT_EQ(views.back()->image(), placeholder);
    }
    auto next = imageView();
    setImageWithURL(next, svc.baseURL() + "/other.png", placeholder);
    EXPECT_EQ(downloads.stopped, 1);
    EXPECT_EQ(pendingImageLoads(), 1u);
    svc.release();
}

// A reset of the main run loop (between tests, and as a test program ends)
// stops the downloads: those under way are cancelled and their workers
// waited for, those waiting never go out, and nobody is told. A worker left
// running reached into the transport while the program's statics went.
TEST_F(WebImageTest, AResetOfTheMainLoopStopsTheDownloadsAndWaitsForTheirWorkers) {
    LoopbackService svc;
    svc.serve("/slow.png", LoopbackService::held(imageReply("Icon.png")));
    int told = 0;
    std::vector<WebImageDownloaderPtr> downloads;
    for (int i = 0; i < WebImageDownloader::kMaxConcurrent + 2; ++i)
        downloads.push_back(WebImageDownloader::downloadWithURL(svc.baseURL() + "/slow.png",
                                                                [&](const WebImageDownloader::Result&) { told++; }));
    ASSERT_TRUE(driver.waitUntil([&] { return pathRequests(svc, "/slow.png") == WebImageDownloader::kMaxConcurrent; }));

    ns::RunLoop::resetForTesting();
    svc.release();
    driver.runPending();
    EXPECT_EQ(told, 0);
    EXPECT_EQ(pathRequests(svc, "/slow.png"), static_cast<std::size_t>(WebImageDownloader::kMaxConcurrent));

    // The pool takes work again.
    svc.serve("/quick.png", imageReply("Icon.png"));
    std::optional<WebImageDownloader::Result> got;
    auto d = WebImageDownloader::downloadWithURL(svc.baseURL() + "/quick.png",
                                                 [&](const WebImageDownloader::Result& r) { got = r; });
    ASSERT_TRUE(driver.waitUntil([&] { return got.has_value(); }));
    EXPECT_TRUE(got->image);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(pathRequests(svc, "/slow.png"), static_cast<std::size_t>(WebImageDownloader::kMaxConcurrent));
}

// A picture larger than any the screen can use (8 MB once decoded) fails in
// transfer, however small it was on the wire.
TEST_F(WebImageTest, APictureLargerThanAnyTheScreenCanUseFailsInTransfer) {
    LoopbackService svc;
    auto huge = testsupport::content(std::string(9u * 1024 * 1024, 'x'), "image/png");
    huge.gzip = true;
    svc.serve("/huge.png", huge);
    std::optional<WebImageDownloader::Result> got;
    auto d = WebImageDownloader::downloadWithURL(svc.baseURL() + "/huge.png",
                                                 [&](const WebImageDownloader::Result& r) { got = r; });
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return got.has_value(); }, 60));
    ASSERT_TRUE(got->error);
    EXPECT_EQ(got->error->code, WebImageErrorTransport);
    EXPECT_NE(got->error->description().find("too large"), std::string::npos) << got->error->description();
}

TEST_F(WebImageTest, ButtonsTakeTheImageForTheirNormalState) {
    LoopbackService svc;
    svc.serve("/b.png", imageReply("add.png"));
    auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    setImageWithURL(b, svc.baseURL() + "/b.png", placeholder);
    EXPECT_EQ(b->imageForState(ui::ControlStateNormal), placeholder);
    ASSERT_TRUE(driver.waitUntil([&] { return b->imageForState(ui::ControlStateNormal) != placeholder; }));
    ASSERT_TRUE(b->imageForState(ui::ControlStateNormal));
    EXPECT_EQ(b->imageForState(ui::ControlStateNormal)->size().width, 24);
}

TEST(WebImageCacheTest, StaysWithinItsBoundsDroppingTheLeastRecentlyUsed) {
    ui::TestDriver driver;
    std::string dir = ns::temporaryDirectory() + "/bounded-cache";
    ns::FileManager::defaultManager().removeItemAtPath(dir);
    auto img = ui::Image::imageNamed("ico_back.png");  // 22 x 22: 1936 decoded bytes
    ASSERT_TRUE(img);
    ns::Bytes kb(1000, 7);
    {
        auto cache = std::make_shared<WebImageCache>(dir, 3 * 1936, 3500);
        for (int i = 0; i < 3; i++) cache->storeImage(img, kb, std::string("k").append(std::to_string(i)));
        EXPECT_EQ(cache->memoryCount(), 3u);
        EXPECT_TRUE(cache->imageFromMemoryCache("k0"));  // k0 is now the most recent
        cache->storeImage(img, kb, "k3");
        EXPECT_EQ(cache->memoryCount(), 3u);
        EXPECT_FALSE(cache->imageFromMemoryCache("k1"));
        EXPECT_TRUE(cache->imageFromMemoryCache("k0"));
        EXPECT_LE(cache->memoryCost(), 3u * 1936u);
        EXPECT_EQ(cache->diskSize(), 3000u);  // k0 went on disk first and was dropped
        EXPECT_FALSE(ns::FileManager::defaultManager().fileExistsAtPath(cache->cachePathForKey("k0")));
        EXPECT_TRUE(ns::FileManager::defaultManager().fileExistsAtPath(cache->cachePathForKey("k3")));
    }
    // Reopened with a smaller limit, the cache trims what it finds.
    auto reopened = std::make_shared<WebImageCache>(dir, 1936, 2000);
    EXPECT_LE(reopened->diskSize(), 2000u);
    EXPECT_TRUE(ns::FileManager::defaultManager().fileExistsAtPath(reopened->cachePathForKey("k3")));
}

// A picture it cannot keep on disk (here its folder is a file; a full disk
// alike) is said in one line that names the file once, with the reason.
TEST(WebImageCacheTest, AWriteThatFailsNamesTheFileOnceWithTheReason) {
    ui::TestDriver driver;
    const std::string blocked = ns::temporaryDirectory() + "/blocked-cache";
    ASSERT_TRUE(ns::writeFileAtomically(blocked, std::string_view("not a folder")));
    auto cache = std::make_shared<WebImageCache>(blocked + "/cache");
    ns::LogCapture log;
    cache->storeImage(ui::Image::imageNamed("menu.png"), ns::Bytes(1000, 7), "k");
    cache->waitForDisk();
    std::vector<std::string> failures;
    for (const auto& line : log.lines())
        if (line.find("WebImageCache: cannot write") != std::string::npos) failures.push_back(line);
    ASSERT_EQ(failures.size(), 1u);
    const std::string path = cache->cachePathForKey("k");
    EXPECT_NE(failures[0].find("cannot write " + path + ": " + std::strerror(ENOTDIR)), std::string::npos)
        << failures[0];
    EXPECT_EQ(failures[0].find(path), failures[0].rfind(path)) << failures[0];
}

TEST(WebImageCacheTest, AFileThatNoLongerDecodesIsAMissAndIsRemoved) {
    ui::TestDriver driver;
    std::string dir = ns::temporaryDirectory() + "/damaged-cache";
    ns::FileManager::defaultManager().removeItemAtPath(dir);
    auto cache = std::make_shared<WebImageCache>(dir);
    cache->storeImage(ui::Image::imageNamed("menu.png"), ns::Bytes{'n', 'o', 'p', 'e'}, "http://h/x.png");
    cache->clearMemory();
    ns::LogCapture log;
    bool answered = false;
    ui::ImagePtr found = ui::Image::imageNamed("menu.png");
    cache->queryDiskCache("http://h/x.png", [&](ui::ImagePtr image) {
        answered = true;
        found = image;
    });
    ASSERT_TRUE(driver.waitUntil([&] { return answered; }));
    EXPECT_FALSE(found);
    EXPECT_EQ(cache->diskSize(), 0u);
    EXPECT_FALSE(ns::FileManager::defaultManager().fileExistsAtPath(cache->cachePathForKey("http://h/x.png")));
}

// A cached file that grew beyond the bound since the cache found it (the
// folder is one others can write) is dropped unread, as one that no longer
// decodes, in one line naming the file with the reason. A read of the
// terabyte's size would end the test program (the cache reads on a queue
// thread of its own, which a child forked from this program's threads
// cannot safely start).
TEST(WebImageCacheTest, AFileBeyondTheBoundIsDroppedUnread) {
    ui::TestDriver driver;
    const std::string dir = ns::temporaryDirectory() + "/grown-cache";
    const std::string key = "http://h/grown.png";
    const std::string png = resourceBytes("menu.png");
    const ns::Bytes picture(png.begin(), png.end());
    for (std::uint64_t size : {std::uint64_t{WebImageCache::kMaxFileBytes} + 1, std::uint64_t{1} << 40}) {
        SCOPED_TRACE(size);
        ns::FileManager::defaultManager().removeItemAtPath(dir);
        auto cache = std::make_shared<WebImageCache>(dir);
        cache->storeImage(ui::Image::imageWithData(picture), picture, key);
        cache->waitForDisk();
        cache->clearMemory();
        const std::string path = cache->cachePathForKey(key);
        std::filesystem::resize_file(path, size);
        ns::LogCapture log;
        cache->queryDiskCache(key, nullptr);
        cache->waitForDisk();
        const auto said = testsupport::linesWith(log, "WebImageCache: ");
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find(path + ": more than"), std::string::npos) << said[0];
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(cache->diskSize(), 0u);
    }
    ns::FileManager::defaultManager().removeItemAtPath(dir);
}

// A picture's bytes up to the bound are kept on disk and found there again;
// beyond it they are kept in memory only, with a line naming the file.
TEST(WebImageCacheTest, BytesBeyondTheBoundAreNotWritten) {
    ui::TestDriver driver;
    const std::string dir = ns::temporaryDirectory() + "/bound-cache";
    ns::FileManager::defaultManager().removeItemAtPath(dir);
    auto cache = std::make_shared<WebImageCache>(dir);
    const std::string png = resourceBytes("menu.png");
    ns::Bytes largest(png.begin(), png.end());
    largest.resize(WebImageCache::kMaxFileBytes);  // zeros after the picture's end
    auto image = ui::Image::imageWithData(largest);
    ASSERT_TRUE(image);
    cache->storeImage(image, largest, "at");
    ns::Bytes beyond = largest;
    beyond.push_back(0);
    ns::LogCapture log;
    cache->storeImage(image, beyond, "beyond");
    cache->waitForDisk();
    cache->clearMemory();
    EXPECT_EQ(cache->diskSize(), WebImageCache::kMaxFileBytes);
    const auto said = testsupport::linesWith(log, "WebImageCache: ");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("cannot write " + cache->cachePathForKey("beyond") + ": more than"), std::string::npos)
        << said[0];
    bool answered = false;
    ui::ImagePtr found;
    cache->queryDiskCache("at", [&](ui::ImagePtr img) {
        answered = true;
        found = img;
    });
    ASSERT_TRUE(driver.waitUntil([&] { return answered; }));
    EXPECT_TRUE(found);
    cache.reset();
    ns::FileManager::defaultManager().removeItemAtPath(dir);
}

// The program removes a tour's home right after the application terminates:
// by then every write the cache took is on disk.
TEST(WebImageCacheTest, TheApplicationsEndWaitsForTheWritesOnDisk) {
    ui::TestDriver driver;
    std::string dir = ns::temporaryDirectory() + "/ending-cache";
    ns::FileManager::defaultManager().removeItemAtPath(dir);
    auto img = ui::Image::imageNamed("ico_back.png");
    ASSERT_TRUE(img);
    auto cache = std::make_shared<WebImageCache>(dir);
    ns::Bytes picture(256 * 1024, 7);
    for (int i = 0; i < 40; i++) cache->storeImage(img, picture, std::string("k").append(std::to_string(i)));
    ui::Application::sharedApplication().terminate();
    for (int i = 0; i < 40; i++) {
        std::string key = std::string("k").append(std::to_string(i));
        EXPECT_TRUE(ns::FileManager::defaultManager().fileExistsAtPath(cache->cachePathForKey(key))) << key;
    }
    cache.reset();
    ns::FileManager::defaultManager().removeItemAtPath(dir);
}

// Downloads that complete while the end waits (their completions run on the
// main run loop as it waits) are on disk when it is over too: no write is
// still under way when the home goes.
TEST(WebImageCacheTest, TheApplicationsEndAlsoWaitsForWritesThatArriveWhileItWaits) {
    ui::TestDriver driver;
    std::string dir = ns::temporaryDirectory() + "/late-cache";
    ns::FileManager::defaultManager().removeItemAtPath(dir);
    auto img = ui::Image::imageNamed("ico_back.png");
    ASSERT_TRUE(img);
    auto cache = std::make_shared<WebImageCache>(dir);
    auto picture = std::make_shared<ns::Bytes>(256 * 1024, 7);
    cache->storeImage(img, *picture, "early");
    for (int i = 0; i < 40; i++)
        ns::RunLoop::main().post([cache, img, picture, i] { cache->storeImage(img, *picture, "late" + std::to_string(i)); });
    ui::Application::sharedApplication().terminate();
    for (const std::string& key : {std::string("early"), std::string("late0"), std::string("late39")})
        EXPECT_TRUE(ns::FileManager::defaultManager().fileExistsAtPath(cache->cachePathForKey(key))) << key;
    cache.reset();
    ns::FileManager::defaultManager().removeItemAtPath(dir);
}

}  // namespace
