#include "cases/ResultCell.h"

#include "uikit/Font.h"

void ResultCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto content = contentView();
    const double w = frame().size.width;
    auto make = [&](const ui::Rect& r) {
        auto label = ui::create<ui::Label>(r);
        label->setFont(ui::Font::systemFontOfSize(12));
        label->setBackgroundColor(ui::Color::clearColor());
        content->addSubview(label);
        return label;
    };
    peopleLabel = make(ui::Rect{5, 5, w - 10, 20});
    contentLabel = make(ui::Rect{5, 30, w - 10, 30});
    contentLabel->setNumberOfLines(0);
    contentLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    stateLabel = make(ui::Rect{5, 65, 300, 20});
}
