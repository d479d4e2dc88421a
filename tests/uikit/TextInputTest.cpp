// Text fields, text views, the keyboard's notifications and input views,
// and the pickers that stand in for the keyboard.
#include <gtest/gtest.h>

#include "UITestSupport.h"
#include "foundation/Notification.h"
#include "uikit/Keyboard.h"
#include "uikit/PickerView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"

using namespace ui;
using uitest::UITest;

namespace {

struct KeyboardEvent {
    std::string name;
    Rect begin, end;
};

class Observer : public Object {};

class FormDelegate : public Object, public TextFieldDelegate, public TextViewDelegate {
public:
    bool textFieldShouldBeginEditing(const std::shared_ptr<TextField>&) override { return allowBegin; }
    void textFieldDidBeginEditing(const std::shared_ptr<TextField>& f) override { log.push_back("begin " + f->placeholder()); }
    void textFieldDidEndEditing(const std::shared_ptr<TextField>& f) override { log.push_back("end " + f->placeholder()); }
    bool textField_shouldChangeCharactersInRange_replacementString(const std::shared_ptr<TextField>&, ns::Range r,
                                                                  const std::string& s) override {
        ranges.push_back(r);
        return s.find_first_of("0123456789") == std::string::npos;  // no digits
    }
    bool textFieldShouldClear(const std::shared_ptr<TextField>&) override { return allowClear; }
    bool textFieldShouldReturn(const std::shared_ptr<TextField>& f) override {
        returns++;
        f->resignFirstResponder();
        return true;
    }
    bool textViewShouldBeginEditing(const std::shared_ptr<TextView>&) override { return allowBegin; }
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<TextView>& v, ns::Range,
                                                          const std::string& text) override {
        offered.push_back(text);
        if (text == "\n") {  // a typed return ends editing and is refused
            v->resignFirstResponder();
            return false;
        }
        return true;
    }
    bool allowBegin = true, allowClear = true;
    int returns = 0;
    std::vector<std::string> log, offered;
    std::vector<ns::Range> ranges;
};

class TextInputTest : public UITest {
protected:
    void SetUp() override {
        UITest::SetUp();
        window->makeKeyAndVisible();
        form = std::make_shared<FormDelegate>();
        observer = std::make_shared<Observer>();
        auto& nc = ns::NotificationCenter::defaultCenter();
        for (const char* name : {UIKeyboardWillShowNotification, UIKeyboardDidShowNotification,
                                 UIKeyboardWillHideNotification, UIKeyboardDidHideNotification}) {
            nc.addObserver(observer, name, [this](const ns::Notification& n) {
                events.push_back(KeyboardEvent{n.name, rectFromUserInfo(n.userInfo, UIKeyboardFrameBeginUserInfoKey),
                                               rectFromUserInfo(n.userInfo, UIKeyboardFrameEndUserInfoKey)});
            });
        }
    }
    std::shared_ptr<TextField> field(const std::string& placeholder, double y) {
        auto f = create<TextField>(Rect{10, y, 200, 35});
        f->setPlaceholder(placeholder);
        f->setDelegate(form);
        window->addSubview(f);
        return f;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (auto& e : events) out.push_back(e.name);
        return out;
    }

    std::shared_ptr<FormDelegate> form;
    std::shared_ptr<Observer> observer;
    std::vector<KeyboardEvent> events;
};

