// The program as a person uses it in its window: the application launched
// against the demo service with the current-affairs module built in, the
// window under SDL's offscreen video driver, and the mouse synthesised
// through SDL's own event queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "app/shell/AppDelegate.h"
#include "app/shell/HeadViewController.h"
#include "app/shell/MervioHooks.h"
#include "app/shell/ModuleRegistry.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/RevealController.h"
#include "app/images/WebImageManager.h"
#include "channels/Module.h"
#include "channels/CommentViewController.h"
#include "channels/SSXWDetailViewController.h"
#include "channels/SSZTFrontViewController.h"
#include "demo/DemoService.h"
#include "foundation/UserDefaults.h"
#include "net/NetworkActivity.h"
#include "service/ServiceConfig.h"
#include "uikit/Keyboard.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"
#include "support/WindowInput.h"
#include "window/Host.h"

namespace {

using ui::Point;

class ProgramWindowTest : public testing::Test, protected testsupport::WindowInput {
protected:
    void SetUp() override {
        useTestVideoDriver();
        ui::Application::resetForTesting();
        ProgressHUD::resetForTesting();
        moduleRegistry().clear();
        mervioHooks() = MervioHooks{};
        registerChannelsModule(moduleRegistry());
        auto state = std::filesystem::path(std::getenv("KL_HOME")) / "demo-state";
        service = std::make_unique<demo::DemoService>(demo::DemoService::Options{KL_DEMO_DATA_DIR, state.string(), 0});
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(service->url());
        auto defaults = ns::UserDefaults::standardUserDefaults();
        for (const char* key : {"login_flg", "memberDic", "LoginState"}) defaults->removeObjectForKey(key);
        driver = std::make_unique<ui::TestDriver>();

        appDelegate = std::make_shared<AppDelegate>();
        auto& app = ui::Application::sharedApplication();
        app.setDelegate(appDelegate);
        app.finishLaunching();
        ASSERT_TRUE(driver->waitUntil([&] { return appDelegate->isStartupSettled(); }));

        host = std::make_unique<window::Host>(app, window::Options{2, "test"});
        ASSERT_TRUE(host->isOpen()) << host->error();
        host->runOnce(0);
    }
    void TearDown() override {
        // Nothing still on its way from the service when it stops.
        driver->waitUntil([] {
            return net::NetworkActivity::count() == 0 && WebImageManager::sharedManager()->activeFetches() == 0;
        });
        ns::RunLoop::main().drain();
        // The pictures' cache writes into this test's home: its writes end
        // here, and the next test's cache is in its own home.
        WebImageManager::sharedManager()->imageCache()->waitForDisk();
        WebImageManager::setSharedManager(nullptr);
        host.reset();
        ProgressHUD::resetForTesting();
        appDelegate.reset();
        driver.reset();
        ui::Application::resetForTesting();
        moduleRegistry().clear();
        ServiceConfig::reset();
        service.reset();
    }

    // Runs the program (its clock in steps, the service for real) until the
    // condition holds, drawing as the window's loop would.
    bool settle(const std::function<bool()>& ready) {
        for (int i = 0; i < 200; ++i) {
            driver->advance(0.1);
            host->runOnce(0);
            if (ready()) return true;
            driver->waitUntil(ready, 0.05);
        }
        return false;
    }

    std::shared_ptr<ui::Button> tile(const std::string& title) const {
        for (auto& b : appDelegate->headViewController->tileButtons)
            if (b->currentTitle() == title) return b;
        return nullptr;
    }
    // The current-affairs front screen when it is the screen in front.
    std::shared_ptr<SSZTFrontViewController> newsList() const {
        auto reveal = std::dynamic_pointer_cast<RevealController>(appDelegate->navigationController->topViewController());
        auto nav = reveal ? std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController()) : nullptr;
        return nav ? std::dynamic_pointer_cast<SSZTFrontViewController>(nav->topViewController()) : nullptr;
    }
    // Opens the module with a click on its tile and waits for its first page.
    std::shared_ptr<SSZTFrontViewController> openNews() {
        auto t = tile("时事直通");
        if (!t) return nullptr;
        ui::Rect r = t->convertRect_toView(t->bounds(), nullptr);
        click(Point{r.midX(), r.midY()});
        std::shared_ptr<SSZTFrontViewController> news;
        bool loaded = settle([&] {
            news = newsList();
            return news && news->list && news->list->count() > 0 && !news->list->isLoadingPage() &&
                   !ProgressHUD::isVisible();
        });
        return loaded ? news : nullptr;
    }
    // How the wheel tests start: the news list opened (`firstPage`, the rows
    // it opened with), the pointer over it and the wheel turned down notch by
    // notch until the list is at its end.
    void openNewsAndWheelToItsEnd(std::shared_ptr<SSZTFrontViewController>& news, std::size_t& firstPage) {
        news = openNews();
        ASSERT_TRUE(news) << driver->dump();
        auto table = news->mtableview;
        firstPage = news->list->count();
        motion(Point{160, 400}, false);  // the pointer over the list
        const double end = table->maximumContentOffset().y;
        ASSERT_GT(end, table->minimumContentOffset().y);
        for (int i = 0; i < 100 && table->contentOffset().y < end; ++i) wheel(-1);
        ASSERT_EQ(table->contentOffset().y, end);
    }

