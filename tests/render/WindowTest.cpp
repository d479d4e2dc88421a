// The desktop window under SDL's offscreen video driver, fed synthesised
// mouse, wheel and keyboard events through SDL's own queue.
#include <gtest/gtest.h>

#include <thread>

#include "RenderTestSupport.h"
#include "foundation/RunLoop.h"
#include "uikit/Keyboard.h"
#include "uikit/PickerView.h"
#include "uikit/TableView.h"
#include "uikit/TextField.h"
#include "support/WindowInput.h"
#include "window/Host.h"

using namespace ui;
using namespace rendertest;
using render::Pixel;

namespace {

class WindowTest : public RenderTest, protected testsupport::WindowInput {
protected:
    void SetUp() override {
        useTestVideoDriver();
        RenderTest::SetUp();
        host = std::make_unique<window::Host>(Application::sharedApplication(), window::Options{2, "test"});
        ASSERT_TRUE(host->isOpen()) << host->error();
    }
    void TearDown() override {
        host.reset();
        Keyboard::shared().resetForTesting();
        RenderTest::TearDown();
    }

};

class Counter : public Object {
public:
    void hit() { ++hits; }
    int hits = 0;
};

TEST_F(WindowTest, ClickOnAButtonFiresItsAction) {
    auto counter = std::make_shared<Counter>();
    auto b = Button::buttonWithType(ButtonTypeSystem);
    b->setFrame(Rect{100, 200, 120, 44});
    b->setTitle("时事直通", ControlStateNormal);
    b->addTarget(counter, &Counter::hit, ControlEventTouchUpInside);
    window->addSubview(b);
    host->runOnce(0);
    EXPECT_EQ(host->canvas().pixelWidth(), 640);
    EXPECT_EQ(host->canvas().pixelHeight(), 1136);
    EXPECT_GT(inkCount(host->canvas(), b->frame(), kWhite), 40);  // the title is on screen

    click(Point{160, 222});
    EXPECT_EQ(counter->hits, 1);
    click(Point{160, 300});  // beside it
    EXPECT_EQ(counter->hits, 1);
    // Pressed and dragged off before release: no action.
    drag(Point{160, 222}, Point{0, 150});
    EXPECT_EQ(counter->hits, 1);
}

class DragRecorder : public TableViewDataSource, public TableViewDelegate {
public:
    long tableView_numberOfRowsInSection(const std::shared_ptr<TableView>&, long) override { return 100; }
    std::shared_ptr<TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<TableView>& tv,
                                                                   const IndexPath& ip) override {
        auto cell = tv->dequeueReusableCellWithIdentifier("c");
        if (!cell) cell = create<TableViewCell>(TableViewCellStyleDefault, "c");
        cell->textLabel()->setText("行 " + std::to_string(ip.row));
        return cell;
    }
    void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ScrollView>& sv, bool) override {
        releasedAt = sv->contentOffset().y;
    }
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath& ip) override {
        selected = ip.row;
    }
    double releasedAt = 0;
    long selected = -1;
};

TEST_F(WindowTest, DragScrollsAListPullsItDownAndWheelScrollsIt) {
    auto rec = std::make_shared<DragRecorder>();
    auto table = create<TableView>(Rect{0, 64, 320, 504});
    table->setDataSource(rec);
    table->setDelegate(rec);
    window->addSubview(table);
    table->reloadData();
    host->runOnce(0);

    drag(Point{160, 400}, Point{0, -150});
    EXPECT_GT(table->contentOffset().y, 100);
    EXPECT_NEAR(rec->releasedAt, table->contentOffset().y, 0.5);
    EXPECT_EQ(rec->selected, -1);  // a drag is not a tap

    // Back at the top, a pull of 100 points is past the 65 that refresh needs.
    table->setContentOffset(Point{0, 0});
    drag(Point{160, 200}, Point{0, 100});
    EXPECT_LE(rec->releasedAt, -65);
    EXPECT_EQ(table->contentOffset().y, 0);  // sprung back

    // A tap selects the row under it.
    click(Point{160, 64 + 44 * 3 + 20});
    EXPECT_EQ(rec->selected, 3);

    // Three notches down, then more than the content allows back up.
    motion(Point{160, 300}, false);
    wheel(-3);
    EXPECT_EQ(table->contentOffset().y, 120);
    wheel(10);
    EXPECT_EQ(table->contentOffset().y, 0);
}

