// The audio and video lessons: the category menu, the lesson list, the item
// with its attachments, and the item's comment bar.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/OCJUIWebViewController.h"
#include "app/framework/RevealController.h"
#include "channels/AudioDetailViewController.h"
#include "channels/AudioFrontViewController.h"
#include "channels/CommentViewController.h"
#include "channels/SSXWCell.h"
#include "channels/VLDJRearViewController.h"
#include "uikit/Keyboard.h"
#include "uikit/SystemStandIns.h"

using namespace moduletest;

namespace {

class HomeStub : public ui::ViewController {};

std::string itemReply(const std::string& attachs, const std::string& content = R"("<p>课</p>")") {
    return R"({"records":{"title":"一堂课","user_name":"讲师","add_time":"2014-07-01","channel_id":"9","content":)" +
           content + R"(,"attachs":)" + attachs + "}}";
}

class AudioTest : public ModuleTest {
protected:
    std::shared_ptr<AudioDetailViewController> openItem(const std::string& reply) {
        return pushAnswered<AudioDetailViewController>("GetArticleRecord", reply, [](auto& d) {
            d.article_id = "31";
            d.navTitle = "微电影";
        });
    }
    bool waitForRequests() {
        return driver->waitUntil([&] { return svc.count("GetArticleRecord") >= 1; });
    }
    bool waitForBody(const std::shared_ptr<AudioDetailViewController>& d, double height) {
        return driver->waitUntil([&] { return d->mwebview->frame().size.height == height; });
    }
};

TEST_F(AudioTest, MenuBuildsANewListForEveryCategoryAndGoesHome) {
    svc.reply("GetArticleList", R"({"records":[{"id":"3","title":"课一","img_url":null,"zhaiyao":null}]})");
    nav->pushViewController(ui::create<HomeStub>(), false);
    auto rear = ui::create<AudioRearViewController>();
    auto first = ui::create<AudioFrontViewController>();
    first->category_code = "zhutijiaoyu";
    first->Navtitle = "主题教育";
    auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(first), rear);
    nav->pushViewController(reveal, false);
    ui::Application::sharedApplication().layoutIfNeeded();
    auto table = rear->rearTableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 7);
    EXPECT_EQ(rear->menu->highlightedRow(), -1);
    EXPECT_EQ(records::text(rear->mdataArray().at(3), "catoryCode"), "weidianying");
    // The first list's own page has reached the service before the menu replaces it,
    // so the last request the service saw is the new list's.
    ASSERT_TRUE(driver->waitUntil([&] { return first->list && !first->list->isLoadingPage(); }));

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 3}));
    auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    auto list = std::dynamic_pointer_cast<AudioFrontViewController>(frontNav->viewControllers().front());
    ASSERT_TRUE(list);
    ASSERT_TRUE(driver->waitUntil([&] { return !list->list->isLoadingPage(); }));
    EXPECT_EQ(list->naview->titleLabel->text(), "微电影");
    auto asked = svc.received("GetArticleList");
    EXPECT_EQ(asked["parameters"]["category_code"].str(), "weidianying");
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["page_size"].integerValue(), 10);
    EXPECT_EQ(rear->menu->highlightedRow(), 3);
    auto cell = std::dynamic_pointer_cast<SSXWCell>(list->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->headimagev->image(), ui::Image::imageNamed("icon_empty.png"));
    EXPECT_EQ(cell->subLabel->text(), "");

    // The shown category again: a new list from page "1".
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 3}));
    auto again = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    EXPECT_NE(again, frontNav);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetArticleList") == 3; }));
    EXPECT_EQ(svc.received("GetArticleList")["page_index"].integerValue(), 1);

    // A row opens the item with the list's title.
    auto shown = std::dynamic_pointer_cast<AudioFrontViewController>(again->viewControllers().front());
    ASSERT_TRUE(driver->waitUntil([&] { return !shown->list->isLoadingPage(); }));
    svc.reply("GetArticleRecord", LoopbackService::held());
    ASSERT_TRUE(shown->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto item = std::dynamic_pointer_cast<AudioDetailViewController>(again->topViewController());
    ASSERT_TRUE(item);
    EXPECT_EQ(item->article_id, "3");
    EXPECT_EQ(item->navTitle, "微电影");
    svc.release();

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 6}));
    EXPECT_EQ(rear->menu->highlightedRow(), 6);
    EXPECT_TRUE(ui::isKind<HomeStub>(nav->topViewController()));
    settleService();
}

