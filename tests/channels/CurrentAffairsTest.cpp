// The current-affairs module in its container: the news list's rows and top
// bar, the rear menu's highlight, its swap by class and the way home, the
// older menu pair, and the shared menu on screens of its own.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/Records.h"
#include "app/framework/RearviewCell.h"
#include "app/framework/RevealController.h"
#include "channels/CommentViewController.h"
#include "channels/NewsViewController.h"
#include "app/framework/RearMenu.h"
#include "channels/SSXWCell.h"
#include "channels/SSXWDetailViewController.h"
#include "channels/SSZTFrontViewController.h"
#include "channels/SSZTRearViewController.h"
#include "foundation/Log.h"
#include "uikit/NavigationController.h"

using namespace moduletest;

namespace {

// Two list screens of different classes for the shared menu.
class ScreenA : public ui::ViewController {
public:
    std::string code;
};
class ScreenB : public ui::ViewController {};

class CurrentAffairsTest : public moduletest::ModuleTest {
protected:
    std::shared_ptr<RevealController> openCurrentAffairs() {
        front = ui::create<SSZTFrontViewController>();
        rear = ui::create<SSZTRearViewController>();
        return openModule(front, rear);
    }
    static std::shared_ptr<RearviewCell> menuCell(const std::shared_ptr<ui::TableView>& table, long row) {
        return std::dynamic_pointer_cast<RearviewCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, row}));
    }
    // Row titles, and the highlighted rows as their cells draw them.
    static std::vector<std::string> titles(const std::shared_ptr<ui::TableView>& table) {
        std::vector<std::string> out;
        for (long r = 0; r < table->numberOfRowsInSection(0); ++r) out.push_back(menuCell(table, r)->titleLabel->text());
        return out;
    }
    static std::vector<long> drawnHighlights(const std::shared_ptr<ui::TableView>& table) {
        std::vector<long> out;
        for (long r = 0; r < table->numberOfRowsInSection(0); ++r) {
            auto cell = menuCell(table, r);
            bool lit = !cell->lineimagev->isHidden();
            EXPECT_EQ(cell->titleLabel->textColor(), lit ? ui::Color::redColor() : RearMenu::kTitleColor) << r;
            EXPECT_EQ(cell->backgroundColor(),
                      std::optional<ui::Color>(lit ? RearMenu::kHighlightedRowColor : ui::Color::clearColor()))
                << r;
            if (lit) out.push_back(r);
        }
        return out;
    }

    std::shared_ptr<SSZTFrontViewController> front;
    std::shared_ptr<SSZTRearViewController> rear;
};

TEST_F(CurrentAffairsTest, NewsListShowsThumbnailTitleAndSummaryUnderItsTopBar) {
    svc.reply("GetArticleList", R"({"records":[)"
                                R"({"id":"41","title":"第一条","zhaiyao":"摘要一","img_url":""},)"
                                R"({"id":"42","title":"第二条","zhaiyao":null,"img_url":null}]})");
    ns::LogCapture log;
    auto reveal = openCurrentAffairs();
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(settle(front));
    auto asked = svc.received("GetArticleList");
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["page_size"].integerValue(), 10);
    EXPECT_EQ(asked["parameters"]["category_code"].str(), "shishixinwen");

    EXPECT_EQ(front->title(), "时事新闻");
    EXPECT_EQ(front->naview->titleLabel->text(), "时事新闻");
    EXPECT_TRUE(front->naview->leftButton->isHidden());
    EXPECT_TRUE(front->navigationController()->isNavigationBarHidden());
    EXPECT_EQ(front->mtableview->frame(), (ui::Rect{0, 64, 320, 568 - 64}));

    auto table = front->mtableview;
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 1}), (ui::Rect{0, 70, 320, 70}));
    auto second = std::dynamic_pointer_cast<SSXWCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 1}));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->titleLabel->text(), "第二条");
    EXPECT_EQ(second->subLabel->text(), "");
    EXPECT_EQ(second->headimagev->image(), ui::Image::imageNamed("icon_empty.png"));
    EXPECT_EQ(second->accessoryType(), ui::TableViewCellAccessoryDisclosureIndicator);
    EXPECT_EQ(second->selectionStyle(), ui::TableViewCellSelectionStyleNone);
    auto first = std::dynamic_pointer_cast<SSXWCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    EXPECT_EQ(first->subLabel->text(), "摘要一");
    EXPECT_TRUE(log.contains("zhaiyao==<null>"));
    EXPECT_TRUE(log.contains("reo=="));

    // The menu button and the pan on the top bar both move the front.
    driver->tap(front->menuButton);
    driver->advance(SlideRevealController::kToggleDuration);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    driver->tap(front->menuButton);
    driver->advance(SlideRevealController::kToggleDuration);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionLeft);
    ASSERT_TRUE(front->navigationBarPanGestureRecognizer);
    front->viewWillAppear(false);  // appearing again adds no second pan
    std::size_t pans = 0;
    for (auto& r : front->naview->gestureRecognizers()) pans += std::dynamic_pointer_cast<ui::PanGestureRecognizer>(r) ? 1 : 0;
    EXPECT_EQ(pans, 1u);
    driver->fire(front->navigationBarPanGestureRecognizer, ui::Point{200, 0});
    driver->advance(1.0);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
}

