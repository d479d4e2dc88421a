// The comment list: pages and the header count, row heights, posting from
// the inline bar behind the session's login, and refused posts.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include <algorithm>

#include "channels/CommentCell.h"
#include "channels/CommentViewController.h"
#include "uikit/Keyboard.h"

using namespace moduletest;

namespace {

class CommentListTest : public ModuleTest {
protected:
    // Answers each page request with the page's comments: `total` in all.
    void serveComments(int total) {
        svc.handle("GetCommentList", [this, total](const LoopbackService::Received& r) {
            int page = static_cast<int>(r.argument["page_index"].integerValue());
            int size = static_cast<int>(r.argument["page_size"].integerValue());
            int first = (page - 1) * size + 1;
            int count = std::clamp(total - first + 1, 0, size);
            return svc.result("GetCommentList", commentPage(first, count));
        });
    }
    std::shared_ptr<CommentViewController> open() {
        auto screen = ui::create<CommentViewController>();
        screen->article_id = "88";
        screen->titleStr = "标题";
        screen->user_name = "王五";
        screen->timeStr = "2014-03-05";
        screen->channel_id = "12";
        nav->pushViewController(screen, false);
        return screen;
    }
    // Logged in, the list of `comments` comments open with its first page in
    // (nullptr when the page never came).
    std::shared_ptr<CommentViewController> openLoggedIn(int comments) {
        storeMember();
        ns::UserDefaults::standardUserDefaults()->setBool(true, "LoginState");
        serveComments(comments);
        auto screen = open();
        return settle(screen) ? screen : nullptr;
    }
    // Pulls the table up past the end of its rows and waits out the delay.
    void pullUp(const std::shared_ptr<CommentViewController>& screen) {
        releasePullUp(screen);
        driver->advance(2.0);
    }
    void releasePullUp(const std::shared_ptr<CommentViewController>& screen) {
        auto table = screen->mtableview;
        double height = table->frame().size.height;
        double end = std::max(table->contentSize().height, height);
        double offset = end - height + 100;
        driver->drag(table, ui::Point{0, -(offset - table->contentOffset().y)});
    }
    // The bar's "评论" button (the top bar's title reads "评论" too).
    void tapCommentButton(const std::shared_ptr<CommentViewController>& screen) {
        auto button = driver->findView<ui::Button>([&](ui::Button& b) {
            return b.currentTitle() == "评论" && b.isDescendantOfView(screen->NewcommentView.get());
        });
        ASSERT_TRUE(button);
        driver->tap(button);
    }
    std::vector<long long> requestedPages() const {
        std::vector<long long> pages;
        for (auto& r : svc.requests("GetCommentList")) pages.push_back(r.argument["page_index"].integerValue());
        return pages;
    }
    std::string count(const std::shared_ptr<CommentViewController>& screen) const {
        return screen->commentview->countLabel->text();
    }
};

TEST_F(CommentListTest, PagesCountTheCommentsLoadedSoFar) {
    serveComments(23);
    auto screen = open();
    EXPECT_EQ(screen->commentview->titleLabel->text(), "标题");
    EXPECT_EQ(screen->commentview->timeLabel->text(), "王五 2014-03-05");
    EXPECT_EQ(count(screen), "");
    ASSERT_TRUE(settle(screen));
    EXPECT_EQ(count(screen), "最新评论(10条)");
    auto sent = svc.received("GetCommentList");
    EXPECT_EQ(sent["parameters"]["article_id"].str(), "88");
    EXPECT_EQ(sent["page_size"].integerValue(), 10);

    pullUp(screen);
    ASSERT_TRUE(settle(screen));
    EXPECT_EQ(count(screen), "最新评论(20条)");
    pullUp(screen);
    ASSERT_TRUE(settle(screen));
    EXPECT_EQ(count(screen), "最新评论(23条)");
    EXPECT_EQ(requestedPages(), (std::vector<long long>{1, 2, 3}));
    EXPECT_EQ(screen->list->recordAt(22)["content"].str(), "评论23");
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(CommentListTest, RowsGrowWithTheirCommentAndReadOddValuesSafely) {
    std::string longText(40, 'x');
    for (int i = 0; i < 6; ++i) longText += "很长的评论内容要折行";
    svc.reply("GetCommentList", ns::Value::dictionary({{"records", ns::Value::array({
        ns::Value::dictionary({{"user_name", "甲"}, {"add_time", "t"}, {"support_count", 3}, {"content", "短"}}),
        ns::Value::dictionary({{"user_name", "乙"}, {"add_time", "t"}, {"support_count", "5"}, {"content", longText}}),
        ns::Value::dictionary({{"user_name", ns::Value::null()}, {"add_time", ns::Value::array()},
                               {"support_count", ns::Value::null()}, {"content", ns::Value::null()}}),
        ns::Value("not a record"),
    })}}));
    auto screen = open();
    ASSERT_TRUE(settle(screen));
    auto table = screen->mtableview;
    ASSERT_EQ(table->numberOfRowsInSection(0), 3);

    double oneLine = CommentCell::contentHeight("短", 320);
    double wrapped = CommentCell::contentHeight(longText, 320);
    EXPECT_GT(wrapped, 2 * oneLine);
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath({0, 0}).size.height, oneLine + 40);
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath({0, 1}).size.height, wrapped + 40);
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath({0, 2}).size.height, 40);

    auto first = std::dynamic_pointer_cast<CommentCell>(table->cellForRowAtIndexPath({0, 0}));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->countLabel->text(), "3");
    auto second = std::dynamic_pointer_cast<CommentCell>(table->cellForRowAtIndexPath({0, 1}));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->contentLabel->frame().size.height, wrapped);
    EXPECT_EQ(second->line->frame().origin.y, 40 + wrapped);
    auto odd = std::dynamic_pointer_cast<CommentCell>(table->cellForRowAtIndexPath({0, 2}));
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->user_nameLabel->text(), "");
    EXPECT_EQ(odd->timeLabel->frame().origin.x, 15);
}

