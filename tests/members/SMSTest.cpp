// The SMS platform: the form's two layouts, the checks before sending, the
// recipients from the picker and by hand, the request sent, and the replies.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "members/SMSViewController.h"

using namespace moduletest;

namespace {

constexpr const char* kTree =
    R"({"records":[{"id":"1","name":"县委","level":1,"child_org":[{"id":"11","name":"一支部","level":2,"child_org":[]}]}]})";
constexpr const char* kPeople =
    R"({"records":[{"real_name":"张三","user_name":"13800000001"},{"real_name":"李四","user_name":"13800000002"}]})";

class SMSTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        svc.reply("GetOrgList", kTree);
        svc.reply("GetOrgUser", kPeople);
    }
    std::shared_ptr<SMSViewController> open() {
        nav->setNavigationBarHidden(true);
        auto sms = push<SMSViewController>();
        EXPECT_TRUE(driver->waitUntil([&] { return sms->trview->treeViewArray.size() == 2; }));
        return sms;
    }
    // Picks every member of the tree through the picker.
    void pickAll(const std::shared_ptr<SMSViewController>& sms) {
        driver->tap(sms->bookBt);
        ASSERT_FALSE(sms->trview->isHidden());
        driver->fireGesture<ui::TapGestureRecognizer>(sms->trview->treeViewArray[0]->selectimagev);
        driver->tap(sms->trview->addButton);
        ASSERT_TRUE(driver->waitUntil([&] { return sms->trview->peopleTicks.size() == 2; }));
        driver->tap(sms->trview->okButton);
        EXPECT_TRUE(sms->trview->isHidden());
    }
    void chooseType(const std::shared_ptr<SMSViewController>& sms, const std::string& text) {
        driver->tap(sms->typeLabel);
        ASSERT_FALSE(sms->typeview->isHidden());
        EXPECT_EQ(sms->typeview->titleStr(), "请选择短信类型");
        ASSERT_TRUE(driver->tapText(text));
        EXPECT_TRUE(sms->typeview->isHidden());
    }
    void typeNumber(const std::shared_ptr<SMSViewController>& sms, const std::string& number) {
        sms->phoneField->setText("");
        driver->typeText(sms->phoneField, number);
        driver->tap(sms->addBt);
    }
    std::string sendExpectingAlert(const std::shared_ptr<SMSViewController>& sms) {
        driver->tap(sms->sendBt);
        EXPECT_TRUE(waitForAlert());
        return takeAlert();
    }
};

TEST_F(SMSTest, AGreetingGoesToThePickedMembers) {
    auto sms = open();
    EXPECT_EQ(sms->typeLabel->text(), "政治问候");
    EXPECT_TRUE(sms->titleFiel->isHidden());
    EXPECT_EQ(sms->sendBt->frame().origin.y, 239);
    EXPECT_EQ(sendExpectingAlert(sms), "请选择通讯录");

    pickAll(sms);
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002");
    svc.reply("SubmitMessage", LoopbackService::held(svc.result("SubmitMessage",
                                                                R"({"state":"successful","message":"已提交发送"})")));
    driver->tap(sms->sendBt);
    ASSERT_TRUE(waitForRequests("SubmitMessage", 1));
    driver->runPending();
    EXPECT_EQ(ProgressHUD::currentStatus(), "发送中...");
    EXPECT_FALSE(sms->glview->isHidden());
    auto sent = svc.received("SubmitMessage")["parameters"];
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"title", "content", "number_list", "send_type"}));
    EXPECT_EQ(sent["title"].str(), "");
    EXPECT_EQ(sent["content"].str(), "");
    EXPECT_EQ(sent["number_list"].str(), "13800000001;13800000002");
    EXPECT_EQ(sent["send_type"].str(), "1");
    svc.release();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "已提交发送");
    EXPECT_TRUE(sms->glview->isHidden());
    EXPECT_EQ(sms->phonetextview->text(), "");
}

TEST_F(SMSTest, AGeneralMessageIsCheckedInOrder) {
    auto sms = open();
    chooseType(sms, "一般短信");
    EXPECT_EQ(sms->typeLabel->text(), "一般短信");
    EXPECT_EQ(sms->typeID, "3");
    EXPECT_FALSE(sms->titleFiel->isHidden());
    EXPECT_EQ(sms->phoneField->frame(), (ui::Rect{70, 229, 150, 30}));
    EXPECT_EQ(sms->bookBt->frame().origin.y, 269);
    EXPECT_EQ(sms->sendBt->frame().origin.y, 394);

    EXPECT_EQ(sendExpectingAlert(sms), "请输入主题");
    driver->typeText(sms->titleFiel, "通知\n");
    EXPECT_EQ(sendExpectingAlert(sms), "请输入内容");
    driver->typeText(sms->condtentTextview, "明天开会\n");
    EXPECT_EQ(sendExpectingAlert(sms), "请选择人员或手动添加电话号码");
    typeNumber(sms, "13900000000");
    svc.reply("SubmitMessage", R"({"state":"successful","message":"发送成功"})");
    EXPECT_EQ(sendExpectingAlert(sms), "发送成功");
    auto sent = svc.received("SubmitMessage")["parameters"];
    EXPECT_EQ(sent["title"].str(), "通知");
    EXPECT_EQ(sent["content"].str(), "明天开会");
    EXPECT_EQ(sent["number_list"].str(), "13900000000");
    EXPECT_EQ(sent["send_type"].str(), "3");
    EXPECT_EQ(sms->titleFiel->text(), "");
    EXPECT_EQ(sms->condtentTextview->text(), "");
    EXPECT_EQ(sms->typeLabel->text(), "一般短信");
}

