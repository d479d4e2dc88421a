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
#include "uikit/Color.h"
#include "uikit/Control.h"
#include "uikit/Font.h"
#include "uikit/Text.h"

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

enum ReturnKeyType {
    ReturnKeyDefault = 0,
    ReturnKeyGo,
    ReturnKeyGoogle,
    ReturnKeyJoin,
    ReturnKeyNext,
    ReturnKeyRoute,
    ReturnKeySearch,
    ReturnKeySend,
    ReturnKeyYahoo,
    ReturnKeyDone,
    ReturnKeyEmergencyCall,
};

enum KeyboardType {
    KeyboardTypeDefault = 0,
    KeyboardTypeASCIICapable,
    KeyboardTypeNumbersAndPunctuation,
    KeyboardTypeURL,
    KeyboardTypeNumberPad,
    KeyboardTypePhonePad,
    KeyboardTypeNamePhonePad,
    KeyboardTypeEmailAddress,
    KeyboardTypeDecimalPad,
};

enum TextAutocapitalizationType {
    TextAutocapitalizationTypeNone = 0,
    TextAutocapitalizationTypeWords,
    TextAutocapitalizationTypeSentences,
    TextAutocapitalizationTypeAllCharacters,
};

enum TextAutocorrectionType {
    TextAutocorrectionTypeDefault = 0,
    TextAutocorrectionTypeNo,
    TextAutocorrectionTypeYes,
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

class TextField : public Control, public KeyInput {
public:
    void init(const Rect& frame) override;

    const std::string& text() const { return text_; }
    // Sets the text without asking the delegate (as code does).
    void setText(const std::string& text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::string& p) { placeholder_ = p; }
    const Font& font() const { return font_; }
    void setFont(const Font& f) { font_ = f; }
    Color textColor() const { return textColor_; }
    void setTextColor(const Color& c) { textColor_ = c; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    TextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TextBorderStyle s) { borderStyle_ = s; }
    TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(TextFieldViewMode m) { clearButtonMode_ = m; }
    bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool c) { clearsOnBeginEditing_ = c; }
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType t) { returnKeyType_ = t; }
    KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(KeyboardType t) { keyboardType_ = t; }
    TextAutocapitalizationType autocapitalizationType() const { return autocapitalization_; }
    void setAutocapitalizationType(TextAutocapitalizationType t) { autocapitalization_ = t; }
    TextAutocorrectionType autocorrectionType() const { return autocorrection_; }
    void setAutocorrectionType(TextAutocorrectionType t) { autocorrection_ = t; }
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool s) { secure_ = s; }

    // The view that comes up in place of the keyboard while editing.
    std::shared_ptr<View> inputView() const { return inputView_; }
    void setInputView(const std::shared_ptr<View>& v) { inputView_ = v; }
    std::shared_ptr<View> inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(const std::shared_ptr<View>& v) { inputAccessoryView_ = v; }

    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TextFieldDelegate>& d) { delegate_ = d; }

    bool isEditing() const { return editing_; }
    // Whether the clear button shows now (by its mode, the editing state and the text).
    bool isClearButtonVisible() const;
    // A touch on the clear button: asks textFieldShouldClear, then empties
    // the field. False when the button is not showing or the delegate refused.
    bool tapClearButton();

    // ---- First responder ----
    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;

    // ---- Typing ----
    bool hasText() const override { return !text_.empty(); }
    void insertText(const std::string& text) override;
    void deleteBackward() override;

    // A tap focuses the field.
    void touchesEnded(const TouchSet& touches, Event* event) override;
    std::string debugText() const override { return text_.empty() ? placeholder_ : text_; }

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    std::shared_ptr<TextField> self() { return sharedAs<TextField>(); }
    // Offers the change to the delegate and applies it.
    bool replace(ns::Range range, const std::string& replacement);
    void changed();

    std::string text_;
    std::string placeholder_;
    Font font_ = Font::systemFontOfSize(17);
    Color textColor_ = Color::blackColor();
    TextAlignment alignment_ = TextAlignmentLeft;
    TextBorderStyle borderStyle_ = TextBorderStyleNone;
    TextFieldViewMode clearButtonMode_ = TextFieldViewModeNever;
    bool clearsOnBeginEditing_ = false;
    ReturnKeyType returnKeyType_ = ReturnKeyDefault;
    KeyboardType keyboardType_ = KeyboardTypeDefault;
    TextAutocapitalizationType autocapitalization_ = TextAutocapitalizationTypeSentences;
    TextAutocorrectionType autocorrection_ = TextAutocorrectionTypeDefault;
    bool secure_ = false;
    bool editing_ = false;
    std::shared_ptr<View> inputView_;
    std::shared_ptr<View> inputAccessoryView_;
    std::weak_ptr<TextFieldDelegate> delegate_;
};

using TextFieldPtr = std::shared_ptr<TextField>;

// The UTF-16 range of the last character of a text (a surrogate pair counts
// as one character), for deleting backwards; {length, 0} for empty text.
ns::Range lastCharacterRange(std::string_view text);
// The text with the UTF-16 range replaced.
std::string replaceUTF16Range(std::string_view text, ns::Range range, std::string_view replacement);

}  // namespace ui
