#include "uikit/TableView.h"

#include <algorithm>
#include <mutex>

#include "foundation/Format.h"
#include "foundation/Log.h"

namespace ui {

namespace {

std::mutex& handlerMutex() {
    static std::mutex m;
    return m;
}

TableView::StaleRowHandler& staleHandler() {
    static TableView::StaleRowHandler h;
    return h;
}

void reportStaleRow(const std::string& message) {
    TableView::StaleRowHandler h;
    {
        std::lock_guard<std::mutex> lock(handlerMutex());
        h = staleHandler();
    }
    if (h) {
        h(message);
    } else {
        ns::NSLog("%@", message);
    }
}

// A reuse queue keeps at most this many cells per identifier.
constexpr std::size_t kMaxQueued = 32;

}  // namespace

double TableViewDelegate::tableView_heightForRowAtIndexPath(const std::shared_ptr<TableView>& tableView,
                                                            const IndexPath&) {
    return tableView ? tableView->rowHeight() : 44;
}

void TableView::setStaleRowHandler(StaleRowHandler handler) {
    std::lock_guard<std::mutex> lock(handlerMutex());
    staleHandler() = std::move(handler);
}

void TableView::init(const Rect& frame, TableViewStyle style) {
    ScrollView::init(frame);
    style_ = style;
    setAlwaysBounceVertical(true);
    setBackgroundColor(Color::whiteColor());
}

std::shared_ptr<TableView> TableView::selfTable() { return sharedAs<TableView>(); }

void TableView::setDelegate(const std::shared_ptr<TableViewDelegate>& d) {
    tableDelegate_ = d;
    ScrollView::setDelegate(d);
}

void TableView::setRowHeight(double h) { rowHeight_ = h; }

// ---- Header, footer, background ----

void TableView::setTableHeaderView(const std::shared_ptr<View>& view) {
    if (headerView_ && headerView_ != view) headerView_->removeFromSuperview();
    headerView_ = view;
    if (view) addSubview(view);
    if (loaded_) {
        double top = headerView_ ? headerView_->frame().size.height : 0;
        double delta = top - rowsTop_;
        rowsTop_ = top;
        for (auto& [ip, cell] : visible_) {
            Rect f = cell->frame();
            cell->setFrame(f.offsetBy(0, delta));
        }
        placeHeaderAndFooter();
        tile();
    } else if (view) {
        view->setFrame(Rect(0, 0, bounds().size.width, view->frame().size.height));
    }
}

void TableView::setTableFooterView(const std::shared_ptr<View>& view) {
    if (footerView_ && footerView_ != view) footerView_->removeFromSuperview();
    footerView_ = view;
    if (view) addSubview(view);
    if (loaded_) placeHeaderAndFooter();
}

void TableView::setBackgroundView(const std::shared_ptr<View>& view) {
    if (backgroundView_ && backgroundView_ != view) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) {
        insertSubview(view, 0);
        view->setFrame(bounds());
    }
}

void TableView::placeHeaderAndFooter() {
    double width = bounds().size.width;
    double end = rowsTop_;
    if (!sections_.empty()) end = rowsTop_ + sections_.back().offsets.back();
    if (headerView_) headerView_->setFrame(Rect(0, 0, width, headerView_->frame().size.height));
    double footer = 0;
    if (footerView_) {
        footer = footerView_->frame().size.height;
        footerView_->setFrame(Rect(0, end, width, footer));
    }
    setContentSize(Size{width, end + footer});
    if (backgroundView_) backgroundView_->setFrame(bounds());
}

// ---- Loading ----

void TableView::ensureLoaded() {
    if (!loaded_) reloadData();
}

void TableView::reloadData() {
    auto keep = selfTable();
    loaded_ = true;
    for (auto& [ip, cell] : visible_) recycle(cell);
    visible_.clear();
    selected_.reset();
    computeGeometry();
    tile();
}

void TableView::computeGeometry() {
    auto me = selfTable();
    auto ds = dataSource();
    auto d = delegate();
    sections_.clear();
    rowsTop_ = headerView_ ? headerView_->frame().size.height : 0;
    long count = ds ? std::max(0L, ds->numberOfSectionsInTableView(me)) : 0;
    double y = 0;
    for (long s = 0; s < count; ++s) {
        Section sec;
        sec.rows = std::max(0L, ds->tableView_numberOfRowsInSection(me, s));
        sec.offsets.reserve(static_cast<std::size_t>(sec.rows) + 1);
        for (long r = 0; r < sec.rows; ++r) {
            sec.offsets.push_back(y);
            double h = d ? d->tableView_heightForRowAtIndexPath(me, IndexPath{s, r}) : rowHeight_;
            y += std::max(0.0, h);
        }
        sec.offsets.push_back(y);
        sections_.push_back(std::move(sec));
    }
    placeHeaderAndFooter();
}

