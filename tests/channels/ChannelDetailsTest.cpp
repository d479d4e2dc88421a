// The current-affairs channel details: the article drawn under a bar with a
// back button, the body sized in a scroll view to the bottom of the screen,
// and what each channel does with a touched picture or link.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "channels/ChannelDetailScreen.h"
#include "foundation/Log.h"

using namespace moduletest;

namespace {

class ChannelDetailsTest : public ModuleTest {
protected:
    template <typename D>
    std::shared_ptr<D> open(const std::string& reply = articleReply()) {
        auto detail = pushAnswered<D>("GetArticleRecord", reply, [](D& d) { d.article_id = "31"; });
        EXPECT_TRUE(driver->waitUntil([&] { return detail->HtmlView->alpha() == 1; }));
        return detail;
    }
};

TEST_F(ChannelDetailsTest, DrawsTheArticleWithItsTimeLineDownToTheScreensBottom) {
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "1000");
    ui::WebView::setScriptResultForAllViews("document.body.scrollWidth ", "640");
    ns::LogCapture log;
    auto detail = open<VLDTDetailViewController>(articleReply("一个很长的标题，长到一行放不下，要折成两行甚至三行才能放得下"));
    EXPECT_EQ(svc.received("GetArticleRecord")["parameters"]["id"].str(), "31");
    EXPECT_EQ(detail->title(), "Velmarsh动态");
    EXPECT_EQ(detail->naview->titleLabel->text(), "Velmarsh动态");
    EXPECT_FALSE(detail->naview->leftButton->isHidden());
    EXPECT_EQ(detail->msrview->frame(), (ui::Rect{0, 64, 320, 568 - 64}));

    EXPECT_EQ(detail->timeLabel->text(), "时间: 2014-03-05 10:20");
    ui::Rect title = detail->titleLabel->frame();
    EXPECT_GT(title.size.height, 20);
    EXPECT_EQ(detail->timeLabel->frame().origin.y, title.size.height + 10);
    ui::Rect rule = detail->line->frame();
    EXPECT_EQ(rule.origin.y, title.size.height + 35);
    ui::Rect body = detail->HtmlView->frame();
    EXPECT_EQ(body.origin.y, rule.origin.y + rule.size.height);
    EXPECT_DOUBLE_EQ(body.size.height, 500);
    EXPECT_DOUBLE_EQ(detail->msrview->contentSize().height, body.origin.y + 500);
    EXPECT_TRUE(log.contains("没有error"));
    EXPECT_FALSE(ProgressHUD::isVisible());

    // The bar's back arrow returns to the list.
    driver->tap(detail->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(nav->topViewController(), root);
}

TEST_F(ChannelDetailsTest, PicturesAndLinksByChannel) {
    ns::LogCapture log;
    const std::string pic = svc.baseURL() + "/a.png";
    const std::string link = svc.baseURL() + "/b.png";

    // Regional news: a picture covers the page under the bar; a link is only logged.
    auto news = open<VLDTDetailViewController>();
    news->htmlViewDidTapLink(news->HtmlView, link);
    EXPECT_FALSE(news->BigImagev);
    EXPECT_TRUE(log.contains("linkUrl==" + link));
    news->htmlViewDidTapImage(news->HtmlView, pic);
    ASSERT_TRUE(news->BigImagev);
    EXPECT_EQ(news->BigImagev->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    EXPECT_TRUE(log.contains("imageurl=" + pic));
    // A second picture replaces the first: one tap uncovers the page.
    auto firstPicture = news->BigImagev;
    news->htmlViewDidTapImage(news->HtmlView, pic);
    EXPECT_FALSE(firstPicture->superview());
    driver->tap(news->BigImagev);
    EXPECT_FALSE(news->BigImagev);
    nav->popViewControllerAnimated(false);

    // Leaders' speeches: neither shows anything.
    auto speeches = open<LDYLDetailViewController>();
    EXPECT_EQ(speeches->naview->titleLabel->text(), "领导言论");
    speeches->htmlViewDidTapImage(speeches->HtmlView, pic);
    speeches->htmlViewDidTapLink(speeches->HtmlView, link);
    EXPECT_FALSE(speeches->BigImagev);
    nav->popViewControllerAnimated(false);

    // Cadre appointments: a link's address opens as a picture too.
    auto cadre = open<GBRMDetailViewController>();
    EXPECT_EQ(cadre->naview->titleLabel->text(), "干部任免");
    cadre->htmlViewDidTapLink(cadre->HtmlView, link);
    ASSERT_TRUE(cadre->BigImagev);
    EXPECT_TRUE(driver->isOnScreen(*cadre->BigImagev));
    driver->tap(cadre->BigImagev);
    EXPECT_FALSE(cadre->BigImagev);
    cadre->htmlViewDidTapImage(cadre->HtmlView, pic);
    EXPECT_TRUE(cadre->BigImagev);
    EXPECT_TRUE(log.contains("网址imageurl=" + pic));
}

TEST_F(ChannelDetailsTest, EmptyOrFailedRepliesLeaveThePageEmpty) {
    // A record of nulls: empty title and time, an empty body still fades in.
    auto nulls = open<VLDTDetailViewController>(R"({"records":{"title":null,"add_time":null,"content":null}})");
    EXPECT_EQ(nulls->titleLabel->text(), "");
    EXPECT_EQ(nulls->timeLabel->text(), "时间: ");
    nav->popViewControllerAnimated(false);

    // No record at all: nothing is filled in.
    svc.reply("GetArticleRecord", R"({"state":"failed","records":[]})");
    auto none = ui::create<LDYLDetailViewController>();
    nav->pushViewController(none, false);
    EXPECT_TRUE(ProgressHUD::isVisible());
    ASSERT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));
    EXPECT_EQ(none->titleLabel->text(), "");
    EXPECT_EQ(none->timeLabel->text(), "");
    EXPECT_EQ(none->HtmlView->alpha(), 0);
    nav->popViewControllerAnimated(false);

    svc.reply("GetArticleRecord", LoopbackService::status(500));
    auto failed = ui::create<GBRMDetailViewController>();
    nav->pushViewController(failed, false);
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    // The failure closes the overlay and leaves the page empty.
    ASSERT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));
    EXPECT_EQ(failed->titleLabel->text(), "");
    EXPECT_EQ(failed->HtmlView->alpha(), 0);
}

}  // namespace
