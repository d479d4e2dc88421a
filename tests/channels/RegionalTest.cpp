// The regional party-building module: its menu in the container, the four
// article lists, their articles and the fixed web page.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/shell/AppLinks.h"
#include "app/framework/RevealController.h"
#include "channels/QZLXDetailViewController.h"
#include "channels/VLDJFrontViewController.h"
#include "channels/VLDJRearViewController.h"
#include "channels/XJDXCell.h"
#include "uikit/NavigationController.h"

using namespace moduletest;

namespace {

class RegionalTest : public moduletest::ModuleTest {
protected:
    std::shared_ptr<RevealController> openRegional() {
        front = ui::create<VLDJFrontViewController>();
        rear = ui::create<VLDJRearViewController>();
        return openModule(front, rear);
    }
    std::shared_ptr<ListScreen> shownList(const std::shared_ptr<RevealController>& reveal) {
        return std::dynamic_pointer_cast<ListScreen>(frontRoot(reveal));
    }

    std::shared_ptr<VLDJFrontViewController> front;
    std::shared_ptr<VLDJRearViewController> rear;
};

TEST_F(RegionalTest, MassLineListShowsTitledRowsWithTheirTime) {
    serveArticlePages(1);
    openRegional();
    EXPECT_TRUE(front->naview->leftButton->isHidden());
    expectTitleAndTimeList<QZLXDetailViewController>(front, "qunzhongluxian", "群众路线");
}

TEST_F(RegionalTest, MenuSwapsChannelsByClassAndTheMassLineComesBackFresh) {
    serveArticlePages();
    auto reveal = openRegional();
    ASSERT_TRUE(settle(front));
    auto table = rear->rearTableView();
    EXPECT_EQ(menuTitles(table), (std::vector<std::string>{"群众路线", "组工要闻", "基层动态", "先进典型", "Velmarsh党建", "回到首页"}));

    struct Case {
        long row;
        std::string title, code;
    };
    for (const Case& c : {Case{1, "组工要闻", "zugongyaowen"}, Case{2, "基层动态", "jicengdongtai"},
                          Case{3, "先进典型", "xianjindianxing"}}) {
        reveal->revealToggle(nullptr);
        driver->advance(1.0);
        ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, c.row}));
        auto list = shownList(reveal);
        ASSERT_TRUE(list) << c.title;
        ASSERT_TRUE(settle(list));
        EXPECT_EQ(list->naview->titleLabel->text(), c.title);
        EXPECT_EQ(svc.received("GetArticleList")["parameters"]["category_code"].str(), c.code);
        EXPECT_EQ(moduletest::requestedPage(svc.requests("GetArticleList").back()), 1);
        EXPECT_EQ(rear->menu->highlightedRow(), c.row);
        driver->advance(1.0);
        EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionLeft);

        // The same row again only keeps the highlight and the menu open.
        reveal->revealToggle(nullptr);
        driver->advance(1.0);
        std::size_t asked = svc.count("GetArticleList");
        ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, c.row}));
        driver->advance(1.0);
        EXPECT_EQ(shownList(reveal), list);
        EXPECT_EQ(svc.count("GetArticleList"), asked);
        EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
        reveal->revealToggle(nullptr);
        driver->advance(1.0);
    }

    reveal->revealToggle(nullptr);
    driver->advance(1.0);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto massLine = std::dynamic_pointer_cast<VLDJFrontViewController>(frontRoot(reveal));
    ASSERT_TRUE(massLine);
    EXPECT_NE(massLine, front);
    ASSERT_TRUE(settle(massLine));
    EXPECT_EQ(massLine->naview->titleLabel->text(), "群众路线");
    EXPECT_EQ(svc.received("GetArticleList")["parameters"]["category_code"].str(), "qunzhongluxian");
}

TEST_F(RegionalTest, WebPageRowPushesTheFixedPageAndHomeRowLeaves) {
    serveArticlePages();
    ui::WebView::setManualLoading(true);
    auto reveal = openRegional();
    ASSERT_TRUE(settle(front));
    reveal->revealToggle(nullptr);
    driver->advance(1.0);
    auto table = rear->rearTableView();
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 4}));
    auto page = std::dynamic_pointer_cast<VLDJWebViewController>(homeNav->topViewController());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->naview->titleLabel->text(), "Velmarsh党建");
    EXPECT_FALSE(page->naview->leftButton->isHidden());
    ASSERT_EQ(page->webView->loads().size(), 1u);
    EXPECT_EQ(page->webView->loads()[0].url,
              AppLinks::webHost() + "/html/ganbugongzuo/ganbugongzuodongtai/2013/1009/28.html");
    ASSERT_TRUE(driver->waitUntil([&] { return page->webView->hasPendingLoad(); }));
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    page->webView->finishPendingLoad("<html><body>page</body></html>");
    ASSERT_TRUE(driver->waitUntil([&] { return !ProgressHUD::isVisible(); }));

    driver->tap(page->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(homeNav->topViewController(), reveal);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    EXPECT_EQ(rear->menu->highlightedRow(), 4);

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 5}));
    EXPECT_TRUE(ui::isKind<HomeStub>(homeNav->topViewController()));
}

