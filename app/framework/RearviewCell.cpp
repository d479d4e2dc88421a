#include "app/framework/RearviewCell.h"

void RearviewCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto content = contentView();

    lineimagev = ui::create<ui::ImageView>(ui::Rect{1, 1, 3, 57});
    lineimagev->setBackgroundColor(ui::Color::redColor());
    content->addSubview(lineimagev);

    detailimagev = ui::create<ui::ImageView>(ui::Rect{15, 24.5, 8, 11});
    detailimagev->setImage(ui::Image::imageNamed("whitejian.png"));
    detailimagev->setHidden(true);
    content->addSubview(detailimagev);

    titleLabel = ui::create<ui::Label>(ui::Rect{20, 20, 150, 20});
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(17));
    titleLabel->setTextColor(ui::Color::colorWithRed(0.71, 0.71, 0.71, 1));
    content->addSubview(titleLabel);

    lineView = ui::create<ui::ImageView>(ui::Rect{0, 58, frame().size.width, 2});
    lineView->setImage(ui::Image::imageNamed("line.png"));
    content->addSubview(lineView);
}
