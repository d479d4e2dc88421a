// The on-screen keyboard: it comes up when a text field or text view becomes
// the first responder and goes down when editing ends, posting the
// platform's keyboard notifications with its frame.
//
//   nc.addObserver(self, ns::UIKeyboardDidShowNotification, [](const ns::Notification& n) {
//       ui::Rect kb = ui::rectFromUserInfo(n.userInfo, ui::UIKeyboardFrameBeginUserInfoKey);
//       ... kb.size.height ...
//   });
//
// Sequence: becoming the first responder posts UIKeyboardWillShowNotification
// then UIKeyboardDidShowNotification (at once: animations are instant);
// moving the focus to another text input posts the two again, without hiding
// in between; ending editing with no text input taking over posts
// UIKeyboardWillHideNotification then UIKeyboardDidHideNotification.
// The user info carries the frames as text ("{{0, 352}, {320, 216}}"):
// begin (off screen when showing) and end (on screen when showing), with the
// keyboard's height, which is fixed (216 unless set), or the input view's.
//
// While up, the keyboard is a window at the bottom of the screen: the keys
// (KeyboardView), or the responder's input view (a picker), which takes
// touches.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Geometry.h"
#include "uikit/View.h"
#include "uikit/Window.h"

namespace ui {

inline constexpr const char* UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr const char* UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* UIKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";

// NSStringFromCGRect / CGRectFromString: "{{x, y}, {w, h}}".
std::string stringFromRect(const Rect& r);
std::optional<Rect> rectFromString(const std::string& s);
// The rectangle under a key of a notification's user info (zero when absent).
Rect rectFromUserInfo(const ns::Value& userInfo, const std::string& key);

// The standard keyboard's face. A tap on a key types into the first
// responder: a letter (a capital after ⇧, for one letter), a digit or mark,
// "空格" a blank and "换行" the return key; ⌫ deletes backwards, "123" and
// "ABC" switch between the letters and the digits and marks.
class KeyboardView : public View {
public:
    struct Key {
        enum Kind { Character, Shift, Delete, SwitchLayout, Space, Return };
        Kind kind = Character;
        std::string label;  // what the key shows (a character key types it)
        Rect frame;         // in the keyboard's bounds
    };

    // The keys of the layout showing, laid out in the bounds.
    std::vector<Key> keys() const;
    // The key under a point of the bounds, if any.
    std::optional<Key> keyAt(Point p) const;
    bool isShifted() const { return shifted_; }
    bool showsDigits() const { return digits_; }
    // Back to lower-case letters (each time the keyboard comes up).
    void reset();

    void touchesEnded(const TouchSet& touches, Event* event) override;

private:
    void press(const Key& key);

    bool shifted_ = false;
    bool digits_ = false;
};

class Keyboard {
public:
    static Keyboard& shared();

    // The standard keyboard's height (216 by default).
    double height() const { return height_; }
    void setHeight(double h) { height_ = h; }

    bool isVisible() const;
    // On screen while visible.
    Rect frame() const;
    // The input view shown in place of the keyboard, if any.
    std::shared_ptr<View> inputView() const { return inputView_; }
    // The keyboard's window (nullptr until first shown).
    std::shared_ptr<Window> window() const { return window_; }
    // How many times each notification was posted since the last reset.
    int showCount() const { return shows_; }
    int hideCount() const { return hides_; }

    // ---- For text inputs ----
    // A text input is about to take the focus: the resignation that follows
    // does not lower the keyboard.
    void beginFocusChange() { ++switching_; }
    void endFocusChange() { --switching_; }
    // A text input became the first responder with this input view (or none).
    void show(const std::shared_ptr<View>& inputView);
    // A text input stopped being the first responder.
    void inputResigned();

    void resetForTesting();

private:
    void post(const char* name, const Rect& begin, const Rect& end);

    double height_ = 216;
    int switching_ = 0;
    int shows_ = 0;
    int hides_ = 0;
    double shownHeight_ = 0;
    std::shared_ptr<Window> window_;
    std::shared_ptr<KeyboardView> keys_;
    std::shared_ptr<View> inputView_;
};

}  // namespace ui
