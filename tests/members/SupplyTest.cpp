// The supply-and-demand board: the disclaimer and identity check, the lists
// and their menu, and the product detail.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/RevealController.h"
#include "foundation/Log.h"
#include "members/LevelMsgCell.h"
#include "members/LiabilityViewController.h"
#include "members/PartyCell.h"
#include "members/PartyDetailViewController.h"
#include "members/partyFrontViewController.h"
#include "members/partyRearViewController.h"

using namespace moduletest;

namespace {

constexpr const char* kConfig = R"({"records":{"disclaimer":"<p>免责条款</p>"}})";
constexpr const char* kIdentity = R"({"state":"successful","records":{"user_id":77,"user_type":2}})";
constexpr const char* kProducts =
    R"({"records":[{"id":9,"product_title":"苹果","product_img":"","product_price":"12.5","product_number":"100斤",)"
    R"("product_address":"栖霞","click_num":31,"comment_count":4},{"id":"10","product_title":"梨"}]})";
constexpr const char* kEmpty = R"({"records":[]})";

class SupplyTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        nav->setNavigationBarHidden(true);
        svc.reply("GetUserConfig", kConfig);
        svc.reply("GetRetailerLogin", kIdentity);
        svc.reply("GetRetailerList", kProducts);
    }

    std::shared_ptr<LiabilityViewController> openEntry() {
        auto page = push<LiabilityViewController>();
        EXPECT_TRUE(waitForRequests("GetUserConfig", 1));
        settleService();
        return page;
    }
    void fill(const std::shared_ptr<LiabilityViewController>& page, const std::string& name,
              const std::string& number) {
        if (!name.empty()) driver->typeText(page->checkview->userNameFiled, name);
        if (!number.empty()) driver->typeText(page->checkview->passWordFiled, number);
    }
    // Agrees and fills the check in with the member's name and number.
    void fillCheck(const std::shared_ptr<LiabilityViewController>& page) {
        driver->tap(page->agreeButton);
        fill(page, "王五", "13912345678");
    }
    // The container the passed check pushes, once it is there (else nullptr).
    std::shared_ptr<RevealController> boardPushed() {
        EXPECT_TRUE(driver->waitUntil([&] { return std::dynamic_pointer_cast<RevealController>(nav->topViewController()) != nullptr; }));
        auto reveal = std::dynamic_pointer_cast<RevealController>(nav->topViewController());
        ui::Application::sharedApplication().layoutIfNeeded();
        return reveal;
    }
    // Agrees, passes the check and returns the container that was pushed.
    std::shared_ptr<RevealController> enterBoard(const std::shared_ptr<LiabilityViewController>& page) {
        fillCheck(page);
        driver->tap(page->checkview->checkButton);
        return boardPushed();
    }
    std::shared_ptr<partyFrontViewController> frontOf(const std::shared_ptr<RevealController>& reveal) {
        auto front = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return front ? std::dynamic_pointer_cast<partyFrontViewController>(front->viewControllers().front()) : nullptr;
    }
    void waitForList(const std::shared_ptr<partyFrontViewController>& list, std::size_t requests) {
        ASSERT_TRUE(waitForRequests("GetRetailerList", requests));
        settleService();
        ASSERT_FALSE(list->list->isLoadingPage());
    }
};

TEST_F(SupplyTest, TheDisclaimerIsLoadedAndTheCheckRefusesEmptyFields) {
    auto page = openEntry();
    EXPECT_EQ(page->naview->titleLabel->text(), "免责声明");
    EXPECT_TRUE(page->checkview->isHidden());
    driver->tap(page->agreeButton);
    EXPECT_FALSE(page->checkview->isHidden());

    driver->tap(page->checkview->checkButton);
    EXPECT_EQ(takeAlert(), "请输入姓名");
    EXPECT_EQ(driver->topPopup(), nullptr);  // only the name alert
    fill(page, "王五", "");
    driver->tap(page->checkview->checkButton);
    EXPECT_EQ(takeAlert(), "请输入手机号码");
    EXPECT_EQ(svc.count("GetRetailerLogin"), 0u);
    EXPECT_EQ(page->checkview->mscrv->contentOffset().y, 60);

    driver->tap(page->checkview->cancelButton);
    EXPECT_TRUE(page->checkview->isHidden());
}

