// The party school's article page: its request, the heading block, the body
// in a web view stretched to the page and measured again after a link.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "channels/CWDSDetailViewController.h"
#include "channels/ChannelDetailScreen.h"

using namespace moduletest;

namespace {

class WebArticleTest : public ModuleTest {
protected:
    std::shared_ptr<CWDSDetailViewController> open(const std::string& reply) {
        return pushAnswered<CWDSDetailViewController>("GetArticleRecord", reply, [](auto& d) {
            d.article_id = "55";
            d.titleStr = "重温党史";
        });
    }
    bool waitForRequests(std::size_t n) {
        return driver->waitUntil([&] { return svc.count("GetArticleRecord") >= n; });
    }
};

TEST_F(WebArticleTest, TheBodyIsStretchedToItsPageAndScrollsWithTheArticle) {
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "900");
    auto detail = open(articleReply("标题", "<p>正文</p>"));
    EXPECT_EQ(detail->naview->titleLabel->text(), "重温党史");
    EXPECT_FALSE(detail->naview->leftButton->isHidden());
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    EXPECT_FALSE(detail->mwebview->scrollView()->isScrollEnabled());
    ASSERT_TRUE(driver->waitUntil([&] { return detail->mwebview->frame().size.height == 900; }));
    EXPECT_EQ(svc.received("GetArticleRecord")["parameters"]["id"].str(), "55");

    EXPECT_EQ(detail->timeLabel->text(), "时间: 2014-03-05 10:20");
    ui::Rect rule = detail->line->frame();
    EXPECT_EQ(rule.origin.y, detail->titleLabel->frame().size.height + 35);
    ui::Rect body = detail->mwebview->frame();
    EXPECT_EQ(body, (ui::Rect{5, rule.origin.y + rule.size.height, 310, 900}));
    EXPECT_EQ(detail->msrview->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    EXPECT_DOUBLE_EQ(detail->msrview->contentSize().height, body.origin.y + 900);
    EXPECT_EQ(detail->mwebview->loads().back().html, "<p>正文</p>");
    EXPECT_FALSE(ProgressHUD::isVisible());

    // A link followed in the body: the new page is measured again.
    LoopbackService::Reply page;
    page.body = "<html><body><p>另一页</p></body></html>";
    page.contentType = "text/html; charset=utf-8";
    svc.serve("/next.html", page);
    detail->mwebview->setScriptResult("document.body.scrollHeight", "2000");
    detail->mwebview->followLink(svc.baseURL() + "/next.html");
    ASSERT_TRUE(driver->waitUntil([&] { return detail->mwebview->frame().size.height == 2000; }));
    EXPECT_DOUBLE_EQ(detail->msrview->contentSize().height, body.origin.y + 2000);

    driver->tap(detail->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(nav->topViewController(), root);
}

TEST_F(WebArticleTest, NullsAndFailuresLeaveThePageEmpty) {
    auto nulls = open(R"({"records":{"title":null,"add_time":7,"content":null}})");
    ASSERT_TRUE(driver->waitUntil([&] { return !nulls->mwebview->loads().empty(); }));
    EXPECT_EQ(nulls->titleLabel->text(), "");
    EXPECT_EQ(nulls->timeLabel->text(), "时间: 7");
    EXPECT_EQ(nulls->mwebview->loads().back().html, "");
    nav->popViewControllerAnimated(false);

    svc.reply("GetArticleRecord", LoopbackService::status(500));
    auto second = ui::create<CWDSDetailViewController>();
    nav->pushViewController(second, false);
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    // The failure closes the overlay and leaves the page empty.
    ASSERT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));
    EXPECT_EQ(second->titleLabel->text(), "");
    EXPECT_TRUE(second->mwebview->loads().empty());
}

}  // namespace

namespace {

TEST_F(WebArticleTest, LeavingBeforeTheArticleCameClosesTheOverlay) {
    for (bool party : {true, false}) {
        svc.reply("GetArticleRecord", LoopbackService::held(svc.result("GetArticleRecord", articleReply())));
        std::shared_ptr<ui::ViewController> detail;
        if (party) {
            detail = ui::create<CWDSDetailViewController>();
        } else {
            detail = ui::create<GBRMDetailViewController>();
        }
        nav->pushViewController(detail, false);
        EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
        ASSERT_TRUE(waitForRequests(party ? 1 : 2));
        std::weak_ptr<ui::ViewController> gone = detail;
        detail.reset();
        nav->popViewControllerAnimated(false);
        driver->runPending();
        EXPECT_TRUE(gone.expired());
        EXPECT_FALSE(ProgressHUD::isVisible());
        // The reply that comes after reaches nothing.
        svc.release();
        settleService();
        EXPECT_FALSE(ProgressHUD::isVisible());
    }
}

}  // namespace
