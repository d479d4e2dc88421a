#include "app/framework/OrgViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "service/JSON.h"
#include "uikit/NavigationController.h"

void OrgViewController::init() {
    SystemViewController::init();
    setTitle("选择组织机构");
}

void OrgViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    double w = view()->bounds().size.width;
    double h = view()->bounds().size.height;
    view()->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());

    naview = makeBackNavBar(*this);

    levelLabel = ui::create<ui::Label>(ui::Rect{10, 69, w - 180, 30});
    levelLabel->setFont(ui::Font::systemFontOfSize(13));
    levelLabel->setBackgroundColor(ui::Color::clearColor());
    view()->addSubview(levelLabel);

    upButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    upButton->setFrame(ui::Rect{w - 165, 69, 75, 30});
    upButton->setBackgroundImage(ui::Image::imageNamed("cancelupdata.png"), ui::ControlStateNormal);
    upButton->setTitle("上一级", ui::ControlStateNormal);
    upButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    upButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    upButton->addTarget(this, &OrgViewController::goUp, ui::ControlEventTouchUpInside);
    view()->addSubview(upButton);

    confirmButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    confirmButton->setFrame(ui::Rect{w - 85, 69, 75, 30});
    confirmButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    confirmButton->setTitle("确定", ui::ControlStateNormal);
    confirmButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    confirmButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    confirmButton->addTarget(this, &OrgViewController::confirm, ui::ControlEventTouchUpInside);
    view()->addSubview(confirmButton);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 104, w, h - 104}, ui::TableViewStylePlain);
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    view()->addSubview(mtableview);

    levels_.clear();
    levels_.push_back(Level{});
    showProgress("加载中...");
    pp->GetOrgList(kCountyLevel);
    levels_.back().request = pp->runningRequest();
    showLevel();
}

void OrgViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

OrgViewController::Level* OrgViewController::levelFor(const std::shared_ptr<NetWebServiceRequest>& request) {
    if (!request) return nullptr;
    for (auto& level : levels_)
        if (level.request == request) return &level;
    return nullptr;
}

void OrgViewController::showLevel() {
    levelLabel->setText(levels_.empty() ? std::string() : levels_.back().org["name"].text());
    mtableview->reloadData();
    mtableview->setContentOffset(ui::Point{0, 0});
}

void OrgViewController::GetWebServerContent_success(const std::string& result) {
    // Only the answer of a list still open counts: after "上一级", or a quick
    // second touch, an earlier answer may still come in.
    Level* level = levelFor(pp->replyRequest());
    if (!level) return;
    ProgressHUD::dismiss();
    level->request = nullptr;
    ns::Value records = JSONValue(result)["records"];
    level->records = records.isArray() ? records : ns::Value::array();
    if (level == &levels_.back()) showLevel();
}

void OrgViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    Level* level = levelFor(pp->replyRequest());
    if (!level) return;
    level->request = nullptr;
    ProgressHUD::dismissWithError("加载失败！", "", 0.75f);
}

long OrgViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return levels_.empty() ? 0 : static_cast<long>(levels_.back().records.count());
}

std::shared_ptr<ui::TableViewCell> OrgViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& tableView, const ui::IndexPath& ip) {
    static const std::string kCell = "OrgCell";
    auto cell = tableView->dequeueReusableCellWithIdentifier(kCell);
    if (!cell) {
        cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, kCell);
        cell->textLabel()->setFont(ui::Font::systemFontOfSize(14));
        cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    }
    cell->textLabel()->setText(levels_.back().records.at(static_cast<std::size_t>(ip.row))["name"].text());
    return cell;
}

void OrgViewController::tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>& tableView,
                                                          const ui::IndexPath& ip) {
    tableView->deselectRowAtIndexPath(ip, true);
    ns::Value org = levels_.back().records.at(static_cast<std::size_t>(ip.row));
    if (!org.isDictionary()) return;
    chosenName_ = org["name"];
    chosenId_ = org["id"];
    Level next;
    next.org = org;
    levels_.push_back(next);
    showProgress("加载中...");
    pp->GetOrgList_id(kOrgLevel, chosenId_.text());
    levels_.back().request = pp->runningRequest();
    showLevel();
}

void OrgViewController::goUp() {
    if (levels_.size() <= 1) return;
    bool wasLoading = levels_.back().request != nullptr;
    levels_.pop_back();
    if (wasLoading) ProgressHUD::dismiss();
    showLevel();
}

void OrgViewController::confirm() {
    if (auto d = delegate()) d->orgName(chosenName_, chosenId_);
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

