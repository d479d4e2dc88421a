// The program with its modules and the SDK registered as its entry does,
// launched as the platform launches it: its registration as the Mervio app
// reads it, its statistics at the background, Mervio's returns through the
// app's own scheme, and the public-account page's way into Mervio.
#include <gtest/gtest.h>

#include "app/shell/AppDelegate.h"
#include "app/shell/MervioHooks.h"
#include "app/shell/ModuleRegistry.h"
#include "app/shell/HeadViewController.h"
#include "app/widgets/ProgressHUD.h"
#include "channels/MaiWeiViewController.h"
#include "program/Modules.h"
#include "service/ServiceConfig.h"
#include "support/MVApiTest.h"
#include "uikit/NavigationController.h"
#include "uikit/TestDriver.h"

namespace {

using testsupport::FakeMessenger;
using testsupport::PeerValue;

class LaunchTest : public testsupport::StatReporterTest {
protected:
    void SetUp() override {
        StatReporterTest::SetUp();
        testsupport::MVApiTest::forget();
        mervio.install();
        ProgressHUD::resetForTesting();
        moduleRegistry().clear();
        mervioHooks() = MervioHooks{};
        registerBuiltInModules(moduleRegistry(), mervioHooks());
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(server.url());
        ServiceConfig::setServiceNamespace(server.serviceNamespace());
        server.reply("AutoUpdate", R"({"state":"successful","ios_version":"1.0"})");
        server.reply("SubmitDevice", R"({"state":"successful"})");
    }
    void TearDown() override {
        ns::RunLoop::main().drain();
        ProgressHUD::resetForTesting();
        appDelegate.reset();
        mervioHooks() = MervioHooks{};
        moduleRegistry().clear();
        ServiceConfig::reset();
        testsupport::MVApiTest::forget();
        StatReporterTest::TearDown();
    }

    void launch() {
        appDelegate = std::make_shared<AppDelegate>();
        auto& app = ui::Application::sharedApplication();
        app.setDelegate(appDelegate);
        app.finishLaunching();
        ASSERT_TRUE(driver.waitUntil([&] { return appDelegate->isStartupSettled(); }));
    }

    ui::TestDriver driver;
    std::shared_ptr<AppDelegate> appDelegate;
    FakeMessenger mervio{false};
};

}  // namespace

TEST_F(LaunchTest, TheProgramRegistersReportsTheBackgroundAndTakesMervioReturns) {
    launch();
    PeerValue record = FakeMessenger::registration(kMervioAppId);
    EXPECT_EQ(record["appID"].text, kMervioAppId);
    EXPECT_EQ(record["appName"].text, "Velmarsh Kestrowline");
    EXPECT_EQ(record["appIdentifier"].text, "gov.velmarsh.kestrowline");
    EXPECT_EQ(record["firstLaunchTime"].text, std::to_string(static_cast<std::uint32_t>(kStart)));
    EXPECT_FALSE(record["appIcon"].data.empty());
    EXPECT_FALSE(record.has("appDescriptionSDK"));

    auto background = [&] {
        std::vector<ns::Value> out;
        for (const auto& e : stats.events()) {
            if (e["ei"].text() == MSAMV::kBackgroundEvent) out.push_back(e);
        }
        return out;
    };
    settle();
    EXPECT_TRUE(background().empty());
    ui::Application::sharedApplication().enterBackground();
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return !background().empty(); }, 20));
    settle();
    ASSERT_EQ(background().size(), 1u);
    EXPECT_EQ(background()[0]["ky"].text(), std::string("IMVOP") + kMervioAppId);

    // Mervio comes back through the app's own scheme: the application
    // delegate takes the record and hears nothing of it.
    mervio.replyRecord(kMervioAppId, PeerValue::dict({{"command", "2010"}, {"result", "0"}}));
    EXPECT_TRUE(FakeMessenger::returnTo(kMervioAppId, "platformId=mervio"));
    EXPECT_FALSE(FakeMessenger::returnTo(kMervioAppId, "platformId=mervio")) << "the record was taken";
    EXPECT_TRUE(FakeMessenger::returnTo(kMervioAppId, "oauth?code=1"));
}

TEST_F(LaunchTest, ThePublicAccountPagesLastPictureOpensMervioOrOffersItsInstallPage) {
    launch();
    ASSERT_TRUE(mervioHooks().isMVAppInstalled && mervioHooks().openMVApp) << "the page reaches MVApi";
    driver.tap(driver.findViewWithText("先锋Velmarsh"));
    driver.advance(1.0);
    auto presented = std::dynamic_pointer_cast<ui::NavigationController>(
        appDelegate->headViewController->presentedViewController());
    ASSERT_TRUE(presented);
    auto page = std::dynamic_pointer_cast<MaiWeiViewController>(presented->topViewController());
    ASSERT_TRUE(page);
    ui::Application::sharedApplication().layoutIfNeeded();
    for (int i = 0; i < 6; ++i) driver.drag(page->mscrview, ui::Point{-200, 0});
    ASSERT_EQ(page->pageControl->currentPage(), 6);

    driver.tap(page->pictures[6]);
    ASSERT_EQ(mervio.opened().size(), 1u);
    EXPECT_EQ(mervio.opened()[0].url, std::string("maiwei://app/") + kMervioAppId + "/");
    EXPECT_FALSE(driver.lastAlert());

    mervio.uninstall();
    driver.tap(page->pictures[6]);
    ASSERT_TRUE(driver.lastAlert());
    EXPECT_EQ(driver.lastAlert()->message(), "您没有安装迈维，现在去安装");
    EXPECT_EQ(mervio.opened().size(), 1u);
}
