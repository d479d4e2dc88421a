// The party representatives: the counties, a county's paged photo grid with
// its login gate, a representative's page with the proposals, and the
// message board with its posts, replies and deletions.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "members/PartyBehalfViewController.h"
#include "members/PartyListViewController.h"
#include "members/RepresentativeListViewController.h"

using namespace moduletest;

namespace {

constexpr const char* kCounties =
    R"({"state":"successful","records":[{"id":3,"name":"北岸县","img_url":null},)"
    R"({"id":"4","name":"溪口县","img_url":"http://127.0.0.1:1/c.jpg"}]})";
constexpr const char* kRecord =
    R"({"state":"successful","records":{"real_name":"王芳","head_portrait":null,"org_name":"北岸县",)"
    R"("mobile":"13900000001","comment_count":5,"proposals":[{"title":"关于修缮村道的建议",)"
    R"("add_time":"2015-03-01","content":"<p>村道年久失修</p>"}]}})";
// Message 1 has a reply (2) with a reply of its own (3); message 5 has none.
constexpr const char* kMessages =
    R"({"state":"successful","comment_count":4,"records":[)"
    R"({"id":1,"comment_user_name":"张三","comment_content":"代表您好","add_time":"2015-09-01","is_del_permission":"1",)"
    R"("childrens":[{"id":2,"comment_user_name":"王芳","comment_content":"您好","add_time":"2015-09-02",)"
    R"("is_del_permission":"1","childrens":[{"id":3,"comment_user_name":"李四","comment_content":"同问"}]}]},)"
    R"({"id":5,"comment_user_name":"赵六","comment_content":"路灯坏了","add_time":"2015-09-03","childrens":[]}]})";

// n representatives of a page: ids page × 100 + i.
std::string representatives(int page, int n) {
    ns::Value rows = ns::Value::array();
    for (int i = 0; i < n; ++i) {
        rows.push(ns::Value::dictionary(
            {{"id", page * 100 + i}, {"real_name", "代表" + std::to_string(page * 100 + i)}, {"head_portrait", ns::Value::null()}}));
    }
    return JSONRepresentation(ns::Value::dictionary({{"state", "successful"}, {"records", rows}}));
}

class RepresentativesTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        nav->setNavigationBarHidden(true);
        svc.reply("GetOrgList", kCounties);
        svc.handle("GetRepresentativeList", [this](const LoopbackService::Received& r) {
            return svc.result("GetRepresentativeList",
                              representatives(static_cast<int>(r.argument["page_index"].integerValue()), 20));
        });
        svc.reply("GetRepresentativeRecord", kRecord);
        svc.reply("GetRepresentativeComment", kMessages);
        svc.reply("SubmitRepresentativeComment", R"({"state":"successful"})");
        svc.reply("SubmitRepCommentDel", R"({"state":"successful"})");
        svc.reply("MemberLogin", kMemberReply);
    }

    static std::shared_ptr<ui::Button> tile(const std::shared_ptr<ui::ScrollView>& grid, int i) {
        return std::dynamic_pointer_cast<ui::Button>(grid->viewWithTag(tilegrid::kTagBase + i));
    }
    static std::size_t tileCount(const std::shared_ptr<ui::ScrollView>& grid) {
        std::size_t n = 0;
        while (tile(grid, static_cast<int>(n))) ++n;
        return n;
    }
    template <typename T>
    std::shared_ptr<T> top() {
        driver->advance(1.0);
        return std::dynamic_pointer_cast<T>(nav->topViewController());
    }
    std::shared_ptr<RepresentativeListViewController> openCounty() {
        auto counties = push<PartyBehalfViewController>();
        EXPECT_TRUE(driver->waitUntil([&] { return tileCount(counties->mscrview) == 2; }));
        driver->tap(tile(counties->mscrview, 0));
        auto list = top<RepresentativeListViewController>();
        EXPECT_TRUE(list && driver->waitUntil([&] { return tileCount(list->msrview) == 20; }));
        return list;
    }
    // Drags the grid down, a screenful at a time, back to its first row.
    void scrollToTop(const std::shared_ptr<ui::ScrollView>& grid) {
        while (grid->contentOffset().y > 0) driver->drag(grid, ui::Point{0, std::min(grid->contentOffset().y, 250.0)});
    }
    void logOut() { Utils::saveUserWithMemberData(ns::Value::dictionary(), "0"); }
    // The representative's page with its record and messages in.
    std::shared_ptr<PartyListViewController> openPage(const std::string& id = "7") {
        auto page = ui::create<PartyListViewController>();
        page->partyuserID = id;
        nav->pushViewController(page, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        EXPECT_TRUE(waitForRequests("GetRepresentativeComment", 1));
        settleService();
        return page;
    }
    std::shared_ptr<CommentsView> openBoard(const std::shared_ptr<PartyListViewController>& page) {
        driver->tap(page->Level_MsgButton);
        driver->advance(0.2);
        return page->commentview;
    }
    static std::shared_ptr<LevelMsgCell> cell(const std::shared_ptr<CommentsView>& board, long row) {
        return std::dynamic_pointer_cast<LevelMsgCell>(board->commenttableview->cellForRowAtIndexPath(ui::IndexPath{0, row}));
    }
    static std::shared_ptr<CommentChildrenView> replyRow(const std::shared_ptr<CommentsView>& board, std::size_t i) {
        return std::dynamic_pointer_cast<CommentChildrenView>(cell(board, 0)->childrenGroundview->subviews().at(i));
    }
    // Types into the board's bar and touches its button.
    void send(const std::shared_ptr<CommentsView>& board, const std::string& text) {
        if (!text.empty()) driver->typeText(board->leveMsgview->contentField, text);
        driver->tap(board->leveMsgview->PublishedButton);
    }
    ns::Value sentComment() { return svc.received("SubmitRepresentativeComment")["parameters"]; }
    std::string title(const std::shared_ptr<CommentsView>& board) {
        return board->leveMsgview->PublishedButton->currentTitle();
    }
};

