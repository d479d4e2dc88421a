#include "app/widgets/PullRefresh/PullRefreshView.h"

#include <algorithm>

#include "foundation/DateTime.h"
#include "foundation/Format.h"
#include "foundation/UserDefaults.h"

namespace {

constexpr ui::Color kTextColor = ui::Color::colorWithRed(87.0 / 255, 108.0 / 255, 137.0 / 255, 1);

std::shared_ptr<ui::Label> makeLabel(const ui::Rect& frame, const ui::Font& font) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(font);
    label->setTextColor(kTextColor);
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextAlignment(ui::TextAlignmentCenter);
    return label;
}

}  // namespace

void PullRefreshView::setUp(PullRefreshPos position) {
    position_ = position;
    double w = frame().size.width;
    double h = frame().size.height;
    // The header shows its content at its bottom edge (next to the first
    // row), the footer at its top edge (next to the last row).
    bool header = position == PullRefreshHeader;
    double statusY = header ? h - 48 : 15;
    double dateY = header ? h - 30 : 33;
    double arrowY = header ? h - 65 : 5;
    double activityY = header ? h - 38 : 20;

    lastUpdatedLabel = makeLabel(ui::Rect{0, dateY, w, 20}, ui::Font::systemFontOfSize(12));
    addSubview(lastUpdatedLabel);
    statusLabel = makeLabel(ui::Rect{0, statusY, w, 20}, ui::Font::boldSystemFontOfSize(13));
    addSubview(statusLabel);
    arrowImage = ui::create<ui::ImageView>(ui::Rect{25, arrowY, 30, 55});
    arrowImage->setImage(ui::Image::imageNamed("blueArrow.png"));
    arrowImage->setContentMode(ui::ViewContentModeScaleAspectFit);
    addSubview(arrowImage);
    activityView = ui::create<ui::View>(ui::Rect{25, activityY, 20, 20});
    activityView->layer().setBorderWidth(2);
    activityView->layer().setBorderColor(kTextColor);
    activityView->layer().setCornerRadius(10);
    addSubview(activityView);

    setState(PullRefreshNormal);
}

std::string PullRefreshView::statusText(PullRefreshState state) const {
    bool header = position_ == PullRefreshHeader;
    switch (state) {
        case PullRefreshPulling:
            return header ? "松开即可刷新" : "松开即可加载更多";
        case PullRefreshLoading:
            return header ? "正在刷新..." : "正在加载...";
        case PullRefreshNormal:
        default:
            return header ? "下拉可以刷新" : "上拉可以加载更多";
    }
}

void PullRefreshView::setState(PullRefreshState state) {
    state_ = state;
    statusLabel->setText(statusText(state));
    bool loading = state == PullRefreshLoading;
    arrowImage->setHidden(loading);
    activityView->setHidden(!loading);
}

void PullRefreshView::refreshLastUpdatedDate() {
    auto d = delegate_.lock();
    if (!d) return;
    ns::Date date = d->pullRefreshTableDataSourceLastUpdated(sharedAs<ui::View>());
    ns::DateFormatter formatter("yyyy-MM-dd HH:mm");
    lastUpdatedLabel->setText(ns::format("%@: %@", kLastUpdatedText, formatter.stringFromDate(date)));
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setObject(ns::Value(date), kLastRefreshKey);
    defaults->synchronize();
}

// ---- Scrolling ----

double PullRefreshView::pullDistance(const ui::ScrollView& scrollView) const {
    if (position_ == PullRefreshHeader) return -scrollView.contentOffset().y;
    // The footer sits below the rows, or at the table's bottom when the
    // rows do not fill it; the pull counts from there.
    double height = scrollView.bounds().size.height;
    double end = std::max(scrollView.contentSize().height, height);
    return scrollView.contentOffset().y + height - end;
}

bool PullRefreshView::pulledFarEnough(double pull) const {
    return position_ == PullRefreshHeader ? pull >= kTriggerDistance : pull > kTriggerDistance;
}

void PullRefreshView::pullRefreshScrollViewDidScroll(const std::shared_ptr<ui::ScrollView>& scrollView) {
    if (!scrollView || state_ == PullRefreshLoading || !scrollView->isDragging()) return;
    auto keep = sharedAs<PullRefreshView>();
    auto d = delegate_.lock();
    bool loading = d && d->pullRefreshTableDataSourceIsLoading(keep);
    if (loading) return;
    bool far = pulledFarEnough(pullDistance(*scrollView));
    if (state_ == PullRefreshPulling && !far) {
        setState(PullRefreshNormal);
    } else if (state_ == PullRefreshNormal && far) {
        setState(PullRefreshPulling);
    }
}

void PullRefreshView::pullRefreshScrollViewDidEndDragging(const std::shared_ptr<ui::ScrollView>& scrollView) {
    if (!scrollView || state_ == PullRefreshLoading) return;
    auto keep = sharedAs<PullRefreshView>();
    auto d = delegate_.lock();
    bool trigger = d && pulledFarEnough(pullDistance(*scrollView)) && !d->pullRefreshTableDataSourceIsLoading(keep);
    if (!trigger) {
        if (state_ == PullRefreshPulling) setState(PullRefreshNormal);
        return;
    }
    d->pullRefreshTableDidTriggerRefresh(position_);
    setState(PullRefreshLoading);
    setLoadingInset(*scrollView, position_ == PullRefreshHeader ? kHeaderLoadingInset : kFooterLoadingInset,
                    kShowDuration);
}

void PullRefreshView::pullRefreshScrollViewDataSourceDidFinishedLoading(
    const std::shared_ptr<ui::ScrollView>& scrollView) {
    auto keep = sharedAs<PullRefreshView>();
    if (scrollView) {
        setLoadingInset(*scrollView, 0, kHideDuration);
        // Back within the content when the inset no longer holds it.
        if (!scrollView->isDragging()) {
            ui::Point o = scrollView->contentOffset();
            ui::Point min = scrollView->minimumContentOffset(), max = scrollView->maximumContentOffset();
            ui::Point clamped{o.x, std::clamp(o.y, min.y, max.y)};
            if (clamped != o) scrollView->setContentOffset(clamped, true);
        }
    }
    setState(PullRefreshNormal);
    refreshLastUpdatedDate();
}

void PullRefreshView::setLoadingInset(ui::ScrollView& scrollView, double inset, double duration) {
    ui::EdgeInsets insets = scrollView.contentInset();
    if (position_ == PullRefreshHeader) {
        insets.top = inset;
    } else {
        insets.bottom = inset;
    }
    ui::View::animateWithDuration(duration, [&] { scrollView.setContentInset(insets); });
}
