// The top bars of the module screens. A screen pushed over another has the
// bar with the back button:
//
//   naview = makeBackNavBar(*this);                     // back() pops the screen
//
// What every module's front screen does with its slide-menu container: the
// top bar with the "menu.png" button that opens and closes the menu, and the
// pan on the top bar that drags it.
//
//   naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
//   addMenuButton(*naview, this);                      // calls this->revealToggle()
//   void Screen::revealToggle() { toggleRevealOf(*this); }
//   void Screen::viewWillAppear(bool animated) {
//       SystemViewController::viewWillAppear(animated);
//       prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
//   }
#pragma once

#include <memory>
#include <string>

#include "app/framework/BaseScreen.h"
#include "app/widgets/NavBarView.h"
#include "app/widgets/SlideRevealController.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/ViewController.h"

// The container that holds the screen's navigation controller, or nullptr.
std::shared_ptr<SlideRevealController> revealControllerOf(const ui::ViewController& screen);

// Opens or closes the container's menu; nothing outside a container.
void toggleRevealOf(const ui::ViewController& screen);

// The 64-point top bar across the screen's view, showing `title` (the
// screen's own when empty), with its back button calling the screen's back(),
// added to the view.
std::shared_ptr<NavBarView> makeBackNavBar(BaseScreen& screen, const std::string& title = "");

// The 64-point top bar across the screen's view, showing the screen's title,
// without its back button, added to the view.
std::shared_ptr<NavBarView> makeFrontNavBar(ui::ViewController& screen,
                                            const std::shared_ptr<NavBarViewDelegate>& delegate);

// The menu button at (10, 25, 22, 22) on the bar; a touch calls the screen's revealToggle().
template <typename S>
std::shared_ptr<ui::Button> addMenuButton(NavBarView& bar, S* screen) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{10, 25, 22, 22});
    button->setBackgroundImage(ui::Image::imageNamed("menu.png"), ui::ControlStateNormal);
    button->addTarget(screen, &S::revealToggle, ui::ControlEventTouchUpInside);
    bar.addSubview(button);
    return button;
}

// On appearance: the navigation controller's own bar is hidden and, inside a
// container, the top bar gets (once) a pan that drags the container's front.
void prepareFrontAppearance(ui::ViewController& screen, NavBarView& bar,
                            std::shared_ptr<ui::PanGestureRecognizer>& recognizer);

// A front screen on the base screen `Screen`: it builds its bar with
// buildFrontBar() in viewDidLoad, and the rest comes with it.
//
//   class DJWGFrontViewController : public FrontOf<SystemViewController>, ... {
//       void viewDidLoad() override { SystemViewController::viewDidLoad(); buildFrontBar(); ... }
//   };
template <typename Screen>
class FrontOf : public Screen {
public:
    void viewWillAppear(bool animated) override {
        Screen::viewWillAppear(animated);
        if (naview) prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
    }
    // The menu button's action: opens or closes the container's menu.
    void revealToggle() { toggleRevealOf(*this); }

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;

protected:
    // The bar (makeFrontNavBar) and its menu button.
    void buildFrontBar() {
        naview = makeFrontNavBar(*this, this->template sharedAs<NavBarViewDelegate>());
        menuButton = addMenuButton(*naview, this);
    }
};
