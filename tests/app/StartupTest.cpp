#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "app/AppLinks.h"
#include "foundation/Log.h"

namespace {

using StartupTest = shelltest::ShellTest;

TEST_F(StartupTest, ResetsTheRunKeysRegistersAndShowsTheHomeScreen) {
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setObject(ns::Value("12"), "MobileOrg_id");
    defaults->setObject(ns::Value("34"), "QuorvelOrg_id");
    defaults->setBool(true, "LoginState");
    std::vector<std::string> registered;
    mervioHooks().registerApp = [&](const std::string& id, const std::string& description) {
        registered = {id, description};
        return true;
    };
    launchHome();

    ns::UserDefaults::resetStandardUserDefaults();  // read back what was written to the file
    defaults = ns::UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->objectForKey("MobileOrg_id"), ns::Value(""));
    EXPECT_EQ(defaults->objectForKey("QuorvelOrg_id"), ns::Value(""));
    EXPECT_TRUE(defaults->objectForKey("LoginState").isNumber());
    EXPECT_FALSE(defaults->boolForKey("LoginState"));
    EXPECT_EQ(registered, (std::vector<std::string>{kMervioAppId, ""}));

    // The home screen is the root of a navigation controller in the key window.
    auto window = driver->keyWindow();
    ASSERT_EQ(window, appDelegate->window);
    EXPECT_EQ(window->rootViewController(), nav());
    EXPECT_EQ(nav()->viewControllers().front(), home());
    EXPECT_TRUE(driver->findViewWithText(HeadViewController::kProductName));

    // The version check went out once; then the device was registered.
    EXPECT_EQ(svc.count("AutoUpdate"), 1u);
    ASSERT_EQ(svc.count("SubmitDevice"), 1u);
    std::string device = svc.received("SubmitDevice")["parameters"]["device_id"].text();
    EXPECT_EQ(device, AppDelegate::deviceIdentifier());
    EXPECT_EQ(device.size(), 32u);
    EXPECT_EQ(device.find_first_not_of("0123456789abcdef"), std::string::npos);
    auto requests = svc.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].operation, "AutoUpdate");
    EXPECT_EQ(requests[1].operation, "SubmitDevice");
}

TEST_F(StartupTest, ANewVersionShowsItsDescriptionAndTheButtonOpensTheInstallLink) {
    svc.reply("AutoUpdate", R"({"state":"successful","ios_version":"1.2","ios_description":"修复了若干问题"})");
    svc.reply("SubmitDevice", R"({"state":"successful"})");
    std::vector<std::string> opened;
    ui::Application::sharedApplication().registerURLScheme("itms-services", [&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    ns::LogCapture log;
    launch();
    EXPECT_TRUE(log.contains("版本更新response="));

    EXPECT_TRUE(driver->isOnScreen(*appDelegate->updateView));
    EXPECT_FALSE(appDelegate->bgView->isHidden());
    EXPECT_DOUBLE_EQ(appDelegate->bgView->alpha(), 0.6);
    EXPECT_TRUE(driver->findViewWithText("修复了若干问题"));
    // The prompt lies above the home screen and takes the touch.
    EXPECT_EQ(driver->tap(appDelegate->updateButton), appDelegate->updateButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], AppLinks::installLink());
    EXPECT_EQ(opened[0].rfind("itms-services://?action=download-manifest&url=" + svc.baseURL(), 0), 0u);
    EXPECT_TRUE(appDelegate->updateView->isHidden());
    EXPECT_TRUE(appDelegate->bgView->isHidden());
}

TEST_F(StartupTest, NoPromptForTheSameVersionOrAReplyWithoutOne) {
    for (const char* reply : {R"({"state":"successful","ios_version":"1.0","ios_description":"x"})",
                              R"({"state":"failed"})", "not json"}) {
        SCOPED_TRACE(reply);
        ui::Application::resetForTesting();
        svc.clearRecords();
        svc.reply("AutoUpdate", reply);
        svc.reply("SubmitDevice", R"({"state":"successful"})");
        launch();
        EXPECT_TRUE(appDelegate->updateView->isHidden());
        EXPECT_TRUE(appDelegate->bgView->isHidden());
        EXPECT_EQ(svc.count("SubmitDevice"), 1u);
    }
}

TEST_F(StartupTest, TheCancelButtonClosesThePrompt) {
    svc.reply("AutoUpdate", R"({"ios_version":"2.0","ios_description":"新版本"})");
    svc.reply("SubmitDevice", R"({"state":"successful"})");
    launch();
    ASSERT_FALSE(appDelegate->updateView->isHidden());
    driver->tap(appDelegate->cancelUpdateButton);
    EXPECT_TRUE(appDelegate->updateView->isHidden());
    EXPECT_TRUE(appDelegate->bgView->isHidden());
    EXPECT_TRUE(ui::Application::sharedApplication().openedURLs().empty());
}

TEST_F(StartupTest, AFailedVersionCheckSendsNothingMore) {
    svc.reply("AutoUpdate", LoopbackService::status(500));
    launch();
    EXPECT_TRUE(appDelegate->isVersionCheckDone());
    EXPECT_EQ(svc.count("SubmitDevice"), 0u);
    EXPECT_TRUE(appDelegate->updateView->isHidden());
}

TEST_F(StartupTest, BackgroundEmptiesTheOrganisationKeysAndURLsGoToMervio) {
    launchHome();
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setObject(ns::Value("12"), "MobileOrg_id");
    defaults->setObject(ns::Value("34"), "QuorvelOrg_id");
    auto& app = ui::Application::sharedApplication();
    app.enterBackground();
    ns::UserDefaults::resetStandardUserDefaults();
    defaults = ns::UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->objectForKey("MobileOrg_id"), ns::Value(""));
    EXPECT_EQ(defaults->objectForKey("QuorvelOrg_id"), ns::Value(""));

    // Without the SDK no URL is taken; with it, every URL reaches it.
    EXPECT_FALSE(appDelegate->application_handleOpenURL(app, "mv5c3e8a1f20b74d96://oauth"));
    std::vector<std::string> urls;
    mervioHooks().handleOpenURL = [&](const std::string& url) {
        urls.push_back(url);
        return true;
    };
    EXPECT_TRUE(appDelegate->application_handleOpenURL(app, "mv5c3e8a1f20b74d96://a"));
    EXPECT_TRUE(appDelegate->application_openURL_sourceApplication_annotation(app, "mv5c3e8a1f20b74d96://b",
                                                                              "com.mervio", {}));
    EXPECT_EQ(urls, (std::vector<std::string>{"mv5c3e8a1f20b74d96://a", "mv5c3e8a1f20b74d96://b"}));
}

TEST_F(StartupTest, AReplyAfterTheDelegateHasGoneReachesNobody) {
    svc.reply("AutoUpdate", LoopbackService::held(svc.result("AutoUpdate", R"({"ios_version":"9"})")));
    launch(false);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("AutoUpdate") == 1; }));
    std::weak_ptr<AppDelegate> weak = appDelegate;
    ui::Application::resetForTesting();
    appDelegate.reset();
    EXPECT_TRUE(weak.expired());
    svc.release();
    ASSERT_TRUE(driver->waitUntil([] { return net::NetworkActivity::count() == 0; }));
    driver->runPending();
    EXPECT_EQ(svc.count("SubmitDevice"), 0u);
}

}  // namespace
