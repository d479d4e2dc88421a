#include "app/widgets/ZCDYCell.h"

void ZCDYCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto content = contentView();
    double width = frame().size.width;

    titleLabel = ui::create<ui::Label>(ui::Rect{5, 5, width - 20, 20});
    titleLabel->setFont(ui::Font::systemFontOfSize(14));
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    content->addSubview(titleLabel);

    timeLabel = ui::create<ui::Label>(ui::Rect{5, 30, 200, 20});
    timeLabel->setFont(ui::Font::systemFontOfSize(14));
    timeLabel->setTextColor(ui::Color::lightGrayColor());
    timeLabel->setBackgroundColor(ui::Color::clearColor());
    content->addSubview(timeLabel);

    lineView = ui::create<ui::View>(ui::Rect{0, 58, width, 0.7});
    lineView->setBackgroundColor(ui::Color::colorWithRed(0.89, 0.89, 0.89, 1));
    content->addSubview(lineView);
}
