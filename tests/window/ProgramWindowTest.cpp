// The program as a person uses it in its window: the application launched
// against the demo service with the current-affairs module built in, the
// window under SDL's offscreen video driver, and the mouse synthesised
// through SDL's own event queue.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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
#include "channels/SSZTFrontViewController.h"
#include "demo/DemoService.h"
#include "foundation/UserDefaults.h"
#include "net/NetworkActivity.h"
#include "service/ServiceConfig.h"
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

}  // namespace
