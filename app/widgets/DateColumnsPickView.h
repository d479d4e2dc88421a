// What the date pickers share: a bar with "取消", the title and "确定" above a
// picker whose columns are years, months, days and, for the time picker,
// hours and minutes, each listed as text.
//
// Years start with the current one and go back; months, days, hours and
// minutes are two digits from "01" ("00" for hours and minutes). The day
// column lists the days of the year and month chosen, so no date that does
// not exist can be picked. With nothing turned, every column reads its first
// entry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/PickerView.h"
#include "uikit/View.h"

class DateColumnsPickView : public ui::View, public ui::PickerViewDataSource, public ui::PickerViewDelegate {
public:
    enum class Column { Year, Month, Day, Hour, Minute };

    void init(const ui::Rect& frame) override { init(frame, std::string()); }
    // initWithFrame:title:
    virtual void init(const ui::Rect& frame, const std::string& title);

    // The text the column shows now.
    std::string selectedText(Column column);

    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Button> cancelButton;
    std::shared_ptr<ui::Button> doneButton;
    std::shared_ptr<ui::PickerView> picker;

    static constexpr double kBarHeight = 44;

    // PickerView
    long numberOfComponentsInPickerView(const std::shared_ptr<ui::PickerView>&) override;
    long pickerView_numberOfRowsInComponent(const std::shared_ptr<ui::PickerView>&, long component) override;
    std::string pickerView_titleForRow_forComponent(const std::shared_ptr<ui::PickerView>&, long row,
                                                    long component) override;
    void pickerView_didSelectRow_inComponent(const std::shared_ptr<ui::PickerView>&, long row,
                                             long component) override;

protected:
    // The year the year column starts with (when the view was made).
    int currentYear() const { return currentYear_; }
    virtual std::vector<Column> columns() const = 0;
    // How many years the year column lists.
    virtual int yearCount() const = 0;
    // The two buttons.
    virtual void done() = 0;
    virtual void cancel() = 0;

private:
    void doneTouched() { done(); }
    void cancelTouched() { cancel(); }
    long componentOf(Column column) const;
    long rowsOf(Column column);
    std::string textOf(Column column, long row) const;

    int currentYear_ = 0;
};
