// Text fields: one line of editable text with a placeholder, a delegate that
// may refuse to begin, change, end or return, a clear button, and an input
// view that replaces the keyboard.
//
//   field = ui::create<ui::TextField>(ui::Rect{70, 5, 200, 30});
//   field->setPlaceholder("请输入主题");
//   field->setFont(ui::Font::systemFontOfSize(12));
//   field->setDelegate(sharedAs<ui::TextFieldDelegate>());
//   field->setReturnKeyType(ui::ReturnKeySearch);
//   field->setClearButtonMode(ui::TextFieldViewModeWhileEditing);
//   field->setInputView(timePicker);      // a picker comes up instead of the keyboard
//
// A tap makes the field the first responder (when the delegate agrees); the
// keyboard comes up (Keyboard.h). Typing goes through KeyInput: each change is
// offered to textField_shouldChangeCharactersInRange_replacementString
// (ranges in UTF-16 units, the caret at the end); "\n" is the return key,
// which asks textFieldShouldReturn and sends EditingDidEndOnExit.
#pragma once

#include <memory>
#include <string>

#include "foundation/Strings.h"
#include "uikit/Control.h"
#include "uikit/Font.h"
#include "uikit/TextInput.h"

namespace ui {

class TextField;

enum TextBorderStyle {
    TextBorderStyleNone = 0,
    TextBorderStyleLine,
    TextBorderStyleBezel,
    TextBorderStyleRoundedRect,
};

enum TextFieldViewMode {
    TextFieldViewModeNever = 0,
    TextFieldViewModeWhileEditing,
    TextFieldViewModeUnlessEditing,
    TextFieldViewModeAlways,
};

inline constexpr const char* UITextFieldTextDidBeginEditingNotification = "UITextFieldTextDidBeginEditingNotification";
inline constexpr const char* UITextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";
inline constexpr const char* UITextFieldTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification";

class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(const std::shared_ptr<TextField>&) { return true; }
    virtual void textFieldDidBeginEditing(const std::shared_ptr<TextField>&) {}
    virtual bool textFieldShouldEndEditing(const std::shared_ptr<TextField>&) { return true; }
    virtual void textFieldDidEndEditing(const std::shared_ptr<TextField>&) {}
    virtual bool textField_shouldChangeCharactersInRange_replacementString(const std::shared_ptr<TextField>&,
                                                                          ns::Range, const std::string&) {
        return true;
    }
    virtual bool textFieldShouldClear(const std::shared_ptr<TextField>&) { return true; }
    virtual bool textFieldShouldReturn(const std::shared_ptr<TextField>&) { return true; }
};

class TextField : public Control, public TextInput {
public:
    void init(const Rect& frame) override;

    // Sets the text without asking the delegate (as code does).
    void setText(const std::string& text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::string& p) { placeholder_ = p; }
    const Font& font() const { return font_; }
    void setFont(const Font& f) { font_ = f; }
    TextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TextBorderStyle s) { borderStyle_ = s; }
    TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(TextFieldViewMode m) { clearButtonMode_ = m; }
    bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool c) { clearsOnBeginEditing_ = c; }
    TextAutocapitalizationType autocapitalizationType() const { return autocapitalization_; }
    void setAutocapitalizationType(TextAutocapitalizationType t) { autocapitalization_ = t; }
    TextAutocorrectionType autocorrectionType() const { return autocorrection_; }
    void setAutocorrectionType(TextAutocorrectionType t) { autocorrection_ = t; }
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool s) { secure_ = s; }

    std::shared_ptr<View> inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(const std::shared_ptr<View>& v) { inputAccessoryView_ = v; }

    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TextFieldDelegate>& d) { delegate_ = d; }

    // Whether the clear button shows now (by its mode, the editing state and the text).
    bool isClearButtonVisible() const;
    // Where the clear button is (in the bounds): the right end, as high as the field.
    Rect clearButtonRect() const;
    // A touch on the clear button: asks textFieldShouldClear, then empties
    // the field. False when the button is not showing or the delegate refused.
    // A tap that lands on the showing button does this too.
    bool tapClearButton();

    // ---- First responder ----
    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // ---- Typing (hasText and deleteBackward: TextInput) ----
    void insertText(const std::string& text) override;

    // A tap focuses the field (and clears it when on the clear button).
    void touchesEnded(const TouchSet& touches, Event* event) override;
    std::string debugText() const override { return text_.empty() ? placeholder_ : text_; }

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    std::shared_ptr<TextField> self() { return sharedAs<TextField>(); }
    bool replace(ns::Range range, const std::string& replacement) override;
    void changed();

    std::string placeholder_;
    Font font_ = Font::systemFontOfSize(17);
    TextBorderStyle borderStyle_ = TextBorderStyleNone;
    TextFieldViewMode clearButtonMode_ = TextFieldViewModeNever;
    bool clearsOnBeginEditing_ = false;
    TextAutocapitalizationType autocapitalization_ = TextAutocapitalizationTypeSentences;
    TextAutocorrectionType autocorrection_ = TextAutocorrectionTypeDefault;
    bool secure_ = false;
    std::shared_ptr<View> inputAccessoryView_;
    std::weak_ptr<TextFieldDelegate> delegate_;
};

using TextFieldPtr = std::shared_ptr<TextField>;

}  // namespace ui
