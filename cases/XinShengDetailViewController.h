// One petition, read only: its record and, under "处理情况:", one row per
// handling step. The labels grow with their texts.
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "cases/PetitionRecordView.h"
#include "service/VoVaClient.h"
#include "uikit/TableView.h"
#include "uikit/ViewController.h"

class XinShengDetailViewController : public BaseScreen,
                                     public PPClientDelegate,
                                     public ui::TableViewDataSource,
                                     public ui::TableViewDelegate {
public:
    void viewDidLoad() override;

    std::string feel_id;  // set by the opener

    std::shared_ptr<VoVaClient> PP;
    std::shared_ptr<NavBarView> naview;
    PetitionLabels labels;
    std::shared_ptr<ui::TableView> mtableview;
    ns::Value mdataArray = ns::Value::array();  // the handling records


    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                             const ui::IndexPath& ip) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
};