TEST_F(RepresentativesTest, FromTheCountiesToTheBoard) {
    logOut();
    auto counties = push<PartyBehalfViewController>();
    EXPECT_EQ(counties->naview->titleLabel->text(), "17区县");
    ASSERT_TRUE(driver->waitUntil([&] { return tileCount(counties->mscrview) == 2; }));
    EXPECT_EQ(svc.received("GetOrgList")["parameters"]["type"].str(), "countyandcity");
    EXPECT_TRUE(driver->findViewWithText("溪口县"));

    // A county: its first two pages of representatives, 40 tiles laid out anew.
    driver->tap(tile(counties->mscrview, 0));
    auto list = top<RepresentativeListViewController>();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->naview->titleLabel->text(), "直通党代表");
    ASSERT_TRUE(driver->waitUntil([&] { return tileCount(list->msrview) == 20; }));
    auto sent = svc.received("GetRepresentativeList");
    EXPECT_EQ(sent["page_index"].text(), "1");
    EXPECT_EQ(sent["page_size"].text(), "20");
    EXPECT_EQ(sent["parameters"]["org_id"].str(), "3");  // the county's number id, as text
    EXPECT_EQ(sent["orders"]["add_time"].str(), "desc");
    loadNextPage(list->msrview);
    ASSERT_TRUE(driver->waitUntil([&] { return tileCount(list->msrview) == 40; }));
    EXPECT_EQ(svc.received("GetRepresentativeList")["page_index"].text(), "2");
    EXPECT_EQ(tile(list->msrview, 39)->frame(), (ui::Rect{10, 1700, 90, 90}));
    EXPECT_EQ(list->msrview->contentSize().height, 1830);
    scrollToTop(list->msrview);

    // The login gate, then the representative.
    driver->tap(tile(list->msrview, 1));
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(driver->topPopup()->messageText(), "你没有登录，请先登录！");
    ASSERT_TRUE(driver->pressAlertButton("现在去登录"));
    EXPECT_FALSE(list->loginview->view()->isHidden());
    EXPECT_EQ(list->loginview->view()->frame(), (ui::Rect{0, 64, 320, 504}));
    driver->typeText(list->loginview->userField, "lisi");
    driver->typeText(list->loginview->passwordField, "secret\n");  // Return logs in
    ASSERT_TRUE(driver->waitUntil([&] { return list->loginview->view()->isHidden(); }));
    driver->tap(tile(list->msrview, 1));
    auto page = top<PartyListViewController>();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->partyuserID, "101");

    // The record, then the messages.
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 1));
    settleService();
    EXPECT_EQ(svc.received("GetRepresentativeRecord")["parameters"]["user_id"].str(), "101");
    auto asked = svc.received("GetRepresentativeComment")["parameters"];
    EXPECT_EQ(asked["user_id"].str(), "101");
    EXPECT_EQ(asked["current_user_id"].str(), "501");
    EXPECT_EQ(page->nameLabel->text(), "姓名:王芳");
    EXPECT_EQ(page->orgLabel->text(), "所属区县:北岸县");
    EXPECT_EQ(page->phoneLabel->text(), "联系电话:13900000001");
    EXPECT_EQ(page->level_Label->text(), "留言:4");  // the list's count, after the record's 5
    EXPECT_EQ(page->headimagev->image()->name(), "icon_empty.png");

    // A proposal.
    driver->tap(page->propview->proposatableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    auto proposal = top<ProposalViewController>();
    ASSERT_TRUE(proposal);
    EXPECT_EQ(proposal->naview->titleLabel->text(), "提案详情");
    EXPECT_EQ(proposal->titleLabel->text(), "关于修缮村道的建议");
    EXPECT_EQ(proposal->timeLabel->text(), "2015-03-01");
    driver->tap(proposal->naview->leftButton);
    ASSERT_EQ(top<PartyListViewController>(), page);

    // The board: a message, a reply to a reply, a deletion, each followed by the list.
    auto board = openBoard(page);
    EXPECT_FALSE(board->isHidden());
    EXPECT_TRUE(page->propview->isHidden());
    ASSERT_EQ(board->commenttableview->numberOfRowsInSection(0), 2);
    EXPECT_DOUBLE_EQ(board->commenttableview->rectForRowAtIndexPath(ui::IndexPath{0, 0}).size.height, 272.5);

    send(board, "请关注村道");
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 2));
    sent = sentComment();
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"user_id", "parent_id", "content"}));
    EXPECT_EQ(sent["user_id"].str(), "101");
    EXPECT_EQ(sent["parent_id"].str(), "");
    EXPECT_EQ(sent["content"].str(), "请关注村道");
    settleService();
    EXPECT_EQ(board->leveMsgview->contentField->text(), "");

    driver->tap(replyRow(board, 1)->replyBt);  // 李四's reply to 王芳
    EXPECT_EQ(title(board), "回复");
    driver->typeText("同意");
    driver->pressReturn();  // the bar drops, the mode stays
    EXPECT_EQ(board->leveMsgview->frame().origin.y, board->frame().size.height - 50);
    EXPECT_EQ(title(board), "回复");
    driver->tap(board->leveMsgview->PublishedButton);
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 3));
    EXPECT_EQ(sentComment()["parent_id"].str(), "3");
    settleService();
    EXPECT_EQ(title(board), "留言");

    driver->tap(cell(board, 0)->deleteBt);
    EXPECT_EQ(driver->topPopup()->messageText(), "关于该评论的所有信息都将被删除，确定删除？");
    ASSERT_TRUE(driver->pressAlertButton("确定"));
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 4));
    EXPECT_EQ(svc.received("SubmitRepCommentDel")["parameters"]["comment_id"].str(), "1");
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "删除成功!");
    settleService();
}

