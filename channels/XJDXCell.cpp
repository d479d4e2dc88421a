#include "channels/XJDXCell.h"

#include "uikit/Font.h"
#include "uikit/Image.h"

void XJDXCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    SSXWCell::init(style, reuseIdentifier);
    auto content = contentView();
    const double w = frame().size.width;

    likeIcon = ui::create<ui::ImageView>(ui::Rect{w - 40, 55, 10, 11});
    likeIcon->setImage(ui::Image::imageNamed("ico_zhan.png"));
    content->addSubview(likeIcon);

    support_countLabel = ui::create<ui::Label>(ui::Rect{w - 40 + 13, 55, 40, 15});
    support_countLabel->setFont(ui::Font::systemFontOfSize(12));
    support_countLabel->setBackgroundColor(ui::Color::clearColor());
    support_countLabel->setTextColor(ui::Color::lightGrayColor());
    content->addSubview(support_countLabel);
}
