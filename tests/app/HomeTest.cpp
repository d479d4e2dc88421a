#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "app/AppLinks.h"
#include "app/ModulePlaceholder.h"
#include "app/RevealController.h"
#include "app/Utils.h"

namespace {

using shelltest::FakeScreen;
using shelltest::fakeFactory;
using H = HeadViewController;

class HomeTest : public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        auto& r = moduleRegistry();
        r.dq = {fakeFactory("DqFront", &made), fakeFactory("DqRear", &made)};
        r.sszt = {fakeFactory("SSZTFront", &made), fakeFactory("SSZTRear", &made)};
        r.yddx = {fakeFactory("YDDXFront", &made), fakeFactory("YDDXRear", &made)};
        r.djwg = {fakeFactory("DJWGFront", &made), fakeFactory("DJWGRear", &made)};
        r.bmfw = fakeFactory("BMFWFront", &made);
        r.maiWei = fakeFactory("MaiWei", &made);
        r.signList = fakeFactory("SignList", &made);
        r.sms = fakeFactory("SMS", &made);
        r.webScreen = [this](const std::string& title, const std::string& url) {
            web = {title, url};
            return fakeFactory("Web", &made)();
        };
        launchHome();
    }

    std::string frontName() const {
        auto reveal = std::dynamic_pointer_cast<RevealController>(top());
        if (!reveal) return {};
        auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        if (!frontNav) return "not a navigation controller";
        auto front = std::dynamic_pointer_cast<FakeScreen>(frontNav->topViewController());
        auto rear = std::dynamic_pointer_cast<FakeScreen>(reveal->rearViewController());
        return (front ? front->name : "?") + "/" + (rear ? rear->name : "?");
    }
    std::string topName() const {
        auto s = std::dynamic_pointer_cast<FakeScreen>(top());
        return s ? s->name : "";
    }
    void backHome() {
        nav()->popToRootViewControllerAnimated(false);
        ASSERT_EQ(top(), home());
    }
    void storeLogin() { Utils::saveUserWithMemberData(ns::Value::dictionary({{"member_id", "501"}}), "1"); }

    std::vector<std::string> made;
    std::pair<std::string, std::string> web;
};

TEST_F(HomeTest, TwelveTilesUnderTheProductName) {
    ASSERT_EQ(home()->tileButtons.size(), 12u);
    std::vector<std::string> titles;
    for (auto& t : home()->tileButtons) {
        EXPECT_TRUE(driver->isOnScreen(*t)) << t->currentTitle();
        titles.push_back(t->currentTitle());
        EXPECT_GE(t->frame().minY(), 64);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"党群直通", "时事直通", "Velmarsh党建", "移动党校", "党代表", "党建网格",
                                                "便民服务", "先锋Velmarsh", "短信平台", "党员供需", "视频专栏", "基层活动"}));
    EXPECT_EQ(home()->naview->titleLabel->text(), "Velmarsh Kestrowline");
    EXPECT_TRUE(driver->isOnScreen(*home()->signButton));
    EXPECT_TRUE(nav()->isNavigationBarHidden());
}

TEST_F(HomeTest, ModuleTilesOpenTheirContainers) {
    const std::pair<int, const char*> cases[] = {
        {H::kTileDqzt, "DqFront/DqRear"}, {H::kTileSszt, "SSZTFront/SSZTRear"}, {H::kTileYddx, "YDDXFront/YDDXRear"}};
    for (auto [tag, expected] : cases) {
        tapTile(tag);
        EXPECT_EQ(frontName(), expected);
        // The rear menu is a child of the container, inside the home's navigation.
        auto reveal = std::dynamic_pointer_cast<RevealController>(top());
        ASSERT_TRUE(reveal);
        EXPECT_EQ(reveal->rearViewController()->parentViewController(), reveal);
        EXPECT_EQ(reveal->rearViewController()->navigationController(), nav());
        backHome();
    }
}

TEST_F(HomeTest, SingleScreenTilesAndTheTilesThatDoNothing) {
    tapTile(H::kTileBmfw);
    EXPECT_EQ(topName(), "BMFWFront");
    backHome();

    tapTile(H::kTileVldj);
    EXPECT_EQ(topName(), "Web");
    EXPECT_EQ(web.first, "Velmarsh党建");
    EXPECT_EQ(web.second, svc.baseURL() + "/html/ganbugongzuo/ganbugongzuodongtai/2013/1009/28.html");
    backHome();

    // The Mervio page comes up modally inside its own navigation controller.
    tapTile(H::kTileMaiWei);
    auto presented = std::dynamic_pointer_cast<ui::NavigationController>(home()->presentedViewController());
    ASSERT_TRUE(presented);
    EXPECT_EQ(std::dynamic_pointer_cast<FakeScreen>(presented->topViewController())->name, "MaiWei");
    home()->dismissViewControllerAnimated(false);
    driver->advance(1);

    made.clear();
    for (int tag : {H::kTileRepresentatives, H::kTileSupply, H::kTileVideo, H::kTileActivities}) {
        tapTile(tag);
        EXPECT_EQ(top(), home()) << tag;
    }
    EXPECT_TRUE(made.empty());
    EXPECT_EQ(svc.count(), 2u);  // only the start-up requests
}

