#include "uikit/Control.h"

#include <algorithm>

namespace ui {

void Control::addAction(Action action, unsigned controlEvents) {
    if (action.isNull() || controlEvents == 0) return;
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.action.targetAlive(); }),
                   entries_.end());
    for (auto& e : entries_) {
        if (e.action.sameAs(action)) {
            e.events |= controlEvents;
            return;
        }
    }
    entries_.push_back(Entry{std::move(action), controlEvents});
}

void Control::removeTarget(const void* target, unsigned controlEvents) {
    for (auto& e : entries_) {
        if (!target || e.action.sameTarget(target)) e.events &= ~controlEvents;
    }
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.events == 0; }),
                   entries_.end());
}

std::size_t Control::actionCount(unsigned controlEvents) const {
    std::size_t n = 0;
    for (const auto& e : entries_) {
        if ((e.events & controlEvents) && e.action.targetAlive()) n++;
    }
    return n;
}

void Control::sendActionsForControlEvents(unsigned controlEvents) {
    auto self = sharedAs<Control>();
    std::vector<Action> toSend;
    for (const auto& e : entries_) {
        if (e.events & controlEvents) toSend.push_back(e.action);
    }
    for (const auto& a : toSend) a.send(self);
}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (!enabled) highlighted_ = false;
    stateDidChange();
}

void Control::setSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    stateDidChange();
}

void Control::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    stateDidChange();
}

unsigned Control::state() const {
    unsigned s = ControlStateNormal;
    if (highlighted_) s |= ControlStateHighlighted;
    if (!enabled_) s |= ControlStateDisabled;
    if (selected_) s |= ControlStateSelected;
    return s;
}

namespace {
bool inside(const Control& c, const TouchSet& touches) {
    auto t = touches.anyObject();
    if (!t) return false;
    Point p = t->locationInView(&c);
    return c.bounds().contains(p);
}
}  // namespace

void Control::touchesBegan(const TouchSet& touches, Event* event) {
    if (!enabled_) {
        View::touchesBegan(touches, event);
        return;
    }
    auto keep = shared_from_this();
    tracking_ = true;
    setHighlighted(true);
    sendActionsForControlEvents(ControlEventTouchDown);
}

void Control::touchesMoved(const TouchSet& touches, Event* event) {
    if (!enabled_ || !tracking_) {
        View::touchesMoved(touches, event);
        return;
    }
    auto keep = shared_from_this();
    bool in = inside(*this, touches);
    setHighlighted(in);
    sendActionsForControlEvents(in ? ControlEventTouchDragInside : ControlEventTouchDragOutside);
}

void Control::touchesEnded(const TouchSet& touches, Event* event) {
    if (!enabled_ || !tracking_) {
        View::touchesEnded(touches, event);
        return;
    }
    auto keep = shared_from_this();
    tracking_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(inside(*this, touches) ? ControlEventTouchUpInside : ControlEventTouchUpOutside);
}

void Control::touchesCancelled(const TouchSet& touches, Event* event) {
    if (!tracking_) {
        View::touchesCancelled(touches, event);
        return;
    }
    auto keep = shared_from_this();
    tracking_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(ControlEventTouchCancel);
}

}  // namespace ui
