// The sign-in calendar: the month key and its requests, stepping months,
// month lengths, the rings, the signed-today button, signing in, the rules
// page, and replies that belong to another request.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include <map>

#include "members/SignListViewController.h"

using namespace moduletest;

namespace {

class SignListTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        svc.handle("GetSign", [this](const LoopbackService::Received& r) {
            const std::string key = r.argument["parameters"]["year_month"].str();
            auto found = months.find(key);
            return svc.result("GetSign", found != months.end() ? found->second : monthReply(key, {}));
        });
        svc.reply("GetUserConfig", R"({"state":"successful","records":{"activity_rule":"<p>每天签到一次</p>"}})");
    }

    std::shared_ptr<SignListViewController> open() {
        auto screen = push<SignListViewController>();
        settle(screen);
        return screen;
    }
    // Waits until the month chain (month reply, then rules reply) is over.
    void settle(const std::shared_ptr<SignListViewController>& screen) {
        ASSERT_TRUE(driver->waitUntil([&] {
            return screen->requestType == SignListViewController::kRulesType &&
                   svc.count("GetUserConfig") == svc.count("GetSign");
        }));
        settleService();
    }
    void step(const std::shared_ptr<SignListViewController>& screen, const std::string& button) {
        driver->tap(button == "上一月" ? screen->upButton : screen->nextButton);
        settle(screen);
    }
    static std::vector<std::string> ringed(const SignListViewController& screen) {
        std::vector<std::string> out;
        for (auto& label : screen.labelArray) {
            if (label->backgroundColor() == ui::Color::redColor()) out.push_back(label->text());
        }
        return out;
    }
    static int shownDays(const SignListViewController& screen) {
        int n = 0;
        for (auto& label : screen.labelArray) n += label->isHidden() ? 0 : 1;
        return n;
    }
    std::string sentMonth() const { return svc.last("GetSign")->argument["parameters"]["year_month"].str(); }
    std::string signTitle(const SignListViewController& screen) const {
        return screen.signButton->titleForState(ui::ControlStateNormal);
    }

    std::map<std::string, std::string> months;
};

TEST_F(SignListTest, OpensOnTheCurrentMonthAndLoadsItsChain) {
    months["2015-09"] = monthReply("2015-09", {8, 2}, "7");
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "260");
    auto screen = open();

    EXPECT_EQ(screen->titleLabel->text(), "2015-09");
    auto sent = svc.received("GetSign");
    EXPECT_EQ(sent["parameters"]["user_id"].str(), "501");
    EXPECT_EQ(sent["parameters"]["year_month"].str(), "2015-09");
    EXPECT_EQ(svc.count("GetUserConfig"), 1u);
    EXPECT_EQ(screen->explainLabel->text(), "你本月累计签到7次");
    EXPECT_EQ(ringed(*screen), (std::vector<std::string>{"02", "08"}));
    EXPECT_EQ(signTitle(*screen), "签到");

    // The rules page is fitted and the body scrolls to its end.
    ASSERT_TRUE(driver->waitUntil([&] { return screen->mwebview->frame().size.height == 260; }));
    EXPECT_EQ(screen->mwebview->frame().origin.y, screen->explainLabel->frame().maxY() + 10);
    EXPECT_EQ(screen->mscrview->contentSize().height, screen->mwebview->frame().maxY() + 10);

    // Day 1 stands top left, day 8 starts the second row.
    EXPECT_EQ(screen->labelArray[0]->frame().origin, (ui::Point{20, 50}));
    EXPECT_EQ(screen->labelArray[7]->frame().origin, (ui::Point{20, 90}));
    EXPECT_DOUBLE_EQ(screen->labelArray[6]->frame().maxX(), ui::Screen::mainScreen().bounds().size.width - 20);
}

TEST_F(SignListTest, OctoberHasNoLeadingZeroAndTheCountDefaultsToZero) {
    setToday(2015, 10, 1);
    months["2015-10"] = R"({"records":[]})";
    auto screen = open();
    EXPECT_EQ(sentMonth(), "2015-10");
    EXPECT_EQ(screen->explainLabel->text(), "你本月累计签到0次");
}

