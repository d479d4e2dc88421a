// The homes' identity check: the local checks, the request, where a passed
// check keeps its organisation id, and the replies that do not pass.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "members/TextView.h"

using namespace moduletest;

namespace {

struct Listener : TextViewDelegate {
    std::vector<std::string> ids;
    void loginSuccessReloadLife(const std::string& orgId) override { ids.push_back(orgId); }
};

std::string stored(const char* key) {
    return records::text(ns::UserDefaults::standardUserDefaults()->objectForKey(key));
}

class HomeCheckTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        auto d = ns::UserDefaults::standardUserDefaults();
        d->setObject(ns::Value(""), TextView::kMobileKey);
        d->setObject(ns::Value(""), TextView::kQuorvelKey);
        d->synchronize();
    }
    std::shared_ptr<TextView> open(const std::string& type) {
        auto v = ui::create<TextView>(ui::Rect{0, 104, 320, 376});
        v->setType(type);
        v->setDelegate(listener);
        root->view()->addSubview(v);
        ui::Application::sharedApplication().layoutIfNeeded();
        return v;
    }
    void fill(const std::shared_ptr<TextView>& v, const std::string& name, const std::string& tel) {
        v->userNameFiled->setText(name);
        v->passWordFiled->setText(tel);
    }
    std::string verifyExpectingAlert(const std::shared_ptr<TextView>& v) {
        driver->tap(v->loginButton);
        EXPECT_TRUE(waitForAlert());
        EXPECT_EQ(driver->topPopup() ? driver->topPopup()->title() : "", "温馨提示");
        return takeAlert();
    }
    std::shared_ptr<Listener> listener = std::make_shared<Listener>();
};

TEST_F(HomeCheckTest, NumbersOfTheListedRangesOnly) {
    for (const char* ok : {"13012345678", "13912345678", "15012345678", "15312345678", "15512345678",
                           "15912345678", "18012345678", "18212345678", "18512345678", "18912345678",
                           "13412345678", "13492345678"}) {
        EXPECT_TRUE(TextView::isMobileNumber(ok)) << ok;
    }
    for (const char* bad : {"15412345678", "18112345678", "18312345678", "18412345678", "14712345678",
                            "17012345678", "1381234567", "138123456789", "+8613812345678", "138 1234 5678",
                            "", "23812345678"}) {
        EXPECT_FALSE(TextView::isMobileNumber(bad)) << bad;
    }
}

TEST_F(HomeCheckTest, LocalChecksStopBeforeSending) {
    auto v = open("2");
    EXPECT_EQ(v->userNameFiled->placeholder(), "请输入姓名");
    EXPECT_EQ(v->passWordFiled->placeholder(), "请输入手机号码");
    EXPECT_EQ(verifyExpectingAlert(v), "请输入姓名");
    fill(v, "张三", "");
    EXPECT_EQ(verifyExpectingAlert(v), "请输入手机号码");
    fill(v, "张三", "18112345678");
    EXPECT_EQ(verifyExpectingAlert(v), "你输入的手机号码非法");
    settleService();
    EXPECT_EQ(svc.count("PalmHomeLogin"), 0u);
    EXPECT_EQ(v->passWordFiled->text(), "18112345678");
}

TEST_F(HomeCheckTest, APassedCheckKeepsTheIdOfItsOwnHome) {
    auto v = open("2");
    fill(v, "  ", "13812345678");
    svc.reply("PalmHomeLogin", LoopbackService::held(svc.result(
                                   "PalmHomeLogin", R"({"state":"successful","message":"验证成功","records":{"org_id":17}})")));
    driver->tap(v->loginButton);
    ASSERT_TRUE(waitForRequests("PalmHomeLogin", 1));
    EXPECT_EQ(ProgressHUD::currentStatus(), "身份验证中...");
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return !listener->ids.empty(); }));
    EXPECT_EQ(listener->ids, std::vector<std::string>{"17"});
    auto sent = svc.received("PalmHomeLogin")["parameters"];
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"real_name", "tel", "type"}));
    EXPECT_EQ(sent["real_name"].str(), "  ");
    EXPECT_EQ(sent["tel"].str(), "13812345678");
    EXPECT_EQ(records::text(sent["type"]), "2");
    EXPECT_TRUE(sent["type"].isNumber());
    EXPECT_EQ(stored(TextView::kMobileKey), "17");
    EXPECT_EQ(stored(TextView::kQuorvelKey), "");
    EXPECT_EQ(v->userNameFiled->text(), "  ");
}

