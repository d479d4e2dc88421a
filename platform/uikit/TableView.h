// Table views: rows from a data source in cells that are reused as they
// scroll, so only the rows on screen have cells in the table.
//
//   table = ui::create<ui::TableView>(ui::Rect{0, 64, w, h - 64}, ui::TableViewStylePlain);
//   table->setDelegate(sharedAs<ui::TableViewDelegate>());
//   table->setDataSource(sharedAs<ui::TableViewDataSource>());
//   table->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
//
//   std::shared_ptr<ui::TableViewCell> Screen::tableView_cellForRowAtIndexPath(
//           const std::shared_ptr<ui::TableView>& tv, const ui::IndexPath& ip) {
//       auto cell = std::dynamic_pointer_cast<SSXWCell>(tv->dequeueReusableCellWithIdentifier("SSXWCell"));
//       if (!cell) cell = ui::create<SSXWCell>(ui::TableViewCellStyleDefault, "SSXWCell");
//       ...
//   }
//
// Rows are laid out from the heights the delegate gives (else rowHeight),
// below the header view and above the footer view; the content size follows.
// reloadData asks the data source again at once. Cells are asked for only
// for the rows that are visible; a cell whose row scrolls away goes to the
// reuse queue of its identifier, and dequeueReusableCellWithIdentifier hands
// it out again. The data source is asked for the row count before each cell,
// so a row that it no longer has is reported (see setStaleRowHandler) and
// shown as an empty cell, never read.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

#include "uikit/Color.h"
#include "uikit/ScrollView.h"
#include "uikit/TableViewCell.h"

namespace ui {

class TableView;

struct IndexPath {
    long section = 0;
    long row = 0;
    static IndexPath indexPathForRow(long row, long section) { return IndexPath{section, row}; }
    friend bool operator==(const IndexPath&, const IndexPath&) = default;
    friend auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

// What the test driver's stale-row handler throws.
struct StaleRowError : std::logic_error {
    using std::logic_error::logic_error;
};

enum TableViewStyle {
    TableViewStylePlain = 0,
    TableViewStyleGrouped,
};

enum TableViewCellSeparatorStyle {
    TableViewCellSeparatorStyleNone = 0,
    TableViewCellSeparatorStyleSingleLine,
    TableViewCellSeparatorStyleSingleLineEtched,
};

enum TableViewScrollPosition {
    TableViewScrollPositionNone = 0,
    TableViewScrollPositionTop,
    TableViewScrollPositionMiddle,
    TableViewScrollPositionBottom,
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual long numberOfSectionsInTableView(const std::shared_ptr<TableView>&) { return 1; }
    virtual long tableView_numberOfRowsInSection(const std::shared_ptr<TableView>&, long section) = 0;
    virtual std::shared_ptr<TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                                           const IndexPath&) = 0;
};

class TableViewDelegate : public ScrollViewDelegate {
public:
    // Not overridden: the table's rowHeight.
    virtual double tableView_heightForRowAtIndexPath(const std::shared_ptr<TableView>& tableView, const IndexPath&);
    virtual void tableView_willDisplayCell_forRowAtIndexPath(const std::shared_ptr<TableView>&,
                                                             const std::shared_ptr<TableViewCell>&, const IndexPath&) {}
    virtual void tableView_didSelectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {}
    virtual void tableView_didDeselectRowAtIndexPath(const std::shared_ptr<TableView>&, const IndexPath&) {}
};

class TableView : public ScrollView {
public:
    void init(const Rect& frame) override { init(frame, TableViewStylePlain); }
    // initWithFrame:style:
    virtual void init(const Rect& frame, TableViewStyle style);

    TableViewStyle style() const { return style_; }

    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<TableViewDataSource>& ds) { dataSource_ = ds; }
    std::shared_ptr<TableViewDelegate> delegate() const { return tableDelegate_.lock(); }
    // The delegate is also the scroll view's delegate.
    void setDelegate(const std::shared_ptr<TableViewDelegate>& d);

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h);
    TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(TableViewCellSeparatorStyle s) { separatorStyle_ = s; }
    Color separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const Color& c) { separatorColor_ = c; }
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool a) { allowsSelection_ = a; }

    std::shared_ptr<View> tableHeaderView() const { return headerView_; }
    void setTableHeaderView(const std::shared_ptr<View>& view);
    std::shared_ptr<View> tableFooterView() const { return footerView_; }
    void setTableFooterView(const std::shared_ptr<View>& view);
    std::shared_ptr<View> backgroundView() const { return backgroundView_; }
    void setBackgroundView(const std::shared_ptr<View>& view);

    // Asks the data source and the delegate again and shows the rows now visible.
    void reloadData();

    // ---- Rows ----
    long numberOfSections();
    long numberOfRowsInSection(long section);
    // Content coordinates.
    Rect rectForRowAtIndexPath(const IndexPath& ip);
    // The row under a point in content coordinates; nullopt between or beyond rows.
    std::optional<IndexPath> indexPathForRowAtPoint(Point p);
    // The cell of a visible row, or nullptr.
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const IndexPath& ip);
    std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
    std::vector<std::shared_ptr<TableViewCell>> visibleCells() const;
    std::vector<IndexPath> indexPathsForVisibleRows() const;
    void scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition position, bool animated);

    // ---- Reuse ----
    // A cell waiting for reuse with that identifier, or nullptr.
    std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // Cells waiting in the reuse queues.
    std::size_t reusableCellCount() const;

    // ---- Selection ----
    std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }
    void selectRowAtIndexPath(const IndexPath& ip, bool animated, TableViewScrollPosition position);
    void deselectRowAtIndexPath(const IndexPath& ip, bool animated);
    // A user's touch on the row: scrolled into view when needed, selected,
    // and reported to the delegate. False when there is no such row.
    bool tapRowAtIndexPath(const IndexPath& ip);

    // A touch that ends on a row without dragging selects it.
    void touchesEnded(const TouchSet& touches, Event* event) override;

    void setFrame(const Rect& frame) override;
    void setBounds(const Rect& bounds) override;
    void layoutSubviews() override;
    void didMoveToWindow() override;

    // What happens when a row the data source no longer has would be shown:
    // by default a line in the log (and an empty cell). The test driver
    // installs a handler that throws StaleRowError, failing the test.
    using StaleRowHandler = std::function<void(const std::string& message)>;
    static void setStaleRowHandler(StaleRowHandler handler);

protected:
    void contentOffsetDidChange() override;

private:
    struct Section {
        long rows = 0;
        std::vector<double> offsets;  // row tops, plus the end, in content coordinates
    };
    void ensureLoaded();
    void computeGeometry();
    void placeHeaderAndFooter();
    void tile();
    void recycle(const std::shared_ptr<TableViewCell>& cell);
    std::shared_ptr<TableViewCell> makeCell(const IndexPath& ip);
    std::shared_ptr<TableView> selfTable();

    TableViewStyle style_ = TableViewStylePlain;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> tableDelegate_;
    double rowHeight_ = 44;
    TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyleSingleLine;
    Color separatorColor_ = Color::colorWithRed(0.88, 0.88, 0.88, 1);
    bool allowsSelection_ = true;
    std::shared_ptr<View> headerView_, footerView_, backgroundView_;

    bool loaded_ = false;
    bool tiling_ = false;
    double rowsTop_ = 0;
    std::vector<Section> sections_;
    std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> reuse_;
    std::optional<IndexPath> selected_;
};

using TableViewPtr = std::shared_ptr<TableView>;

}  // namespace ui