TEST_F(RegionalTest, AdvancedModelRowsShowThumbnailSummaryAndLikes) {
    svc.reply("GetArticleList", R"({"records":[{"id":"7","title":"模范","zhaiyao":null,"img_url":null,"support_count":12},)"
                                R"({"id":"8","title":"先锋","zhaiyao":"事迹","img_url":"","support_count":null}]})");
    auto list = ui::create<XJDXViewController>();
    list->setTitle("先进典型");
    list->category_code = "xianjindianxing";
    showRoot(ui::create<ui::NavigationController>(list));
    ASSERT_TRUE(settle(list));
    auto table = list->mtableview;
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 1}), (ui::Rect{0, 70, 320, 70}));
    auto cell = std::dynamic_pointer_cast<XJDXCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->headimagev->image(), ui::Image::imageNamed("test_adv_item.jpg"));
    EXPECT_EQ(cell->subLabel->text(), "");
    EXPECT_EQ(cell->support_countLabel->text(), "12");
    EXPECT_EQ(cell->likeIcon->frame(), (ui::Rect{280, 55, 10, 11}));
    EXPECT_EQ(cell->support_countLabel->frame(), (ui::Rect{293, 55, 40, 15}));
    auto second = std::dynamic_pointer_cast<XJDXCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 1}));
    EXPECT_EQ(second->support_countLabel->text(), "");
    EXPECT_EQ(second->subLabel->text(), "事迹");

    svc.reply("GetArticleRecord", LoopbackService::held());
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto detail = std::dynamic_pointer_cast<XJDXDetailViewController>(list->navigationController()->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->article_id, "7");
    svc.release();
}

TEST_F(RegionalTest, ArticleShowsTheChannelTitleAndSizesItsBody) {
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "700");
    svc.reply("GetArticleRecord", R"({"records":{"title":"文章自己的标题","add_time":"2014-06-01","content":"<p>正文</p>"}})");
    auto nav = ui::create<ui::NavigationController>(ui::create<HomeStub>());
    showRoot(nav);
    auto detail = ui::create<QZLXDetailViewController>();
    detail->article_id = "55";
    nav->pushViewController(detail, false);
    EXPECT_EQ(detail->naview->titleLabel->text(), "群众路线");
    EXPECT_EQ(detail->mwebview->frame(), (ui::Rect{5, 50.8, 310, 90}));
    EXPECT_FALSE(detail->mwebview->scrollView()->isScrollEnabled());
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(driver->waitUntil([&] { return detail->mwebview->frame().size.height == 700; }));
    EXPECT_EQ(svc.received("GetArticleRecord")["parameters"]["id"].str(), "55");
    EXPECT_EQ(detail->titleLabel->text(), "文章自己的标题");
    EXPECT_EQ(detail->timeLabel->text(), "时间: 2014-06-01");
    ui::Rect t = detail->timeLabel->frame();
    ui::Rect l = detail->line->frame();
    EXPECT_EQ(l.origin.y, t.origin.y + 15 + 10);
    EXPECT_EQ(detail->mwebview->frame().origin.y, l.origin.y + 0.8);
    EXPECT_EQ(detail->msrview->contentSize(), (ui::Size{320, l.origin.y + 0.8 + 700}));

    // The lists keep the system bar hidden; the top bar's arrow goes back.
    nav->setNavigationBarHidden(true, false);
    EXPECT_EQ(driver->tap(detail->naview->leftButton), detail->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

TEST_F(RegionalTest, ArticleWithNullsOrAFailedRequestStaysEmpty) {
    auto nav = ui::create<ui::NavigationController>(ui::create<HomeStub>());
    showRoot(nav);
    svc.reply("GetArticleRecord", R"({"records":{"title":"典型","add_time":null,"content":null}})");
    auto detail = ui::create<XJDXDetailViewController>();
    nav->pushViewController(detail, false);
    EXPECT_EQ(detail->naview->titleLabel->text(), "先进典型");
    ASSERT_TRUE(driver->waitUntil([&] { return !detail->mwebview->loads().empty(); }));
    EXPECT_EQ(detail->titleLabel->text(), "典型");
    EXPECT_EQ(detail->timeLabel->text(), "时间: ");
    EXPECT_EQ(detail->mwebview->loads()[0].html, "");

    svc.reply("GetArticleRecord", LoopbackService::status(500));
    auto failed = ui::create<ZGYWDetailViewController>();
    nav->pushViewController(failed, false);
    EXPECT_EQ(failed->naview->titleLabel->text(), "组工要闻");
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetArticleRecord") == 2 && !ProgressHUD::isVisible(); }));
    driver->advance(1.0);
    EXPECT_EQ(failed->titleLabel->text(), "");
    EXPECT_TRUE(failed->mwebview->loads().empty());
}

TEST_F(RegionalTest, BareScreensShowOnlyTheBaseView) {
    auto a = ui::create<QZLXViewController>();
    auto b = ui::create<ZXPXViewController>();
    showRoot(a);
    EXPECT_FALSE(a->mtableview);
    showRoot(b);
    EXPECT_EQ(svc.requests().size(), 0u);
}

}  // namespace
