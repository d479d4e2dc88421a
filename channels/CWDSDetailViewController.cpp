#include "channels/CWDSDetailViewController.h"

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "channels/ArticlePage.h"
#include "channels/ChannelStyle.h"
#include "foundation/Format.h"
#include "uikit/Button.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"
#include "uikit/Text.h"

void CWDSDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(titleStr);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    view()->setBackgroundColor(ui::Color::whiteColor());

    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    auto page = buildArticlePage(*view(), title(), sharedAs<NavBarViewDelegate>(), h - 64);
    naview = page.naview;
    msrview = page.msrview;
    titleLabel = page.titleLabel;
    timeLabel = page.timeLabel;
    line = page.line;

    mwebview = ui::create<ui::WebView>(ui::Rect{5, 0, w - 10, 90});
    mwebview->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    mwebview->setDelegate(sharedAs<ui::WebViewDelegate>());
    mwebview->scrollView()->setScrollEnabled(false);
    msrview->addSubview(mwebview);

    navigationItem()->setLeftBarButtonItem(left());

    ProgressHUD::showWithTitle("", channelstyle::kLoadingText);
    loading_ = true;
    pp->news_detail_request(article_id);
}

void CWDSDetailViewController::viewWillDisappear(bool animated) {
    SystemViewController::viewWillDisappear(animated);
    if (!loading_) return;
    loading_ = false;
    ProgressHUD::dismiss();
}

void CWDSDetailViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

std::shared_ptr<ui::BarButtonItem> CWDSDetailViewController::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{5, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("ico_back.png"), ui::ControlStateNormal);
    button->addTarget(this, &CWDSDetailViewController::back, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void CWDSDetailViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void CWDSDetailViewController::GetWebServerContent_success(const std::string& result) {
    loading_ = false;
    loadingSuccess();
    ProgressHUD::dismissWithSuccess("加载成功！", "", kResultDelay);
    ProgressHUD::dismiss();

    ns::Value record = records::item(records::parse(result));
    const std::string titleText = records::text(record, "title");
    const double w = view()->bounds().size.width;
    ui::Size titleSize = ui::sizeWithFont(titleText, ui::Font::boldSystemFontOfSize(16), ui::Size{w - 10, 500},
                                          ui::LineBreakByCharWrapping);
    titleLabel->setText(titleText);
    titleLabel->setFrame(ui::Rect{5, 5, titleSize.width, titleSize.height});
    timeLabel->setText(ns::format("%@ %@", "时间:", records::text(record, "add_time")));
    timeLabel->setFrame(ui::Rect{5, titleSize.height + 10, 200, 15});
    ui::Rect t = timeLabel->frame();
    line->setFrame(ui::Rect{5, t.origin.y + t.size.height + 10, w - 10, 0.8});
    mwebview->loadHTMLString(records::text(record, "content"), "");
}

void CWDSDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    loading_ = false;
    loadingFail();
    ProgressHUD::dismissWithError(channelstyle::kLoadFailedText, "", kResultDelay);
    ProgressHUD::dismiss();
}

void CWDSDetailViewController::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& webView) {
    if (!webView) return;
    double height = ns::Value(webView->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight")).floatValue();
    if (height < 0) height = 0;
    const double w = view()->bounds().size.width;
    ui::Rect l = line->frame();
    webView->setFrame(ui::Rect{5, l.origin.y + l.size.height, w - 10, height});
    ui::Rect b = webView->frame();
    msrview->setContentSize(ui::Size{w, b.origin.y + b.size.height});
}
