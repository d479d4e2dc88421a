#include "channels/VLDJFrontViewController.h"

#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "channels/XJDXCell.h"
#include "uikit/Image.h"

ListScreen::Options XJDXViewController::options() const { return {.rowHeight = XJDXCell::kHeight}; }

std::shared_ptr<ui::TableViewCell> XJDXViewController::cellFor(const PagedList::Table& table, const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<XJDXCell>(table->dequeueReusableCellWithIdentifier(XJDXCell::kIdentifier));
    if (!cell) cell = ui::create<XJDXCell>(ui::TableViewCellStyleDefault, XJDXCell::kIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    setImageWithURL(cell->headimagev, records::text(record, "img_url"), ui::Image::imageNamed(XJDXCell::kPlaceholder));
    cell->titleLabel->setText(records::text(record, "title"));
    cell->subLabel->setText(records::text(record, "zhaiyao"));
    cell->support_countLabel->setText(records::text(record, "support_count"));
    return cell;
}

