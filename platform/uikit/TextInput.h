// What text fields and text views share: the text with its colour and
// alignment, the keyboard they ask for (its type and return key, and the
// view that comes up in its place), the editing state, and the focus
// hand-over that keeps the keyboard up while the focus passes from one text
// input to another.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/Strings.h"
#include "uikit/Color.h"
#include "uikit/Responder.h"
#include "uikit/Text.h"

namespace ui {

class View;

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

// The UTF-16 range of the last character of a text (a surrogate pair counts
// as one character), for deleting backwards; {length, 0} for empty text.
ns::Range lastCharacterRange(std::string_view text);
// The text with the UTF-16 range replaced.
std::string replaceUTF16Range(std::string_view text, ns::Range range, std::string_view replacement);

// The part of a text field or text view that is not a view. Each class sets
// its own text (setText) and decides what a change is (replace).
class TextInput : public KeyInput {
public:
    const std::string& text() const { return text_; }
    Color textColor() const { return textColor_; }
    void setTextColor(const Color& c) { textColor_ = c; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType t) { returnKeyType_ = t; }
    KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(KeyboardType t) { keyboardType_ = t; }

    // The view that comes up in place of the keyboard while editing.
    std::shared_ptr<View> inputView() const { return inputView_; }
    void setInputView(const std::shared_ptr<View>& v) { inputView_ = v; }

    bool isEditing() const { return editing_; }

    bool hasText() const override { return !text_.empty(); }
    // Removes the last character (a surrogate pair as one), through replace.
    void deleteBackward() override;

protected:
    // Offers the change of the UTF-16 range to the delegate and applies it;
    // false when refused.
    virtual bool replace(ns::Range range, const std::string& replacement) = 0;
    // Where typing goes: the end of the text (the caret stays there).
    ns::Range endOfText() const { return ns::Range{ns::utf16Length(text_), 0}; }

    // Runs `become` (the view class's own becomeFirstResponder) so that the
    // keyboard stays up while the focus passes from another text input, and
    // goes down when the old one resigned but this one did not take over.
    static bool takeFocus(const std::function<bool()>& become);
    // Editing began (the keyboard, or the input view, comes up) or ended.
    void startEditing();
    void stopEditing();

    std::string text_;
    Color textColor_ = Color::blackColor();
    TextAlignment alignment_ = TextAlignmentLeft;
    ReturnKeyType returnKeyType_ = ReturnKeyDefault;
    KeyboardType keyboardType_ = KeyboardTypeDefault;
    std::shared_ptr<View> inputView_;
    bool editing_ = false;
};

}  // namespace ui
