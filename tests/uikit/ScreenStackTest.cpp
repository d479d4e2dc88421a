// A small app driven only through the test driver: a navigation controller
// with a home screen, a pushed detail screen, a modal form in its own
// navigation controller, and an alert whose answer closes the form.
#include <gtest/gtest.h>

#include "UITestSupport.h"

using namespace ui;
using uitest::UITest;

namespace stack {

class Home : public ViewController {
public:
    void viewDidLoad() override {
        setTitle("首页");
        auto open = Button::buttonWithType(ButtonTypeCustom);
        open->setFrame(Rect{20, 100, 120, 40});
        open->setTitle("打开", ControlStateNormal);
        open->addTarget(this, &Home::openDetail, ControlEventTouchUpInside);
        view()->addSubview(open);
    }
    void openDetail();
};

class Form : public ViewController, public AlertViewDelegate {
public:
    void viewDidLoad() override {
        setTitle("群众心声");
        auto send = Button::buttonWithType(ButtonTypeCustom);
        send->setFrame(Rect{85, 550 - 64, 150, 40});
        send->setTitle("提交", ControlStateNormal);
        send->addTarget(this, &Form::subit, ControlEventTouchUpInside);
        view()->addSubview(send);
        auto hint = create<Label>(Rect{20, 120, 280, 30});
        hint->setText("建议内容:");
        view()->addSubview(hint);
    }
    void subit() {
        auto alert = create<AlertView>("温馨提示", "提交成功", sharedAs<AlertViewDelegate>(), "确定");
        alert->setTag(5000);
        alert->show();
    }
    void alertView_clickedButtonAtIndex(const std::shared_ptr<AlertView>& alert, int index) override {
        if (alert->tag() == 5000 && index == 0) {
            dismissViewControllerAnimated(true, [this] { closed = true; });
        }
    }
    bool closed = false;
};

class Detail : public ViewController {
public:
    void viewDidLoad() override {
        setTitle("详情");
        auto body = create<Label>(Rect{10, 80, 300, 20});
        body->setText("正文");
        view()->addSubview(body);
        auto write = Button::buttonWithType(ButtonTypeCustom);
        write->setFrame(Rect{10, 120, 100, 40});
        write->setTitle("写建议", ControlStateNormal);
        write->addTarget(this, &Detail::openForm, ControlEventTouchUpInside);
        view()->addSubview(write);
    }
    void openForm() {
        auto f = create<Form>();
        form = f;
        auto nav = create<NavigationController>(f);
        nav->setModalTransitionStyle(ModalTransitionStyleFlipHorizontal);
        presentViewController(nav, true, [] {});
    }
    std::weak_ptr<Form> form;
};

void Home::openDetail() { navigationController()->pushViewController(create<Detail>(), true); }

}  // namespace stack

namespace {

using ScreenStackTest = UITest;

TEST_F(ScreenStackTest, ANavigationStackWithAModalAndAnAlertDrivenLikeAUser) {
    LifecycleTrace trace;
    auto home = create<stack::Home>();
    auto nav = create<NavigationController>(home);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    EXPECT_EQ(driver->frontViewController(), home);
    ASSERT_TRUE(driver->findViewWithText("打开")) << driver->dump();

    // Push the detail screen with the home screen's button.
    trace.clear();
    ASSERT_TRUE(driver->tapText("打开"));
    auto detail = std::dynamic_pointer_cast<stack::Detail>(driver->frontViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{"stack::Detail viewDidLoad", "stack::Home viewWillDisappear",
                                        "stack::Detail viewWillAppear", "stack::Home viewDidDisappear",
                                        "stack::Detail viewDidAppear"}));
    EXPECT_TRUE(driver->findViewWithText("正文"));
    EXPECT_EQ(driver->findViewWithText("打开"), nullptr);  // the home screen is off screen
    EXPECT_EQ(nav->navigationBar()->titleLabel()->text(), "详情");

    // Present the form modally.
    trace.clear();
    driver->tapText("写建议");
    auto form = detail->form.lock();
    ASSERT_TRUE(form);
    EXPECT_EQ(driver->frontViewController(), form);
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{
                  "stack::Form viewDidLoad", "ui::NavigationController viewDidLoad",
                  "ui::NavigationController viewWillDisappear", "stack::Detail viewWillDisappear",
                  "ui::NavigationController viewWillAppear", "stack::Form viewWillAppear",
                  "ui::NavigationController viewDidDisappear", "stack::Detail viewDidDisappear",
                  "ui::NavigationController viewDidAppear", "stack::Form viewDidAppear"}));
    EXPECT_EQ(driver->findViewWithText("正文"), nullptr);
    EXPECT_TRUE(driver->findViewWithText("建议内容:"));

    // Submit: an alert comes up over everything and blocks touches.
    driver->tapText("提交");
    auto alert = driver->lastAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "提交成功");
    EXPECT_EQ(alert->tag(), 5000);
    EXPECT_EQ(driver->tapText("建议内容:"), nullptr);
    EXPECT_NE(driver->dump().find("alert 温馨提示 / 提交成功 [0:确定]"), std::string::npos);

    // Its answer closes the form; the detail screen comes back.
    trace.clear();
    ASSERT_TRUE(driver->pressAlertButton("确定"));
    EXPECT_EQ(driver->frontViewController(), detail);
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{
                  "ui::NavigationController viewWillDisappear", "stack::Form viewWillDisappear",
                  "ui::NavigationController viewWillAppear", "stack::Detail viewWillAppear",
                  "ui::NavigationController viewDidAppear", "stack::Detail viewDidAppear",
                  "ui::NavigationController viewDidDisappear", "stack::Form viewDidDisappear"}));
    EXPECT_TRUE(driver->findViewWithText("正文"));
    EXPECT_FALSE(form->closed);
    driver->advance(ViewController::kTransitionDuration);
    EXPECT_TRUE(form->closed);
    std::weak_ptr<stack::Form> weakForm = form;
    form.reset();
    EXPECT_TRUE(weakForm.expired());  // the dismissed form is released

    // Back to the home screen with the bar's back button.
    driver->tap(nav->navigationBar()->backButton());
    EXPECT_EQ(driver->frontViewController(), home);
    EXPECT_TRUE(driver->findViewWithText("打开"));
}

}  // namespace
