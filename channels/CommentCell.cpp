#include "channels/CommentCell.h"

#include "app/framework/Records.h"
#include "channels/ChannelStyle.h"
#include "uikit/Image.h"
#include "uikit/ImageView.h"
#include "uikit/Text.h"

void CommentCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    const double w = frame().size.width;
    auto content = contentView();

    user_nameLabel = ui::create<ui::Label>(ui::Rect{5, 5, 30, 20});
    user_nameLabel->setBackgroundColor(ui::Color::clearColor());
    user_nameLabel->setFont(ui::Font::systemFontOfSize(14));
    user_nameLabel->setTextColor(ui::Color::colorWithRed(0.79, 0.12, 0.15, 1));
    user_nameLabel->setNumberOfLines(0);
    user_nameLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    content->addSubview(user_nameLabel);

    timeLabel = ui::create<ui::Label>(ui::Rect{5, 30, 100, 30});
    timeLabel->setBackgroundColor(ui::Color::clearColor());
    timeLabel->setFont(ui::Font::systemFontOfSize(14));
    timeLabel->setTextColor(ui::Color::lightGrayColor());
    timeLabel->setNumberOfLines(0);
    timeLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    content->addSubview(timeLabel);

    countLabel = ui::create<ui::Label>(ui::Rect{w - 120, 5, 85, 20});
    countLabel->setBackgroundColor(ui::Color::clearColor());
    countLabel->setFont(ui::Font::systemFontOfSize(12));
    countLabel->setTextColor(ui::Color::lightGrayColor());
    countLabel->setTextAlignment(ui::TextAlignmentRight);
    content->addSubview(countLabel);

    contentLabel = ui::create<ui::Label>(ui::Rect{5, 30, w - 10, 20});
    contentLabel->setBackgroundColor(ui::Color::clearColor());
    contentLabel->setFont(ui::Font::systemFontOfSize(14));
    contentLabel->setNumberOfLines(0);
    contentLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    content->addSubview(contentLabel);

    auto thumb = ui::create<ui::ImageView>(ui::Rect{w - 30, 8, 15, 15});
    thumb->setImage(ui::Image::imageNamed("ico_zhan.png"));
    content->addSubview(thumb);

    line = ui::create<ui::View>(ui::Rect{5, 55, w - 10, 0.8});
    line->setBackgroundColor(channelstyle::kRuleColor);
    content->addSubview(line);
}

double CommentCell::contentHeight(const std::string& content, double screenWidth) {
    return ui::sizeWithFont(content, ui::Font::systemFontOfSize(14), ui::Size{screenWidth - 10, 10000},
                            ui::LineBreakByCharWrapping)
        .height;
}

double CommentCell::rowHeight(const ns::Value& record, double screenWidth) {
    return contentHeight(records::text(record, "content"), screenWidth) + 40;
}

void CommentCell::showComment(const ns::Value& record, double screenWidth) {
    const std::string name = records::text(record, "user_name");
    const std::string content = records::text(record, "content");
    user_nameLabel->setText(name);
    timeLabel->setText(records::text(record, "add_time"));
    countLabel->setText(records::text(record, "support_count"));
    contentLabel->setText(content);

    double n = ui::sizeWithFont(name, ui::Font::systemFontOfSize(14), ui::Size{1000, 20}, ui::LineBreakByCharWrapping)
                   .width;
    double h = contentHeight(content, screenWidth);
    user_nameLabel->setFrame(ui::Rect{5, 5, n, 20});
    timeLabel->setFrame(ui::Rect{n + 15, 5, 200, 20});
    contentLabel->setFrame(ui::Rect{5, 30, screenWidth - 10, h});
    line->setFrame(ui::Rect{5, 40 + h, screenWidth - 10, 0.8});
}