TEST_F(CurrentAffairsTest, RowOpensItsArticleWithTheListsLoginFlag) {
    svc.reply("GetArticleList", moduletest::listReply(moduletest::articlePage(1)));
    svc.reply("GetArticleRecord", LoopbackService::held());
    openCurrentAffairs();
    ASSERT_TRUE(settle(front));
    auto nav = front->navigationController();
    ASSERT_TRUE(front->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    auto detail = std::dynamic_pointer_cast<SSXWDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->article_id, "1-3");
    EXPECT_FALSE(detail->islogin);

    nav->popViewControllerAnimated(false);
    front->islogin = true;
    ASSERT_TRUE(front->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    detail = std::dynamic_pointer_cast<SSXWDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->article_id, "1-1");
    EXPECT_TRUE(detail->islogin);
    svc.release();
}

// A title of megabytes is held once however many screens show it: the
// list's cell shows the row's own string, and the article's heading, its
// comment bar and the comment list's header share the article's.
TEST_F(CurrentAffairsTest, ALongTitleIsSharedFromTheListToTheCommentsNotCopied) {
    std::string title = "长标题";
    while (title.size() < 256 * 1024) title += "一个服务端送来的极长标题，";
    svc.reply("GetArticleList", R"({"records":[{"id":"7","title":")" + title + R"(","zhaiyao":"","img_url":""}]})");
    svc.reply("GetArticleRecord", R"({"records":{"id":"7","title":")" + title + R"(","content":"<p>正文</p>"}})");
    svc.reply("GetCommentList", R"({"records":[]})");
    openCurrentAffairs();
    ASSERT_TRUE(settle(front));
    auto cell = std::dynamic_pointer_cast<SSXWCell>(front->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->titleLabel->text(), title);
    EXPECT_EQ(cell->titleLabel->text().data(), front->mdataArray().at(0)["title"].str().data());

    auto nav = front->navigationController();
    ASSERT_TRUE(front->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto detail = std::dynamic_pointer_cast<SSXWDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    ASSERT_TRUE(driver->waitUntil([&] { return detail->titleLabel->text() == title; }));
    const char* held = detail->titleLabel->text().data();
    EXPECT_NE(held, cell->titleLabel->text().data());  // another reply, another string
    EXPECT_EQ(detail->titleStr.str().data(), held);

    driver->tap(driver->findViewWithText("查看评论"));
    auto comments = std::dynamic_pointer_cast<CommentViewController>(nav->topViewController());
    ASSERT_TRUE(comments);
    EXPECT_EQ(comments->titleStr.str().data(), held);
    EXPECT_EQ(comments->commentview->titleLabel->text().data(), held);
    settleService();
}

TEST_F(CurrentAffairsTest, MenuStartsWithNoHighlightAndTouchingTheShownRowOnlyMovesIt) {
    serveArticlePages();
    auto reveal = openCurrentAffairs();
    ASSERT_TRUE(settle(front));
    auto table = rear->rearTableView();
    ASSERT_TRUE(table);
    EXPECT_EQ(titles(table), (std::vector<std::string>{"时事新闻", "Velmarsh动态", "领导言论", "干部任免", "回到首页"}));
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 1}).size.height, 60);
    EXPECT_EQ(table->frame(), (ui::Rect{0, 20, 320, 548}));
    EXPECT_TRUE(drawnHighlights(table).empty());
    EXPECT_EQ(rear->menu->backgroundView->backgroundColor(), std::optional<ui::Color>(RearMenu::kBackgroundColor));

    openMenu(reveal);
    auto shownNav = reveal->frontViewController();
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    driver->advance(1.0);
    EXPECT_EQ(drawnHighlights(table), std::vector<long>{0});
    EXPECT_EQ(records::text(rear->mdataArray().at(0), "state"), "1");
    EXPECT_EQ(reveal->frontViewController(), shownNav);
    EXPECT_EQ(frontRoot(reveal), front);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    EXPECT_EQ(svc.count("GetArticleList"), 1u);

    // A channel row takes the highlight from it.
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    EXPECT_EQ(drawnHighlights(table), std::vector<long>{2});
}

