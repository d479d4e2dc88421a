// The party school's online reading.
//
// OnlineReadViewController: the front screen of the menu's "在线阅读" row, one
// fixed page of the theory-news site in a web view under the module's top
// bar; links open in place. The progress overlay shows while a page loads.
//
// ZXCYViewController: a bookshelf of the "zaixianyuedu" books (the first 20),
// two covers to a row with their titles above them; a touched cover opens
// the book's file in the shared web screen; pull-down reloads the shelf.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/widgets/NavBarView.h"
#include "app/widgets/PullRefresh/PullRefreshTableDelegate.h"
#include "app/widgets/PullRefresh/PullRefreshTableHeaderView.h"
#include "app/framework/FrontScreen.h"
#include "app/framework/SystemViewController.h"
#include "app/framework/WebPageScreen.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ScrollView.h"
#include "uikit/WebView.h"

class OnlineReadViewController : public WebPageScreen {
public:
    std::string category_code;  // kept only

    // The page shown: the reading page's path on the theory-news host.
    static std::string pageAddress();
    static constexpr const char* kPagePath = "/GB/68294/index6.html";

protected:
    Page page() const override { return {.front = true}; }
    std::string pageURL() const override { return pageAddress(); }
};

class ZXCYViewController : public FrontOf<SystemViewController>,
                           public PPClientDelegate,
                           public PullRefreshTableDelegate,
                           public ui::ScrollViewDelegate {
public:
    void viewDidLoad() override;

    std::string category_code;  // kept only; the shelf shows "zaixianyuedu"
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> mscrview;
    ns::Value BookArray = ns::Value::array();  // the books on the shelf
    int pageNo = 1;

    void loadingData(const std::string& page);
    void showBook(std::shared_ptr<ui::TapGestureRecognizer> sender);
    void refreshView();
    void createHeaderView();
    void beginToReloadData(PullRefreshPos position);
    void finishReloadingData();
    void testFinishedLoadData();
    std::shared_ptr<PullRefreshTableHeaderView> headerView() const { return refreshHeaderView_; }
    bool isReloading() const { return reloading_; }

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // ScrollViewDelegate
    void scrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) override;
    void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ui::ScrollView>& scrollView,
                                                 bool decelerate) override;
    // PullRefreshTableDelegate
    void pullRefreshTableDidTriggerRefresh(PullRefreshPos position) override;
    bool pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>& view) override;
    ns::Date pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>& view) override;

    static constexpr const char* kCategory = "zaixianyuedu";
    static constexpr const char* kPageSize = "20";
    static constexpr int kCoverTagBase = 2000;
    static constexpr float kResultDelay = 0.75f;
    static constexpr double kTriggerDelay = 2.0;

private:
    void layoutShelf();

    std::shared_ptr<PullRefreshTableHeaderView> refreshHeaderView_;
    bool reloading_ = false;
    std::vector<std::shared_ptr<ui::View>> shelfViews_;
};
