// Scroll views (offsets, insets, dragging, paging, pull thresholds) and table
// views (geometry, cell reuse on a long table, stale rows, selection).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UITestSupport.h"
#include "uikit/ScrollView.h"
#include "uikit/TableView.h"

using namespace ui;
using uitest::UITest;

namespace {

// ---- A list screen's pull logic, as the refresh header and footer do it ----

class PullList : public Object, public TableViewDataSource, public TableViewDelegate {
public:
    long tableView_numberOfRowsInSection(const std::shared_ptr<TableView>&, long) override {
        return static_cast<long>(rows.size());
    }
    std::shared_ptr<TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<TableView>& tv,
                                                                   const IndexPath& ip) override {
        auto cell = tv->dequeueReusableCellWithIdentifier("Cell");
        if (!cell) {
            cell = create<TableViewCell>(TableViewCellStyleDefault, "Cell");
            made++;
        }
        asked.push_back(ip.row);
        cell->textLabel()->setText(rows.at(static_cast<std::size_t>(ip.row)));
        return cell;
    }
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath& ip) override {
        return heights.empty() ? 70 : heights[static_cast<std::size_t>(ip.row) % heights.size()];
    }
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath& ip) override {
        selected.push_back(ip.row);
    }
    void scrollViewDidScroll(const std::shared_ptr<ScrollView>& sv) override {
        scrolls++;
        if (!sv->isDragging()) return;
        double y = sv->contentOffset().y;
        headerPulling = y <= -65;
        footerPulling = y + sv->bounds().size.height > footerTop(*sv) + 65;
    }
    void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ScrollView>& sv, bool decelerate) override {
        releases++;
        lastDecelerate = decelerate;
        double y = sv->contentOffset().y;
        EdgeInsets inset = sv->contentInset();
        if (y <= -65 && !loading) {
            loading = true;
            refreshes++;
            inset.top = 60;
        } else if (y + sv->bounds().size.height - footerTop(*sv) > 65 && !loading) {
            loading = true;
            loadMores++;
            inset.bottom = 65;
        }
        sv->setContentInset(inset);
    }
    // The footer sits below the rows, or at the bottom of a table they do not fill.
    static double footerTop(const ScrollView& sv) {
        return std::max(sv.contentSize().height, sv.bounds().size.height);
    }
    void scrollViewDidEndDecelerating(const std::shared_ptr<ScrollView>&) override { decelerations++; }
    void scrollViewDidEndScrollingAnimation(const std::shared_ptr<ScrollView>&) override { animations++; }

    std::vector<std::string> rows;
    std::vector<double> heights;
    std::vector<long> asked, selected;
    int made = 0, scrolls = 0, releases = 0, refreshes = 0, loadMores = 0, decelerations = 0, animations = 0;
    bool loading = false, headerPulling = false, footerPulling = false, lastDecelerate = false;
};

class ScrollTableTest : public UITest {
protected:
    void SetUp() override {
        UITest::SetUp();
        window->makeKeyAndVisible();
        list = std::make_shared<PullList>();
        staleMessages.clear();
        TableView::setStaleRowHandler([this](const std::string& m) { staleMessages.push_back(m); });
    }
    void TearDown() override {
        TableView::setStaleRowHandler({});
        UITest::TearDown();
    }
    std::shared_ptr<TableView> makeTable(std::size_t rows) {
        for (std::size_t i = 0; i < rows; ++i) list->rows.push_back("row " + std::to_string(i));
        auto table = create<TableView>(Rect{0, 64, 320, 504}, TableViewStylePlain);
        table->setDelegate(list);
        table->setDataSource(list);
        window->addSubview(table);
        table->reloadData();
        return table;
    }
    // Every visible cell sits on its row and shows it.
    static void expectCellsMatchRows(const std::shared_ptr<TableView>& table) {
        for (auto& ip : table->indexPathsForVisibleRows()) {
            auto cell = table->cellForRowAtIndexPath(ip);
            ASSERT_TRUE(cell);
            EXPECT_EQ(cell->textLabel()->text(), "row " + std::to_string(ip.row));
            EXPECT_EQ(cell->frame(), table->rectForRowAtIndexPath(ip));
            EXPECT_EQ(cell->superview(), table);
        }
    }

