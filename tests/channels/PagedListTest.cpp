// The shared paged list on a bare screen: the page road, refresh and
// load-more, failures, superseded replies, pulls while loading, and replies
// of the wrong shape.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/SystemViewController.h"
#include "app/framework/Records.h"
#include "app/framework/PagedList.h"
#include "foundation/Log.h"

using namespace moduletest;

namespace {

// A list screen with nothing but a table of article titles and one request
// of its own ("GetLinkList") beside the pages.
class ListScreen : public SystemViewController, public PPClientDelegate {
public:
    void viewDidLoad() override {
        SystemViewController::viewDidLoad();
        pp = VoVaClient::create(sharedAs<PPClientDelegate>());
        auto bounds = view()->bounds();
        table = ui::create<ui::TableView>(ui::Rect{0, 64, bounds.size.width, bounds.size.height - 64});
        table->setRowHeight(70);
        view()->addSubview(table);
        list = PagedList::create(PagedList::Config{
            .request = [](VoVaClient& c, const std::string& page,
                          const std::string& size) { c.news_request(page, size, "shishixinwen"); },
            .cell =
                [](const PagedList::Table& tv, const ns::Value& record, const ui::IndexPath&) {
                    auto cell = tv->dequeueReusableCellWithIdentifier("Cell");
                    if (!cell) cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "Cell");
                    cell->textLabel()->setText(records::text(record, "title"));
                    return cell;
                },
            .select = [this](const ns::Value& record, const ui::IndexPath&) { selected = records::text(record, "id"); },
            .resultDelay = 0.5,
            .fragmentReply = true,
            .replyLog = "reo==%@",
        });
        list->attach(sharedAs<ui::ViewController>(), table, pp);
        list->start();
    }
    void GetWebServerContent_success(const std::string& result) override {
        if (list->handleSuccess(*pp, result)) return;
        ownReplies.push_back(result);
    }
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override {
        if (list->handleFailure(*pp, error)) return;
        ownFailures++;
    }

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::TableView> table;
    std::shared_ptr<PagedList> list;
    std::vector<std::string> ownReplies;
    int ownFailures = 0;
    std::string selected;
};

class PagedListTest : public moduletest::ModuleTest {
protected:
    static void pullUpScroll(const std::shared_ptr<ui::ScrollView>& scroll) {
        double height = scroll->frame().size.height;
        double end = std::max(scroll->contentSize().height, height) - height;
        scroll->simulateDrag(ui::Point{0, -(end - scroll->contentOffset().y + 80)});
    }
    std::shared_ptr<ListScreen> open() {
        auto screen = ui::create<ListScreen>();
        showRoot(screen);
        return screen;
    }
    // The ids of the rows, in order.
    static std::vector<std::string> ids(const PagedList& list) {
        std::vector<std::string> out;
        for (const auto& r : list.records().items()) out.push_back(records::text(r, "id"));
        return out;
    }
    static std::vector<std::string> pageIds(std::initializer_list<int> pages) {
        std::vector<std::string> out;
        for (int p : pages) {
            ns::Value page = moduletest::articlePage(p);
            for (const auto& r : page.items()) out.push_back(records::text(r, "id"));
        }
        return out;
    }
    // Pull, the trigger delay, and the load.
    void loadMore(const std::shared_ptr<ListScreen>& s) {
        loadNextPage(s->table);
        ASSERT_TRUE(settle(s));
    }
};

TEST_F(PagedListTest, RefreshAfterThreePagesShowsExactlyPageOne) {
    serveArticlePages();
    ns::LogCapture log;
    auto s = open();
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(settle(s));
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_TRUE(log.contains("reo=="));
    EXPECT_EQ(ids(*s->list), pageIds({1}));
    EXPECT_FALSE(s->table->visibleCells().empty());
    auto asked = svc.received("GetArticleList");
    EXPECT_EQ(asked["page_size"].integerValue(), 10);
    EXPECT_EQ(asked["parameters"]["category_code"].str(), "shishixinwen");

    loadMore(s);
    loadMore(s);
    EXPECT_EQ(ids(*s->list), pageIds({1, 2, 3}));
    EXPECT_EQ(s->list->pageNo(), 3);

    // The pull empties the list at once, and the table with it (the reply
    // waits until the test has looked).
    svc.replyOnce("GetArticleList", LoopbackService::held(svc.result(
                                        "GetArticleList", moduletest::listReply(moduletest::articlePage(1)))));
    s->table->setContentOffset(ui::Point{0, 0});
    pullDown(s->table);
    EXPECT_TRUE(s->list->isReloading());
    driver->advance(1.9);
    EXPECT_EQ(svc.count("GetArticleList"), 3u);
    driver->advance(0.1);
    EXPECT_EQ(s->list->count(), 0u);
    EXPECT_EQ(s->table->numberOfRowsInSection(0), 0);
    EXPECT_TRUE(s->table->visibleCells().empty());
    svc.release();
    ASSERT_TRUE(settle(s));
    EXPECT_EQ(ids(*s->list), pageIds({1}));
    EXPECT_EQ(s->table->numberOfRowsInSection(0), 10);
    EXPECT_EQ(s->list->pageNo(), 1);
    EXPECT_FALSE(s->list->isReloading());

    loadMore(s);
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 2, 3, 1, 2}));
    EXPECT_EQ(ids(*s->list), pageIds({1, 2}));
}

