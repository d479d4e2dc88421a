#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/RevealController.h"
#include "foundation/Log.h"

namespace {

using RevealControllerTest = widgettest::WidgetTest;

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
    std::vector<std::shared_ptr<ui::ViewController>> swaps;
    std::vector<std::string> events;
};

struct Module {
    std::shared_ptr<ui::NavigationController> home;
    std::shared_ptr<RevealController> reveal;
    std::shared_ptr<ui::NavigationController> front;
    std::shared_ptr<Screen> rear;
};

Module openModule(const std::shared_ptr<ui::Window>& window) {
    Module m;
    m.home = ui::create<ui::NavigationController>(ui::create<ui::ViewController>());
    window->setRootViewController(m.home);
    m.front = ui::create<ui::NavigationController>(ui::create<Screen>());
    m.rear = ui::create<Screen>();
    m.reveal = ui::create<RevealController>(m.front, m.rear);
    m.home->pushViewController(m.reveal, false);
    // Module screens hide both system bars.
    m.home->setNavigationBarHidden(true, false);
    m.front->setNavigationBarHidden(true, false);
    ui::Application::sharedApplication().layoutIfNeeded();
    return m;
}

double frontX(const Module& m) { return m.reveal->frontView()->frame().origin.x; }

TEST_F(RevealControllerTest, RearIsAChildReachingTheHomeNavigationController) {
    auto m = openModule(window);
    EXPECT_EQ(m.reveal->frontViewController(), m.front);
    EXPECT_EQ(m.rear->parentViewController(), m.reveal);
    EXPECT_EQ(m.rear->navigationController(), m.home);
    EXPECT_EQ(m.front->parentViewController(), m.reveal);
    EXPECT_TRUE(m.front->view()->isDescendantOfView(m.reveal->frontView().get()));
    EXPECT_TRUE(m.rear->view()->isDescendantOfView(m.reveal->rearView().get()));
    EXPECT_EQ(m.rear->appeared, 1);
    EXPECT_EQ(frontX(m), 0);
}

TEST_F(RevealControllerTest, ToggleSlidesTheFrontOpenAndShutOnTheClock) {
    auto m = openModule(window);
    auto watcher = std::make_shared<Watcher>();
    m.reveal->setDelegate(watcher);

    m.reveal->revealToggle(nullptr);
    EXPECT_EQ(frontX(m), SlideRevealController::kRevealWidth);
    EXPECT_EQ(m.reveal->currentFrontViewPosition(), FrontViewPositionRight);
    driver->advance(0.2);
    EXPECT_TRUE(watcher->events.empty());
    driver->advance(0.06);
    EXPECT_EQ(watcher->events, std::vector<std::string>{"didReveal"});

    m.reveal->revealToggle(nullptr);
    EXPECT_EQ(frontX(m), 0);
    // Turned back before it ends: only the last slide reports.
    m.reveal->revealToggle(nullptr);
    m.reveal->revealToggle(nullptr);
    driver->advance(0.3);
    EXPECT_EQ(watcher->events, (std::vector<std::string>{"didReveal", "didHide"}));
    EXPECT_EQ(frontX(m), 0);
}

TEST_F(RevealControllerTest, SettingTheFrontFollowsTheSwapRules) {
    auto m = openModule(window);
    auto watcher = std::make_shared<Watcher>();
    m.reveal->setDelegate(watcher);
    m.reveal->revealToggle(nullptr);  // the menu is open, as when a row is touched

    // Nothing for no controller.
    m.reveal->setFrontViewController(nullptr, false);
    EXPECT_EQ(m.reveal->frontViewController(), m.front);
    EXPECT_EQ(frontX(m), SlideRevealController::kRevealWidth);

    // The current front again only toggles.
    m.reveal->setFrontViewController(m.front, false);
    EXPECT_EQ(frontX(m), 0);
    EXPECT_TRUE(watcher->swaps.empty());
    m.reveal->revealToggle(nullptr);

    // Another controller replaces the old one and closes the menu over it.
    std::weak_ptr<ui::NavigationController> oldFront = m.front;
    auto newScreen = ui::create<Screen>();
    auto newFront = ui::create<ui::NavigationController>(newScreen);
    m.front.reset();
    m.reveal->setFrontViewController(newFront, false);
    EXPECT_TRUE(oldFront.expired());
    EXPECT_EQ(m.reveal->frontViewController(), newFront);
    EXPECT_EQ(newFront->parentViewController(), m.reveal);
    EXPECT_EQ(m.reveal->frontView()->subviewCount(), 1u);
    EXPECT_EQ(newScreen->appeared, 1);
    EXPECT_EQ(watcher->swaps, std::vector<std::shared_ptr<ui::ViewController>>{newFront});
    EXPECT_EQ(frontX(m), 0);
    EXPECT_EQ(m.reveal->childViewControllers().size(), 2u);
}

