// The pull-up load-more view, placed below the table's last row. Released
// with the visible bottom more than 65 points beyond the end of the rows (or
// of the table, when the rows do not fill it), it triggers position 1 and
// holds a 65-point bottom inset until the load ends.
#pragma once

#include "app/widgets/PullRefresh/PullRefreshView.h"

class PullRefreshTableFooterView : public PullRefreshView {
public:
    void init(const ui::Rect& frame) override;
};
