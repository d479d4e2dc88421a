// A petition's road: the form's checks, choices and request, the read-only
// record with its handling rows, and the handling list and screen.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/widgets/ProgressHUD.h"
#include "cases/AddXinShengViewController.h"
#include "cases/MyDoneViewController.h"
#include "cases/MyXinShengDetailViewController.h"
#include "cases/XinShengDetailViewController.h"
#include "foundation/Log.h"

using namespace moduletest;

namespace {

constexpr const char* kCategories =
    R"({"records":[{"category_title":"建议","channel_id":"7","category_id":"71"},)"
    R"({"category_title":"投诉","channel_id":"8","category_id":"81"}]})";

constexpr const char* kRecord =
    R"({"state":"successful","is_handle":"1","is_report":"0","records":{"title":"修路","type_name":"建议",)"
    R"("add_time":"2014-05-14","content":"村口的路坏了","state":"处理中","add_org":"镇政府","user_name":"张三",)"
    R"("feel_handle":[{"handle_user":"王五","action":"回复","handle_content":null},)"
    R"({"handle_user":"赵六","action":"上报","handle_content":"已上报县里"}]}})";

class PetitionTest : public moduletest::ModuleTest {
protected:
    std::shared_ptr<AddXinShengViewController> openForm() {
        auto form = ui::create<AddXinShengViewController>();
        showInNav(form);
        return form;
    }
    // Everything but `skip` filled in.
    void fill(const std::shared_ptr<AddXinShengViewController>& form, const std::string& skip = "") {
        if (skip != "title") form->titleField->setText("修路");
        if (skip != "content") form->contentView->setText("村口的路坏了");
        if (skip != "type") choose(form, form->typeChooser, 1);
        if (skip != "identity") choose(form, form->identityChooser, 0);
        if (skip != "org") form->orgName("镇政府", "12");
    }
    // Opens the chooser's panel and touches the row once it is there.
    void choose(const std::shared_ptr<AddXinShengViewController>& form, const std::shared_ptr<ui::View>& chooser,
                std::size_t row) {
        driver->tap(chooser);
        ASSERT_FALSE(form->typeview->isHidden());
        ASSERT_TRUE(driver->waitUntil([&] { return form->typeview->rowLabels.size() > row; }));
        driver->tap(form->typeview->rowLabels[row]);
        EXPECT_TRUE(form->typeview->isHidden());
    }
    std::string alertAfterSubmit(const std::shared_ptr<AddXinShengViewController>& form) {
        std::size_t before = driver->shownPopups().size();
        form->subit();
        auto popups = driver->shownPopups();
        if (popups.size() == before) return "";
        std::string text = popups.back()->messageText();
        driver->pressAlertButton("确定");
        return text;
    }
    void sendFromBox(const std::shared_ptr<AddXinShengViewController>& form) {
        form->userMsgview->userField->setText("张三");
        form->userMsgview->phoneField->setText("13800000000");
        driver->tap(form->userMsgview->confirmButton);
    }
};

TEST_F(PetitionTest, FormChecksItsFieldsInOrder) {
    svc.reply("GetCategoryList", kCategories);
    auto form = openForm();
    EXPECT_EQ(alertAfterSubmit(form), "请输入建议标题");
    EXPECT_EQ(driver->lastAlert()->title(), "温馨提示");
    for (auto [skip, message] : std::vector<std::pair<std::string, std::string>>{
             {"content", "请输入建议内容"}, {"identity", "请选择用户身份"}, {"org", "请选择建议机构"}}) {
        auto f = openForm();
        fill(f, skip);
        EXPECT_EQ(alertAfterSubmit(f), message) << skip;
        EXPECT_TRUE(f->userMsgview->isHidden());
    }
    auto f = openForm();
    fill(f);
    EXPECT_EQ(alertAfterSubmit(f), "");
    EXPECT_FALSE(f->userMsgview->isHidden());

    // The name and mobile box asks for both.
    driver->tap(f->userMsgview->confirmButton);
    EXPECT_EQ(driver->lastAlert()->messageText(), "请输入你的姓名");
    driver->pressAlertButton("确定");
    f->userMsgview->userField->setText("张三");
    driver->tap(f->userMsgview->confirmButton);
    EXPECT_EQ(driver->lastAlert()->messageText(), "请输入手机号码");
    driver->pressAlertButton("确定");

    // Tapping the dimmed area closes the box and keeps the entries.
    driver->fireGesture<ui::TapGestureRecognizer>(f->glview);
    EXPECT_TRUE(f->userMsgview->isHidden());
    EXPECT_EQ(f->titleField->text(), "修路");
    EXPECT_EQ(svc.count("SubmitGroupVoice"), 0u);
}

TEST_F(PetitionTest, FormSendsItsChoicesAndLoadsTheTypesOnce) {
    svc.reply("GetCategoryList", kCategories);
    svc.reply("SubmitGroupVoice", R"({"state":"successful","message":"提交成功"})");
    auto form = openForm();
    auto nav = form->navigationController();
    auto host = showInNav(ui::create<moduletest::HomeStub>());
    host->presentViewController(nav, false);
    fill(form);
    choose(form, form->typeChooser, 1);  // the loaded list again, no request
    EXPECT_EQ(svc.count("GetCategoryList"), 1u);
    EXPECT_EQ(form->typeview->rowLabels.size(), 2u);
    driver->tap(form->OpenBt);
    driver->tap(form->CloseBt);
    driver->tap(form->OpenBt);
    EXPECT_TRUE(form->is_open);

    alertAfterSubmit(form);
    sendFromBox(form);
    ASSERT_TRUE(driver->waitUntil([&] { return alertsWithMessage("提交成功") == 1; }));
    ns::Value p = svc.received("SubmitGroupVoice")["parameters"];
    EXPECT_EQ(p["user_name"].str(), "张三");
    EXPECT_EQ(p["category_id"].str(), "81");
    EXPECT_EQ(p["title"].str(), "修路");
    EXPECT_EQ(p["content"].str(), "村口的路坏了");
    EXPECT_EQ(p["user_tel"].str(), "13800000000");
    EXPECT_EQ(p["user_type"].str(), "1");
    EXPECT_EQ(p["is_open"].integerValue(), 1);
    EXPECT_TRUE(p["is_open"].isInteger());
    EXPECT_EQ(p["org_id"].str(), "12");
    driver->advance(1.0);
    EXPECT_FALSE(host->presentedViewController());
}

TEST_F(PetitionTest, RefusedPetitionKeepsTheFormAndItsEntries) {
    svc.reply("GetCategoryList", kCategories);
    svc.reply("SubmitGroupVoice", R"({"state":"failed","message":"手机号码有误"})");
    auto form = openForm();
    fill(form);
    choose(form, form->identityChooser, 1);
    alertAfterSubmit(form);
    sendFromBox(form);
    ASSERT_TRUE(driver->waitUntil([&] { return alertsWithMessage("手机号码有误") == 1; }));
    ns::Value p = svc.received("SubmitGroupVoice")["parameters"];
    EXPECT_EQ(p["user_type"].str(), "2");
    EXPECT_EQ(p["is_open"].integerValue(), 0);
    EXPECT_FALSE(form->userMsgview->isHidden());
    EXPECT_EQ(form->typeLabel->text(), "投诉");
    EXPECT_EQ(form->userMsgview->phoneField->text(), "13800000000");
}

TEST_F(PetitionTest, ConfirmTouchedAgainWhileThePetitionIsOnItsWaySendsItOnce) {
    svc.reply("GetCategoryList", kCategories);
    auto form = openForm();
    fill(form);
    alertAfterSubmit(form);
    // The box stays open while the petition is on its way: a second touch sends nothing.
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitGroupVoice", LoopbackService::status(500),
                                                [&] { sendFromBox(form); },
                                                [&] { driver->tap(form->userMsgview->confirmButton); }));

    // Once the first has failed, "确定" sends it again.
    settleService();
    svc.reply("SubmitGroupVoice", R"({"state":"successful","message":"提交成功"})");
    driver->tap(form->userMsgview->confirmButton);
    ASSERT_TRUE(driver->waitUntil([&] { return alertsWithMessage("提交成功") == 1; }));
    EXPECT_EQ(svc.count("SubmitGroupVoice"), 2u);
}

