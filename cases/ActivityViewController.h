// The activities of one grid organisation, newest first (the first ten),
// reloaded on every appearance and by the pull-down header. A row shows the
// activity; "上传活动" opens the upload form when the last reply granted it.
//
//   auto list = ui::create<ActivityViewController>();
//   list->setActivID(orgID);
//   navigationController()->pushViewController(list, true);
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/widgets/PullRefresh/PullRefreshTableDelegate.h"
#include "app/widgets/PullRefresh/PullRefreshTableHeaderView.h"
#include "app/framework/SystemViewController.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/TableView.h"

class ActivityViewController : public SystemViewController,
                               public PPClientDelegate,
                               public PullRefreshTableDelegate,
                               public ui::TableViewDataSource,
                               public ui::TableViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::string activID;
    void setActivID(const std::string& orgId) { activID = orgId; }

    std::string user_id;
    std::string is_power;  // the permission text of the last reply ("1": may upload)
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> uploadButton;
    std::shared_ptr<ui::TableView> mtableview;
    ns::Value mdataArray = ns::Value::array();
    int pageNo = 1;
    std::shared_ptr<PullRefreshTableHeaderView> _refreshHeaderView;
    bool _reloading = false;

    // "上传活动".
    void uploadPhoto();
    // Page "1" again, the list emptied.
    void refreshView();
    void finishReloadingData();

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    void pullRefreshTableDidTriggerRefresh(PullRefreshPos position) override;
    bool pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>& view) override;
    ns::Date pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>& view) override;

    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return 40;
    }
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override;
    void scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) override;
    void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView,
                                                 bool decelerate) override;

    static constexpr const char* kTitle = "活动列表";
    static constexpr const char* kPageSize = "10";
    static constexpr double kTriggerDelay = 2.0;

private:
    void requestFirstPage();
    std::shared_ptr<NetWebServiceRequest> pending_;  // the request whose reply counts
};