TEST_F(SupplyTest, ARefusedCheckShowsTheServiceMessageAndKeepsThePanel) {
    svc.reply("GetRetailerLogin", R"({"state":"failed","message":"身份信息不符"})");
    auto page = openEntry();
    driver->tap(page->agreeButton);
    fill(page, "王五", "abc12");
    driver->tap(page->checkview->checkButton);
    ASSERT_TRUE(waitForAlert());
    auto sent = svc.received("GetRetailerLogin")["parameters"];
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"user_tel", "real_name"}));
    EXPECT_EQ(sent["user_tel"].str(), "abc12");  // sent as typed
    EXPECT_EQ(sent["real_name"].str(), "王五");
    EXPECT_EQ(takeAlert(), "身份信息不符");
    EXPECT_FALSE(page->checkview->isHidden());
    EXPECT_EQ(nav->topViewController(), page);
}

TEST_F(SupplyTest, ACheckAnsweredWithoutAUserIdDoesNotOpenTheBoard) {
    auto page = openEntry();
    driver->tap(page->agreeButton);
    fill(page, "王五", "13912345678");
    for (const char* records : {R"("x")", "{}", R"({"user_id":"","user_type":2})", R"({"user_type":2})"}) {
        SCOPED_TRACE(records);
        svc.reply("GetRetailerLogin", std::string(R"({"state":"successful","records":)") + records + "}");
        driver->tap(page->checkview->checkButton);
        ASSERT_TRUE(waitForAlert());
        EXPECT_EQ(takeAlert(), "身份验证失败");
        EXPECT_EQ(nav->topViewController(), page);
    }
}

TEST_F(SupplyTest, APassedCheckOpensTheSupplyListWithTheMemberIds) {
    auto page = openEntry();
    auto reveal = enterBoard(page);
    ASSERT_TRUE(reveal);
    EXPECT_TRUE(page->checkview->isHidden());
    auto list = frontOf(reveal);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->userID, "77");
    EXPECT_EQ(list->userType, "2");
    EXPECT_EQ(list->naview->titleLabel->text(), "供应信息");
    auto rear = std::dynamic_pointer_cast<partyRearViewController>(reveal->rearViewController());
    ASSERT_TRUE(rear);
    EXPECT_EQ(rear->userID, "77");

    waitForList(list, 1);
    auto sent = svc.received("GetRetailerList");
    EXPECT_EQ(sent["page_index"].text(), "1");
    EXPECT_EQ(sent["page_size"].text(), "20");
    EXPECT_EQ(sent["parameters"].keys(), (std::vector<std::string>{"type", "keywords", "search_type"}));
    EXPECT_EQ(sent["parameters"]["type"].str(), "1");
    EXPECT_TRUE(sent["orders"].isNil());
    ASSERT_EQ(list->list->count(), 2u);

    auto cell = std::dynamic_pointer_cast<PartyCell>(
        list->mtableview->dataSource()->tableView_cellForRowAtIndexPath(list->mtableview, ui::IndexPath{0, 0}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->titleLabel->text(), "苹果");
    EXPECT_EQ(cell->priceLabel->text(), "￥12.5");
    EXPECT_EQ(cell->countLabel->text(), "数量:100斤");
    EXPECT_EQ(cell->product_addressLabel->text(), "产地:栖霞");
    EXPECT_EQ(cell->click_numLabel->text(), "点击量:31");
    EXPECT_EQ(cell->Leave_mesgLabel->text(), "留言:4");
}

TEST_F(SupplyTest, VerifyTouchedAgainWhileTheCheckIsOnItsWayOpensTheBoardOnce) {
    auto page = openEntry();
    fillCheck(page);
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("GetRetailerLogin", svc.result("GetRetailerLogin", kIdentity),
                                                [&] { driver->tap(page->checkview->checkButton); }));
    ASSERT_TRUE(boardPushed());
    settleService();
    driver->advance(1.0);
    EXPECT_EQ(nav->viewControllers().size(), 3u);  // the root, the entry and one board
}

