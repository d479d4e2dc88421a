// A module's slide-menu container pushed on a home navigation controller in
// the window, for the tests of the channel menus and the lists they swap in.
#pragma once

#include <memory>

#include "ChannelsTestSupport.h"
#include "app/framework/RevealController.h"
#include "uikit/NavigationController.h"

namespace chtest {

class HomeStub : public ui::ViewController {};

class ModuleFixture : public ChannelsTest {
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
    void openMenu(const std::shared_ptr<RevealController>& reveal) {
        reveal->revealToggle(nullptr);
        driver->advance(SlideRevealController::kToggleDuration);
        ASSERT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    }
    static std::shared_ptr<ui::ViewController> frontRoot(const std::shared_ptr<RevealController>& reveal) {
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return nav && !nav->viewControllers().empty() ? nav->viewControllers().front() : nullptr;
    }
    template <typename T>
    std::shared_ptr<T> frontAs(const std::shared_ptr<RevealController>& reveal) {
        return std::dynamic_pointer_cast<T>(frontRoot(reveal));
    }
    // Waits until the list has no page request outstanding.
    template <typename L>
    bool settle(const std::shared_ptr<L>& s) {
        return driver->waitUntil([&] { return s->list && !s->list->isLoadingPage(); });
    }

    std::shared_ptr<ui::NavigationController> homeNav;
};

}  // namespace chtest
