// The drill-down organisation picker.
//
//   auto picker = ui::create<OrgViewController>();
//   picker->setDelegate(sharedAs<OrgViewControllerDelegate>());
//   navigationController()->pushViewController(picker, true);
//   ...
//   void orgName(const ns::Value& name, const ns::Value& orgId) override { ... }
//
// It opens on the county level (GetOrgList "county"); touching a row opens
// that organisation and lists the ones under it (GetOrgList "org" with its
// id); "上一级" goes back up one level; "确定" sends the delegate the name and
// id of the organisation opened last (nil and nil when none was) and pops
// the picker. The bar's back button pops it without a choice.
#pragma once

#include <memory>
#include <vector>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"

class OrgViewControllerDelegate {
public:
    virtual ~OrgViewControllerDelegate() = default;
    // The organisation's "name" and "id" as the service gave them, or nil and nil.
    virtual void orgName(const ns::Value& /*name*/, const ns::Value& /*orgId*/) {}
};

class OrgViewController : public SystemViewController,
                          public PPClientDelegate,
                          public ui::TableViewDataSource,
                          public ui::TableViewDelegate {
public:
    void init() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<OrgViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<OrgViewControllerDelegate>& d) { delegate_ = d; }

    // "上一级" and "确定".
    void goUp();
    void confirm();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // Table
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                       const ui::IndexPath& ip) override;
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override;

    // The levels open now (1: the counties) and the organisations shown.
    std::size_t depth() const { return levels_.size(); }
    ns::Value currentRecords() const { return levels_.empty() ? ns::Value::array() : levels_.back().records; }
    // The organisation opened last (nil before any).
    const ns::Value& chosenName() const { return chosenName_; }
    const ns::Value& chosenId() const { return chosenId_; }

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Label> levelLabel;  // the organisation whose list is shown
    std::shared_ptr<ui::Button> upButton;
    std::shared_ptr<ui::Button> confirmButton;
    std::shared_ptr<ui::TableView> mtableview;

    static constexpr const char* kCountyLevel = "county";
    static constexpr const char* kOrgLevel = "org";

private:
    struct Level {
        ns::Value org;                                 // nil for the counties
        ns::Value records = ns::Value::array();        // the organisations listed
        std::shared_ptr<NetWebServiceRequest> request;  // the list's request while it loads
    };
    Level* levelFor(const std::shared_ptr<NetWebServiceRequest>& request);
    void showLevel();

    std::weak_ptr<OrgViewControllerDelegate> delegate_;
    std::vector<Level> levels_;
    ns::Value chosenName_;
    ns::Value chosenId_;
};
