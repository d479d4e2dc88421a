#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/framework/RevealController.h"

namespace {

using RevealControllerTest = widgettest::WidgetTest;
using Controllers = std::vector<std::shared_ptr<ui::ViewController>>;

class Screen : public ui::ViewController {
public:
    void viewWillAppear(bool) override { appeared++; }
    int appeared = 0;
};

class Watcher : public ui::Object, public SlideRevealControllerDelegate {
public:
    void revealController_didSwapToFrontViewController(SlideRevealController&,
                                                       const std::shared_ptr<ui::ViewController>& vc) override {
        swaps.push_back(vc);
    }
    void revealController_didRevealRearViewController(SlideRevealController&,
                                                      const std::shared_ptr<ui::ViewController>&) override {
        events.push_back("didReveal");
    }
    void revealController_didHideRearViewController(SlideRevealController&,
                                                    const std::shared_ptr<ui::ViewController>&) override {
        events.push_back("didHide");
    }
    Controllers swaps;
    std::vector<std::string> events;
};

// A module pushed on the home navigation controller, the system bars hidden
// as the module screens hide them.
struct Module {
    explicit Module(const std::shared_ptr<ui::Window>& window) {
        home = ui::create<ui::NavigationController>(ui::create<ui::ViewController>());
        window->setRootViewController(home);
        front = ui::create<ui::NavigationController>(ui::create<Screen>());
        rear = ui::create<Screen>();
        reveal = ui::create<RevealController>(front, rear);
        home->pushViewController(reveal, false);
        home->setNavigationBarHidden(true, false);
        front->setNavigationBarHidden(true, false);
        reveal->setDelegate(watcher);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    double frontX() const { return reveal->frontView()->frame().origin.x; }

    std::shared_ptr<ui::NavigationController> home, front;
    std::shared_ptr<Screen> rear;
    std::shared_ptr<RevealController> reveal;
    std::shared_ptr<Watcher> watcher = std::make_shared<Watcher>();
};

TEST_F(RevealControllerTest, ToggleSlidesTheFrontOpenAndShutOnTheClock) {
    Module m(window);
    EXPECT_EQ(m.rear->parentViewController(), m.reveal);
    EXPECT_EQ(m.rear->navigationController(), m.home);
    EXPECT_EQ(m.rear->appeared, 1);

    m.reveal->revealToggle(nullptr);
    EXPECT_EQ(m.frontX(), 260);
    driver->advance(0.24);
    EXPECT_TRUE(m.watcher->events.empty());
    driver->advance(0.01);
    EXPECT_EQ(m.watcher->events, std::vector<std::string>{"didReveal"});

    // Turned back before a slide ends: only the last one reports.
    m.reveal->revealToggle(nullptr);
    m.reveal->revealToggle(nullptr);
    m.reveal->revealToggle(nullptr);
    driver->advance(0.3);
    EXPECT_EQ(m.watcher->events, (std::vector<std::string>{"didReveal", "didHide"}));
    EXPECT_EQ(m.frontX(), 0);
}

TEST_F(RevealControllerTest, SettingTheFrontFollowsTheSwapRules) {
    Module m(window);
    m.reveal->revealToggle(nullptr);  // the menu is open, as when a row is touched

    m.reveal->setFrontViewController(nullptr, false);
    EXPECT_EQ(m.reveal->frontViewController(), m.front);
    EXPECT_EQ(m.frontX(), 260);

    // The current front again only toggles.
    m.reveal->setFrontViewController(m.front, false);
    EXPECT_EQ(m.frontX(), 0);
    EXPECT_TRUE(m.watcher->swaps.empty());
    m.reveal->revealToggle(nullptr);

    // Another replaces it, the old one is released, the menu closes over the new one.
    std::weak_ptr<ui::NavigationController> oldFront = m.front;
    auto screen = ui::create<Screen>();
    auto newFront = ui::create<ui::NavigationController>(screen);
    m.front.reset();
    m.reveal->setFrontViewController(newFront, false);
    EXPECT_TRUE(oldFront.expired());
    EXPECT_EQ(m.reveal->frontViewController(), newFront);
    EXPECT_EQ(newFront->parentViewController(), m.reveal);
    EXPECT_EQ(m.reveal->frontView()->subviewCount(), 1u);
    EXPECT_EQ(screen->appeared, 1);
    EXPECT_EQ(m.watcher->swaps, Controllers{newFront});
    EXPECT_EQ(m.frontX(), 0);

    // Animated: the old front slides out, then the new one comes back.
    m.reveal->revealToggle(nullptr);
    auto third = ui::create<ui::NavigationController>(ui::create<Screen>());
    m.reveal->setFrontViewController(third, true);
    EXPECT_EQ(m.frontX(), 320);
    EXPECT_EQ(m.reveal->frontViewController(), newFront);
    driver->advance(SlideRevealController::kSwapOutDuration);
    EXPECT_EQ(m.reveal->frontViewController(), third);
    EXPECT_EQ(m.frontX(), 0);
}

TEST_F(RevealControllerTest, PanAndMenuButtonMoveTheFront) {
    Module m(window);
    auto bar = ui::create<ui::View>(ui::Rect{0, 0, 320, 64});
    m.front->topViewController()->view()->addSubview(bar);
    bar->addGestureRecognizer(ui::create<ui::PanGestureRecognizer>(m.reveal, &SlideRevealController::revealGesture));

    driver->drag(bar, ui::Point{100, 0});  // not far enough: settles shut
    EXPECT_EQ(m.frontX(), 0);
    driver->fireGesture<ui::PanGestureRecognizer>(bar, ui::Point{180, 0});
    EXPECT_EQ(m.frontX(), 260);
    driver->fireGesture<ui::PanGestureRecognizer>(bar, ui::Point{-400, 0});
    EXPECT_EQ(m.frontX(), 0);

    auto menu = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    menu->setFrame(ui::Rect{10, 25, 22, 22});
    menu->addTarget(m.reveal, &SlideRevealController::revealToggle, ui::ControlEventTouchUpInside);
    bar->addSubview(menu);
    driver->tap(menu);
    EXPECT_EQ(m.frontX(), 260);
    driver->tap(menu);  // found where the front has moved it
    EXPECT_EQ(m.frontX(), 0);
}

TEST_F(RevealControllerTest, SlidesEndingAfterTheModuleHasGoneDoNothing) {
    Module m(window);
    m.reveal->revealToggle(nullptr);
    m.reveal->setFrontViewController(ui::create<ui::NavigationController>(ui::create<Screen>()), true);
    std::weak_ptr<RevealController> weak = m.reveal;
    m.home->popViewControllerAnimated(false);
    m.reveal.reset();
    m.front.reset();
    EXPECT_TRUE(weak.expired());
    driver->advance(1);
    EXPECT_TRUE(m.watcher->swaps.empty());
}

}  // namespace
