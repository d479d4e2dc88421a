#include "cases/DJWGFrontViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/DJWGDetailViewController.h"
#include "cases/OrgCells.h"
#include "foundation/Log.h"
#include "uikit/NavigationController.h"

void DJWGFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setTitle(kTitle);
    auto root = view();
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1.0));

    buildFrontBar();

    const ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setBackgroundColor(ui::Color::clearColor());
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    root->addSubview(mtableview);

    showProgress("加载中...");
    pp->GetOrgList_user_id(kListType, records::text(Utils::getMember()->member_id));
}

void DJWGFrontViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != "GetOrgList") return;
    loadingSuccess();
    ProgressHUD::dismissWithSuccess("加载成功！", "", kResultDelay);
    ProgressHUD::dismiss();
    ns::NSLog("获取机构列表=%@", result);
    mdataArray = records::list(records::parse(result));
    mtableview->reloadData();
}

void DJWGFrontViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    loadingFail();
    ProgressHUD::dismissWithError("加载失败！", "", kResultDelay);
    ProgressHUD::dismiss();
}

long DJWGFrontViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

std::shared_ptr<ui::TableViewCell> DJWGFrontViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    return orgcells::nameCell(table, mdataArray.at(static_cast<std::size_t>(ip.row)), ui::TableViewCellAccessoryNone);
}

void DJWGFrontViewController::tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= mdataArray.count()) return;
    auto detail = ui::create<DJWGDetailViewController>();
    detail->setMsgDit(mdataArray.at(static_cast<std::size_t>(ip.row)));
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
