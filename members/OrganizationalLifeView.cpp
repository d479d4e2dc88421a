#include "members/OrganizationalLifeView.h"

#include <algorithm>

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "members/MobilePartyViewController.h"
#include "members/QuorvelPartViewController.h"
#include "uikit/NavigationController.h"
#include "uikit/Alert.h"
#include "uikit/TableViewCell.h"

namespace {

constexpr const char* kGetOrgLifeList = "GetOrgLifeList";
constexpr const char* kCellId = "SSXWCell";
constexpr double kHeaderInset = 60;

}  // namespace

void OrganizationalLifeView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    pageNo = 1;
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setBackgroundColor(ui::Color::whiteColor());
    mdataArray = ns::Value::array();
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 0, frame.size.width, frame.size.height},
                                           ui::TableViewStylePlain);
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    addSubview(mtableview);
    createHeaderView();
    setFooterView();
    ns::RunLoop::main().performAfterDelay(weakAs<OrganizationalLifeView>(), 0.0, [this] { testFinishedLoadData(); },
                                          "testFinishedLoadData");
}

// ---- Loading ----

void OrganizationalLifeView::request(const std::string& page) {
    // Only the newest page counts: one of an older request (another
    // organisation, or a page overtaken by a refresh) is stopped.
    if (pending_) pending_->cancel();
    pending_.reset();
    auto before = pp->runningRequest();
    pp->GetOrgLifeList(page, kPageSize, orgID);
    auto started = pp->runningRequest();
    if (started != before) pending_ = started;
}

void OrganizationalLifeView::loadingDataWithorg_id(const std::string& orgId) {
    ns::RunLoop::main().cancelPreviousPerformRequests(this, "getNextPageView");
    orgID = orgId;
    pageNo = 1;
    mdataArray.removeAll();
    mtableview->reloadData();
    request("1");
}

void OrganizationalLifeView::refreshView() {
    ns::RunLoop::main().cancelPreviousPerformRequests(this, "getNextPageView");
    pageNo = 1;
    mdataArray.removeAll();
    mtableview->reloadData();
    ProgressHUD::showWithTitle("", "加载中...");
    request("1");
}

void OrganizationalLifeView::getNextPageView() {
    removeFooterView();
    pageNo += 1;
    ProgressHUD::showWithTitle("", "加载中...");
    request(ns::format("%d", pageNo));
}

void OrganizationalLifeView::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kGetOrgLifeList || !pending_ || pp->replyRequest() != pending_) return;
    pending_.reset();
    ns::NSLog("组织生活resone===%@", result);
    ns::Value rows = records::list(records::parse(result));
    for (const ns::Value& row : rows.items()) mdataArray.push(row);
    mtableview->reloadData();
    testFinishedLoadData();
    ProgressHUD::dismiss();
    if (mdataArray.count() == 0) {
        mtableview->setHidden(true);
        ui::create<ui::AlertView>("温馨提示", "暂无相关数据！", nullptr, "确定")->show();
    } else {
        mtableview->setHidden(false);
    }
}

void OrganizationalLifeView::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    if (pp->replyOperation() != kGetOrgLifeList || !pending_ || pp->replyRequest() != pending_) return;
    pending_.reset();
    // A page that never came is asked for again by the next pull-up.
    if (pageNo > 1) pageNo -= 1;
    testFinishedLoadData();
    ProgressHUD::dismiss();
}

// ---- Table ----

long OrganizationalLifeView::tableView_numberOfRowsInSection(const Table&, long) {
    return static_cast<long>(mdataArray.count());
}

double OrganizationalLifeView::tableView_heightForRowAtIndexPath(const Table&, const ui::IndexPath&) { return 50; }

std::shared_ptr<ui::TableViewCell> OrganizationalLifeView::tableView_cellForRowAtIndexPath(const Table& table,
                                                                                           const ui::IndexPath& ip) {
    auto cell = table->dequeueReusableCellWithIdentifier(kCellId);
    if (!cell) {
        cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleSubtitle, kCellId);
        cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
        cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    }
    ns::Value record = records::object(mdataArray.at(static_cast<std::size_t>(ip.row)));
    cell->textLabel()->setFont(ui::Font::systemFontOfSize(12));
    cell->textLabel()->setText(records::text(record, "title"));
    cell->detailTextLabel()->setFont(ui::Font::systemFontOfSize(12));
    cell->detailTextLabel()->setText(records::text(record, "date_time"));
    return cell;
}

template <typename T>
std::shared_ptr<T> OrganizationalLifeView::host() const {
    for (auto v = superview(); v; v = v->superview()) {
        if (auto found = std::dynamic_pointer_cast<T>(v->nextResponder())) return found;
    }
    return nullptr;
}

std::shared_ptr<MobilePartyViewController> OrganizationalLifeView::viewController() const {
    return host<MobilePartyViewController>();
}

std::shared_ptr<QuorvelPartViewController> OrganizationalLifeView::QuorvelviewController() const {
    return host<QuorvelPartViewController>();
}

void OrganizationalLifeView::tableView_didSelectRowAtIndexPath(const Table&, const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= mdataArray.count()) return;
    std::shared_ptr<ui::ViewController> hostScreen;
    if (type_ == "2") {
        hostScreen = viewController();
    } else if (type_ == "3") {
        hostScreen = QuorvelviewController();
    }
    if (!hostScreen) return;
    auto detail = ui::create<ZuZhiDetailViewController>();
    detail->setLiftDit(records::object(mdataArray.at(static_cast<std::size_t>(ip.row))));
    if (auto nav = hostScreen->navigationController()) nav->pushViewController(detail, true);
}

