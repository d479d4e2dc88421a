// Controls: views that send actions to targets on control events.
//
//   button->addTarget(this, &Screen::subit, ui::ControlEventTouchUpInside);
//
// A target is held weakly; once it has gone its actions do nothing. Adding the
// same target and action again (for any events) keeps one entry, so the
// action runs once per event. A control may be removed, or its target
// released, from inside its own action.
#pragma once

#include <memory>
#include <vector>

#include "uikit/Object.h"
#include "uikit/View.h"

namespace ui {

enum ControlEvents : unsigned {
    ControlEventTouchDown = 1u << 0,
    ControlEventTouchDownRepeat = 1u << 1,
    ControlEventTouchDragInside = 1u << 2,
    ControlEventTouchDragOutside = 1u << 3,
    ControlEventTouchDragEnter = 1u << 4,
    ControlEventTouchDragExit = 1u << 5,
    ControlEventTouchUpInside = 1u << 6,
    ControlEventTouchUpOutside = 1u << 7,
    ControlEventTouchCancel = 1u << 8,
    ControlEventValueChanged = 1u << 12,
    ControlEventEditingDidBegin = 1u << 16,
    ControlEventEditingChanged = 1u << 17,
    ControlEventEditingDidEnd = 1u << 18,
    ControlEventEditingDidEndOnExit = 1u << 19,
    ControlEventAllTouchEvents = 0x00000FFFu,
    ControlEventAllEditingEvents = 0x000F0000u,
    ControlEventAllEvents = 0xFFFFFFFFu,
};

enum ControlState : unsigned {
    ControlStateNormal = 0,
    ControlStateHighlighted = 1u << 0,
    ControlStateDisabled = 1u << 1,
    ControlStateSelected = 1u << 2,
};

enum ControlContentHorizontalAlignment {
    ControlContentHorizontalAlignmentCenter = 0,
    ControlContentHorizontalAlignmentLeft = 1,
    ControlContentHorizontalAlignmentRight = 2,
    ControlContentHorizontalAlignmentFill = 3,
};

enum ControlContentVerticalAlignment {
    ControlContentVerticalAlignmentCenter = 0,
    ControlContentVerticalAlignmentTop = 1,
    ControlContentVerticalAlignmentBottom = 2,
    ControlContentVerticalAlignmentFill = 3,
};

class Control : public View {
public:
    template <typename T, typename M>
    void addTarget(T target, M action, unsigned controlEvents) {
        addAction(Action::make(target, action), controlEvents);
    }
    // Removes the target's actions for the events (every target: nullptr).
    void removeTarget(const void* target, unsigned controlEvents = ControlEventAllEvents);
    template <typename T>
    void removeTarget(const std::shared_ptr<T>& target, unsigned controlEvents = ControlEventAllEvents) {
        removeTarget(Action::identity(target.get()), controlEvents);
    }
    // Number of target-action entries that include any of the events.
    std::size_t actionCount(unsigned controlEvents = ControlEventAllEvents) const;
    // Sends the actions registered for any of the events.
    void sendActionsForControlEvents(unsigned controlEvents);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    unsigned state() const;
    bool isTracking() const { return tracking_; }

    ControlContentHorizontalAlignment contentHorizontalAlignment() const { return hAlign_; }
    void setContentHorizontalAlignment(ControlContentHorizontalAlignment a) { hAlign_ = a; setNeedsLayout(); }
    ControlContentVerticalAlignment contentVerticalAlignment() const { return vAlign_; }
    void setContentVerticalAlignment(ControlContentVerticalAlignment a) { vAlign_ = a; setNeedsLayout(); }

    // Touch tracking: down highlights and sends TouchDown; up sends
    // TouchUpInside or TouchUpOutside; a cancel sends TouchCancel. A disabled
    // control passes its touches up the responder chain.
    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

    void addAction(Action action, unsigned controlEvents);

protected:
    // Called when enabled, selected or highlighted change.
    virtual void stateDidChange() {}

private:
    struct Entry {
        Action action;
        unsigned events;
    };
    std::vector<Entry> entries_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    ControlContentHorizontalAlignment hAlign_ = ControlContentHorizontalAlignmentCenter;
    ControlContentVerticalAlignment vAlign_ = ControlContentVerticalAlignmentCenter;
};

}  // namespace ui
