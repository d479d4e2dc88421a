#include "channels/PublishedView.h"

#include "channels/ChannelStyle.h"
#include "uikit/Image.h"

void PublishedView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    double w = frame.size.width;
    setBackgroundColor(ui::Color::whiteColor());

    contentField = ui::create<ui::TextField>(ui::Rect{20, 10, w - 40, 35});
    contentField->layer().setBorderWidth(1);
    contentField->layer().setBorderColor(channelstyle::kRuleColor);
    contentField->layer().setCornerRadius(6);
    contentField->setFont(ui::Font::systemFontOfSize(14));
    contentField->setPlaceholder(channelstyle::kCommentPlaceholder);
    contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    addSubview(contentField);

    PublishedButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    PublishedButton->setFrame(ui::Rect{w - 75, 55, 60, 35});
    PublishedButton->setBackgroundImage(ui::Image::imageNamed("pushd.png"), ui::ControlStateNormal);
    PublishedButton->setTitle("发表", ui::ControlStateNormal);
    PublishedButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    PublishedButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    addSubview(PublishedButton);
}
