// The front screen of the current-affairs module: the "shishixinwen" articles,
// newest first, ten to a page, with pull-down refresh and pull-up load-more.
// A row pushes the article on the screen's navigation controller.
//
//   auto front = ui::create<SSZTFrontViewController>();
//   auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front),
//                                              ui::create<SSZTRearViewController>());
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "app/framework/PagedList.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class SSZTFrontViewController : public SystemViewController, public PPClientDelegate, public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the opener (optional) ----
    bool islogin = false;          // handed on to the article
    std::string category_code;     // kept; the list always shows "shishixinwen"

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void revealToggle();
    // A bar item with the "head_right.png" button; the screen does not place it.
    std::shared_ptr<ui::BarButtonItem> right();
    void set() {}

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTitle = "时事新闻";
    static constexpr const char* kCategory = "shishixinwen";
    static constexpr double kResultDelay = 0.5;

private:
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record);
    void open(const ns::Value& record);
};
