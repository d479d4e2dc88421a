// The shared web screen: a page at an address under the top bar.
//
//   auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");   // initWithNibName:bundle:
//   web->titleStr = "附件详情";            // may stay empty
//   web->urlStr = record["file_path"].text();
//   navigationController()->pushViewController(web, true);
//
// The page loads when the view loads. While a page loads the progress
// overlay shows "加载中..."; it goes when the load ends or fails, or when the
// screen goes away. Links open in the same web view. The bar's back button
// pops the screen; the system navigation bar stays hidden.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "uikit/WebView.h"

class OCJUIWebViewController : public SystemViewController, public ui::WebViewDelegate, public NavBarViewDelegate {
public:
    using SystemViewController::init;
    // initWithNibName:bundle: (no bundle).
    void init(const std::string& nibName) { initWithNibName(nibName, nullptr); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    std::string titleStr;
    std::string urlStr;

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::WebView> webView;

    // NavBarViewDelegate
    void back() override;
    // WebViewDelegate
    void webViewDidStartLoad(const std::shared_ptr<ui::WebView>&) override;
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) override;
    void webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&, const ns::ErrorPtr& error) override;

private:
    void endProgress();

    bool showingProgress_ = false;
};
