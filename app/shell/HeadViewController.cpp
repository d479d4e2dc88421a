#include "app/shell/HeadViewController.h"

#include "app/shell/AppLinks.h"
#include "app/shell/ModulePlaceholder.h"
#include "app/framework/RevealController.h"
#include "app/shell/Utils.h"
#include "foundation/Log.h"
#include "service/JSON.h"
#include "uikit/Font.h"
#include "uikit/NavigationController.h"

namespace {

// Tile colours, one per tile in order.
const ui::Color kTileColors[] = {
    ui::Color::colorWithRed(0.80, 0.16, 0.16, 1), ui::Color::colorWithRed(0.91, 0.45, 0.13, 1),
    ui::Color::colorWithRed(0.75, 0.22, 0.36, 1), ui::Color::colorWithRed(0.20, 0.52, 0.78, 1),
    ui::Color::colorWithRed(0.85, 0.33, 0.24, 1), ui::Color::colorWithRed(0.16, 0.62, 0.47, 1),
    ui::Color::colorWithRed(0.95, 0.61, 0.07, 1), ui::Color::colorWithRed(0.58, 0.27, 0.66, 1),
    ui::Color::colorWithRed(0.10, 0.60, 0.72, 1), ui::Color::colorWithRed(0.47, 0.62, 0.20, 1),
    ui::Color::colorWithRed(0.36, 0.40, 0.75, 1), ui::Color::colorWithRed(0.70, 0.45, 0.25, 1),
};

constexpr double kTileGap = 8;
constexpr double kTileHeight = 92;

}  // namespace

const std::vector<HeadViewController::TileInfo>& HeadViewController::tileList() {
    static const std::vector<TileInfo> tiles = {
        {kTileDqzt, "党群直通"},   {kTileSszt, "时事直通"},    {kTileVldj, "Velmarsh党建"},
        {kTileYddx, "移动党校"},   {kTileRepresentatives, "党代表"}, {kTileDjwg, "党建网格"},
        {kTileBmfw, "便民服务"},   {kTileMaiWei, "先锋Velmarsh"}, {kTileSms, "短信平台"},
        {kTileSupply, "党员供需"}, {kTileVideo, "视频专栏"},   {kTileActivities, "基层活动"},
    };
    return tiles;
}

std::string HeadViewController::titleForTile(int tag) {
    for (const auto& t : tileList()) {
        if (t.tag == tag) return t.title;
    }
    return {};
}

void HeadViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle(kProductName);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    auto root = view();
    root->setBackgroundColor(ui::Color::colorWithWhite(0.95, 1));
    const double width = root->frame().size.width;

    naview = ui::create<NavBarView>(ui::Rect{0, 0, width, NavBarView::kHeight});
    naview->titleLabel->setText(kProductName);
    naview->leftButton->setHidden(true);
    root->addSubview(naview);

    signButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    signButton->setFrame(ui::Rect{5, 20, 50, 44});
    signButton->setTitle(kFromSign, ui::ControlStateNormal);
    signButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    signButton->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(15));
    signButton->addTarget(this, &HeadViewController::signClick, ui::ControlEventTouchUpInside);
    naview->addSubview(signButton);

    // Three tiles to a row under the bar.
    const double tileWidth = (width - 4 * kTileGap) / 3;
    const auto& tiles = tileList();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        double x = kTileGap + static_cast<double>(i % 3) * (tileWidth + kTileGap);
        double y = NavBarView::kHeight + kTileGap + static_cast<double>(i / 3) * (kTileHeight + kTileGap);
        auto tile = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        tile->setFrame(ui::Rect{x, y, tileWidth, kTileHeight});
        tile->setTag(tiles[i].tag);
        tile->setBackgroundColor(kTileColors[i % std::size(kTileColors)]);
        tile->layer().setCornerRadius(6);
        tile->setTitle(tiles[i].title, ui::ControlStateNormal);
        tile->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
        tile->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(14));
        tile->addTarget(this, &HeadViewController::buttonClick, ui::ControlEventTouchUpInside);
        root->addSubview(tile);
        tileButtons.push_back(tile);
    }

    loginview = ui::create<LoginViewController>();
    loginview->setDelegate(weakAs<LoginViewControllerDelegate>());
    loginview->view()->setFrame(root->bounds());
    loginview->view()->setHidden(true);
    root->addSubview(loginview->view());
}

void HeadViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, animated);
}

bool HeadViewController::isInFront() const {
    if (appearanceState() != ui::AppearanceState::Appeared || !isViewVisible()) return false;
    if (presentedViewController()) return false;
    auto nav = navigationController();
    return !nav || nav->topViewController().get() == this;
}