TEST_F(HomeTest, GridAsksForALoginAndOpensAfterIt) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    tapTile(H::kTileDjwg);
    EXPECT_EQ(top(), home());
    EXPECT_FALSE(home()->loginview->view()->isHidden());
    EXPECT_EQ(home()->loginview->isFrom(), "党建网格");
    logIn();
    EXPECT_TRUE(home()->loginview->view()->isHidden());
    EXPECT_EQ(frontName(), "DJWGFront/DJWGRear");

    // Logged in, the tile opens at once.
    backHome();
    tapTile(H::kTileDjwg);
    EXPECT_EQ(frontName(), "DJWGFront/DJWGRear");
    EXPECT_EQ(svc.count("MemberLogin"), 1u);
}

TEST_F(HomeTest, SmsOpensOnlyWithThePermission) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    svc.replyOnce("GetPower", svc.result("GetPower", R"({"state":"successful","is_power":"0"})"));
    svc.reply("GetPower", R"({"state":"successful","is_power":1})");

    tapTile(H::kTileSms);
    EXPECT_EQ(home()->loginview->isFrom(), "短信平台");
    EXPECT_EQ(svc.count("GetPower"), 0u);
    logIn();
    // After the login the permission is asked for; "0" refuses.
    ASSERT_TRUE(driver->waitUntil([&] { return driver->lastAlert() != nullptr; }));
    EXPECT_EQ(driver->lastAlert()->message(), "你没有权限使用该功能");
    EXPECT_EQ(top(), home());
    ns::Value asked = svc.received("GetPower")["parameters"];
    EXPECT_EQ(asked["user_id"], ns::Value("501"));
    EXPECT_EQ(asked["type"], ns::Value("1"));
    EXPECT_EQ(asked["model_name"], ns::Value("sms_platform"));
    driver->pressAlertButton("确定");

    // A numeric 1 reads as "1" and opens the screen.
    tapTile(H::kTileSms);
    ASSERT_TRUE(driver->waitUntil([&] { return top() != home(); }));
    EXPECT_EQ(topName(), "SMS");
}

TEST_F(HomeTest, SignInAsksFirstThenOpensTheCalendar) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    driver->tap(home()->signButton);
    auto alert = driver->lastAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "温馨提示");
    EXPECT_EQ(alert->message(), "请先登录！");
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "取消");
    driver->pressAlertButton("取消");
    EXPECT_TRUE(home()->loginview->view()->isHidden());

    driver->tap(home()->signButton);
    driver->pressAlertButton("现在去登录");
    EXPECT_EQ(home()->loginview->isFrom(), "签到");
    logIn();
    EXPECT_EQ(topName(), "SignList");

    backHome();
    driver->tap(home()->signButton);
    EXPECT_EQ(topName(), "SignList");
}

TEST_F(HomeTest, WithoutTheModulesTheContainersOpenEmptyAndSingleScreensNothing) {
    moduleRegistry().clear();
    storeLogin();
    svc.reply("GetPower", R"({"is_power":"1"})");
    tapTile(H::kTileSszt);
    auto reveal = std::dynamic_pointer_cast<RevealController>(top());
    ASSERT_TRUE(reveal);
    auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    ASSERT_TRUE(frontNav);
    EXPECT_TRUE(ui::isKind<ModulePlaceholderViewController>(frontNav->topViewController()));
    EXPECT_TRUE(driver->findViewWithText("时事直通"));
    backHome();

    for (int tag : {H::kTileBmfw, H::kTileVldj, H::kTileMaiWei, H::kTileSms}) {
        tapTile(tag);
    }
    driver->tap(home()->signButton);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetPower") == 1; }));
    driver->waitUntil([&] { return home()->requestType.empty(); });
    EXPECT_EQ(top(), home());
    EXPECT_FALSE(home()->presentedViewController());
}

TEST_F(HomeTest, TouchesAndRepliesWhileTheHomeIsCoveredOpenNothing) {
    storeLogin();
    // A tap that arrives after the home screen has gone away.
    tapTile(H::kTileBmfw);
    ASSERT_EQ(topName(), "BMFWFront");
    auto stale = tile(H::kTileSszt);
    stale->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    home()->signClick();
    EXPECT_EQ(topName(), "BMFWFront");
    EXPECT_EQ(nav()->viewControllers().size(), 2u);
    backHome();

    // The permission answer comes after the user opened something else.
    svc.reply("GetPower", LoopbackService::held(svc.result("GetPower", R"({"is_power":"1"})")));
    tapTile(H::kTileSms);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetPower") == 1; }));
    tapTile(H::kTileBmfw);
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return home()->requestType.empty(); }));
    EXPECT_EQ(topName(), "BMFWFront");
    EXPECT_EQ(nav()->viewControllers().size(), 2u);
    EXPECT_FALSE(driver->lastAlert());
}

}  // namespace
