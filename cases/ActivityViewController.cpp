#include "cases/ActivityViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/ActivityDetailViewController.h"
#include "cases/ActivityUploadViewController.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void ActivityViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pageNo = 1;
    user_id = records::text(Utils::getMember()->member_id);
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    setTitle(kTitle);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    const ui::Size size = root->frame().size;

    naview = makeBackNavBar(*this, kTitle);

    uploadButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    uploadButton->setFrame(ui::Rect{size.width - 70, 20, 60, 30});
    uploadButton->setTitle("上传活动", ui::ControlStateNormal);
    uploadButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    uploadButton->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    uploadButton->setBackgroundImage(ui::Image::imageNamed("cancelupdata.png"), ui::ControlStateNormal);
    uploadButton->addTarget(this, &ActivityViewController::uploadPhoto, ui::ControlEventTouchUpInside);
    naview->addSubview(uploadButton);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    root->addSubview(mtableview);

    _refreshHeaderView = ui::create<PullRefreshTableHeaderView>(
        ui::Rect{0, -size.height, size.width, size.height});
    _refreshHeaderView->setDelegate(sharedAs<PullRefreshTableDelegate>());
    mtableview->addSubview(_refreshHeaderView);
    _refreshHeaderView->refreshLastUpdatedDate();

    ns::RunLoop::main().performAfterDelay(weakAs<ActivityViewController>(), 0.0, [this] { finishReloadingData(); },
                                          "finishReloadingData");
}

void ActivityViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    // Back from the detail or the upload form: the list is read again.
    mdataArray = ns::Value::array();
    mtableview->reloadData();
    requestFirstPage();
}

void ActivityViewController::requestFirstPage() {
    pp->GetOrgActivity("1", kPageSize, activID, user_id);
    // A reply to an earlier request no longer counts.
    pending_ = pp->runningRequest();
}

void ActivityViewController::refreshView() {
    pageNo = 1;
    mdataArray = ns::Value::array();
    mtableview->reloadData();
    requestFirstPage();
}

void ActivityViewController::finishReloadingData() {
    _reloading = false;
    _refreshHeaderView->pullRefreshScrollViewDataSourceDidFinishedLoading(mtableview);
}

void ActivityViewController::uploadPhoto() {
    ns::NSLog("is_power==%@", is_power);
    if (is_power != "1") {
        Utils::showAlert("你没有权限使用该功能");
        return;
    }
    auto upload = ui::create<ActivityUploadViewController>();
    upload->setActivID(activID);
    upload->setModalTransitionStyle(ui::ModalTransitionStyleFlipHorizontal);
    auto nav = ui::create<ui::NavigationController>(upload);
    presentViewController(nav, true);
}

void ActivityViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != "GetOrgActivity" || pp->replyRequest() != pending_) return;
    pending_.reset();
    loadingSuccess();
    ns::NSLog("reponse==%@", result);
    const ns::Value reply = records::parse(result, true);
    is_power = records::text(reply, "is_power");
    const ns::Value rows = records::list(reply);
    if (rows.count() > 0) {
        mtableview->setHidden(false);
        for (const auto& row : rows.items()) mdataArray.push(row);
        mtableview->reloadData();
    } else {
        mtableview->setHidden(true);
        showAlertWithTitle("暂无数据！");
    }
    finishReloadingData();
}

void ActivityViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    if (pp->replyOperation() != "GetOrgActivity" || pp->replyRequest() != pending_) return;
    pending_.reset();
    loadingFail();
    finishReloadingData();
}

void ActivityViewController::pullRefreshTableDidTriggerRefresh(PullRefreshPos position) {
    if (position != PullRefreshHeader) return;
    _reloading = true;
    ns::RunLoop::main().performAfterDelay(weakAs<ActivityViewController>(), kTriggerDelay, [this] { refreshView(); },
                                          "refreshView");
}

bool ActivityViewController::pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>&) {
    return _reloading;
}

ns::Date ActivityViewController::pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>&) {
    return ns::now();
}

void ActivityViewController::scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) {
    _refreshHeaderView->pullRefreshScrollViewDidScroll(scrollView);
}

void ActivityViewController::scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView,
                                                                     bool) {
    _refreshHeaderView->pullRefreshScrollViewDidEndDragging(scrollView);
}

long ActivityViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

std::shared_ptr<ui::TableViewCell> ActivityViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    static constexpr const char* kIdentifier = "SSXWCell";
    auto cell = table->dequeueReusableCellWithIdentifier(kIdentifier);
    if (!cell) cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleSubtitle, kIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    const ns::Value record = mdataArray.at(static_cast<std::size_t>(ip.row));
    cell->textLabel()->setFont(ui::Font::systemFontOfSize(12));
    cell->textLabel()->setText(records::text(record, "title"));
    cell->detailTextLabel()->setFont(ui::Font::systemFontOfSize(12));
    cell->detailTextLabel()->setText(records::text(record, "add_time"));
    return cell;
}

void ActivityViewController::tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                               const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= mdataArray.count()) return;
    auto detail = ui::create<ActivityDetailViewController>();
    detail->setMsgDit(mdataArray.at(static_cast<std::size_t>(ip.row)));
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
