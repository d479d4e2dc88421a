#include "app/widgets/PullRefresh/PullRefreshTableFooterView.h"

void PullRefreshTableFooterView::init(const ui::Rect& frame) {
    PullRefreshView::init(frame);
    setUp(PullRefreshFooter);
}
