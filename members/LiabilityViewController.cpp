#include "members/LiabilityViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/framework/RevealController.h"
#include "foundation/Log.h"
#include "members/partyFrontViewController.h"
#include "members/partyRearViewController.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {
constexpr const char* kConfigOperation = "GetUserConfig";
}

void LiabilityViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    const double w = view()->frame().size.width;
    const double h = view()->frame().size.height;
    view()->setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    naview = makeBackNavBar(*this, kTitle);

    mwebview = ui::create<ui::WebView>(ui::Rect{0, 64, w, h - 124});
    mwebview->setDelegate(sharedAs<ui::WebViewDelegate>());
    view()->addSubview(mwebview);

    auto makeButton = [&](const char* title, double x) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{x, h - 50, 90, 40});
        b->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
        b->setTitle(title, ui::ControlStateNormal);
        b->titleLabel()->setFont(ui::Font::systemFontOfSize(16));
        view()->addSubview(b);
        return b;
    };
    backButton = makeButton("返回", (w - 180) / 3);
    backButton->addTarget(this, &LiabilityViewController::back, ui::ControlEventTouchUpInside);
    agreeButton = makeButton("同意", 2 * (w - 180) / 3 + 90);
    agreeButton->addTarget(this, &LiabilityViewController::check, ui::ControlEventTouchUpInside);

    checkview = ui::create<CheckView>(ui::Rect{0, 64, w, h - 64});
    checkview->setDelegate(sharedAs<CheckViewDelegate>());
    checkview->setHidden(true);
    view()->addSubview(checkview);

    showProgress("加载中...");
    pp->GetUserConfig();
}

void LiabilityViewController::check() { checkview->setHidden(false); }

void LiabilityViewController::CheckUser(const ns::Value& identity) {
    checkview->setHidden(true);
    auto front = ui::create<partyFrontViewController>();
    auto rear = ui::create<partyRearViewController>();
    auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
    front->_type = "1";
    front->userType = records::text(identity, "user_type");
    front->userID = records::text(identity, "user_id");
    rear->userType = front->userType;
    rear->userID = front->userID;
    ns::NSLog("partyFrontViewController====user_id==%@  user_type==%@", ns::Value(front->userID),
              ns::Value(front->userType));
    if (auto nav = navigationController()) nav->pushViewController(reveal, true);
}

void LiabilityViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kConfigOperation) return;
    ProgressHUD::dismiss();
    ns::Value config = records::object(records::parse(result), "records");
    std::string html = records::text(config, "disclaimer");
    if (!html.empty()) mwebview->loadHTMLString(html, "");
}

void LiabilityViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    if (pp->replyOperation() != kConfigOperation) return;
    ProgressHUD::dismiss();
}
