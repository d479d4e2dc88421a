#include "app/shell/ModulePlaceholder.h"

#include "app/widgets/SlideRevealController.h"
#include "uikit/Font.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void ModulePlaceholderViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    const double width = root->frame().size.width;

    naview = ui::create<NavBarView>(ui::Rect{0, 0, width, NavBarView::kHeight});
    naview->titleLabel->setText(title());
    naview->leftButton->setHidden(true);
    naview->addGestureRecognizer(
        ui::create<ui::PanGestureRecognizer>(this, &ModulePlaceholderViewController::revealGesture));
    root->addSubview(naview);

    menuButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    menuButton->setFrame(ui::Rect{10, 25, 22, 22});
    menuButton->setBackgroundImage(ui::Image::imageNamed("menu.png"), ui::ControlStateNormal);
    menuButton->addTarget(this, &ModulePlaceholderViewController::revealToggle, ui::ControlEventTouchUpInside);
    naview->addSubview(menuButton);

    noticeLabel = ui::create<ui::Label>(ui::Rect{10, NavBarView::kHeight + 80, width - 20, 30});
    noticeLabel->setText(kNotice);
    noticeLabel->setFont(ui::Font::systemFontOfSize(16));
    noticeLabel->setTextColor(ui::Color::grayColor());
    noticeLabel->setTextAlignment(ui::TextAlignmentCenter);
    noticeLabel->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(noticeLabel);
}

void ModulePlaceholderViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, animated);
}

std::shared_ptr<SlideRevealController> ModulePlaceholderViewController::revealController() const {
    auto nav = navigationController();
    return nav ? std::dynamic_pointer_cast<SlideRevealController>(nav->parentViewController()) : nullptr;
}

void ModulePlaceholderViewController::revealToggle() {
    if (auto reveal = revealController()) reveal->revealToggle(menuButton);
}

void ModulePlaceholderViewController::revealGesture(std::shared_ptr<ui::PanGestureRecognizer> recognizer) {
    if (auto reveal = revealController()) reveal->revealGesture(recognizer);
}

void ModulePlaceholderRearViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(ui::Color::colorWithRed(0.16, 0.17, 0.20, 1));

    homeButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    homeButton->setFrame(ui::Rect{0, 64, 260, 58});
    homeButton->setTitle(kHomeRow, ui::ControlStateNormal);
    homeButton->setTitleColor(ui::Color::colorWithWhite(0.71, 1), ui::ControlStateNormal);
    homeButton->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(17));
    homeButton->setContentHorizontalAlignment(ui::ControlContentHorizontalAlignmentLeft);
    homeButton->setContentEdgeInsets(ui::EdgeInsets{0, 20, 0, 0});
    homeButton->addTarget(this, &ModulePlaceholderRearViewController::goHome, ui::ControlEventTouchUpInside);
    root->addSubview(homeButton);
}

void ModulePlaceholderRearViewController::goHome() {
    if (auto nav = navigationController()) nav->popToRootViewControllerAnimated(true);
}
