#include "uikit/BarButtonItem.h"

namespace ui {

void BarButtonItem::setCustomView(const std::shared_ptr<View>& v) {
    customView_ = v;
    changed();
}

void BarButtonItem::setTitle(const std::string& t) {
    title_ = t;
    changed();
}

void BarButtonItem::setEnabled(bool e) {
    enabled_ = e;
    changed();
}

void BarButtonItem::sendAction() {
    if (!enabled_) return;
    auto self = shared_from_this();
    action_.send(self);
}

void NavigationItem::setTitle(const std::string& t) {
    title_ = t;
    changed();
}

void NavigationItem::setTitleView(const std::shared_ptr<View>& v) {
    titleView_ = v;
    changed();
}

void NavigationItem::setLeftBarButtonItem(const BarButtonItemPtr& item, bool) {
    left_ = item;
    changed();
}

void NavigationItem::setRightBarButtonItem(const BarButtonItemPtr& item, bool) {
    right_ = item;
    changed();
}

void NavigationItem::setBackBarButtonItem(const BarButtonItemPtr& item) {
    back_ = item;
    changed();
}

void NavigationItem::setHidesBackButton(bool hides, bool) {
    hidesBack_ = hides;
    changed();
}

}  // namespace ui