TEST_F(PetitionTest, TheTypePanelOpenedTwiceWhileTypesLoadOffersOnlyTheTypes) {
    svc.reply("GetCategoryList", LoopbackService::held(svc.result("GetCategoryList", kCategories)));
    auto form = openForm();
    driver->tap(form->identityChooser);
    ASSERT_TRUE(driver->tapText("党员"));
    EXPECT_EQ(form->identityLabel->text(), "党员");

    // The types are on their way: the panel has nothing to touch yet.
    driver->tap(form->typeChooser);
    ASSERT_FALSE(form->typeview->isHidden());
    EXPECT_TRUE(form->typeview->rowLabels.empty());
    driver->tap(form->typeview->cancelButton);
    driver->tap(form->typeChooser);
    ASSERT_TRUE(waitForRequests("GetCategoryList", 2));
    EXPECT_EQ(form->typeLabel->text(), "");

    svc.release();
    settleService();
    ASSERT_EQ(form->typeview->rowLabels.size(), 2u);
    driver->tap(form->typeview->rowLabels[1]);
    EXPECT_EQ(form->typeLabel->text(), "投诉");
    EXPECT_EQ(form->category_id, "81");
}

TEST_F(PetitionTest, ReturnInTheTextAreaInsertsNothing) {
    auto form = openForm();
    driver->tap(form->contentView);
    EXPECT_TRUE(form->label->isHidden());
    ASSERT_TRUE(driver->typeText(form->contentView, "路坏了\n"));
    EXPECT_EQ(form->contentView->text(), "路坏了");
    EXPECT_NE(driver->firstResponder(), form->contentView);
}

