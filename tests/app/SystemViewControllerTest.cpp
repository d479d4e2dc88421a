#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/framework/FrontScreen.h"
#include "app/framework/SystemViewController.h"

namespace {

using SystemViewControllerTest = widgettest::WidgetTest;

class Screen : public SystemViewController {
public:
    void viewDidLoad() override {
        SystemViewController::viewDidLoad();
        view()->addSubview(ui::create<ui::View>(view()->bounds()));  // the subclass's own layout
    }
};

TEST_F(SystemViewControllerTest, EndingTheLoadShowsNothingAndFadesAShownLoadingView) {
    auto screen = ui::create<Screen>();
    showRoot(screen);
    EXPECT_TRUE(screen->noDataButton->isHidden());
    screen->loadingFail();
    driver->advance(1);
    EXPECT_TRUE(screen->loadingView->isHidden());
    EXPECT_EQ(screen->loadingLabel->text(), "加载失败！");

    screen->loadingView->setHidden(false);
    screen->loadingSuccess();
    driver->advance(SystemViewController::kFadeDuration);
    EXPECT_TRUE(screen->loadingView->isHidden());
}

TEST_F(SystemViewControllerTest, ToastShowsOverTheLayoutAndFadesAfterTwoSeconds) {
    auto screen = ui::create<Screen>();
    showRoot(screen);
    screen->showAlertWithTitle("提交成功");
    EXPECT_EQ(screen->view()->subviews().back(), screen->alertView);
    driver->advance(1.9);
    EXPECT_TRUE(driver->findViewWithText("提交成功"));
    driver->advance(0.1);
    EXPECT_FALSE(driver->findViewWithText("提交成功"));

    // A new text restarts the wait, even while the last one fades.
    driver->advance(0.1);
    screen->showAlertWithTitle("第二条");
    driver->advance(1.5);
    screen->showAlertWithTitle("第三条");
    driver->advance(1.9);
    EXPECT_TRUE(driver->findViewWithText("第三条"));
    driver->advance(0.1);
    EXPECT_FALSE(driver->findViewWithText("第三条"));

    // The wait of a screen that has gone ends in nothing.
    screen->showAlertWithTitle("再见");
    window->setRootViewController(nullptr);
    std::weak_ptr<Screen> weak = screen;
    screen.reset();
    EXPECT_TRUE(weak.expired());
    driver->advance(3);
}


// A screen pushed over another that puts up the overlay as it loads.
class LoadingScreen : public SystemViewController {
public:
    explicit LoadingScreen(std::string status = "加载中...") : status_(std::move(status)) {}
    void viewDidLoad() override {
        SystemViewController::viewDidLoad();
        naview = makeBackNavBar(*this, "详情");
        showProgress(status_);
    }
    std::shared_ptr<NavBarView> naview;

private:
    std::string status_;
};

class BaseScreenTest : public widgettest::WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        nav = ui::create<ui::NavigationController>(ui::create<ui::ViewController>());
        showRoot(nav);
    }
    std::shared_ptr<LoadingScreen> pushLoading(const std::string& status = "加载中...") {
        auto screen = std::make_shared<LoadingScreen>(status);
        screen->init();
        nav->pushViewController(screen, false);
        return screen;
    }
    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(BaseScreenTest, LeavingMidRequestTakesTheScreensOverlayDown) {
    auto screen = pushLoading();
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    EXPECT_TRUE(screen->showsOwnProgress());
    driver->tap(screen->naview->leftButton);  // the bar's back button pops the screen
    driver->advance(ui::ViewController::kTransitionDuration);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(BaseScreenTest, AnOverlayOfAnotherScreenOrAResultStaysUp) {
    // The next screen's overlay is up when the first one goes.
    auto first = pushLoading("第一个");
    auto second = pushLoading("第二个");
    EXPECT_FALSE(first->showsOwnProgress());
    EXPECT_EQ(ProgressHUD::currentStatus(), "第二个");

    // A result on its delay closes itself, whoever leaves.
    ProgressHUD::dismissWithSuccess("加载成功！", "", 0.75f);
    nav->popViewControllerAnimated(false);
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载成功！");
    driver->advance(0.75);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

}  // namespace
