#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "app/shell/AppLinks.h"

namespace {

using StartupTest = shelltest::ShellTest;

TEST_F(StartupTest, ResetsTheRunKeysRegistersAndShowsTheHomeScreen) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setObject(ns::Value("12"), "MobileOrg_id");
    defaults->setBool(true, "LoginState");
    std::vector<std::string> registered;
    mervioHooks().registerApp = [&](const std::string& id, const std::string& description) {
        registered = {id, description};
        return true;
    };
    launchHome();

    ns::UserDefaults::resetStandardUserDefaults();  // what reached the file
    defaults = ns::UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->objectForKey("MobileOrg_id"), ns::Value(""));
    EXPECT_EQ(defaults->objectForKey("QuorvelOrg_id"), ns::Value(""));
    EXPECT_TRUE(defaults->objectForKey("LoginState").isBool());
    EXPECT_FALSE(defaults->boolForKey("LoginState"));
    EXPECT_EQ(registered, (std::vector<std::string>{kMervioAppId, ""}));

    EXPECT_EQ(driver->keyWindow()->rootViewController(), nav());
    EXPECT_EQ(nav()->viewControllers().front(), home());

    // The version check, then the device's identifier.
    auto requests = svc.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].operation, "AutoUpdate");
    EXPECT_FALSE(requests[0].jsonString);
    EXPECT_EQ(requests[1].operation, "SubmitDevice");
    std::string device = requests[1].argument["parameters"]["device_id"].text();
    EXPECT_EQ(device, AppDelegate::deviceIdentifier());
    EXPECT_EQ(device.size(), 32u);
    EXPECT_TRUE(appDelegate->updateView->isHidden());
}

TEST_F(StartupTest, ANewVersionShowsItsDescriptionAndItsButtonsWork) {
    svc.reply("AutoUpdate", R"({"state":"successful","ios_version":"1.2","ios_description":"修复了若干问题"})");
    svc.reply("SubmitDevice", R"({"state":"successful"})");
    std::vector<std::string> opened;
    ui::Application::sharedApplication().registerURLScheme("itms-services", [&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    launch();
    EXPECT_TRUE(driver->isOnScreen(*appDelegate->updateView));
    EXPECT_DOUBLE_EQ(appDelegate->bgView->alpha(), 0.6);
    EXPECT_TRUE(driver->findViewWithText("修复了若干问题"));
    EXPECT_EQ(svc.count("SubmitDevice"), 1u);

    // The prompt lies above the home screen and takes the touch.
    EXPECT_EQ(driver->tap(appDelegate->updateButton), appDelegate->updateButton);
    EXPECT_EQ(opened, std::vector<std::string>{AppLinks::installLink()});
    EXPECT_EQ(opened[0].rfind("itms-services://?action=download-manifest&url=" + svc.baseURL(), 0), 0u);
    EXPECT_TRUE(appDelegate->updateView->isHidden());
    EXPECT_TRUE(appDelegate->bgView->isHidden());

    appDelegate->updateView->setHidden(false);
    driver->tap(appDelegate->cancelUpdateButton);
    EXPECT_TRUE(appDelegate->updateView->isHidden());
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(StartupTest, NoPromptForTheSameVersionAnUnreadableReplyOrAFailure) {
    for (const char* reply : {R"({"ios_version":"1.0","ios_description":"x"})", R"({"state":"failed"})", "oops", ""}) {
        SCOPED_TRACE(reply);
        ui::Application::resetForTesting();
        svc.clearRecords();
        if (*reply) {
            svc.reply("AutoUpdate", reply);
        } else {
            svc.reply("AutoUpdate", LoopbackService::status(500));
        }
        svc.reply("SubmitDevice", R"({"state":"successful"})");
        launch();
        EXPECT_TRUE(appDelegate->updateView->isHidden());
        EXPECT_TRUE(appDelegate->bgView->isHidden());
        EXPECT_EQ(svc.count("SubmitDevice"), *reply ? 1u : 0u);
    }
}

TEST_F(StartupTest, BackgroundEmptiesTheOrganisationKeysAndURLsGoToMervio) {
    launchHome();
    ns::UserDefaults::standardUserDefaults()->setObject(ns::Value("12"), "QuorvelOrg_id");
    auto& app = ui::Application::sharedApplication();
    app.enterBackground();
    ns::UserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->objectForKey("QuorvelOrg_id"), ns::Value(""));

    const std::string url = "mv5c3e8a1f20b74d96://a";
    EXPECT_FALSE(appDelegate->application_handleOpenURL(app, url));  // no SDK
    std::vector<std::string> urls;
    mervioHooks().handleOpenURL = [&](const std::string& u) { return urls.push_back(u), true; };
    EXPECT_TRUE(appDelegate->application_handleOpenURL(app, url));
    EXPECT_TRUE(appDelegate->application_openURL_sourceApplication_annotation(app, url, "m", {}));
    EXPECT_EQ(urls, (std::vector<std::string>{url, url}));
}

}  // namespace