// A top bar that pans the screen under it sideways, as the slide menu does.
class Panner : public Object {
public:
    void pan(std::shared_ptr<PanGestureRecognizer> r) {
        states.push_back(r->state());
        last = r->translationInView(nullptr);
    }
    std::vector<GestureRecognizerState> states;
    Point last;
};

TEST_F(WindowTest, DragPansAViewWithAPanGesture) {
    auto bar = create<View>(Rect{0, 20, 320, 44});
    bar->setBackgroundColor(Color::redColor());
    auto panner = std::make_shared<Panner>();
    bar->addGestureRecognizer(create<PanGestureRecognizer>(panner, &Panner::pan));
    window->addSubview(bar);
    drag(Point{40, 40}, Point{200, 5}, 8);
    ASSERT_FALSE(panner->states.empty());
    EXPECT_EQ(panner->states.front(), GestureRecognizerStateBegan);
    EXPECT_EQ(panner->states.back(), GestureRecognizerStateEnded);
    EXPECT_NEAR(panner->last.x, 200, 1);
    // A click is not a pan.
    panner->states.clear();
    click(Point{40, 40});
    EXPECT_TRUE(panner->states.empty());
}

// A field that takes typing.
class Field : public View, public KeyInput {
public:
    bool canBecomeFirstResponder() const override { return true; }
    bool hasText() const override { return !text.empty(); }
    void insertText(const std::string& t) override { text += t; }
    void deleteBackward() override {
        // One UTF-8 character.
        while (!text.empty()) {
            unsigned char c = static_cast<unsigned char>(text.back());
            text.pop_back();
            if ((c & 0xC0) != 0x80) break;
        }
    }
    std::string text;
};

TEST_F(WindowTest, TypedTextGoesToTheFirstResponder) {
    auto field = create<Field>(Rect{20, 100, 280, 40});
    window->addSubview(field);
    text("ignored");  // nobody is editing
    EXPECT_EQ(field->text, "");
    ASSERT_TRUE(field->becomeFirstResponder());
    text("社区");  // an input method's commit
    text("a");
    key(SDLK_BACKSPACE);
    key(SDLK_RETURN);
    EXPECT_EQ(field->text, "社区\n");
    key(SDLK_BACKSPACE);
    key(SDLK_BACKSPACE);
    EXPECT_EQ(field->text, "社");
    SDL_SetClipboardText("粘贴");
    key(SDLK_v, KMOD_LCTRL);
    EXPECT_EQ(field->text, "社粘贴");
}

// Refuses to clear while `keep` is set.
class ClearGuard : public TextFieldDelegate {
public:
    bool textFieldShouldClear(const std::shared_ptr<TextField>&) override { return !keep; }
    bool keep = false;
};

TEST_F(WindowTest, ClickOnTheClearButtonEmptiesTheFieldAndTypingStartsAfresh) {
    auto password = create<TextField>(Rect{20, 100, 280, 36});
    password->setBorderStyle(TextBorderStyleRoundedRect);
    password->setSecureTextEntry(true);
    password->setClearButtonMode(TextFieldViewModeWhileEditing);
    password->setText("demo123");
    auto guard = std::make_shared<ClearGuard>();
    password->setDelegate(guard);
    window->addSubview(password);
    const Rect button = password->clearButtonRect().offsetBy(password->frame().minX(), password->frame().minY());
    const Point onButton{button.midX(), button.midY()};

    click(onButton);  // not editing: the button is not showing, the click focuses
    ASSERT_TRUE(password->isFirstResponder());
    EXPECT_EQ(password->text(), "demo123");
    guard->keep = true;
    click(onButton);
    EXPECT_EQ(password->text(), "demo123");
    guard->keep = false;
    click(onButton);
    EXPECT_EQ(password->text(), "");
    EXPECT_TRUE(password->isFirstResponder());
    text("demo");
    EXPECT_EQ(password->text(), "demo");
    click(Point{60, 118});  // on the text, not the button
    EXPECT_EQ(password->text(), "demo");
}

