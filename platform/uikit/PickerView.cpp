#include "uikit/PickerView.h"

#include <algorithm>

#include "foundation/RunLoop.h"

namespace ui {

double PickerViewDelegate::pickerView_widthForComponent(const std::shared_ptr<PickerView>& pickerView, long) {
    long n = pickerView ? std::max(1L, pickerView->numberOfComponents()) : 1;
    return pickerView ? pickerView->bounds().size.width / static_cast<double>(n) : 0;
}

void PickerView::init(const Rect& frame) {
    Rect f = frame;
    if (f.size.height <= 0) f.size.height = 216;
    View::init(f);
    setBackgroundColor(Color::whiteColor());
}

void PickerView::setDataSource(const std::shared_ptr<PickerViewDataSource>& ds) {
    dataSource_ = ds;
    loaded_ = false;
}

void PickerView::ensureLoaded() {
    if (!loaded_) reloadAllComponents();
}

void PickerView::reloadAllComponents() {
    loaded_ = true;
    auto ds = dataSource();
    auto me = self();
    long n = ds ? std::max(0L, ds->numberOfComponentsInPickerView(me)) : 0;
    rows_.assign(static_cast<std::size_t>(n), 0);
    selected_.resize(static_cast<std::size_t>(n), 0);
    for (long c = 0; c < n; ++c) {
        long rows = std::max(0L, ds->pickerView_numberOfRowsInComponent(me, c));
        rows_[static_cast<std::size_t>(c)] = rows;
        long& sel = selected_[static_cast<std::size_t>(c)];
        sel = rows == 0 ? 0 : std::clamp(sel, 0L, rows - 1);
    }
}

void PickerView::reloadComponent(long component) {
    ensureLoaded();
    auto ds = dataSource();
    if (!ds || component < 0 || component >= static_cast<long>(rows_.size())) return;
    long rows = std::max(0L, ds->pickerView_numberOfRowsInComponent(self(), component));
    rows_[static_cast<std::size_t>(component)] = rows;
    long& sel = selected_[static_cast<std::size_t>(component)];
    sel = rows == 0 ? 0 : std::clamp(sel, 0L, rows - 1);
}

long PickerView::numberOfComponents() {
    ensureLoaded();
    return static_cast<long>(rows_.size());
}

long PickerView::numberOfRowsInComponent(long component) {
    ensureLoaded();
    if (component < 0 || component >= static_cast<long>(rows_.size())) return 0;
    return rows_[static_cast<std::size_t>(component)];
}

long PickerView::selectedRowInComponent(long component) {
    if (numberOfRowsInComponent(component) == 0) return -1;
    return selected_[static_cast<std::size_t>(component)];
}

void PickerView::selectRow(long row, long component, bool) {
    if (row < 0 || row >= numberOfRowsInComponent(component)) return;
    selected_[static_cast<std::size_t>(component)] = row;
}

std::string PickerView::titleForRow(long row, long component) {
    if (row < 0 || row >= numberOfRowsInComponent(component)) return {};
    auto d = delegate();
    return d ? d->pickerView_titleForRow_forComponent(self(), row, component) : std::string();
}

bool PickerView::spinToRow(long row, long component) {
    if (row < 0 || row >= numberOfRowsInComponent(component)) return false;
    auto keep = self();
    selected_[static_cast<std::size_t>(component)] = row;
    if (auto d = delegate()) d->pickerView_didSelectRow_inComponent(keep, row, component);
    return true;
}

std::string PickerView::debugText() const {
    std::string out;
    auto* me = const_cast<PickerView*>(this);
    for (long c = 0; c < static_cast<long>(rows_.size()); ++c) {
        if (c) out += " | ";
        out += me->titleForRow(me->selectedRowInComponent(c), c);
    }
    return out;
}

// ---- DatePicker ----

void DatePicker::init(const Rect& frame) {
    Rect f = frame;
    if (f.size.height <= 0) f.size.height = 216;
    Control::init(f);
    setBackgroundColor(Color::whiteColor());
    date_ = ns::now();
}

ns::Date DatePicker::clamp(ns::Date d) const {
    if (minimum_ && d.seconds < minimum_->seconds) d = *minimum_;
    if (maximum_ && d.seconds > maximum_->seconds) d = *maximum_;
    return d;
}

void DatePicker::setDate(ns::Date d, bool) { date_ = clamp(d); }

void DatePicker::setMinimumDate(std::optional<ns::Date> d) {
    minimum_ = d;
    date_ = clamp(date_);
}

void DatePicker::setMaximumDate(std::optional<ns::Date> d) {
    maximum_ = d;
    date_ = clamp(date_);
}

void DatePicker::spinToDate(ns::Date d) {
    date_ = clamp(d);
    sendActionsForControlEvents(ControlEventValueChanged);
}

}  // namespace ui
