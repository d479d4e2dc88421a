#include "members/PartyCell.h"

namespace {

std::shared_ptr<ui::Label> makeLabel(ui::View& parent, const ui::Rect& frame, double fontSize, ui::Color color) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(fontSize));
    label->setTextColor(color);
    label->setBackgroundColor(ui::Color::clearColor());
    parent.addSubview(label);
    return label;
}

}  // namespace

void PartyCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto& content = *contentView();
    headimagev = ui::create<ui::ImageView>(ui::Rect{5, 5, 100, 100});
    content.addSubview(headimagev);
    const ui::Color grey = ui::Color::lightGrayColor();
    titleLabel = makeLabel(content, ui::Rect{108, 5, 250, 20}, 14, ui::Color::blackColor());
    priceLabel = makeLabel(content, ui::Rect{108, 30, 130, 20}, 14, ui::Color::redColor());
    countLabel = makeLabel(content, ui::Rect{238, 30, 150, 20}, 12, grey);
    click_numLabel = makeLabel(content, ui::Rect{108, 55, 130, 20}, 12, grey);
    Leave_mesgLabel = makeLabel(content, ui::Rect{238, 55, 130, 20}, 12, grey);
    product_addressLabel = makeLabel(content, ui::Rect{108, 80, 230, 20}, 12, grey);
}