TEST_F(WindowTest, ClicksOnTheDrawnKeyboardType) {
    auto field = create<TextField>(Rect{20, 100, 280, 36});
    field->setBorderStyle(TextBorderStyleRoundedRect);
    window->addSubview(field);
    click(Point{160, 118});
    ASSERT_TRUE(field->isFirstResponder());
    auto keyboard = std::dynamic_pointer_cast<KeyboardView>(Keyboard::shared().window()->subviews().at(0));
    ASSERT_TRUE(keyboard);
    const Rect kb = Keyboard::shared().frame();
    EXPECT_GT(inkCount(host->canvas(), kb.insetBy(0, 10), render::Pixel{209, 214, 219, 255}), 2000);  // the keys
    auto press = [&](const std::string& label) {
        for (const auto& k : keyboard->keys()) {
            if (k.label == label) return click(Point{kb.minX() + k.frame.midX(), kb.minY() + k.frame.midY()});
        }
        ADD_FAILURE() << "no key " << label;
    };
    // ⇧ gives one capital; the digits and back; a blank, a deletion, return.
    for (const char* k : {"\u21e7", "D", "e", "m", "o", "123", "1", "2", "3", "ABC", "\u232b", "\u232b", "空格", "x"}) {
        press(k);
    }
    EXPECT_EQ(field->text(), "Demo1 x");
    auto returns = std::make_shared<Counter>();
    field->addTarget(returns, &Counter::hit, ControlEventEditingDidEndOnExit);
    press("换行");
    EXPECT_EQ(returns->hits, 1);
    EXPECT_EQ(field->text(), "Demo1 x");
    // Between the keys nothing is typed.
    click(Point{kb.minX() + 1, kb.minY() + 1});
    EXPECT_EQ(field->text(), "Demo1 x");
}

class Kinds : public PickerViewDataSource, public PickerViewDelegate {
public:
    long numberOfComponentsInPickerView(const std::shared_ptr<PickerView>&) override { return 1; }
    long pickerView_numberOfRowsInComponent(const std::shared_ptr<PickerView>&, long) override { return 6; }
    std::string pickerView_titleForRow_forComponent(const std::shared_ptr<PickerView>&, long row, long) override {
        return "类型" + std::to_string(row);
    }
    void pickerView_didSelectRow_inComponent(const std::shared_ptr<PickerView>&, long row, long) override {
        picked = row;
    }
    long picked = -1;
};

TEST_F(WindowTest, ClickFocusesAFieldWhosePickerTurnsByDragTapAndWheel) {
    auto field = create<TextField>(Rect{20, 100, 280, 36});
    field->setBorderStyle(TextBorderStyleRoundedRect);
    auto kinds = std::make_shared<Kinds>();
    auto picker = create<PickerView>(Rect{0, 0, 320, 216});
    picker->setDataSource(kinds);
    picker->setDelegate(kinds);
    field->setInputView(picker);
    auto other = create<TextField>(Rect{20, 150, 280, 36});
    window->addSubview(field);
    window->addSubview(other);

    click(Point{160, 118});
    ASSERT_TRUE(field->isFirstResponder());
    ASSERT_EQ(Keyboard::shared().inputView(), picker);
    Rect kb = Keyboard::shared().frame();
    const double mid = kb.midY();
    // Dragged up over two rows.
    drag(Point{160, mid}, Point{0, -64});
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    EXPECT_EQ(kinds->picked, 2);
    // A tap on the row below the middle.
    click(Point{160, mid + 32});
    EXPECT_EQ(picker->selectedRowInComponent(0), 3);
    // The wheel: one notch back.
    motion(Point{160, mid}, false);
    wheel(1);
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);

    // Another field takes the focus and the typing.
    click(Point{160, 168});
    ASSERT_TRUE(other->isFirstResponder());
    text("你好");
    EXPECT_EQ(other->text(), "你好");
    EXPECT_GT(inkCount(host->canvas(), other->frame(), kWhite), 40);
}

