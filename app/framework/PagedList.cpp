#include "app/framework/PagedList.h"

#include <algorithm>

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/framework/BaseScreen.h"
#include "app/framework/SystemViewController.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"

namespace {

constexpr const char* kRefreshCall = "refreshView";
constexpr const char* kNextPageCall = "getNextPageView";
constexpr double kHeaderInset = 60;
constexpr double kHeaderShowDuration = 0.2;

}  // namespace

std::shared_ptr<PagedList> PagedList::create(Config config) { return ui::create<PagedList>(std::move(config)); }

void PagedList::attach(const std::shared_ptr<ui::ViewController>& screen, const Table& table,
                       const std::shared_ptr<VoVaClient>& client) {
    screen_ = screen;
    table_ = table;
    scroll_ = table;
    client_ = client;
    if (table) {
        table->setDataSource(sharedAs<ui::TableViewDataSource>());
        table->setDelegate(sharedAs<ui::TableViewDelegate>());
    }
}

void PagedList::attachGrid(const std::shared_ptr<ui::ViewController>& screen,
                           const std::shared_ptr<ui::ScrollView>& grid, const std::shared_ptr<VoVaClient>& client) {
    screen_ = screen;
    table_.reset();
    scroll_ = grid;
    client_ = client;
    if (grid) grid->setDelegate(sharedAs<ui::ScrollViewDelegate>());
}

void PagedList::prepare() {
    createHeaderView();
    setFooterView();
    ns::RunLoop::main().performAfterDelay(weakAs<PagedList>(), 0.0, [this] { testFinishedLoadData(); },
                                          "testFinishedLoadData");
}

void PagedList::start() {
    prepare();
    loadingData("1", config_.firstLoadOverlay);
}

void PagedList::restart() {
    ns::RunLoop::main().cancelPreviousPerformRequests(this, kNextPageCall);
    pageNo_ = 1;
    mdataArray_.removeAll();
    rowsChanged();
    loadingData("1", config_.firstLoadOverlay);
}

void PagedList::rowsChanged() {
    if (auto table = table_.lock()) {
        table->reloadData();
    } else if (auto grid = scroll_.lock(); grid && config_.layoutTiles) {
        config_.layoutTiles(*grid, mdataArray_);
    }
}

// ---- Replies ----

PagedList::Owner PagedList::ownerOf(const VoVaClient& client) const {
    auto request = client.replyRequest();
    if (!request) return Owner::Other;
    if (request == pending_) return Owner::Current;
    for (const auto& old : superseded_) {
        if (old.lock() == request) return Owner::Superseded;
    }
    return Owner::Other;
}

bool PagedList::handleSuccess(const VoVaClient& client, const std::string& result) {
    switch (ownerOf(client)) {
        case Owner::Other: return false;
        case Owner::Superseded: return true;
        case Owner::Current: break;
    }
    auto keep = sharedAs<PagedList>();
    pending_.reset();
    pendingPage_ = 0;
    if (auto screen = std::dynamic_pointer_cast<SystemViewController>(screen_.lock())) screen->loadingSuccess();
    if (config_.showsResult) {
        ProgressHUD::dismissWithSuccess(kSuccessStatus, "", static_cast<float>(config_.resultDelay));
    }
    if (!config_.replyLog.empty()) ns::NSLog(config_.replyLog, result);

    ns::Value reply = records::parse(result, config_.fragmentReply);
    ns::Value rows = records::list(reply);
    mdataArray_.append(rows);
    if (config_.pageLoaded) {
        config_.pageLoaded(reply, rows);
    } else if (auto source = config_.source.lock()) {
        source->pageLoaded();
    }
    rowsChanged();
    testFinishedLoadData();
    ProgressHUD::dismiss();
    return true;
}

bool PagedList::handleFailure(const VoVaClient& client, const ns::ErrorPtr&) {
    switch (ownerOf(client)) {
        case Owner::Other: return false;
        case Owner::Superseded: return true;
        case Owner::Current: break;
    }
    auto keep = sharedAs<PagedList>();
    // A next page that did not come is asked for again by the next pull-up.
    if (pendingPage_ > 1 && pageNo_ == pendingPage_) pageNo_ = pendingPage_ - 1;
    pending_.reset();
    pendingPage_ = 0;
    if (auto screen = std::dynamic_pointer_cast<SystemViewController>(screen_.lock())) screen->loadingFail();
    testFinishedLoadData();
    if (config_.showsResult) {
        ProgressHUD::dismissWithError(kFailureStatus, "", static_cast<float>(config_.resultDelay));
    }
    ProgressHUD::dismiss();
    return true;
}

// ---- Loading ----

void PagedList::loadingData(const std::string& page, bool overlay) {
    if (overlay) {
        if (auto scroll = scroll_.lock()) {
            BaseScreen::showProgressFor(*scroll, kLoadingStatus);
        } else {
            ProgressHUD::showWithTitle("", kLoadingStatus);
        }
    }
    auto client = client_.lock();
    auto source = config_.source.lock();
    if (!client || (!config_.request && !source)) return;

    // Only the newest page request counts; an older one still running is stopped.
    std::erase_if(superseded_, [](const auto& w) { return w.expired(); });
    if (pending_) {
        superseded_.push_back(pending_);
        pending_->cancel();
        pending_.reset();
    }
    auto before = client->runningRequest();
    if (config_.request) {
        config_.request(*client, page, config_.pageSize);
    } else {
        source->requestPage(*client, page, config_.pageSize);
    }
    auto started = client->runningRequest();
    if (started && started != before) {
        pending_ = started;
        pendingPage_ = static_cast<int>(ns::parseLeadingInteger(page));
    }
}

