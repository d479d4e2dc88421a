#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "UITestSupport.h"

using namespace ui;
using uitest::UITest;

namespace {

class ViewTest : public UITest {
protected:
    // A new view of that frame as the parent's last subview.
    static ViewPtr addTo(const ViewPtr& parent, Rect frame) {
        auto v = create<View>(frame);
        parent->addSubview(v);
        return v;
    }
};

std::vector<View*> raw(const std::vector<ViewPtr>& v) {
    std::vector<View*> out;
    for (auto& p : v) out.push_back(p.get());
    return out;
}

TEST_F(ViewTest, SubviewsKeepOrderAndReAddingBringsToFront) {
    auto parent = create<View>(Rect{0, 0, 100, 100});
    auto a = create<View>(), b = create<View>(), c = create<View>();
    parent->addSubview(a);
    parent->addSubview(b);
    parent->addSubview(c);
    EXPECT_EQ(raw(parent->subviews()), (std::vector<View*>{a.get(), b.get(), c.get()}));
    parent->addSubview(a);
    EXPECT_EQ(raw(parent->subviews()), (std::vector<View*>{b.get(), c.get(), a.get()}));
    EXPECT_EQ(a->superview(), parent);

    // Moving to another parent leaves the first.
    auto other = create<View>();
    other->addSubview(b);
    EXPECT_EQ(raw(parent->subviews()), (std::vector<View*>{c.get(), a.get()}));
    EXPECT_EQ(b->superview(), other);

    // Removing by class while walking the (copied) list is safe.
    auto label = create<Label>();
    parent->addSubview(label);
    for (auto& v : parent->subviews()) {
        if (isKind<Label>(v)) v->removeFromSuperview();
    }
    EXPECT_EQ(parent->subviewCount(), 2u);
    EXPECT_EQ(label->superview(), nullptr);

    // A view cannot become its own ancestor's subview.
    a->addSubview(parent);
    EXPECT_EQ(parent->superview(), nullptr);
}

// Every way of placing and removing subviews, at random, against a plain
// list: runs of removals leave holes in the subviews' places, runs of
// placements fill them, close them up and insert among them.
TEST_F(ViewTest, PlacingAndRemovingKeepTheOrderOfAPlainList) {
    auto parent = create<View>(Rect{0, 0, 100, 100});
    parent->setTag(-1);
    auto other = create<View>();
    std::vector<ViewPtr> pool;
    for (int i = 0; i < 100; ++i) {
        pool.push_back(create<View>(Rect{0, 0, 100, 100}));
        pool.back()->setTag(i);
    }
    std::vector<View*> model;
    auto pos = [&](View* v) { return static_cast<std::size_t>(std::find(model.begin(), model.end(), v) - model.begin()); };
    auto put = [&](View* v, std::size_t i) {
        if (pos(v) < model.size()) model.erase(model.begin() + static_cast<std::ptrdiff_t>(pos(v)));
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(std::min(i, model.size())), v);
    };
    std::mt19937 random(45);
    for (int step = 0; step < 6000; ++step) {
        const ViewPtr& v = pool[random() % pool.size()];
        const ViewPtr& s = pool[random() % pool.size()];
        const bool removing = (step / 300) % 2 == 1;  // phases of mostly removals, then mostly placements
        const unsigned op = random() % 10;
        const bool held = pos(v.get()) < model.size(), siblingHeld = pos(s.get()) < model.size();
        if (removing ? op < 7 : op < 1) {
            v->removeFromSuperview();
            if (held) model.erase(model.begin() + static_cast<std::ptrdiff_t>(pos(v.get())));
        } else if (op < 2) {
            other->addSubview(v);
            if (held) model.erase(model.begin() + static_cast<std::ptrdiff_t>(pos(v.get())));
        } else if (op < 3) {
            parent->addSubview(v);
            put(v.get(), model.size());
        } else if (op < 4) {
            const std::size_t i = random() % (model.size() + 2);
            parent->insertSubview(v, i);
            put(v.get(), i);
        } else if (op < 6) {
            const bool above = op == 4;
            if (above) parent->insertSubview_aboveSubview(v, s);
            else parent->insertSubview_belowSubview(v, s);
            std::size_t i = !siblingHeld ? (above ? model.size() : 0) : pos(s.get()) + (above ? 1 : 0);
            if (siblingHeld && held && pos(v.get()) < pos(s.get())) i--;
            put(v.get(), i);
        } else if (held) {
            const bool front = op < 8;
            if (front) parent->bringSubviewToFront(v);
            else parent->sendSubviewToBack(v);
            put(v.get(), front ? model.size() : 0);
        }
        ASSERT_EQ(raw(parent->subviews()), model) << "step " << step;
        ASSERT_EQ(parent->subviewCount(), model.size());
        ASSERT_EQ(parent->hitTest(Point{50, 50}, nullptr).get(), model.empty() ? parent.get() : model.back());
        ASSERT_EQ(parent->viewWithTag(v->tag()).get(), pos(v.get()) < model.size() ? v.get() : nullptr);
    }
}

