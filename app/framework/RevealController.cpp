#include "app/framework/RevealController.h"

#include "foundation/Log.h"

void RevealController::init(const std::shared_ptr<ui::ViewController>& front,
                            const std::shared_ptr<ui::ViewController>& rear) {
    SlideRevealController::init(front, rear);
    setDelegate(sharedAs<RevealController>());
}

void RevealController::revealController_willRevealRearViewController(SlideRevealController&,
                                                                     const std::shared_ptr<ui::ViewController>&) {
    ns::NSLog("%@", "revealController willRevealRearViewController");
}

void RevealController::revealController_didRevealRearViewController(SlideRevealController&,
                                                                    const std::shared_ptr<ui::ViewController>&) {
    ns::NSLog("%@", "revealController didRevealRearViewController");
}

void RevealController::revealController_willHideRearViewController(SlideRevealController&,
                                                                   const std::shared_ptr<ui::ViewController>&) {
    ns::NSLog("%@", "revealController willHideRearViewController");
}

void RevealController::revealController_didHideRearViewController(SlideRevealController&,
                                                                  const std::shared_ptr<ui::ViewController>&) {
    ns::NSLog("%@", "revealController didHideRearViewController");
}

void RevealController::revealController_didSwapToFrontViewController(
    SlideRevealController&, const std::shared_ptr<ui::ViewController>& front) {
    ns::NSLog("revealController didSwapToFrontViewController %@", front ? front->className() : std::string());
}