TEST_F(TextInputTest, KeyboardNotificationsFollowTheFocus) {
    auto title = field("title", 100);
    auto name = field("name", 150);

    driver->tap(title);
    EXPECT_EQ(driver->firstResponder(), title);
    EXPECT_TRUE(title->isEditing());
    ASSERT_EQ(names(), (std::vector<std::string>{UIKeyboardWillShowNotification, UIKeyboardDidShowNotification}));
    EXPECT_EQ(events[1].begin, Rect(0, 568, 320, 216));  // off screen, full height
    EXPECT_EQ(events[1].end, Rect(0, 352, 320, 216));
    EXPECT_TRUE(Keyboard::shared().isVisible());
    EXPECT_EQ(Keyboard::shared().frame(), Rect(0, 352, 320, 216));

    // Moving to another field shows again, without hiding in between.
    events.clear();
    driver->tap(name);
    EXPECT_EQ(names(), (std::vector<std::string>{UIKeyboardWillShowNotification, UIKeyboardDidShowNotification}));
    EXPECT_EQ(events[0].begin, Rect(0, 352, 320, 216));
    EXPECT_EQ(form->log, (std::vector<std::string>{"begin title", "end title", "begin name"}));

    // Ending editing hides it.
    events.clear();
    window->endEditing(true);
    EXPECT_EQ(names(), (std::vector<std::string>{UIKeyboardWillHideNotification, UIKeyboardDidHideNotification}));
    EXPECT_EQ(events[0].begin, Rect(0, 352, 320, 216));
    EXPECT_EQ(events[0].end, Rect(0, 568, 320, 216));
    EXPECT_FALSE(Keyboard::shared().isVisible());
    EXPECT_FALSE(driver->firstResponder());

    // A fixed, settable height; a screen of 480.
    events.clear();
    Keyboard::shared().setHeight(240);
    Screen::mainScreen().setSize(Size{320, 480});
    EXPECT_TRUE(title->becomeFirstResponder());
    EXPECT_EQ(events[1].end, Rect(0, 240, 320, 240));

    // A refused begin takes no focus and posts nothing.
    title->resignFirstResponder();
    events.clear();
    form->allowBegin = false;
    driver->tap(name);
    EXPECT_FALSE(driver->firstResponder());
    EXPECT_TRUE(events.empty());
}

TEST_F(TextInputTest, AnInputViewComesUpInPlaceOfTheKeyboard) {
    auto date = field("date", 100);
    auto picker = create<PickerView>(Rect{0, 0, 320, 180});
    date->setInputView(picker);
    driver->tap(date);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_DOUBLE_EQ(events[1].begin.size.height, 180);
    EXPECT_EQ(Keyboard::shared().inputView(), picker);
    EXPECT_TRUE(TestDriver::isOnScreen(*picker));
    EXPECT_EQ(picker->convertRect_toView(picker->bounds(), nullptr).origin.y, 0);  // in the keyboard's window
    EXPECT_EQ(picker->window()->frame(), Rect(0, 388, 320, 180));
    // Touches there reach the picker, not the screen below.
    EXPECT_TRUE(driver->tapAt(Point{160, 500})->isDescendantOfView(picker.get()));

    date->resignFirstResponder();
    EXPECT_FALSE(TestDriver::isOnScreen(*picker));
    EXPECT_FALSE(picker->superview());
}

TEST_F(TextInputTest, TypingGoesThroughTheFieldDelegate) {
    auto f = field("title", 100);
    EXPECT_TRUE(driver->typeText(f, "a1b"));
    EXPECT_EQ(f->text(), "ab");  // the digit was refused
    ASSERT_EQ(form->ranges.size(), 3u);
    EXPECT_EQ(form->ranges[2], (ns::Range{1, 0}));

    driver->typeText("党😀");
    EXPECT_EQ(f->text(), "ab党😀");
    form->ranges.clear();
    driver->deleteBackward();
    EXPECT_EQ(form->ranges.back(), (ns::Range{3, 2}));  // the emoji is two units
    EXPECT_EQ(f->text(), "ab党");
    driver->pasteText("x\ny");  // one line
    EXPECT_EQ(f->text(), "ab党x y");

    // Clear button while editing.
    f->setClearButtonMode(TextFieldViewModeWhileEditing);
    EXPECT_TRUE(f->isClearButtonVisible());
    form->allowClear = false;
    EXPECT_FALSE(f->tapClearButton());
    form->allowClear = true;
    EXPECT_TRUE(f->tapClearButton());
    EXPECT_EQ(f->text(), "");
    EXPECT_FALSE(f->isClearButtonVisible());  // nothing to clear

    // Return asks the delegate, which ends editing here.
    f->setReturnKeyType(ReturnKeySearch);
    driver->typeText("k");
    driver->pressReturn();
    EXPECT_EQ(form->returns, 1);
    EXPECT_FALSE(f->isEditing());
    f->setText("set by code");  // no delegate involved
    EXPECT_EQ(f->text(), "set by code");
    EXPECT_FALSE(f->isClearButtonVisible());
}

