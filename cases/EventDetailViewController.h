// One grid event ("事件详细"): its fields, its handling history and, when the
// service allows the member to handle it, the handling panel. A handling goes
// out with "SubmitEventHandle" and the event is loaded again afterwards.
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "cases/ResultView.h"
#include "service/VoVaClient.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TableView.h"
#include "uikit/TextView.h"
#include "uikit/ViewController.h"

class EventDetailViewController : public BaseScreen,
                                  public PPClientDelegate,
                                  public ui::TableViewDataSource,
                                  public ui::TableViewDelegate,
                                  public ResultViewDelegate,
                                  public ui::TextViewDelegate {
public:
    void viewDidLoad() override;

    std::string eventID;  // set by the opener before the view loads

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> mscrview;
    std::shared_ptr<ui::Label> titleLabel, gavLabel, peopleLabel, tagLabel, timeLabel, addressLabel, stateLabel,
        tagPeopleLabel, resultLabel;
    std::shared_ptr<ui::TableView> mtableview;
    ns::Value dataArray = ns::Value::array();  // the event's handling records
    std::shared_ptr<ResultView> resview;
    std::string requestType;  // "事件详细" or "提交"
    std::string user_id;


    // ---- Table ----
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return kHistoryRowHeight;
    }

    // The opinion text view
    bool textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>&) override;
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>&, ns::Range,
                                                          const std::string& text) override;

    // ResultViewDelegate
    void resultContent(const std::string& content, bool is_handing, bool is_handled, bool is_coordination,
                       bool is_report) override;

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTitle = "事件详细";
    static constexpr double kHistoryRowHeight = 85;

private:
    void loadEvent();
    void showEvent(const ns::Value& reply);
};
