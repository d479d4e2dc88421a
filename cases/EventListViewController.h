// The grid events of one kind for the logged-in member ("GetEventList" with
// the type "3" events to handle, "1" urgent, "2" coordination), ten to a
// page, with pull-down refresh and pull-up paging. A row pushes the event's
// detail on the list's own navigation controller.
//
//   auto list = ui::create<EventListViewController>();
//   list->eventType = "1";
//   list->eventTitle = "急件处理";
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class EventListViewController : public SystemViewController, public PPClientDelegate, public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string eventType;   // sent as "type"
    std::string eventTitle;  // the bar's title

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the records (mdataArray), pageNo and the refresh views
    std::string user_id;
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void revealToggle();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kCellIdentifier = "cell";
    static constexpr const char* kNoDataText = "暂无数据！";
    static constexpr double kRowHeight = 80;

private:
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record);
    void open(const ns::Value& record);
};
