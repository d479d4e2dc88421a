// What a list screen tells its pull-to-refresh views, and what they tell it.
#pragma once

#include <memory>

#include "foundation/Value.h"
#include "uikit/View.h"

// Which view triggered: the header above the first row (pull down) or the
// footer below the last (pull up).
enum PullRefreshPos {
    PullRefreshHeader = 0,
    PullRefreshFooter = 1,
};

// The views' states.
enum PullRefreshState {
    PullRefreshPulling = 0,  // pulled far enough: releasing triggers
    PullRefreshNormal = 1,
    PullRefreshLoading = 2,
};

class PullRefreshTableDelegate {
public:
    virtual ~PullRefreshTableDelegate() = default;
    // A pull was released far enough while nothing was loading.
    virtual void pullRefreshTableDidTriggerRefresh(PullRefreshPos position) = 0;
    // YES while a load runs: a release then starts nothing.
    virtual bool pullRefreshTableDataSourceIsLoading(const std::shared_ptr<ui::View>& view) = 0;
    // The date the view shows as its last update.
    virtual ns::Date pullRefreshTableDataSourceLastUpdated(const std::shared_ptr<ui::View>& view) = 0;
};
