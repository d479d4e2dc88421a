// 组织生活: the organisational-life records of one organisation, newest first,
// 20 a page, with pull-down refresh and pull-up for the next page (the first
// page of an organisation loads without the overlay; the overlay closes
// without a result text). An empty list hides the table and says
// "暂无相关数据！". A row opens ZuZhiDetailViewController on the navigation
// controller of the home screen that holds the list.
//
//   orgLifeview = ui::create<OrganizationalLifeView>(ui::Rect{0, 104, w, h - 104});
//   orgLifeview->setType("2");
//   orgLifeview->loadingDataWithorg_id(orgId);    // page "1" of that organisation
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

class MobilePartyViewController;
class QuorvelPartViewController;

class OrganizationalLifeView : public ui::View, public PPClientDelegate {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    static constexpr const char* kPageSize = "20";

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::string orgID;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }
    const std::string& type() const { return type_; }
    void setType(const std::string& t) { type_ = t; }

    // Starts the list of that organisation again from page "1" (no overlay).
    void loadingDataWithorg_id(const std::string& orgId);

    // The home screens that hold the view, or nothing.
    std::shared_ptr<MobilePartyViewController> viewController() const;
    std::shared_ptr<QuorvelPartViewController> QuorvelviewController() const;

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

private:
    void open(const ns::Value& record);

    std::string type_;
};

// One organisational-life record: heading, author and time, and the body.
class ZuZhiDetailViewController : public BaseScreen {
public:
    void viewDidLoad() override;

    const ns::Value& LiftDit() const { return liftDit_; }
    void setLiftDit(const ns::Value& record) { liftDit_ = record; }

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Label> headingLabel, lineLabel, bodyLabel;

private:
    ns::Value liftDit_ = ns::Value::dictionary();
};
