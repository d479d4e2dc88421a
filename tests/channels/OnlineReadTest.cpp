// The party school's online reading: the fixed reading page and its overlay,
// and the bookshelf's grid, refresh and covers.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/shell/AppLinks.h"
#include "app/framework/OCJUIWebViewController.h"
#include "app/images/WebImageManager.h"
#include "channels/OnlineRead.h"
#include "channels/PartySchool.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"

using namespace moduletest;

namespace {

std::string books(int n, const std::string& prefix = "书") {
    ns::Value rows = ns::Value::array();
    for (int i = 1; i <= n; ++i) {
        rows.push(ns::Value::dictionary({{"title", prefix + std::to_string(i)},
                                         {"img_url", ns::Value::null()},
                                         {"file_path", "http://books.example/" + prefix + std::to_string(i) + ".pdf"}}));
    }
    return moduletest::listReply(rows);
}

class OnlineReadTest : public moduletest::ModuleTest {
protected:
    void TearDown() override {
        ui::WebView::resetForTesting();
        ModuleTest::TearDown();
    }
    std::shared_ptr<ZXCYViewController> openShelf() {
        auto shelf = ui::create<ZXCYViewController>();
        openModule(shelf, ui::create<YDDXRearViewController>());
        return shelf;
    }
    // The covers on the shelf, in order of their tags.
    static std::vector<std::shared_ptr<ui::ImageView>> covers(const std::shared_ptr<ZXCYViewController>& shelf) {
        std::vector<std::shared_ptr<ui::ImageView>> out;
        for (int i = 0;; ++i) {
            auto v = std::dynamic_pointer_cast<ui::ImageView>(shelf->mscrview->viewWithTag(ZXCYViewController::kCoverTagBase + i));
            if (!v) break;
            out.push_back(v);
        }
        return out;
    }
};

TEST_F(OnlineReadTest, TheReadingPageShowsTheOverlayWhileItLoads) {
    ui::WebView::setManualLoading(true);
    auto reading = ui::create<OnlineReadViewController>();
    reading->setTitle("在线阅读");
    auto reveal = openModule(reading, ui::create<YDDXRearViewController>());
    EXPECT_EQ(reading->naview->titleLabel->text(), "在线阅读");
    EXPECT_TRUE(reading->naview->leftButton->isHidden());
    auto web = reading->webView;
    ASSERT_TRUE(web);
    EXPECT_EQ(web->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    EXPECT_EQ(web->request().url, AppLinks::webHost() + "/GB/68294/index6.html");
    ASSERT_TRUE(driver->waitUntil([&] { return web->hasPendingLoad(); }));
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(web->finishPendingLoad("<html><body>理论</body></html>"));
    driver->runPending();
    EXPECT_FALSE(ProgressHUD::isVisible());

    // A failed page only closes the overlay.
    web->followLink(svc.baseURL() + "/gone.html");
    ASSERT_TRUE(driver->waitUntil([&] { return web->hasPendingLoad(); }));
    EXPECT_TRUE(ProgressHUD::isVisible());
    web->failPendingLoad(ns::makeError(ui::NSURLErrorDomain, ui::URLErrorTimedOut));
    driver->advance(1.0);
    EXPECT_FALSE(ProgressHUD::isVisible());

    // Swapped out while a page loads: the overlay goes with the page.
    web->followLink(svc.baseURL() + "/slow.html");
    ASSERT_TRUE(driver->waitUntil([&] { return web->hasPendingLoad(); }));
    std::weak_ptr<OnlineReadViewController> gone = reading;
    reading.reset();
    web.reset();
    reveal->setFrontViewController(ui::create<ui::NavigationController>(ui::create<moduletest::HomeStub>()), false);
    driver->advance(1.0);
    EXPECT_TRUE(gone.expired());
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(OnlineReadTest, SevenBooksFillFourRows) {
    svc.reply("GetOnlineRead", books(7));
    auto shelf = openShelf();
    ASSERT_TRUE(driver->waitUntil([&] { return shelf->BookArray.count() == 7; }));
    auto asked = svc.received("GetOnlineRead");
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["page_size"].integerValue(), 20);
    EXPECT_EQ(asked["parameters"]["category_code"].str(), "zaixianyuedu");
    EXPECT_EQ(shelf->mscrview->frame(), (ui::Rect{0, 64, 320, 568 - 64}));

    auto all = covers(shelf);
    ASSERT_EQ(all.size(), 7u);
    // Column width (320 - 20) / 2 = 150; rows 180 apart.
    EXPECT_EQ(all[0]->frame(), (ui::Rect{5, 40, 150, 150}));
    EXPECT_EQ(all[1]->frame(), (ui::Rect{165, 40, 150, 150}));
    EXPECT_EQ(all[6]->frame(), (ui::Rect{5, 3 * 180 + 40, 150, 150}));
    EXPECT_DOUBLE_EQ(shelf->mscrview->contentSize().height, 3 * 190 + 254);
    bool captioned = false;
    for (auto& v : shelf->mscrview->subviews()) {
        auto label = std::dynamic_pointer_cast<ui::Label>(v);
        if (label && label->text() == "书7") {
            captioned = true;
            EXPECT_EQ(label->frame(), (ui::Rect{5, 3 * 180 + 10, 150, 30}));
        }
    }
    EXPECT_TRUE(captioned);

    // The third cover opens the third book.
    driver->tap(all[2]);
    auto web = std::dynamic_pointer_cast<OCJUIWebViewController>(shelf->navigationController()->topViewController());
    ASSERT_TRUE(web);
    EXPECT_EQ(web->urlStr, "http://books.example/书3.pdf");
    EXPECT_EQ(web->titleStr, "");
}

// A shelf of thousands of books, each cover loading a picture of its own,
// lays them out in order; refreshed with other books it shows those alone,
// and the loads of the covers that went stop as the new ones start.
TEST_F(OnlineReadTest, AShelfOfThousandsOfBooksIsLaidOutAndReplacedWhole) {
    svc.serve("/cover.png", LoopbackService::held());  // pictures still on their way
    auto shelfOf = [&](int n, const std::string& prefix) {
        ns::Value rows = ns::Value::array();
        for (int i = 0; i < n; ++i) {
            rows.push(ns::Value::dictionary({{"title", ns::format("%@%d", prefix, i)},
                                             {"img_url", ns::format("%@/cover.png?%@%d", svc.baseURL(), prefix, i)},
                                             {"file_path", ns::format("http://books.example/%@%d.pdf", prefix, i)}}));
        }
        return moduletest::listReply(rows);
    };
    // Each caption and the cover below it, in the order they were laid out.
    auto shelved = [](const std::shared_ptr<ZXCYViewController>& shelf) {
        std::vector<std::string> out;
        for (auto& v : shelf->mscrview->subviews()) {
            if (auto caption = std::dynamic_pointer_cast<ui::Label>(v)) out.push_back(caption->text());
            if (ui::isKind<ui::ImageView>(v) && v->tag() >= ZXCYViewController::kCoverTagBase) {
                out.push_back(ns::format("%d", v->tag() - ZXCYViewController::kCoverTagBase));
            }
        }
        return out;
    };
    constexpr int kBooks = 5000;
    svc.reply("GetOnlineRead", shelfOf(kBooks, "书"));
    auto shelf = openShelf();
    ASSERT_TRUE(driver->waitUntil([&] { return shelf->BookArray.count() == kBooks; }));
    std::vector<std::string> expected;
    for (int i = 0; i < kBooks; ++i) {
        expected.push_back(ns::format("书%d", i));
        expected.push_back(ns::format("%d", i));
    }
    EXPECT_EQ(shelved(shelf), expected);
    EXPECT_EQ(WebImageManager::sharedManager()->activeFetches(), std::size_t{kBooks});

    svc.reply("GetOnlineRead", shelfOf(3, "新"));
    shelf->mscrview->simulateDrag(ui::Point{0, 80});
    driver->advance(2.0);
    ASSERT_TRUE(driver->waitUntil([&] { return shelf->BookArray.count() == 3; }));
    EXPECT_EQ(shelved(shelf), (std::vector<std::string>{"新0", "0", "新1", "1", "新2", "2"}));
    EXPECT_EQ(WebImageManager::sharedManager()->activeFetches(), 3u);
}

TEST_F(OnlineReadTest, ARefreshLeavesOnlyTheNewBooks) {
    svc.reply("GetOnlineRead", books(5));
    auto shelf = openShelf();
    ASSERT_TRUE(driver->waitUntil([&] { return covers(shelf).size() == 5; }));

    // A failed refresh keeps the books shown.
    svc.replyOnce("GetOnlineRead", LoopbackService::status(500));
    shelf->mscrview->simulateDrag(ui::Point{0, 80});
    EXPECT_TRUE(shelf->isReloading());
    driver->advance(2.0);
    ASSERT_TRUE(driver->waitUntil([&] { return !shelf->isReloading(); }));
    EXPECT_EQ(covers(shelf).size(), 5u);

    svc.reply("GetOnlineRead", books(2, "新"));
    shelf->mscrview->simulateDrag(ui::Point{0, 80});
    driver->advance(2.0);
    ASSERT_TRUE(driver->waitUntil([&] { return shelf->BookArray.count() == 2; }));
    EXPECT_EQ(covers(shelf).size(), 2u);
    EXPECT_DOUBLE_EQ(shelf->mscrview->contentSize().height, 190 + 64);
    std::size_t labels = 0;
    for (auto& v : shelf->mscrview->subviews()) labels += std::dynamic_pointer_cast<ui::Label>(v) ? 1 : 0;
    EXPECT_EQ(labels, 2u);
    EXPECT_EQ(svc.count("GetOnlineRead"), 3u);
    EXPECT_FALSE(shelf->isReloading());
}

}  // namespace
