// The members' homes' menu: the two homes and the way back to the home screen.
// A home's row leaves the front alone when that home is already shown.
#pragma once

#include <memory>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "uikit/TableView.h"

class VUDIRearViewController : public SystemViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<RearMenu> menu;  // the rows (mdataArray), the table and the touches
    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }
};
