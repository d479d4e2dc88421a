#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "app/framework/RevealController.h"
#include "app/shell/Utils.h"

namespace {

using shelltest::FakeScreen;
using shelltest::fakeFactory;
using H = HeadViewController;

class HomeTest : public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        auto& r = moduleRegistry();
        auto slide = [](const std::string& m) { return SlideModule{fakeFactory(m + "Front"), fakeFactory(m + "Rear")}; };
        r.dq = slide("Dq"), r.sszt = slide("SSZT"), r.yddx = slide("YDDX"), r.djwg = slide("DJWG");
        r.bmfw = fakeFactory("BMFWFront");
        r.maiWei = fakeFactory("MaiWei");
        r.signList = fakeFactory("SignList");
        r.sms = fakeFactory("SMS");
        r.webScreen = [this](const std::string& title, const std::string& url) {
            web = title + " " + url;
            return fakeFactory("Web")();
        };
        svc.reply("MemberLogin", shelltest::kMemberReply);
        launchHome();
    }

    // What is in front: "Front/Rear" for a container, the screen's name otherwise.
    std::string shown() const {
        auto name = [](const std::shared_ptr<ui::ViewController>& vc) {
            auto s = std::dynamic_pointer_cast<FakeScreen>(vc);
            return s ? s->name : std::string("?");
        };
        if (top() == home()) return "home";
        auto reveal = std::dynamic_pointer_cast<RevealController>(top());
        if (!reveal) return name(top());
        auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return (frontNav ? name(frontNav->topViewController()) : "?") + "/" + name(reveal->rearViewController());
    }
    void backHome() { nav()->popToRootViewControllerAnimated(false); }

    std::string web;
};

TEST_F(HomeTest, EveryTileOpensWhatItShould) {
    std::vector<std::string> titles;
    for (auto& t : home()->tileButtons) {
        EXPECT_TRUE(driver->isOnScreen(*t)) << t->currentTitle();
        titles.push_back(t->currentTitle());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"党群直通", "时事直通", "Velmarsh党建", "移动党校", "党代表", "党建网格",
                                                "便民服务", "先锋Velmarsh", "短信平台", "党员供需", "视频专栏", "基层活动"}));
    EXPECT_EQ(home()->naview->titleLabel->text(), "Velmarsh Kestrowline");

    const std::pair<int, const char*> pushes[] = {{H::kTileDqzt, "DqFront/DqRear"},
                                                  {H::kTileSszt, "SSZTFront/SSZTRear"},
                                                  {H::kTileYddx, "YDDXFront/YDDXRear"},
                                                  {H::kTileBmfw, "BMFWFront"},
                                                  {H::kTileVldj, "Web"}};
    for (auto [tag, expected] : pushes) {
        tapTile(tag);
        EXPECT_EQ(shown(), expected);
        if (auto reveal = std::dynamic_pointer_cast<RevealController>(top())) {
            EXPECT_EQ(reveal->rearViewController()->navigationController(), nav());
        }
        backHome();
    }
    EXPECT_EQ(web, "Velmarsh党建 " + svc.baseURL() + "/html/ganbugongzuo/ganbugongzuodongtai/2013/1009/28.html");

    tapTile(H::kTileMaiWei);
    auto presented = std::dynamic_pointer_cast<ui::NavigationController>(home()->presentedViewController());
    ASSERT_TRUE(presented);
    EXPECT_EQ(std::dynamic_pointer_cast<FakeScreen>(presented->topViewController())->name, "MaiWei");
    home()->dismissViewControllerAnimated(false);
    driver->advance(1);

    for (int tag : {H::kTileRepresentatives, H::kTileSupply, H::kTileVideo, H::kTileActivities}) {
        tapTile(tag);
        EXPECT_EQ(shown(), "home") << tag;
    }
    EXPECT_EQ(svc.count(), 2u);  // the start-up requests only
}

TEST_F(HomeTest, GridAndSignInOpenAfterTheLoginTheyAskedFor) {
    tapTile(H::kTileDjwg);
    EXPECT_EQ(shown(), "home");
    EXPECT_EQ(home()->loginview->isFrom(), "党建网格");
    logIn();
    EXPECT_EQ(shown(), "DJWGFront/DJWGRear");
    backHome();
    tapTile(H::kTileDjwg);  // logged in: at once
    EXPECT_EQ(shown(), "DJWGFront/DJWGRear");
    backHome();

    Utils::saveUserWithMemberData(ns::Value::dictionary(), "0");
    driver->tap(home()->signButton);
    auto alert = driver->lastAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "请先登录！");
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "取消");
    driver->pressAlertButton("取消");
    EXPECT_TRUE(home()->loginview->view()->isHidden());
    driver->tap(home()->signButton);
    driver->pressAlertButton("现在去登录");
    EXPECT_EQ(home()->loginview->isFrom(), "签到");
    logIn();
    EXPECT_EQ(shown(), "SignList");
    EXPECT_EQ(svc.count("MemberLogin"), 2u);
}

TEST_F(HomeTest, SmsOpensOnlyWithThePermission) {
    svc.replyOnce("GetPower", svc.result("GetPower", R"({"state":"successful","is_power":"0"})"));
    svc.reply("GetPower", R"({"state":"successful","is_power":1})");
    tapTile(H::kTileSms);
    EXPECT_EQ(home()->loginview->isFrom(), "短信平台");
    EXPECT_EQ(svc.count("GetPower"), 0u);
    logIn();
    ASSERT_TRUE(driver->waitUntil([&] { return driver->lastAlert() != nullptr; }));
    EXPECT_EQ(driver->lastAlert()->message(), "你没有权限使用该功能");
    EXPECT_EQ(shown(), "home");
    ns::Value asked = svc.received("GetPower")["parameters"];
    EXPECT_EQ(asked, ns::Value::dictionary({{"user_id", "501"}, {"type", "1"}, {"model_name", "sms_platform"}}));
    driver->pressAlertButton("确定");

    tapTile(H::kTileSms);  // a numeric 1 reads as "1"
    ASSERT_TRUE(driver->waitUntil([&] { return top() != home(); }));
    EXPECT_EQ(shown(), "SMS");
}

TEST_F(HomeTest, TouchesAndRepliesWhileTheHomeIsCoveredOpenNothing) {
    Utils::saveUserWithMemberData(ns::Value::dictionary({{"member_id", "501"}}), "1");
    tapTile(H::kTileBmfw);
    tile(H::kTileSszt)->sendActionsForControlEvents(ui::ControlEventTouchUpInside);  // a late tap
    home()->signClick();
    EXPECT_EQ(nav()->viewControllers().size(), 2u);
    backHome();

    // The permission answer comes after the user opened something else.
    svc.reply("GetPower", LoopbackService::held(svc.result("GetPower", R"({"is_power":"1"})")));
    tapTile(H::kTileSms);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetPower") == 1; }));
    tapTile(H::kTileBmfw);
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return home()->requestType.empty(); }));
    EXPECT_EQ(shown(), "BMFWFront");
    EXPECT_EQ(nav()->viewControllers().size(), 2u);
    EXPECT_FALSE(driver->lastAlert());
}

}  // namespace
