// The slide-menu container: a front view controller over a rear one (the
// menu). The front slides right to uncover the menu and back to cover it.
//
//   auto nav = ui::create<ui::NavigationController>(ui::create<SSZTFrontViewController>());
//   auto reveal = ui::create<RevealController>(nav, ui::create<SSZTRearViewController>());
//   homeNav->pushViewController(reveal, true);
//
//   menuButton->addTarget(reveal, &SlideRevealController::revealToggle, ui::ControlEventTouchUpInside);
//   bar->addGestureRecognizer(ui::create<ui::PanGestureRecognizer>(reveal, &SlideRevealController::revealGesture));
//
// Both controllers are children of the container: the menu's
// parentViewController is the container and its navigationController the one
// that holds the container. The front view moves inside a wrapper view
// (frontView) over the rear's wrapper (rearView).
#pragma once

#include <memory>

#include "uikit/GestureRecognizer.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

class SlideRevealController;

enum FrontViewPosition {
    FrontViewPositionLeft = 0,   // the front covers the menu
    FrontViewPositionRight = 1,  // the front is slid right, the menu shows
};

class SlideRevealControllerDelegate {
public:
    virtual ~SlideRevealControllerDelegate() = default;
    // Optional. The will calls come as a slide starts, the did calls once it
    // has ended (and only when it was not turned back in the meantime).
    virtual void revealController_willRevealRearViewController(SlideRevealController&,
                                                               const std::shared_ptr<ui::ViewController>&) {}
    virtual void revealController_didRevealRearViewController(SlideRevealController&,
                                                              const std::shared_ptr<ui::ViewController>&) {}
    virtual void revealController_willHideRearViewController(SlideRevealController&,
                                                             const std::shared_ptr<ui::ViewController>&) {}
    virtual void revealController_didHideRearViewController(SlideRevealController&,
                                                            const std::shared_ptr<ui::ViewController>&) {}
    // A new front view controller has replaced the old one.
    virtual void revealController_didSwapToFrontViewController(SlideRevealController&,
                                                               const std::shared_ptr<ui::ViewController>&) {}
};

class SlideRevealController : public ui::ViewController {
public:
    void init() override {}
    // initWithFrontViewController:rearViewController:
    virtual void init(const std::shared_ptr<ui::ViewController>& front,
                      const std::shared_ptr<ui::ViewController>& rear);

    void loadView() override;
    void viewDidLoad() override;

    std::shared_ptr<ui::ViewController> frontViewController() const { return front_; }
    std::shared_ptr<ui::ViewController> rearViewController() const { return rear_; }

    // nullptr does nothing; the current front toggles the menu; any other
    // controller replaces the front (the delegate hears of the swap) and the
    // menu is toggled, which closes it over the new front. Animated, the old
    // front slides out first and the new one slides back in.
    void setFrontViewController(const std::shared_ptr<ui::ViewController>& front, bool animated);

    // Slides the front to kRevealWidth when it covers the menu, else back to 0.
    void revealToggle(std::shared_ptr<ui::Object> sender);
    // The pan drags the front view; released, it settles open or closed,
    // whichever lies nearer.
    void revealGesture(std::shared_ptr<ui::PanGestureRecognizer> recognizer);

    FrontViewPosition currentFrontViewPosition() const { return position_; }
    std::shared_ptr<ui::View> frontView() const { return frontView_; }
    std::shared_ptr<ui::View> rearView() const { return rearView_; }

    std::shared_ptr<SlideRevealControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<SlideRevealControllerDelegate>& d) { delegate_ = d; }

    static constexpr double kRevealWidth = 260;
    static constexpr double kToggleDuration = 0.25;
    static constexpr double kSwapOutDuration = 0.15;
    static constexpr double kSwapInDuration = 0.225;

private:
    void slideTo(FrontViewPosition position, double duration);
    void swapFront(const std::shared_ptr<ui::ViewController>& front);
    void installFront();
    void installRear();

    std::shared_ptr<ui::ViewController> front_;
    std::shared_ptr<ui::ViewController> rear_;
    std::shared_ptr<ui::View> frontView_;
    std::shared_ptr<ui::View> rearView_;
    std::weak_ptr<SlideRevealControllerDelegate> delegate_;
    FrontViewPosition position_ = FrontViewPositionLeft;
    unsigned slide_ = 0;       // numbers the slides, so a finished one knows it was overtaken
    double panStartX_ = 0;
    bool swapping_ = false;
};