TEST_F(CurrentAffairsTest, HomeRowReturnsToTheHomeScreenAtOnce) {
    serveArticlePages();
    auto reveal = openCurrentAffairs();
    ASSERT_TRUE(settle(front));
    openMenu(reveal);
    std::weak_ptr<RevealController> weakReveal = reveal;
    std::weak_ptr<SSZTFrontViewController> weakFront = front;
    reveal.reset();
    front.reset();
    auto table = rear->rearTableView();
    rear.reset();

    ASSERT_TRUE(driver->tap(table->cellForRowAtIndexPath(ui::IndexPath{0, 4})));
    EXPECT_TRUE(ui::isKind<HomeStub>(homeNav->topViewController()));
    EXPECT_EQ(homeNav->viewControllers().size(), 1u);
    table.reset();
    driver->advance(1.0);
    EXPECT_TRUE(weakReveal.expired());
    EXPECT_TRUE(weakFront.expired());
}

TEST_F(CurrentAffairsTest, SharedMenuSwapsTheFrontByClass) {
    class Menu : public ui::ViewController {
    public:
        std::shared_ptr<RearMenu> menu;
        RearMenu::Options options;
        void viewDidLoad() override {
            menu = RearMenu::create(
                {RearMenu::screenRow<ScreenA>("甲", [](ScreenA& a) { a.code = "jia"; }),
                 RearMenu::screenRow<ScreenB>("乙"), RearMenu::highlightRow("丙"), RearMenu::homeRow()},
                options);
            menu->build(sharedAs<ui::ViewController>(), view()->bounds());
        }
    };
    auto menu = ui::create<Menu>();
    auto a = ui::create<ScreenA>();
    auto reveal = openModule(a, menu);
    auto table = menu->menu->rearTableView;

    // Another class: a new front titled by the row, the menu closed over it.
    openMenu(reveal);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    auto b = std::dynamic_pointer_cast<ScreenB>(frontRoot(reveal));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->title(), "乙");
    driver->advance(1.0);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionLeft);
    EXPECT_TRUE(b->isViewVisible());

    // Back to the first class: a fresh screen, not the old one.
    openMenu(reveal);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto a2 = std::dynamic_pointer_cast<ScreenA>(frontRoot(reveal));
    ASSERT_TRUE(a2);
    EXPECT_NE(a2, a);
    EXPECT_EQ(a2->code, "jia");
    EXPECT_EQ(a2->title(), "甲");

    // The same class again, or a row without a screen: only the highlight.
    driver->advance(1.0);
    openMenu(reveal);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    EXPECT_EQ(frontRoot(reveal), a2);
    EXPECT_EQ(menu->menu->highlightedRow(), 2);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);

    // A subclass is not the class: only the exact class counts.
    class SubA : public ScreenA {};
    auto sub = ui::create<SubA>();
    reveal->setFrontViewController(ui::create<ui::NavigationController>(sub), false);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    EXPECT_TRUE(ui::isMemberOfClass<ScreenA>(frontRoot(reveal)));
}

