// 组织生活: the organisational-life records of one organisation, newest first,
// 20 a page, with pull-down refresh and pull-up for the next page. A row
// opens ZuZhiDetailViewController on the navigation controller of the home
// screen that holds the list.
//
//   orgLifeview = ui::create<OrganizationalLifeView>(ui::Rect{0, 104, w, h - 104});
//   orgLifeview->setType("2");
//   orgLifeview->loadingDataWithorg_id(orgId);    // page "1" of that organisation
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/widgets/PullRefresh/PullRefreshTableDelegate.h"
#include "app/widgets/PullRefresh/PullRefreshTableFooterView.h"
#include "app/widgets/PullRefresh/PullRefreshTableHeaderView.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

class MobilePartyViewController;
class QuorvelPartViewController;

class OrganizationalLifeView : public ui::View,
                               public PPClientDelegate,
                               public ui::TableViewDataSource,
                               public ui::TableViewDelegate,
                               public PullRefreshTableDelegate {
public:
    using Table = std::shared_ptr<ui::TableView>;
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    static constexpr const char* kPageSize = "20";

    std::shared_ptr<VoVaClient> pp;
    ns::Value mdataArray = ns::Value::array();
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PullRefreshTableHeaderView> _refreshHeaderView;
    std::shared_ptr<PullRefreshTableFooterView> _refreshFooterView;
    bool _reloading = false;
    int pageNo = 1;
    std::string orgID;

    const std::string& type() const { return type_; }
    void setType(const std::string& t) { type_ = t; }

    // Starts the list of that organisation again from page "1".
    void loadingDataWithorg_id(const std::string& orgId);
    void refreshView();
    void getNextPageView();

    // The home screens that hold the view, or nothing.
    std::shared_ptr<MobilePartyViewController> viewController() const;
    std::shared_ptr<QuorvelPartViewController> QuorvelviewController() const;

    // ---- Refresh plumbing ----
    void createHeaderView();
    void removeHeaderView();
    void setFooterView();
    void removeFooterView();
    void showRefreshHeader(bool animated);
    void beginToReloadData(PullRefreshPos position);
    void finishReloadingData();
    void testFinishedLoadData();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // Table
    long tableView_numberOfRowsInSection(const Table&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const Table& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const Table& table, const ui::IndexPath& ip) override;
    void tableView_didSelectRowAtIndexPath(const Table& table, const ui::IndexPath& ip) override;
    void scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) override;
    void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView,
                                                 bool decelerate) override;
    // Refresh views
    void pullRefreshTableDidTriggerRefresh(PullRefreshPos position) override;
    bool pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>& view) override;
    ns::Date pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>& view) override;

private:
    void request(const std::string& page);
    template <typename T>
    std::shared_ptr<T> host() const;

    std::string type_;
    std::shared_ptr<NetWebServiceRequest> pending_;  // the page request whose reply counts
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
