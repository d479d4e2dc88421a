#include "cases/EventCell.h"

#include "app/widgets/Controls.h"
#include "uikit/Font.h"

namespace {


}  // namespace

void EventCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    auto content = contentView();
    const double w = frame().size.width;
    titleLabel = makeCaption(ui::Rect{5, 5, w - 10, 20}, "", 12, content.get());
    peopleLabel = makeCaption(ui::Rect{5, 30, 300, 20}, "", 12, content.get());
    addressLabel = makeCaption(ui::Rect{5, 55, 300, 20}, "", 12, content.get());
}
