#include "uikit/TextInput.h"

#include <algorithm>

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

void TextInput::deleteBackward() {
    if (!editing_ || text_.empty()) return;
    replace(lastCharacterRange(text_), std::string());
}

bool TextInput::takeFocus(const std::function<bool()>& become) {
    Keyboard& keyboard = Keyboard::shared();
    keyboard.beginFocusChange();
    bool ok = become();
    keyboard.endFocusChange();
    // The old one resigned but this one did not take over: the keyboard goes.
    if (!ok && !dynamic_cast<KeyInput*>(Responder::firstResponder().get())) keyboard.inputResigned();
    return ok;
}

void TextInput::startEditing() {
    editing_ = true;
    Keyboard::shared().show(inputView_);
}

void TextInput::stopEditing() {
    editing_ = false;
    Keyboard::shared().inputResigned();
}

}  // namespace ui
