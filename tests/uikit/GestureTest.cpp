#include <gtest/gtest.h>

#include "UITestSupport.h"

using namespace ui;
using uitest::UITest;

namespace {

class Handler : public Object {
public:
    void tapped(std::shared_ptr<TapGestureRecognizer> r) { tags.push_back(r->view()->tag()); }
    void panned(std::shared_ptr<PanGestureRecognizer> r) {
        states.push_back(r->state());
        lastTranslation = r->translationInView(r->view().get());
    }
    std::vector<int> tags;
    std::vector<GestureRecognizerState> states;
    Point lastTranslation;
};

struct TouchCounter : View {
    int ended = 0, cancelled = 0;
    void touchesEnded(const TouchSet&, Event*) override { ended++; }
    void touchesCancelled(const TouchSet&, Event*) override { cancelled++; }
};

class GestureTest : public UITest {
protected:
    void SetUp() override {
        UITest::SetUp();
        window->makeKeyAndVisible();
    }
    // A new view of that frame on the window.
    template <typename V = View>
    std::shared_ptr<V> add(Rect frame) {
        auto v = create<V>(frame);
        window->addSubview(v);
        return v;
    }
    std::shared_ptr<Handler> h = std::make_shared<Handler>();
};

TEST_F(GestureTest, ATapRecogniserReportsItsViewAndCancelsTheTouch) {
    auto cover = add<TouchCounter>(Rect{0, 0, 320, 200});
    cover->setTag(2003);
    auto tap = create<TapGestureRecognizer>(h, &Handler::tapped);
    cover->addGestureRecognizer(tap);
    EXPECT_EQ(tap->view(), cover);
    EXPECT_EQ(cover->gestureRecognizers().size(), 1u);

    driver->tap(cover);
    EXPECT_EQ(h->tags, (std::vector<int>{2003}));
    EXPECT_EQ(cover->cancelled, 1);
    EXPECT_EQ(cover->ended, 0);

    // Moving too far is no tap.
    driver->dragFrom(Point{100, 100}, Point{0, 40});
    EXPECT_EQ(h->tags.size(), 1u);
    EXPECT_EQ(cover->ended, 1);

    tap->setCancelsTouchesInView(false);
    driver->tap(cover);
    EXPECT_EQ(h->tags.size(), 2u);
    EXPECT_EQ(cover->ended, 2);

    tap->setEnabled(false);
    driver->tap(cover);
    EXPECT_EQ(h->tags.size(), 2u);
}

TEST_F(GestureTest, ATapOnAButtonInsideGoesToTheButton) {
    auto row = add(Rect{0, 0, 320, 100});
    row->addGestureRecognizer(create<TapGestureRecognizer>(h, &Handler::tapped));
    auto button = create<Button>(Rect{10, 10, 50, 30});
    row->addSubview(button);
    struct T : Object {
        int n = 0;
        void hit() { n++; }
    };
    auto t = std::make_shared<T>();
    button->addTarget(t, &T::hit, ControlEventTouchUpInside);
    driver->tap(button);
    EXPECT_EQ(t->n, 1);
    EXPECT_TRUE(h->tags.empty());
    driver->tapAt(Point{200, 50});
    EXPECT_EQ(h->tags.size(), 1u);
}

TEST_F(GestureTest, APanBeginsChangesAndEndsWithItsTranslation) {
    auto bar = add<TouchCounter>(Rect{0, 0, 320, 64});
    auto pan = create<PanGestureRecognizer>(h, &Handler::panned);
    bar->addGestureRecognizer(pan);

    driver->dragFrom(Point{50, 30}, Point{120, 0}, 4);
    ASSERT_GE(h->states.size(), 3u);
    EXPECT_EQ(h->states.front(), GestureRecognizerStateBegan);
    EXPECT_EQ(h->states[1], GestureRecognizerStateChanged);
    EXPECT_EQ(h->states.back(), GestureRecognizerStateEnded);
    EXPECT_EQ(h->lastTranslation, (Point{120, 0}));
    EXPECT_EQ(bar->cancelled, 1);
    EXPECT_EQ(pan->state(), GestureRecognizerStatePossible);  // reset after the touch

    // A move within the hysteresis is no pan.
    h->states.clear();
    driver->dragFrom(Point{50, 30}, Point{5, 0}, 2);
    EXPECT_TRUE(h->states.empty());
    EXPECT_EQ(bar->ended, 1);

    // Firing the recogniser directly.
    driver->fire(pan, Point{-80, 0});
    EXPECT_EQ(h->states, (std::vector<GestureRecognizerState>{GestureRecognizerStateBegan,
                                                              GestureRecognizerStateChanged,
                                                              GestureRecognizerStateEnded}));
    EXPECT_EQ(h->lastTranslation, (Point{-80, 0}));
    EXPECT_TRUE(driver->fireGesture<PanGestureRecognizer>(bar));
    EXPECT_FALSE(driver->fireGesture<TapGestureRecognizer>(bar));
}

TEST_F(GestureTest, ARecogniserWhoseTargetHasGoneDoesNothing) {
    auto v = add(Rect{0, 0, 100, 100});
    auto tap = create<TapGestureRecognizer>(h, &Handler::tapped);
    v->addGestureRecognizer(tap);
    h.reset();
    driver->tap(v);  // nothing to call, nothing breaks
    v->removeGestureRecognizer(tap);
    EXPECT_EQ(tap->view(), nullptr);
    EXPECT_TRUE(v->gestureRecognizers().empty());
}

class Refuser : public Object, public GestureRecognizerDelegate {
public:
    bool gestureRecognizerShouldBegin(const std::shared_ptr<GestureRecognizer>&) override { return false; }
};

TEST_F(GestureTest, ADelegateCanStopAGesture) {
    auto v = add(Rect{0, 0, 100, 100});
    auto tap = create<TapGestureRecognizer>(h, &Handler::tapped);
    auto refuser = std::make_shared<Refuser>();
    tap->setDelegate(refuser);
    v->addGestureRecognizer(tap);
    driver->tap(v);
    EXPECT_TRUE(h->tags.empty());
}

}  // namespace
