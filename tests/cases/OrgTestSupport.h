// Set-up for the grid organisation screens' tests: a fresh application with a
// visible key window, the manual clock, the loopback service as endpoint, a
// logged-in member "7", and a table that fails the test when it shows a row
// its data source no longer has.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/widgets/ProgressHUD.h"
#include "app/shell/Utils.h"
#include "foundation/Format.h"
#include "foundation/Value.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/NavigationController.h"
#include "uikit/TableView.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace orgtest {

class HomeStub : public ui::ViewController {};

inline std::string reply(const ns::Value& v) { return JSONRepresentation(v); }

class OrgTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        ui::TableView::setStaleRowHandler([](const std::string& message) { ADD_FAILURE() << message; });
        ServiceConfig::setEndpoint(svc.url());
        Utils::saveUserWithMemberData(ns::Value::dictionary({{"member_id", "7"}, {"real_name", "李明"}}), "1");
        driver = std::make_unique<ui::TestDriver>();
        window = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        ProgressHUD::resetForTesting();
        window.reset();
        driver.reset();
        ui::Application::resetForTesting();
        ServiceConfig::reset();
        ui::TableView::setStaleRowHandler(nullptr);
    }

    // A navigation controller around a home stub as the window's root, with
    // the screen pushed on it.
    void showPushed(const std::shared_ptr<ui::ViewController>& vc) {
        nav = ui::create<ui::NavigationController>(ui::create<HomeStub>());
        nav->setNavigationBarHidden(true, false);  // as the module screens keep it
        window->setRootViewController(nav);
        ui::Application::sharedApplication().layoutIfNeeded();
        nav->pushViewController(vc, false);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    void showRoot(const std::shared_ptr<ui::ViewController>& vc) {
        nav = ui::create<ui::NavigationController>(vc);
        nav->setNavigationBarHidden(true, false);
        window->setRootViewController(nav);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    bool waitForRequests(const std::string& operation, std::size_t n) {
        return driver->waitUntil([&] { return svc.count(operation) >= n; });
    }
    // Lets replies in flight arrive and the overlay's delays run out.
    void settle() {
        driver->runPending();
        driver->advance(1.0);
    }
    std::shared_ptr<ui::AlertView> alert() const { return driver->lastAlert(); }
    std::string alertMessage() const {
        auto a = driver->lastAlert();
        return a && a->isVisible() ? a->message() : std::string();
    }

    LoopbackService svc;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::NavigationController> nav;
};

}  // namespace orgtest
