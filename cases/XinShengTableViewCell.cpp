#include "cases/XinShengTableViewCell.h"

#include "app/widgets/Controls.h"
#include "app/framework/Records.h"
#include "foundation/Format.h"
#include "uikit/Color.h"
#include "uikit/Font.h"

namespace {


}  // namespace

void XinShengTableViewCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    const double w = frame().size.width;
    titleLabel = makeCaption(ui::Rect{5, 5, w - 20, 20});
    contentLabel = makeCaption(ui::Rect{5, 30, w - 10, 20});
    userLabel = makeCaption(ui::Rect{5, 55, w - 10, 20});
    contentView()->addSubview(titleLabel);
    contentView()->addSubview(contentLabel);
    contentView()->addSubview(userLabel);
}

std::shared_ptr<XinShengTableViewCell> makeXinShengCell(const std::shared_ptr<ui::TableView>& table,
                                                       const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<XinShengTableViewCell>(
        table->dequeueReusableCellWithIdentifier(XinShengTableViewCell::kIdentifier));
    if (!cell) cell = ui::create<XinShengTableViewCell>(ui::TableViewCellStyleDefault, XinShengTableViewCell::kIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->titleLabel->setText(
        ns::format("标题:%@ 机构:%@", records::text(record, "title"), records::text(record, "org_name")));
    cell->contentLabel->setText(ns::format("内容:%@", records::text(record, "content")));
    cell->userLabel->setText(ns::format("发起人:%@", records::text(record, "user_name")));
    return cell;
}
