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
#include "app/framework/WebPageScreen.h"
#include "uikit/TableView.h"
#include "uikit/WebView.h"

class VLDJRearViewController : public RearMenuScreen {
protected:
    std::vector<RearMenu::Row> menuRows() override;
    RearMenu::Options menuOptions() const override { return {.homeWithoutContainer = true}; }
};

// The fixed party-building page under a top bar whose back arrow pops it.
class VLDJWebViewController : public WebPageScreen {
public:
    static constexpr const char* kTitle = "Velmarsh党建";

protected:
    Page page() const override { return {.title = kTitle, .clearBackground = true}; }
    std::string pageURL() const override;
};

// A mass-line list screen that builds no list: only the base screen shows.
class QZLXViewController : public SystemViewController {
public:
    std::string category_code;
    std::shared_ptr<ui::TableView> mtableview;
};

// Only the base screen.
class ZXPXViewController : public SystemViewController {};
