#include "app/widgets/Controls.h"

#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

std::shared_ptr<ui::Button> makeImageButton(const ui::Rect& frame, const std::string& title, const std::string& image,
                                            double fontSize) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(frame);
    button->setBackgroundImage(ui::Image::imageNamed(image), ui::ControlStateNormal);
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(fontSize));
    return button;
}

std::shared_ptr<ui::Label> makeCaption(const ui::Rect& frame, const std::string& text, double fontSize,
                                       ui::View* parent) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(fontSize));
    label->setBackgroundColor(ui::Color::clearColor());
    label->setText(text);
    if (parent) parent->addSubview(label);
    return label;
}

std::shared_ptr<ui::TextField> makeBorderedField(const ui::Rect& frame, double fontSize) {
    auto field = ui::create<ui::TextField>(frame);
    field->setFont(ui::Font::systemFontOfSize(fontSize));
    field->layer().setBorderWidth(1);
    field->layer().setBorderColor(ui::Color::lightGrayColor());
    return field;
}
