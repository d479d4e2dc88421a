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
#include "app/framework/ListScreen.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class EventListViewController : public ListScreen {
public:
    // ---- Set by the opener before the view loads ----
    std::string eventType;   // sent as "type"
    std::string eventTitle;  // the bar's title

    std::string user_id;  // the logged-in member's, read when the view loads

    void viewDidLoad() override;

    static constexpr const char* kCellIdentifier = "cell";
    static constexpr const char* kNoDataText = "暂无数据！";
    static constexpr double kRowHeight = 80;

protected:
    Options options() const override {
        return {.title = eventTitle,
                .rowHeight = kRowHeight,
                .separators = true,
                .background = ui::Color::colorWithRed(0.96, 0.96, 0.96, 1)};
    }
    void requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
    void pageLoaded() override;
};