TEST_F(HomeCheckTest, RefusalsKeepNothing) {
    auto v = open("3");
    fill(v, "张三", "13812345678");
    svc.reply("PalmHomeLogin", R"({"state":"failed","message":"查无此人"})");
    EXPECT_EQ(verifyExpectingAlert(v), "查无此人");
    // A reply that names no organisation does not pass either.
    svc.reply("PalmHomeLogin", R"({"state":"successful","message":"","records":[]})");
    EXPECT_EQ(verifyExpectingAlert(v), "身份验证失败");
    svc.reply("PalmHomeLogin", "not json");
    EXPECT_EQ(verifyExpectingAlert(v), "身份验证失败");
    EXPECT_TRUE(listener->ids.empty());
    EXPECT_EQ(stored(TextView::kQuorvelKey), "");
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_FALSE(v->isHidden());
}

TEST_F(HomeCheckTest, VerifyTouchedAgainWhileTheCheckIsOnItsWayReportsOnce) {
    auto v = open("2");
    fill(v, "张三", "13812345678");
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld(
        "PalmHomeLogin", svc.result("PalmHomeLogin", R"({"state":"successful","records":{"org_id":"17"}})"),
        [&] { driver->tap(v->loginButton); }));
    settleService();
    EXPECT_EQ(listener->ids, std::vector<std::string>{"17"});

    // Answered, the check can be made again.
    driver->tap(v->loginButton);
    ASSERT_TRUE(waitForRequests("PalmHomeLogin", 2));
}

TEST_F(HomeCheckTest, OtherTypesStoreNothingButStillReport) {
    auto v = open("5");
    fill(v, "张三", "13812345678");
    svc.reply("PalmHomeLogin", R"({"state":"successful","records":{"org_id":"88"}})");
    driver->tap(v->loginButton);
    ASSERT_TRUE(driver->waitUntil([&] { return !listener->ids.empty(); }));
    EXPECT_EQ(listener->ids.front(), "88");
    EXPECT_EQ(stored(TextView::kMobileKey), "");
    EXPECT_EQ(stored(TextView::kQuorvelKey), "");
}

TEST_F(HomeCheckTest, ATransportFailureOnlyClosesTheOverlay) {
    auto v = open("2");
    fill(v, "张三", "13812345678");
    svc.reply("PalmHomeLogin", LoopbackService::status(500));
    driver->tap(v->loginButton);
    ASSERT_TRUE(waitForRequests("PalmHomeLogin", 1));
    ASSERT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));
    EXPECT_TRUE(listener->ids.empty());
    EXPECT_EQ(v->userNameFiled->text(), "张三");
}

TEST_F(HomeCheckTest, EditingScrollsTheBodyUp) {
    auto v = open("2");
    driver->tap(v->passWordFiled);
    EXPECT_EQ(v->mscrv->contentOffset().y, 60);
    v->mscrv->setContentOffset(ui::Point{0, 0});
    driver->tap(v->userNameFiled);
    EXPECT_EQ(v->mscrv->contentOffset().y, 60);
}

TEST_F(HomeCheckTest, AGoneDelegateIsNotReached) {
    auto v = open("2");
    listener.reset();
    fill(v, "张三", "13812345678");
    svc.reply("PalmHomeLogin", R"({"state":"successful","records":{"org_id":"9"}})");
    driver->tap(v->loginButton);
    ASSERT_TRUE(driver->waitUntil([&] { return stored(TextView::kMobileKey) == "9"; }));
}

}  // namespace
