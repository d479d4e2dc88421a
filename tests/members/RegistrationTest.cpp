// The members' homes' registration: the module's standalone form (checks of
// name and age, nothing sent) and the homes' 网上登记 tab (the three pickers,
// the seven checks in order, the request and what its answer leaves).
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/OrgViewController.h"
#include "app/framework/RevealController.h"
#include "app/widgets/CityLocateView.h"
#include "members/MobilePartyViewController.h"
#include "members/QuorvelPartViewController.h"
#include "members/VUDIFrontViewController.h"
#include "members/VUDIRearViewController.h"

using namespace moduletest;

namespace {

// ---- The standalone form ----

class StandaloneFormTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        form = ui::create<VUDIFrontViewController>();
        reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(form),
                                              ui::create<VUDIRearViewController>());
        nav->pushViewController(reveal, false);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    std::shared_ptr<VUDIFrontViewController> form;
    std::shared_ptr<RevealController> reveal;
};

TEST_F(StandaloneFormTest, ChecksTheNameFirstThenTheAgeAndSendsNothing) {
    EXPECT_EQ(form->naview->titleLabel->text(), "网上登记");
    EXPECT_TRUE(form->naview->leftButton->isHidden());
    EXPECT_EQ(form->mscrview->contentSize(), (ui::Size{320, 704}));
    struct Step {
        const char* name;
        const char* age;
        const char* alert;  // "" for none
    };
    const Step steps[] = {
        {"", "", "请输入姓名"}, {"", "30", "请输入姓名"}, {"张三", "", "请输入年龄"}, {"张三", "30", ""}};
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.name) + "/" + step.age);
        form->nameField->setText("");
        form->ageField->setText("");
        if (*step.name) driver->typeText(form->nameField, step.name);
        if (*step.age) driver->typeText(form->ageField, step.age);
        // Return in the phone field puts the keyboard away, off the button.
        driver->typeText(form->phoneField, "\n");
        driver->tap(form->submitButton);
        EXPECT_EQ(takeAlert(), step.alert);
        EXPECT_EQ(driver->topPopup(), nullptr);
    }
    settleService();
    EXPECT_EQ(svc.count("SubmitOnlineReg"), 0u);

    // The speciality box scrolls the form up; Return ends it without a line break.
    ASSERT_TRUE(driver->typeText(form->specialtyTextview, "木工"));
    EXPECT_EQ(form->mscrview->contentOffset(), (ui::Point{0, 250}));
    ASSERT_TRUE(driver->pressReturn());
    EXPECT_EQ(form->specialtyTextview->text(), "木工");
    EXPECT_EQ(form->mscrview->contentOffset(), (ui::Point{0, 0}));

    // The menu button opens the module's menu.
    driver->tap(form->menuButton);
    driver->advance(SlideRevealController::kToggleDuration);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
}

// ---- The homes' 网上登记 tab ----

// One county with one organisation under it.
std::string orgLevel(const ns::Value& parameters) {
    if (parameters["type"].text() == "county") return R"({"records":[{"id":"10","name":"北岸县委"}]})";
    if (parameters["id"].text() == "10") return R"({"records":[{"id":"11","name":"北岸镇党委"}]})";
    return R"({"records":[]})";
}

constexpr const char* kRegistered = R"({"state":"successful","message":"登记成功"})";

class OnlineRegistrationTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        svc.handle("GetOrgList", [this](const LoopbackService::Received& r) {
            return svc.result("GetOrgList", orgLevel(r.argument["parameters"]));
        });
        svc.reply("SubmitOnlineReg", kRegistered);
        home = push<MobilePartyViewController>();
        driver->tap(home->dengjiBt);
        form = home->regview;
    }

    void pickDate(long month) {
        ASSERT_TRUE(driver->typeText(form->JonPartyField, ""));
        ASSERT_TRUE(driver->findViewWithText("选择时间"));
        ASSERT_TRUE(form->datePicker->picker->spinToRow(month - 1, 1));
        driver->tap(form->datePicker->doneButton);
    }
    void pickPlace(const char* button) {
        driver->fireGesture<ui::TapGestureRecognizer>(form->jiguan_Label);
        auto sheet = std::dynamic_pointer_cast<CityLocateView>(driver->topPopup());
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->title(), "请选择籍贯");
        ASSERT_TRUE(driver->pressAlertButton(button));
    }
    void pickOrganisation() {
        driver->fireGesture<ui::TapGestureRecognizer>(form->xianLabel);
        auto picker = std::dynamic_pointer_cast<OrgViewController>(nav->topViewController());
        ASSERT_TRUE(picker);
        ASSERT_TRUE(driver->waitUntil([&] { return driver->findViewWithText("北岸县委") != nullptr; }));
        driver->tapText("北岸县委");
        ASSERT_TRUE(driver->waitUntil([&] { return driver->findViewWithText("北岸镇党委") != nullptr; }));
        driver->tapText("北岸镇党委");
        ASSERT_TRUE(driver->waitUntil([&] { return picker->depth() == 3; }));
        driver->tapText("确定");
        driver->advance(1.0);
        ASSERT_EQ(nav->topViewController(), home);
    }
    void fillAll() {
        driver->typeText(form->nameField, "张三");
        driver->typeText(form->ageField, "35");
        driver->typeText(form->nationalField, "汉族");
        pickDate(7);
        driver->typeText(form->phoneField, "13812345678");
        pickPlace("确定");
        pickOrganisation();
        driver->typeText(form->specialtyTextview, "木工\n");
    }
    // A finger on the form's empty right-hand side moves it by dy.
    void scrollForm(double dy) { driver->dragFrom(ui::Point{300, 336}, ui::Point{0, dy}); }
    // The form scrolled to its foot, where "提交" is, and the button touched.
    void tapSubmit() {
        scrollForm(-320);
        driver->tap(form->submitButton);
    }
    // The alert of a submission; the form is then scrolled back to its top.
    std::string submit() {
        tapSubmit();
        std::string alert = waitForAlert() ? takeAlert() : "";
        scrollForm(320);
        return alert;
    }

    std::shared_ptr<MobilePartyViewController> home;
    std::shared_ptr<OnlineRegistrationView> form;
};

TEST_F(OnlineRegistrationTest, FilledThroughThePickersAndSentInOrder) {
    EXPECT_EQ(form->frame(), (ui::Rect{0, 104, 320, 464}));
    EXPECT_EQ(form->mscrview->contentSize(), (ui::Size{320, 784}));
    EXPECT_EQ(form->JonPartyField->inputView(), form->datePicker);
    fillAll();
    EXPECT_EQ(form->JonPartyField->text(), "2015-07-01");
    EXPECT_EQ(form->jiguan_Label->text(), "北京市-东城区");
    EXPECT_EQ(form->xianLabel->text(), "北岸镇党委");
    driver->tap(form->girlBt);

    svc.reply("SubmitOnlineReg", LoopbackService::held(svc.result("SubmitOnlineReg", kRegistered)));
    tapSubmit();
    ASSERT_TRUE(waitForRequests("SubmitOnlineReg", 1));
    EXPECT_EQ(ProgressHUD::currentStatus(), "登记中...");
    svc.release();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "登记成功");
    EXPECT_FALSE(ProgressHUD::isVisible());
    const auto sent = svc.requests("SubmitOnlineReg").at(0);
    EXPECT_EQ(*sent.jsonString,
              R"({"parameters":{"real_name":"张三","age":35,"sex":"女","nation":"汉族","party_time":"2015-07-01",)"
              R"("tel":"13812345678","native":"北京市-东城区","specialty":"木工","type":2,"org_id":11}})");

    // Taken: the entries are emptied, the sex stays; the next one needs every value again.
    for (const auto& field : {form->nameField, form->ageField, form->nationalField, form->JonPartyField, form->phoneField})
        EXPECT_EQ(field->text(), "");
    EXPECT_EQ(form->jiguan_Label->text(), "");
    EXPECT_EQ(form->xianLabel->text(), "");
    EXPECT_EQ(form->specialtyTextview->text(), "");
    EXPECT_EQ(form->sex, "女");
    EXPECT_EQ(submit(), "请输入姓名");
}

