// The home screen's "时事直通" tile opens the current-affairs module of this
// library, and its menu leads back home.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/RevealController.h"
#include "app/ShellTestSupport.h"
#include "channels/Module.h"
#include "channels/SSZTFrontViewController.h"
#include "channels/SSZTRearViewController.h"
#include "uikit/NavigationController.h"

using namespace moduletest;

namespace {

class ChannelsModuleTest : public shelltest::ShellTest {
protected:
    std::shared_ptr<RevealController> openTile() {
        tapTile(1001);
        driver->advance(1.0);
        return std::dynamic_pointer_cast<RevealController>(top());
    }
    static std::shared_ptr<SSZTFrontViewController> listOf(const std::shared_ptr<RevealController>& reveal) {
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return nav ? std::dynamic_pointer_cast<SSZTFrontViewController>(nav->viewControllers().front()) : nullptr;
    }
};

TEST_F(ChannelsModuleTest, TileOpensTheNewsListAndTheMenuLeadsHome) {
    svc.handle("GetArticleList", [this](const LoopbackService::Received& r) {
        return svc.result("GetArticleList", moduletest::listReply(moduletest::articlePage(moduletest::requestedPage(r))));
    });
    launchHome();
    registerChannelsModule(moduleRegistry());
    ASSERT_TRUE(moduleRegistry().sszt.isBuilt());

    auto reveal = openTile();
    ASSERT_TRUE(reveal);
    auto list = listOf(reveal);
    ASSERT_TRUE(list);
    auto rear = std::dynamic_pointer_cast<SSZTRearViewController>(reveal->rearViewController());
    ASSERT_TRUE(rear);
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 10; }));

    moduletest::pullUp(list->mtableview);
    driver->advance(2.0);
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 20; }));
    EXPECT_EQ(list->pageNo(), 2);

    driver->tap(list->menuButton);
    driver->advance(1.0);
    ASSERT_TRUE(driver->tapText("回到首页"));
    EXPECT_EQ(top(), home());

    // Opened again: a new module whose menu has no highlighted row.
    reveal = openTile();
    ASSERT_TRUE(reveal);
    EXPECT_NE(listOf(reveal), list);
    auto again = std::dynamic_pointer_cast<SSZTRearViewController>(reveal->rearViewController());
    ASSERT_TRUE(again);
    again->view();
    EXPECT_EQ(again->menu->highlightedRow(), -1);
}

}  // namespace
