// The date-and-time picker, used as a text field's input view.
//
//   auto picker = ui::create<TimePickView>(ui::Rect{0, h / 2, w, h / 2 + 20}, "选择时间");
//   picker->setDelegate(sharedAs<TimePickViewDelegate>());
//   timeField->setInputView(picker);
//
// "确定" sends datePickDone with "year-month-day hour:minute" (four-digit
// year, two-digit others: "2014-03-07 09:05"); "取消" sends datePickCancel.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/DateColumnsPickView.h"

class TimePickViewDelegate {
public:
    virtual ~TimePickViewDelegate() = default;
    virtual void datePickDone(const std::string& /*text*/) {}
    virtual void datePickCancel() {}
};

class TimePickView : public DateColumnsPickView {
public:
    using DateColumnsPickView::init;

    std::shared_ptr<TimePickViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TimePickViewDelegate>& d) { delegate_ = d; }

    // The text "确定" would send now.
    std::string pickedText();

    static constexpr int kYears = 10;

protected:
    std::vector<Column> columns() const override {
        return {Column::Year, Column::Month, Column::Day, Column::Hour, Column::Minute};
    }
    int yearCount() const override { return kYears; }
    void done() override;
    void cancel() override;

private:
    std::weak_ptr<TimePickViewDelegate> delegate_;
};