    // The screen in front of the current-affairs module's navigation.
    template <typename T>
    std::shared_ptr<T> front() const {
        auto reveal = std::dynamic_pointer_cast<RevealController>(appDelegate->navigationController->topViewController());
        auto nav = reveal ? std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController()) : nullptr;
        return nav ? std::dynamic_pointer_cast<T>(nav->topViewController()) : nullptr;
    }
    // A click in the middle of the view, where a person would put the pointer.
    void clickOn(const std::shared_ptr<ui::View>& v) {
        ui::Rect r = v->convertRect_toView(v->bounds(), nullptr);
        click(Point{r.midX(), r.midY()});
    }
    // With KL_WINDOW_TEST_PICTURES=DIR, the window's picture as DIR/name.png.
    void keepPicture(const std::string& name) {
        if (const char* folder = std::getenv("KL_WINDOW_TEST_PICTURES")) {
            host->redraw();
            host->canvas().writePNG(std::string(folder) + "/" + name + ".png");
        }
    }
    // Whether every pixel of the band of screen rows [top, bottom) is white.
    bool whiteBand(double top, double bottom) {
        host->redraw();
        const render::Canvas& canvas = host->canvas();
        const double scale = canvas.pixelWidth() / 320.0;
        for (int y = static_cast<int>(top * scale); y < static_cast<int>(bottom * scale); ++y)
            for (int x = 0; x < canvas.pixelWidth(); ++x) {
                render::Pixel p = canvas.pixel(x, y);
                if (p.r < 250 || p.g < 250 || p.b < 250) return false;
            }
        return true;
    }

    std::unique_ptr<demo::DemoService> service;
    std::unique_ptr<ui::TestDriver> driver;
    std::shared_ptr<AppDelegate> appDelegate;
};

TEST_F(ProgramWindowTest, ClickOnTheCurrentAffairsTileOpensTheNewsList) {
    ASSERT_EQ(appDelegate->navigationController->topViewController(), appDelegate->headViewController);
    auto t = tile("时事直通");
    ASSERT_TRUE(t);
    ui::Rect r = t->convertRect_toView(t->bounds(), nullptr);
    // Beside every tile (the title bar): nothing opens.
    click(Point{160, 40});
    driver->advance(1.0);
    EXPECT_EQ(appDelegate->navigationController->topViewController(), appDelegate->headViewController);
    // Pressed on the tile and dragged off it before release: nothing opens.
    drag(Point{r.midX(), r.midY()}, Point{0, 150}, 6);
    driver->advance(1.0);
    EXPECT_EQ(appDelegate->navigationController->topViewController(), appDelegate->headViewController);

    int frames = host->frameCount();
    auto news = openNews();
    ASSERT_TRUE(news) << driver->dump();
    EXPECT_GT(host->frameCount(), frames);
    EXPECT_EQ(news->naview->titleLabel->text(), "时事新闻");
    EXPECT_TRUE(ui::TestDriver::isOnScreen(*news->mtableview));
    EXPECT_EQ(news->mtableview->numberOfRowsInSection(0), static_cast<long>(news->list->count()));
    // The first article's title is on the screen the window shows.
    std::string first = news->list->recordAt(0)["title"].str();
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(driver->findViewWithText(first));
}

