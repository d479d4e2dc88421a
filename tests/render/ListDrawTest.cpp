#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "uikit/TableView.h"

using namespace ui;
using namespace rendertest;
using render::Pixel;

namespace {

using ListDrawTest = RenderTest;

// A thousand rows of 50 points, each with its number as its text; the
// third row is dark so its place can be found on screen.
class Rows : public TableViewDataSource, public TableViewDelegate {
public:
    long tableView_numberOfRowsInSection(const std::shared_ptr<TableView>&, long) override { return 1000; }
    std::shared_ptr<TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<TableView>& tv,
                                                                   const IndexPath& ip) override {
        auto cell = tv->dequeueReusableCellWithIdentifier("row");
        if (!cell) cell = create<TableViewCell>(TableViewCellStyleDefault, "row");
        cell->textLabel()->setText("第" + std::to_string(ip.row) + "条 新闻标题");
        cell->setBackgroundColor(ip.row == 2 ? Color::blackColor() : Color::whiteColor());
        cell->setAccessoryType(TableViewCellAccessoryDisclosureIndicator);
        return cell;
    }
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) override {
        return 50;
    }
};

TEST_F(ListDrawTest, TableDrawsTheRowsAtItsOffset) {
    auto rows = std::make_shared<Rows>();
    auto table = create<TableView>(Rect{0, 64, 320, 504});
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    table->reloadData();
    auto c = shot("table-top");
    // Row 2 spans 64 + 100 .. 64 + 150.
    EXPECT_EQ(at(*c, 200, 64 + 125), kBlack);
    EXPECT_EQ(at(*c, 200, 64 + 95), kWhite);
    // Every visible row has its text, and a separator under it.
    for (int r = 0; r < 10; ++r) {
        if (r == 2) continue;
        EXPECT_GT(inkCount(*c, Rect{0, 64 + r * 50.0, 200, 50}, kWhite), 40) << r;
    }
    Pixel sep = c->pixel(200, static_cast<int>((64 + 50) * 2 - 1));
    EXPECT_LT(sep.r, 240);

    table->setContentOffset(Point{0, 60});
    auto moved = shot("table-scrolled");
    EXPECT_EQ(at(*moved, 200, 64 + 65), kBlack);  // row 2 now at 40 .. 90 in the table
    EXPECT_EQ(at(*moved, 200, 64 + 35), kWhite);
    // Only cells for the rows on screen exist (and nothing beyond the table's frame is drawn).
    EXPECT_LE(table->visibleCells().size(), 12u);
    EXPECT_EQ(inkCount(*moved, Rect{0, 20, 320, 44}, kWhite), 0);

    table->setContentOffset(Point{0, 50 * 1000 - 504});
    auto end = shot("table-end");
    EXPECT_GT(inkCount(*end, Rect{0, 568 - 50, 250, 50}, kWhite), 40);
}

TEST_F(ListDrawTest, ScrollViewShiftsItsContent) {
    auto scroll = create<ScrollView>(Rect{20, 100, 200, 200});
    scroll->setContentSize(Size{200, 1000});
    scroll->setClipsToBounds(true);
    auto marker = create<View>(Rect{0, 300, 200, 50});
    marker->setBackgroundColor(Color::redColor());
    scroll->addSubview(marker);
    window->addSubview(scroll);
    EXPECT_EQ(at(*shot(), 100, 250), kWhite);
    scroll->setContentOffset(Point{0, 180});
    auto c = shot();
    EXPECT_EQ(at(*c, 100, 100 + 125), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(at(*c, 100, 100 + 115), kWhite);
}

}  // namespace