// Rows removed one by one (from the front, from the back, every other one)
// or brought to the front one by one: each step takes constant time, so
// 100,000 rows take well under a second, not the minutes of a search or a
// move of the rows after it per step (ctest's timeout catches those).
TEST_F(ViewTest, RowsRemovedOrReorderedOneByOneKeepTheirOrder) {
    constexpr int kRows = 100000;
    enum Way { FromTheFront, FromTheBack, EveryOther, ToTheFront };
    for (Way way : {FromTheFront, FromTheBack, EveryOther, ToTheFront}) {
        auto list = create<View>();
        std::vector<ViewPtr> rows;
        for (int i = 0; i < kRows; ++i) {
            rows.push_back(create<View>());
            list->addSubview(rows.back());
        }
        std::vector<View*> left;
        for (int i = 0; i < kRows; ++i) {
            switch (way) {
                case FromTheFront: rows[static_cast<std::size_t>(i)]->removeFromSuperview(); break;
                case FromTheBack: rows[static_cast<std::size_t>(kRows - 1 - i)]->removeFromSuperview(); break;
                case EveryOther:
                    if (i % 2 == 0) rows[static_cast<std::size_t>(i)]->removeFromSuperview();
                    else left.push_back(rows[static_cast<std::size_t>(i)].get());
                    break;
                case ToTheFront:
                    list->bringSubviewToFront(rows[static_cast<std::size_t>(i)]);
                    left.push_back(rows[static_cast<std::size_t>(i)].get());
                    break;
            }
        }
        EXPECT_EQ(raw(list->subviews()), left) << way;
        EXPECT_EQ(list->subviewCount(), left.size()) << way;
    }
}

TEST_F(ViewTest, SuperviewIsNotOwned) {
    auto child = create<View>();
    {
        auto parent = create<View>();
        parent->addSubview(child);
        EXPECT_TRUE(child->superview());
    }
    EXPECT_EQ(child->superview(), nullptr);
}

TEST_F(ViewTest, FrameBoundsAndCenter) {
    auto v = create<View>(Rect{10, 20, 100, 50});
    EXPECT_EQ(v->bounds(), (Rect{0, 0, 100, 50}));
    EXPECT_EQ(v->center(), (Point{60, 45}));
    v->setCenter(Point{160, 100});
    EXPECT_EQ(v->frame(), (Rect{110, 75, 100, 50}));
    v->setBounds(Rect{0, 0, 20, 10});  // keeps the center
    EXPECT_EQ(v->frame(), (Rect{150, 95, 20, 10}));
    EXPECT_DOUBLE_EQ(maxY(v->frame()), 105);
    EXPECT_DOUBLE_EQ(maxX(v->frame()), 170);
}

TEST_F(ViewTest, ViewWithTagSearchesDepthFirst) {
    auto root = create<View>();
    auto a = create<View>(), b = create<View>(), deep = create<View>();
    a->setTag(2000);
    deep->setTag(2001);
    b->setTag(2001);
    root->addSubview(a);
    a->addSubview(deep);
    root->addSubview(b);
    EXPECT_EQ(root->viewWithTag(2000), a);
    EXPECT_EQ(root->viewWithTag(2001), deep);
    EXPECT_EQ(root->viewWithTag(7), nullptr);
}