TEST_F(TextInputTest, TextViewRefusesATypedReturnButTakesPastedLines) {
    auto content = create<TextView>(Rect{70, 45, 200, 70});
    content->setDelegate(form);
    window->addSubview(content);
    EXPECT_TRUE(driver->typeText(content, "ab\ncd"));
    EXPECT_EQ(content->text(), "ab");  // the return ended editing; "cd" had nowhere to go
    EXPECT_FALSE(content->isEditing());
    EXPECT_EQ(form->offered, (std::vector<std::string>{"a", "b", "\n"}));
    EXPECT_EQ(names().back(), UIKeyboardDidHideNotification);

    driver->tap(content);
    driver->pasteText("line 1\nline 2");
    EXPECT_EQ(content->text(), "abline 1\nline 2");
    EXPECT_GT(content->contentSize().height, 20);

    content->setEditable(false);
    EXPECT_FALSE(content->isFirstResponder());
    driver->tap(content);
    EXPECT_FALSE(content->isFirstResponder());
}

// ---- Pickers ----

class Columns : public Object, public PickerViewDataSource, public PickerViewDelegate {
public:
    long numberOfComponentsInPickerView(const std::shared_ptr<PickerView>&) override {
        return static_cast<long>(columns.size());
    }
    long pickerView_numberOfRowsInComponent(const std::shared_ptr<PickerView>&, long c) override {
        return static_cast<long>(columns[static_cast<std::size_t>(c)].size());
    }
    std::string pickerView_titleForRow_forComponent(const std::shared_ptr<PickerView>&, long r, long c) override {
        return columns[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
    }
    void pickerView_didSelectRow_inComponent(const std::shared_ptr<PickerView>&, long r, long c) override {
        picks.push_back({c, r});
    }
    std::vector<std::vector<std::string>> columns;
    std::vector<std::pair<long, long>> picks;
};

TEST_F(TextInputTest, PickersStartAtTheFirstRowsAndKeepSelectionsInRange) {
    auto cols = std::make_shared<Columns>();
    cols->columns = {{"2014", "2015", "2016"}, {"01", "02"}};
    auto picker = create<PickerView>();
    EXPECT_DOUBLE_EQ(picker->frame().size.height, 216);
    picker->setDataSource(cols);
    picker->setDelegate(cols);
    EXPECT_EQ(picker->numberOfComponents(), 2);
    EXPECT_EQ(picker->selectedRowInComponent(0), 0);
    EXPECT_EQ(picker->titleForRow(picker->selectedRowInComponent(1), 1), "01");

    EXPECT_TRUE(picker->spinToRow(2, 0));
    EXPECT_FALSE(picker->spinToRow(5, 1));
    EXPECT_EQ(cols->picks, (std::vector<std::pair<long, long>>{{0, 2}}));
    picker->selectRow(1, 1, true);  // code: no callback
    EXPECT_EQ(cols->picks.size(), 1u);
    EXPECT_EQ(picker->debugText(), "2016 | 02");

    cols->columns[0] = {"2020"};
    picker->reloadComponent(0);
    EXPECT_EQ(picker->selectedRowInComponent(0), 0);
    cols->columns[1].clear();
    picker->reloadAllComponents();
    EXPECT_EQ(picker->selectedRowInComponent(1), -1);

    auto dates = create<DatePicker>();
    int changes = 0;
    struct Target : Object {
        int* n;
        void changed() { ++*n; }
    };
    auto t = std::make_shared<Target>();
    t->n = &changes;
    dates->addTarget(t, &Target::changed, ControlEventValueChanged);
    dates->setMinimumDate(ns::Date{1000});
    dates->setMaximumDate(ns::Date{2000});
    dates->setDate(ns::Date{5000});
    EXPECT_DOUBLE_EQ(dates->date().seconds, 2000);
    EXPECT_EQ(changes, 0);
    dates->spinToDate(ns::Date{1500});
    EXPECT_EQ(changes, 1);
    EXPECT_DOUBLE_EQ(dates->date().seconds, 1500);
}

}  // namespace
