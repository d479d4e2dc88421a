#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/SystemViewController.h"

namespace {

using SystemViewControllerTest = widgettest::WidgetTest;

class Screen : public SystemViewController {
public:
    void viewDidLoad() override {
        SystemViewController::viewDidLoad();
        cover = ui::create<ui::View>(view()->bounds());
        view()->addSubview(cover);
    }
    std::shared_ptr<ui::View> cover;  // the subclass's own layout over the base's views
};

TEST_F(SystemViewControllerTest, BaseViewsStartHidden) {
    auto screen = ui::create<Screen>();
    showRoot(screen);
    EXPECT_TRUE(screen->loadingView->isHidden());
    EXPECT_TRUE(screen->noDataButton->isHidden());
    EXPECT_TRUE(screen->alertView->isHidden());
    EXPECT_EQ(driver->findViewWithText("加载失败！"), nullptr);

    // Ending the load changes nothing visible.
    screen->loadingFail();
    screen->loadingSuccess();
    driver->advance(1);
    EXPECT_TRUE(screen->loadingView->isHidden());
    EXPECT_EQ(screen->loadingLabel->text(), "加载失败！");
}

TEST_F(SystemViewControllerTest, ShownLoadingViewFadesWhenTheLoadEnds) {
    auto screen = ui::create<Screen>();
    showRoot(screen);
    screen->loadingView->setHidden(false);
    screen->loadingSuccess();
    driver->advance(SystemViewController::kFadeDuration);
    EXPECT_TRUE(screen->loadingView->isHidden());
    EXPECT_EQ(screen->loadingLabel->text(), "加载中...");
}

TEST_F(SystemViewControllerTest, ToastShowsOverTheLayoutAndFadesAfterTwoSeconds) {
    auto screen = ui::create<Screen>();
    showRoot(screen);
    screen->showAlertWithTitle("提交成功");
    auto toast = driver->findViewWithText("提交成功");
    ASSERT_TRUE(toast);
    EXPECT_EQ(screen->view()->subviews().back(), screen->alertView);

    driver->advance(1.9);
    EXPECT_TRUE(driver->findViewWithText("提交成功"));
    driver->advance(0.1);
    EXPECT_FALSE(driver->findViewWithText("提交成功"));
    driver->advance(SystemViewController::kFadeDuration);
    EXPECT_TRUE(screen->alertView->isHidden());
}

TEST_F(SystemViewControllerTest, ANewToastRestartsTheWait) {
    auto screen = ui::create<Screen>();
    showRoot(screen);
    screen->showAlertWithTitle("第一条");
    driver->advance(1.5);
    screen->showAlertWithTitle("第二条");
    driver->advance(1.5);
    EXPECT_TRUE(driver->findViewWithText("第二条"));
    driver->advance(0.5);
    EXPECT_FALSE(driver->findViewWithText("第二条"));

    // A toast shown while the last one fades out stays up.
    driver->advance(0.1);
    screen->showAlertWithTitle("第三条");
    driver->advance(SystemViewController::kFadeDuration);
    EXPECT_TRUE(driver->findViewWithText("第三条"));
}

TEST_F(SystemViewControllerTest, ToastOfAScreenThatHasGoneDoesNothing) {
    auto screen = ui::create<Screen>();
    showRoot(screen);
    screen->showAlertWithTitle("再见");
    std::weak_ptr<Screen> weak = screen;
    window->setRootViewController(nullptr);
    screen.reset();
    EXPECT_TRUE(weak.expired());
    driver->advance(3);
}

}  // namespace