class AlertRecorder : public AlertViewDelegate {
public:
    void alertView_clickedButtonAtIndex(const std::shared_ptr<AlertView>&, int index) override { clicked = index; }
    int clicked = -1;
};

TEST_F(WindowTest, ClicksPressAlertButtonsAndNothingBelow) {
    auto counter = std::make_shared<Counter>();
    auto b = Button::buttonWithType(ButtonTypeCustom);
    b->setFrame(Rect{0, 0, 320, 568});
    b->addTarget(counter, &Counter::hit, ControlEventTouchUpInside);
    window->addSubview(b);
    auto rec = std::make_shared<AlertRecorder>();
    auto alert = create<AlertView>("温馨提示", "确定拨打吗？", rec, "取消", std::vector<std::string>{"拨打"});
    alert->show();
    auto l = render::layoutPopup(*alert, Size{320, 568});
    click(Point{l.panel.midX(), l.panel.minY() + 10});  // the text, not a button
    EXPECT_EQ(rec->clicked, -1);
    // Pressed on one button and released on the other: nothing.
    button(SDL_MOUSEBUTTONDOWN, Point{l.buttons[0].midX(), l.buttons[0].midY()});
    host->runOnce(0);
    button(SDL_MOUSEBUTTONUP, Point{l.buttons[1].midX(), l.buttons[1].midY()});
    host->runOnce(0);
    EXPECT_EQ(rec->clicked, -1);
    click(Point{l.buttons[1].midX(), l.buttons[1].midY()});
    EXPECT_EQ(rec->clicked, 1);
    EXPECT_TRUE(Application::sharedApplication().visiblePopups().empty());
    EXPECT_EQ(counter->hits, 0);
}

TEST_F(WindowTest, RedrawsOnlyWhenSomethingHappenedAndWakesForPostedWork) {
    host->runOnce(0);
    int frames = host->frameCount();
    host->runOnce(0);
    host->runOnce(0);
    motion(Point{10, 10}, false);  // hovering changes nothing
    host->runOnce(0);
    EXPECT_EQ(host->frameCount(), frames);

    // Work posted from another thread wakes the loop while it sleeps.
    auto marker = create<View>(Rect{0, 100, 320, 100});
    marker->setBackgroundColor(Color::redColor());
    std::thread poster([&] {
        while (!ns::RunLoop::main().isWaiting()) std::this_thread::yield();
        ns::RunLoop::main().post([&] { window->addSubview(marker); });
    });
    host->runOnce(-1);  // sleeps until the post
    poster.join();
    EXPECT_EQ(host->frameCount(), frames + 1);
    EXPECT_EQ(at(host->canvas(), 160, 150), (Pixel{255, 0, 0, 255}));

    // A timer due comes back through the loop too.
    bool fired = false;
    ns::Timer::scheduled(1.0, false, [&](ns::Timer&) { fired = true; });
    host->runOnce(0);
    EXPECT_FALSE(fired);
    driver->advance(1.0);
    EXPECT_TRUE(fired);

    // Asked to stop (from a signal's thread), the loop ends with the window still open.
    std::thread([] { ns::RunLoop::main().stop(); }).join();
    EXPECT_FALSE(host->runOnce(0));
    EXPECT_TRUE(host->isOpen());
    EXPECT_FALSE(host->runOnce(0));

    host.reset();
    host = std::make_unique<window::Host>(Application::sharedApplication(), window::Options{2, "test"});
    ASSERT_TRUE(host->runOnce(0));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    EXPECT_FALSE(host->runOnce(0));
    EXPECT_FALSE(host->isOpen());
}

}  // namespace
