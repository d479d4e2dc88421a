// The current-affairs module's menu: the news list, the three channel lists
// and the way back to the home screen.
#pragma once

#include <memory>
#include <string>

#include "app/framework/SystemViewController.h"
#include "app/framework/RearMenu.h"
#include "service/VoVaClient.h"
#include "uikit/TableView.h"

class SSZTRearViewController : public RearMenuScreen, public PPClientDelegate {
public:
    void viewDidLoad() override;

    std::string channel_code;        // kept only
    std::shared_ptr<VoVaClient> pp;  // the menu sends nothing through it

protected:
    std::vector<RearMenu::Row> menuRows() override;
};

// The menu of the older current-affairs pair: home first, then the news
// screen; the other rows only take the highlight. No screen opens it.
class RearViewController : public ui::ViewController {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override {
        return orientation != ui::InterfaceOrientationPortraitUpsideDown;
    }

    std::shared_ptr<RearMenu> menu;
    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }
};
