#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/NavBarView.h"
#include "app/Treeview.h"

namespace {

using NavBarViewTest = widgettest::WidgetTest;

class Listener : public ui::Object, public NavBarViewDelegate {
public:
    void back() override { backs++; }
    int backs = 0;
};

// A delegate that leaves the optional call alone.
class Silent : public ui::Object, public NavBarViewDelegate {};

TEST_F(NavBarViewTest, BarLaysOutItsButtonsAndTitle) {
    auto bar = ui::create<NavBarView>(ui::Rect{0, 0, 320, 64});
    EXPECT_EQ(bar->image()->name(), "navbar.png");
    EXPECT_TRUE(bar->isUserInteractionEnabled());
    EXPECT_EQ(bar->leftButton->frame(), (ui::Rect{10, 20, 40, 40}));
    auto arrow = std::dynamic_pointer_cast<ui::ImageView>(bar->leftButton->subviews().back());
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->frame(), (ui::Rect{5, 10, 22, 22}));
    EXPECT_EQ(arrow->image()->name(), "ico_back.png");
    EXPECT_EQ(bar->titleLabel->frame(), (ui::Rect{0, 20, 320, 44}));
    EXPECT_EQ(bar->titleLabel->font(), ui::Font::boldSystemFontOfSize(17));
    EXPECT_EQ(bar->titleLabel->textColor(), ui::Color::whiteColor());
    EXPECT_EQ(bar->titleLabel->textAlignment(), ui::TextAlignmentCenter);
    ASSERT_TRUE(bar->rightButton);
}

TEST_F(NavBarViewTest, BackGoesOnlyToALiveDelegateThatHandlesIt) {
    auto screen = ui::create<ui::ViewController>();
    showRoot(screen);
    auto bar = ui::create<NavBarView>(ui::Rect{0, 0, 320, 64});
    screen->view()->addSubview(bar);

    // No delegate, or one that does not handle back: a tap does nothing.
    EXPECT_EQ(driver->tap(bar->leftButton), bar->leftButton);
    auto silent = std::make_shared<Silent>();
    bar->setDelegate(silent);
    driver->tap(bar->leftButton);

    auto listener = std::make_shared<Listener>();
    bar->setDelegate(listener);
    driver->tap(bar->leftButton);
    EXPECT_EQ(listener->backs, 1);

    // A tap on the title does not count as back.
    driver->tap(bar->titleLabel);
    EXPECT_EQ(listener->backs, 1);

    // A delegate that has gone hears nothing and nothing breaks.
    listener.reset();
    driver->tap(bar->leftButton);
    EXPECT_FALSE(bar->delegate());
}

TEST_F(NavBarViewTest, TreeRowPlacesArrowTickAndName) {
    auto row = ui::create<Treeview>(ui::Rect{0, 0, 300, 30});
    EXPECT_EQ(row->signimagev->frame(), (ui::Rect{5, 5, 20, 20}));
    EXPECT_TRUE(row->signimagev->isUserInteractionEnabled());
    EXPECT_EQ(row->signimagev->image()->name(), "you.png");
    EXPECT_EQ(row->selectimagev->frame(), (ui::Rect{33, 5, 20, 20}));
    EXPECT_EQ(row->selectimagev->image()->name(), "no_shangji.png");
    EXPECT_EQ(row->nameLabel->font(), ui::Font::systemFontOfSize(12));
    EXPECT_EQ(row->nameLabel->backgroundColor(), ui::Color::clearColor());
    EXPECT_GE(row->nameLabel->frame().origin.x, 53);
}

}  // namespace
