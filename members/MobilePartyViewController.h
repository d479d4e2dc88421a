// 流动党员之家: the home of floating party members (see PartyHomeViewController).
#pragma once

#include "members/PartyHomeViewController.h"
#include "uikit/TableView.h"

class MobilePartyViewController : public PartyHomeViewController,
                                  public ui::TableViewDataSource,
                                  public ui::TableViewDelegate {
public:
    void viewDidLoad() override;
    std::string screenTitle() const override { return "流动党员之家"; }
    std::string homeType() const override { return "2"; }
    std::string orgKey() const override { return TextView::kMobileKey; }

    // A list the screen never shows: no table is created for it.
    std::shared_ptr<ui::TableView> mtableview;
    ns::Value mdataArray = ns::Value::array();
    int pageNo = 1;

    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {}
};
