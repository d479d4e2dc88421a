// Pickers: spinning columns of rows (PickerView) and the date picker.
//
//   picker = ui::create<ui::PickerView>(ui::Rect{0, 0, 320, 216});
//   picker->setDataSource(sharedAs<ui::PickerViewDataSource>());
//   picker->setDelegate(sharedAs<ui::PickerViewDelegate>());
//   picker->selectedRowInComponent(0);
//   picker->spinToRow(3, 1);    // a user turns the second column to its fourth row
//
// Rows come from the data source and their titles from the delegate; a
// column starts at its first row. Selections are kept within the rows there
// are when the columns are reloaded.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Control.h"
#include "uikit/View.h"

namespace ui {

class PickerView;

class PickerViewDataSource {
public:
    virtual ~PickerViewDataSource() = default;
    virtual long numberOfComponentsInPickerView(const std::shared_ptr<PickerView>&) = 0;
    virtual long pickerView_numberOfRowsInComponent(const std::shared_ptr<PickerView>&, long component) = 0;
};

class PickerViewDelegate {
public:
    virtual ~PickerViewDelegate() = default;
    virtual std::string pickerView_titleForRow_forComponent(const std::shared_ptr<PickerView>&, long /*row*/,
                                                            long /*component*/) {
        return {};
    }
    virtual void pickerView_didSelectRow_inComponent(const std::shared_ptr<PickerView>&, long /*row*/,
                                                     long /*component*/) {}
    // Not overridden: the picker's width shared equally.
    virtual double pickerView_widthForComponent(const std::shared_ptr<PickerView>& pickerView, long component);
    virtual double pickerView_rowHeightForComponent(const std::shared_ptr<PickerView>&, long) { return 32; }
};

class PickerView : public View {
public:
    // A picker is 216 points high unless given a height.
    void init(const Rect& frame) override;

    std::shared_ptr<PickerViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<PickerViewDataSource>& ds);
    std::shared_ptr<PickerViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<PickerViewDelegate>& d) { delegate_ = d; }
    bool showsSelectionIndicator() const { return showsSelectionIndicator_; }
    void setShowsSelectionIndicator(bool s) { showsSelectionIndicator_ = s; }

    long numberOfComponents();
    long numberOfRowsInComponent(long component);
    void reloadAllComponents();
    void reloadComponent(long component);
    // -1 when the column has no rows.
    long selectedRowInComponent(long component);
    // As code does: no delegate call. Out-of-range rows are ignored.
    void selectRow(long row, long component, bool animated);
    // The title the delegate gives (for tests and the renderer).
    std::string titleForRow(long row, long component);

    // A user's spin of a column to a row: selected, then didSelectRow. False
    // for a row or column that does not exist.
    bool spinToRow(long row, long component);

    std::string debugText() const override;

private:
    void ensureLoaded();
    std::shared_ptr<PickerView> self() { return sharedAs<PickerView>(); }

    std::weak_ptr<PickerViewDataSource> dataSource_;
    std::weak_ptr<PickerViewDelegate> delegate_;
    bool showsSelectionIndicator_ = false;
    bool loaded_ = false;
    std::vector<long> rows_;
    std::vector<long> selected_;
};

enum DatePickerMode {
    DatePickerModeTime = 0,
    DatePickerModeDate,
    DatePickerModeDateAndTime,
    DatePickerModeCountDownTimer,
};

// The date picker: a date within optional limits; a user's change sends
// ValueChanged.
class DatePicker : public Control {
public:
    void init(const Rect& frame) override;

    DatePickerMode datePickerMode() const { return mode_; }
    void setDatePickerMode(DatePickerMode m) { mode_ = m; }
    ns::Date date() const { return date_; }
    void setDate(ns::Date d) { setDate(d, false); }
    // As code does: kept within the limits, no event.
    void setDate(ns::Date d, bool animated);
    std::optional<ns::Date> minimumDate() const { return minimum_; }
    void setMinimumDate(std::optional<ns::Date> d);
    std::optional<ns::Date> maximumDate() const { return maximum_; }
    void setMaximumDate(std::optional<ns::Date> d);
    int minuteInterval() const { return minuteInterval_; }
    void setMinuteInterval(int m) { minuteInterval_ = m; }

    // A user's spin to a date: kept within the limits, then ValueChanged.
    void spinToDate(ns::Date d);

private:
    ns::Date clamp(ns::Date d) const;

    DatePickerMode mode_ = DatePickerModeDateAndTime;
    ns::Date date_;
    std::optional<ns::Date> minimum_, maximum_;
    int minuteInterval_ = 1;
};

}  // namespace ui
