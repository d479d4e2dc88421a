#include <gtest/gtest.h>

#include "UITestSupport.h"

using namespace ui;
using uitest::UITest;

namespace {

using AlertTest = UITest;

class Listener : public Object, public AlertViewDelegate, public ActionSheetDelegate {
public:
    void alertView_clickedButtonAtIndex(const std::shared_ptr<AlertView>& a, int i) override {
        calls.push_back("clicked " + std::to_string(i) + " tag " + std::to_string(a->tag()));
    }
    void alertView_willDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int i) override {
        calls.push_back("will " + std::to_string(i));
    }
    void alertView_didDismissWithButtonIndex(const std::shared_ptr<AlertView>&, int i) override {
        calls.push_back("did " + std::to_string(i));
    }
    void actionSheet_clickedButtonAtIndex(const std::shared_ptr<ActionSheet>& s, int i) override {
        calls.push_back("sheet " + s->buttonTitleAtIndex(i));
    }
    std::vector<std::string> calls;
};

TEST_F(AlertTest, AlertIndicesPutCancelFirst) {
    auto l = std::make_shared<Listener>();
    auto alert = create<AlertView>("温馨提示", "取消后将退出本次登录", l, "继续登录",
                                   std::vector<std::string>{"退出登录"});
    alert->setTag(5000);
    EXPECT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "退出登录");
    alert->show();
    alert.reset();  // the application keeps it while it is up

    ASSERT_TRUE(driver->topPopup());
    EXPECT_EQ(driver->topPopup()->messageText(), "取消后将退出本次登录");
    EXPECT_TRUE(driver->pressAlertButton("退出登录"));
    EXPECT_EQ(l->calls, (std::vector<std::string>{"clicked 1 tag 5000", "will 1", "did 1"}));
    EXPECT_EQ(driver->topPopup(), nullptr);
    EXPECT_FALSE(driver->pressAlertButton(0));

    // Without a cancel button the others count from 0.
    auto plain = create<AlertView>("", "", nullptr, "", std::vector<std::string>{"确定"});
    EXPECT_EQ(plain->cancelButtonIndex(), -1);
    EXPECT_EQ(plain->firstOtherButtonIndex(), 0);
    plain->show();
    EXPECT_FALSE(driver->pressAlertButton(3));
    EXPECT_TRUE(driver->pressAlertButton(0));
    EXPECT_EQ(driver->shownPopups().size(), 2u);
}

TEST_F(AlertTest, AnAlertOutlivesTheScreenThatShowedIt) {
    window->makeKeyAndVisible();
    {
        auto screen = std::make_shared<Listener>();
        create<AlertView>("温馨提示", "网络连接超时", screen, "确定")->show();
    }
    ASSERT_EQ(driver->visiblePopups().size(), 1u);
    EXPECT_EQ(driver->lastAlert()->title(), "温馨提示");
    EXPECT_TRUE(driver->pressAlertButton("确定"));  // its delegate has gone: nothing is called
    EXPECT_TRUE(driver->visiblePopups().empty());
}

TEST_F(AlertTest, AlertsTakeEveryTouchWhileUp) {
    auto b = create<Button>(Rect{0, 100, 320, 50});
    int taps = 0;
    struct T : Object {
        int* n;
        void hit() { (*n)++; }
    };
    auto t = std::make_shared<T>();
    t->n = &taps;
    b->addTarget(t, &T::hit, ControlEventTouchUpInside);
    window->addSubview(b);
    window->makeKeyAndVisible();
    create<AlertView>("温馨提示", "请输入建议标题", nullptr, "确定")->show();
    EXPECT_EQ(driver->tap(b), nullptr);
    EXPECT_EQ(taps, 0);
    EXPECT_NE(driver->dump().find("alert 温馨提示 / 请输入建议标题 [0:确定]"), std::string::npos) << driver->dump();
    driver->pressAlertButton(0);
    driver->tap(b);
    EXPECT_EQ(taps, 1);
}

TEST_F(AlertTest, SheetIndicesPutDestructiveFirstAndCancelLast) {
    auto l = std::make_shared<Listener>();
    auto photo = create<ActionSheet>("", l, "取消", "", std::vector<std::string>{"相机", "相册"});
    EXPECT_EQ(photo->buttonTitleAtIndex(0), "相机");
    EXPECT_EQ(photo->buttonTitleAtIndex(1), "相册");
    EXPECT_EQ(photo->cancelButtonIndex(), 2);
    EXPECT_EQ(photo->destructiveButtonIndex(), -1);

    auto full = create<ActionSheet>("t", l, "取消", "删除", std::vector<std::string>{"a"});
    EXPECT_EQ(full->destructiveButtonIndex(), 0);
    EXPECT_EQ(full->firstOtherButtonIndex(), 1);
    EXPECT_EQ(full->cancelButtonIndex(), 2);

    auto host = create<View>();
    photo->showInView(host);
    EXPECT_EQ(photo->shownInView(), host);
    EXPECT_TRUE(driver->pressAlertButton("相册"));
    EXPECT_EQ(l->calls, (std::vector<std::string>{"sheet 相册"}));
}

}  // namespace
