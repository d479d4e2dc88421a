#include "channels/SSXWCell.h"

#include "uikit/Font.h"

void SSXWCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto content = contentView();

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

    auto separator = ui::create<ui::View>(ui::Rect{0, 69, frame().size.width, 0.7});
    separator->setBackgroundColor(ui::Color::colorWithRed(0.89, 0.89, 0.89, 1));
    content->addSubview(separator);
}
