#include <gtest/gtest.h>

#include "RenderTestSupport.h"

using namespace ui;
using namespace rendertest;
using render::Pixel;

namespace {

using PopupDrawTest = RenderTest;

TEST_F(PopupDrawTest, AlertDimsTheScreenAndShowsItsTextAndButtons) {
    auto alert = create<AlertView>("温馨提示", "请输入建议标题", nullptr, "取消", std::vector<std::string>{"确定"});
    alert->show();
    auto c = shot("alert");
    render::PopupLayout l = render::layoutPopup(*alert, Size{320, 568});
    // Centred box over a dimmed screen.
    EXPECT_NEAR(l.panel.midX(), 160, 0.5);
    EXPECT_NEAR(l.panel.midY(), 284, 1);
    Pixel dim = at(*c, 10, 300);
    EXPECT_NEAR(dim.r, 153, 2);
    EXPECT_GT(inkCount(*c, l.title, at(*c, l.title.minX() + 1, l.title.minY() + 1)), 50);
    EXPECT_GT(inkCount(*c, l.message, at(*c, l.message.minX() + 1, l.message.minY() + 1)), 50);
    // Two buttons side by side, the cancel button on the left, each with its title.
    ASSERT_EQ(l.buttons.size(), 2u);
    EXPECT_LT(l.buttons[0].midX(), l.buttons[1].midX());
    EXPECT_EQ(l.buttons[0].minY(), l.buttons[1].minY());
    for (const auto& r : l.buttons) EXPECT_GT(inkCount(*c, r.insetBy(2, 2), at(*c, r.minX() + 3, r.minY() + 3)), 30);
    EXPECT_EQ(render::popupButtonAt(*alert, Point{l.buttons[1].midX(), l.buttons[1].midY()}), 1);
    EXPECT_EQ(render::popupButtonAt(*alert, Point{l.buttons[0].midX(), l.buttons[0].midY()}), 0);
    EXPECT_EQ(render::popupButtonAt(*alert, Point{l.panel.midX(), l.panel.minY() + 5}), -1);

    // Pressed, a button's row darkens; closed, the alert is gone from the screen.
    render::setPressedPopupButton(alert.get(), 1);
    Pixel pressed = at(*shot(), l.buttons[1].minX() + 3, l.buttons[1].minY() + 3);
    render::setPressedPopupButton(nullptr, -1);
    EXPECT_LT(pressed.r, at(*c, l.buttons[1].minX() + 3, l.buttons[1].minY() + 3).r);
    alert->pressButtonAtIndex(0);
    EXPECT_EQ(at(*shot(), 10, 300), kWhite);
}

TEST_F(PopupDrawTest, AlertWithManyButtonsStacksThemCancelLast) {
    auto alert = create<AlertView>("", "选择", nullptr, "取消", std::vector<std::string>{"一", "二", "三"});
    alert->show();
    render::PopupLayout l = render::layoutPopup(*alert, Size{320, 568});
    ASSERT_EQ(l.buttons.size(), 4u);
    EXPECT_TRUE(l.title.isEmpty());
    EXPECT_LT(l.buttons[1].minY(), l.buttons[2].minY());
    EXPECT_LT(l.buttons[3].minY(), l.buttons[0].minY());
    EXPECT_EQ(l.buttons[0].maxY(), l.panel.maxY());
    shot("alert-stacked");
}

TEST_F(PopupDrawTest, SheetSitsAtTheBottomWithCancelApart) {
    auto sheet = create<ActionSheet>("选择照片", nullptr, "取消", "删除", std::vector<std::string>{"相机", "相册"});
    sheet->showInView(window);
    auto c = shot("sheet");
    render::PopupLayout l = render::layoutPopup(*sheet, Size{320, 568});
    ASSERT_EQ(l.buttons.size(), 4u);  // 删除, 相机, 相册, 取消
    EXPECT_EQ(l.buttons[3], l.cancelPanel);
    EXPECT_NEAR(l.cancelPanel.maxY(), 560, 0.5);
    EXPECT_LT(l.panel.maxY(), l.cancelPanel.minY());
    EXPECT_LT(l.buttons[0].minY(), l.buttons[1].minY());
    EXPECT_FALSE(l.title.isEmpty());
    // The destructive button's title is red.
    const Rect& d = l.buttons[0];
    bool red = false;
    for (double y = d.minY(); y < d.maxY() && !red; y += 0.5) {
        for (double x = d.minX(); x < d.maxX() && !red; x += 0.5) {
            Pixel p = at(*c, x, y);
            red = p.r > 200 && p.g < 120 && p.b < 120;
        }
    }
    EXPECT_TRUE(red);
    EXPECT_EQ(render::popupButtonAt(*sheet, Point{160, l.cancelPanel.midY()}), 3);
}

}  // namespace
