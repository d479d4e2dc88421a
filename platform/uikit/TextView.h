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
#include "uikit/TextInput.h"

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

class TextView : public ScrollView, public TextInput {
public:
    void init(const Rect& frame) override;

    void setText(const std::string& text);
    const Font& font() const { return font_; }
    void setFont(const Font& f);
    bool isEditable() const { return editable_; }
    // A view that is not editable resigns the focus and takes no more.
    void setEditable(bool e);

    std::shared_ptr<TextViewDelegate> delegate() const { return textDelegate_.lock(); }
    // The delegate is also the scroll view's delegate.
    void setDelegate(const std::shared_ptr<TextViewDelegate>& d);

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    void insertText(const std::string& text) override;

    void touchesEnded(const TouchSet& touches, Event* event) override;
    std::string debugText() const override { return text_; }

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    std::shared_ptr<TextView> self() { return sharedAs<TextView>(); }
    bool replace(ns::Range range, const std::string& replacement) override;
    void updateContentSize();

    Font font_ = Font::systemFontOfSize(12);
    bool editable_ = true;
    std::weak_ptr<TextViewDelegate> textDelegate_;
};

using TextViewPtr = std::shared_ptr<TextView>;

}  // namespace ui
