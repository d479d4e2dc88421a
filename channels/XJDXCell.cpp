#include "channels/XJDXCell.h"

#include "channels/ChannelStyle.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

void XJDXCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto content = contentView();
    const double w = frame().size.width;

    headimagev = ui::create<ui::ImageView>(ui::Rect{5, 5, 60, 60});
    content->addSubview(headimagev);

    const double textX = 5 + 60 + 3;
    titleLabel = ui::create<ui::Label>(ui::Rect{textX, 5, 250, 20});
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(14));
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    content->addSubview(titleLabel);

    subLabel = ui::create<ui::Label>(ui::Rect{textX, 25, 230, 30});
    subLabel->setFont(ui::Font::systemFontOfSize(12));
    subLabel->setTextColor(ui::Color::lightGrayColor());
    subLabel->setBackgroundColor(ui::Color::clearColor());
    subLabel->setNumberOfLines(0);
    subLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    content->addSubview(subLabel);

    auto separator = ui::create<ui::View>(ui::Rect{0, 69, w, 0.7});
    separator->setBackgroundColor(channelstyle::kRuleColor);
    content->addSubview(separator);

    likeIcon = ui::create<ui::ImageView>(ui::Rect{w - 40, 55, 10, 11});
    likeIcon->setImage(ui::Image::imageNamed("ico_zhan.png"));
    content->addSubview(likeIcon);

    support_countLabel = ui::create<ui::Label>(ui::Rect{w - 40 + 13, 55, 40, 15});
    support_countLabel->setFont(ui::Font::systemFontOfSize(12));
    support_countLabel->setBackgroundColor(ui::Color::clearColor());
    support_countLabel->setTextColor(ui::Color::lightGrayColor());
    content->addSubview(support_countLabel);
}