    std::shared_ptr<PullList> list;
    std::vector<std::string> staleMessages;
};

TEST_F(ScrollTableTest, ALongTableKeepsAScreenfulOfCellsFromTopToBottom) {
    list->heights = {40, 55, 70, 90};
    std::size_t before = TableViewCell::liveCount();
    auto table = makeTable(10000);
    double total = 2500 * (40 + 55 + 70 + 90);
    EXPECT_DOUBLE_EQ(table->contentSize().height, total);
    EXPECT_DOUBLE_EQ(table->contentSize().width, 320);

    // At most ceil(504 / 40) + 1 rows can show at once.
    const std::size_t screenful = 14;
    std::size_t mostVisible = 0, mostLive = 0;
    auto check = [&] {
        mostVisible = std::max(mostVisible, table->visibleCells().size());
        mostLive = std::max(mostLive, TableViewCell::liveCount() - before);
    };
    // Scroll down by finger in large drags, then by offsets in odd steps.
    for (int i = 0; i < 40; ++i) {
        table->simulateDrag(Point{0, -430}, 5);
        check();
    }
    expectCellsMatchRows(table);
    for (double y = table->contentOffset().y; y < total - 504; y += 137) {
        table->setContentOffset(Point{0, y});
        check();
    }
    table->setContentOffset(table->maximumContentOffset());
    check();
    expectCellsMatchRows(table);
    EXPECT_TRUE(table->cellForRowAtIndexPath(IndexPath{0, 9999}));
    EXPECT_FALSE(table->cellForRowAtIndexPath(IndexPath{0, 0}));
    EXPECT_LE(mostVisible, screenful);
    EXPECT_LE(mostLive, screenful + 3);
    EXPECT_LE(list->made, static_cast<int>(screenful + 3));
    EXPECT_TRUE(staleMessages.empty());

    // A jump back to the top reuses the same cells.
    int made = list->made;
    table->setContentOffset(Point{0, 0});
    expectCellsMatchRows(table);
    EXPECT_EQ(list->made, made);
    table.reset();
}

TEST_F(ScrollTableTest, GeometryHeaderFooterAndRowLookup) {
    list->heights = {40, 60};
    auto header = create<View>(Rect{0, 0, 100, 120});
    auto table = makeTable(5);
    table->setTableHeaderView(header);
    EXPECT_EQ(header->frame(), Rect(0, 0, 320, 120));
    EXPECT_EQ(table->rectForRowAtIndexPath(IndexPath{0, 0}), Rect(0, 120, 320, 40));
    EXPECT_EQ(table->rectForRowAtIndexPath(IndexPath{0, 3}), Rect(0, 260, 320, 60));
    EXPECT_EQ(table->cellForRowAtIndexPath(IndexPath{0, 0})->frame().origin.y, 120);
    EXPECT_DOUBLE_EQ(table->contentSize().height, 120 + 240);
    EXPECT_EQ(table->indexPathForRowAtPoint(Point{10, 125}), (IndexPath{0, 0}));
    EXPECT_EQ(table->indexPathForRowAtPoint(Point{10, 330}), (IndexPath{0, 4}));
    EXPECT_FALSE(table->indexPathForRowAtPoint(Point{10, 50}));   // the header
    EXPECT_FALSE(table->indexPathForRowAtPoint(Point{10, 400}));  // below the rows

    auto footer = create<View>(Rect{0, 0, 320, 30});
    table->setTableFooterView(footer);
    EXPECT_EQ(footer->frame(), Rect(0, 360, 320, 30));
    EXPECT_DOUBLE_EQ(table->contentSize().height, 390);

    // Rows appear with reloadData, not before; cells are made 320 x 44.
    list->rows.push_back("row 5");
    EXPECT_EQ(table->numberOfRowsInSection(0), 5);
    table->reloadData();
    EXPECT_EQ(table->numberOfRowsInSection(0), 6);
    auto fresh = create<TableViewCell>(TableViewCellStyleSubtitle, "x");
    EXPECT_EQ(fresh->frame(), Rect(0, 0, 320, 44));
    EXPECT_EQ(fresh->contentView()->frame(), Rect(0, 0, 320, 44));
    ASSERT_TRUE(fresh->detailTextLabel());
    EXPECT_FALSE(create<TableViewCell>(TableViewCellStyleDefault, "y")->detailTextLabel());
    fresh->setAccessoryType(TableViewCellAccessoryDisclosureIndicator);
    fresh->layoutIfNeeded();
    EXPECT_LT(fresh->contentView()->frame().size.width, 320);
}

