#include <gtest/gtest.h>

#include <string>

#include "ShellTestSupport.h"
#include "app/shell/ModulePlaceholder.h"
#include "app/framework/RevealController.h"
#include "app/shell/Utils.h"
#include "support/Command.h"

namespace {

using H = HeadViewController;
using ProgramTest = shelltest::ShellTest;

// The road a user walks in a program with no module built yet: home, login,
// a module's container with its placeholder, the menu, and home again.
TEST_F(ProgramTest, HomeLoginAndAnEmptyModuleContainer) {
    svc.reply("MemberLogin", shelltest::kMemberReply);
    launchHome();
    driver->tapText("党建网格");
    ASSERT_EQ(home()->loginview->isFrom(), "党建网格");
    logIn();
    ASSERT_TRUE(Utils::isLogin());

    auto reveal = std::dynamic_pointer_cast<RevealController>(top());
    ASSERT_TRUE(reveal);
    auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    ASSERT_TRUE(frontNav);
    auto placeholder = std::dynamic_pointer_cast<ModulePlaceholderViewController>(frontNav->topViewController());
    ASSERT_TRUE(placeholder);
    EXPECT_TRUE(driver->findViewWithText("党建网格"));
    EXPECT_TRUE(driver->findViewWithText(ModulePlaceholderViewController::kNotice));
    EXPECT_TRUE(frontNav->isNavigationBarHidden());

    // The menu button slides the front aside; the menu leads home.
    driver->tap(placeholder->menuButton);
    driver->advance(0.3);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    EXPECT_DOUBLE_EQ(reveal->frontView()->frame().minX(), 260);
    driver->tapText(ModulePlaceholderRearViewController::kHomeRow);
    EXPECT_EQ(top(), home());
    EXPECT_TRUE(driver->findViewWithText("Velmarsh Kestrowline"));
}

#ifdef KL_PROGRAM_PATH
TEST_F(ProgramTest, TheProgramStartsHeadlessAndPrintsTheHomeScreen) {
    svc.reply("AutoUpdate", R"({"state":"successful","ios_version":"1.0"})");
    svc.reply("SubmitDevice", R"({"state":"successful"})");
    auto run = testsupport::runCommand(std::string(KL_PROGRAM_PATH) + " --service " + svc.url() + " --dump-home");
    const std::string& out = run.output;
    EXPECT_EQ(run.status, 0) << out;
    EXPECT_NE(out.find("<HeadViewController>"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Velmarsh Kestrowline\""), std::string::npos) << out;
    for (const auto& t : H::tileList()) {
        EXPECT_NE(out.find(std::string("\"") + t.title + "\""), std::string::npos) << t.title;
    }
    EXPECT_EQ(svc.count("AutoUpdate"), 1u);
    EXPECT_EQ(svc.count("SubmitDevice"), 1u);
}

TEST_F(ProgramTest, HelpGoesToStandardOutputAndUsageErrorsNameTheProgram) {
    auto help = testsupport::runCommand(std::string("(").append(KL_PROGRAM_PATH).append(" --help 2>/dev/null)"));
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: kestrowline", 0), 0u) << help.output;
    for (const char* arguments : {"--service", "--tour", "--tour-login", "--wait", "--no-such-option"}) {
        auto r = testsupport::runCommand(std::string(KL_PROGRAM_PATH) + " " + arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.output.rfind("kestrowline: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find(arguments), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("usage: kestrowline"), std::string::npos) << r.output;
    }
}
#endif

}  // namespace
