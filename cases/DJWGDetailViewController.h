// The record of one grid organisation: its name (from the list record), the
// leader, telephone, address, member count and picture from the service,
// then its child organisations, each opening a record screen one level
// deeper. "活动开展" opens the organisation's activities.
//
//   auto detail = ui::create<DJWGDetailViewController>();
//   detail->setMsgDit(record);          // needs "id" and "name"
//   navigationController()->pushViewController(detail, true);
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"

class DJWGDetailViewController : public SystemViewController,
                                 public PPClientDelegate,
                                 public ui::TableViewDataSource,
                                 public ui::TableViewDelegate {
public:
    void viewDidLoad() override;

    ns::Value msgDit = ns::Value::dictionary();
    void setMsgDit(const ns::Value& record) { msgDit = record; }

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Label> nameLabel;
    std::shared_ptr<ui::Button> activityButton;
    std::shared_ptr<ui::ImageView> headimagev;
    std::shared_ptr<ui::Label> PeopleLabel;
    std::shared_ptr<ui::Label> phoneLabel;
    std::shared_ptr<ui::Label> addressLabel;
    std::shared_ptr<ui::Label> countLabel;
    std::shared_ptr<ui::TableView> mtableview;
    std::string orgID;
    ns::Value mdataArray = ns::Value::array();

    // "活动开展": the activity list of this organisation.
    void showactivity();

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override;

    static constexpr const char* kTitle = "党建网格";
    static constexpr const char* kPlaceholder = "icon_empty.png";
};
