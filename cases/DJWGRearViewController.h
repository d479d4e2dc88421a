// The party-building grid module's menu: the grid organisations, incident
// registration and the three event lists as the container's front, the
// address book pushed over the whole module, and the way home.
//
// Registration and the event lists are guarded: the row asks the service for
// the member's permission ("GetEventPower", type "1" to register, "2" to
// handle events) and the front changes only when the answer's "is_power" is
// "1". Every front change builds a new screen in a new navigation controller.
#pragma once

#include <memory>
#include <string>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/TableView.h"

class DJWGRearViewController : public SystemViewController,
                               public PPClientDelegate,
                               public ui::TableViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<VoVaClient> pp;  // the permission queries
    std::shared_ptr<RearMenu> menu;  // the rows, their highlight and the table
    std::string user_id;             // the member's id, read when the view loads
    std::string requestType;         // "排查登记" or "事件处理" while a query is out
    std::string titleStr;            // the row touched last

    std::shared_ptr<ui::TableView> rearTableView() const { return menu ? menu->rearTableView : nullptr; }
    const ns::Value& mdataArray() const { return menu->records(); }

    // True while the answer to the last permission query is outstanding.
    bool isQueryingPower() const { return powerRequest_ != nullptr; }

    // A row was touched: the highlight moves, then the row's action.
    void selectRow(long row);

    // ---- Table (the menu is the data source) ----
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return RearMenu::kRowHeight;
    }
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override {
        selectRow(ip.row);
    }

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kRowGrid = "网格信息";
    static constexpr const char* kRowRegister = "排查登记";
    static constexpr const char* kRowEvents = "事件处理";
    static constexpr const char* kRowUrgent = "急件处理";
    static constexpr const char* kRowCoordination = "协调件处理";
    static constexpr const char* kRowAddressBook = "通讯录";
    static constexpr const char* kRowActivities = "基层活动";
    static constexpr const char* kNoReportPower = "你没有权限上报";
    static constexpr const char* kNoViewPower = "你没有权限查看";

private:
    void setFront(const std::shared_ptr<ui::ViewController>& screen);
    void pushOverModule(const std::shared_ptr<ui::ViewController>& screen);
    void queryPower(const std::string& kind, const std::string& type);

    // The permission query whose answer counts: the last one sent.
    std::shared_ptr<NetWebServiceRequest> powerRequest_;
};
