// What the pull-to-refresh header and footer share: the labels and arrow,
// the three states, the last-update line and the reactions to the table's
// scrolling. The header works on the table's top edge, the footer on its
// bottom edge.
//
// The owning screen passes its table's scroll callbacks on:
//   scrollViewDidScroll                  -> pullRefreshScrollViewDidScroll(table)
//   scrollViewDidEndDragging             -> pullRefreshScrollViewDidEndDragging(table)
//   and when its load has ended          -> pullRefreshScrollViewDataSourceDidFinishedLoading(table)
#pragma once

#include <memory>
#include <string>

#include "app/widgets/PullRefresh/PullRefreshTableDelegate.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/View.h"

class PullRefreshView : public ui::View {
public:
    std::shared_ptr<PullRefreshTableDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<PullRefreshTableDelegate>& d) { delegate_ = d; }

    // Shows "Last Updated: <date>" with the delegate's date and keeps the
    // date in the user defaults.
    void refreshLastUpdatedDate();

    void pullRefreshScrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView);
    void pullRefreshScrollViewDidEndDragging(const std::shared_ptr<ui::ScrollView>& scrollView);
    void pullRefreshScrollViewDataSourceDidFinishedLoading(const std::shared_ptr<ui::ScrollView>& scrollView);

    void setState(PullRefreshState state);
    PullRefreshState state() const { return state_; }

    std::shared_ptr<ui::Label> lastUpdatedLabel;
    std::shared_ptr<ui::Label> statusLabel;
    std::shared_ptr<ui::ImageView> arrowImage;
    std::shared_ptr<ui::View> activityView;

    // How far a pull must go, and the insets that hold the view in sight
    // while loading.
    static constexpr double kTriggerDistance = 65;
    static constexpr double kHeaderLoadingInset = 60;
    static constexpr double kFooterLoadingInset = 65;
    static constexpr double kShowDuration = 0.2;
    static constexpr double kHideDuration = 0.3;

    static constexpr const char* kLastRefreshKey = "PullRefreshTableView_LastRefresh";
    static constexpr const char* kLastUpdatedText = "Last Updated";

protected:
    // Builds the labels; position says which edge the view serves.
    void setUp(PullRefreshPos position);

private:
    double pullDistance(const ui::ScrollView& scrollView) const;
    bool pulledFarEnough(double pull) const;
    void setLoadingInset(ui::ScrollView& scrollView, double inset, double duration);
    std::string statusText(PullRefreshState state) const;

    PullRefreshPos position_ = PullRefreshHeader;
    PullRefreshState state_ = PullRefreshNormal;
    std::weak_ptr<PullRefreshTableDelegate> delegate_;
};