TEST_F(SignListTest, StepsBackWithoutLimitAndForwardUpToTheCurrentMonth) {
    setToday(2016, 1, 20);
    auto screen = open();
    driver->tap(screen->nextButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "不能查看次月的签到");
    EXPECT_EQ(svc.count("GetSign"), 1u);
    EXPECT_EQ(screen->titleLabel->text(), "2016-01");

    step(screen, "上一月");
    EXPECT_EQ(screen->titleLabel->text(), "2015-12");
    EXPECT_EQ(sentMonth(), "2015-12");
    for (int i = 0; i < 12; ++i) step(screen, "上一月");
    EXPECT_EQ(sentMonth(), "2014-12");
    step(screen, "下一月");
    EXPECT_EQ(sentMonth(), "2015-01");
    EXPECT_EQ(svc.count("GetUserConfig"), svc.count("GetSign"));
}

TEST_F(SignListTest, EachMonthShowsItsOwnLength) {
    setToday(2016, 3, 5);
    auto screen = open();
    EXPECT_EQ(shownDays(*screen), 31);
    step(screen, "上一月");  // February of a leap year
    EXPECT_EQ(shownDays(*screen), 29);
    for (int i = 0; i < 12; ++i) step(screen, "上一月");
    EXPECT_EQ(screen->titleLabel->text(), "2015-02");
    EXPECT_EQ(shownDays(*screen), 28);
    step(screen, "下一月");
    EXPECT_EQ(shownDays(*screen), 31);
    step(screen, "下一月");  // April
    EXPECT_EQ(shownDays(*screen), 30);
    EXPECT_TRUE(screen->labelArray[30]->isHidden());
}

TEST_F(SignListTest, RingsTheSignedDaysOfEachMonthOnly) {
    months["2015-08"] = monthReply("2015-08", {28, 3, 15});
    months["2015-07"] = R"({"records":[{"add_time":"2015-07"},{"add_time":null},{"add_time":"2015-07-xx 1"},5,{"add_time":"2015-07-04 09:00"}]})";
    months["2015-06"] = R"({"sign_count":null,"records":{"add_time":"2015-06-01"}})";
    auto screen = open();
    step(screen, "上一月");
    EXPECT_EQ(ringed(*screen), (std::vector<std::string>{"03", "15", "28"}));
    auto ringLabel = screen->labelArray[2];
    EXPECT_EQ(ringLabel->layer().cornerRadius(), 15);
    EXPECT_EQ(ringLabel->textColor(), ui::Color::whiteColor());

    // Malformed times are passed over.
    step(screen, "上一月");
    EXPECT_EQ(ringed(*screen), (std::vector<std::string>{"04"}));
    // "records" that is no array: nothing ringed, the count still shown.
    step(screen, "上一月");
    EXPECT_TRUE(ringed(*screen).empty());
    EXPECT_EQ(screen->explainLabel->text(), "你本月累计签到0次");
    EXPECT_EQ(screen->labelArray[2]->layer().cornerRadius(), 0);
    EXPECT_EQ(screen->labelArray[2]->textColor(), ui::Color::blackColor());
}

TEST_F(SignListTest, TodaySignedTurnsTheButtonWhereverTheServiceListsIt) {
    // Oldest first: today is not the first record.
    months["2015-09"] = monthReply("2015-09", {1, 10});
    auto screen = open();
    EXPECT_EQ(signTitle(*screen), "已签到");
    driver->tap(screen->signButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "您已经签到过了！请明天再来");
    EXPECT_EQ(svc.count("SubmitSign"), 0u);
}

TEST_F(SignListTest, TheSameDayInAnEarlierMonthLeavesTheButton) {
    months["2015-08"] = monthReply("2015-08", {10});
    auto screen = open();
    step(screen, "上一月");
    EXPECT_EQ(ringed(*screen), (std::vector<std::string>{"10"}));
    EXPECT_EQ(signTitle(*screen), "签到");
}

TEST_F(SignListTest, ASuccessfulSignInRequeriesTheMonthOnScreen) {
    auto screen = open();
    step(screen, "上一月");
    svc.reply("SubmitSign", LoopbackService::held(svc.result("SubmitSign", R"({"state":"successful","message":"签到成功，积分+1"})")));
    months["2015-08"] = monthReply("2015-08", {10});
    months["2015-09"] = monthReply("2015-09", {10});
    driver->tap(screen->signButton);
    ASSERT_TRUE(waitForRequests("SubmitSign", 1));
    driver->runPending();
    EXPECT_EQ(ProgressHUD::currentStatus(), "签到中...");
    svc.release();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(svc.received("SubmitSign")["parameters"]["user_id"].str(), "501");
    EXPECT_EQ(takeAlert(), "签到成功，积分+1");
    settle(screen);
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(sentMonth(), "2015-08");
    EXPECT_EQ(signTitle(*screen), "签到");
}

