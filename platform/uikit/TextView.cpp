#include "uikit/TextView.h"

#include <algorithm>

#include "foundation/Notification.h"

namespace ui {

void TextView::init(const Rect& frame) {
    ScrollView::init(frame);
    setBackgroundColor(Color::whiteColor());
}

void TextView::setDelegate(const std::shared_ptr<TextViewDelegate>& d) {
    textDelegate_ = d;
    ScrollView::setDelegate(d);
}

void TextView::setText(const std::string& text) {
    text_ = text;
    updateContentSize();
}

void TextView::setFont(const Font& f) {
    font_ = f;
    updateContentSize();
}

// The text's height, wrapped in the view's width less the text insets (8 each side).
void TextView::updateContentSize() {
    double width = bounds().size.width;
    Size s = sizeWithFont(text_, font_, Size{std::max(1.0, width - 16), 1e7}, LineBreakByWordWrapping);
    setContentSize(Size{width, s.height + 16});
}

void TextView::setEditable(bool e) {
    editable_ = e;
    if (!e && isFirstResponder()) resignFirstResponder();
}

bool TextView::canBecomeFirstResponder() const { return editable_ && isUserInteractionEnabled(); }

bool TextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder() || !window()) return false;
    auto keep = self();
    if (auto d = delegate(); d && !d->textViewShouldBeginEditing(keep)) return false;
    return takeFocus([this] { return ScrollView::becomeFirstResponder(); });
}

bool TextView::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = self();
    if (auto d = delegate(); d && !d->textViewShouldEndEditing(keep)) return false;
    return ScrollView::resignFirstResponder();
}

void TextView::didBecomeFirstResponder() {
    auto keep = self();
    startEditing();
    if (auto d = delegate()) d->textViewDidBeginEditing(keep);
    ns::NotificationCenter::defaultCenter().post(UITextViewTextDidBeginEditingNotification, this);
}

void TextView::didResignFirstResponder() {
    auto keep = self();
    stopEditing();
    if (auto d = delegate()) d->textViewDidEndEditing(keep);
    ns::NotificationCenter::defaultCenter().post(UITextViewTextDidEndEditingNotification, this);
}

bool TextView::replace(ns::Range range, const std::string& replacement) {
    auto keep = self();
    auto d = delegate();
    if (d && !d->textView_shouldChangeTextInRange_replacementText(keep, range, replacement)) return false;
    text_ = replaceUTF16Range(text_, range, replacement);
    updateContentSize();
    if (d) d->textViewDidChange(keep);
    ns::NotificationCenter::defaultCenter().post(UITextViewTextDidChangeNotification, this);
    return true;
}

void TextView::insertText(const std::string& text) {
    if (!editing_ || text.empty()) return;
    replace(endOfText(), text);
}

void TextView::touchesEnded(const TouchSet& touches, Event* event) {
    auto touch = touches.anyObject();
    if (touch && editable_ && !isDragging() && bounds().contains(touch->locationInView(this))) {
        becomeFirstResponder();
        return;
    }
    ScrollView::touchesEnded(touches, event);
}

}  // namespace ui