TEST_F(ProgramWindowTest, DragOnTheNewsListScrollsItAndAPullPast65PointsRefreshesIt) {
    auto news = openNews();
    ASSERT_TRUE(news) << driver->dump();
    auto table = news->mtableview;
    ASSERT_GT(table->contentSize().height, table->bounds().size.height + 100);
    auto nav = news->navigationController();

    // Up by 150 points: the list follows the finger and opens no article.
    drag(Point{160, 450}, Point{0, -150}, 6);
    EXPECT_NEAR(table->contentOffset().y, 150, 1);
    EXPECT_EQ(nav->topViewController(), news);
    driver->advance(1.0);

    // Back down past the top by 100 points: the header asks for a refresh.
    drag(Point{160, 150}, Point{0, 250}, 10);
    EXPECT_TRUE(news->list->isReloading());
    EXPECT_LT(table->contentOffset().y, 0);  // held open over the header while it reloads
    const std::size_t before = news->list->count();
    ASSERT_GT(before, 0u);
    bool reloaded = settle([&] {
        return !news->list->isReloading() && !news->list->isLoadingPage() && !ProgressHUD::isVisible();
    });
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(news->list->count(), before);  // page one again, not appended
    EXPECT_EQ(news->list->pageNo(), 1);
    EXPECT_EQ(table->contentOffset().y, 0);

    // A pull of less than 65 points only springs back.
    drag(Point{160, 150}, Point{0, 50}, 6);
    EXPECT_FALSE(news->list->isReloading());
    EXPECT_EQ(table->contentOffset().y, 0);
}

// The wheel scrolls the news list to its end; turned on down from there, it
// pulls the list up past its end as a finger would, released once the wheel
// is still, and the finger's rule decides: 40 points spring back, 80 load
// the next page.
TEST_F(ProgramWindowTest, TheWheelPastTheEndOfTheNewsListLoadsItsNextPageByTheDragsRule) {
    std::shared_ptr<SSZTFrontViewController> news;
    std::size_t firstPage = 0;
    ASSERT_NO_FATAL_FAILURE(openNewsAndWheelToItsEnd(news, firstPage));
    auto table = news->mtableview;
    const double end = table->maximumContentOffset().y;

    wheel(-1);
    EXPECT_NEAR(table->contentOffset().y, end + 40, 1);
    settle([&] { return !table->isDragging(); });
    EXPECT_EQ(table->contentOffset().y, end);
    EXPECT_FALSE(news->list->isLoadingPage());
    EXPECT_EQ(news->list->count(), firstPage);

    wheel(-1);
    wheel(-1);
    EXPECT_NEAR(table->contentOffset().y, end + 80, 1);
    ASSERT_TRUE(settle([&] { return !table->isDragging(); }));
    EXPECT_GT(table->contentOffset().y, end);  // held over the footer while it loads
    bool loaded = settle([&] {
        return news->list->count() > firstPage && !news->list->isLoadingPage() && !ProgressHUD::isVisible();
    });
    ASSERT_TRUE(loaded);
    EXPECT_EQ(news->list->pageNo(), 2);
}

// Turned back up after a notch down at the end, the wheel ends the pull and
// scrolls the list as it does anywhere: up to its top and no further, with
// no refresh when it comes to rest.
TEST_F(ProgramWindowTest, TheWheelTurnedUpDuringAPullAtTheEndScrollsToTheTopAndNoFurther) {
    std::shared_ptr<SSZTFrontViewController> news;
    std::size_t firstPage = 0;
    ASSERT_NO_FATAL_FAILURE(openNewsAndWheelToItsEnd(news, firstPage));
    auto table = news->mtableview;
    const double top = table->minimumContentOffset().y, end = table->maximumContentOffset().y;

    wheel(-1);
    ASSERT_TRUE(table->isDragging());
    EXPECT_NEAR(table->contentOffset().y, end + 40, 1);
    wheel(1);
    EXPECT_FALSE(table->isDragging());
    EXPECT_EQ(table->contentOffset().y, std::max(top, end - 40));
    const int notches = static_cast<int>((end - top) / 40) + 4;  // more than the way to the top
    for (int i = 0; i < notches; ++i) {
        wheel(1);
        EXPECT_GE(table->contentOffset().y, top) << "after " << i + 2 << " notches up";
        EXPECT_FALSE(table->isDragging());
        EXPECT_FALSE(news->list->isReloading());
    }
    EXPECT_EQ(table->contentOffset().y, top);
    driver->advance(1.0);  // well past the moment a pull of the wheel is released
    host->runOnce(0);
    EXPECT_EQ(table->contentOffset().y, top);
    EXPECT_FALSE(table->isDragging());
    EXPECT_FALSE(news->list->isReloading());
    EXPECT_FALSE(news->list->isLoadingPage());
    EXPECT_EQ(news->list->count(), firstPage);
}

