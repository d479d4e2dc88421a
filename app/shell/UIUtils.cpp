#include "app/shell/UIUtils.h"

std::shared_ptr<ui::Button> UIUtils::menuButton() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{8, 3, 24, 20});
    button->setImage(ui::Image::imageNamed("menu"), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(14));
    return button;
}
