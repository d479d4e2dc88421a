// The date, time and province-and-city pickers: their texts with and without
// turning, and the sheet's buttons.
#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/widgets/CityLocateView.h"
#include "app/widgets/CusDatePickView.h"
#include "app/widgets/TimePickView.h"
#include "foundation/DateTime.h"

namespace {

class Form : public TimePickViewDelegate, public CusDatePickViewDelegate, public ui::ActionSheetDelegate {
public:
    void datePickDone(const std::string& text) override { done.push_back(text); }
    void datePickCancel() override { cancels++; }
    void actionSheet_clickedButtonAtIndex(const std::shared_ptr<ui::ActionSheet>& sheet, int index) override {
        auto city = std::dynamic_pointer_cast<CityLocateView>(sheet);
        clicks.push_back({index, city ? city->locate->state + "-" + city->locate->city : "?"});
    }
    std::vector<std::string> done;
    int cancels = 0;
    std::vector<std::pair<int, std::string>> clicks;
};

class PickersTest : public widgettest::WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        ns::RunLoop::useManualClock(*ns::dateFromComponents(2014, 6, 15, 10, 30));
        screen = ui::create<ui::ViewController>();
        showRoot(screen);
    }
    std::shared_ptr<ui::ViewController> screen;
    std::shared_ptr<Form> form = std::make_shared<Form>();
};

TEST_F(PickersTest, TimePickerSendsTheFirstEntriesWhenNothingWasTurned) {
    auto picker = ui::create<TimePickView>(ui::Rect{0, 240, 320, 260}, "选择时间");
    picker->setDelegate(form);
    screen->view()->addSubview(picker);
    EXPECT_TRUE(driver->findViewWithText("选择时间"));
    driver->tap(picker->doneButton);
    ASSERT_EQ(form->done.size(), 1u);
    EXPECT_EQ(form->done[0], "2014-01-01 00:00");
    driver->tap(picker->cancelButton);
    EXPECT_EQ(form->cancels, 1);
    EXPECT_EQ(form->done.size(), 1u);
}

TEST_F(PickersTest, TimePickerTextAfterTurningWithDaysOfTheChosenMonth) {
    auto picker = ui::create<TimePickView>(ui::Rect{0, 240, 320, 260}, "选择时间");
    picker->setDelegate(form);
    screen->view()->addSubview(picker);
    auto& p = *picker->picker;
    EXPECT_EQ(p.numberOfRowsInComponent(0), TimePickView::kYears);
    EXPECT_EQ(p.titleForRow(0, 0), "2014");
    EXPECT_EQ(p.titleForRow(1, 0), "2013");
    EXPECT_EQ(p.numberOfRowsInComponent(1), 12);
    EXPECT_EQ(p.numberOfRowsInComponent(3), 24);
    EXPECT_EQ(p.numberOfRowsInComponent(4), 60);

    ASSERT_TRUE(p.spinToRow(2, 0));   // 2012, a leap year
    ASSERT_TRUE(p.spinToRow(1, 1));   // February
    EXPECT_EQ(p.numberOfRowsInComponent(2), 29);
    ASSERT_TRUE(p.spinToRow(28, 2));  // the 29th
    ASSERT_TRUE(p.spinToRow(9, 3));
    ASSERT_TRUE(p.spinToRow(5, 4));
    driver->tap(picker->doneButton);
    ASSERT_EQ(form->done.size(), 1u);
    EXPECT_EQ(form->done[0], "2012-02-29 09:05");

    ASSERT_TRUE(p.spinToRow(1, 0));  // 2013: February has 28 days, the day follows
    EXPECT_EQ(p.numberOfRowsInComponent(2), 28);
    EXPECT_EQ(picker->pickedText(), "2013-02-28 09:05");
    ASSERT_TRUE(p.spinToRow(11, 1));  // December
    EXPECT_EQ(p.numberOfRowsInComponent(2), 31);
    EXPECT_EQ(picker->pickedText(), "2013-12-28 09:05");
}

