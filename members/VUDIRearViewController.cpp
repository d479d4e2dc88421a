#include "members/VUDIRearViewController.h"

#include "members/MobilePartyViewController.h"
#include "members/QuorvelPartViewController.h"
#include "uikit/NavigationController.h"

void VUDIRearViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    menu = RearMenu::create({
        RearMenu::screenRow<MobilePartyViewController>("流动党员之家"),
        RearMenu::screenRow<QuorvelPartViewController>("Quorvel党员之家"),
        RearMenu::homeRow(),
    });
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
}

void VUDIRearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
}
