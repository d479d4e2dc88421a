#include <gtest/gtest.h>

#include "UITestSupport.h"
#include "foundation/Notification.h"

using namespace ui;
using uitest::UITest;

namespace {

using ApplicationTest = UITest;

class AppDelegate : public ApplicationDelegate {
public:
    bool application_didFinishLaunchingWithOptions(Application&, const ns::Value&) override {
        calls.push_back("launch");
        return true;
    }
    void applicationWillResignActive(Application&) override { calls.push_back("resign"); }
    void applicationDidEnterBackground(Application&) override { calls.push_back("background"); }
    void applicationWillEnterForeground(Application&) override { calls.push_back("foreground"); }
    void applicationDidBecomeActive(Application&) override { calls.push_back("active"); }
    void applicationWillTerminate(Application&) override { calls.push_back("terminate"); }
    std::vector<std::string> calls;
};

TEST_F(ApplicationTest, LifecycleCallsTheDelegateThenPostsTheNotification) {
    auto& app = Application::sharedApplication();
    auto d = std::make_shared<AppDelegate>();
    app.setDelegate(d);
    auto observer = std::make_shared<int>(0);
    auto& nc = ns::NotificationCenter::defaultCenter();
    for (const char* name : {ns::UIApplicationWillResignActiveNotification,
                             ns::UIApplicationDidEnterBackgroundNotification,
                             ns::UIApplicationWillEnterForegroundNotification,
                             ns::UIApplicationDidBecomeActiveNotification,
                             ns::UIApplicationWillTerminateNotification}) {
        std::string n = name;
        nc.addObserver(observer, name, [d, n](const ns::Notification& note) {
            d->calls.push_back("note " + n.substr(13));  // without "UIApplication"
            EXPECT_EQ(note.objectAs<Application>(), &Application::sharedApplication());
        });
    }
    EXPECT_TRUE(app.finishLaunching());
    EXPECT_EQ(app.applicationState(), ApplicationStateActive);
    app.enterBackground();
    EXPECT_EQ(app.applicationState(), ApplicationStateBackground);
    app.enterBackground();  // already there: nothing
    app.enterForeground();
    app.terminate();
    EXPECT_EQ(d->calls, (std::vector<std::string>{
                            "launch", "active", "note DidBecomeActiveNotification", "resign",
                            "note WillResignActiveNotification", "background", "note DidEnterBackgroundNotification",
                            "foreground", "note WillEnterForegroundNotification", "active",
                            "note DidBecomeActiveNotification", "terminate", "note WillTerminateNotification"}));
}

TEST_F(ApplicationTest, URLsOpenThroughRegisteredSchemesAndAreRecorded) {
    auto& app = Application::sharedApplication();
    std::vector<std::string> received;
    app.registerURLScheme("maiwei", [&](const std::string& url) {
        received.push_back(url);
        return true;
    });
    EXPECT_TRUE(app.canOpenURL("maiwei://app/wx123/"));
    EXPECT_TRUE(app.canOpenURL("MAIWEI://"));
    EXPECT_FALSE(app.canOpenURL("telprompt://12345"));
    EXPECT_FALSE(app.canOpenURL(""));
    EXPECT_FALSE(app.canOpenURL("no scheme"));
    EXPECT_TRUE(app.openURL("maiwei://app/wx123/"));
    EXPECT_FALSE(app.openURL("telprompt://12345"));  // nobody answers, still recorded
    EXPECT_EQ(app.openedURLs(), (std::vector<std::string>{"maiwei://app/wx123/", "telprompt://12345"}));
    EXPECT_EQ(received, (std::vector<std::string>{"maiwei://app/wx123/"}));
    app.unregisterURLScheme("maiwei");
    EXPECT_FALSE(app.canOpenURL("maiwei://"));

    app.setNetworkActivityIndicatorVisible(true);
    EXPECT_TRUE(app.isNetworkActivityIndicatorVisible());
    EXPECT_EQ(app.statusBarFrame(), (Rect{0, 0, 320, 20}));
}

TEST_F(ApplicationTest, TouchesGoToTheFrontmostWindowThatTakesThem) {
    auto& app = Application::sharedApplication();
    auto button = create<Button>(Rect{0, 100, 320, 50});
    window->addSubview(button);
    window->makeKeyAndVisible();
    EXPECT_EQ(driver->tapAt(Point{10, 120}), button);

    // An overlay window of its own, above, that lets touches through…
    auto overlay = create<Window>(Screen::mainScreen().bounds());
    overlay->setWindowLevel(WindowLevelStatusBar);
    overlay->setUserInteractionEnabled(false);
    overlay->makeKeyAndVisible();
    EXPECT_EQ(app.keyWindow(), overlay);
    EXPECT_FALSE(window->isKeyWindow());
    EXPECT_EQ(app.windows().back(), overlay);
    EXPECT_EQ(driver->tapAt(Point{10, 120}), button);
    // …or takes them.
    overlay->setUserInteractionEnabled(true);
    EXPECT_EQ(driver->tapAt(Point{10, 120}), overlay);
    overlay->setHidden(true);
    EXPECT_EQ(app.windows().size(), 1u);
    EXPECT_EQ(driver->tapAt(Point{10, 120}), button);
}

// A window lower on the screen (as the keyboard's is): its touches are in
// its own coordinates, so its buttons fire and moves off them count as outside.
TEST_F(ApplicationTest, TouchesInAWindowBelowTheTopAreInItsOwnCoordinates) {
    struct Counter : Object {
        void inside() { ins++; }
        void outside() { outs++; }
        int ins = 0, outs = 0;
    };
    struct Spot : View {
        std::vector<Point> inView, inWindow;
        void touchesBegan(const TouchSet& t, Event*) override {
            inView.push_back(t.anyObject()->locationInView(this));
            inWindow.push_back(t.anyObject()->locationInView(nullptr));
        }
    };
    auto lower = create<Window>(Rect{0, 350, 320, 218});
    auto spot = create<Spot>(Rect{0, 0, 320, 100});
    lower->addSubview(spot);
    auto button = create<Button>(Rect{200, 150, 100, 40});
    lower->addSubview(button);
    auto counter = std::make_shared<Counter>();
    button->addTarget(counter, &Counter::inside, ControlEventTouchUpInside);
    button->addTarget(counter, &Counter::outside, ControlEventTouchUpOutside);
    lower->makeKeyAndVisible();

    EXPECT_EQ(driver->tapAt(Point{30, 360}), spot);
    ASSERT_EQ(spot->inView.size(), 1u);
    EXPECT_EQ(spot->inView[0], (Point{30, 10}));
    EXPECT_EQ(spot->inWindow[0], (Point{30, 10}));

    EXPECT_EQ(driver->tap(button), button);
    EXPECT_EQ(counter->ins, 1);
    EXPECT_EQ(counter->outs, 0);
    // Down on the button, up well above it (still in the window).
    driver->dragFrom(Point{250, 520}, Point{0, -140});
    EXPECT_EQ(counter->ins, 1);
    EXPECT_EQ(counter->outs, 1);
    // A small move stays on it.
    driver->dragFrom(Point{250, 520}, Point{5, 5});
    EXPECT_EQ(counter->ins, 2);
}

TEST_F(ApplicationTest, ScreenSizeCanBeSet) {
    EXPECT_EQ(Screen::mainScreen().bounds(), (Rect{0, 0, 320, 568}));
    EXPECT_EQ(Screen::mainScreen().applicationFrame(), (Rect{0, 20, 320, 548}));
    EXPECT_EQ(Screen::mainScreen().scale(), 2);
    Screen::mainScreen().setSize(Size{320, 480});
    EXPECT_EQ(create<ViewController>()->view()->frame(), (Rect{0, 0, 320, 480}));
}

TEST_F(ApplicationTest, PageControlTurnsPagesByTaps) {
    auto pc = create<PageControl>(Rect{0, 400, 320, 37});
    pc->setNumberOfPages(7);
    pc->setCurrentPage(9);
    EXPECT_EQ(pc->currentPage(), 6);
    pc->setCurrentPage(-1);
    EXPECT_EQ(pc->currentPage(), 0);
    window->addSubview(pc);
    window->makeKeyAndVisible();
    struct T : Object {
        int changes = 0;
        void changed() { changes++; }
    };
    auto t = std::make_shared<T>();
    pc->addTarget(t, &T::changed, ControlEventValueChanged);
    driver->tapAt(Point{300, 410});
    EXPECT_EQ(pc->currentPage(), 1);
    driver->tapAt(Point{10, 410});
    driver->tapAt(Point{10, 410});  // already the first: no change
    EXPECT_EQ(pc->currentPage(), 0);
    EXPECT_EQ(t->changes, 2);
    EXPECT_EQ(pc->sizeForNumberOfPages(7).width, 7 * 7 + 6 * 9);
}

}  // namespace
