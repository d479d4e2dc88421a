// The direct line's menu: the petition list, the policy answers, the opinion
// survey and the way back to the home screen. It sends no request.
#pragma once

#include <memory>
#include <string>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "uikit/TableView.h"

class DqRearViewController : public SystemViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::string channel_code;        // kept only
    std::shared_ptr<RearMenu> menu;  // the rows (mdataArray), the table and the touches

    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }
};