TEST_F(SupplyTest, SearchTypeAndKeywordsGoOutOnlyWhenSearching) {
    auto list = frontOf(enterBoard(openEntry()));
    waitForList(list, 1);
    driver->typeText(list->titleField, "苹");
    driver->tap(list->searchButton);
    waitForList(list, 2);
    EXPECT_EQ(svc.received("GetRetailerList")["parameters"]["keywords"].str(), "苹");
    EXPECT_EQ(svc.received("GetRetailerList")["parameters"]["search_type"].str(), "");

    driver->fireGesture<ui::TapGestureRecognizer>(list->typeLine);
    EXPECT_FALSE(list->typeview->isHidden());
    EXPECT_FALSE(list->glview->isHidden());
    ASSERT_TRUE(driver->tapText("标题模糊查询"));
    EXPECT_TRUE(list->typeview->isHidden());
    EXPECT_TRUE(list->glview->isHidden());
    EXPECT_EQ(list->institutionsLabel->text(), "标题模糊查询");
    driver->runPending();
    EXPECT_EQ(svc.count("GetRetailerList"), 2u);  // picking alone does not reload

    driver->typeText(list->titleField, "\n");
    waitForList(list, 3);
    EXPECT_EQ(svc.received("GetRetailerList")["parameters"]["search_type"].str(), "2");
    EXPECT_EQ(list->list->count(), 2u);  // the list restarted from page 1
}

TEST_F(SupplyTest, AnEmptyListShowsTheNoDataToast) {
    svc.reply("GetRetailerList", kEmpty);
    auto list = frontOf(enterBoard(openEntry()));
    waitForList(list, 1);
    EXPECT_EQ(list->alertLabel->text(), "暂无数据！");
}

TEST_F(SupplyTest, TheMenuRebuildsTheListAndMineSendsTheMemberIds) {
    auto page = openEntry();
    auto reveal = enterBoard(page);
    auto first = frontOf(reveal);
    waitForList(first, 1);
    auto rear = std::dynamic_pointer_cast<partyRearViewController>(reveal->rearViewController());
    touchMenuRow(reveal, rear->rearTableView(), 2);
    auto mine = frontOf(reveal);
    ASSERT_TRUE(mine);
    ASSERT_NE(mine, first);
    ui::Application::sharedApplication().layoutIfNeeded();
    waitForList(mine, 2);
    EXPECT_EQ(mine->naview->titleLabel->text(), "我的信息");
    auto sent = svc.received("GetRetailerList")["parameters"];
    EXPECT_EQ(sent.keys(),
              (std::vector<std::string>{"type", "keywords", "search_type", "user_id", "user_type"}));
    EXPECT_EQ(sent["type"].str(), "3");
    EXPECT_EQ(sent["user_id"].str(), "77");
    EXPECT_EQ(sent["user_type"].str(), "2");

    touchMenuRow(reveal, rear->rearTableView(), 2);  // the row already shown builds a new list too
    auto again = frontOf(reveal);
    ASSERT_NE(again, mine);
    ui::Application::sharedApplication().layoutIfNeeded();
    waitForList(again, 3);

    touchMenuRow(reveal, rear->rearTableView(), 1);
    auto demand = frontOf(reveal);
    ui::Application::sharedApplication().layoutIfNeeded();
    waitForList(demand, 4);
    EXPECT_EQ(svc.received("GetRetailerList")["parameters"]["type"].str(), "2");
    EXPECT_TRUE(svc.received("GetRetailerList")["parameters"]["user_id"].isNil());

    touchMenuRow(reveal, rear->rearTableView(), 3);  // back to the disclaimer, panel hidden, fields kept
    driver->runPending();
    EXPECT_EQ(nav->topViewController(), page);
    EXPECT_TRUE(page->checkview->isHidden());
    EXPECT_EQ(page->checkview->userNameFiled->text(), "王五");
}

