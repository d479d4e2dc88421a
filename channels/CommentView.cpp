#include "channels/CommentView.h"

void CommentView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double w = frame.size.width;

    titleLabel = ui::create<ui::Label>(ui::Rect{5, 5, w - 10, 20});
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(14));
    addSubview(titleLabel);

    timeLabel = ui::create<ui::Label>(ui::Rect{5, 30, 300, 20});
    timeLabel->setFont(ui::Font::systemFontOfSize(12));
    timeLabel->setBackgroundColor(ui::Color::clearColor());
    timeLabel->setTextColor(ui::Color::lightGrayColor());
    addSubview(timeLabel);

    auto band = ui::create<ui::View>(ui::Rect{0, 58, 340, 25});
    band->setBackgroundColor(ui::Color::colorWithRed(0.88, 0.9, 0.93, 1));
    addSubview(band);

    countLabel = ui::create<ui::Label>(ui::Rect{5, 0, 300, 25});
    countLabel->setBackgroundColor(ui::Color::clearColor());
    countLabel->setFont(ui::Font::boldSystemFontOfSize(12));
    band->addSubview(countLabel);
}