TEST_F(PagedListTest, FailedLoadMoreAsksForTheSamePageAgain) {
    serveArticlePages();
    auto s = open();
    ASSERT_TRUE(settle(s));
    svc.replyOnce("GetArticleList", LoopbackService::status(500));
    loadMore(s);
    EXPECT_EQ(s->list->pageNo(), 1);
    EXPECT_EQ(ids(*s->list), pageIds({1}));
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_FALSE(s->list->isReloading());
    ASSERT_TRUE(s->list->footerView());  // back below the rows, ready for the next pull

    loadMore(s);
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(ids(*s->list), pageIds({1, 2}));

    // A failed first page or refresh keeps page 1.
    svc.replyOnce("GetArticleList", LoopbackService::status(500));
    s->table->setContentOffset(ui::Point{0, 0});
    pullDown(s->table);
    driver->advance(2.0);
    ASSERT_TRUE(settle(s));
    EXPECT_EQ(s->list->pageNo(), 1);
    EXPECT_EQ(s->list->count(), 0u);
}

TEST_F(PagedListTest, EmptyPageChangesNothingAndTheNextPullAsksForTheFollowingPage) {
    serveArticlePages(1);
    auto s = open();
    ASSERT_TRUE(settle(s));
    loadMore(s);
    EXPECT_EQ(ids(*s->list), pageIds({1}));
    EXPECT_EQ(s->table->numberOfRowsInSection(0), 10);
    EXPECT_EQ(s->table->contentSize().height, 700);
    loadMore(s);
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(s->list->count(), 10u);
}

TEST_F(PagedListTest, PullWhileLoadingStartsNothing) {
    svc.reply("GetArticleList", LoopbackService::held(svc.result("GetArticleList", moduletest::listReply(moduletest::articlePage(1)))));
    auto s = open();
    ASSERT_TRUE(waitForRequests("GetArticleList", 1));
    // The first page is still on its way: neither pull starts a load.
    pullDown(s->table);
    pullUp(s->table);
    EXPECT_FALSE(s->list->isReloading());
    driver->advance(2.0);
    EXPECT_EQ(svc.count("GetArticleList"), 1u);
    svc.release();
    ASSERT_TRUE(settle(s));
    EXPECT_EQ(s->list->count(), 10u);

    // During a pull's delay, another pull starts nothing more.
    serveArticlePages();
    pullUp(s->table);
    driver->advance(1.0);
    s->table->setContentOffset(ui::Point{0, 0});
    pullDown(s->table);
    pullUp(s->table);
    driver->advance(1.0);
    ASSERT_TRUE(settle(s));
    driver->advance(3.0);
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 2}));
    EXPECT_EQ(ids(*s->list), pageIds({1, 2}));
}

TEST_F(PagedListTest, ReloadFromFirstPageDropsALoadMoreWaitingOutItsDelay) {
    serveArticlePages();
    auto s = open();
    ASSERT_TRUE(settle(s));
    pullUp(s->table);
    driver->advance(1.0);
    s->list->reloadFromFirstPage();  // as after a posted comment
    ASSERT_TRUE(settle(s));
    driver->advance(3.0);
    ASSERT_TRUE(settle(s));
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 1}));
    EXPECT_EQ(ids(*s->list), pageIds({1}));
}