TEST_F(SMSTest, TypedNumbersFollowThePickedOnes) {
    auto sms = open();
    pickAll(sms);
    chooseType(sms, "一般短信");
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002");
    driver->typeText(sms->titleFiel, "主题");
    typeNumber(sms, "13900000001");
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002;13900000001");
    EXPECT_EQ(sms->titleFiel->text(), "主题");
    EXPECT_EQ(sms->phoneField->text(), "13900000001");
    typeNumber(sms, "13900000002");
    EXPECT_EQ(sms->phonetextview->text(), "13900000002");
    // An empty field adds nothing.
    sms->phoneField->setText("  ");
    driver->tap(sms->addBt);
    EXPECT_EQ(sms->phonetextview->text(), "13900000002");

    // Back to a greeting: the texts stay but are not sent.
    chooseType(sms, "生日问候");
    EXPECT_TRUE(sms->titleFiel->isHidden());
    EXPECT_EQ(sms->titleFiel->text(), "主题");
    svc.reply("SubmitMessage", R"({"state":"successful","message":"ok"})");
    EXPECT_EQ(sendExpectingAlert(sms), "ok");
    auto sent = svc.received("SubmitMessage")["parameters"];
    EXPECT_EQ(sent["title"].str(), "");
    EXPECT_EQ(sent["send_type"].str(), "2");
}

TEST_F(SMSTest, PickingTheSameMembersTwiceThenTypingANumberSendsToEachOnce) {
    auto sms = open();
    auto confirmAgain = [&] {
        driver->tap(sms->bookBt);
        driver->tap(sms->trview->okButton);
    };
    pickAll(sms);
    chooseType(sms, "一般短信");
    confirmAgain();
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002");
    typeNumber(sms, "13800000002");  // typed by hand and picked too
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002");
    confirmAgain();
    typeNumber(sms, "13900000001");
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002;13900000001");
    driver->typeText(sms->titleFiel, "通知\n");
    driver->typeText(sms->condtentTextview, "开会\n");
    svc.reply("SubmitMessage", R"({"state":"successful","message":"ok"})");
    EXPECT_EQ(sendExpectingAlert(sms), "ok");
    EXPECT_EQ(svc.received("SubmitMessage")["parameters"]["number_list"].str(), "13800000001;13800000002;13900000001");
}

// The picker hands over everyone confirmed so far, earlier picks included:
// a hundred thousand members come to each number once, in the order first
// met, and at once.
TEST_F(SMSTest, AHundredThousandPickedMembersAreGatheredOnceEach) {
    auto sms = open();
    auto number = [](int i) { return ns::format("138%08d", i); };
    ns::Value members = ns::Value::array();
    for (int i = 0; i < 100000; ++i) members.push(ns::Value::dictionary({{"user_name", number(i % 50000)}}));
    sms->phoneArray(members);
    sms->phoneArray(members);  // confirmed again
    const auto numbers = ns::componentsSeparatedByString(sms->phonetextview->text(), ";");
    ASSERT_EQ(numbers.size(), 50000u);
    EXPECT_EQ(numbers.front(), number(0));
    EXPECT_EQ(numbers[1], number(1));
    EXPECT_EQ(numbers.back(), number(49999));
}

TEST_F(SMSTest, ReturnInTheContentClosesTheKeyboard) {
    auto sms = open();
    chooseType(sms, "一般短信");
    driver->typeText(sms->condtentTextview, "第一行\n");
    EXPECT_EQ(sms->condtentTextview->text(), "第一行");
    EXPECT_NE(driver->firstResponder(), sms->condtentTextview);
    driver->typeText(sms->titleFiel, "x\n");
    EXPECT_EQ(driver->firstResponder(), nullptr);
}

TEST_F(SMSTest, RefusedAndFailedSendsKeepTheForm) {
    auto sms = open();
    pickAll(sms);
    svc.reply("SubmitMessage", R"({"state":"failed","message":"余额不足"})");
    EXPECT_EQ(sendExpectingAlert(sms), "余额不足");
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002");
    EXPECT_TRUE(sms->glview->isHidden());

    svc.reply("SubmitMessage", LoopbackService::status(500));
    driver->tap(sms->sendBt);
    ASSERT_TRUE(waitForRequests("SubmitMessage", 2));
    settleService();
    EXPECT_TRUE(sms->glview->isHidden());
    EXPECT_EQ(sms->phonetextview->text(), "13800000001;13800000002");
    EXPECT_EQ(driver->topPopup(), nullptr);
}

TEST_F(SMSTest, TheLocalComposer) {
    auto sms = open();
    pickAll(sms);
    ui::MessageComposeViewController::setClassAvailable(false);
    sms->showSMSPicker();
    EXPECT_EQ(takeAlert(), "iOS版本过低,iOS4.0以上才支持程序内发送短信");
    ui::MessageComposeViewController::setClassAvailable(true);
    ui::MessageComposeViewController::setCanSendText(false);
    sms->showSMSPicker();
    EXPECT_EQ(takeAlert(), "设备没有短信功能");
    ui::MessageComposeViewController::setCanSendText(true);
    sms->showSMSPicker();
    driver->advance(1.0);
    auto composer = std::dynamic_pointer_cast<ui::MessageComposeViewController>(nav->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->recipients(), (std::vector<std::string>{"13800000001;13800000002"}));
    composer->finishWithResult(ui::MessageComposeResultSent);
    EXPECT_EQ(takeAlert(), "发送成功");
    driver->advance(1.0);
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    ui::resetStandInsForTesting();
}

}  // namespace
