#include "members/PartyHomeViewController.h"

#include "members/MobilePartyViewController.h"
#include "members/QuorvelPartViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "foundation/UserDefaults.h"
#include "uikit/NavigationController.h"
#include "uikit/TableViewCell.h"

namespace {

constexpr double kStripTop = 64;
constexpr double kStripHeight = 40;
constexpr double kPaneTop = kStripTop + kStripHeight;

}  // namespace

void PartyHomeViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    const double W = view()->frame().size.width;
    const double H = view()->frame().size.height;
    const double third = static_cast<double>(static_cast<float>(W) / 3.0f);
    setTitle(screenTitle());
    view()->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));

    buildFrontBar();

    auto strip = ui::create<ui::View>(ui::Rect{0, kStripTop, W, kStripHeight});
    strip->setBackgroundColor(ui::Color::whiteColor());
    strip->setUserInteractionEnabled(true);
    view()->addSubview(strip);
    auto line = ui::create<ui::View>(ui::Rect{0, 39, W, 1});
    line->setBackgroundColor(ui::Color::colorWithRed(0.73, 0.73, 0.73, 1));
    strip->addSubview(line);

    const char* titles[] = {"组织关系", "组织生活", "网上登记"};
    std::shared_ptr<ui::Button>* tabs[] = {&guanxiBt, &shenghuoBt, &dengjiBt};
    for (int i = 0; i < 3; ++i) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{i * third, 0, third, kStripHeight});
        b->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
        b->setTag(100 + i);
        b->setTitle(titles[i], ui::ControlStateNormal);
        b->setTitleColor(i == 0 ? ui::Color::redColor() : ui::Color::blackColor(), ui::ControlStateNormal);
        b->addTarget(this, &PartyHomeViewController::MeetingManger, ui::ControlEventTouchUpInside);
        strip->addSubview(b);
        *tabs[i] = b;
    }
    scrview = ui::create<ui::View>(ui::Rect{0, 38, third, 2});
    scrview->setBackgroundColor(ui::Color::redColor());
    strip->addSubview(scrview);

    buildingLabel = ui::create<ui::Label>(ui::Rect{0, 250, W, 30});
    buildingLabel->setFont(ui::Font::boldSystemFontOfSize(14));
    buildingLabel->setBackgroundColor(ui::Color::clearColor());
    buildingLabel->setTextColor(ui::Color::blackColor());
    buildingLabel->setTextAlignment(ui::TextAlignmentCenter);
    buildingLabel->setText("正在建设中...");
    view()->addSubview(buildingLabel);

    const ui::Rect pane{0, kPaneTop, W, H - kPaneTop};
    regview = ui::create<OnlineRegistrationView>(pane);
    regview->setType(homeType());
    regview->setHidden(true);
    view()->addSubview(regview);
    orgLifeview = ui::create<OrganizationalLifeView>(pane);
    orgLifeview->setType(homeType());
    orgLifeview->setHidden(true);
    view()->addSubview(orgLifeview);
    testview = ui::create<TextView>(pane);
    testview->setType(homeType());
    testview->setDelegate(sharedAs<TextViewDelegate>());
    testview->setHidden(true);
    view()->addSubview(testview);
}

void PartyHomeViewController::MeetingManger(std::shared_ptr<ui::Button> sender) {
    if (!sender || (sender != guanxiBt && sender != shenghuoBt && sender != dengjiBt)) return;
    for (auto& b : {guanxiBt, shenghuoBt, dengjiBt}) {
        b->setTitleColor(b == sender ? ui::Color::redColor() : ui::Color::blackColor(), ui::ControlStateNormal);
    }
    const double third = scrview->frame().size.width;
    const double x = (sender == guanxiBt) ? 0 : (sender->tag() - 100) * third;
    auto underline = scrview;
    ui::View::animateWithDuration(0.2, [underline, x, third] { underline->setFrame(ui::Rect{x, 38, third, 2}); });

    if (sender == guanxiBt) {
        regview->setHidden(true);
        testview->setHidden(true);
        orgLifeview->setHidden(true);
    } else if (sender == shenghuoBt) {
        regview->setHidden(true);
        orgLifeview->setHidden(false);
        const std::string orgId =
            records::text(ns::UserDefaults::standardUserDefaults()->objectForKey(orgKey()));
        if (!orgId.empty()) {
            testview->setHidden(true);
            orgLifeview->loadingDataWithorg_id(orgId);
        } else {
            testview->setHidden(false);
        }
    } else {
        regview->setHidden(false);
        testview->setHidden(true);
        orgLifeview->setHidden(true);
    }
}

void PartyHomeViewController::loginSuccessReloadLife(const std::string& orgId) {
    testview->setHidden(true);
    orgLifeview->setHidden(false);
    orgLifeview->loadingDataWithorg_id(orgId);
}

std::shared_ptr<ui::BarButtonItem> PartyHomeViewController::right() { return homesRightItem(); }

std::shared_ptr<ui::BarButtonItem> homesRightItem() {
    auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    b->setBackgroundColor(ui::Color::clearColor());
    b->setFrame(ui::Rect{200, 0, 21, 23});
    b->setBackgroundImage(ui::Image::imageNamed("head_right.png"), ui::ControlStateNormal);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(b));
}

std::shared_ptr<PartyHomeViewController> homeOfType(const ui::View& view, const std::string& type) {
    if (type == "2") return BaseScreen::holding<MobilePartyViewController>(view);
    if (type == "3") return BaseScreen::holding<QuorvelPartViewController>(view);
    return nullptr;
}

// ---- The floating members' home ----

void MobilePartyViewController::viewDidLoad() {
    PartyHomeViewController::viewDidLoad();
    pageNo = 1;
    mdataArray = ns::Value::array();
}

long MobilePartyViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

double MobilePartyViewController::tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                    const ui::IndexPath&) {
    return 60;
}

std::shared_ptr<ui::TableViewCell> MobilePartyViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath&) {
    auto cell = table->dequeueReusableCellWithIdentifier("SSXWCell");
    if (!cell) {
        cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "SSXWCell");
        cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
        cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    }
    cell->textLabel()->setText("ddddd");
    if (auto detail = cell->detailTextLabel()) detail->setText("cccc");
    return cell;
}
