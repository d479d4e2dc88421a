// The home screen opens the member services of this library: the sign-in
// calendar from "签到" once logged in.
#include <gtest/gtest.h>

#include "app/ShellTestSupport.h"
#include "app/shell/Utils.h"
#include "members/Module.h"
#include "members/SignListViewController.h"
#include "members/SMSViewController.h"
#include "app/framework/Records.h"
#include "uikit/NavigationController.h"

namespace {

class MembersModuleTest : public shelltest::ShellTest {};

TEST_F(MembersModuleTest, SignButtonOpensTheCalendarAfterLogin) {
    svc.reply("GetSign", R"({"sign_count":"0","records":[]})");
    svc.reply("GetUserConfig", R"({"records":{"activity_rule":""}})");
    launchHome();
    registerMembersModule(moduleRegistry());
    ASSERT_TRUE(moduleRegistry().signList);

    driver->tap(home()->signButton);
    ASSERT_TRUE(driver->topPopup());
    EXPECT_EQ(driver->topPopup()->messageText(), "请先登录！");
    driver->pressAlertButton("现在去登录");
    svc.reply("MemberLogin", shelltest::kMemberReply);
    logIn();
    driver->advance(1.0);

    auto screen = std::dynamic_pointer_cast<SignListViewController>(top());
    ASSERT_TRUE(screen);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetSign") == 1; }));
    EXPECT_EQ(svc.received("GetSign")["parameters"]["user_id"].str(), "501");
}

}  // namespace

namespace {

TEST_F(MembersModuleTest, SmsTileOpensThePlatformWithTheRight) {
    svc.reply("GetOrgList", R"({"records":[]})");
    svc.reply("MemberLogin", shelltest::kMemberReply);
    launchHome();
    registerMembersModule(moduleRegistry());
    ASSERT_TRUE(moduleRegistry().sms);
    Utils::saveUserWithMemberData(records::item(records::parse(shelltest::kMemberReply)), "1");

    svc.reply("GetPower", R"({"is_power":1})");
    tapTile(HeadViewController::kTileSms);
    ASSERT_TRUE(driver->waitUntil([&] { return std::dynamic_pointer_cast<SMSViewController>(top()) != nullptr; }));
    EXPECT_EQ(svc.received("GetPower")["parameters"]["model_name"].str(), "sms_platform");
}

}  // namespace
