// The pull-down refresh view, placed above the table's first row at
// (0, -height, width, height). Released at 65 points of pull or more, it
// triggers position 0 and holds a 60-point top inset until the load ends.
#pragma once

#include "app/widgets/PullRefresh/PullRefreshView.h"

class PullRefreshTableHeaderView : public PullRefreshView {
public:
    void init(const ui::Rect& frame) override;
};
