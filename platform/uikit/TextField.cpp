#include "uikit/TextField.h"

#include <algorithm>

#include "foundation/Notification.h"

namespace ui {

void TextField::init(const Rect& frame) {
    Control::init(frame);
    setContentVerticalAlignment(ControlContentVerticalAlignmentTop);
}

void TextField::setText(const std::string& text) { text_ = text; }

bool TextField::isClearButtonVisible() const {
    if (text_.empty()) return false;
    switch (clearButtonMode_) {
        case TextFieldViewModeAlways: return true;
        case TextFieldViewModeWhileEditing: return editing_;
        case TextFieldViewModeUnlessEditing: return !editing_;
        case TextFieldViewModeNever: break;
    }
    return false;
}

Rect TextField::clearButtonRect() const {
    constexpr double kWidth = 25;
    const Rect b = bounds();
    return Rect(b.maxX() - std::min(kWidth, b.width()), b.minY(), std::min(kWidth, b.width()), b.height());
}

bool TextField::tapClearButton() {
    if (!isClearButtonVisible()) return false;
    auto keep = self();
    if (auto d = delegate(); d && !d->textFieldShouldClear(keep)) return false;
    text_.clear();
    changed();
    return true;
}

// ---- First responder ----

bool TextField::canBecomeFirstResponder() const { return isEnabled() && isUserInteractionEnabled(); }

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder() || !window()) return false;
    auto keep = self();
    if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(keep)) return false;
    return takeFocus([this] { return Control::becomeFirstResponder(); });
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = self();
    if (auto d = delegate(); d && !d->textFieldShouldEndEditing(keep)) return false;
    return Control::resignFirstResponder();
}

void TextField::didBecomeFirstResponder() {
    auto keep = self();
    if (clearsOnBeginEditing_) text_.clear();
    startEditing();
    if (auto d = delegate()) d->textFieldDidBeginEditing(keep);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    ns::NotificationCenter::defaultCenter().post(UITextFieldTextDidBeginEditingNotification, this);
}

void TextField::didResignFirstResponder() {
    auto keep = self();
    stopEditing();
    if (auto d = delegate()) d->textFieldDidEndEditing(keep);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
    ns::NotificationCenter::defaultCenter().post(UITextFieldTextDidEndEditingNotification, this);
}

// ---- Typing ----

void TextField::changed() {
    sendActionsForControlEvents(ControlEventEditingChanged);
    ns::NotificationCenter::defaultCenter().post(UITextFieldTextDidChangeNotification, this);
}

bool TextField::replace(ns::Range range, const std::string& replacement) {
    auto keep = self();
    if (auto d = delegate(); d && !d->textField_shouldChangeCharactersInRange_replacementString(keep, range, replacement)) {
        return false;
    }
    text_ = replaceUTF16Range(text_, range, replacement);
    changed();
    return true;
}

void TextField::insertText(const std::string& text) {
    if (!editing_) return;
    auto keep = self();
    if (text == "\n") {
        bool ret = true;
        if (auto d = delegate()) ret = d->textFieldShouldReturn(keep);
        if (ret) sendActionsForControlEvents(ControlEventEditingDidEndOnExit);
        return;
    }
    // One line: a pasted line break becomes a blank.
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    replace(endOfText(), line);
}

void TextField::touchesEnded(const TouchSet& touches, Event* event) {
    Control::touchesEnded(touches, event);
    auto touch = touches.anyObject();
    if (!touch || !isEnabled()) return;
    const Point p = touch->locationInView(this);
    if (!bounds().contains(p)) return;
    if (isClearButtonVisible() && clearButtonRect().contains(p)) tapClearButton();
    becomeFirstResponder();
}

}  // namespace ui
