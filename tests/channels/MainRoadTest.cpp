// The main road through the current-affairs module, as a member walks it:
// the home tile, the list's first page, a pull-up for the second, a row, the
// article drawn, the login asked for by the comment bar, a comment posted and
// seen in the comment list, back to the list, the menu, and home.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/RevealController.h"
#include "app/ShellTestSupport.h"
#include "channels/CommentCell.h"
#include "channels/CommentViewController.h"
#include "channels/Module.h"
#include "channels/SSXWDetailViewController.h"
#include "channels/SSZTFrontViewController.h"
#include "uikit/NavigationController.h"

using namespace moduletest;

namespace {

class MainRoadTest : public shelltest::ShellTest {
protected:
    // The comments the service holds: whatever was posted, newest first.
    void serveComments() {
        svc.handle("SubmitComment", [this](const LoopbackService::Received& r) {
            ns::Value p = r.argument["parameters"];
            std::lock_guard lock(mutex);
            posted.insert(posted.begin(), ns::Value::dictionary({{"user_name", p["user_name"]},
                                                                 {"add_time", "2014-05-14 09:30"},
                                                                 {"support_count", 0},
                                                                 {"content", p["content"]}}));
            return svc.result("SubmitComment", R"({"state":"successful","message":"评论成功"})");
        });
        svc.handle("GetCommentList", [this](const LoopbackService::Received&) {
            std::lock_guard lock(mutex);
            ns::Value rows = ns::Value::array();
            for (auto& c : posted) rows.push(c);
            return svc.result("GetCommentList", moduletest::listReply(rows));
        });
    }

    std::mutex mutex;
    std::vector<ns::Value> posted;
};

TEST_F(MainRoadTest, FromTheHomeTileToAPostedCommentAndBackHome) {
    svc.handle("GetArticleList", [this](const LoopbackService::Received& r) {
        return svc.result("GetArticleList", moduletest::listReply(moduletest::articlePage(moduletest::requestedPage(r))));
    });
    svc.handle("GetArticleRecord", [this](const LoopbackService::Received& r) {
        std::string id = r.argument["parameters"]["id"].str();
        return svc.result("GetArticleRecord", moduletest::articleReply("标题" + id, "<p>正文" + id + "</p>"));
    });
    svc.reply("MemberLogin", shelltest::kMemberReply);
    serveComments();
    launchHome();
    registerChannelsModule(moduleRegistry());

    // The tile opens the module with the news list's first page.
    tapTile(1001);
    driver->advance(1.0);
    auto reveal = std::dynamic_pointer_cast<RevealController>(top());
    ASSERT_TRUE(reveal);
    auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    ASSERT_TRUE(frontNav);
    auto list = std::dynamic_pointer_cast<SSZTFrontViewController>(frontNav->topViewController());
    ASSERT_TRUE(list);
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 10; }));

    // Pull-up: the second page.
    moduletest::pullUp(list->mtableview);
    driver->advance(2.0);
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 20; }));
    EXPECT_EQ(list->pageNo(), 2);

    // A row of the second page opens its article, which is drawn.
    // The member scrolls on to the new rows.
    driver->drag(list->mtableview, ui::Point{0, -400});
    ASSERT_TRUE(driver->tapText("标题2-3"));
    driver->advance(1.0);
    auto detail = std::dynamic_pointer_cast<SSXWDetailViewController>(frontNav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->article_id, "2-3");
    ASSERT_TRUE(driver->waitUntil([&] { return detail->HtmlView->alpha() == 1; }));
    EXPECT_EQ(detail->titleLabel->text(), "标题2-3");
    EXPECT_TRUE(driver->findViewWithText("王五 2014-03-05 10:20"));

    // The comment bar asks for a login first.
    driver->tap(detail->commentFiled);
    ASSERT_FALSE(detail->pubView->isHidden());
    ASSERT_TRUE(driver->typeText("说得好 \"一针见血\" <赞> & 支持"));
    driver->tap(detail->pubView->PublishedButton);
    auto login = detail->loginview;
    ASSERT_FALSE(login->view()->isHidden());
    ASSERT_TRUE(driver->typeText(login->userField, "lisi"));
    ASSERT_TRUE(driver->typeText(login->passwordField, "secret\n"));
    ASSERT_TRUE(driver->waitUntil([&] { return !login->isLoggingIn(); }));
    EXPECT_TRUE(login->view()->isHidden());

    // Published again, the comment goes in.
    driver->tap(detail->commentFiled);
    EXPECT_EQ(detail->pubView->contentField->text(), "说得好 \"一针见血\" <赞> & 支持");
    driver->tap(detail->pubView->PublishedButton);
    ASSERT_TRUE(driver->waitUntil([&] { return driver->topPopup() != nullptr; }));
    EXPECT_EQ(driver->lastAlert()->message(), "评论成功");
    ASSERT_TRUE(driver->pressAlertButton("确定"));

    // The comment list shows it under the article's header.
    ASSERT_TRUE(driver->tapText("查看评论"));
    driver->advance(1.0);
    auto comments = std::dynamic_pointer_cast<CommentViewController>(frontNav->topViewController());
    ASSERT_TRUE(comments);
    ASSERT_TRUE(driver->waitUntil([&] { return comments->list->count() == 1; }));
    EXPECT_EQ(comments->commentview->titleLabel->text(), "标题2-3");
    EXPECT_EQ(comments->commentview->countLabel->text(), "最新评论(1条)");
    EXPECT_TRUE(driver->findViewWithText("说得好 \"一针见血\" <赞> & 支持"));
    EXPECT_TRUE(driver->findViewWithText("李四"));

    // Back twice to the list, then the menu leads home.
    driver->tap(comments->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(frontNav->topViewController(), detail);
    driver->tap(detail->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(frontNav->topViewController(), list);
    EXPECT_EQ(list->mdataArray().count(), 20u);

    driver->tap(list->menuButton);
    driver->advance(1.0);
    ASSERT_TRUE(driver->tapText("回到首页"));
    driver->advance(1.0);
    EXPECT_EQ(top(), home());
}

}  // namespace