TEST_F(PagedListTest, ReplyOfASupersededLoadIsDropped) {
    // Page 2 hangs until released; the rest answer at once.
    svc.handle("GetArticleList", [this](const LoopbackService::Received& r) {
        int page = moduletest::requestedPage(r);
        auto reply = svc.result("GetArticleList", moduletest::listReply(moduletest::articlePage(page)));
        reply.hold = page == 2;
        return reply;
    });
    auto s = open();
    ASSERT_TRUE(settle(s));
    loadNextPage(s->table);
    ASSERT_TRUE(waitForRequests("GetArticleList", 2));
    EXPECT_TRUE(s->list->isLoadingPage());

    // Reloaded from page 1 while page 2 is out (as after a comment is posted).
    s->list->reloadFromFirstPage();
    ASSERT_TRUE(settle(s));
    EXPECT_EQ(ids(*s->list), pageIds({1}));
    svc.release();

    // The screen's own request still reaches the screen, not the list.
    svc.reply("GetLinkList", R"({"records":[]})");
    s->pp->getMinBinlink();
    ASSERT_TRUE(driver->waitUntil([&] { return !s->ownReplies.empty(); }));
    driver->runPending();
    EXPECT_EQ(ids(*s->list), pageIds({1}));
    EXPECT_EQ(s->list->pageNo(), 1);

    svc.reply("GetLinkList", LoopbackService::status(500));
    s->pp->getMinBinlink();
    ASSERT_TRUE(driver->waitUntil([&] { return s->ownFailures == 1; }));
    EXPECT_EQ(s->list->count(), 10u);
}

TEST_F(PagedListTest, RepliesOfTheWrongShapeAddNothingAndCrashNothing) {
    svc.reply("GetArticleList", R"({"records":{"id":"1","title":"x"}})");
    auto s = open();
    ASSERT_TRUE(settle(s));
    EXPECT_EQ(s->list->count(), 0u);

    const char* replies[] = {
        "not json", "12", "\"text\"", "null", "[1,2]", R"({"records":null})", R"({"records":"x"})", "",
    };
    for (const char* reply : replies) {
        svc.reply("GetArticleList", reply);
        s->list->reloadFromFirstPage();
        ASSERT_TRUE(settle(s)) << reply;
        EXPECT_EQ(s->list->count(), 0u) << reply;
        EXPECT_FALSE(ProgressHUD::isVisible()) << reply;
    }

    // Rows that are no objects are left out; null texts show as nothing.
    svc.reply("GetArticleList",
              R"({"records":[1,"x",null,[],{"id":7,"title":null,"zhaiyao":null,"img_url":null}]})");
    s->list->reloadFromFirstPage();
    ASSERT_TRUE(settle(s));
    ASSERT_EQ(s->list->count(), 1u);
    auto cell = s->table->cellForRowAtIndexPath(ui::IndexPath{0, 0});
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->textLabel()->text(), "");
    ASSERT_TRUE(s->table->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    EXPECT_EQ(s->selected, "7");
}

TEST_F(PagedListTest, ReplyAfterTheScreenHasGoneReachesNothing) {
    svc.reply("GetArticleList", LoopbackService::held(svc.result("GetArticleList", moduletest::listReply(moduletest::articlePage(1)))));
    auto s = open();
    ASSERT_TRUE(waitForRequests("GetArticleList", 1));
    std::weak_ptr<PagedList> list = s->list;
    window->setRootViewController(nullptr);
    s.reset();
    EXPECT_TRUE(list.expired());
    svc.release();
    driver->advance(2.0);
    driver->runPending();

    // A pull whose delay outlives the screen starts nothing.
    serveArticlePages();
    s = open();
    ASSERT_TRUE(settle(s));
    pullUp(s->table);
    list = s->list;
    window->setRootViewController(nullptr);
    s.reset();
    EXPECT_TRUE(list.expired());
    driver->advance(2.0);
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 1}));
}

