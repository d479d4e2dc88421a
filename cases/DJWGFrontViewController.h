// The front screen of the party-building grid: the organisations under the
// logged-in member's organisation. A row pushes the organisation's record.
//
//   auto front = ui::create<DJWGFrontViewController>();
//   front->setChannel_code("djwg");
//   auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
#pragma once

#include <memory>
#include <string>

#include "app/framework/FrontScreen.h"
#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class DJWGFrontViewController : public FrontOf<SystemViewController>,
                                public PPClientDelegate,
                                public ui::TableViewDataSource,
                                public ui::TableViewDelegate {
public:
    void viewDidLoad() override;

    // Kept for the module; the list does not depend on it.
    std::string channel_code;
    void setChannel_code(const std::string& code) { channel_code = code; }

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::TableView> mtableview;
    ns::Value mdataArray = ns::Value::array();


    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    // Table
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return kRowHeight;
    }
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override;

    static constexpr const char* kTitle = "党建网格";
    static constexpr const char* kListType = "orgChildOrg";
    static constexpr double kRowHeight = 40;
    static constexpr float kResultDelay = 0.75f;
};
