// The regional party-building module's menu: the four article channels, the
// fixed "Velmarsh党建" web page and the way home. Built to be the rear of a
// RevealController whose front holds VLDJFrontViewController.
//
//   auto reveal = ui::create<RevealController>(
//       ui::create<ui::NavigationController>(ui::create<VLDJFrontViewController>()),
//       ui::create<VLDJRearViewController>());
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "uikit/TableView.h"
#include "uikit/WebView.h"

class VLDJRearViewController : public SystemViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<RearMenu> menu;  // the rows (mdataArray), the table and the touches
    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }

    // The row of the web page: pushes it on the menu's navigation controller.
    void openWebPage();

    static constexpr long kWebPageRow = 4;
};

// The fixed party-building page under a top bar whose back arrow pops it.
class VLDJWebViewController : public SystemViewController, public ui::WebViewDelegate, public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // A page still loading takes its overlay with it.
    void viewWillDisappear(bool animated) override;

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::WebView> mwebview;

    void back() override;
    void webViewDidStartLoad(const std::shared_ptr<ui::WebView>&) override;
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>&) override;
    void webView_didFailLoadWithError(const std::shared_ptr<ui::WebView>&, const ns::ErrorPtr&) override;

    static constexpr const char* kTitle = "Velmarsh党建";
    static constexpr float kResultDelay = 0.75f;
};

// A mass-line list screen that builds no list: only the base screen shows.
class QZLXViewController : public SystemViewController {
public:
    std::string category_code;
    std::shared_ptr<ui::TableView> mtableview;
};

// Only the base screen.
class ZXPXViewController : public SystemViewController {};