TEST_F(PickersTest, DatePickerFormsYearMonthDay) {
    auto picker = ui::create<CusDatePickView>(ui::Rect{0, 240, 320, 260}, "选择时间");
    picker->setDelegate(form);
    screen->view()->addSubview(picker);
    driver->tap(picker->doneButton);
    ASSERT_EQ(form->done.size(), 1u);
    EXPECT_EQ(form->done[0], "2014-01-01");

    auto& p = *picker->picker;
    EXPECT_EQ(p.numberOfComponents(), 3);
    long years = p.numberOfRowsInComponent(0);
    EXPECT_EQ(p.titleForRow(years - 1, 0), "1921");
    ASSERT_TRUE(p.spinToRow(years - 1, 0));
    ASSERT_TRUE(p.spinToRow(6, 1));
    ASSERT_TRUE(p.spinToRow(0, 2));
    driver->tap(picker->doneButton);
    EXPECT_EQ(form->done.back(), "1921-07-01");
    driver->tap(picker->cancelButton);
    EXPECT_EQ(form->cancels, 1);
}

TEST_F(PickersTest, DatePickerServesAsAFieldsKeyboard) {
    auto field = ui::create<ui::TextField>(ui::Rect{90, 210, 150, 30});
    screen->view()->addSubview(field);
    auto picker = ui::create<CusDatePickView>(ui::Rect{0, 240, 320, 260}, "选择时间");
    picker->setDelegate(form);
    field->setInputView(picker);
    EXPECT_FALSE(driver->findViewWithText("选择时间"));
    driver->tap(field);
    ASSERT_TRUE(driver->findViewWithText("选择时间"));  // the picker came up in place of the keys
    ASSERT_TRUE(picker->picker->spinToRow(2, 1));
    // The picker lies in the keyboard's window, low on the screen: a finger
    // on its button works as anywhere else.
    ASSERT_EQ(picker->window(), ui::Keyboard::shared().window());
    ASSERT_GT(picker->window()->frame().origin.y, 0);
    EXPECT_EQ(driver->tap(picker->doneButton), picker->doneButton);
    ASSERT_EQ(form->done.size(), 1u);
    EXPECT_EQ(form->done[0], "2014-03-01");
}

TEST_F(PickersTest, CityPickerStartsOnTheFirstProvinceAndFollowsTheTurns) {
    auto dismissed = ui::create<CityLocateView>("请选择籍贯", form);
    dismissed->showInView(screen->view());
    ASSERT_TRUE(driver->pressAlertButton("取消"));
    ASSERT_EQ(form->clicks.size(), 1u);
    EXPECT_EQ(form->clicks[0], std::make_pair(0, std::string("北京市-东城区")));

    auto sheet = ui::create<CityLocateView>("请选择籍贯", form);
    sheet->showInView(screen->view());
    ASSERT_EQ(driver->topPopup(), sheet);
    EXPECT_EQ(sheet->title(), "请选择籍贯");
    EXPECT_EQ(sheet->buttonTitleAtIndex(CityLocateView::kCancelIndex), "取消");
    EXPECT_EQ(sheet->buttonTitleAtIndex(CityLocateView::kConfirmIndex), "确定");
    ASSERT_EQ(sheet->provinces().count(), 34u);
    EXPECT_EQ(sheet->locate->state, "北京市");
    EXPECT_EQ(sheet->locate->city, "东城区");

    auto& p = *sheet->locatePicker;
    long jiangsu = -1;
    for (long i = 0; i < p.numberOfRowsInComponent(0); i++)
        if (p.titleForRow(i, 0) == "江苏省") jiangsu = i;
    ASSERT_GE(jiangsu, 0);
    ASSERT_TRUE(p.spinToRow(5, 1));  // a city of Beijing first
    ASSERT_TRUE(p.spinToRow(jiangsu, 0));
    EXPECT_EQ(p.selectedRowInComponent(1), 0);
    EXPECT_EQ(sheet->locate->state, "江苏省");
    EXPECT_EQ(sheet->locate->city, "南京市");
    ASSERT_TRUE(p.spinToRow(1, 1));
    EXPECT_EQ(sheet->locate->city, p.titleForRow(1, 1));
    std::string chosen = "江苏省-" + p.titleForRow(1, 1);

    ASSERT_TRUE(driver->pressAlertButton("确定"));
    ASSERT_EQ(form->clicks.size(), 2u);
    EXPECT_EQ(form->clicks[1], std::make_pair(1, chosen));
    EXPECT_FALSE(sheet->isVisible());
}

}  // namespace