TEST_F(PetitionTest, RecordShowsItsHandlingRowsUnderGrowingLabels) {
    svc.reply("GetGroupVoiceRecord", kRecord);
    auto detail = ui::create<XinShengDetailViewController>();
    detail->feel_id = "9";
    showInNav(detail);
    ASSERT_TRUE(driver->waitUntil([&] { return !detail->mtableview->isHidden(); }));
    EXPECT_EQ(detail->labels.titleLabel->text(), "建议标题:修路[建议]");
    EXPECT_EQ(detail->labels.contentLabel->text(), "建议内容:村口的路坏了");
    EXPECT_EQ(detail->labels.stateLabel->text(), "状态:处理中");
    EXPECT_EQ(detail->labels.resultLabel->text(), "处理情况:");
    ui::Rect c = detail->labels.contentLabel->frame();
    EXPECT_EQ(detail->labels.stateLabel->frame().origin.y, c.origin.y + c.size.height + 5);
    EXPECT_EQ(detail->mtableview->frame().origin.y, detail->labels.bottom() + 5);

    auto table = detail->mtableview;
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    auto first = std::dynamic_pointer_cast<ReplyCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->titleLabel->text(), "处理人:王五 操作:回复");
    EXPECT_EQ(first->contentLabel->text(), "处理内容:");
    EXPECT_EQ(first->contentLabel->frame().origin.y, 25);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 0}).size.height,
              Utils::labelAutoCalculateRectWith("", 13, ui::Size{310, 10000}).height + 40);
}

TEST_F(PetitionTest, RecordWithoutHandlingShowsOnlyTheHeading) {
    svc.reply("GetGroupVoiceRecord", R"({"records":{"title":"修路","feel_handle":null}})");
    auto detail = ui::create<XinShengDetailViewController>();
    showInNav(detail);
    ASSERT_TRUE(driver->waitUntil([&] { return detail->labels.resultLabel->text() == "处理情况:"; }));
    EXPECT_TRUE(detail->mtableview->isHidden());
    EXPECT_EQ(detail->labels.timeLabel->text(), "建议时间:");
}

TEST_F(PetitionTest, HandlingListWithNothingWaitingSaysSo) {
    storeMember();
    svc.reply("GetGroupVoice", R"({"records":[]})");
    auto list = ui::create<MyDoneViewController>();
    showInNav(list);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetGroupVoice") == 1 && !list->list->isLoadingPage(); }));
    EXPECT_EQ(svc.received("GetGroupVoice")["parameters"]["user_id"].str(), "501");
    EXPECT_TRUE(driver->findViewWithText("暂无数据！"));
}

class HandlingTest : public PetitionTest {
protected:
    std::shared_ptr<MyXinShengDetailViewController> openHandling() {
        storeMember();
        auto screen = ui::create<MyXinShengDetailViewController>();
        screen->feel_id = "9";
        showInNav(screen);
        EXPECT_FALSE(screen->replyButton->isHidden());
        EXPECT_FALSE(screen->reportButton->isHidden());
        EXPECT_TRUE(driver->waitUntil([&] { return svc.count("GetGroupVoiceRecord") >= 1 && !ProgressHUD::isVisible(); }));
        return screen;
    }
};

TEST_F(HandlingTest, ButtonsFollowThePermissionsOfTheRecord) {
    for (auto [handle, report] : std::vector<std::pair<std::string, std::string>>{{"1", "0"}, {"0", "1"}, {"0", "0"}}) {
        svc.reply("GetGroupVoiceRecord", ns::format(R"({"is_handle":"%@","is_report":%@,"records":{}})", handle,
                                                    report == "1" ? "\"1\"" : "null"));
        auto screen = openHandling();
        ns::Value p = svc.received("GetGroupVoiceRecord")["parameters"];
        EXPECT_EQ(p["feel_id"].str(), "9");
        EXPECT_EQ(p["user_id"].str(), "501");
        EXPECT_EQ(screen->replyButton->isHidden(), handle != "1");
        EXPECT_EQ(screen->reportButton->isHidden(), report != "1");
    }
}