TEST_F(SignListTest, SignTouchedAgainWhileTheSignInIsOnItsWaySendsItOnce) {
    auto screen = open();
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitSign", LoopbackService::status(500),
                                                [&] { driver->tap(screen->signButton); }));

    // Once it has failed, the member can sign in again.
    settleService();
    svc.reply("SubmitSign", R"({"state":"failed","message":"今日已签到"})");
    driver->tap(screen->signButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "今日已签到");
    EXPECT_EQ(svc.count("SubmitSign"), 2u);
}

TEST_F(SignListTest, ARefusedSignInShowsWhyAndChangesNothing) {
    auto screen = open();
    svc.replyOnce("SubmitSign", svc.result("SubmitSign", R"({"state":"failed","message":"今日已签到"})"));
    driver->tap(screen->signButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "今日已签到");
    settleService();
    EXPECT_EQ(svc.count("GetSign"), 1u);
    EXPECT_EQ(signTitle(*screen), "签到");

    // Not JSON: a failure text instead of an empty alert.
    svc.replyOnce("SubmitSign", svc.result("SubmitSign", "oops"));
    driver->tap(screen->signButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "签到失败，请稍后再试");
    EXPECT_EQ(svc.count("GetSign"), 1u);
}

TEST_F(SignListTest, AFailedMonthStopsTheChain) {
    svc.handle("GetSign", [](const LoopbackService::Received&) { return LoopbackService::status(500); });
    auto screen = push<SignListViewController>();
    ASSERT_TRUE(waitForRequests("GetSign", 1));
    settleService();
    EXPECT_EQ(svc.count("GetUserConfig"), 0u);
    EXPECT_EQ(screen->requestType, SignListViewController::kHistoryType);
}

TEST_F(SignListTest, RepliesOfMonthsSteppedPastAreDropped) {
    auto screen = open();
    svc.handle("GetSign", [this](const LoopbackService::Received& r) {
        const std::string key = r.argument["parameters"]["year_month"].str();
        if (key == "2015-08") return LoopbackService::held(svc.result("GetSign", monthReply(key, {5, 6})));
        if (key == "2015-06") {
            // Answers only after the held August reply has gone out.
            auto reply = svc.result("GetSign", monthReply(key, {20}));
            reply.delay = 0.5;
            return reply;
        }
        return svc.result("GetSign", monthReply(key, {}));
    });
    driver->tap(screen->upButton);  // August, held
    ASSERT_TRUE(waitForRequests("GetSign", 2));
    driver->tap(screen->upButton);  // July
    ASSERT_TRUE(waitForRequests("GetUserConfig", 2));
    settleService(1);
    driver->tap(screen->upButton);  // June, slow
    ASSERT_TRUE(waitForRequests("GetSign", 4));
    svc.release();
    ASSERT_TRUE(waitForRequests("GetUserConfig", 3));
    settleService();
    EXPECT_EQ(screen->titleLabel->text(), "2015-06");
    EXPECT_EQ(ringed(*screen), (std::vector<std::string>{"20"}));
    EXPECT_EQ(screen->explainLabel->text(), "你本月累计签到1次");
}

TEST_F(SignListTest, BackPopsAndLateRepliesReachNothing) {
    svc.handle("GetSign", [this](const LoopbackService::Received& r) {
        return LoopbackService::held(svc.result("GetSign", monthReply(r.argument["parameters"]["year_month"].str(), {1})));
    });
    std::weak_ptr<SignListViewController> weak;
    {
        auto screen = push<SignListViewController>();
        weak = screen;
        ASSERT_TRUE(waitForRequests("GetSign", 1));
        driver->tap(screen->naview->leftButton);
        driver->advance(1.0);
        EXPECT_EQ(nav->topViewController(), root);
    }
    EXPECT_TRUE(weak.expired());
    svc.release();
    settleService();
    EXPECT_EQ(svc.count("GetUserConfig"), 0u);
}

}  // namespace

namespace {

TEST_F(SignListTest, AMonthArrivingDuringASignInIsStillDrawn) {
    auto screen = open();
    months["2015-08"] = monthReply("2015-08", {7});
    svc.reply("SubmitSign", LoopbackService::held(svc.result("SubmitSign", R"({"state":"failed","message":"稍后再试"})")));
    driver->tap(screen->signButton);
    ASSERT_TRUE(waitForRequests("SubmitSign", 1));
    driver->tap(screen->upButton);
    ASSERT_TRUE(waitForRequests("GetUserConfig", 2));
    settleService(1);
    EXPECT_EQ(ringed(*screen), (std::vector<std::string>{"07"}));
    svc.release();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "稍后再试");
}

}  // namespace
