#include "app/widgets/NavBarView.h"

void NavBarView::init(const ui::Rect& frame) {
    ui::ImageView::init(frame);
    setImage(ui::Image::imageNamed("navbar.png"));
    setUserInteractionEnabled(true);

    leftButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    leftButton->setFrame(ui::Rect{10, 20, 40, 40});
    auto arrow = ui::create<ui::ImageView>(ui::Rect{5, 10, 22, 22});
    arrow->setImage(ui::Image::imageNamed("ico_back.png"));
    leftButton->addSubview(arrow);
    leftButton->addTarget(this, &NavBarView::leftButtonTouched, ui::ControlEventTouchUpInside);
    addSubview(leftButton);

    titleLabel = ui::create<ui::Label>(ui::Rect{0, 20, frame.size.width, 44});
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(17));
    titleLabel->setTextColor(ui::Color::whiteColor());
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    addSubview(titleLabel);

    // The right button has no place of its own: the screens that use it frame it.
    rightButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    addSubview(rightButton);
}

void NavBarView::leftButtonTouched() {
    if (auto d = delegate_.lock()) d->back();
}
