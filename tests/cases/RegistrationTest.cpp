// The incident registration form: the type panel fed by the service, the
// time picker, the checks in their order, the request it sends, and what a
// submission leaves behind.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "cases/DJWGRearViewController.h"
#include "cases/TryingViewController.h"
#include "uikit/Image.h"

using namespace moduletest;

namespace {

class RegistrationTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        moduletest::ModuleTest::SetUp();
        storeMember("77", "王五");
        form = ui::create<TryingViewController>();
        reveal = openModule(form, ui::create<DJWGRearViewController>());
    }
    // Fills every value but the type, which comes from the panel.
    void fillTexts() {
        form->titleField->setText("路灯损坏");
        form->addressField->setText("东街口");
        form->timeField->setText("2014-05-14 09:30");
        form->peopleField->setText("李四");
        form->contentTextview->setText("三盏路灯不亮");
    }
    void chooseType(const std::string& types, long row) {
        svc.replyOnce("GetEnumList", svc.result("GetEnumList", types));
        driver->tap(form->typeLabel);
        ASSERT_FALSE(form->typeview->isHidden());
        ASSERT_TRUE(driver->waitUntil([&] { return !form->typeview->rowLabels.empty(); }));
        driver->tap(form->typeview->rowLabels.at(static_cast<std::size_t>(row)));
    }
    std::string submitAndReadAlert() {
        driver->tap(form->submitButton);
        return driver->topPopup() ? alertMessage() : "";
    }

    std::shared_ptr<TryingViewController> form;
    std::shared_ptr<RevealController> reveal;
};

