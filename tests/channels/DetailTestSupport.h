// Set-up for the tests of the article detail and comment screens: a fresh
// application on the manual clock, the loopback service as the endpoint, no
// stored login, and a navigation controller in a visible window to push the
// screens on.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/UserDefaults.h"
#include "net/Alert.h"
#include "service/JSON.h"
#include "service/VoVaClient.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace detailtest {

inline constexpr const char* kMemberReply =
    R"({"state":"successful","message":"登录成功","records":{"member_id":"501","uname":"lisi","type":"1",)"
    R"("area_id":"7","real_name":"李四","user_name":"lisi","password":"secret"}})";

// An article reply with a body and its record.
inline std::string articleReply(const std::string& title = "标题", const std::string& content = "<p>正文</p>") {
    ns::Value record = ns::Value::dictionary({{"title", title},
                                              {"user_name", "王五"},
                                              {"add_time", "2014-03-05 10:20"},
                                              {"img_url", ""},
                                              {"channel_id", "12"},
                                              {"content", content}});
    return JSONRepresentation(ns::Value::dictionary({{"state", "successful"}, {"records", record}}));
}

// A page of comment records numbered from `first`.
inline std::string commentPage(int first, int count) {
    ns::Value rows = ns::Value::array();
    for (int i = 0; i < count; ++i) {
        rows.push(ns::Value::dictionary({{"user_name", "网友" + std::to_string(first + i)},
                                         {"add_time", "2014-03-05"},
                                         {"support_count", first + i},
                                         {"content", "评论" + std::to_string(first + i)}}));
    }
    return JSONRepresentation(ns::Value::dictionary({{"state", "successful"}, {"records", rows}}));
}

class DetailTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        ui::WebView::resetForTesting();
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(svc.url());
        ServiceConfig::setServiceNamespace(svc.serviceNamespace());
        auto defaults = ns::UserDefaults::standardUserDefaults();
        for (const char* key : {"login_flg", "memberDic", "LoginState"}) defaults->removeObjectForKey(key);
        driver = std::make_unique<ui::TestDriver>();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
        root = ui::create<ui::ViewController>();
        nav = ui::create<ui::NavigationController>(root);
        window->setRootViewController(nav);
    }
    void TearDown() override {
        ns::RunLoop::main().drain();
        ProgressHUD::resetForTesting();
        ui::WebView::resetForTesting();
        nav.reset();
        root.reset();
        window.reset();
        driver.reset();
        ui::Application::resetForTesting();
        net::setAlertPresenter({});
        ServiceConfig::reset();
    }

    // A member logged in from an earlier launch.
    static void storeMember() {
        Utils::saveUserWithMemberData(records::item(records::parse(kMemberReply)), "1");
    }

    // Whether a request for the path has arrived.
    bool servedPath(const std::string& path) const {
        for (auto& r : svc.requests()) {
            if (r.path == path) return true;
        }
        return false;
    }
    // Lets the replies on their way arrive and be handled (all but those held).
    void settleService(int stillHeld = 0) { EXPECT_TRUE(driver->waitUntilExchangesSettle(stillHeld)); }

    // The message of the last alert shown ("" when none).
    std::string lastAlertMessage() const {
        auto a = driver->lastAlert();
        return a ? a->message() : std::string();
    }
    int alertsWithMessage(const std::string& message) const {
        int n = 0;
        for (auto& p : driver->shownPopups()) {
            if (p->messageText() == message) ++n;
        }
        return n;
    }

    LoopbackService svc;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
};

}  // namespace detailtest