void OrganizationalLifeView::scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) {
    if (_refreshHeaderView) _refreshHeaderView->pullRefreshScrollViewDidScroll(scrollView);
    if (_refreshFooterView) _refreshFooterView->pullRefreshScrollViewDidScroll(scrollView);
}

void OrganizationalLifeView::scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView,
                                                                     bool) {
    if (_refreshHeaderView) _refreshHeaderView->pullRefreshScrollViewDidEndDragging(scrollView);
    if (_refreshFooterView) _refreshFooterView->pullRefreshScrollViewDidEndDragging(scrollView);
}

// ---- Refresh views ----

void OrganizationalLifeView::createHeaderView() {
    if (_refreshHeaderView) _refreshHeaderView->removeFromSuperview();
    const ui::Rect b = bounds();
    _refreshHeaderView =
        ui::create<PullRefreshTableHeaderView>(ui::Rect{0, -b.size.height, b.size.width, b.size.height});
    _refreshHeaderView->setDelegate(sharedAs<PullRefreshTableDelegate>());
    mtableview->addSubview(_refreshHeaderView);
    _refreshHeaderView->refreshLastUpdatedDate();
}

void OrganizationalLifeView::removeHeaderView() {
    if (_refreshHeaderView) _refreshHeaderView->removeFromSuperview();
    _refreshHeaderView.reset();
}

void OrganizationalLifeView::setFooterView() {
    const double y = std::max(mtableview->contentSize().height, mtableview->frame().size.height);
    const ui::Rect frame{0, y, mtableview->frame().size.width, bounds().size.height};
    if (_refreshFooterView && _refreshFooterView->superview()) {
        _refreshFooterView->setFrame(frame);
    } else {
        _refreshFooterView = ui::create<PullRefreshTableFooterView>(frame);
        _refreshFooterView->setDelegate(sharedAs<PullRefreshTableDelegate>());
        mtableview->addSubview(_refreshFooterView);
    }
    _refreshFooterView->refreshLastUpdatedDate();
}

void OrganizationalLifeView::removeFooterView() {
    if (_refreshFooterView) _refreshFooterView->removeFromSuperview();
    _refreshFooterView.reset();
}

void OrganizationalLifeView::showRefreshHeader(bool animated) {
    auto inset = [this] {
        ui::EdgeInsets insets = mtableview->contentInset();
        insets.top = kHeaderInset;
        mtableview->setContentInset(insets);
    };
    if (animated) {
        ui::View::animateWithDuration(0.2, inset);
    } else {
        inset();
    }
    mtableview->scrollRectToVisible(ui::Rect{0, 0, 1, 1}, animated);
    if (_refreshHeaderView) _refreshHeaderView->setState(PullRefreshLoading);
}

void OrganizationalLifeView::beginToReloadData(PullRefreshPos position) {
    _reloading = true;
    auto& loop = ns::RunLoop::main();
    if (position == PullRefreshHeader) {
        loop.performAfterDelay(weakAs<OrganizationalLifeView>(), 2.0, [this] { refreshView(); }, "refreshView");
    } else if (position == PullRefreshFooter) {
        loop.performAfterDelay(weakAs<OrganizationalLifeView>(), 2.0, [this] { getNextPageView(); },
                               "getNextPageView");
    }
}

void OrganizationalLifeView::finishReloadingData() {
    _reloading = false;
    if (_refreshHeaderView) _refreshHeaderView->pullRefreshScrollViewDataSourceDidFinishedLoading(mtableview);
    if (_refreshFooterView) {
        _refreshFooterView->pullRefreshScrollViewDataSourceDidFinishedLoading(mtableview);
        setFooterView();
    }
}

void OrganizationalLifeView::testFinishedLoadData() {
    finishReloadingData();
    setFooterView();
}

void OrganizationalLifeView::pullRefreshTableDidTriggerRefresh(PullRefreshPos position) {
    beginToReloadData(position);
}

bool OrganizationalLifeView::pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>&) {
    return _reloading || pending_ != nullptr;
}

ns::Date OrganizationalLifeView::pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>&) {
    return ns::now();
}

// ---- The detail page ----

void ZuZhiDetailViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle("组织生活");
    const double W = view()->frame().size.width;
    view()->setBackgroundColor(ui::Color::whiteColor());
    naview = ui::create<NavBarView>(ui::Rect{0, 0, W, NavBarView::kHeight});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(title());
    view()->addSubview(naview);

    auto label = [&](const ui::Rect& frame, double size, const std::string& text) {
        auto l = ui::create<ui::Label>(frame);
        l->setBackgroundColor(ui::Color::clearColor());
        l->setFont(ui::Font::systemFontOfSize(size));
        l->setText(text);
        view()->addSubview(l);
        return l;
    };
    headingLabel = label(ui::Rect{0, 64, W, 20}, 14, records::text(liftDit_, "title"));
    headingLabel->setTextAlignment(ui::TextAlignmentCenter);
    lineLabel = label(ui::Rect{0, 89, W, 20}, 12,
                      records::text(liftDit_, "user_name") + ":" + records::text(liftDit_, "add_time"));
    bodyLabel = label(ui::Rect{0, 114, W, 40}, 12, records::text(liftDit_, "content"));
    bodyLabel->setNumberOfLines(0);
    bodyLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
}

