#include "cases/DJWGDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/Controls.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "cases/ActivityViewController.h"
#include "cases/OrgCells.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {

constexpr float kResultDelay = 0.75f;


}  // namespace

void DJWGDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setTitle(kTitle);
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    const ui::Size size = root->frame().size;

    naview = makeBackNavBar(*this, kTitle);

    nameLabel = makeCaption(ui::Rect{10, 64, 230, 20});
    nameLabel->setText(records::text(msgDit, "name"));
    root->addSubview(nameLabel);

    activityButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    activityButton->setFrame(ui::Rect{size.width - 60, 64, 50, 20});
    activityButton->setTitle("活动开展", ui::ControlStateNormal);
    activityButton->setTitleColor(ui::Color::lightGrayColor(), ui::ControlStateNormal);
    activityButton->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    activityButton->addTarget(this, &DJWGDetailViewController::showactivity, ui::ControlEventTouchUpInside);
    root->addSubview(activityButton);

    auto line = ui::create<ui::View>(ui::Rect{0, 88, size.width, 0.7});
    line->setBackgroundColor(ui::Color::colorWithRed(0.89, 0.89, 0.89, 1.0));
    root->addSubview(line);

    headimagev = ui::create<ui::ImageView>(ui::Rect{5, 96, 80, 80});
    root->addSubview(headimagev);

    PeopleLabel = makeCaption(ui::Rect{90, 93, 220, 20});
    phoneLabel = makeCaption(ui::Rect{90, 118, 220, 20});
    addressLabel = makeCaption(ui::Rect{90, 143, 220, 20});
    countLabel = makeCaption(ui::Rect{90, 168, 220, 20});
    for (const auto& label : {PeopleLabel, phoneLabel, addressLabel, countLabel}) root->addSubview(label);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 188, size.width, size.height - 188}, ui::TableViewStylePlain);
    mtableview->setRowHeight(40);
    mtableview->setBackgroundColor(ui::Color::clearColor());
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    root->addSubview(mtableview);

    showProgress("加载中...");
    pp->GetOrgRecord(records::text(msgDit, "id"));
}

void DJWGDetailViewController::showactivity() {
    auto activity = ui::create<ActivityViewController>();
    activity->setActivID(orgID);
    if (auto nav = navigationController()) nav->pushViewController(activity, true);
}

void DJWGDetailViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != "GetOrgRecord") return;
    loadingSuccess();
    ProgressHUD::dismissWithSuccess("加载成功！", "", kResultDelay);
    ProgressHUD::dismiss();
    ns::NSLog("reponse==%@", result);
    const ns::Value record = records::item(records::parse(result));
    addressLabel->setText(ns::format("单位地址:%@", records::text(record, "address")));
    countLabel->setText(ns::format("党员数量:%@", records::text(record, "member_count")));
    PeopleLabel->setText(ns::format("负责人:%@", records::text(record, "name")));
    phoneLabel->setText(ns::format("联系电话:%@", records::text(record, "mobile")));
    setImageWithURL(headimagev, records::text(record, "head_portrait"), ui::Image::imageNamed(kPlaceholder));
    orgID = records::text(record, "org_id");
    mdataArray = records::array(record, "child_org");
    mtableview->reloadData();
}

void DJWGDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    loadingFail();
    ProgressHUD::dismissWithError("加载失败！", "", kResultDelay);
    ProgressHUD::dismiss();
}

long DJWGDetailViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

std::shared_ptr<ui::TableViewCell> DJWGDetailViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    return orgcells::nameCell(table, mdataArray.at(static_cast<std::size_t>(ip.row)),
                              ui::TableViewCellAccessoryDisclosureIndicator);
}

void DJWGDetailViewController::tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                 const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= mdataArray.count()) return;
    auto child = ui::create<DJWGDetailViewController>();
    child->setMsgDit(mdataArray.at(static_cast<std::size_t>(ip.row)));
    if (auto nav = navigationController()) nav->pushViewController(child, true);
}
