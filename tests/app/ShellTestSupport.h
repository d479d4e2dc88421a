// Set-up for the application shell's tests: a fresh application on the
// manual clock, the loopback service as the endpoint, no stored login, no
// modules and no Mervio SDK, and the launch as the platform does it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/shell/AppDelegate.h"
#include "app/shell/HeadViewController.h"
#include "app/shell/MervioHooks.h"
#include "app/shell/ModuleRegistry.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/UserDefaults.h"
#include "net/Alert.h"
#include "net/NetworkActivity.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace shelltest {

inline constexpr const char* kMemberReply =
    R"({"state":"successful","message":"登录成功","records":{"member_id":"501","uname":"lisi","type":"1",)"
    R"("area_id":"7","real_name":"李四","user_name":"lisi","password":"secret"}})";

class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        moduleRegistry().clear();
        mervioHooks() = MervioHooks{};
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(svc.url());
        ServiceConfig::setServiceNamespace(svc.serviceNamespace());
        auto defaults = ns::UserDefaults::standardUserDefaults();
        for (const char* key : {"login_flg", "memberDic", "LoginState", "MobileOrg_id", "QuorvelOrg_id"}) {
            defaults->removeObjectForKey(key);
        }
        driver = std::make_unique<ui::TestDriver>();
    }
    void TearDown() override {
        if (appDelegate) ns::RunLoop::main().drain();
        ProgressHUD::resetForTesting();
        appDelegate.reset();
        driver.reset();
        ui::Application::resetForTesting();
        net::setAlertPresenter({});
        net::NetworkActivity::setObserver({});
        moduleRegistry().clear();
        mervioHooks() = MervioHooks{};
        ServiceConfig::reset();
    }

    // Launches the application; with a version reply scripted, waits until
    // the start-up requests are over.
    void launch(bool waitForStartup = true) {
        appDelegate = std::make_shared<AppDelegate>();
        auto& app = ui::Application::sharedApplication();
        app.setDelegate(appDelegate);
        app.finishLaunching();
        if (waitForStartup) {
            ASSERT_TRUE(driver->waitUntil([&] { return appDelegate->isStartupSettled(); }));
        }
    }
    // The start-up with an equal version: no prompt.
    void launchHome() {
        svc.reply("AutoUpdate", R"({"state":"successful","ios_version":"1.0"})");
        svc.reply("SubmitDevice", R"({"state":"successful"})");
        launch();
    }

    std::shared_ptr<HeadViewController> home() const { return appDelegate->headViewController; }
    std::shared_ptr<ui::NavigationController> nav() const { return appDelegate->navigationController; }
    std::shared_ptr<ui::ViewController> top() const { return nav()->topViewController(); }

    std::shared_ptr<ui::Button> tile(int tag) const {
        for (auto& b : home()->tileButtons) {
            if (b->tag() == tag) return b;
        }
        return nullptr;
    }
    void tapTile(int tag) { driver->tap(tile(tag)); }

    // Types into the overlay's fields and taps "登录", then waits for the answer.
    void logIn(const std::string& user = "lisi", const std::string& password = "secret") {
        auto login = home()->loginview;
        ASSERT_FALSE(login->view()->isHidden());
        login->userField->setText("");
        driver->typeText(login->userField, user);
        driver->typeText(login->passwordField, password);
        driver->tap(login->loginButton);
        ASSERT_TRUE(driver->waitUntil([&] { return !login->isLoggingIn(); }));
    }

    LoopbackService svc;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<AppDelegate> appDelegate;
};

// A module screen stand-in with the name of its factory.
class FakeScreen : public ui::ViewController {
public:
    std::string name;
};

inline ScreenFactory fakeFactory(const std::string& name) {
    return [name] {
        auto s = ui::create<FakeScreen>();
        s->name = name;
        return s;
    };
}

}  // namespace shelltest