void PagedList::refreshView() {
    // A load-more still waiting out its pull delay would land after page 1
    // and leave the list showing page 2 alone.
    ns::RunLoop::main().cancelPreviousPerformRequests(this, kNextPageCall);
    pageNo_ = 1;
    mdataArray_.removeAll();
    // The table must not go on showing rows that are gone.
    rowsChanged();
    loadingData("1");
}

void PagedList::getNextPageView() {
    removeFooterView();
    pageNo_ += 1;
    loadingData(ns::format("%d", pageNo_));
}

void PagedList::beginToReloadData(PullRefreshPos position) {
    reloading_ = true;
    auto& loop = ns::RunLoop::main();
    if (position == PullRefreshHeader) {
        loop.performAfterDelay(weakAs<PagedList>(), config_.triggerDelay, [this] { refreshView(); }, kRefreshCall);
    } else if (position == PullRefreshFooter) {
        loop.performAfterDelay(weakAs<PagedList>(), config_.triggerDelay, [this] { getNextPageView(); },
                               kNextPageCall);
    }
}

void PagedList::finishReloadingData() {
    reloading_ = false;
    auto table = scroll_.lock();
    if (!table) return;
    if (header_) header_->pullRefreshScrollViewDataSourceDidFinishedLoading(table);
    if (footer_) {
        footer_->pullRefreshScrollViewDataSourceDidFinishedLoading(table);
        setFooterView();
    }
}

void PagedList::testFinishedLoadData() {
    finishReloadingData();
    setFooterView();
}

// ---- Refresh views ----

ui::Rect PagedList::hostBounds() const {
    if (auto screen = screen_.lock()) return screen->view()->bounds();
    if (auto scroll = scroll_.lock()) return scroll->bounds();
    return {};
}

void PagedList::createHeaderView() {
    auto table = scroll_.lock();
    if (!table) return;
    if (header_) header_->removeFromSuperview();
    ui::Rect bounds = hostBounds();
    header_ = ui::create<PullRefreshTableHeaderView>(
        ui::Rect{0, -bounds.size.height, bounds.size.width, bounds.size.height});
    header_->setDelegate(sharedAs<PullRefreshTableDelegate>());
    table->addSubview(header_);
    header_->refreshLastUpdatedDate();
}

void PagedList::removeHeaderView() {
    if (header_) header_->removeFromSuperview();
    header_.reset();
}

void PagedList::setFooterView() {
    auto table = scroll_.lock();
    if (!table) return;
    double y = std::max(table->contentSize().height, table->frame().size.height);
    ui::Rect frame{0, y, table->frame().size.width, hostBounds().size.height};
    if (footer_ && footer_->superview()) {
        footer_->setFrame(frame);
    } else {
        footer_ = ui::create<PullRefreshTableFooterView>(frame);
        footer_->setDelegate(sharedAs<PullRefreshTableDelegate>());
        table->addSubview(footer_);
    }
    footer_->refreshLastUpdatedDate();
}

void PagedList::removeFooterView() {
    if (footer_) footer_->removeFromSuperview();
    footer_.reset();
}

void PagedList::showRefreshHeader(bool animated) {
    auto table = scroll_.lock();
    if (!table) return;
    auto inset = [table] {
        ui::EdgeInsets insets = table->contentInset();
        insets.top = kHeaderInset;
        table->setContentInset(insets);
    };
    if (animated) {
        ui::View::animateWithDuration(kHeaderShowDuration, inset);
    } else {
        inset();
    }
    table->scrollRectToVisible(ui::Rect{0, 0, 1, 1}, animated);
    if (header_) header_->setState(PullRefreshLoading);
}

void PagedList::pullRefreshTableDidTriggerRefresh(PullRefreshPos position) { beginToReloadData(position); }

bool PagedList::pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>&) {
    return reloading_ || pending_ != nullptr;
}

ns::Date PagedList::pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>&) { return ns::now(); }

// ---- Table ----

long PagedList::tableView_numberOfRowsInSection(const Table&, long) {
    return static_cast<long>(mdataArray_.count());
}

std::shared_ptr<ui::TableViewCell> PagedList::tableView_cellForRowAtIndexPath(const Table& table,
                                                                              const ui::IndexPath& ip) {
    ns::Value record = records::object(mdataArray_.at(static_cast<std::size_t>(ip.row)));
    if (config_.cell) {
        if (auto cell = config_.cell(table, record, ip)) return cell;
    } else if (auto source = config_.source.lock()) {
        if (auto cell = source->cellFor(table, record)) return cell;
    }
    auto cell = table->dequeueReusableCellWithIdentifier("Cell");
    return cell ? cell : ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "Cell");
}

double PagedList::tableView_heightForRowAtIndexPath(const Table& table, const ui::IndexPath& ip) {
    if (config_.rowHeight) {
        return config_.rowHeight(table, records::object(mdataArray_.at(static_cast<std::size_t>(ip.row))), ip);
    }
    return ui::TableViewDelegate::tableView_heightForRowAtIndexPath(table, ip);
}

void PagedList::tableView_didSelectRowAtIndexPath(const Table&, const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= mdataArray_.count()) return;
    const ns::Value record = mdataArray_.at(static_cast<std::size_t>(ip.row));
    if (config_.select) {
        config_.select(record, ip);
    } else if (auto source = config_.source.lock()) {
        source->open(record);
    }
}

void PagedList::scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) {
    if (header_) header_->pullRefreshScrollViewDidScroll(scrollView);
    if (footer_) footer_->pullRefreshScrollViewDidScroll(scrollView);
}

void PagedList::scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView, bool) {
    if (header_) header_->pullRefreshScrollViewDidEndDragging(scrollView);
    if (footer_) footer_->pullRefreshScrollViewDidEndDragging(scrollView);
}
