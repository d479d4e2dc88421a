#include <gtest/gtest.h>

#include "UITestSupport.h"
#include "foundation/Log.h"

using namespace ui;
using uitest::TracingScreen;
using uitest::UITest;

namespace {

class ViewControllerTest : public UITest {
protected:
    // A window showing a navigation controller around `root`.
    std::shared_ptr<NavigationController> showNav(const std::shared_ptr<ViewController>& root) {
        auto nav = create<NavigationController>(root);
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        return nav;
    }
};

}  // namespace

namespace vct {
class A : public TracingScreen {};
class B : public TracingScreen {};
class C : public TracingScreen {};
}  // namespace vct

namespace {
using vct::A;
using vct::B;
using vct::C;

class OpenerScreen : public ViewController {
public:
    std::string article_id;
    std::string seenInViewDidLoad;
    void viewDidLoad() override { seenInViewDidLoad = article_id; }
};

TEST_F(ViewControllerTest, ViewLoadsOnFirstUseAfterTheOpenerSetsProperties) {
    auto vc = create<OpenerScreen>();
    EXPECT_FALSE(vc->isViewLoaded());
    vc->article_id = "42";
    auto nav = showNav(create<A>());
    nav->pushViewController(vc, true);
    EXPECT_TRUE(vc->isViewLoaded());
    EXPECT_EQ(vc->seenInViewDidLoad, "42");
    EXPECT_EQ(vc->view()->frame(), Screen::mainScreen().bounds());
    EXPECT_EQ(vc->view()->owningViewController(), vc);
}

TEST_F(ViewControllerTest, ShowingTheWindowMakesTheRootAppear) {
    auto a = create<A>();
    LifecycleTrace trace;
    auto nav = create<NavigationController>(a);
    window->setRootViewController(nav);
    EXPECT_EQ(a->willAppear, 0);  // the window is still hidden
    window->makeKeyAndVisible();
    EXPECT_EQ(trace.events(), (std::vector<std::string>{
                                  "vct::A viewDidLoad", "ui::NavigationController viewDidLoad",
                                  "ui::NavigationController viewWillAppear", "vct::A viewWillAppear",
                                  "ui::NavigationController viewDidAppear", "vct::A viewDidAppear"}));
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(a->navigationController(), nav);
    EXPECT_EQ(a->parentViewController(), nav);
}

TEST_F(ViewControllerTest, PushAndPopSendTheAppearanceCallsInOrder) {
    auto a = create<A>();
    auto nav = showNav(a);
    LifecycleTrace trace;
    auto b = create<B>();
    nav->pushViewController(b, true);
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{"vct::B viewDidLoad", "vct::A viewWillDisappear",
                                        "vct::B viewWillAppear", "vct::A viewDidDisappear",
                                        "vct::B viewDidAppear"}));
    EXPECT_EQ(nav->topViewController(), b);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_EQ(a->view()->superview(), nullptr);
    EXPECT_EQ(b->view()->superview(), nav->view());

    // Pushing a controller already on the stack does nothing.
    nav->pushViewController(b, false);
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    trace.clear();
    std::weak_ptr<B> weakB = b;
    b.reset();
    auto popped = nav->popViewControllerAnimated(true);
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{"vct::B viewWillDisappear", "vct::A viewWillAppear",
                                        "vct::B viewDidDisappear", "vct::A viewDidAppear"}));
    EXPECT_EQ(a->willAppear, 2);
    EXPECT_EQ(popped->parentViewController(), nullptr);
    popped.reset();
    EXPECT_TRUE(weakB.expired());  // popped screens are released

    EXPECT_EQ(nav->popViewControllerAnimated(true), nullptr);  // the root stays
    EXPECT_EQ(a->willDisappear, 1);
}

TEST_F(ViewControllerTest, PopToRootReleasesEveryScreenAbove) {
    auto a = create<A>();
    auto nav = showNav(a);
    nav->pushViewController(create<B>(), false);
    auto c = create<C>();
    nav->pushViewController(c, false);
    LifecycleTrace trace;
    auto popped = nav->popToRootViewControllerAnimated(false);
    EXPECT_EQ(popped.size(), 2u);
    EXPECT_EQ(nav->topViewController(), a);
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{"vct::C viewWillDisappear", "vct::A viewWillAppear",
                                        "vct::C viewDidDisappear", "vct::A viewDidAppear"}));
}