TEST_F(HandlingTest, StepNeedsATextAndCarriesItsAction) {
    svc.reply("GetGroupVoiceRecord", kRecord);
    svc.reply("SubmitGroupVoiceHandle", R"({"state":"failed","message":"无权操作"})");
    auto screen = openHandling();
    EXPECT_EQ(screen->labels.titleLabel->text(), "建议标题:修路[建议]");
    EXPECT_EQ(screen->mtableview->numberOfRowsInSection(0), 2);

    driver->tap(screen->replyButton);
    EXPECT_FALSE(screen->repview->isHidden());
    driver->tap(screen->repview->submitButton);
    EXPECT_EQ(driver->lastAlert()->messageText(), "请输入要回复的内容！");
    driver->pressAlertButton("确定");
    EXPECT_EQ(svc.count("SubmitGroupVoiceHandle"), 0u);

    // A refused step leaves the pop-up open with its text.
    screen->repview->contentView->setText("尽快处理");
    driver->tap(screen->repview->submitButton);
    ASSERT_TRUE(driver->waitUntil([&] { return alertsWithMessage("无权操作") == 1; }));
    driver->pressAlertButton("确定");
    EXPECT_EQ(svc.received("SubmitGroupVoiceHandle")["parameters"]["action"].str(), "回复");
    EXPECT_FALSE(screen->repview->isHidden());
    EXPECT_EQ(screen->repview->contentView->text(), "尽快处理");
    EXPECT_EQ(svc.count("GetGroupVoiceRecord"), 1u);

    driver->tap(screen->repview->closeButton);
    EXPECT_TRUE(screen->repview->isHidden());
    screen->report();
    driver->tap(screen->repview->submitButton);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("SubmitGroupVoiceHandle") == 2; }));
    ns::Value p = svc.received("SubmitGroupVoiceHandle")["parameters"];
    EXPECT_EQ(p["action"].str(), "上报");
    EXPECT_EQ(p["feel_id"].str(), "9");
    EXPECT_EQ(p["user_id"].str(), "501");
    EXPECT_EQ(p["handle_content"].str(), "尽快处理");
}

TEST_F(HandlingTest, SuccessfulStepHidesTheButtonsAndReloadsTheRecord) {
    svc.reply("GetGroupVoiceRecord", kRecord);
    svc.reply("SubmitGroupVoiceHandle", R"({"state":"successful","message":"回复成功"})");
    auto screen = openHandling();
    svc.reply("GetGroupVoiceRecord", LoopbackService::held(svc.result("GetGroupVoiceRecord", kRecord)));
    screen->reply();
    screen->repview->contentView->setText("已安排");
    driver->tap(screen->repview->submitButton);
    ASSERT_TRUE(driver->waitUntil([&] { return alertsWithMessage("回复成功") == 1; }));
    EXPECT_TRUE(screen->replyButton->isHidden());
    EXPECT_TRUE(screen->reportButton->isHidden());
    EXPECT_TRUE(screen->repview->isHidden());
    ASSERT_TRUE(waitForRequests("GetGroupVoiceRecord", 2));
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return !screen->replyButton->isHidden(); }));
    EXPECT_TRUE(screen->reportButton->isHidden());
}

}  // namespace

namespace {

TEST_F(HandlingTest, StepThatNeverArrivesLeavesThePopupToSendAgain) {
    svc.reply("GetGroupVoiceRecord", kRecord);
    auto screen = openHandling();
    screen->reply();
    screen->repview->contentView->setText("尽快处理");
    // Held, so the overlay can be seen before the failure takes it away;
    // touched again while the step is on its way, nothing more is sent.
    auto submit = [&] { driver->tap(screen->repview->submitButton); };
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitGroupVoiceHandle", LoopbackService::status(500), [&] {
        submit();
        EXPECT_EQ(ProgressHUD::currentStatus(), "提交中...");
    }, submit));
    ASSERT_TRUE(driver->waitUntil([&] { return !ProgressHUD::isVisible(); }));
    EXPECT_FALSE(screen->repview->isHidden());
    EXPECT_EQ(screen->repview->contentView->text(), "尽快处理");
    EXPECT_FALSE(screen->replyButton->isHidden());

    // Sent again, the step goes through.
    svc.reply("SubmitGroupVoiceHandle", R"({"state":"successful","message":"回复成功"})");
    driver->tap(screen->repview->submitButton);
    ASSERT_TRUE(driver->waitUntil([&] { return alertsWithMessage("回复成功") == 1; }));
    EXPECT_TRUE(screen->repview->isHidden());
}

}  // namespace
