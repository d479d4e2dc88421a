#include "cases/DqRearViewController.h"

#include "cases/DqFrontViewController.h"
#include "cases/MYDCViewController.h"
#include "cases/ZCDYViewController.h"
#include "uikit/NavigationController.h"

void DqRearViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    // The survey row builds a new survey every time, even over itself.
    RearMenu::Row survey = RearMenu::screenRow<MYDCViewController>(
        "民意调查", [](MYDCViewController& s) { s.category_code = "minyidiaocha"; });
    survey.screenClass = std::type_index(typeid(void));
    menu = RearMenu::create({
        RearMenu::bareScreenRow<DqFrontViewController>("群众心声"),
        RearMenu::screenRow<ZCDYViewController>("政策答疑",
                                                [](ZCDYViewController& s) { s.category_code = "zhengcedayi"; }),
        survey,
        RearMenu::homeRow(),
    });
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
}

void DqRearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
}