TEST_F(CommentListTest, APostAsksForTheSessionsLoginThenRestartsAtPageOne) {
    storeMember();  // logged in from an earlier launch: this session has not said so yet
    serveComments(25);
    svc.reply("MemberLogin", kMemberReply);
    svc.reply("SubmitComment", R"({"state":"successful","message":"ok"})");
    auto screen = open();
    ASSERT_TRUE(settle(screen));
    pullUp(screen);
    ASSERT_TRUE(settle(screen));
    pullUp(screen);
    ASSERT_TRUE(settle(screen));
    ASSERT_EQ(screen->list->count(), 25u);

    // The bar rises with the keyboard; return takes it back and keeps the text.
    driver->tap(screen->commentFiled);
    EXPECT_EQ(screen->NewcommentView->frame().origin.y, 568 - 216 - 50);
    ASSERT_TRUE(driver->typeText("好文章\n"));
    EXPECT_EQ(screen->NewcommentView->frame().origin.y, 568 - 44);
    EXPECT_EQ(screen->commentFiled->text(), "好文章");

    tapCommentButton(screen);
    EXPECT_FALSE(screen->loginview->view()->isHidden());
    EXPECT_EQ(screen->loginview->isFrom(), "评论");
    EXPECT_EQ(svc.count("SubmitComment"), 0u);

    auto login = screen->loginview;
    ASSERT_TRUE(driver->typeText(login->userField, "lisi"));
    ASSERT_TRUE(driver->typeText(login->passwordField, "secret\n"));  // return logs in
    EXPECT_EQ(screen->NewcommentView->frame().origin.y, 568 - 44);  // the overlay's keyboard leaves the bar
    ASSERT_TRUE(driver->waitUntil([&] { return !login->isLoggingIn(); }));
    EXPECT_TRUE(login->view()->isHidden());
    EXPECT_TRUE(ns::UserDefaults::standardUserDefaults()->boolForKey("LoginState"));

    svc.replyOnce("SubmitComment", LoopbackService::held(svc.result("SubmitComment", R"({"state":"successful"})")));
    tapCommentButton(screen);
    EXPECT_EQ(ProgressHUD::currentStatus(), "评论中...");
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return driver->topPopup() != nullptr; }));
    EXPECT_EQ(lastAlertMessage(), "评论成功");
    ns::Value sent = svc.received("SubmitComment")["parameters"];
    EXPECT_EQ(sent["content"].str(), "好文章");
    EXPECT_EQ(sent["user_name"].str(), "李四");
    EXPECT_EQ(sent["user_id"].str(), "501");
    EXPECT_EQ(sent["channel_id"].str(), "12");
    EXPECT_EQ(screen->commentFiled->text(), "");
    driver->pressAlertButton("确定");

    // The list starts again at page 1 and counts that page only.
    ASSERT_TRUE(settle(screen));
    EXPECT_EQ(screen->list->count(), 10u);
    EXPECT_EQ(count(screen), "最新评论(10条)");
    EXPECT_EQ(screen->mtableview->numberOfRowsInSection(0), 10);
    pullUp(screen);
    ASSERT_TRUE(settle(screen));
    EXPECT_EQ(requestedPages(), (std::vector<long long>{1, 2, 3, 1, 2}));
}