TEST_F(ViewControllerTest, ModalPresentationAndDismissalByThePresentedScreen) {
    auto a = create<A>();
    auto nav = showNav(a);
    auto form = create<B>();
    auto formNav = create<NavigationController>(form);
    formNav->setModalTransitionStyle(ModalTransitionStyleFlipHorizontal);

    LifecycleTrace trace;
    int presented = 0;
    a->presentViewController(formNav, true, [&] { presented++; });
    EXPECT_EQ(nav->presentedViewController(), formNav);  // the root of a's parents presents
    EXPECT_EQ(form->presentingViewController(), nav);
    EXPECT_EQ(a->didDisappear, 1);
    EXPECT_EQ(form->didAppear, 1);
    EXPECT_EQ(nav->view()->window(), nullptr);
    EXPECT_EQ(formNav->view()->window(), window);
    EXPECT_EQ(driver->frontViewController(), form);
    EXPECT_EQ(presented, 0);
    driver->advance(ViewController::kTransitionDuration);
    EXPECT_EQ(presented, 1);

    // A second presentation while one is up is ignored.
    a->presentViewController(create<C>(), false);
    EXPECT_EQ(nav->presentedViewController(), formNav);

    trace.clear();
    int dismissed = 0;
    std::weak_ptr<NavigationController> weakFormNav = formNav;
    formNav.reset();
    form->dismissViewControllerAnimated(true, [&] { dismissed++; });  // the form closes itself
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{"ui::NavigationController viewWillDisappear", "vct::B viewWillDisappear",
                                        "ui::NavigationController viewWillAppear", "vct::A viewWillAppear",
                                        "ui::NavigationController viewDidAppear", "vct::A viewDidAppear",
                                        "ui::NavigationController viewDidDisappear",
                                        "vct::B viewDidDisappear"}));
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_EQ(nav->view()->window(), window);
    EXPECT_EQ(window->subviews().front(), nav->view());
    EXPECT_EQ(dismissed, 0);
    driver->advance(ViewController::kTransitionDuration);
    EXPECT_EQ(dismissed, 1);
    form.reset();
    EXPECT_TRUE(weakFormNav.expired());
}

