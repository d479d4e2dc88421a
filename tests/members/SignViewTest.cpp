// The monthly sign-in panel: its month key and title, stepping, the grid, and
// a sign-in that brings the current month back under its own title.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "members/SignView.h"

using namespace moduletest;

namespace {

class SignViewTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        setToday(2015, 3, 10);
        svc.handle("GetSign", [this](const LoopbackService::Received& r) {
            const std::string key = r.argument["parameters"]["year_month"].str();
            if (key == "2015-3") return svc.result("GetSign", monthReply("2015-03", {10, 2}));
            if (key == "2015-1") return svc.result("GetSign", monthReply("2015-01", {31}));
            return svc.result("GetSign", monthReply(key, {}));
        });
    }
    std::shared_ptr<SignView> open() {
        nav->setNavigationBarHidden(true);
        auto panel = ui::create<SignView>(root->view()->bounds());
        root->view()->addSubview(panel);
        ui::Application::sharedApplication().layoutIfNeeded();
        settle();
        return panel;
    }
    void settle() {
        EXPECT_TRUE(waitForRequests("GetSign", ++asked));
        settleService();
    }
    void tap(const std::shared_ptr<ui::Button>& button) {
        driver->tap(button);
        settle();
    }
    static std::vector<std::string> ringed(const SignView& panel) {
        std::vector<std::string> out;
        for (auto& label : panel.labelArray) {
            if (label->backgroundColor() == ui::Color::redColor()) out.push_back(label->text());
        }
        return out;
    }
    std::string sentMonth() const { return svc.last("GetSign")->argument["parameters"]["year_month"].str(); }
    std::size_t asked = 0;
};

TEST_F(SignViewTest, MonthKeyHasNoLeadingZeroAndTheTitleNamesTheMonth) {
    auto panel = open();
    EXPECT_EQ(sentMonth(), "2015-3");
    EXPECT_EQ(svc.received("GetSign")["parameters"]["user_id"].str(), "501");
    EXPECT_EQ(panel->titleLabel->text(), "3月");
    EXPECT_EQ(ringed(*panel), (std::vector<std::string>{"02", "10"}));
    EXPECT_EQ(panel->explainLabel->text(), "你本月签到2次");
    EXPECT_EQ(panel->labelArray[0]->frame().origin, (ui::Point{20, 64}));

    driver->tap(panel->nextButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "不能查看次月的签到");
    EXPECT_EQ(panel->titleLabel->text(), "3月");
    EXPECT_EQ(svc.count("GetSign"), 1u);
}

TEST_F(SignViewTest, StepsAcrossYearsAndShowsAllLabels) {
    auto panel = open();
    tap(panel->upButton);
    EXPECT_EQ(panel->titleLabel->text(), "2月");
    for (auto& label : panel->labelArray) EXPECT_FALSE(label->isHidden());
    EXPECT_TRUE(ringed(*panel).empty());
    tap(panel->upButton);
    EXPECT_EQ(ringed(*panel), (std::vector<std::string>{"31"}));
    tap(panel->upButton);
    EXPECT_EQ(panel->titleLabel->text(), "12月");
    EXPECT_EQ(sentMonth(), "2014-12");
    tap(panel->nextButton);
    EXPECT_EQ(panel->titleLabel->text(), "1月");
    EXPECT_EQ(sentMonth(), "2015-1");
}

TEST_F(SignViewTest, SignInBringsTodaysMonthBackAndHidesThePanel) {
    auto panel = open();
    tap(panel->upButton);
    tap(panel->upButton);
    svc.reply("SubmitSign", LoopbackService::held(svc.result("SubmitSign", R"({"state":"successful","message":"签到成功"})")));
    driver->tap(panel->signButton);
    ASSERT_TRUE(waitForRequests("SubmitSign", 1));
    driver->runPending();
    EXPECT_EQ(ProgressHUD::currentStatus(), "签到中...");
    svc.release();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "签到成功");
    EXPECT_TRUE(panel->isHidden());
    settle();
    EXPECT_EQ(sentMonth(), "2015-3");
    EXPECT_EQ(panel->titleLabel->text(), "3月");
    EXPECT_EQ(ringed(*panel), (std::vector<std::string>{"02", "10"}));

    // Refused: the message, the panel hidden, the month as it was.
    panel->setHidden(false);
    tap(panel->upButton);
    svc.reply("SubmitSign", R"({"state":"failed","message":"今天已经签到"})");
    driver->tap(panel->signButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "今天已经签到");
    EXPECT_TRUE(panel->isHidden());
    settleService();
    EXPECT_EQ(panel->titleLabel->text(), "2月");
    EXPECT_EQ(svc.count("GetSign"), asked);
}

TEST_F(SignViewTest, CancelHidesAndKeepsTheMonth) {
    auto panel = open();
    tap(panel->upButton);
    driver->tap(panel->cancelButton);
    EXPECT_TRUE(panel->isHidden());
    EXPECT_EQ(panel->titleLabel->text(), "2月");
}

}  // namespace
