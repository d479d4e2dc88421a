#include "channels/VLDJRearViewController.h"

#include "app/shell/AppLinks.h"
#include "app/widgets/ProgressHUD.h"
#include "channels/ChannelStyle.h"
#include "channels/VLDJFrontViewController.h"
#include "uikit/NavigationController.h"

namespace {

// The shared menu, plus the web-page row, which pushes over the whole module.
class VLDJMenu : public RearMenu {
public:
    std::weak_ptr<VLDJRearViewController> owner;

    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override {
        auto keep = owner.lock();
        selectRow(ip.row);
        if (keep && ip.row == VLDJRearViewController::kWebPageRow) keep->openWebPage();
    }
};

}  // namespace

void VLDJRearViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    auto rows = std::vector<RearMenu::Row>{
        RearMenu::bareScreenRow<VLDJFrontViewController>("群众路线"),
        RearMenu::screenRow<ZGYWViewController>("组工要闻",
                                                [](ZGYWViewController& s) { s.category_code = "zugongyaowen"; }),
        RearMenu::screenRow<JCDTViewController>("基层动态",
                                                [](JCDTViewController& s) { s.category_code = "jicengdongtai"; }),
        RearMenu::screenRow<XJDXViewController>("先进典型",
                                                [](XJDXViewController& s) { s.category_code = "xianjindianxing"; }),
        RearMenu::highlightRow(VLDJWebViewController::kTitle),
        RearMenu::homeRow(),
    };
    auto vldjMenu = ui::create<VLDJMenu>(std::move(rows), RearMenu::Options{});
    vldjMenu->owner = sharedAs<VLDJRearViewController>();
    menu = vldjMenu;
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
}

void VLDJRearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
}

void VLDJRearViewController::openWebPage() {
    if (auto nav = navigationController()) nav->pushViewController(ui::create<VLDJWebViewController>(), true);
}

// ---- The fixed page ----

void VLDJWebViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    view()->setBackgroundColor(ui::Color::whiteColor());
    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    naview = ui::create<NavBarView>(ui::Rect{0, 0, w, NavBarView::kHeight});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    view()->addSubview(naview);
    naview->titleLabel->setText(title());

    mwebview = ui::create<ui::WebView>(ui::Rect{0, 64, w, h - 64});
    view()->addSubview(mwebview);
    mwebview->setDelegate(sharedAs<ui::WebViewDelegate>());
    mwebview->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    mwebview->setUserInteractionEnabled(true);
    mwebview->setBackgroundColor(ui::Color::clearColor());
    mwebview->setOpaque(false);
    mwebview->loadRequest(ui::URLRequest::requestWithURL(AppLinks::regionalPartyBuildingPage()));
}

void VLDJWebViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

void VLDJWebViewController::viewWillDisappear(bool animated) {
    SystemViewController::viewWillDisappear(animated);
    if (mwebview && mwebview->isLoading()) ProgressHUD::dismiss();
}

void VLDJWebViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void VLDJWebViewController::webViewDidStartLoad(const std::shared_ptr<ui::WebView>&) {
    ProgressHUD::showWithTitle("", channelstyle::kLoadingText);
}

void VLDJWebViewController::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) {
    ProgressHUD::dismissWithSuccess("加载成功！", "", kResultDelay);
    ProgressHUD::dismiss();
}

void VLDJWebViewController::webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&, const ns::ErrorPtr&) {
    ProgressHUD::dismissWithError(channelstyle::kLoadFailedText, "", kResultDelay);
    ProgressHUD::dismiss();
}