TEST_F(CurrentAffairsTest, SharedMenuWithoutSwapByClassBuildsEveryTimeAndOutsideAContainerOnlyHighlights) {
    class Menu : public ui::ViewController {
    public:
        std::shared_ptr<RearMenu> menu;
        void viewDidLoad() override {
            menu = RearMenu::create({RearMenu::screenRow<ScreenA>("甲"), RearMenu::homeRow()},
                                    RearMenu::Options{.swapByClass = false});
            menu->build(sharedAs<ui::ViewController>(), view()->bounds());
        }
    };
    auto menu = ui::create<Menu>();
    auto a = ui::create<ScreenA>();
    auto reveal = openModule(a, menu);
    ASSERT_TRUE(menu->menu->rearTableView->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto a2 = frontRoot(reveal);
    EXPECT_NE(a2, a);
    ASSERT_TRUE(menu->menu->rearTableView->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    EXPECT_NE(frontRoot(reveal), a2);

    // Not inside a container: the home row only takes the highlight.
    auto alone = ui::create<Menu>();
    auto nav = ui::create<ui::NavigationController>(ui::create<HomeStub>());
    showRoot(nav);
    nav->pushViewController(alone, false);
    ASSERT_TRUE(alone->menu->rearTableView->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    EXPECT_EQ(alone->menu->highlightedRow(), 1);
    EXPECT_EQ(nav->topViewController(), alone);
}

TEST_F(CurrentAffairsTest, OlderMenuOpensTheNewsScreenOnceAndGoesHomeByItsTitle) {
    svc.reply("GetArticleList", moduletest::listReply(moduletest::articlePage(1)));
    auto older = ui::create<RearViewController>();
    auto reveal = openModule(ui::create<ScreenB>(), older);
    auto table = older->rearTableView();
    EXPECT_EQ(titles(table), (std::vector<std::string>{"回到首页", "时事新闻", "Velmarsh动态", "干部任免"}));
    EXPECT_EQ(older->menu->backgroundView->frame(), (ui::Rect{0, 20, 320, 568}));
    EXPECT_FALSE(older->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientationPortraitUpsideDown));
    EXPECT_TRUE(older->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientationLandscapeLeft));

    openMenu(reveal);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    auto news = std::dynamic_pointer_cast<NewsViewController>(frontRoot(reveal));
    ASSERT_TRUE(news);
    EXPECT_EQ(news->title(), "");
    EXPECT_FALSE(news->navigationController()->isNavigationBarHidden());
    ASSERT_TRUE(news->navigationItem()->leftBarButtonItem());
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetArticleList") == 1; }));
    auto asked = svc.received("GetArticleList");
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["parameters"]["category_code"].str(), "shishixinwen");
    ASSERT_TRUE(driver->waitUntil([&] { return !ProgressHUD::isVisible(); }));

    // Its menu item opens the menu; the news row again changes nothing.
    driver->advance(1.0);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionLeft);
    driver->tap(news->navigationItem()->leftBarButtonItem()->customView());
    driver->advance(1.0);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 3}));
    EXPECT_EQ(frontRoot(reveal), news);
    EXPECT_EQ(older->menu->highlightedRow(), 3);

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    driver->advance(1.0);
    EXPECT_TRUE(ui::isKind<HomeStub>(homeNav->topViewController()));
}

}  // namespace