TEST_F(ScrollTableTest, ARowTheDataSourceNoLongerHasIsReportedNotRead) {
    auto table = makeTable(30);
    list->rows.clear();  // emptied before the reload, as a refresh does
    table->setContentOffset(Point{0, 700});
    EXPECT_FALSE(staleMessages.empty());
    EXPECT_NE(staleMessages.front().find("reloadData"), std::string::npos);
    EXPECT_FALSE(table->visibleCells().empty());  // empty stand-ins, nothing read
    staleMessages.clear();
    table->reloadData();
    EXPECT_TRUE(table->visibleCells().empty());
    EXPECT_DOUBLE_EQ(table->contentSize().height, 0);
    EXPECT_TRUE(staleMessages.empty());

    // Under the test driver's own handler the test fails loudly; the table still works after.
    driver = std::make_unique<TestDriver>();
    for (int i = 0; i < 30; ++i) list->rows.push_back("row " + std::to_string(i));
    table->setContentOffset(Point{0, 0});
    table->reloadData();
    list->rows.clear();
    EXPECT_THROW(table->setContentOffset(Point{0, 700}), StaleRowError);
    list->rows = {"row 0"};
    table->reloadData();
    table->setContentOffset(Point{0, 0});
    EXPECT_EQ(table->visibleCells().size(), 1u);
}

TEST_F(ScrollTableTest, TouchingARowSelectsIt) {
    auto table = makeTable(20);
    auto cell = table->cellForRowAtIndexPath(IndexPath{0, 2});
    driver->tap(cell->textLabel());
    EXPECT_EQ(list->selected, (std::vector<long>{2}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{0, 2}));
    EXPECT_TRUE(cell->isSelected());

    // A drag over the rows is no touch on them.
    driver->drag(cell, Point{0, -100});
    EXPECT_EQ(list->selected.size(), 1u);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 100);

    // A row off screen is scrolled to first.
    EXPECT_TRUE(table->tapRowAtIndexPath(IndexPath{0, 15}));
    EXPECT_TRUE(table->cellForRowAtIndexPath(IndexPath{0, 15}));
    EXPECT_EQ(list->selected.back(), 15);
    EXPECT_FALSE(table->tapRowAtIndexPath(IndexPath{0, 20}));
    table->deselectRowAtIndexPath(IndexPath{0, 15}, true);
    EXPECT_FALSE(table->indexPathForSelectedRow());
}

TEST_F(ScrollTableTest, PullingDownPastSixtyFivePointsRefreshes) {
    auto table = makeTable(3);  // shorter than the table: it still bounces
    table->simulateDrag(Point{0, 64});
    EXPECT_EQ(list->refreshes, 0);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 0);  // sprang back
    EXPECT_EQ(list->releases, 1);
    EXPECT_FALSE(list->lastDecelerate);

    table->beginDragging();
    table->dragBy(Point{0, 40});
    EXPECT_FALSE(list->headerPulling);
    table->dragBy(Point{0, 26});
    EXPECT_TRUE(list->headerPulling);
    EXPECT_TRUE(table->isDragging());
    EXPECT_DOUBLE_EQ(table->contentOffset().y, -66);
    table->endDragging();
    EXPECT_FALSE(table->isDragging());
    EXPECT_EQ(list->refreshes, 1);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, -60);  // held by the inset the delegate set

    // While loading, another pull does not trigger.
    table->simulateDrag(Point{0, 90});
    EXPECT_EQ(list->refreshes, 1);
    list->loading = false;
    table->setContentInset(EdgeInsets{});
    table->setContentOffset(Point{0, 0});

    // A finger does the same through the scroll view's pan.
    driver->drag(table, Point{0, 100});
    EXPECT_EQ(list->refreshes, 2);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, -60);
}

