// The slide-menu container every module opens in. It is its own delegate and
// only logs the slides and swaps; a module that wants to hear of them sets
// another delegate.
#pragma once

#include <memory>

#include "app/widgets/SlideRevealController.h"

class RevealController : public SlideRevealController, public SlideRevealControllerDelegate {
public:
    using SlideRevealController::init;
    void init(const std::shared_ptr<ui::ViewController>& front,
              const std::shared_ptr<ui::ViewController>& rear) override;

    void revealController_willRevealRearViewController(SlideRevealController&,
                                                       const std::shared_ptr<ui::ViewController>&) override;
    void revealController_didRevealRearViewController(SlideRevealController&,
                                                      const std::shared_ptr<ui::ViewController>&) override;
    void revealController_willHideRearViewController(SlideRevealController&,
                                                     const std::shared_ptr<ui::ViewController>&) override;
    void revealController_didHideRearViewController(SlideRevealController&,
                                                    const std::shared_ptr<ui::ViewController>&) override;
    void revealController_didSwapToFrontViewController(SlideRevealController&,
                                                       const std::shared_ptr<ui::ViewController>&) override;
};
