#include "uikit/ScrollView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "foundation/RunLoop.h"

namespace ui {

void ScrollView::init(const Rect& frame) {
    View::init(frame);
    setClipsToBounds(true);
    pan_ = create<PanGestureRecognizer>(this, &ScrollView::handlePan);
    pan_->setCancelsTouchesInView(true);
    addGestureRecognizer(pan_);
}

std::shared_ptr<ScrollView> ScrollView::self() { return sharedAs<ScrollView>(); }

// ---- Offsets ----

Point ScrollView::minimumContentOffset() const { return Point{-contentInset_.left, -contentInset_.top}; }

Point ScrollView::maximumContentOffset() const {
    Size b = bounds().size;
    Point min = minimumContentOffset();
    return Point{std::max(min.x, contentSize_.width + contentInset_.right - b.width),
                 std::max(min.y, contentSize_.height + contentInset_.bottom - b.height)};
}

Point ScrollView::clampedOffset(Point o) const {
    Point min = minimumContentOffset(), max = maximumContentOffset();
    return Point{std::clamp(o.x, min.x, max.x), std::clamp(o.y, min.y, max.y)};
}

bool ScrollView::canScrollHorizontally() const {
    return scrollEnabled_ &&
           (alwaysBounceHorizontal_ || contentSize_.width + contentInset_.left + contentInset_.right > bounds().size.width);
}

bool ScrollView::canScrollVertically() const {
    return scrollEnabled_ &&
           (alwaysBounceVertical_ || contentSize_.height + contentInset_.top + contentInset_.bottom > bounds().size.height);
}

void ScrollView::applyOffset(Point offset) {
    if (offset == contentOffset()) return;
    Rect b = bounds();
    b.origin = offset;
    setBounds(b);
    auto keep = self();
    contentOffsetDidChange();
    if (auto d = delegate()) d->scrollViewDidScroll(keep);
}

void ScrollView::setContentOffset(Point offset, bool animated) {
    applyOffset(offset);
    if (animated) {
        std::weak_ptr<ScrollView> weak = self();
        ns::RunLoop::main().post([weak] {
            auto sv = weak.lock();
            if (!sv) return;
            if (auto d = sv->delegate()) d->scrollViewDidEndScrollingAnimation(sv);
        });
    }
}

void ScrollView::setContentInset(const EdgeInsets& inset) { contentInset_ = inset; }

void ScrollView::scrollRectToVisible(const Rect& rect, bool animated) {
    Rect visible = bounds();
    Point o = visible.origin;
    auto axis = [](double start, double length, double rmin, double rmax) {
        if (rmax - rmin > length) return rmin;  // larger than the view: show its start
        if (rmin < start) return rmin;
        if (rmax > start + length) return rmax - length;
        return start;
    };
    o.x = axis(o.x, visible.size.width, rect.minX(), rect.maxX());
    o.y = axis(o.y, visible.size.height, rect.minY(), rect.maxY());
    setContentOffset(clampedOffset(o), animated);
}

void ScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
    if (!enabled && dragging_) endDragging();
}

// ---- Dragging ----

void ScrollView::beginDragging() {
    if (!scrollEnabled_ || dragging_) return;
    dragging_ = true;
    decelerating_ = false;
    dragStartOffset_ = contentOffset();
    dragTranslation_ = Point{};
    if (auto d = delegate()) d->scrollViewWillBeginDragging(self());
}

void ScrollView::dragBy(Point t) {
    if (!dragging_) return;
    dragTranslation_.x += t.x;
    dragTranslation_.y += t.y;
    Point o = dragStartOffset_;
    if (canScrollHorizontally()) o.x = dragStartOffset_.x - dragTranslation_.x;
    if (canScrollVertically()) o.y = dragStartOffset_.y - dragTranslation_.y;
    if (!bounces_) o = clampedOffset(o);
    applyOffset(o);
}

void ScrollView::endDragging() {
    if (!dragging_) return;
    auto keep = self();
    Point target = contentOffset();
    if (pagingEnabled_) {
        Size page = bounds().size;
        if (page.width > 0) target.x = std::round(target.x / page.width) * page.width;
        if (page.height > 0) target.y = std::round(target.y / page.height) * page.height;
    }
    target = clampedOffset(target);
    bool decelerate = pagingEnabled_ && target != contentOffset();
    dragging_ = false;
    if (auto d = delegate()) d->scrollViewDidEndDragging_willDecelerate(keep, decelerate);
    if (decelerate) {
        decelerating_ = true;
        if (auto d = delegate()) d->scrollViewWillBeginDecelerating(keep);
        applyOffset(target);
        decelerating_ = false;
        if (auto d = delegate()) d->scrollViewDidEndDecelerating(keep);
    } else {
        // Spring back within the limits of the content and the insets as
        // they are now (the delegate may just have changed them).
        applyOffset(clampedOffset(contentOffset()));
    }
}

void ScrollView::simulateDrag(Point translation, int steps) {
    steps = std::max(steps, 1);
    beginDragging();
    for (int i = 0; i < steps; ++i) dragBy(Point{translation.x / steps, translation.y / steps});
    endDragging();
}

void ScrollView::simulateDragTo(Point offset, int steps) {
    Point from = contentOffset();
    simulateDrag(Point{from.x - offset.x, from.y - offset.y}, steps);
}

void ScrollView::handlePan(std::shared_ptr<PanGestureRecognizer> pan) {
    switch (pan->state()) {
        case GestureRecognizerStateBegan: {
            beginDragging();
            Point t = pan->translationInView(nullptr);
            dragBy(t);
            break;
        }
        case GestureRecognizerStateChanged: {
            Point t = pan->translationInView(nullptr);
            dragBy(Point{t.x - dragTranslation_.x, t.y - dragTranslation_.y});
            break;
        }
        case GestureRecognizerStateEnded:
        case GestureRecognizerStateCancelled: endDragging(); break;
        default: break;
    }
}

std::string ScrollView::debugText() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "offset (%g, %g) content (%g, %g)", contentOffset().x, contentOffset().y,
                  contentSize_.width, contentSize_.height);
    return buf;
}

}  // namespace ui