long TableView::numberOfSections() {
    ensureLoaded();
    return static_cast<long>(sections_.size());
}

long TableView::numberOfRowsInSection(long section) {
    ensureLoaded();
    if (section < 0 || section >= static_cast<long>(sections_.size())) return 0;
    return sections_[static_cast<std::size_t>(section)].rows;
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& ip) {
    ensureLoaded();
    if (ip.section < 0 || ip.section >= static_cast<long>(sections_.size())) return Rect();
    const Section& s = sections_[static_cast<std::size_t>(ip.section)];
    if (ip.row < 0 || ip.row >= s.rows) return Rect();
    double top = s.offsets[static_cast<std::size_t>(ip.row)];
    double bottom = s.offsets[static_cast<std::size_t>(ip.row) + 1];
    return Rect(0, rowsTop_ + top, bounds().size.width, bottom - top);
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point p) {
    ensureLoaded();
    double y = p.y - rowsTop_;
    for (std::size_t si = 0; si < sections_.size(); ++si) {
        const Section& s = sections_[si];
        if (s.rows == 0 || y < s.offsets.front() || y >= s.offsets.back()) continue;
        auto it = std::upper_bound(s.offsets.begin(), s.offsets.end(), y);
        long row = static_cast<long>(it - s.offsets.begin()) - 1;
        if (row >= 0 && row < s.rows) return IndexPath{static_cast<long>(si), row};
    }
    return std::nullopt;
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& ip) {
    ensureLoaded();
    auto it = visible_.find(ip);
    return it == visible_.end() ? nullptr : it->second;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const {
    for (const auto& [ip, c] : visible_) {
        if (c.get() == cell) return ip;
    }
    return std::nullopt;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() const {
    std::vector<std::shared_ptr<TableViewCell>> out;
    for (const auto& [ip, c] : visible_) out.push_back(c);
    return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() const {
    std::vector<IndexPath> out;
    for (const auto& [ip, c] : visible_) out.push_back(ip);
    return out;
}

void TableView::scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition position, bool animated) {
    Rect r = rectForRowAtIndexPath(ip);
    if (r.isEmpty() && r.origin == Point{}) return;
    double h = bounds().size.height;
    Point o = contentOffset();
    switch (position) {
        case TableViewScrollPositionTop: o.y = r.minY(); break;
        case TableViewScrollPositionMiddle: o.y = r.midY() - h / 2; break;
        case TableViewScrollPositionBottom: o.y = r.maxY() - h; break;
        case TableViewScrollPositionNone: scrollRectToVisible(r, animated); return;
    }
    Point min = minimumContentOffset(), max = maximumContentOffset();
    o.y = std::clamp(o.y, min.y, max.y);
    setContentOffset(o, animated);
}

// ---- Cells ----

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
    auto it = reuse_.find(identifier);
    if (it == reuse_.end() || it->second.empty()) return nullptr;
    auto cell = it->second.back();
    it->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

std::size_t TableView::reusableCellCount() const {
    std::size_t n = 0;
    for (const auto& [id, cells] : reuse_) n += cells.size();
    return n;
}

void TableView::recycle(const std::shared_ptr<TableViewCell>& cell) {
    cell->removeFromSuperview();
    if (cell->reuseIdentifier().empty()) return;
    auto& queue = reuse_[cell->reuseIdentifier()];
    if (queue.size() < kMaxQueued) queue.push_back(cell);
}

std::shared_ptr<TableViewCell> TableView::makeCell(const IndexPath& ip) {
    auto me = selfTable();
    auto ds = dataSource();
    long rows = ds ? ds->tableView_numberOfRowsInSection(me, ip.section) : 0;
    std::shared_ptr<TableViewCell> cell;
    if (ip.row >= rows) {
        reportStaleRow(ns::format("UITableView: row %ld of section %ld is shown, but the data source now has %ld "
                                  "rows; call reloadData after changing the rows",
                                  ip.row, ip.section, rows));
    } else {
        cell = ds->tableView_cellForRowAtIndexPath(me, ip);
        if (!cell) {
            reportStaleRow(ns::format("UITableView: the data source gave no cell for row %ld of section %ld", ip.row,
                                      ip.section));
        }
    }
    if (!cell) cell = create<TableViewCell>(TableViewCellStyleDefault, std::string());
    return cell;
}

void TableView::tile() {
    if (tiling_ || !loaded_) return;
    tiling_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{tiling_};
    auto keep = selfTable();
    double width = bounds().size.width;
    double top = contentOffset().y - rowsTop_;
    double bottom = top + bounds().size.height;

    std::vector<IndexPath> wanted;
    for (std::size_t si = 0; si < sections_.size(); ++si) {
        const Section& s = sections_[si];
        if (s.rows == 0) continue;
        // First row whose bottom is below the top edge; stop at the bottom edge.
        auto first = std::upper_bound(s.offsets.begin() + 1, s.offsets.end(), top);
        for (auto it = first; it != s.offsets.end(); ++it) {
            long row = static_cast<long>(it - s.offsets.begin()) - 1;
            if (row >= s.rows || s.offsets[static_cast<std::size_t>(row)] >= bottom) break;
            wanted.push_back(IndexPath{static_cast<long>(si), row});
        }
    }
    // Rows that left: their cells go to the reuse queues first, so the rows
    // that arrive can take them.
    for (auto it = visible_.begin(); it != visible_.end();) {
        if (!std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            auto cell = it->second;
            it = visible_.erase(it);
            recycle(cell);
        } else {
            ++it;
        }
    }
    auto d = delegate();
    for (const IndexPath& ip : wanted) {
        const Section& s = sections_[static_cast<std::size_t>(ip.section)];
        double y = rowsTop_ + s.offsets[static_cast<std::size_t>(ip.row)];
        double h = s.offsets[static_cast<std::size_t>(ip.row) + 1] - s.offsets[static_cast<std::size_t>(ip.row)];
        auto found = visible_.find(ip);
        if (found != visible_.end()) {
            if (found->second->frame() != Rect(0, y, width, h)) found->second->setFrame(Rect(0, y, width, h));
            continue;
        }
        auto cell = makeCell(ip);
        cell->setFrame(Rect(0, y, width, h));
        cell->setSelected(selected_ && *selected_ == ip, false);
        insertSubview(cell, backgroundView_ ? 1 : 0);
        visible_[ip] = cell;
        if (d) d->tableView_willDisplayCell_forRowAtIndexPath(keep, cell, ip);
    }
}

void TableView::contentOffsetDidChange() { tile(); }

void TableView::setFrame(const Rect& frame) {
    Size old = this->frame().size;
    ScrollView::setFrame(frame);
    if (loaded_ && frame.size != old) {
        placeHeaderAndFooter();
        tile();
    }
}

void TableView::setBounds(const Rect& b) {
    Size old = bounds().size;
    ScrollView::setBounds(b);
    if (loaded_ && b.size != old) {
        placeHeaderAndFooter();
        tile();
    }
}

void TableView::layoutSubviews() {
    ScrollView::layoutSubviews();
    ensureLoaded();
    tile();
}

void TableView::didMoveToWindow() {
    ScrollView::didMoveToWindow();
    if (window()) ensureLoaded();
}

// ---- Selection ----

void TableView::selectRowAtIndexPath(const IndexPath& ip, bool animated, TableViewScrollPosition position) {
    ensureLoaded();
    if (selected_) {
        if (auto old = cellForRowAtIndexPath(*selected_)) old->setSelected(false, animated);
    }
    selected_ = ip;
    if (auto cell = cellForRowAtIndexPath(ip)) cell->setSelected(true, animated);
    if (position != TableViewScrollPositionNone) scrollToRowAtIndexPath(ip, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& ip, bool animated) {
    if (selected_ && *selected_ == ip) selected_.reset();
    if (auto cell = cellForRowAtIndexPath(ip)) cell->setSelected(false, animated);
}

bool TableView::tapRowAtIndexPath(const IndexPath& ip) {
    ensureLoaded();
    if (ip.section < 0 || ip.section >= static_cast<long>(sections_.size())) return false;
    if (ip.row < 0 || ip.row >= sections_[static_cast<std::size_t>(ip.section)].rows) return false;
    if (!allowsSelection_) return true;
    auto keep = selfTable();
    scrollToRowAtIndexPath(ip, TableViewScrollPositionNone, false);
    selectRowAtIndexPath(ip, false, TableViewScrollPositionNone);
    if (auto d = delegate()) d->tableView_didSelectRowAtIndexPath(keep, ip);
    return true;
}

void TableView::touchesEnded(const TouchSet& touches, Event* event) {
    auto touch = touches.anyObject();
    if (!touch || isDragging()) {
        ScrollView::touchesEnded(touches, event);
        return;
    }
    Point p = touch->locationInView(this);
    if (auto ip = indexPathForRowAtPoint(p)) {
        tapRowAtIndexPath(*ip);
    } else {
        ScrollView::touchesEnded(touches, event);
    }
}

}  // namespace ui