// ---- Product detail ----

class PartyDetailTest : public SupplyTest {
protected:
    std::shared_ptr<PartyDetailViewController> openDetail(const std::string& record, const std::string& comments) {
        svc.reply("GetRetailerRecord", record);
        svc.reply("GetRetailerComment", comments);
        ns::LogCapture log;
        auto detail = ui::create<PartyDetailViewController>();
        detail->partyID = "9";
        detail->userID = "77";
        detail->userType = "2";
        nav->pushViewController(detail, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        // The message list is asked for once the record is in, and read as it comes.
        EXPECT_TRUE(driver->waitUntil([&] { return log.contains("评论列表resonse==="); }));
        // ... and the description's body has been laid out.
        EXPECT_TRUE(driver->waitUntil([&] { return !detail->mwebview->isLoading(); }));
        driver->runPending();
        return detail;
    }
};

constexpr const char* kRecord =
    R"({"records":{"product_title":"苹果","product_price":"12.5","product_number":"100斤","product_address":"栖霞",)"
    R"("click_num":31,"comment_count":4,"product_img":"http://127.0.0.1:1/a.jpg","albums":[],)"
    R"("product_content":"<p>好吃</p>","contact_phone":"13900000000"}})";
constexpr const char* kComments =
    R"({"state":"successful","comment_count":2,"records":[{"id":5,"comment_user_name":"甲","comment_content":"多少钱",)"
    R"("add_time":"2015-09-01","is_del_permission":"1","childrens":[]}]})";

TEST_F(PartyDetailTest, TheRecordIsShownThenTheMessagesAreFetched) {
    auto detail = openDetail(kRecord, kComments);
    EXPECT_EQ(detail->naview->titleLabel->text(), "电商详情");
    EXPECT_EQ(detail->titleLabel->text(), "苹果");
    EXPECT_EQ(detail->priceLabel->text(), "￥12.5");
    EXPECT_EQ(detail->countLabel->text(), "数量:100斤");
    EXPECT_EQ(detail->product_addressLabel->text(), "产地:栖霞");
    EXPECT_EQ(detail->clickNumLabel->text(), "点击量:31");
    EXPECT_EQ(detail->lever_mesgLabel->text(), "留言:2");  // the message list's count
    // An empty album list shows the product's own picture.
    ASSERT_EQ(detail->adv_list.count(), 1u);
    EXPECT_EQ(records::text(detail->adv_list.at(0), "original_path"), "http://127.0.0.1:1/a.jpg");
    EXPECT_EQ(detail->mscrview->contentSize().width, detail->view()->frame().size.width);
    EXPECT_TRUE(detail->mscrview->viewWithTag(2000) != nullptr);
    EXPECT_EQ(svc.received("GetRetailerRecord")["parameters"]["id"].str(), "9");
    auto sent = svc.received("GetRetailerComment")["parameters"];
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"id", "user_id", "user_type"}));
    EXPECT_EQ(sent["user_type"].str(), "2");
    EXPECT_EQ(detail->partycommentview->commentArray().count(), 1u);
    EXPECT_FALSE(detail->partycommentview->commenttableview->isHidden());
}

TEST_F(PartyDetailTest, ARecordWithoutAlbumsLeavesTheStripEmpty) {
    auto detail = openDetail(R"({"records":{"product_title":"梨"}})",
                             R"({"state":"failed","comment_count":0,"records":[]})");
    EXPECT_EQ(detail->adv_list.count(), 0u);
    EXPECT_EQ(detail->mscrview->contentSize().width, 0);
    EXPECT_EQ(detail->lever_mesgLabel->text(), "留言:0");
    EXPECT_TRUE(detail->partycommentview->commenttableview->isHidden());
}

