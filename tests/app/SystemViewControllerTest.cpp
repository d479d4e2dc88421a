#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
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

}  // namespace
