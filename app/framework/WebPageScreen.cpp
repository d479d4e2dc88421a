#include "app/framework/WebPageScreen.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "uikit/NavigationController.h"

void WebPageScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    const Page p = page();
    if (!p.title.empty()) setTitle(p.title);
    view()->setBackgroundColor(ui::Color::whiteColor());
    const ui::Size size = view()->bounds().size;

    if (p.front) {
        naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
        menuButton = addMenuButton(*naview, this);
    } else {
        naview = makeBackNavBar(*this);
    }

    webView = ui::create<ui::WebView>(ui::Rect{0, NavBarView::kHeight, size.width, size.height - NavBarView::kHeight});
    webView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    if (p.scalesToFit) webView->setScalesPageToFit(true);
    if (p.clearBackground) {
        webView->setBackgroundColor(ui::Color::clearColor());
        webView->setOpaque(false);
    }
    webView->setDelegate(sharedAs<ui::WebViewDelegate>());
    view()->addSubview(webView);
    webView->loadRequest(ui::URLRequest::requestWithURL(pageURL()));
}

void WebPageScreen::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (page().front) {
        prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
    } else if (auto nav = navigationController()) {
        nav->setNavigationBarHidden(true, false);
    }
}

void WebPageScreen::viewWillDisappear(bool animated) {
    if (webView && webView->isLoading()) webView->stopLoading();
    SystemViewController::viewWillDisappear(animated);
}

void WebPageScreen::revealToggle() { toggleRevealOf(*this); }

void WebPageScreen::webViewDidStartLoad(const std::shared_ptr<ui::WebView>&) { showProgress("加载中..."); }

void WebPageScreen::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) {
    if (!showsOwnProgress()) return;
    loadingSuccess();
    if (page().showsResult) ProgressHUD::dismissWithSuccess("加载成功！", "", kResultDelay);
    ProgressHUD::dismiss();
}

void WebPageScreen::webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&, const ns::ErrorPtr& error) {
    const bool cancelled = error && error->domain == ui::NSURLErrorDomain && error->code == ui::URLErrorCancelled;
    // A load cut short by the next one: that one ends the overlay.
    if (cancelled && webView && webView->isLoading()) return;
    if (!showsOwnProgress()) return;
    // A load stopped on purpose (the screen is left) failed nothing.
    if (page().showsResult && !cancelled) {
        // The failure stays in sight for its delay (a dismissal now would
        // take it down unseen, the page left blank without a word).
        ProgressHUD::dismissWithError("加载失败！", "", kResultDelay);
        return;
    }
    ProgressHUD::dismiss();
}
