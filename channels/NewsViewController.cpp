#include "channels/NewsViewController.h"

#include "app/widgets/ProgressHUD.h"
#include "app/shell/UIUtils.h"
#include "app/framework/FrontScreen.h"
#include "app/framework/PagedList.h"
#include "uikit/Button.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void NewsViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());
    // The menu button goes to whichever container holds the screen when touched.
    navigationItem()->setLeftBarButtonItem(UIUtils::backButtonForTarget(this, &NewsViewController::revealToggle));
    view()->setBackgroundColor(ui::Color::whiteColor());
    setTitle(title());
    loadingData("1");
}

void NewsViewController::revealToggle() { toggleRevealOf(*this); }

std::shared_ptr<ui::BarButtonItem> NewsViewController::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{8, 10, 20, 20});
    button->setImage(ui::Image::imageNamed(""), ui::ControlStateNormal);
    button->addTarget(this, &NewsViewController::revealToggle, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void NewsViewController::loadingData(const std::string& page) {
    showProgress(PagedList::kLoadingStatus);
    pp->news_request(page, "10", "shishixinwen");
}

void NewsViewController::GetWebServerContent_success(const std::string&) {
    ProgressHUD::dismissWithSuccess(PagedList::kSuccessStatus, "", kResultDelay);
    ProgressHUD::dismiss();
}

void NewsViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    ProgressHUD::dismissWithError(PagedList::kFailureStatus, "", kResultDelay);
    ProgressHUD::dismiss();
}