TEST_F(ViewTest, HitTestingPassesOverHiddenTransparentAndNonInteractiveViews) {
    auto root = create<View>(Rect{0, 0, 320, 568});
    auto back = addTo(root, Rect{0, 0, 200, 200});
    auto front = addTo(root, Rect{0, 0, 100, 100});
    EXPECT_EQ(root->hitTest(Point{50, 50}, nullptr), front);
    EXPECT_EQ(root->hitTest(Point{150, 150}, nullptr), back);
    EXPECT_EQ(root->hitTest(Point{300, 300}, nullptr), root);

    front->setHidden(true);
    EXPECT_EQ(root->hitTest(Point{50, 50}, nullptr), back);
    front->setHidden(false);
    front->setAlpha(0);
    EXPECT_EQ(root->hitTest(Point{50, 50}, nullptr), back);
    front->setAlpha(0.6);  // a dimmer still takes touches
    EXPECT_EQ(root->hitTest(Point{50, 50}, nullptr), front);
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest(Point{50, 50}, nullptr), back);

    // Subviews of a view without interaction are passed over with it.
    auto button = create<Button>(Rect{10, 10, 20, 20});
    front->addSubview(button);
    EXPECT_EQ(root->hitTest(Point{15, 15}, nullptr), back);

    // Labels and image views take no touches unless switched on.
    auto label = create<Label>(Rect{0, 0, 50, 50});
    back->addSubview(label);
    EXPECT_EQ(root->hitTest(Point{150, 150}, nullptr), back);
    EXPECT_EQ(root->hitTest(Point{25, 25}, nullptr), back);
    label->setUserInteractionEnabled(true);
    EXPECT_EQ(root->hitTest(Point{25, 25}, nullptr), label);

    // The part of a view sticking out of its superview takes no touches.
    auto box = addTo(root, Rect{0, 300, 100, 100});
    auto overflow = addTo(box, Rect{50, 50, 100, 100});
    EXPECT_EQ(root->hitTest(Point{75, 375}, nullptr), overflow);
    EXPECT_EQ(root->hitTest(Point{120, 420}, nullptr), root);
}

TEST_F(ViewTest, CoordinatesFollowFramesAndBoundsOrigins) {
    auto root = create<View>(Rect{0, 0, 320, 568});
    auto scroller = addTo(root, Rect{0, 64, 320, 504});
    auto row = addTo(scroller, Rect{0, 300, 320, 70});
    EXPECT_EQ(row->convertPoint_toView(Point{5, 5}, root.get()), (Point{5, 369}));
    scroller->setBounds(Rect{0, 200, 320, 504});  // scrolled down by 200
    EXPECT_EQ(row->convertPoint_toView(Point{5, 5}, root.get()), (Point{5, 169}));
    EXPECT_EQ(row->convertPoint_fromView(Point{5, 169}, root.get()), (Point{5, 5}));
    EXPECT_EQ(root->hitTest(Point{5, 169}, nullptr), row);
}

TEST_F(ViewTest, ResponderChainRunsThroughViewControllers) {
    auto vc = create<ViewController>();
    window->setRootViewController(vc);
    auto inner = create<View>(Rect{0, 0, 10, 10});
    auto deeper = create<Label>();
    vc->view()->addSubview(inner);
    inner->addSubview(deeper);
    EXPECT_EQ(deeper->nextResponder(), inner);
    EXPECT_EQ(inner->nextResponder(), vc->view());
    EXPECT_EQ(vc->view()->nextResponder(), vc);  // a root view's next responder is its controller
    EXPECT_EQ(vc->nextResponder(), window);
    EXPECT_EQ(window->nextResponder().get(), &Application::sharedApplication());
    EXPECT_EQ(deeper->findViewController(), vc);

    // A screen's view placed inside another screen finds its own controller first.
    auto overlay = create<ViewController>();
    inner->addSubview(overlay->view());
    auto field = create<View>();
    overlay->view()->addSubview(field);
    EXPECT_EQ(field->findViewController(), overlay);
}

class FocusView : public View, public KeyInput {
public:
    bool canBecomeFirstResponder() const override { return true; }
    bool canResignFirstResponder() const override { return resignable; }
    bool hasText() const override { return !text.empty(); }
    void insertText(const std::string& t) override { text += t; }
    void deleteBackward() override {
        if (!text.empty()) text.pop_back();
    }
    bool resignable = true;
    std::string text;
};