// "评论" pressed while the keyboard is up for the bar: the login overlay comes
// over the raised bar, and the login takes the keyboard down. The bar comes
// down with it instead of staying mid-screen over the comments, and while it
// is up no row shows in the gap between it and the keyboard.
TEST_F(CommentListTest, TheBarComesDownWithTheKeyboardAfterALoginAndNoRowShowsBelowIt) {
    serveComments(25);
    svc.reply("MemberLogin", kMemberReply);
    auto screen = open();
    ASSERT_TRUE(settle(screen));
    const double rest = 568 - 44, raised = 568 - 216 - 50;
    EXPECT_EQ(screen->mtableview->frame().maxY(), rest);

    ASSERT_TRUE(driver->typeText(screen->commentFiled, "好文章"));
    EXPECT_EQ(screen->NewcommentView->frame().origin.y, raised);
    EXPECT_EQ(screen->mtableview->frame().maxY(), raised);  // the gap shows the screen, not a row
    EXPECT_TRUE(ui::TestDriver::isOnScreen(*screen->NewcommentView));

    tapCommentButton(screen);
    auto login = screen->loginview;
    ASSERT_FALSE(login->view()->isHidden());
    // The keyboard is still up for the bar: the box's buttons stand clear of it.
    ASSERT_TRUE(ui::Keyboard::shared().isVisible());
    for (const auto& button : {login->loginButton, login->cancelButton})
        EXPECT_LE(button->convertRect_toView(button->bounds(), nullptr).maxY(), ui::Keyboard::shared().frame().minY());
    ASSERT_TRUE(driver->typeText(login->userField, "lisi"));
    ASSERT_TRUE(driver->typeText(login->passwordField, "secret"));
    auto hit = driver->tap(login->loginButton);  // a finger reaches it above the keyboard
    ASSERT_TRUE(hit && (hit == login->loginButton || hit->isDescendantOfView(login->loginButton.get())));
    ASSERT_TRUE(driver->waitUntil([&] { return !login->isLoggingIn(); }));
    EXPECT_TRUE(login->view()->isHidden());

    EXPECT_FALSE(ui::Keyboard::shared().isVisible());
    EXPECT_EQ(screen->NewcommentView->frame().origin.y, rest);
    EXPECT_EQ(screen->mtableview->frame().maxY(), rest);
    EXPECT_EQ(screen->commentFiled->text(), "好文章");
    EXPECT_EQ(svc.count("SubmitComment"), 0u);

    // Up and down again through the return key: the same two places.
    driver->tap(screen->commentFiled);
    EXPECT_EQ(screen->mtableview->frame().maxY(), raised);
    ASSERT_TRUE(driver->pressReturn());
    EXPECT_EQ(screen->NewcommentView->frame().origin.y, rest);
    EXPECT_EQ(screen->mtableview->frame().maxY(), rest);
}

