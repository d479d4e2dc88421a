#include "app/widgets/TypeView.h"

#include "uikit/Image.h"

namespace {

constexpr double kMarkSize = 20;

}  // namespace

void TypeView::init(const ui::Rect& frame) {
    ui::ImageView::init(frame);
    setUserInteractionEnabled(true);
    setBackgroundColor(ui::Color::whiteColor());
    double w = frame.size.width;

    titleLabel = ui::create<ui::Label>(ui::Rect{10, 0, w - 80, kHeaderHeight});
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(16));
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    addSubview(titleLabel);

    cancelButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    cancelButton->setFrame(ui::Rect{w - 60, 7, 50, 30});
    cancelButton->setTitle("取消", ui::ControlStateNormal);
    cancelButton->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    cancelButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    cancelButton->addTarget(this, &TypeView::cancelView, ui::ControlEventTouchUpInside);
    addSubview(cancelButton);

    auto rule = ui::create<ui::View>(ui::Rect{0, kHeaderHeight - 1, w, 1});
    rule->setBackgroundColor(ui::Color::colorWithRed(0.89, 0.89, 0.89, 1));
    addSubview(rule);

    scrollView = ui::create<ui::ScrollView>(ui::Rect{0, kHeaderHeight, w, frame.size.height - kHeaderHeight});
    scrollView->setBackgroundColor(ui::Color::clearColor());
    addSubview(scrollView);
}

void TypeView::setTitleStr(const std::string& title) {
    titleStr_ = title;
    titleLabel->setText(title);
}

void TypeView::LoadingWithData(const ns::Value& array) {
    dataArray_ = array;
    selected_ = -1;
    for (auto& l : rowLabels) l->removeFromSuperview();
    for (auto& b : rowButtons) b->removeFromSuperview();
    rowLabels.clear();
    rowButtons.clear();

    double w = scrollView->frame().size.width;
    auto unselected = ui::Image::imageNamed("title_unselected.png");
    long n = static_cast<long>(array.count());
    for (long i = 0; i < n; i++) {
        double y = kRowHeight * static_cast<double>(i);
        auto mark = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        mark->setFrame(ui::Rect{10, y + (kRowHeight - kMarkSize) / 2, kMarkSize, kMarkSize});
        mark->setImage(unselected, ui::ControlStateNormal);
        mark->setTag(static_cast<int>(i));
        mark->addTarget(this, &TypeView::markTouched, ui::ControlEventTouchUpInside);
        scrollView->addSubview(mark);
        rowButtons.push_back(mark);

        auto label = ui::create<ui::Label>(ui::Rect{40, y, w - 50, kRowHeight});
        label->setFont(ui::Font::systemFontOfSize(14));
        label->setBackgroundColor(ui::Color::clearColor());
        label->setText(array.at(static_cast<std::size_t>(i)).text());
        label->setTag(static_cast<int>(i));
        label->setUserInteractionEnabled(true);
        label->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &TypeView::labelTapped));
        scrollView->addSubview(label);
        rowLabels.push_back(label);
    }
    scrollView->setContentSize(ui::Size{w, kRowHeight * static_cast<double>(n)});
    scrollView->setContentOffset(ui::Point{0, 0});
}

void TypeView::markTouched(std::shared_ptr<ui::Button> sender) {
    if (sender) choose(sender->tag());
}

void TypeView::labelTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer) {
    if (auto v = recognizer ? recognizer->view() : nullptr) choose(v->tag());
}

void TypeView::choose(long index) {
    if (index < 0 || index >= static_cast<long>(rowLabels.size())) return;
    selected_ = index;
    auto unselected = ui::Image::imageNamed("title_unselected.png");
    auto selected = ui::Image::imageNamed("title_seledted.png");
    for (std::size_t i = 0; i < rowButtons.size(); i++)
        rowButtons[i]->setImage(static_cast<long>(i) == index ? selected : unselected, ui::ControlStateNormal);
    // The text the row shows: the owner may have changed its array since.
    std::string text = rowLabels[static_cast<std::size_t>(index)]->text();
    if (auto d = delegate()) d->TypeContent(text, index);
}

void TypeView::cancelView() { setHidden(true); }