TEST_F(OnlineRegistrationTest, TheSevenChecksComeInOrder) {
    EXPECT_EQ(submit(), "请输入姓名");
    form->nameField->setText("张三");
    EXPECT_EQ(submit(), "请输入年龄");
    form->ageField->setText("35");
    EXPECT_EQ(submit(), "请输入民族");
    form->nationalField->setText("汉族");
    EXPECT_EQ(submit(), "请选择入党时间");
    pickDate(1);
    EXPECT_EQ(submit(), "请输入你的电话");
    form->phoneField->setText("138");
    EXPECT_EQ(submit(), "请选择你的籍贯");
    pickPlace("确定");
    EXPECT_EQ(submit(), "请选择所属县");
    // Cancelling the sheet empties a place chosen before.
    pickPlace("取消");
    EXPECT_EQ(form->jiguan_Label->text(), "");
    EXPECT_EQ(submit(), "请选择你的籍贯");
    settleService();
    EXPECT_EQ(svc.count("SubmitOnlineReg"), 0u);

    // Only the homes' two types open the organisation picker.
    form->setType("4");
    driver->fireGesture<ui::TapGestureRecognizer>(form->xianLabel);
    EXPECT_EQ(nav->topViewController(), home);
    auto quorvel = push<QuorvelPartViewController>();
    driver->tap(quorvel->dengjiBt);
    driver->fireGesture<ui::TapGestureRecognizer>(quorvel->regview->xianLabel);
    EXPECT_TRUE(std::dynamic_pointer_cast<OrgViewController>(nav->topViewController()));
}

TEST_F(OnlineRegistrationTest, ARefusedRegistrationKeepsTheEntries) {
    svc.reply("SubmitOnlineReg", R"({"state":"failed","message":"该手机号已登记"})");
    fillAll();
    EXPECT_EQ(submit(), "该手机号已登记");
    EXPECT_EQ(form->nameField->text(), "张三");
    EXPECT_EQ(form->xianLabel->text(), "北岸镇党委");
    EXPECT_EQ(form->specialtyTextview->text(), "木工");
    // Not even JSON: still a refusal, said so.
    svc.reply("SubmitOnlineReg", "oops");
    EXPECT_EQ(submit(), "登记失败");
    EXPECT_EQ(form->phoneField->text(), "13812345678");
    EXPECT_EQ(svc.count("SubmitOnlineReg"), 2u);

    // The speciality box scrolls the form to 280; Return scrolls it back, adding no line.
    ASSERT_TRUE(driver->typeText(form->specialtyTextview, ""));
    EXPECT_EQ(form->mscrview->contentOffset(), (ui::Point{0, 280}));
    ASSERT_TRUE(driver->pressReturn());
    EXPECT_EQ(form->mscrview->contentOffset(), (ui::Point{0, 0}));
    EXPECT_EQ(form->specialtyTextview->text(), "木工");
}

TEST_F(OnlineRegistrationTest, SubmitTouchedAgainWhileTheRegistrationIsOnItsWaySendsItOnce) {
    fillAll();
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitOnlineReg", LoopbackService::status(500),
                                                [&] { tapSubmit(); }, [&] { driver->tap(form->submitButton); }));

    // Once it has failed, the form sends again.
    settleService();
    svc.reply("SubmitOnlineReg", kRegistered);
    driver->tap(form->submitButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "登记成功");
    EXPECT_EQ(svc.count("SubmitOnlineReg"), 2u);
}

TEST_F(OnlineRegistrationTest, LeavingMidRequestTakesTheOverlayDown) {
    svc.reply("SubmitOnlineReg", LoopbackService::held(svc.result("SubmitOnlineReg", R"({"state":"successful"})")));
    fillAll();
    tapSubmit();
    ASSERT_TRUE(waitForRequests("SubmitOnlineReg", 1));
    EXPECT_TRUE(ProgressHUD::isVisible());
    nav->popViewControllerAnimated(false);
    EXPECT_FALSE(ProgressHUD::isVisible());
    svc.release();
    settleService();
}

}  // namespace
