#include "channels/VLDJFrontViewController.h"

#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "channels/QZLXDetailViewController.h"
#include "channels/XJDXCell.h"
#include "uikit/Image.h"

namespace {

template <typename T>
std::shared_ptr<ui::ViewController> detailOf(const ns::Value& record) {
    auto detail = ui::create<T>();
    detail->article_id = records::text(record, "id");
    return detail;
}

}  // namespace

std::shared_ptr<ui::ViewController> VLDJFrontViewController::detailFor(const ns::Value& record) {
    return detailOf<QZLXDetailViewController>(record);
}

std::shared_ptr<ui::ViewController> ZGYWViewController::detailFor(const ns::Value& record) {
    return detailOf<ZGYWDetailViewController>(record);
}

std::shared_ptr<ui::ViewController> JCDTViewController::detailFor(const ns::Value& record) {
    return detailOf<JCDTDetailViewController>(record);
}

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

std::shared_ptr<ui::ViewController> XJDXViewController::detailFor(const ns::Value& record) {
    return detailOf<XJDXDetailViewController>(record);
}
