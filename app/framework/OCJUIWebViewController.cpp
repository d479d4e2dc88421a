#include "app/framework/OCJUIWebViewController.h"

#include "app/widgets/ProgressHUD.h"
#include "uikit/NavigationController.h"

void OCJUIWebViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    double w = view()->bounds().size.width;
    double h = view()->bounds().size.height;
    view()->setBackgroundColor(ui::Color::whiteColor());

    naview = ui::create<NavBarView>(ui::Rect{0, 0, w, NavBarView::kHeight});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(titleStr);
    view()->addSubview(naview);

    webView = ui::create<ui::WebView>(ui::Rect{0, NavBarView::kHeight, w, h - NavBarView::kHeight});
    webView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    webView->setScalesPageToFit(true);
    webView->setDelegate(sharedAs<ui::WebViewDelegate>());
    view()->addSubview(webView);
    webView->loadRequest(ui::URLRequest::requestWithURL(urlStr));
}

void OCJUIWebViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

void OCJUIWebViewController::viewWillDisappear(bool animated) {
    SystemViewController::viewWillDisappear(animated);
    // Leaving while a page loads: the overlay must not stay behind.
    if (webView && webView->isLoading()) webView->stopLoading();
    endProgress();
}

void OCJUIWebViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void OCJUIWebViewController::webViewDidStartLoad(const std::shared_ptr<ui::WebView>&) {
    showingProgress_ = true;
    ProgressHUD::showWithTitle("", "加载中...");
}

void OCJUIWebViewController::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) { endProgress(); }

void OCJUIWebViewController::webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&,
                                                          const ns::ErrorPtr& error) {
    // A load cut short by the next one: that one ends the overlay.
    if (error && error->domain == ui::NSURLErrorDomain && error->code == ui::URLErrorCancelled &&
        webView->isLoading())
        return;
    endProgress();
}

void OCJUIWebViewController::endProgress() {
    if (!showingProgress_) return;
    showingProgress_ = false;
    ProgressHUD::dismiss();
}
