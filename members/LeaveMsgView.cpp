#include "members/LeaveMsgView.h"

#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/Window.h"

void LeaveMsgView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    double w = frame.size.width;
    setBackgroundColor(ui::Color::whiteColor());
    setAlpha(1);

    contentField = ui::create<ui::TextField>(ui::Rect{5, 5, w - 70, 40});
    contentField->setFont(ui::Font::systemFontOfSize(14));
    contentField->setPlaceholder("我来说两句 ...");
    contentField->layer().setBorderWidth(1);
    contentField->layer().setBorderColor(ui::Color::colorWithRed(0.89, 0.89, 0.89, 1));
    contentField->layer().setCornerRadius(6);
    contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    addSubview(contentField);

    PublishedButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    PublishedButton->setFrame(ui::Rect{w - 60, 5, 60, 40});
    PublishedButton->setBackgroundImage(ui::Image::imageNamed("pushd.png"), ui::ControlStateNormal);
    PublishedButton->setTitle("留言", ui::ControlStateNormal);
    PublishedButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    PublishedButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    addSubview(PublishedButton);
}

void maskView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    auto screen = ui::Screen::mainScreen().bounds();
    setBackgroundColor(ui::Color::colorWithWhite(0, 0.6));
    leveMsgview = ui::create<LeaveMsgView>(ui::Rect{0, screen.size.height / 2 - 10, frame.size.width, 50});
    leveMsgview->contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
}

bool maskView::textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>&) {
    auto screen = ui::Screen::mainScreen().bounds();
    leveMsgview->setFrame(ui::Rect{0, screen.size.height / 2 - 15, screen.size.width, 50});
    return true;
}

bool maskView::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& textField) {
    if (textField) textField->resignFirstResponder();
    auto screen = ui::Screen::mainScreen().bounds();
    leveMsgview->setFrame(ui::Rect{0, frame().size.height - 50, screen.size.width, 50});
    return true;
}
