// Text views: scrolling, multi-line editable text.
//
//   content = ui::create<ui::TextView>(ui::Rect{70, 45, 200, 70});
//   content->setFont(ui::Font::systemFontOfSize(12));
//   content->setDelegate(sharedAs<ui::TextViewDelegate>());
//   content->setEditable(false);        // shows text, takes no focus
//
// Every typed key and every paste is offered to
// textView_shouldChangeTextInRange_replacementText as it comes: a typed
// return arrives as exactly "\n", a pasted text with line breaks in one piece.
#pragma once

#include <memory>
#include <string>

#include "foundation/Strings.h"
#include "uikit/Font.h"
#include "uikit/ScrollView.h"
#include "uikit/Text.h"
#include "uikit/TextField.h"

namespace ui {

class TextView;

inline constexpr const char* UITextViewTextDidBeginEditingNotification = "UITextViewTextDidBeginEditingNotification";
inline constexpr const char* UITextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";
inline constexpr const char* UITextViewTextDidEndEditingNotification = "UITextViewTextDidEndEditingNotification";

class TextViewDelegate : public ScrollViewDelegate {
public:
    virtual bool textViewShouldBeginEditing(const std::shared_ptr<TextView>&) { return true; }
    virtual void textViewDidBeginEditing(const std::shared_ptr<TextView>&) {}
    virtual bool textViewShouldEndEditing(const std::shared_ptr<TextView>&) { return true; }
    virtual void textViewDidEndEditing(const std::shared_ptr<TextView>&) {}
    virtual bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<TextView>&, ns::Range,
                                                                  const std::string&) {
        return true;
    }
    virtual void textViewDidChange(const std::shared_ptr<TextView>&) {}
};

class TextView : public ScrollView, public KeyInput {
public:
    void init(const Rect& frame) override;

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    const Font& font() const { return font_; }
    void setFont(const Font& f);
    Color textColor() const { return textColor_; }
    void setTextColor(const Color& c) { textColor_ = c; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    bool isEditable() const { return editable_; }
    // A view that is not editable resigns the focus and takes no more.
    void setEditable(bool e);
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType t) { returnKeyType_ = t; }
    KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(KeyboardType t) { keyboardType_ = t; }
    std::shared_ptr<View> inputView() const { return inputView_; }
    void setInputView(const std::shared_ptr<View>& v) { inputView_ = v; }

    std::shared_ptr<TextViewDelegate> delegate() const { return textDelegate_.lock(); }
    // The delegate is also the scroll view's delegate.
    void setDelegate(const std::shared_ptr<TextViewDelegate>& d);

    bool isEditing() const { return editing_; }

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    bool hasText() const override { return !text_.empty(); }
    void insertText(const std::string& text) override;
    void deleteBackward() override;

    void touchesEnded(const TouchSet& touches, Event* event) override;
    std::string debugText() const override { return text_; }

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    std::shared_ptr<TextView> self() { return sharedAs<TextView>(); }
    bool replace(ns::Range range, const std::string& replacement);
    void updateContentSize();

    std::string text_;
    Font font_ = Font::systemFontOfSize(12);
    Color textColor_ = Color::blackColor();
    TextAlignment alignment_ = TextAlignmentLeft;
    bool editable_ = true;
    bool editing_ = false;
    ReturnKeyType returnKeyType_ = ReturnKeyDefault;
    KeyboardType keyboardType_ = KeyboardTypeDefault;
    std::shared_ptr<View> inputView_;
    std::weak_ptr<TextViewDelegate> textDelegate_;
};

using TextViewPtr = std::shared_ptr<TextView>;

}  // namespace ui
