#include "uikit/PageControl.h"

#include <algorithm>

namespace ui {

void PageControl::setNumberOfPages(int n) {
    pages_ = std::max(0, n);
    setCurrentPage(current_);
}

void PageControl::setCurrentPage(int page) { current_ = std::clamp(page, 0, std::max(0, pages_ - 1)); }

Size PageControl::sizeForNumberOfPages(int pages) const {
    if (pages <= 0) return Size{0, 37};
    return Size{pages * kDotSize + (pages - 1) * kDotSpacing, 37};
}

void PageControl::touchesEnded(const TouchSet& touches, Event* event) {
    bool wasTracking = isTracking();
    auto t = touches.anyObject();
    int before = current_;
    if (wasTracking && isEnabled() && t && bounds().contains(t->locationInView(this))) {
        Point p = t->locationInView(this);
        setCurrentPage(p.x < bounds().midX() ? current_ - 1 : current_ + 1);
    }
    Control::touchesEnded(touches, event);
    if (current_ != before) sendActionsForControlEvents(ControlEventValueChanged);
}

std::string PageControl::debugText() const {
    return "page " + std::to_string(current_ + 1) + "/" + std::to_string(pages_);
}

}  // namespace ui