TEST_F(AudioTest, OutsideAContainerCategoryRowsOnlyMoveTheHighlight) {
    auto rear = ui::create<AudioRearViewController>();
    nav->pushViewController(rear, false);
    ASSERT_TRUE(rear->rearTableView()->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    EXPECT_EQ(rear->menu->highlightedRow(), 1);
    EXPECT_EQ(nav->topViewController(), rear);
    EXPECT_EQ(svc.requests().size(), 0u);
}

TEST_F(AudioTest, HomeRowOutsideAContainerStillGoesHome) {
    const std::vector<std::function<std::shared_ptr<ui::ViewController>()>> menus = {
        [] { return ui::create<AudioRearViewController>(); },
        [] { return ui::create<VLDJRearViewController>(); },
    };
    for (const auto& make : menus) {
        showPushed(make());
        ASSERT_TRUE(driver->tapText("回到首页"));
        driver->advance(ui::ViewController::kTransitionDuration);
        EXPECT_EQ(nav->viewControllers().size(), 1u);
    }
}

TEST_F(AudioTest, AttachmentsFollowTheBodyAndEndThePage) {
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "400");
    auto detail = openItem(itemReply(R"([{"file_name":"图","file_ext":"jpg","file_path":"http://f.test/a.jpg"},)"
                                     R"({"file_name":"音","file_ext":"mp3","file_path":"http://f.test/a.mp3"},)"
                                     R"({"file_name":"页","file_ext":"PNG","file_path":"http://f.test/a.PNG"}])"));
    EXPECT_EQ(detail->naview->titleLabel->text(), "微电影");
    EXPECT_EQ(detail->msrview->frame(), (ui::Rect{0, 64, 320, 568 - 128}));
    ASSERT_TRUE(waitForBody(detail, 400));
    EXPECT_EQ(svc.received("GetArticleRecord")["parameters"]["id"].str(), "31");
    EXPECT_EQ(detail->timeLabel->text(), "讲师 2014-07-01");
    EXPECT_EQ(detail->channel_id, "9");

    ui::Rect body = detail->mwebview->frame();
    ui::Rect list = detail->mtableview->frame();
    EXPECT_FALSE(detail->mtableview->isHidden());
    ASSERT_EQ(detail->mtableview->numberOfRowsInSection(0), 3);
    EXPECT_EQ(list.origin.y, body.origin.y + body.size.height);
    EXPECT_EQ(list.size.height, 120);
    EXPECT_EQ(detail->msrview->contentSize(), (ui::Size{320, list.origin.y + 120 + 10}));
    EXPECT_EQ(detail->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 1})->textLabel()->text(), "音");

    // By extension, exactly as written.
    ASSERT_TRUE(detail->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto picture = std::dynamic_pointer_cast<ShowPictureViewController>(nav->topViewController());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->picPath, "http://f.test/a.jpg");
    EXPECT_EQ(picture->naview->titleLabel->text(), "附件详情");
    driver->tap(picture->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(nav->topViewController(), detail);

    ASSERT_TRUE(detail->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    driver->advance(1.0);
    auto movie = std::dynamic_pointer_cast<ui::MoviePlayerViewController>(nav->presentedViewController());
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->moviePlayer()->contentURL(), "http://f.test/a.mp3");
    EXPECT_EQ(movie->moviePlayer()->scalingMode(), ui::MovieScalingModeFill);
    EXPECT_EQ(movie->moviePlayer()->controlStyle(), ui::MovieControlStyleFullscreen);
    EXPECT_TRUE(movie->moviePlayer()->isPlaying());
    movie->pressDone();
    driver->advance(1.0);

    ASSERT_TRUE(detail->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    auto web = std::dynamic_pointer_cast<OCJUIWebViewController>(nav->topViewController());
    ASSERT_TRUE(web);
    EXPECT_EQ(web->titleStr, "附件详情");
    EXPECT_EQ(web->urlStr, "http://f.test/a.PNG");
}

TEST_F(AudioTest, AnItemWithoutAttachmentsOrBodyEndsBelowTheBody) {
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "0");
    auto detail = openItem(itemReply(R"("none")", "null"));
    ASSERT_TRUE(driver->waitUntil([&] { return !detail->mwebview->loads().empty(); }));
    EXPECT_EQ(detail->mwebview->loads()[0].html, "");
    ASSERT_TRUE(driver->waitUntil([&] { return detail->msrview->contentSize().height > 0; }));
    EXPECT_TRUE(detail->mtableview->isHidden());
    ui::Rect body = detail->mwebview->frame();
    EXPECT_EQ(detail->mtableview->frame().origin.y, body.origin.y + body.size.height);
    EXPECT_EQ(detail->msrview->contentSize().height, body.origin.y + body.size.height + 30);
}

TEST_F(AudioTest, CommentsPostAfterLoginAndAreReportedByTheirReply) {
    auto detail = openItem(itemReply("[]"));
    ASSERT_TRUE(driver->waitUntil([&] { return detail->channel_id == "9"; }));

    // Nobody logged in: the overlay asks first.
    driver->tap(detail->commentFiled);
    ASSERT_FALSE(detail->pubView->isHidden());
    ASSERT_TRUE(driver->typeText("好课"));
    driver->tap(detail->pubView->PublishedButton);
    EXPECT_FALSE(detail->loginview->view()->isHidden());
    EXPECT_EQ(svc.count("SubmitComment"), 0u);

    storeMember();
    detail->rolesName("", true);
    EXPECT_TRUE(detail->loginview->view()->isHidden());
    svc.replyOnce("SubmitComment", LoopbackService::held(svc.result("SubmitComment", R"({"state":"failed","message":"请稍后再试"})")));
    driver->tap(detail->pubView->PublishedButton);
    EXPECT_EQ(ProgressHUD::currentStatus(), "评论中...");
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return driver->topPopup() != nullptr; }));
    EXPECT_EQ(lastAlertMessage(), "请稍后再试");
    EXPECT_EQ(detail->pubView->contentField->text(), "好课");
    driver->pressAlertButton("确定");
    EXPECT_TRUE(detail->type.empty());

    svc.replyOnce("SubmitComment", svc.result("SubmitComment", R"({"state":"successful"})"));
    driver->tap(detail->commentFiled);
    EXPECT_EQ(detail->pubView->contentField->text(), "好课");
    driver->tap(detail->pubView->PublishedButton);
    ASSERT_TRUE(driver->waitUntil([&] { return driver->topPopup() != nullptr; }));
    EXPECT_EQ(lastAlertMessage(), "评论成功");
    EXPECT_EQ(driver->lastAlert()->title(), "温馨提示");
    ns::Value sent = svc.received("SubmitComment")["parameters"];
    EXPECT_EQ(sent["content"].str(), "好课");
    EXPECT_EQ(sent["user_name"].str(), "李四");
    EXPECT_EQ(sent["article_id"].str(), "31");
    EXPECT_EQ(sent["user_id"].str(), "501");
    EXPECT_EQ(sent["channel_id"].str(), "9");
    EXPECT_EQ(detail->commentFiled->text(), "");
    driver->pressAlertButton("确定");

    driver->tap(driver->findViewWithText("查看评论"));
    svc.reply("GetCommentList", R"({"records":[]})");
    auto comments = std::dynamic_pointer_cast<CommentViewController>(nav->topViewController());
    ASSERT_TRUE(comments);
    EXPECT_EQ(comments->article_id, "31");
    EXPECT_EQ(comments->titleStr, "一堂课");
    EXPECT_EQ(comments->channel_id, "9");
    settleService();
}

