#include "cases/EventCell.h"

#include "uikit/Font.h"

namespace {

std::shared_ptr<ui::Label> rowLabel(ui::View& content, const ui::Rect& frame) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(12));
    label->setBackgroundColor(ui::Color::clearColor());
    content.addSubview(label);
    return label;
}

}  // namespace

void EventCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto content = contentView();
    const double w = frame().size.width;
    titleLabel = rowLabel(*content, ui::Rect{5, 5, w - 10, 20});
    peopleLabel = rowLabel(*content, ui::Rect{5, 30, 300, 20});
    addressLabel = rowLabel(*content, ui::Rect{5, 55, 300, 20});
}
