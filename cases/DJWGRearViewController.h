// The party-building grid module's menu: the grid organisations, incident
// registration and the three event lists as the container's front, the
// address book pushed over the whole module, and the way home.
//
// Registration and the event lists are guarded: the row asks the service for
// the member's permission ("GetEventPower", type "1" to register, "2" to
// handle events) and the front changes only when the answer's "is_power" is
// "1" and no other row was touched since. Every front change builds a new
// screen in a new navigation controller.
#pragma once

#include <memory>
#include <functional>
#include <string>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/TableView.h"

class DJWGRearViewController : public RearMenuScreen, public PPClientDelegate {
public:
    void viewDidLoad() override;

    std::shared_ptr<VoVaClient> pp;  // the permission queries
    std::string user_id;             // the member's id, read when the view loads

    // True while the answer to the last permission query is outstanding.
    bool isQueryingPower() const { return powerRequest_ != nullptr; }

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kRowGrid = "网格信息";
    static constexpr const char* kRowRegister = "排查登记";
    static constexpr const char* kRowEvents = "事件处理";
    static constexpr const char* kRowUrgent = "急件处理";
    static constexpr const char* kRowCoordination = "协调件处理";
    static constexpr const char* kRowAddressBook = "通讯录";
    static constexpr const char* kNoReportPower = "你没有权限上报";
    static constexpr const char* kNoViewPower = "你没有权限查看";

protected:
    std::vector<RearMenu::Row> menuRows() override;
    RearMenu::Options menuOptions() const override { return {.swapByClass = false}; }

private:
    // Asks whether the member may ("1" register, "2" handle events); the
    // answer goes to `answer`, a refusal shows `refusal`.
    void queryPower(const std::string& type, const std::string& refusal, std::function<void(bool)> answer);

    // The permission query whose answer counts: the last one sent.
    std::shared_ptr<NetWebServiceRequest> powerRequest_;
    std::function<void(bool)> powerAnswer_;
    std::string powerRefusal_;
};
