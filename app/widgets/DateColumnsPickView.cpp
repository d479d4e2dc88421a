#include "app/widgets/DateColumnsPickView.h"

#include "foundation/DateTime.h"
#include "foundation/Format.h"
#include "foundation/RunLoop.h"

void DateColumnsPickView::init(const ui::Rect& frame, const std::string& title) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
    currentYear_ = ns::dateComponents(ns::now()).year;
    double w = frame.size.width;

    auto bar = ui::create<ui::View>(ui::Rect{0, 0, w, kBarHeight});
    bar->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    addSubview(bar);

    cancelButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    cancelButton->setFrame(ui::Rect{5, 7, 50, 30});
    cancelButton->setTitle("取消", ui::ControlStateNormal);
    cancelButton->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    cancelButton->titleLabel()->setFont(ui::Font::systemFontOfSize(15));
    cancelButton->addTarget(this, &DateColumnsPickView::cancelTouched, ui::ControlEventTouchUpInside);
    bar->addSubview(cancelButton);

    titleLabel = ui::create<ui::Label>(ui::Rect{60, 0, w - 120, kBarHeight});
    titleLabel->setText(title);
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(15));
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    bar->addSubview(titleLabel);

    doneButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    doneButton->setFrame(ui::Rect{w - 55, 7, 50, 30});
    doneButton->setTitle("确定", ui::ControlStateNormal);
    doneButton->setTitleColor(ui::Color::redColor(), ui::ControlStateNormal);
    doneButton->titleLabel()->setFont(ui::Font::systemFontOfSize(15));
    doneButton->addTarget(this, &DateColumnsPickView::doneTouched, ui::ControlEventTouchUpInside);
    bar->addSubview(doneButton);

    picker = ui::create<ui::PickerView>(ui::Rect{0, kBarHeight, w, 216});
    picker->setShowsSelectionIndicator(true);
    picker->setDataSource(sharedAs<ui::PickerViewDataSource>());
    picker->setDelegate(sharedAs<ui::PickerViewDelegate>());
    addSubview(picker);
}

long DateColumnsPickView::componentOf(Column column) const {
    auto cols = columns();
    for (std::size_t i = 0; i < cols.size(); i++)
        if (cols[i] == column) return static_cast<long>(i);
    return -1;
}

long DateColumnsPickView::rowsOf(Column column) {
    switch (column) {
    case Column::Year:
        return yearCount();
    case Column::Month:
        return 12;
    case Column::Day: {
        // The days of the year and month chosen now.
        long yr = picker->selectedRowInComponent(componentOf(Column::Year));
        long mr = picker->selectedRowInComponent(componentOf(Column::Month));
        int year = currentYear_ - static_cast<int>(yr < 0 ? 0 : yr);
        int month = static_cast<int>(mr < 0 ? 0 : mr) + 1;
        return ns::daysInMonth(year, month);
    }
    case Column::Hour:
        return 24;
    case Column::Minute:
        return 60;
    }
    return 0;
}

std::string DateColumnsPickView::textOf(Column column, long row) const {
    switch (column) {
    case Column::Year:
        return std::to_string(currentYear_ - row);
    case Column::Month:
    case Column::Day:
        return ns::format("%02ld", row + 1);
    case Column::Hour:
    case Column::Minute:
        return ns::format("%02ld", row);
    }
    return {};
}

std::string DateColumnsPickView::selectedText(Column column) {
    long c = componentOf(column);
    if (c < 0) return {};
    long row = picker->selectedRowInComponent(c);
    return row < 0 ? std::string() : textOf(column, row);
}

long DateColumnsPickView::numberOfComponentsInPickerView(const std::shared_ptr<ui::PickerView>&) {
    return static_cast<long>(columns().size());
}

long DateColumnsPickView::pickerView_numberOfRowsInComponent(const std::shared_ptr<ui::PickerView>&,
                                                             long component) {
    auto cols = columns();
    if (component < 0 || component >= static_cast<long>(cols.size())) return 0;
    // The picker counts its columns in order, so the year and the month are
    // known when the days are counted.
    return rowsOf(cols[static_cast<std::size_t>(component)]);
}

std::string DateColumnsPickView::pickerView_titleForRow_forComponent(const std::shared_ptr<ui::PickerView>&,
                                                                     long row, long component) {
    auto cols = columns();
    if (component < 0 || component >= static_cast<long>(cols.size())) return {};
    return textOf(cols[static_cast<std::size_t>(component)], row);
}

void DateColumnsPickView::pickerView_didSelectRow_inComponent(const std::shared_ptr<ui::PickerView>&, long,
                                                              long component) {
    auto cols = columns();
    if (component < 0 || component >= static_cast<long>(cols.size())) return;
    Column column = cols[static_cast<std::size_t>(component)];
    if (column == Column::Year || column == Column::Month) picker->reloadComponent(componentOf(Column::Day));
}
