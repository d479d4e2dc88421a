#include "app/widgets/PullRefresh/PullRefreshTableHeaderView.h"

void PullRefreshTableHeaderView::init(const ui::Rect& frame) {
    PullRefreshView::init(frame);
    setUp(PullRefreshHeader);
}
