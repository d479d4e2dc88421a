#pragma once

#include <memory>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "foundation/Value.h"
#include "uikit/TableView.h"

// The names of the child organisations of a record ("child_org"); a row
// opens nothing. No screen opens it.
class GroupDetailViewController : public SystemViewController,
                                  public ui::TableViewDataSource,
                                  public ui::TableViewDelegate {
public:
    void viewDidLoad() override;

    ns::Value msgDit = ns::Value::dictionary();
    void setMsgDit(const ns::Value& record) { msgDit = record; }

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::TableView> mtableview;
    ns::Value mdataArray = ns::Value::array();


    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return 40;
    }
};
