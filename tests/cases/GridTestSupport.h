// Set-up for the grid module's tests: a logged-in member, the home
// navigation controller with the grid container pushed on it.
#pragma once

#include <memory>
#include <string>

#include "app/framework/RevealController.h"
#include "app/shell/Utils.h"
#include "channels/ChannelsTestSupport.h"
#include "service/JSON.h"
#include "uikit/NavigationController.h"

namespace gridtest {

class HomeStub : public ui::ViewController {};
class FrontStub : public ui::ViewController {};

inline std::string json(const ns::Value& v) { return JSONRepresentation(v); }

class GridTest : public chtest::ChannelsTest {
protected:
    void SetUp() override {
        chtest::ChannelsTest::SetUp();
        Utils::saveUserWithMemberData(ns::Value::dictionary({{"member_id", "77"}, {"real_name", "王五"}}), "1");
    }

    // The container around `front` (in a navigation controller) and `rear`,
    // pushed on the home navigation controller at the window's root.
    std::shared_ptr<RevealController> openModule(const std::shared_ptr<ui::ViewController>& front,
                                                 const std::shared_ptr<ui::ViewController>& rear) {
        homeNav = ui::create<ui::NavigationController>(ui::create<HomeStub>());
        showRoot(homeNav);
        auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
        homeNav->pushViewController(reveal, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        return reveal;
    }
    // The screen at the root of the container's front navigation controller.
    static std::shared_ptr<ui::ViewController> frontRoot(const std::shared_ptr<RevealController>& reveal) {
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return nav && !nav->viewControllers().empty() ? nav->viewControllers().front() : nullptr;
    }
    // Shows `screen` alone in a navigation controller at the window's root.
    void showInNav(const std::shared_ptr<ui::ViewController>& screen) {
        homeNav = ui::create<ui::NavigationController>(screen);
        showRoot(homeNav);
    }
    // The message of the alert on top ("" when none is up).
    std::string alertMessage() const {
        auto alert = std::dynamic_pointer_cast<ui::AlertView>(driver->topPopup());
        return alert ? alert->message() : "";
    }
    bool waitForAlert() {
        return driver->waitUntil([&] { return driver->topPopup() != nullptr; });
    }
    bool hudClosed() {
        return driver->waitUntil([] { return !ProgressHUD::isVisible(); });
    }

    std::shared_ptr<ui::NavigationController> homeNav;
};

}  // namespace gridtest