TEST_F(PartyDetailTest, TabsSwitchBetweenDescriptionAndMessages) {
    auto detail = openDetail(kRecord, kComments);
    detail->heigth = 500;
    driver->tap(detail->Level_MsgButton);
    driver->advance(0.2);
    EXPECT_TRUE(detail->mwebview->isHidden());
    EXPECT_FALSE(detail->partycommentview->isHidden());
    EXPECT_EQ(detail->scrview->frame().origin.x, detail->view()->frame().size.width / 2);
    detail->rootScrview->setContentSize(ui::Size{1, 1});
    driver->tap(detail->detailButton);
    driver->advance(0.2);
    EXPECT_FALSE(detail->mwebview->isHidden());
    EXPECT_TRUE(detail->partycommentview->isHidden());
    EXPECT_EQ(detail->rootScrview->contentSize().height, 802);
    EXPECT_EQ(detail->scrview->frame().origin.x, 0);
}

TEST_F(PartyDetailTest, CallingReportsTheContactThenDials) {
    svc.reply("SubmitRetailerContact", R"({"state":"successful"})");
    auto detail = openDetail(kRecord, kComments);
    driver->tap(detail->tellButton);
    ASSERT_TRUE(driver->topPopup());
    EXPECT_EQ(driver->topPopup()->messageText(), "是否现在拨打？");
    driver->pressAlertButton("拨打");
    ASSERT_TRUE(waitForRequests("SubmitRetailerContact", 1));
    EXPECT_EQ(svc.received("SubmitRetailerContact")["parameters"]["id"].str(), "9");
    ASSERT_FALSE(ui::Application::sharedApplication().openedURLs().empty());
    EXPECT_EQ(ui::Application::sharedApplication().openedURLs().back(), "telprompt://13900000000");
    settleService();

    // A post on the board fetches the messages again.
    ns::NotificationCenter::defaultCenter().post("reloadPartyMessage");
    EXPECT_TRUE(waitForRequests("GetRetailerComment", 2));
    settleService();
}

TEST_F(PartyDetailTest, CallingTheSellerWhileTheMessagesLoadKeepsTheMessages) {
    svc.reply("GetRetailerRecord", kRecord);
    svc.reply("GetRetailerComment", LoopbackService::held(svc.result("GetRetailerComment", kComments)));
    svc.reply("SubmitRetailerContact", R"({"state":"successful"})");
    auto detail = ui::create<PartyDetailViewController>();
    detail->partyID = "9";
    nav->pushViewController(detail, false);
    ASSERT_TRUE(waitForRequests("GetRetailerComment", 1));
    driver->tap(detail->tellButton);
    ASSERT_TRUE(driver->pressAlertButton("拨打"));
    ASSERT_TRUE(waitForRequests("SubmitRetailerContact", 1));
    settleService(1);
    svc.release();
    settleService();
    EXPECT_EQ(detail->partycommentview->commentArray().count(), 1u);
    EXPECT_EQ(detail->partycommentview->commenttableview->numberOfRowsInSection(0), 1);
    EXPECT_EQ(detail->lever_mesgLabel->text(), "留言:2");
}