TEST_F(RepresentativesTest, TheGridKeepsItsPagesInStep) {
    auto list = openCounty();
    // A failed next page is asked for again.
    svc.reply("GetRepresentativeList", LoopbackService::status(500));
    loadNextPage(list->msrview);
    ASSERT_TRUE(waitForRequests("GetRepresentativeList", 2));
    settleService();
    EXPECT_EQ(tileCount(list->msrview), 20u);
    svc.reply("GetRepresentativeList", representatives(2, 20));
    loadNextPage(list->msrview);
    ASSERT_TRUE(driver->waitUntil([&] { return tileCount(list->msrview) == 40; }));
    EXPECT_EQ(svc.received("GetRepresentativeList")["page_index"].text(), "2");

    // Pulled down: page "1" again; seven tiles on a 320-point screen lie
    // three a row, 105 apart.
    svc.reply("GetRepresentativeList", representatives(1, 7));
    scrollToTop(list->msrview);
    pullDown(list->msrview);
    driver->advance(2.0);
    ASSERT_TRUE(driver->waitUntil([&] { return tileCount(list->msrview) == 7; }));
    EXPECT_EQ(svc.received("GetRepresentativeList")["page_index"].text(), "1");
    for (auto [i, x, y] : {std::tuple{0, 10, 10}, {1, 115, 10}, {2, 220, 10}, {3, 10, 140}, {6, 10, 270}})
        EXPECT_EQ(tile(list->msrview, i)->frame().origin, (ui::Point{double(x), double(y)}));
    EXPECT_EQ(list->msrview->contentSize().height, 400);
}

TEST_F(RepresentativesTest, LeavingMidRequestTakesTheOverlayDown) {
    svc.reply("GetOrgList", LoopbackService::held(svc.result("GetOrgList", kCounties)));
    push<PartyBehalfViewController>();
    ASSERT_TRUE(waitForRequests("GetOrgList", 1));
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    nav->popViewControllerAnimated(false);
    EXPECT_FALSE(ProgressHUD::isVisible());
    svc.release();
    settleService();
    svc.stopHolding();

    svc.reply("GetRepresentativeRecord", LoopbackService::held(svc.result("GetRepresentativeRecord", kRecord)));
    auto page = ui::create<PartyListViewController>();
    nav->pushViewController(page, false);
    ASSERT_TRUE(waitForRequests("GetRepresentativeRecord", 1));
    EXPECT_TRUE(ProgressHUD::isVisible());
    nav->popViewControllerAnimated(false);
    EXPECT_FALSE(ProgressHUD::isVisible());
    svc.release();
    settleService();
}