TEST_F(ScrollTableTest, PullingUpPastTheEndLoadsMore) {
    auto table = makeTable(20);  // 1400 high in a 504 view: the end is at offset 896
    table->setContentOffset(table->maximumContentOffset());
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 896);
    table->simulateDragTo(Point{0, 896 + 65});
    EXPECT_EQ(list->loadMores, 0);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 896);
    table->simulateDrag(Point{0, -66});
    EXPECT_EQ(list->loadMores, 1);
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 896 + 65);  // the bottom inset holds it
}

TEST_F(ScrollTableTest, PagingSettlesOnPagesAndDisabledScrollingIgnoresDrags) {
    auto pages = create<ScrollView>(Rect{0, 0, 320, 200});
    pages->setContentSize(Size{320 * 3, 200});
    pages->setPagingEnabled(true);
    pages->setShowsHorizontalScrollIndicator(false);
    pages->setDelegate(list);
    window->addSubview(pages);

    pages->simulateDrag(Point{-170, 30});  // vertical movement: nothing to scroll that way
    EXPECT_EQ(pages->contentOffset(), (Point{320, 0}));
    EXPECT_TRUE(list->lastDecelerate);
    EXPECT_EQ(list->decelerations, 1);
    pages->simulateDrag(Point{-100, 0});  // not past half a page: back
    EXPECT_EQ(pages->contentOffset(), (Point{320, 0}));
    pages->simulateDrag(Point{-2000, 0});  // beyond the last page: the last page
    EXPECT_EQ(pages->contentOffset(), (Point{640, 0}));

    pages->setScrollEnabled(false);
    int scrolls = list->scrolls;
    pages->simulateDrag(Point{500, 0});
    driver->drag(pages, Point{200, 0});
    EXPECT_EQ(pages->contentOffset(), (Point{640, 0}));
    EXPECT_EQ(list->scrolls, scrolls);
    pages->setContentOffset(Point{0, 0});  // code may still move it
    EXPECT_EQ(list->scrolls, scrolls + 1);
}

TEST_F(ScrollTableTest, OffsetsAnimationsAndVisibleRectangles) {
    auto scroll = create<ScrollView>(Rect{0, 64, 320, 400});
    scroll->setContentSize(Size{320, 1000});
    scroll->setDelegate(list);
    window->addSubview(scroll);

    scroll->setContentOffset(Point{0, 250}, true);
    EXPECT_EQ(scroll->contentOffset(), (Point{0, 250}));  // exact at once
    EXPECT_EQ(scroll->bounds().origin, (Point{0, 250}));
    EXPECT_EQ(list->animations, 0);
    driver->runPending();
    EXPECT_EQ(list->animations, 1);

    scroll->scrollRectToVisible(Rect{0, 900, 10, 50}, false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 550);
    scroll->scrollRectToVisible(Rect{0, 600, 10, 10}, false);  // already visible
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 550);
    scroll->setContentInset(EdgeInsets{60, 0, 0, 0});
    scroll->scrollRectToVisible(Rect{0, 0, 1, 1}, false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, 0);
    scroll->scrollRectToVisible(Rect{0, -60, 1, 1}, false);
    EXPECT_DOUBLE_EQ(scroll->contentOffset().y, -60);

    // Content shorter than the view does not move vertically unless told to bounce.
    auto small = create<ScrollView>(Rect{0, 0, 320, 400});
    small->setContentSize(Size{320, 100});
    window->addSubview(small);
    small->simulateDrag(Point{0, 100});
    EXPECT_EQ(small->contentOffset(), (Point{0, 0}));
    small->setAlwaysBounceVertical(true);
    small->beginDragging();
    small->dragBy(Point{0, 100});
    EXPECT_DOUBLE_EQ(small->contentOffset().y, -100);
    small->endDragging();
    EXPECT_DOUBLE_EQ(small->contentOffset().y, 0);
}

}  // namespace