TEST_F(PartyDetailTest, AnUnsuccessfulMessageListAfterADeletionShowsWhatItHolds) {
    svc.reply("SubmitRetCommentDel", R"({"state":"successful"})");
    auto detail = openDetail(kRecord, kComments);
    auto board = detail->partycommentview;
    driver->tap(detail->Level_MsgButton);
    driver->advance(0.2);
    svc.reply("GetRetailerComment",
              R"({"state":"failed","comment_count":2,"records":[{"id":6,"comment_content":"有发票吗","childrens":[]},)"
              R"({"id":7,"comment_content":"包邮吗","childrens":[]}]})");
    auto shown = std::dynamic_pointer_cast<LevelMsgCell>(board->commenttableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(shown);
    driver->tap(shown->deleteBt);
    ASSERT_TRUE(driver->pressAlertButton("确定"));
    ASSERT_TRUE(waitForRequests("GetRetailerComment", 2));
    settleService();
    // The rows are the messages the board would answer or delete.
    ASSERT_EQ(board->commentArray().count(), 2u);
    ASSERT_EQ(board->commenttableview->numberOfRowsInSection(0), 2);
    auto cell = std::dynamic_pointer_cast<LevelMsgCell>(board->commenttableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->contentLabel->text(), "有发票吗");
}

TEST_F(PartyDetailTest, TheBoardPostsRepliesAndDeletesThenReloads) {
    svc.reply("SubmitRetailerComment", R"({"state":"successful"})");
    svc.reply("SubmitRetCommentDel", R"({"state":"failed"})");
    auto detail = openDetail(kRecord, kComments);
    auto board = detail->partycommentview;
    driver->tap(detail->Level_MsgButton);
    driver->advance(0.2);

    board->reply();
    EXPECT_EQ(takeAlert(), "请输入要留言的内容");
    board->leveMsgview->contentField->setText("还有货吗");
    board->reply();
    ASSERT_TRUE(waitForRequests("GetRetailerComment", 2));  // reloaded after the post
    auto sent = svc.received("SubmitRetailerComment")["parameters"];
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"user_id", "id", "parent_id", "content", "user_type"}));
    EXPECT_EQ(sent["parent_id"].str(), "");
    EXPECT_EQ(sent["content"].str(), "还有货吗");
    EXPECT_EQ(sent["user_id"].str(), "77");
    settleService();
    EXPECT_EQ(board->leveMsgview->contentField->text(), "");

    // A reply to a nested reply uses the nested record's id.
    board->replyMessage(ns::Value::dictionary({{"id", 42}}));
    EXPECT_FALSE(board->maskview->isHidden());
    board->PartyreplyMessage();
    EXPECT_EQ(takeAlert(), "请输入要回复的内容");
    board->maskview->leveMsgview->contentField->setText("有");
    board->PartyreplyMessage();
    ASSERT_TRUE(waitForRequests("GetRetailerComment", 3));
    EXPECT_EQ(svc.received("SubmitRetailerComment")["parameters"]["parent_id"].str(), "42");
    settleService();
    EXPECT_TRUE(board->maskview->isHidden());
    EXPECT_EQ(board->maskview->leveMsgview->contentField->text(), "");

    // A refused delete shows nothing but still reloads the list.
    auto row = std::dynamic_pointer_cast<ui::Button>(ui::create<ui::Button>(ui::Rect{}));
    row->setTag(2000);
    board->DeleteMesg(row);
    ASSERT_TRUE(driver->pressAlertButton("确定"));
    ASSERT_TRUE(waitForRequests("GetRetailerComment", 4));
    EXPECT_EQ(svc.received("SubmitRetCommentDel")["parameters"]["comment_id"].str(), "5");
    settleService();
    EXPECT_EQ(driver->topPopup(), nullptr);
}

TEST_F(PartyDetailTest, EachBoardAnswerIsReadForItsOwnRequest) {
    auto detail = openDetail(kRecord, kComments);
    auto board = detail->partycommentview;
    driver->tap(detail->Level_MsgButton);
    driver->advance(0.2);
    svc.replyOnce("SubmitRetailerComment",
                  LoopbackService::held(svc.result("SubmitRetailerComment", R"({"state":"successful"})")));
    svc.reply("SubmitRetCommentDel", R"({"state":"failed"})");

    // (The board lies below the page's fold: its controls are worked directly.)
    board->leveMsgview->contentField->setText("还有货吗");
    board->reply();
    ASSERT_TRUE(waitForRequests("SubmitRetailerComment", 1));
    // While the post is out, the first message is deleted (and refused).
    auto cell = std::dynamic_pointer_cast<LevelMsgCell>(
        board->commenttableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(cell);
    board->DeleteMesg(cell->deleteBt);
    ASSERT_TRUE(driver->pressAlertButton("确定"));
    ASSERT_TRUE(waitForRequests("SubmitRetCommentDel", 1));
    svc.release();
    // The post's answer clears the field; nobody is told of a deletion.
    ASSERT_TRUE(driver->waitUntil([&] { return board->leveMsgview->contentField->text().empty(); }));
    ASSERT_TRUE(waitForRequests("GetRetailerComment", 3));
    settleService();
    for (auto& popup : driver->shownPopups()) EXPECT_NE(popup->messageText(), "删除成功!");
}

}  // namespace
