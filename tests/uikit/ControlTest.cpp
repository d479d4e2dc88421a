#include <gtest/gtest.h>

#include "UITestSupport.h"

using namespace ui;
using uitest::UITest;

namespace {

using ControlTest = UITest;

class Target : public Object {
public:
    void plain() { plainCalls++; }
    void withSender(std::shared_ptr<Button> sender) {
        senders.push_back(sender ? sender->tag() : -1);
    }
    void removeSender(std::shared_ptr<View> sender) {
        sender->removeFromSuperview();
        plainCalls++;
    }
    int plainCalls = 0;
    std::vector<int> senders;
};

class Screen : public ViewController {
public:
    void viewDidLoad() override {
        button = Button::buttonWithType(ButtonTypeCustom);
        button->setFrame(Rect{10, 100, 100, 40});
        button->setTitle("提交", ControlStateNormal);
        button->addTarget(this, &Screen::subit, ControlEventTouchUpInside);
        view()->addSubview(button);
    }
    void subit() { taps++; }
    ButtonPtr button;
    int taps = 0;
};

TEST_F(ControlTest, TheSameTargetAndActionAddedTwiceFiresOnce) {
    auto t = std::make_shared<Target>();
    auto b = create<Button>(Rect{0, 0, 50, 50});
    b->setTag(7);
    b->addTarget(t, &Target::plain, ControlEventTouchUpInside);
    b->addTarget(t, &Target::plain, ControlEventTouchUpInside);
    b->addTarget(t.get(), &Target::plain, ControlEventTouchUpInside);  // `this` form, same target
    b->addTarget(t, &Target::withSender, ControlEventTouchUpInside);
    EXPECT_EQ(b->actionCount(ControlEventTouchUpInside), 2u);
    b->sendActionsForControlEvents(ControlEventTouchUpInside);
    EXPECT_EQ(t->plainCalls, 1);
    EXPECT_EQ(t->senders, (std::vector<int>{7}));

    // Another target with the same action is a second entry.
    auto t2 = std::make_shared<Target>();
    b->addTarget(t2, &Target::plain, ControlEventTouchUpInside);
    b->sendActionsForControlEvents(ControlEventTouchUpInside);
    EXPECT_EQ(t->plainCalls, 2);
    EXPECT_EQ(t2->plainCalls, 1);

    // The same pair for a second event joins the events.
    b->addTarget(t, &Target::plain, ControlEventTouchDown);
    b->sendActionsForControlEvents(ControlEventTouchDown);
    EXPECT_EQ(t->plainCalls, 3);
    b->removeTarget(t, ControlEventTouchDown);
    b->sendActionsForControlEvents(ControlEventTouchDown);
    EXPECT_EQ(t->plainCalls, 3);
    b->removeTarget(nullptr);
    EXPECT_EQ(b->actionCount(), 0u);
}

TEST_F(ControlTest, AControlWhoseTargetHasGoneDoesNothing) {
    auto b = create<Button>(Rect{0, 0, 50, 50});
    {
        auto t = std::make_shared<Target>();
        b->addTarget(t, &Target::plain, ControlEventTouchUpInside);
    }
    EXPECT_EQ(b->actionCount(), 0u);
    b->sendActionsForControlEvents(ControlEventTouchUpInside);  // no crash, nothing called
}

TEST_F(ControlTest, TapsReachTheButtonThroughHitTesting) {
    auto screen = create<Screen>();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    EXPECT_EQ(driver->tap(screen->button), screen->button);
    EXPECT_EQ(screen->taps, 1);
    EXPECT_FALSE(screen->button->isHighlighted());

    // Its title label does not take the touch away.
    EXPECT_EQ(driver->tapText("提交"), screen->button);
    EXPECT_EQ(screen->taps, 2);

    // A transparent cover over it swallows the tap.
    auto cover = create<View>(Rect{0, 0, 320, 568});
    cover->setBackgroundColor(Color::blackColor());
    cover->setAlpha(0.6);
    screen->view()->addSubview(cover);
    EXPECT_EQ(driver->tap(screen->button), cover);
    EXPECT_EQ(screen->taps, 2);
    cover->setHidden(true);
    driver->tap(screen->button);
    EXPECT_EQ(screen->taps, 3);
}

TEST_F(ControlTest, TouchUpOutsideAndDisabledControls) {
    auto t = std::make_shared<Target>();
    auto parentTouches = std::make_shared<int>(0);
    struct Catcher : View {
        std::shared_ptr<int> count;
        void touchesEnded(const TouchSet&, Event*) override { (*count)++; }
    };
    auto catcher = create<Catcher>(Rect{0, 0, 320, 568});
    catcher->count = parentTouches;
    window->addSubview(catcher);
    window->makeKeyAndVisible();
    auto b = create<Button>(Rect{100, 100, 50, 50});
    catcher->addSubview(b);
    b->addTarget(t, &Target::plain, ControlEventTouchUpInside);
    auto outside = std::make_shared<Target>();
    b->addTarget(outside, &Target::plain, ControlEventTouchUpOutside);

    driver->dragFrom(Point{125, 125}, Point{0, 100});
    EXPECT_EQ(t->plainCalls, 0);
    EXPECT_EQ(outside->plainCalls, 1);

    // A disabled button passes its touches up the responder chain.
    b->setEnabled(false);
    EXPECT_EQ(driver->tapAt(Point{125, 125}), b);
    EXPECT_EQ(t->plainCalls, 0);
    EXPECT_EQ(*parentTouches, 1);
}

TEST_F(ControlTest, RemovingTheButtonInsideItsOwnActionIsSafe) {
    auto t = std::make_shared<Target>();
    window->makeKeyAndVisible();
    {
        auto b = create<Button>(Rect{0, 100, 100, 40});
        b->addTarget(t, &Target::removeSender, ControlEventTouchUpInside);
        window->addSubview(b);
    }
    driver->tapAt(Point{50, 120});
    EXPECT_EQ(t->plainCalls, 1);
    EXPECT_EQ(window->subviewCount(), 0u);
}

TEST_F(ControlTest, ButtonStatesFallBackToNormal) {
    auto b = Button::buttonWithType(ButtonTypeCustom);
    auto bg = Image::imageWithPixels(2, 2, std::vector<std::uint8_t>(16, 255));
    b->setTitle("签到", ControlStateNormal);
    b->setTitleColor(Color::blackColor(), ControlStateNormal);
    b->setBackgroundImage(bg, ControlStateNormal);
    EXPECT_EQ(b->currentTitle(), "签到");
    b->setHighlighted(true);
    EXPECT_EQ(b->currentTitle(), "签到");
    EXPECT_EQ(b->currentBackgroundImage(), bg);
    b->setHighlighted(false);
    b->setTitle("已签到", ControlStateSelected);
    b->setSelected(true);
    EXPECT_EQ(b->currentTitle(), "已签到");
    EXPECT_EQ(b->titleLabel()->text(), "已签到");
    EXPECT_EQ(b->currentTitleColor(), Color::blackColor());
    b->setHighlighted(true);  // selected + highlighted: the selected title
    EXPECT_EQ(b->currentTitle(), "已签到");
    b->setSelected(false);
    b->setHighlighted(false);
    EXPECT_EQ(b->currentTitle(), "签到");
    EXPECT_EQ(b->state(), ControlStateNormal);
    b->setEnabled(false);
    EXPECT_EQ(b->state(), ControlStateDisabled);

    // Defaults by type: white titles on custom buttons.
    EXPECT_EQ(Button::buttonWithType(ButtonTypeCustom)->currentTitleColor(), Color::whiteColor());
    EXPECT_EQ(Button::buttonWithType(ButtonTypeSystem)->buttonType(), ButtonTypeSystem);
}

class replyButton : public Button {
public:
    int row = -1;
};

TEST_F(ControlTest, ButtonSubclassesKeepTheirClass) {
    auto a = Button::buttonWithType<replyButton>(ButtonTypeCustom);
    auto b = create<replyButton>(Rect{0, 0, 40, 20});
    EXPECT_TRUE(isMemberOfClass<replyButton>(a));
    EXPECT_TRUE(isKind<Button>(b));
    EXPECT_FALSE(isMemberOfClass<Button>(b));
    EXPECT_TRUE(b->titleLabel());
}

TEST_F(ControlTest, BarButtonItemsSendTheirAction) {
    auto t = std::make_shared<Target>();
    auto item = create<BarButtonItem>("取消", BarButtonItemStyleBordered, t, &Target::plain);
    item->sendAction();
    EXPECT_EQ(t->plainCalls, 1);
    item->setEnabled(false);
    item->sendAction();
    EXPECT_EQ(t->plainCalls, 1);
    auto custom = create<BarButtonItem>(std::static_pointer_cast<View>(create<Button>(Rect{8, 3, 24, 20})));
    EXPECT_TRUE(isKind<Button>(custom->customView()));
}

}  // namespace
