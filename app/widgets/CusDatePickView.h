// The year-month-day picker, used as a text field's input view.
//
//   auto picker = ui::create<CusDatePickView>(ui::Rect{0, h / 2, w, h / 2 + 20}, "选择时间");
//   picker->setDelegate(sharedAs<CusDatePickViewDelegate>());
//   JonPartyField->setInputView(picker);
//
// "确定" sends datePickDone with "year-month-day" as the columns show them
// ("1998-07-01"); "取消" sends datePickCancel. The years go back from the
// current one to 1921.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/DateColumnsPickView.h"

class CusDatePickViewDelegate {
public:
    virtual ~CusDatePickViewDelegate() = default;
    virtual void datePickDone(const std::string& /*text*/) {}
    virtual void datePickCancel() {}
};

class CusDatePickView : public DateColumnsPickView {
public:
    using DateColumnsPickView::init;

    std::shared_ptr<CusDatePickViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<CusDatePickViewDelegate>& d) { delegate_ = d; }

    std::string pickedText();

    static constexpr int kFirstYear = 1921;

protected:
    std::vector<Column> columns() const override { return {Column::Year, Column::Month, Column::Day}; }
    int yearCount() const override;
    void done() override;
    void cancel() override;

private:
    std::weak_ptr<CusDatePickViewDelegate> delegate_;
};