TEST(RecordsTest, ReadersGiveTheEmptyValueOfTheKindAsked) {
    ns::Value record = JSONValue(R"({"t":"a","n":5,"d":1.5,"z":null,"b":true,"a":[1],"o":{"k":"v"}})");
    EXPECT_EQ(records::text(record, "t"), "a");
    EXPECT_EQ(records::text(record, "n"), "5");
    EXPECT_EQ(records::text(record, "d"), "1.5");
    EXPECT_EQ(records::text(record, "z"), "");
    EXPECT_EQ(records::text(record, "b"), "");
    EXPECT_EQ(records::text(record, "a"), "");
    EXPECT_EQ(records::text(record, "missing"), "");
    EXPECT_EQ(records::text(ns::Value("x"), "t"), "");

    EXPECT_EQ(records::array(record, "a").count(), 1u);
    EXPECT_TRUE(records::array(record, "o").isArray());
    EXPECT_EQ(records::array(record, "z").count(), 0u);
    EXPECT_EQ(records::object(record, "o")["k"].str(), "v");
    EXPECT_TRUE(records::object(record, "a").isDictionary());
    EXPECT_EQ(records::object(record, "a").count(), 0u);

    // The empty values are new ones: filling one changes nothing in the record.
    records::array(record, "z").push(1);
    EXPECT_TRUE(record["z"].isNull());

    ns::LogCapture log;
    EXPECT_TRUE(records::parse("[1]").isDictionary());
    EXPECT_TRUE(records::parse("7", true).isDictionary());
    EXPECT_TRUE(records::parse("garbage").isDictionary());
    EXPECT_TRUE(log.contains("-JSONValue failed"));
    EXPECT_EQ(records::parse(R"({"state":"successful"})")["state"].str(), "successful");

    EXPECT_TRUE(records::succeeded(JSONValue(R"({"state":"successful"})")));
    EXPECT_FALSE(records::succeeded(JSONValue(R"({"state":"failed"})")));
    EXPECT_FALSE(records::succeeded(JSONValue(R"({"state":1})")));
    EXPECT_FALSE(records::succeeded(ns::Value()));
    EXPECT_EQ(records::message(JSONValue(R"({"message":"已提交"})")), "已提交");
    EXPECT_EQ(records::message(JSONValue(R"({"message":null})")), "");
    EXPECT_TRUE(records::item(JSONValue(R"({"records":[1]})")).isDictionary());
    EXPECT_EQ(records::item(JSONValue(R"({"records":{"id":"9"}})"))["id"].str(), "9");
    EXPECT_EQ(records::list(JSONValue(R"({"records":{"id":"9"}})")).count(), 0u);
}


// The same pages as tiles in a scroll view, loaded first without the overlay.
class GridScreen : public SystemViewController, public PPClientDelegate {
public:
    void viewDidLoad() override {
        SystemViewController::viewDidLoad();
        pp = VoVaClient::create(sharedAs<PPClientDelegate>());
        grid = ui::create<ui::ScrollView>(ui::Rect{0, 64, 320, 504});
        view()->addSubview(grid);
        list = PagedList::create(PagedList::Config{
            .request = [](VoVaClient& c, const std::string& page,
                          const std::string& size) { c.news_request(page, size, "daibiao"); },
            .pageSize = "20",
            .firstLoadOverlay = false,
            .layoutTiles =
                [this](ui::ScrollView& g, const ns::Value& rows) {
                    for (auto& v : g.subviews()) {
                        if (v->tag() >= 1000) v->removeFromSuperview();
                    }
                    for (std::size_t i = 0; i < rows.count(); ++i) {
                        auto tile = ui::create<ui::View>(ui::Rect{0, 100.0 * static_cast<double>(i), 90, 90});
                        tile->setTag(1000 + static_cast<int>(i));
                        g.addSubview(tile);
                    }
                    g.setContentSize(ui::Size{320, 100.0 * static_cast<double>(rows.count())});
                    layouts.push_back(rows.count());
                },
        });
        list->attachGrid(sharedAs<ui::ViewController>(), grid, pp);
        list->start();
    }
    void GetWebServerContent_success(const std::string& result) override { list->handleSuccess(*pp, result); }
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override { list->handleFailure(*pp, error); }

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> grid;
    std::shared_ptr<PagedList> list;
    std::vector<std::size_t> layouts;
};

TEST_F(PagedListTest, AGridLaysOutEveryTileAgainAndItsFirstPageComesQuietly) {
    serveArticlePages();
    auto s = ui::create<GridScreen>();
    showRoot(s);
    EXPECT_FALSE(ProgressHUD::isVisible());
    ASSERT_TRUE(driver->waitUntil([&] { return !s->list->isLoadingPage(); }));
    EXPECT_EQ(s->layouts, (std::vector<std::size_t>{10}));

    // The pulls work on the grid as on a table; a pull shows the overlay.
    svc.replyOnce("GetArticleList", LoopbackService::held(svc.result(
                                        "GetArticleList", moduletest::listReply(moduletest::articlePage(2)))));
    pullUpScroll(s->grid);
    driver->advance(2.0);
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return !s->list->isLoadingPage(); }));
    EXPECT_EQ(s->layouts.back(), 20u);
    EXPECT_TRUE(s->grid->viewWithTag(1019));

    // Starting over empties the grid at once and loads page 1 quietly.
    driver->advance(1.0);
    s->list->restart();
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(s->layouts.back(), 0u);
    EXPECT_FALSE(s->grid->viewWithTag(1000));
    ASSERT_TRUE(driver->waitUntil([&] { return !s->list->isLoadingPage(); }));
    EXPECT_EQ(s->layouts.back(), 10u);
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 2, 1}));
}

}  // namespace
