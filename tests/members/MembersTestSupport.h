// Set-up for the member services' tests: a fresh application on the manual
// clock set to a chosen local day, the loopback service as the endpoint, a
// stored login (member "501") and a navigation controller in a visible window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/DateTime.h"
#include "foundation/RunLoop.h"
#include "foundation/UserDefaults.h"
#include "net/Alert.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/NavigationController.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"
#include "uikit/WebView.h"

namespace memberstest {

inline constexpr const char* kMemberReply =
    R"({"state":"successful","records":{"member_id":"501","real_name":"李四","user_name":"lisi","password":"secret"}})";

class MembersTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        ui::WebView::resetForTesting();
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(svc.url());
        ServiceConfig::setServiceNamespace(svc.serviceNamespace());
        Utils::saveUserWithMemberData(records::item(records::parse(kMemberReply)), "1");
        driver = std::make_unique<ui::TestDriver>();
        setToday(2015, 9, 10);
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

    // The manual clock at noon of that local day.
    static void setToday(int year, int month, int day) {
        ns::RunLoop::useManualClock(*ns::dateFromComponents(year, month, day, 12, 0, 0));
    }

    template <typename T>
    std::shared_ptr<T> push() {
        auto screen = ui::create<T>();
        nav->pushViewController(screen, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        return screen;
    }

    // Scrolls the table (or grid) to its top and pulls it down past the header's mark.
    static void pullDown(const std::shared_ptr<ui::ScrollView>& table) {
        table->simulateDrag(ui::Point{0, table->contentOffset().y + 80});
    }
    // Pulls the table's (or grid's) bottom edge up past the footer's mark and lets go.
    static void pullUp(const std::shared_ptr<ui::ScrollView>& table) {
        double height = table->frame().size.height;
        double end = std::max(table->contentSize().height, height) - height;
        table->simulateDrag(ui::Point{0, -(end - table->contentOffset().y + 80)});
    }

    bool waitForCount(const std::string& operation, std::size_t n) {
        return driver->waitUntil([&] { return svc.count(operation) >= n; });
    }
    bool waitForAlert() {
        return driver->waitUntil([&] { return driver->topPopup() != nullptr; });
    }
    // The message of the alert on top ("" when none), which is then closed.
    std::string takeAlert() {
        auto popup = driver->topPopup();
        if (!popup) return "";
        std::string text = popup->messageText();
        driver->pressAlertButton(0);
        return text;
    }

    // Lets the replies on their way arrive and be handled (all but those held).
    void settleService(int stillHeld = 0) { EXPECT_TRUE(driver->waitUntilExchangesSettle(stillHeld)); }

    LoopbackService svc;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
};

// A month reply: the days (1-31) of the month key as sign-in records.
inline std::string monthReply(const std::string& key, std::initializer_list<int> days, const ns::Value& count = {}) {
    ns::Value rows = ns::Value::array();
    for (int d : days) {
        char text[32];
        std::snprintf(text, sizeof text, "%s-%02d 08:30:00", key.c_str(), d);
        rows.push(ns::Value::dictionary({{"add_time", std::string(text)}}));
    }
    ns::Value reply = ns::Value::dictionary({{"state", "successful"}, {"records", rows}});
    reply.set("sign_count", count.isNil() ? ns::Value(static_cast<long long>(days.size())) : count);
    return JSONRepresentation(reply);
}

}  // namespace memberstest
