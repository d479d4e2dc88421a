// A web page under the top bar, its loads reported on the progress overlay:
// "加载中..." while a page loads, then (where the page says so) "加载成功！"
// or "加载失败！" as it ends; a failure stays in sight for kResultDelay.
// Links open in the same web view. The page is either pushed (the bar's back
// button pops it) or a module's front screen (the bar's menu button and pan
// work the slide menu).
//
//   class VLDJWebViewController : public WebPageScreen {
//       Page page() const override { return {.title = "Velmarsh党建", .clearBackground = true}; }
//       std::string pageURL() const override { return AppLinks::regionalPartyBuildingPage(); }
//   };
//
// The page loads when the view loads. A screen left while its page loads
// stops the load, and its overlay goes with it. A load cut short by the next
// one leaves the overlay to that one.
#pragma once

#include <memory>
#include <string>

#include "app/framework/SystemViewController.h"
#include "app/widgets/NavBarView.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/WebView.h"

class WebPageScreen : public SystemViewController, public ui::WebViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;  // front pages only
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;
    std::shared_ptr<ui::WebView> webView;

    void revealToggle();

    // WebViewDelegate
    void webViewDidStartLoad(const std::shared_ptr<ui::WebView>&) override;
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) override;
    void webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&, const ns::ErrorPtr& error) override;

    static constexpr float kResultDelay = 0.75f;

protected:
    struct Page {
        std::string title{};             // the screen's title ("" keeps the one its opener set)
        bool front = false;            // a module's front screen rather than a pushed page
        bool showsResult = true;       // the overlay shows how the load ended
        bool scalesToFit = false;
        bool clearBackground = false;  // a transparent web view
    };
    virtual Page page() const = 0;
    virtual std::string pageURL() const = 0;
};