TEST_F(RevealControllerTest, AnimatedSwapSlidesOutThenBackOverTheNewFront) {
    auto m = openModule(window);
    auto watcher = std::make_shared<Watcher>();
    m.reveal->setDelegate(watcher);
    m.reveal->revealToggle(nullptr);
    driver->advance(0.25);

    auto newFront = ui::create<ui::NavigationController>(ui::create<Screen>());
    m.reveal->setFrontViewController(newFront, true);
    EXPECT_EQ(frontX(m), 320);
    EXPECT_EQ(m.reveal->frontViewController(), m.front);
    driver->advance(SlideRevealController::kSwapOutDuration);
    EXPECT_EQ(m.reveal->frontViewController(), newFront);
    EXPECT_EQ(frontX(m), 0);
    driver->advance(SlideRevealController::kSwapInDuration);
    EXPECT_EQ(watcher->events, (std::vector<std::string>{"didReveal", "didHide"}));
}

TEST_F(RevealControllerTest, PanDragsTheFrontAndSettlesOnTheNearerSide) {
    auto m = openModule(window);
    auto bar = ui::create<ui::View>(ui::Rect{0, 0, 320, 64});
    m.front->topViewController()->view()->addSubview(bar);
    auto pan = ui::create<ui::PanGestureRecognizer>(m.reveal, &SlideRevealController::revealGesture);
    bar->addGestureRecognizer(pan);

    driver->drag(bar, ui::Point{100, 0});
    EXPECT_EQ(m.reveal->currentFrontViewPosition(), FrontViewPositionLeft);
    EXPECT_EQ(frontX(m), 0);

    driver->fireGesture<ui::PanGestureRecognizer>(bar, ui::Point{180, 0});
    EXPECT_EQ(m.reveal->currentFrontViewPosition(), FrontViewPositionRight);
    EXPECT_EQ(frontX(m), SlideRevealController::kRevealWidth);

    // Dragging left past the edge stops at 0.
    driver->fireGesture<ui::PanGestureRecognizer>(bar, ui::Point{-400, 0});
    EXPECT_EQ(frontX(m), 0);
}

TEST_F(RevealControllerTest, SlidesEndingAfterTheModuleHasGoneDoNothing) {
    ns::LogCapture log;
    auto m = openModule(window);
    m.reveal->revealToggle(nullptr);
    auto newFront = ui::create<ui::NavigationController>(ui::create<Screen>());
    m.reveal->setFrontViewController(newFront, true);
    std::weak_ptr<RevealController> weak = m.reveal;
    m.home->popViewControllerAnimated(false);
    m.reveal.reset();
    m.front.reset();
    newFront.reset();
    EXPECT_TRUE(weak.expired());
    driver->advance(1);
    EXPECT_FALSE(log.contains("didSwapToFrontViewController"));
}

TEST_F(RevealControllerTest, MenuButtonOnTheFrontTogglesThroughTheContainer) {
    auto m = openModule(window);
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{10, 25, 22, 22});
    button->addTarget(m.reveal, &SlideRevealController::revealToggle, ui::ControlEventTouchUpInside);
    m.front->topViewController()->view()->addSubview(button);
    driver->tap(button);
    EXPECT_EQ(frontX(m), SlideRevealController::kRevealWidth);
    // The front has moved: the button is now at x 270 and still works.
    driver->tap(button);
    EXPECT_EQ(frontX(m), 0);
}

}  // namespace
