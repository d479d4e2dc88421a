// The "先锋Velmarsh" tile's public-account page: the pictures paged sideways
// with their dots, the seventh picture's way into Mervio (or to its install
// page) and the back arrow.
#include <gtest/gtest.h>

#include "app/ShellTestSupport.h"
#include "app/shell/AppLinks.h"
#include "foundation/Log.h"
#include "channels/MaiWeiViewController.h"
#include "channels/Module.h"
#include "uikit/NavigationController.h"

namespace {

class MaiWeiTest : public shelltest::ShellTest {
protected:
    std::shared_ptr<MaiWeiViewController> openPage() {
        launchHome();
        registerChannelsModule(moduleRegistry());
        tapTile(1007);
        driver->advance(1.0);
        presented = std::dynamic_pointer_cast<ui::NavigationController>(home()->presentedViewController());
        if (!presented) return nullptr;
        auto page = std::dynamic_pointer_cast<MaiWeiViewController>(presented->topViewController());
        ui::Application::sharedApplication().layoutIfNeeded();
        return page;
    }
    // A finger on the pictures, held: moves are absolute from where it went down.
    void pressPictures(const std::shared_ptr<MaiWeiViewController>& page) {
        start_ = ui::Point{page->mscrview->frame().midX(), page->mscrview->frame().midY()};
        ui::Application::sharedApplication().beginTouch(start_);
    }
    void moveFinger(double dx) {
        ui::Application::sharedApplication().moveTouch(ui::Point{start_.x + dx, start_.y});
    }
    // Swipes page by page to the last picture.
    void swipeToTheEnd(const std::shared_ptr<MaiWeiViewController>& page) {
        for (int i = 0; i < 6; ++i) driver->drag(page->mscrview, ui::Point{-200, 0});
        ASSERT_EQ(page->pageControl->currentPage(), 6);
    }
    std::vector<std::string> opened() const { return ui::Application::sharedApplication().openedURLs(); }

    std::shared_ptr<ui::NavigationController> presented;
    ui::Point start_;
};

TEST_F(MaiWeiTest, SevenPicturesPagedSideways) {
    auto page = openPage();
    ASSERT_TRUE(page);
    EXPECT_TRUE(presented->isNavigationBarHidden());
    EXPECT_EQ(page->naview->titleLabel->text(), "先锋Velmarsh");
    EXPECT_FALSE(page->naview->leftButton->isHidden());
    const double W = 320, H = 568;
    EXPECT_EQ(page->mscrview->contentSize(), (ui::Size{7 * W, H - 64}));
    ASSERT_EQ(page->pictures.size(), 7u);
    EXPECT_EQ(page->pictures[6]->image()->name(), "maiwei7.png");
    EXPECT_EQ(page->pageControl->frame(), (ui::Rect{W / 2 - 56, H - 23, 112, 16}));
    EXPECT_EQ(page->pageControl->numberOfPages(), 7);

    // The third dot until the middle of the fourth picture comes under the
    // view's middle, and back again.
    pressPictures(page);
    moveFinger(-2 * W);
    moveFinger(-(2.5 * W - 1));
    EXPECT_EQ(page->pageControl->currentPage(), 2);
    moveFinger(-2.5 * W);
    EXPECT_EQ(page->pageControl->currentPage(), 3);
    moveFinger(-(2.5 * W - 1));
    EXPECT_EQ(page->pageControl->currentPage(), 2);
    moveFinger(-(2.5 * W + 40));
    ui::Application::sharedApplication().endTouch(ui::Point{start_.x - 2.5 * W - 40, start_.y});
    EXPECT_EQ(page->mscrview->contentOffset().x, 3 * W);
    EXPECT_EQ(page->pageControl->currentPage(), 3);

    // The other pictures lead nowhere.
    driver->tap(page->pictures[3]);
    EXPECT_TRUE(opened().empty());
    EXPECT_EQ(driver->topPopup(), nullptr);
}

TEST_F(MaiWeiTest, TheSeventhPictureOpensMervioWhenItIsInstalled) {
    std::vector<std::string> received;
    ui::Application::sharedApplication().registerURLScheme("maiwei", [&](const std::string& url) {
        received.push_back(url);
        return true;
    });
    auto page = openPage();
    ASSERT_TRUE(page);
    swipeToTheEnd(page);
    driver->tap(page->pictures[6]);
    EXPECT_EQ(received, (std::vector<std::string>{"maiwei://app/mv5c3e8a1f20b74d96/"}));
    EXPECT_EQ(driver->topPopup(), nullptr);

    // The SDK's own answers win once it fills the slots.
    int opens = 0;
    mervioHooks().isMVAppInstalled = [] { return true; };
    mervioHooks().openMVApp = [&] { return ++opens > 0; };
    ui::Application::sharedApplication().unregisterURLScheme("maiwei");
    driver->tap(page->pictures[6]);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(MaiWeiTest, WithoutMervioItOffersTheInstallPage) {
    auto page = openPage();
    ASSERT_TRUE(page);
    swipeToTheEnd(page);
    driver->tap(page->pictures[6]);
    ASSERT_TRUE(driver->lastAlert());
    EXPECT_EQ(driver->lastAlert()->title(), "提示");
    EXPECT_EQ(driver->lastAlert()->message(), "您没有安装迈维，现在去安装");
    ASSERT_TRUE(driver->pressAlertButton("取消"));
    EXPECT_TRUE(opened().empty());
    EXPECT_EQ(presented->topViewController(), page);

    // Nothing here opens web pages (the window hands them to the desktop's
    // browser): the log says which page it was.
    ns::LogCapture log;
    driver->tap(page->pictures[6]);
    ASSERT_TRUE(driver->pressAlertButton("确定"));
    EXPECT_EQ(opened(), (std::vector<std::string>{AppLinks::kMervioStorePage}));
    EXPECT_TRUE(log.contains(AppLinks::kMervioStorePage));

    // The back arrow takes the whole presented page away.
    driver->tap(page->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(home()->presentedViewController(), nullptr);
    EXPECT_EQ(top(), home());
}

}  // namespace
