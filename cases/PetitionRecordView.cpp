#include "cases/PetitionRecordView.h"

#include "app/framework/Records.h"
#include "foundation/Format.h"
#include "uikit/Color.h"
#include "uikit/Font.h"

void ReplyCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    const double cw = frame().size.width;
    titleLabel = ui::create<ui::Label>(ui::Rect{5, 0, cw - 20, 20});
    titleLabel->setFont(ui::Font::systemFontOfSize(kFontSize));
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    titleLabel->setNumberOfLines(1);
    contentView()->addSubview(titleLabel);

    contentLabel = ui::create<ui::Label>(ui::Rect{5, 25, cw - 10, 40});
    contentLabel->setFont(ui::Font::systemFontOfSize(kFontSize));
    contentLabel->setBackgroundColor(ui::Color::clearColor());
    contentLabel->setNumberOfLines(0);
    contentLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    contentView()->addSubview(contentLabel);
}

std::shared_ptr<ReplyCell> makeReplyCell(const std::shared_ptr<ui::TableView>& table, const ns::Value& handle) {
    auto cell = std::dynamic_pointer_cast<ReplyCell>(table->dequeueReusableCellWithIdentifier(ReplyCell::kIdentifier));
    if (!cell) cell = ui::create<ReplyCell>(ui::TableViewCellStyleSubtitle, ReplyCell::kIdentifier);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->titleLabel->setText(
        ns::format("处理人:%@ 操作:%@", records::text(handle, "handle_user"), records::text(handle, "action")));
    cell->contentLabel->setText(ns::format("处理内容:%@", records::text(handle, "handle_content")));
    return cell;
}

namespace {

std::shared_ptr<ui::Label> recordLabel(const std::shared_ptr<ui::View>& parent, const ui::Rect& frame, bool multiline) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(12));
    label->setBackgroundColor(ui::Color::clearColor());
    if (multiline) {
        label->setNumberOfLines(0);
        label->setLineBreakMode(ui::LineBreakByCharWrapping);
    } else {
        label->setNumberOfLines(1);
    }
    parent->addSubview(label);
    return label;
}

}  // namespace

void PetitionLabels::build(const std::shared_ptr<ui::View>& parent, double w, double contentHeight, double orgHeight) {
    double y = 74;
    auto next = [&](double height, bool multiline) {
        auto label = recordLabel(parent, ui::Rect{5, y, w - 10, height}, multiline);
        y += height + 5;
        return label;
    };
    titleLabel = next(30, true);
    timeLabel = next(20, false);
    contentLabel = next(contentHeight, true);
    stateLabel = next(20, false);
    ogrLabel = next(orgHeight, true);
    userLabel = next(20, false);
    resultLabel = next(20, false);
    resultLabel->setTextColor(ui::Color::redColor());
}

void PetitionLabels::fill(const ns::Value& r) {
    titleLabel->setText(ns::format("建议标题:%@[%@]", records::text(r, "title"), records::text(r, "type_name")));
    resultLabel->setText(petition::kHandlingHeading);
    timeLabel->setText(ns::format("建议时间:%@", records::text(r, "add_time")));
    contentLabel->setText(ns::format("建议内容:%@", records::text(r, "content")));
    stateLabel->setText(ns::format("状态:%@", records::text(r, "state")));
    ogrLabel->setText(ns::format("建议部门:%@", records::text(r, "add_org")));
    userLabel->setText(ns::format("建议人:%@", records::text(r, "user_name")));
}

double PetitionLabels::bottom() const {
    ui::Rect f = resultLabel->frame();
    return f.origin.y + f.size.height;
}
