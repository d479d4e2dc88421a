// Scroll views: a content area larger than the view, moved by the content
// offset (the bounds origin), with insets, paging, dragging and a delegate.
//
//   auto scroll = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
//   scroll->setContentSize(ui::Size{w, 900});
//   scroll->setDelegate(sharedAs<ui::ScrollViewDelegate>());
//   scroll->setContentOffset(ui::Point{0, 100}, true);   // instant, exact end value
//
// Dragging. A finger (through the scroll view's pan recogniser) or a test
// drags the content: the offset follows the finger point for point, beyond
// the edges too (no rubber-band resistance), so a pull of 70 points down from
// the top reads as offset -70. Releasing tells the delegate
// scrollViewDidEndDragging_willDecelerate; then a paging view settles on the
// nearest page (decelerating, then scrollViewDidEndDecelerating), and any
// view pulled past its edges springs back to the nearest offset the content
// and the insets allow at that moment (so an inset set by the delegate while
// releasing holds the content there). All movements are instant.
//
//   scroll->beginDragging();
//   scroll->dragBy(ui::Point{0, 70});    // the finger moves 70 down: offset y -70
//   scroll->endDragging();
//   scroll->simulateDrag(ui::Point{0, -120});   // the whole gesture in a few moves
#pragma once

#include <memory>

#include "uikit/Geometry.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/View.h"

namespace ui {

class ScrollView;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewWillBeginDragging(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewDidEndDragging_willDecelerate(const std::shared_ptr<ScrollView>&, bool /*decelerate*/) {}
    virtual void scrollViewWillBeginDecelerating(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewDidEndDecelerating(const std::shared_ptr<ScrollView>&) {}
    virtual void scrollViewDidEndScrollingAnimation(const std::shared_ptr<ScrollView>&) {}
};

enum ScrollViewIndicatorStyle {
    ScrollViewIndicatorStyleDefault = 0,
    ScrollViewIndicatorStyleBlack,
    ScrollViewIndicatorStyleWhite,
};

class ScrollView : public View {
public:
    void init(const Rect& frame) override;

    // ---- Content ----
    Size contentSize() const { return contentSize_; }
    virtual void setContentSize(Size size) { contentSize_ = size; }
    Point contentOffset() const { return bounds().origin; }
    void setContentOffset(Point offset) { setContentOffset(offset, false); }
    // Animated or not, the offset is set at once (animations are instant);
    // an animated change also reports scrollViewDidEndScrollingAnimation on a
    // later turn.
    void setContentOffset(Point offset, bool animated);
    EdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(const EdgeInsets& inset);
    EdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
    void setScrollIndicatorInsets(const EdgeInsets& inset) { indicatorInsets_ = inset; }
    // Scrolls as little as needed to show the rectangle (content coordinates),
    // within the limits of the content and the insets.
    void scrollRectToVisible(const Rect& rect, bool animated);

    // The smallest and largest offsets the content and insets allow.
    Point minimumContentOffset() const;
    Point maximumContentOffset() const;

    // ---- Behaviour ----
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
    bool bounces() const { return bounces_; }
    void setBounces(bool b) { bounces_ = b; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool b) { alwaysBounceVertical_ = b; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool b) { alwaysBounceHorizontal_ = b; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool s) { showsHorizontal_ = s; }
    bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool s) { showsVertical_ = s; }
    ScrollViewIndicatorStyle indicatorStyle() const { return indicatorStyle_; }
    void setIndicatorStyle(ScrollViewIndicatorStyle s) { indicatorStyle_ = s; }
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool s) { scrollsToTop_ = s; }
    bool isDirectionalLockEnabled() const { return directionalLock_; }
    void setDirectionalLockEnabled(bool d) { directionalLock_ = d; }
    bool delaysContentTouches() const { return delaysContentTouches_; }
    void setDelaysContentTouches(bool d) { delaysContentTouches_ = d; }

    // ---- State ----
    bool isDragging() const { return dragging_; }
    bool isTracking() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }

    std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<ScrollViewDelegate>& d) { delegate_ = d; }
    // The recogniser through which a finger drags the content.
    std::shared_ptr<PanGestureRecognizer> panGestureRecognizer() const { return pan_; }

    // ---- Dragging (the pan recogniser, the test driver and the window host) ----
    // Nothing happens while scrolling is disabled.
    void beginDragging();
    // The finger moves by the translation (points, finger direction): the
    // content follows it. An axis along which the content cannot scroll stays.
    void dragBy(Point translation);
    void endDragging();
    // Whether a drag moves the content along the axis: scrolling enabled,
    // and the content (with its insets) larger than the view or the view
    // bouncing that way always.
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;
    // beginDragging, `steps` equal moves adding up to the translation, endDragging.
    void simulateDrag(Point translation, int steps = 4);
    // A drag that brings the content to the offset, then the release.
    void simulateDragTo(Point offset, int steps = 4);

    std::string debugText() const override;

protected:
    // The offset changed (scrollViewDidScroll has not yet been sent):
    // subclasses lay their content out again here.
    virtual void contentOffsetDidChange() {}
    // The scroll view itself as the delegate callbacks' sender.
    std::shared_ptr<ScrollView> self();

private:
    void applyOffset(Point offset);
    Point clampedOffset(Point offset) const;
    void handlePan(std::shared_ptr<PanGestureRecognizer> pan);

    Size contentSize_;
    EdgeInsets contentInset_;
    EdgeInsets indicatorInsets_;
    bool scrollEnabled_ = true;
    bool pagingEnabled_ = false;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool alwaysBounceHorizontal_ = false;
    bool showsHorizontal_ = true;
    bool showsVertical_ = true;
    ScrollViewIndicatorStyle indicatorStyle_ = ScrollViewIndicatorStyleDefault;
    bool scrollsToTop_ = true;
    bool directionalLock_ = false;
    bool delaysContentTouches_ = true;
    bool dragging_ = false;
    bool decelerating_ = false;
    Point dragStartOffset_;
    Point dragTranslation_;
    std::weak_ptr<ScrollViewDelegate> delegate_;
    std::shared_ptr<PanGestureRecognizer> pan_;
};

using ScrollViewPtr = std::shared_ptr<ScrollView>;

}  // namespace ui
