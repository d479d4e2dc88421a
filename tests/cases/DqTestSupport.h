// Set-up for the direct line's tests: the module in its container on a home
// navigation controller, petition pages, and a logged-in member.
#pragma once

#include <memory>
#include <string>

#include "../channels/ChannelsTestSupport.h"
#include "app/framework/Records.h"
#include "app/framework/RevealController.h"
#include "app/shell/Utils.h"
#include "service/JSON.h"
#include "uikit/NavigationController.h"

namespace dqtest {

class HomeStub : public ui::ViewController {};

// A page of petition records: ids "<page>-<i>".
inline ns::Value petitionPage(int page, int size = 10) {
    ns::Value rows = ns::Value::array();
    for (int i = 1; i <= size; ++i) {
        std::string id = ns::format("%d-%d", page, i);
        rows.push(ns::Value::dictionary({{"id", id},
                                         {"title", "标题" + id},
                                         {"org_name", "机构" + id},
                                         {"content", "内容" + id},
                                         {"user_name", "张三"}}));
    }
    return rows;
}

inline constexpr const char* kMember =
    R"({"member_id":"501","real_name":"李四","user_name":"lisi","password":"secret"})";

class DqTest : public chtest::ChannelsTest {
protected:
    std::shared_ptr<RevealController> openModule(const std::shared_ptr<ui::ViewController>& front,
                                                 const std::shared_ptr<ui::ViewController>& rear) {
        homeNav = ui::create<ui::NavigationController>(ui::create<HomeStub>());
        showRoot(homeNav);
        auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
        homeNav->pushViewController(reveal, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        return reveal;
    }
    // Shows the screen at the root of a navigation controller.
    std::shared_ptr<ui::NavigationController> showInNav(const std::shared_ptr<ui::ViewController>& screen) {
        auto nav = ui::create<ui::NavigationController>(screen);
        showRoot(nav);
        return nav;
    }
    static std::shared_ptr<ui::ViewController> frontRoot(const std::shared_ptr<RevealController>& reveal) {
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return nav && !nav->viewControllers().empty() ? nav->viewControllers().front() : nullptr;
    }
    void servePetitionPages(int pages = 100) {
        svc.handle("GetGroupVoice", [this, pages](const LoopbackService::Received& r) {
            int page = chtest::requestedPage(r);
            return svc.result("GetGroupVoice",
                              chtest::listReply(page <= pages ? petitionPage(page) : ns::Value::array()));
        });
    }
    static void logIn() { Utils::saveUserWithMemberData(records::parse(kMember), "1"); }
    int alertsWithMessage(const std::string& message) const {
        int n = 0;
        for (auto& p : driver->shownPopups()) n += p->messageText() == message ? 1 : 0;
        return n;
    }

    std::shared_ptr<ui::NavigationController> homeNav;
};

}  // namespace dqtest
