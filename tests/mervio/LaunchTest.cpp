// The program with the SDK built in, launched as the platform launches it:
// its registration as the Mervio app reads it, its statistics at the
// background, Mervio's returns through the app's own scheme.
#include <gtest/gtest.h>

#include "app/shell/AppDelegate.h"
#include "app/shell/MervioHooks.h"
#include "app/shell/ModuleRegistry.h"
#include "app/widgets/ProgressHUD.h"
#include "mervio/Module.h"
#include "service/ServiceConfig.h"
#include "support/MVApiTest.h"
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
        registerMervioModule(moduleRegistry(), mervioHooks());
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