TEST_F(RepresentativesTest, EachAnswerIsReadForItsOwnRequest) {
    // The record is slow; meanwhile a board posts "reloadMessage" and the
    // list comes back first.
    svc.reply("GetRepresentativeRecord", LoopbackService::held(svc.result("GetRepresentativeRecord", kRecord)));
    auto page = ui::create<PartyListViewController>();
    page->partyuserID = "7";
    nav->pushViewController(page, false);
    ui::Application::sharedApplication().layoutIfNeeded();
    ASSERT_TRUE(waitForRequests("GetRepresentativeRecord", 1));
    EXPECT_TRUE(page->commentview->commenttableview->isHidden());  // nothing yet
    ns::NotificationCenter::defaultCenter().post(CommentsView::kReloadNotification);
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 1));
    ASSERT_TRUE(driver->waitUntil([&] { return page->commentview->commentArray().count() == 2; }));
    EXPECT_FALSE(page->commentview->commenttableview->isHidden());
    EXPECT_EQ(page->nameLabel->text(), "");  // the list was not taken for the record
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return page->nameLabel->text() == "姓名:王芳"; }));
    svc.stopHolding();
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 2));
    settleService();
    EXPECT_EQ(page->propview->proposaArray.count(), 1u);
    auto board = openBoard(page);

    // A list the service refuses leaves the board as it was.
    svc.reply("GetRepresentativeComment", R"({"state":"failed","records":[],"comment_count":0})");
    send(board, "再问");
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 3));
    settleService();
    EXPECT_EQ(board->commenttableview->numberOfRowsInSection(0), 2);
    EXPECT_EQ(page->level_Label->text(), "留言:4");
}

TEST_F(RepresentativesTest, AMessageSentAgainWhileItIsOnItsWayGoesOnce) {
    auto page = openPage();
    auto board = openBoard(page);
    // The text stays in the bar while it is on its way: a second touch sends nothing.
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitRepresentativeComment", LoopbackService::status(500),
                                                [&] { send(board, "请问"); }, [&] { send(board, ""); }));

    // Once it has failed, it can be sent again.
    settleService();
    svc.reply("SubmitRepresentativeComment", R"({"state":"failed","message":"内容含有敏感词"})");
    send(board, "");
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "内容含有敏感词");
    EXPECT_EQ(svc.count("SubmitRepresentativeComment"), 2u);
}

TEST_F(RepresentativesTest, ADeletionConfirmedAgainWhileItIsOnItsWayGoesOnce) {
    auto page = openPage();
    auto board = openBoard(page);
    auto confirmDelete = [&] {
        driver->tap(cell(board, 0)->deleteBt);
        ASSERT_TRUE(driver->pressAlertButton("确定"));
    };
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitRepCommentDel", LoopbackService::status(500), confirmDelete));

    // Once it has failed, it can be confirmed again.
    settleService();
    svc.reply("SubmitRepCommentDel", R"({"state":"successful"})");
    confirmDelete();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "删除成功!");
    EXPECT_EQ(svc.count("SubmitRepCommentDel"), 2u);
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 2));
    settleService();
}

TEST_F(RepresentativesTest, RefusalsAreSaidAndKeepTheText) {
    auto page = openPage();
    auto board = openBoard(page);
    send(board, "");
    EXPECT_EQ(takeAlert(), "请输入要留言的内容");

    svc.reply("SubmitRepresentativeComment", R"({"state":"failed","message":"内容含有敏感词"})");
    send(board, "敏感内容");
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "内容含有敏感词");
    EXPECT_EQ(board->leveMsgview->contentField->text(), "敏感内容");
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 2));  // the list all the same

    // A refused reply keeps its mode too; a deletion refused without a word says it failed.
    driver->tap(cell(board, 0)->replyBt);
    EXPECT_EQ(title(board), "回复");
    driver->tap(board->leveMsgview->PublishedButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "内容含有敏感词");
    EXPECT_EQ(sentComment()["parent_id"].str(), "1");
    EXPECT_EQ(title(board), "回复");
    EXPECT_EQ(board->leveMsgview->contentField->text(), "敏感内容");

    svc.reply("SubmitRepCommentDel", R"({"state":"failed"})");
    driver->tap(replyRow(board, 0)->deleteBt);
    ASSERT_TRUE(driver->pressAlertButton("取消"));
    EXPECT_EQ(board->requestType, "删除");
    driver->tap(replyRow(board, 0)->deleteBt);
    ASSERT_TRUE(driver->pressAlertButton("确定"));
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "删除失败");
    EXPECT_EQ(svc.count("SubmitRepCommentDel"), 1u);
    EXPECT_EQ(svc.received("SubmitRepCommentDel")["parameters"]["comment_id"].str(), "2");
    ASSERT_TRUE(waitForRequests("GetRepresentativeComment", 4));
    settleService();
}

}  // namespace
