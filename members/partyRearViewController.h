// The supply-and-demand board's menu: supply, demand and the member's own
// entries (one list class with different types; every touch builds a new
// front, also for the row shown) and the way back to the entry page.
#pragma once

#include <memory>
#include <string>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "uikit/TableView.h"

class partyRearViewController : public SystemViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::string userID, userType;
    std::shared_ptr<RearMenu> menu;  // the rows (mdataArray), the table and the touches

    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }
};