TEST_F(ViewTest, EndEditingResignsTheFirstResponderInside) {
    auto vc = create<ViewController>();
    window->setRootViewController(vc);
    window->makeKeyAndVisible();
    auto field = create<FocusView>(Rect{0, 0, 100, 30});
    auto elsewhere = create<View>();
    vc->view()->addSubview(field);
    vc->view()->addSubview(elsewhere);

    auto detached = create<FocusView>();
    EXPECT_FALSE(detached->becomeFirstResponder());  // not in a window

    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(elsewhere->endEditing(true));  // not inside: nothing happens
    EXPECT_TRUE(field->isFirstResponder());

    field->resignable = false;
    EXPECT_FALSE(vc->view()->endEditing(false));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(vc->view()->endEditing(true));
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(Responder::firstResponder(), nullptr);

    // Taking the field off screen resigns it.
    field->resignable = true;
    ASSERT_TRUE(field->becomeFirstResponder());
    field->removeFromSuperview();
    EXPECT_EQ(Responder::firstResponder(), nullptr);
}

TEST_F(ViewTest, AnimationsApplyAtOnceAndCompleteAfterTheDuration) {
    auto v = create<View>(Rect{0, 0, 320, 100});
    v->setAlpha(0);
    int completions = 0;
    View::animateWithDuration(
        0.2, [&] { v->setAlpha(1); v->setFrame(Rect{0, 64, 320, 100}); },
        [&](bool finished) {
            EXPECT_TRUE(finished);
            completions++;
        });
    EXPECT_DOUBLE_EQ(v->alpha(), 1);
    EXPECT_EQ(v->frame(), (Rect{0, 64, 320, 100}));
    driver->advance(0.19);
    EXPECT_EQ(completions, 0);
    driver->advance(0.01);
    EXPECT_EQ(completions, 1);
    driver->advance(1);
    EXPECT_EQ(completions, 1);

    // Delay adds to the wait; a zero duration completes on the next turn.
    View::animateWithDuration(0.1, 0.25, ViewAnimationOptionNone, [&] { v->setHidden(true); },
                              [&](bool) { completions++; });
    driver->advance(0.3);
    EXPECT_EQ(completions, 1);
    driver->advance(0.05);
    EXPECT_EQ(completions, 2);
    View::animateWithDuration(0, [&] { v->setAlpha(0.5); }, [&](bool) { completions++; });
    EXPECT_EQ(completions, 2);
    driver->runPending();
    EXPECT_EQ(completions, 3);

    // Begin/commit: values at once, nothing pending.
    View::beginAnimations("slide");
    View::setAnimationDuration(0.3);
    v->setFrame(Rect{0, 0, 10, 10});
    View::commitAnimations();
    EXPECT_EQ(v->frame(), (Rect{0, 0, 10, 10}));
}

TEST_F(ViewTest, AnimationCompletionOfAViewThatHasGoneRunsNot) {
    int completions = 0;
    {
        auto v = create<View>();
        View::animateWithDuration(0.25, [&] { v->setAlpha(0); }, [&completions](bool) { completions++; });
    }
    driver->advance(1);
    EXPECT_EQ(completions, 0);

    // One of two views still there: it runs.
    auto kept = create<View>();
    {
        auto gone = create<View>();
        View::animateWithDuration(0.25, [&] { gone->setAlpha(0); kept->setAlpha(0); },
                                  [&completions](bool) { completions++; });
    }
    driver->advance(1);
    EXPECT_EQ(completions, 1);
}

TEST_F(ViewTest, LayoutRunsWhenTheSizeChanges) {
    struct Counting : View {
        int layouts = 0;
        void layoutSubviews() override { layouts++; }
    };
    auto v = create<Counting>(Rect{0, 0, 10, 10});
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame(Rect{5, 5, 10, 10});  // a move does not need layout
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);
    v->setFrame(Rect{5, 5, 20, 10});
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 2);
}

TEST_F(ViewTest, DumpShowsClassFrameTextAndState) {
    auto root = create<View>(Rect{0, 0, 320, 64});
    auto title = create<Label>(Rect{0, 20, 320, 44});
    title->setText("时事新闻");
    auto back = Button::buttonWithType(ButtonTypeCustom);
    back->setFrame(Rect{10, 20, 40, 40});
    back->setHidden(true);
    back->setTag(3);
    root->addSubview(title);
    root->addSubview(back);
    std::string text = dumpViewTree(*root);
    EXPECT_NE(text.find("ui::View (0, 0, 320, 64)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  ui::Label (0, 20, 320, 44) \"时事新闻\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  ui::Button (10, 20, 40, 40) hidden tag=3\n"), std::string::npos) << text;
}

}  // namespace