TEST_F(AudioTest, TheItemArrivingAfterACommentWasSentIsStillDrawn) {
    storeMember();
    svc.reply("GetArticleRecord", LoopbackService::held(svc.result("GetArticleRecord", itemReply("[]"))));
    auto detail = ui::create<AudioDetailViewController>();
    detail->article_id = "31";
    nav->pushViewController(detail, false);
    ASSERT_TRUE(waitForRequests());
    svc.reply("SubmitComment", R"({"state":"successful"})");
    driver->tap(detail->commentFiled);
    ASSERT_TRUE(driver->typeText("先发"));
    driver->tap(detail->pubView->PublishedButton);
    ASSERT_TRUE(driver->waitUntil([&] { return driver->topPopup() != nullptr; }));
    EXPECT_EQ(lastAlertMessage(), "评论成功");
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return detail->titleLabel->text() == "一堂课"; }));
    EXPECT_EQ(alertsWithMessage("评论成功"), 1);
}

TEST_F(AudioTest, AScreenThatHasGoneHearsNothing) {
    svc.reply("GetArticleRecord", LoopbackService::held(svc.result("GetArticleRecord", itemReply("[]"))));
    std::weak_ptr<AudioDetailViewController> weak;
    {
        auto detail = ui::create<AudioDetailViewController>();
        weak = detail;
        nav->pushViewController(detail, false);
        ASSERT_TRUE(waitForRequests());
        nav->popViewControllerAnimated(false);
    }
    driver->advance(1.0);
    EXPECT_TRUE(weak.expired());
    svc.release();
    settleService();
    ns::NotificationCenter::defaultCenter().post(ui::UIKeyboardDidShowNotification);
}

}  // namespace