TEST_F(RegistrationTest, LayoutAndTopBar) {
    EXPECT_EQ(form->naview->titleLabel->text(), "登记排查");
    EXPECT_TRUE(form->naview->leftButton->isHidden());
    EXPECT_EQ(form->mscrv->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    EXPECT_EQ(form->titleField->placeholder(), "请输入主题");
    EXPECT_EQ(form->timeField->inputView(), form->timePicker);
    EXPECT_EQ(form->submitButton->frame(), (ui::Rect{85, 340, 150, 40}));
    EXPECT_TRUE(form->typeview->isHidden());
    EXPECT_FALSE(form->istag);
    // The menu button opens the container's menu.
    driver->tap(form->menuButton);
    driver->advance(SlideRevealController::kToggleDuration);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
}

TEST_F(RegistrationTest, TypePanelLoadsTheServiceListEachTimeItOpens) {
    chooseType(R"({"records":[{"key":"治安"},{"key":"环境"},"junk",{"key":3}]})", 1);
    EXPECT_EQ(svc.received("GetEnumList")["parameters"]["name"].str(), "EventType");
    EXPECT_EQ(form->typeview->titleStr(), "请选择事件类型");
    EXPECT_EQ(form->typeLabel->text(), "环境");
    EXPECT_TRUE(form->typeview->isHidden());
    EXPECT_EQ(form->dataArray.count(), 3u);

    // An empty list opens the panel without rows; "取消" keeps the choice.
    svc.replyOnce("GetEnumList", svc.result("GetEnumList", R"({"records":[]})"));
    driver->tap(form->typeLabel);
    ASSERT_TRUE(waitForRequests("GetEnumList", 2));
    ASSERT_TRUE(driver->waitUntil([&] { return form->typeview->rowLabels.empty(); }));
    form->typeview->cancelView();
    EXPECT_TRUE(form->typeview->isHidden());
    EXPECT_EQ(form->typeLabel->text(), "环境");

}

// A list of thousands of types shows each in order, 50 points apart; the
// last, scrolled to, is chosen, and the next list replaces them all.
TEST_F(RegistrationTest, AListOfThousandsOfTypesShowsEachInOrder) {
    constexpr int kTypes = 10000;
    ns::Value rows = ns::Value::array();
    for (int i = 0; i < kTypes; ++i) rows.push(ns::Value::dictionary({{"key", ns::format("类型%d", i)}}));
    svc.reply("GetEnumList", svc.result("GetEnumList", json(ns::Value::dictionary({{"records", rows}}))));
    auto panel = form->typeview;
    const std::size_t besides = panel->scrollView->subviewCount();
    driver->tap(form->typeLabel);
    ASSERT_TRUE(driver->waitUntil([&] { return panel->rowLabels.size() == kTypes; }));
    EXPECT_EQ(panel->scrollView->subviewCount(), besides + 2 * kTypes);
    for (int i = 0; i < kTypes; ++i) {
        const auto& label = panel->rowLabels[static_cast<std::size_t>(i)];
        ASSERT_EQ(label->text(), ns::format("类型%d", i));
        ASSERT_EQ(label->frame().origin.y, 50.0 * i);
    }
    const ui::Size content = panel->scrollView->contentSize();
    panel->scrollView->setContentOffset(ui::Point{0, content.height - panel->scrollView->bounds().size.height});
    driver->tap(panel->rowLabels.back());
    EXPECT_EQ(form->typeLabel->text(), ns::format("类型%d", kTypes - 1));

    chooseType(R"({"records":[{"key":"治安"},{"key":"环境"}]})", 1);
    EXPECT_EQ(form->typeLabel->text(), "环境");
    EXPECT_EQ(panel->scrollView->subviewCount(), besides + 4);
}

TEST_F(RegistrationTest, TheTypePanelOpenedTwiceBeforeTheListCameListsEachTypeOnce) {
    chooseType(R"({"records":[{"key":"治安"},{"key":"环境"}]})", 0);
    svc.reply("GetEnumList", LoopbackService::held(svc.result("GetEnumList", R"({"records":[{"key":"消防"},{"key":"交通"}]})")));
    driver->tap(form->typeLabel);
    // The old rows are gone while the new list is on its way.
    EXPECT_TRUE(form->typeview->rowLabels.empty());
    driver->tap(form->typeview->cancelButton);
    driver->tap(form->typeLabel);
    ASSERT_TRUE(waitForRequests("GetEnumList", 3));
    svc.release();
    settleService();
    ASSERT_EQ(form->typeview->rowLabels.size(), 2u);
    driver->tap(form->typeview->rowLabels[1]);
    EXPECT_EQ(form->typeLabel->text(), "交通");
}

TEST_F(RegistrationTest, ChecksStopAtTheFirstMissingValue) {
    EXPECT_EQ(submitAndReadAlert(), "请选择事件类型");
    EXPECT_EQ(driver->lastAlert()->title(), "温馨提示");
    driver->pressAlertButton("确定");

    chooseType(R"({"records":[{"key":"治安"}]})", 0);
    EXPECT_EQ(submitAndReadAlert(), "请输入主题");
    driver->pressAlertButton("确定");
    form->titleField->setText("主题");
    EXPECT_EQ(submitAndReadAlert(), "请输入事件地点");
    driver->pressAlertButton("确定");
    form->addressField->setText("地点");

    // A time cancelled on the picker stays empty.
    ASSERT_TRUE(driver->tap(form->timeField));
    driver->tap(form->timePicker->cancelButton);
    EXPECT_EQ(form->timeField->text(), "");
    EXPECT_EQ(submitAndReadAlert(), "请选择事件");
    driver->pressAlertButton("确定");

    ASSERT_TRUE(driver->tap(form->timeField));
    std::string picked = form->timePicker->pickedText();
    driver->tap(form->timePicker->doneButton);
    EXPECT_EQ(form->timeField->text(), picked);
    EXPECT_EQ(picked.size(), std::string("2014-01-01 00:00").size());
    EXPECT_EQ(submitAndReadAlert(), "请输入负责人");
    driver->pressAlertButton("确定");
    form->peopleField->setText("李四");
    EXPECT_EQ(submitAndReadAlert(), "请输入事件描述");
    driver->pressAlertButton("确定");
    EXPECT_EQ(svc.count("SubmitEvent"), 0u);
    // What was typed stays.
    EXPECT_EQ(form->titleField->text(), "主题");
    EXPECT_EQ(form->addressField->text(), "地点");
}

TEST_F(RegistrationTest, SubmitsTheFormAndClearsItButTheUrgentFlag) {
    chooseType(R"({"records":[{"key":"治安"}]})", 0);
    fillTexts();
    form->contentTextview->setText("   ");  // blanks count as a description
    driver->tap(form->tagButton);
    EXPECT_TRUE(form->istag);
    EXPECT_EQ(form->tagButton->backgroundImageForState(ui::ControlStateNormal), ui::Image::imageNamed("have_shangji.png"));

    svc.replyOnce("SubmitEvent", svc.result("SubmitEvent", R"({"state":"successful","message":"ok"})"));
    driver->tap(form->submitButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "提交成功！");
    ns::Value p = svc.received("SubmitEvent")["parameters"];
    EXPECT_EQ(p["user_id"].integerValue(), 77);
    EXPECT_EQ(p["title"].str(), "路灯损坏");
    EXPECT_EQ(p["content"].str(), "   ");
    EXPECT_EQ(p["category"].str(), "治安");
    EXPECT_EQ(p["charge"].str(), "李四");
    EXPECT_EQ(p["tag"].integerValue(), 1);
    EXPECT_EQ(p["place"].str(), "东街口");
    EXPECT_EQ(p["date_time"].str(), "2014-05-14 09:30");
    EXPECT_EQ(p.keys(), (std::vector<std::string>{"user_id", "title", "content", "category", "charge", "tag",
                                                  "place", "date_time"}));
    EXPECT_TRUE(hudClosed());
    for (auto text : {form->typeLabel->text(), form->titleField->text(), form->addressField->text(),
                      form->timeField->text(), form->peopleField->text(), form->contentTextview->text()}) {
        EXPECT_EQ(text, "");
    }
    EXPECT_TRUE(form->istag);
    driver->pressAlertButton("确定");

    // The box stays ticked for the next entry until it is unticked.
    chooseType(R"({"records":[{"key":"环境"}]})", 0);
    fillTexts();
    svc.replyOnce("SubmitEvent", svc.result("SubmitEvent", R"({"state":"successful"})"));
    driver->tap(form->submitButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(svc.received("SubmitEvent")["parameters"]["tag"].integerValue(), 1);
    driver->pressAlertButton("确定");
    driver->tap(form->tagButton);
    EXPECT_FALSE(form->istag);
    EXPECT_EQ(form->tagButton->backgroundImageForState(ui::ControlStateNormal), ui::Image::imageNamed("no_shangji.png"));
}

TEST_F(RegistrationTest, RefusedOrFailedSubmissionKeepsTheForm) {
    chooseType(R"({"records":[{"key":"治安"}]})", 0);
    fillTexts();
    svc.replyOnce("SubmitEvent", svc.result("SubmitEvent", R"({"state":"failed","message":"主题重复"})"));
    driver->tap(form->submitButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "主题重复");
    EXPECT_TRUE(hudClosed());
    EXPECT_EQ(form->titleField->text(), "路灯损坏");
    EXPECT_EQ(form->typeLabel->text(), "治安");
    driver->pressAlertButton("确定");

    // No message of its own: the failure text.
    svc.replyOnce("SubmitEvent", svc.result("SubmitEvent", R"({"state":1})"));
    driver->tap(form->submitButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "提交失败！");
    driver->pressAlertButton("确定");

    svc.replyOnce("SubmitEvent", LoopbackService::held(LoopbackService::status(500)));
    driver->tap(form->submitButton);
    ASSERT_TRUE(waitForRequests("SubmitEvent", 3));
    EXPECT_EQ(ProgressHUD::currentStatus(), "提交中...");
    svc.release();
    EXPECT_TRUE(hudClosed());
    EXPECT_EQ(driver->topPopup(), nullptr);
    EXPECT_EQ(form->contentTextview->text(), "三盏路灯不亮");
}

TEST_F(RegistrationTest, SubmitTouchedAgainWhileTheEventIsOnItsWaySendsItOnce) {
    chooseType(R"({"records":[{"key":"治安"}]})", 0);
    fillTexts();
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitEvent", LoopbackService::status(500),
                                                [&] { driver->tap(form->submitButton); }));

    // Once the first has failed, the form sends again.
    EXPECT_TRUE(hudClosed());
    svc.reply("SubmitEvent", svc.result("SubmitEvent", R"({"state":"successful"})"));
    driver->tap(form->submitButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "提交成功！");
    EXPECT_EQ(svc.count("SubmitEvent"), 2u);
}

TEST_F(RegistrationTest, ReturnAndNewlinePutTheKeyboardAway) {
    ASSERT_TRUE(driver->typeText(form->titleField, "主题"));
    EXPECT_TRUE(driver->pressReturn());
    EXPECT_FALSE(form->titleField->isFirstResponder());
    EXPECT_EQ(form->mscrv->contentOffset(), (ui::Point{0, 0}));

    ASSERT_TRUE(driver->typeText(form->contentTextview, "描述\n"));
    EXPECT_EQ(form->contentTextview->text(), "描述");
    EXPECT_FALSE(form->contentTextview->isFirstResponder());
    EXPECT_EQ(form->mscrv->contentOffset(), (ui::Point{0, 0}));
}

}  // namespace
