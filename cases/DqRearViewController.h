// The direct line's menu: the petition list, the policy answers, the opinion
// survey and the way back to the home screen. It sends no request.
#pragma once

#include <memory>
#include <string>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "uikit/TableView.h"

class DqRearViewController : public RearMenuScreen {
public:
    std::string channel_code;  // kept only

protected:
    std::vector<RearMenu::Row> menuRows() override;
};