TEST_F(CommentListTest, ARefusedPostKeepsItsTextAndTheList) {
    auto screen = openLoggedIn(4);
    ASSERT_TRUE(screen);

    // Empty text: refused before anything is sent.
    tapCommentButton(screen);
    EXPECT_EQ(lastAlertMessage(), "请输入要评论的内容");
    driver->pressAlertButton("确定");

    svc.replyOnce("SubmitComment", svc.result("SubmitComment", R"({"state":"failed","message":"评论已关闭"})"));
    svc.replyOnce("SubmitComment", svc.result("SubmitComment", "null"));
    svc.replyOnce("SubmitComment", LoopbackService::status(500));
    for (const char* expected : {"评论已关闭", "评论失败", ""}) {
        screen->commentFiled->setText("我的意见");
        std::size_t popups = driver->shownPopups().size();
        tapCommentButton(screen);
        if (*expected) {
            ASSERT_TRUE(driver->waitUntil([&] { return driver->topPopup() != nullptr; }));
            EXPECT_EQ(lastAlertMessage(), expected);
            driver->pressAlertButton("确定");
        } else {
            ASSERT_TRUE(driver->waitUntil([&] { return screen->type.empty(); }));
            EXPECT_EQ(driver->shownPopups().size(), popups);
            EXPECT_FALSE(ProgressHUD::isVisible());
        }
        EXPECT_EQ(screen->commentFiled->text(), "我的意见");
        EXPECT_EQ(screen->list->count(), 4u);
    }
    EXPECT_EQ(svc.count("SubmitComment"), 3u);
    EXPECT_EQ(requestedPages(), (std::vector<long long>{1}));
    EXPECT_EQ(alertsWithMessage("评论成功"), 0);
}

TEST_F(CommentListTest, CommentTouchedAgainWhileThePostIsOnItsWaySendsItOnce) {
    auto screen = openLoggedIn(4);
    ASSERT_TRUE(screen);
    screen->commentFiled->setText("我的意见");
    // The text stays in the field until the reply: a second touch sends nothing.
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitComment", LoopbackService::status(500),
                                                [&] { tapCommentButton(screen); }));

    // Once the first has failed, the comment can be sent again.
    ASSERT_TRUE(driver->waitUntil([&] { return screen->type.empty(); }));
    svc.reply("SubmitComment", svc.result("SubmitComment", R"({"state":"failed","message":"评论已关闭"})"));
    tapCommentButton(screen);
    ASSERT_TRUE(driver->waitUntil([&] { return driver->topPopup() != nullptr; }));
    EXPECT_EQ(svc.count("SubmitComment"), 2u);
}

TEST_F(CommentListTest, AListThatHasGoneHearsNothing) {
    auto screen = openLoggedIn(0);
    ASSERT_TRUE(screen);
    EXPECT_EQ(count(screen), "最新评论(0条)");
    svc.replyOnce("SubmitComment", LoopbackService::held(svc.result("SubmitComment", R"({"state":"successful"})")));
    screen->commentFiled->setText("再见");
    tapCommentButton(screen);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("SubmitComment") == 1; }));
    // A pull-up whose delay is still running.
    releasePullUp(screen);
    ASSERT_TRUE(screen->list->isReloading());

    std::weak_ptr<CommentViewController> gone = screen;
    screen.reset();
    nav->popViewControllerAnimated(false);
    driver->runPending();
    ASSERT_TRUE(gone.expired());

    svc.release();
    settleService();
    driver->advance(3);
    auto field = ui::create<ui::TextField>(ui::Rect{0, 100, 200, 30});
    root->view()->addSubview(field);
    driver->tap(field);
    EXPECT_EQ(alertsWithMessage("评论成功"), 0);
    EXPECT_EQ(svc.count("GetCommentList"), 1u);
}

}  // namespace