// The comment bars, as a new user meets them: on the article page, and on the
// comment list with the keyboard up for a comment, "评论" asks for the login,
// the login is clicked, and the keyboard goes. The bar comes down with it; while the keyboard is up no line of the
// comments shows between the bar and the keyboard.
TEST_F(ProgramWindowTest, TheCommentListsBarAfterALoginClickedAboveTheKeyboard) {
    auto news = openNews();
    ASSERT_TRUE(news) << driver->dump();
    auto cell = news->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 0});
    ASSERT_TRUE(cell);
    clickOn(cell);
    std::shared_ptr<SSXWDetailViewController> detail;
    ASSERT_TRUE(settle([&] {
        detail = front<SSXWDetailViewController>();
        return detail && !detail->titleStr.empty() && !ProgressHUD::isVisible();
    }));
    // The article page's input bar: nothing of the article shows below it either.
    clickOn(detail->commentFiled);
    ASSERT_TRUE(ui::Keyboard::shared().isVisible());
    ASSERT_FALSE(detail->pubView->isHidden());
    EXPECT_TRUE(whiteBand(detail->pubView->frame().maxY(), ui::Keyboard::shared().frame().minY()));
    keepPicture("detail-keyboard-up");
    key(SDLK_RETURN);
    EXPECT_TRUE(detail->pubView->isHidden());
    clickOn(driver->findViewWithText("查看评论"));
    std::shared_ptr<CommentViewController> comments;
    ASSERT_TRUE(settle([&] {
        comments = front<CommentViewController>();
        return comments && comments->list->count() >= 4 && !comments->list->isLoadingPage() &&
               !ProgressHUD::isVisible();
    }));
    const double rest = 568 - CommentViewController::kBarHeight;

    clickOn(comments->commentFiled);
    text("好文章");
    ASSERT_TRUE(ui::Keyboard::shared().isVisible());
    const double keyboardTop = ui::Keyboard::shared().frame().minY();
    const double barBottom = comments->NewcommentView->frame().maxY();
    ASSERT_LT(barBottom, keyboardTop);
    EXPECT_TRUE(whiteBand(barBottom + 1, keyboardTop));  // the bar's border is grey
    keepPicture("comments-keyboard-up");

    clickOn(driver->findView<ui::Button>([&](ui::Button& b) {
        return b.currentTitle() == "评论" && b.isDescendantOfView(comments->NewcommentView.get());
    }));
    auto login = comments->loginview;
    ASSERT_FALSE(login->view()->isHidden());
    clickOn(login->userField);
    text("demo");
    clickOn(login->passwordField);
    text("demo123");
    keepPicture("comments-login");
    clickOn(login->loginButton);  // above the keyboard: the click reaches it
    ASSERT_TRUE(settle([&] { return login->view()->isHidden() && !login->isLoggingIn(); })) << driver->dump();
    EXPECT_FALSE(ui::Keyboard::shared().isVisible());
    EXPECT_EQ(comments->NewcommentView->frame().minY(), rest);
    EXPECT_EQ(comments->mtableview->frame().maxY(), rest);
    EXPECT_EQ(comments->commentFiled->text(), "好文章");
    keepPicture("comments-after-login");
}

// The desktop's opener: xdg-open from the search path, handed the address.
TEST_F(ProgramWindowTest, TheDesktopsOpenerIsXdgOpenFromThePath) {
    namespace fs = std::filesystem;
    EXPECT_FALSE(window::desktopURLOpener(""));
    const fs::path bin = fs::path(std::getenv("KL_HOME")) / "bin";
    fs::create_directories(bin);
    EXPECT_FALSE(window::desktopURLOpener("/nonexistent:" + bin.string()));
    const fs::path opened = bin / "opened";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << ".part' && mv '" << opened.string()
               << ".part' '" << opened.string() << "'\n";
    }
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    auto opener = window::desktopURLOpener("/nonexistent::" + bin.string());
    ASSERT_TRUE(opener);

    auto& app = ui::Application::sharedApplication();
    app.setWebURLOpener(opener);
    EXPECT_TRUE(app.canOpenURL("https://itunes.apple.com/cn/app/id910000001?mt=8"));
    EXPECT_FALSE(app.canOpenURL("maiwei://app/x/"));
    EXPECT_TRUE(app.openURL("https://itunes.apple.com/cn/app/id910000001?mt=8"));
    ASSERT_TRUE(driver->waitUntil([&] { return fs::exists(opened); }));
    std::ifstream in(opened);
    std::string url((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(url, "https://itunes.apple.com/cn/app/id910000001?mt=8");
    app.setWebURLOpener(nullptr);
}

}  // namespace
