#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/widgets/PullRefresh/PullRefreshTableFooterView.h"
#include "app/widgets/PullRefresh/PullRefreshTableHeaderView.h"
#include "foundation/UserDefaults.h"
#include "uikit/TableView.h"

namespace {

using PullRefreshTest = widgettest::WidgetTest;
using Triggers = std::vector<PullRefreshPos>;

constexpr ns::Date kUpdated{1400000000};  // 2014-05-14 00:53:20 in Shanghai

// A list as the module screens build it: 70-point rows in a 504-point table,
// a header above and a footer below, the scroll callbacks passed to both.
class List : public ui::Object, public ui::TableViewDataSource, public ui::TableViewDelegate,
             public PullRefreshTableDelegate {
public:
    void build(long rowCount) {
        rows = rowCount;
        table = ui::create<ui::TableView>(ui::Rect{0, 64, 320, 504}, ui::TableViewStylePlain);
        table->setRowHeight(70);
        table->setDataSource(sharedAs<ui::TableViewDataSource>());
        table->setDelegate(sharedAs<ui::TableViewDelegate>());
        table->reloadData();
        header = ui::create<PullRefreshTableHeaderView>(ui::Rect{0, -568, 320, 568});
        footer = ui::create<PullRefreshTableFooterView>(ui::Rect{0, std::max(70.0 * rows, 504.0), 320, 568});
        for (auto v : {std::static_pointer_cast<PullRefreshView>(header), std::static_pointer_cast<PullRefreshView>(footer)}) {
            v->setDelegate(sharedAs<PullRefreshTableDelegate>());
            table->addSubview(v);
            v->refreshLastUpdatedDate();
        }
    }
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) override { return rows; }
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                       const ui::IndexPath&) override {
        return ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "Cell");
    }
    void scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& sv) override {
        header->pullRefreshScrollViewDidScroll(sv);
        footer->pullRefreshScrollViewDidScroll(sv);
    }
    void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& sv, bool) override {
        header->pullRefreshScrollViewDidEndDragging(sv);
        footer->pullRefreshScrollViewDidEndDragging(sv);
    }
    void pullRefreshTableDidTriggerRefresh(PullRefreshPos position) override {
        triggers.push_back(position);
        reloading = true;
    }
    bool pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>&) override { return reloading; }
    ns::Date pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>&) override { return kUpdated; }

    void finish() {
        reloading = false;
        header->pullRefreshScrollViewDataSourceDidFinishedLoading(table);
        footer->pullRefreshScrollViewDataSourceDidFinishedLoading(table);
    }
    // Drags the table's bottom edge the given distance past its end and lets go.
    void pullUp(double beyond) {
        double end = std::max(table->contentSize().height, 504.0) - 504;
        table->simulateDrag(ui::Point{0, -(end - table->contentOffset().y + beyond)});
    }

    long rows = 0;
    bool reloading = false;
    Triggers triggers;
    std::shared_ptr<ui::TableView> table;
    std::shared_ptr<PullRefreshTableHeaderView> header;
    std::shared_ptr<PullRefreshTableFooterView> footer;
};

std::shared_ptr<List> makeList(long rows) {
    auto list = std::make_shared<List>();
    list->build(rows);
    return list;
}

TEST_F(PullRefreshTest, HeaderTriggersAtSixtyFivePointsAndHoldsSixty) {
    auto list = makeList(20);
    list->table->simulateDrag(ui::Point{0, 64});
    EXPECT_TRUE(list->triggers.empty());
    EXPECT_EQ(list->table->contentOffset().y, 0);

    // Pulled far enough, then back under the mark: the release starts nothing.
    list->table->beginDragging();
    list->table->dragBy(ui::Point{0, 80});
    EXPECT_EQ(list->header->state(), PullRefreshPulling);
    list->table->dragBy(ui::Point{0, -20});
    EXPECT_EQ(list->header->state(), PullRefreshNormal);
    list->table->endDragging();
    EXPECT_TRUE(list->triggers.empty());

    list->table->simulateDrag(ui::Point{0, 65});
    EXPECT_EQ(list->triggers, Triggers{PullRefreshHeader});
    EXPECT_EQ(list->header->state(), PullRefreshLoading);
    EXPECT_EQ(list->table->contentInset().top, 60);
    EXPECT_EQ(list->table->contentOffset().y, -60);  // held open while loading

    list->finish();
    EXPECT_EQ(list->table->contentInset().top, 0);
    EXPECT_EQ(list->table->contentOffset().y, 0);
    EXPECT_EQ(list->header->state(), PullRefreshNormal);
}

TEST_F(PullRefreshTest, FooterTriggersBeyondSixtyFivePointsPastTheRows) {
    auto list = makeList(20);  // 1400 points of rows
    list->pullUp(65);
    EXPECT_TRUE(list->triggers.empty());
    EXPECT_EQ(list->table->contentOffset().y, 1400 - 504);

    list->pullUp(66);
    EXPECT_EQ(list->triggers, Triggers{PullRefreshFooter});
    EXPECT_EQ(list->footer->state(), PullRefreshLoading);
    EXPECT_EQ(list->header->state(), PullRefreshNormal);
    EXPECT_EQ(list->table->contentInset().bottom, 65);
    EXPECT_EQ(list->table->contentOffset().y, 1400 - 504 + 65);

    list->finish();
    EXPECT_EQ(list->table->contentInset().bottom, 0);
    EXPECT_EQ(list->table->contentOffset().y, 1400 - 504);

    // A short list counts from the table's bottom, not from its last row.
    auto few = makeList(3);
    few->table->setAlwaysBounceVertical(true);
    few->table->simulateDrag(ui::Point{0, -30});
    few->table->simulateDrag(ui::Point{0, 30});
    EXPECT_TRUE(few->triggers.empty());
    few->table->simulateDrag(ui::Point{0, -70});
    EXPECT_EQ(few->triggers, Triggers{PullRefreshFooter});
}

TEST_F(PullRefreshTest, ReleaseWhileLoadingStartsNothing) {
    auto list = makeList(20);
    list->reloading = true;
    list->table->simulateDrag(ui::Point{0, 120});
    list->pullUp(120);
    EXPECT_TRUE(list->triggers.empty());
    EXPECT_EQ(list->header->state(), PullRefreshNormal);
    EXPECT_EQ(list->table->contentInset(), ui::EdgeInsets{});

    // While the header loads, a pull-up does not start a second load.
    list->reloading = false;
    list->table->setContentOffset(ui::Point{0, 0});
    list->table->simulateDrag(ui::Point{0, 100});
    list->pullUp(100);
    EXPECT_EQ(list->triggers, Triggers{PullRefreshHeader});
}

TEST_F(PullRefreshTest, LastUpdatedShowsTheDelegatesDateAndKeepsIt) {
    auto list = makeList(5);
    EXPECT_EQ(list->header->lastUpdatedLabel->text(), "Last Updated: 2014-05-14 00:53");
    auto stored = ns::UserDefaults::standardUserDefaults()->objectForKey("PullRefreshTableView_LastRefresh");
    EXPECT_EQ(stored.date(), kUpdated);
}

}  // namespace
