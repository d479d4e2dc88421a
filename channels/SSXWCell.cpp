#include "channels/SSXWCell.h"

#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

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

std::shared_ptr<SSXWCell> thumbnailRow(const std::shared_ptr<ui::TableView>& table, const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<SSXWCell>(table->dequeueReusableCellWithIdentifier(SSXWCell::kIdentifier));
    if (!cell) cell = ui::create<SSXWCell>(ui::TableViewCellStyleDefault, SSXWCell::kIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    setImageWithURL(cell->headimagev, records::text(record, "img_url"), ui::Image::imageNamed(SSXWCell::kPlaceholder));
    cell->titleLabel->setText(records::sharedText(record, "title"));
    cell->subLabel->setText(records::text(record, "zhaiyao"));
    return cell;
}
