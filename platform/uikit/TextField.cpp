#include "uikit/TextField.h"

#include "foundation/Notification.h"
#include "uikit/Keyboard.h"

namespace ui {

ns::Range lastCharacterRange(std::string_view text) {
    std::u16string units = ns::toUTF16(text);
    std::size_t n = units.size();
    if (n == 0) return ns::Range{0, 0};
    std::size_t len = 1;
    if (n >= 2 && units[n - 1] >= 0xDC00 && units[n - 1] <= 0xDFFF && units[n - 2] >= 0xD800 && units[n - 2] <= 0xDBFF) {
        len = 2;
    }
    return ns::Range{n - len, len};
}

std::string replaceUTF16Range(std::string_view text, ns::Range range, std::string_view replacement) {
    std::u16string units = ns::toUTF16(text);
    std::size_t loc = std::min(range.location, units.size());
    std::size_t len = std::min(range.length, units.size() - loc);
    return ns::fromUTF16(std::u16string_view(units).substr(0, loc)) + std::string(replacement) +
           ns::fromUTF16(std::u16string_view(units).substr(loc + len));
}

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
    Keyboard::shared().beginFocusChange();
    bool ok = Control::becomeFirstResponder();
    Keyboard::shared().endFocusChange();
    // The old one resigned but this one did not take over: the keyboard goes.
    if (!ok && !dynamic_cast<KeyInput*>(Responder::firstResponder().get())) Keyboard::shared().inputResigned();
    return ok;
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = self();
    if (auto d = delegate(); d && !d->textFieldShouldEndEditing(keep)) return false;
    return Control::resignFirstResponder();
}

void TextField::didBecomeFirstResponder() {
    auto keep = self();
    editing_ = true;
    if (clearsOnBeginEditing_) text_.clear();
    Keyboard::shared().show(inputView_);
    if (auto d = delegate()) d->textFieldDidBeginEditing(keep);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    ns::NotificationCenter::defaultCenter().post(UITextFieldTextDidBeginEditingNotification, this);
}

void TextField::didResignFirstResponder() {
    auto keep = self();
    editing_ = false;
    Keyboard::shared().inputResigned();
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
    replace(ns::Range{ns::utf16Length(text_), 0}, line);
}

void TextField::deleteBackward() {
    if (!editing_ || text_.empty()) return;
    replace(lastCharacterRange(text_), std::string());
}

void TextField::touchesEnded(const TouchSet& touches, Event* event) {
    Control::touchesEnded(touches, event);
    auto touch = touches.anyObject();
    if (!touch || !isEnabled()) return;
    if (bounds().contains(touch->locationInView(this))) becomeFirstResponder();
}

}  // namespace ui
