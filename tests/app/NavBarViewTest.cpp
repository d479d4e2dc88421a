#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/widgets/NavBarView.h"

namespace {

using NavBarViewTest = widgettest::WidgetTest;

class Listener : public ui::Object, public NavBarViewDelegate {
public:
    void back() override { backs++; }
    int backs = 0;
};

class Silent : public ui::Object, public NavBarViewDelegate {};

TEST_F(NavBarViewTest, BackGoesOnlyToALiveDelegateThatHandlesIt) {
    auto screen = ui::create<ui::ViewController>();
    showRoot(screen);
    auto bar = ui::create<NavBarView>(ui::Rect{0, 0, 320, 64});
    screen->view()->addSubview(bar);
    EXPECT_EQ(bar->leftButton->frame(), (ui::Rect{10, 20, 40, 40}));
    EXPECT_EQ(bar->titleLabel->frame(), (ui::Rect{0, 20, 320, 44}));
    EXPECT_EQ(bar->titleLabel->font(), ui::Font::boldSystemFontOfSize(17));

    // No delegate, or one that leaves back alone: the tap does nothing.
    EXPECT_EQ(driver->tap(bar->leftButton), bar->leftButton);
    auto silent = std::make_shared<Silent>();
    bar->setDelegate(silent);
    driver->tap(bar->leftButton);

    auto listener = std::make_shared<Listener>();
    bar->setDelegate(listener);
    driver->tap(bar->leftButton);
    driver->tap(bar->titleLabel);
    EXPECT_EQ(listener->backs, 1);

    listener.reset();
    driver->tap(bar->leftButton);
    EXPECT_FALSE(bar->delegate());
}

}  // namespace