TEST_F(ViewControllerTest, APresentedFormPresentsAndDismissesAPicker) {
    auto a = create<A>();
    auto nav = showNav(a);
    auto form = create<B>();
    auto formNav = create<NavigationController>(form);
    a->presentViewController(formNav, false);
    auto picker = create<C>();
    picker->setModalTransitionStyle(ModalTransitionStyleCoverVertical);
    form->presentViewController(picker, true);
    EXPECT_EQ(formNav->presentedViewController(), picker);
    EXPECT_EQ(form->presentedViewController(), picker);  // through its parents
    EXPECT_EQ(picker->presentingViewController(), formNav);
    EXPECT_EQ(driver->frontViewController(), picker);
    EXPECT_EQ(form->didDisappear, 1);

    // The form dismisses what it presents: the picker only.
    form->dismissViewControllerAnimated(true);
    EXPECT_EQ(driver->frontViewController(), form);
    EXPECT_EQ(form->willAppear, 2);
    EXPECT_EQ(picker->didDisappear, 1);

    // Presented again and dismissed from the picker itself, then the form closes.
    form->presentViewController(picker, false);
    picker->dismissViewControllerAnimated(false);
    EXPECT_EQ(driver->frontViewController(), form);
    form->dismissViewControllerAnimated(false);
    EXPECT_EQ(driver->frontViewController(), a);
    EXPECT_EQ(a->willAppear, 2);

    // Dismissing the lower one closes everything above it at once.
    a->presentViewController(formNav, false);
    form->presentViewController(picker, false);
    a->dismissViewControllerAnimated(false);
    EXPECT_EQ(driver->frontViewController(), a);
    EXPECT_EQ(window->subviewCount(), 1u);
    EXPECT_EQ(picker->didDisappear, 3);
    EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(ViewControllerTest, PresentingFromAScreenOutsideAWindowIsIgnored) {
    ns::LogCapture log;
    auto a = create<A>();
    a->presentViewController(create<B>(), false);
    EXPECT_EQ(a->presentedViewController(), nullptr);
    EXPECT_TRUE(log.contains("not in the window hierarchy"));
}

// A slide container: front and rear children, the front replaced by a swap.
class Container : public ViewController {
public:
    void setFront(const std::shared_ptr<ViewController>& vc) {
        if (front) {
            front->view()->removeFromSuperview();
            front->removeFromParentViewController();
        }
        front = vc;
        addChildViewController(vc);
        view()->addSubview(vc->view());
        vc->didMoveToParentViewController(this);
    }
    std::shared_ptr<ViewController> front;
};

TEST_F(ViewControllerTest, ContainerSwapsAndNavigationControllerThroughParents) {
    auto container = create<Container>();
    auto home = create<A>();
    auto nav = showNav(home);
    auto frontNav = create<NavigationController>(create<B>());
    container->setFront(frontNav);
    auto rear = create<C>();
    container->addChildViewController(rear);
    container->view()->insertSubview(rear->view(), 0);

    LifecycleTrace trace;
    nav->pushViewController(container, true);
    auto b = std::dynamic_pointer_cast<B>(frontNav->topViewController());
    EXPECT_EQ(b->willAppear, 1);
    EXPECT_EQ(rear->willAppear, 1);
    EXPECT_EQ(b->navigationController(), frontNav);
    EXPECT_EQ(frontNav->parentViewController(), container);
    EXPECT_EQ(rear->navigationController(), nav);  // the rear menu reaches the home screen's

    // Swap: the old front disappears, then the new one appears.
    trace.clear();
    auto newFront = create<NavigationController>(create<C>());
    container->setFront(newFront);
    EXPECT_EQ(trace.events(),
              (std::vector<std::string>{
                  "ui::NavigationController viewWillDisappear", "vct::B viewWillDisappear",
                  "ui::NavigationController viewDidDisappear", "vct::B viewDidDisappear",
                  "vct::C viewDidLoad", "ui::NavigationController viewDidLoad",
                  "ui::NavigationController viewWillAppear", "vct::C viewWillAppear",
                  "ui::NavigationController viewDidAppear", "vct::C viewDidAppear"}));
    EXPECT_EQ(frontNav->parentViewController(), nullptr);

    // Popping the container makes its children disappear with it.
    nav->popViewControllerAnimated(true);
    EXPECT_EQ(rear->didDisappear, 1);
    EXPECT_EQ(std::dynamic_pointer_cast<C>(newFront->topViewController())->didDisappear, 1);
}

TEST_F(ViewControllerTest, TheBarShowsTheTopScreensItems) {
    auto a = create<A>();
    a->setTitle("首页");
    auto nav = showNav(a);
    auto bar = nav->navigationBar();
    EXPECT_EQ(bar->titleLabel()->text(), "首页");
    EXPECT_EQ(bar->frame(), (Rect{0, 20, 320, 44}));

    auto b = create<B>();
    b->setTitle("详情");
    nav->pushViewController(b, true);
    driver->runPending();
    ASSERT_TRUE(bar->backButton());
    EXPECT_EQ(bar->backButton()->currentTitle(), "首页");
    auto back = bar->backButton();
    EXPECT_EQ(driver->tap(back), back);
    EXPECT_EQ(nav->topViewController(), a);

    nav->pushViewController(b, false);
    b->navigationItem()->setHidesBackButton(true);
    EXPECT_EQ(bar->backButton(), nullptr);
    auto custom = create<Button>(Rect{0, 0, 24, 20});
    b->navigationItem()->setRightBarButtonItem(create<BarButtonItem>(std::static_pointer_cast<View>(custom)));
    EXPECT_EQ(bar->rightView(), custom);
    EXPECT_EQ(custom->superview(), bar);

    nav->setNavigationBarHidden(true, false);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(nav->isNavigationBarHidden());
}

}  // namespace