void HeadViewController::buttonClick(std::shared_ptr<ui::Button> sender) {
    if (!sender || !isInFront()) return;
    openTile(sender->tag());
}

void HeadViewController::openTile(int tag) {
    auto& modules = moduleRegistry();
    switch (tag) {
    case kTileDqzt:
        openSlideModule(modules.dq, titleForTile(tag));
        break;
    case kTileSszt:
        openSlideModule(modules.sszt, titleForTile(tag));
        break;
    case kTileYddx:
        openSlideModule(modules.yddx, titleForTile(tag));
        break;
    case kTileDjwg:
        if (Utils::isLogin()) {
            openDjwg();
        } else {
            showLogin(kFromDjwg);
        }
        break;
    case kTileVldj:
        if (modules.webScreen) {
            if (auto web = modules.webScreen(titleForTile(tag), AppLinks::regionalPartyBuildingPage())) {
                navigationController()->pushViewController(web, true);
            }
        }
        break;
    case kTileBmfw:
        pushScreen(modules.bmfw);
        break;
    case kTileMaiWei:
        if (modules.maiWei) {
            if (auto screen = modules.maiWei()) {
                presentViewController(ui::create<ui::NavigationController>(screen), true);
            }
        }
        break;
    case kTileSms:
        if (Utils::isLogin()) {
            querySmsPower();
        } else {
            showLogin(kFromSms);
        }
        break;
    default:  // party representatives, supply and demand, video column, grassroots activities
        break;
    }
}

void HeadViewController::openSlideModule(const SlideModule& module, const std::string& title) {
    std::shared_ptr<ui::ViewController> front;
    std::shared_ptr<ui::ViewController> rear;
    if (module.isBuilt()) {
        front = module.front();
        rear = module.rear();
    }
    if (!front || !rear) {
        // A module that is not in this program opens as an empty container.
        auto placeholder = ui::create<ModulePlaceholderViewController>();
        placeholder->setTitle(title);
        front = placeholder;
        rear = ui::create<ModulePlaceholderRearViewController>();
    }
    auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
    navigationController()->pushViewController(reveal, true);
}

void HeadViewController::pushScreen(const ScreenFactory& factory) {
    if (!factory) return;
    if (auto screen = factory()) navigationController()->pushViewController(screen, true);
}

void HeadViewController::openDjwg() { openSlideModule(moduleRegistry().djwg, titleForTile(kTileDjwg)); }

void HeadViewController::openSignList() { pushScreen(moduleRegistry().signList); }

void HeadViewController::querySmsPower() {
    requestType = kRequestPower;
    pp->GetPower(Utils::getMember()->member_id.description(), "1", "sms_platform");
}

void HeadViewController::showLogin(const std::string& isFrom) {
    loginview->setIsFrom(isFrom);
    view()->bringSubviewToFront(loginview->view());
    loginview->view()->setHidden(false);
}

void HeadViewController::signClick() {
    if (!isInFront()) return;
    if (Utils::isLogin()) {
        openSignList();
        return;
    }
    auto alert = ui::create<ui::AlertView>(Utils::kAlertTitle, "请先登录！", sharedAs<ui::AlertViewDelegate>(), "取消",
                                           std::vector<std::string>{"现在去登录"});
    alert->setTag(kLoginAlertTag);
    alert->show();
}

void HeadViewController::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) {
    if (alert && alert->tag() == kLoginAlertTag && buttonIndex == 1 && isInFront()) showLogin(kFromSign);
}

void HeadViewController::rolesName(const std::string&, bool loginState) {
    if (!loginState || !isInFront()) return;
    const std::string& from = loginview->isFrom();
    if (from == kFromDjwg) {
        openDjwg();
    } else if (from == kFromSms) {
        querySmsPower();
    } else if (from == kFromSign) {
        openSignList();
    }
}

void HeadViewController::GetWebServerContent_success(const std::string& result) {
    if (requestType != kRequestPower) return;
    requestType.clear();
    ns::NSLog("短信权限response=%@", result);
    // The answer may come after the user has gone elsewhere: then it opens nothing.
    if (!isInFront()) return;
    ns::Value reply = JSONValue(result);
    if (reply["is_power"].description() == "1") {
        pushScreen(moduleRegistry().sms);
    } else {
        Utils::showAlert("你没有权限使用该功能");
    }
}

void HeadViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    if (requestType != kRequestPower) return;
    requestType.clear();
    ns::NSLog("短信权限失败: %@", error ? error->description() : std::string("(null)"));
}
