// The audio and video lesson module: its menu of six categories and the
// category's paged list of lesson articles. Every category row builds a new
// list in front, also for the category already shown; a row of the list
// pushes the item (AudioDetailViewController).
//
//   auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(someFront),
//                                              ui::create<AudioRearViewController>());
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class AudioRearViewController : public SystemViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<RearMenu> menu;  // the rows (mdataArray), the table and the touches
    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }
};

class AudioFrontViewController : public SystemViewController, public PPClientDelegate, public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the menu before the view loads ----
    std::string category_code;
    std::string Navtitle;
    bool islogin = false;  // kept

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void revealToggle();

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr double kResultDelay = 0.5;

private:
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record);
    void open(const ns::Value& record);
};
