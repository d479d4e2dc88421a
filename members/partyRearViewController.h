// The supply-and-demand board's menu: supply, demand and the member's own
// entries (one list class with different types; every touch builds a new
// front, also for the row shown) and the way back to the entry page.
#pragma once

#include <memory>
#include <string>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "uikit/TableView.h"

class partyRearViewController : public RearMenuScreen {
public:
    std::string userID, userType;

protected:
    std::vector<RearMenu::Row> menuRows() override;
    RearMenu::Options menuOptions() const override { return {.swapByClass = false}; }
};
