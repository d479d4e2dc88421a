#include <gtest/gtest.h>

#include <thread>

#include "WidgetTestSupport.h"
#include "app/widgets/ProgressHUD.h"

namespace {

using ProgressHUDTest = widgettest::WidgetTest;
using State = ProgressHUD::State;

TEST_F(ProgressHUDTest, ShowsInAKeyWindowAboveTheScreensAndHandsKeyBack) {
    ProgressHUD::showWithTitle("", "加载中...");
    auto overlay = ProgressHUD::overlayWindow();
    ASSERT_TRUE(overlay);
    EXPECT_GT(overlay->windowLevel(), window->windowLevel());
    EXPECT_EQ(driver->keyWindow(), overlay);
    EXPECT_TRUE(driver->findViewWithText("加载中..."));

    // Touches pass through to the screen below.
    auto button = ui::create<ui::Button>(ui::Rect{100, 250, 120, 60});
    window->addSubview(button);
    EXPECT_EQ(driver->tapAt(ui::Point{160, 280}), button);

    ProgressHUD::dismiss();
    EXPECT_FALSE(driver->findViewWithText("加载中..."));
    EXPECT_EQ(driver->keyWindow(), window);
}

TEST_F(ProgressHUDTest, DelayedDismissalClosesOnTheClock) {
    ProgressHUD::showWithTitle("", "加载中...");
    ProgressHUD::dismissWithSuccess("加载成功！", "", 0.5f);
    EXPECT_EQ(ProgressHUD::state(), State::Success);
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载成功！");
    driver->advance(0.49);
    EXPECT_TRUE(ProgressHUD::isVisible());
    driver->advance(0.01);
    EXPECT_FALSE(ProgressHUD::isVisible());

    ProgressHUD::showWithTitle("标题", "提交中...");
    ProgressHUD::dismissWithError("提交失败", "标题", 0.75f);
    EXPECT_EQ(ProgressHUD::state(), State::Error);
    driver->advance(0.75);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(ProgressHUDTest, ImmediateDismissalCancelsTheDelayedOne) {
    ProgressHUD::showWithTitle("", "加载中...");
    ProgressHUD::dismissWithSuccess("加载成功！", "", 0.5f);
    ProgressHUD::dismiss();
    EXPECT_FALSE(ProgressHUD::isVisible());

    // The next load's overlay is not closed by the earlier delay, nor by one
    // that a new show replaced.
    driver->advance(0.2);
    ProgressHUD::showWithTitle("", "加载中...");
    driver->advance(1);
    ProgressHUD::dismissWithError("加载失败！", "", 0.5f);
    ProgressHUD::showWithTitle("", "加载中...");
    driver->advance(1);
    EXPECT_EQ(ProgressHUD::state(), State::Progress);

    // Nor does the delay of an overlay that has gone.
    ProgressHUD::dismissWithSuccess("加载成功！", "", 0.5f);
    ProgressHUD::resetForTesting();
    driver->advance(1);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(ProgressHUDTest, SuccessOrErrorWhileHiddenDoesNothing) {
    ProgressHUD::dismissWithSuccess("加载成功！", "", 0.5f);
    ProgressHUD::dismissWithError("加载失败！", "", 0.5f);
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_FALSE(driver->findViewWithText("加载成功！"));
    EXPECT_EQ(driver->keyWindow(), window);
}

TEST_F(ProgressHUDTest, CallsFromAnotherThreadRunOnTheMainLoop) {
    std::thread worker([] { ProgressHUD::showWithTitle("", "后台"); });
    worker.join();
    EXPECT_FALSE(ProgressHUD::isVisible());
    driver->runPending();
    EXPECT_EQ(ProgressHUD::currentStatus(), "后台");
}

}  // namespace
