// The convenience-services module: the link groups as boxes, the link page,
// the home tile's slot and the module's menu.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/ModuleTest.h"
#include "app/shell/ModuleRegistry.h"
#include "foundation/Format.h"
#include "app/framework/RevealController.h"
#include "channels/BMFWFrontViewController.h"
#include "channels/Module.h"
#include "channels/NewsViewController.h"

using namespace moduletest;

namespace {

class ConvenienceTest : public ModuleTest {
protected:
    std::shared_ptr<BMFWFrontViewController> openDirectory(const std::string& reply) {
        return pushAnswered<BMFWFrontViewController>("GetLinkList", reply);
    }
    // The boxes in the order they were added.
    static std::vector<std::shared_ptr<MoreMinBingview>> boxes(const std::shared_ptr<BMFWFrontViewController>& f) {
        std::vector<std::shared_ptr<MoreMinBingview>> out;
        for (auto& v : f->minbinview->mscrview->subviews()) {
            if (auto box = std::dynamic_pointer_cast<MoreMinBingview>(v)) out.push_back(box);
        }
        return out;
    }
    bool waitForBoxes(const std::shared_ptr<BMFWFrontViewController>& f, std::size_t n) {
        return driver->waitUntil([&] { return boxes(f).size() >= n; });
    }
    static std::string links(int n) {
        std::string s = "[";
        for (int i = 0; i < n; ++i) {
            s += i ? "," : "";
            s += ns::format(R"({"title":"链接%d","site_url":"http://links.test/%d"})", i, i);
        }
        return s + "]";
    }
};

TEST_F(ConvenienceTest, GroupsStackAsBoxesSizedByTheirLinks) {
    auto front = openDirectory(ns::format(R"({"records":[{"title":"五个","links":%@},{"title":"四个","links":%@},)"
                                          R"({"title":"没有","links":[]},{"title":"坏的","links":"x"}]})",
                                          links(5), links(4)));
    EXPECT_EQ(front->naview->titleLabel->text(), "便民服务");
    EXPECT_FALSE(front->naview->leftButton->isHidden());
    EXPECT_EQ(front->minbinview->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    ASSERT_TRUE(waitForBoxes(front, 4));
    // The boxes come from the reply, so the request has been recorded by now.
    ASSERT_EQ(svc.requests("GetLinkList").size(), 1u);
    EXPECT_FALSE(svc.requests("GetLinkList")[0].jsonString.has_value());

    auto b = boxes(front);
    EXPECT_EQ(b[0]->frame(), (ui::Rect{5, 0, 310, 120}));
    EXPECT_EQ(b[1]->frame(), (ui::Rect{5, 130, 310, 90}));
    EXPECT_EQ(b[2]->frame(), (ui::Rect{5, 230, 310, 30}));
    EXPECT_EQ(b[3]->frame(), (ui::Rect{5, 270, 310, 30}));  // links that are no array: none
    EXPECT_EQ(front->minbinview->mscrview->contentSize(), (ui::Size{310, 270 + 30 + 10 + 20}));
    EXPECT_EQ(b[0]->titleLabel->text(), "五个");
    EXPECT_EQ(b[0]->layer().borderWidth(), 0.8);

    // Two columns: the third link starts the second row on the left.
    auto third = std::dynamic_pointer_cast<ui::Button>(b[0]->viewWithTag(202));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->frame(), (ui::Rect{0, 60, 155, 30}));
    EXPECT_EQ(third->titleForState(ui::ControlStateNormal), "链接2");
    auto fourth = std::dynamic_pointer_cast<ui::Button>(b[0]->viewWithTag(203));
    EXPECT_EQ(fourth->frame(), (ui::Rect{155, 60, 155, 30}));
}

TEST_F(ConvenienceTest, AReplyWithoutGroupsLeavesAnEmptyDirectory) {
    auto front = openDirectory(R"({"state":"failed","records":{"title":"x"}})");
    ASSERT_TRUE(driver->waitUntil([&] { return front->minbinview->mscrview->contentSize().height == 20; }));
    EXPECT_TRUE(boxes(front).empty());
    EXPECT_EQ(front->minbinview->mscrview->contentSize(), (ui::Size{310, 20}));
    EXPECT_EQ(driver->topPopup(), nullptr);
}

TEST_F(ConvenienceTest, ALinkOpensItsPageAndBackKeepsTheBoxes) {
    svc.serve("/page", LoopbackService::status(200, "<html><body>办事指南</body></html>"));
    ui::WebView::setManualLoading(true);
    auto front = openDirectory(ns::format(R"({"records":[{"title":"办事","links":[)"
                                          R"({"title":"社保","site_url":"%@/page"}]}]})",
                                          svc.url()));
    ASSERT_TRUE(waitForBoxes(front, 1));
    driver->tap(boxes(front)[0]->viewWithTag(200));
    auto page = std::dynamic_pointer_cast<MinBingDetailViewController>(nav->topViewController());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->naview->titleLabel->text(), "便民服务");
    EXPECT_EQ(page->webView->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    ASSERT_EQ(page->webView->loads().size(), 1u);
    EXPECT_EQ(page->webView->loads()[0].url, svc.url() + "/page");
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(driver->waitUntil([&] { return page->webView->hasPendingLoad(); }));
    page->webView->finishPendingLoad();
    ASSERT_TRUE(driver->waitUntil([&] { return !ProgressHUD::isVisible(); }));

    driver->tap(page->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(nav->topViewController(), front);
    EXPECT_EQ(boxes(front).size(), 1u);
    EXPECT_EQ(svc.requests("GetLinkList").size(), 1u);

    // A failing page shows the failure text.
    driver->tap(boxes(front)[0]->viewWithTag(200));
    page = std::dynamic_pointer_cast<MinBingDetailViewController>(nav->topViewController());
    ASSERT_TRUE(driver->waitUntil([&] { return page->webView->hasPendingLoad(); }));
    EXPECT_TRUE(ProgressHUD::isVisible());
    page->webView->failPendingLoad(ns::makeError(ui::NSURLErrorDomain, ui::URLErrorTimedOut));
    ASSERT_TRUE(driver->waitUntil([&] { return ProgressHUD::state() == ProgressHUD::State::Error; }));
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载失败！");
    driver->advance(WebPageScreen::kResultDelay);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

// A link the service gave that names a local file opens nothing of it.
TEST_F(ConvenienceTest, ALinkToALocalFileShowsNoFile) {
    std::string file = std::string(std::getenv("KL_HOME")) + "/notes.txt";
    std::ofstream(file) << "private notes";
    auto front = openDirectory(ns::format(R"({"records":[{"title":"办事","links":[)"
                                          R"({"title":"社保","site_url":"file://%@"}]}]})", file));
    ASSERT_TRUE(waitForBoxes(front, 1));
    driver->tap(boxes(front)[0]->viewWithTag(200));
    auto page = std::dynamic_pointer_cast<MinBingDetailViewController>(nav->topViewController());
    ASSERT_TRUE(page);
    ASSERT_TRUE(driver->waitUntil([&] { return !page->webView->isLoading(); }));
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载失败！");
    driver->advance(WebPageScreen::kResultDelay);
    EXPECT_FALSE(ProgressHUD::isVisible());
    auto shown = page->webView->document();
    EXPECT_TRUE(!shown || shown->textContent().find("private notes") == std::string::npos);
}

TEST_F(ConvenienceTest, LeavingAPageStillLoadingTakesItsOverlayAlong) {
    ui::WebView::setManualLoading(true);
    auto front = openDirectory(ns::format(R"({"records":[{"title":"办事","links":%@}]})", links(1)));
    ASSERT_TRUE(waitForBoxes(front, 1));
    driver->tap(boxes(front)[0]->viewWithTag(200));
    auto page = std::dynamic_pointer_cast<MinBingDetailViewController>(nav->topViewController());
    ASSERT_TRUE(page);
    ASSERT_TRUE(driver->waitUntil([&] { return page->webView->hasPendingLoad(); }));
    EXPECT_TRUE(ProgressHUD::isVisible());
    driver->tap(page->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(nav->topViewController(), front);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(ConvenienceTest, AViewOutsideTheDirectoryScreenPushesNothing) {
    svc.reply("GetLinkList", ns::format(R"({"records":[{"title":"办事","links":%@}]})", links(1)));
    auto loose = ui::create<MinBingView>(ui::Rect{0, 0, 320, 400});
    root->view()->addSubview(loose);
    ASSERT_TRUE(driver->waitUntil([&] { return loose->mdataArray.count() == 1; }));
    EXPECT_EQ(loose->viewController(), nullptr);
    loose->MinBingDetail(ns::Value::dictionary({{"site_url", "http://links.test/0"}}));
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

TEST_F(ConvenienceTest, TheHomeTileSlotBuildsTheDirectory) {
    ModuleRegistry registry;
    registerChannelsModule(registry);
    ASSERT_TRUE(registry.bmfw);
    svc.reply("GetLinkList", R"({"records":[]})");
    auto screen = registry.bmfw();
    EXPECT_TRUE(ui::isKind<BMFWFrontViewController>(screen));
    nav->pushViewController(screen, false);
    settleService();
}

TEST_F(ConvenienceTest, TheMenuGoesHomeWithoutAnimationAndOpensTheNewsScreen) {
    class HomeStub : public ui::ViewController {};
    nav->pushViewController(ui::create<HomeStub>(), false);
    svc.reply("GetArticleList", R"({"records":[]})");
    auto rear = ui::create<BMFWRearViewController>();
    auto front = ui::create<ui::ViewController>();
    auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
    nav->pushViewController(reveal, false);
    ui::Application::sharedApplication().layoutIfNeeded();
    auto table = rear->rearTableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 4);

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    ASSERT_TRUE(frontNav);
    EXPECT_TRUE(ui::isKind<NewsViewController>(frontNav->viewControllers().front()));
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    EXPECT_EQ(reveal->frontViewController(), frontNav);

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    EXPECT_TRUE(ui::isKind<HomeStub>(nav->topViewController()));
    settleService();
}

}  // namespace
