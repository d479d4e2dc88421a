// The members' homes' menu: the two homes and the way back to the home screen.
// A home's row leaves the front alone when that home is already shown.
#pragma once

#include <memory>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "uikit/TableView.h"

class VUDIRearViewController : public RearMenuScreen {
protected:
    std::vector<RearMenu::Row> menuRows() override;
};
