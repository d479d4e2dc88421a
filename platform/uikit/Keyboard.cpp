#include "uikit/Keyboard.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/Notification.h"
#include "uikit/Responder.h"

namespace ui {

namespace {

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// Windows of the keyboard sit above the application's own windows.
constexpr WindowLevel kKeyboardLevel = 10;

}  // namespace

std::string stringFromRect(const Rect& r) {
    return "{{" + num(r.origin.x) + ", " + num(r.origin.y) + "}, {" + num(r.size.width) + ", " + num(r.size.height) +
           "}}";
}

std::optional<Rect> rectFromString(const std::string& s) {
    double v[4];
    int n = 0;
    const char* p = s.c_str();
    while (*p && n < 4) {
        if ((*p >= '0' && *p <= '9') || *p == '-' || *p == '+' || *p == '.') {
            char* end = nullptr;
            v[n++] = std::strtod(p, &end);
            if (end == p) return std::nullopt;
            p = end;
        } else {
            ++p;
        }
    }
    if (n != 4) return std::nullopt;
    return Rect(v[0], v[1], v[2], v[3]);
}

Rect rectFromUserInfo(const ns::Value& userInfo, const std::string& key) {
    return rectFromString(userInfo[key].str()).value_or(Rect{});
}

Keyboard& Keyboard::shared() {
    static Keyboard k;
    return k;
}

bool Keyboard::isVisible() const { return window_ && !window_->isHidden(); }

Rect Keyboard::frame() const { return isVisible() ? window_->frame() : Rect{}; }

void Keyboard::post(const char* name, const Rect& begin, const Rect& end) {
    ns::Value info = ns::Value::dictionary({
        {UIKeyboardFrameBeginUserInfoKey, ns::Value(stringFromRect(begin))},
        {UIKeyboardFrameEndUserInfoKey, ns::Value(stringFromRect(end))},
        {UIKeyboardAnimationDurationUserInfoKey, ns::Value(0.25)},
    });
    ns::NotificationCenter::defaultCenter().post(name, nullptr, std::move(info));
}

void Keyboard::show(const std::shared_ptr<View>& inputView) {
    Rect screen = Screen::mainScreen().bounds();
    double h = height_;
    if (inputView && inputView->frame().size.height > 0) h = inputView->frame().size.height;
    Rect onScreen(0, screen.size.height - h, screen.size.width, h);
    Rect offScreen(0, screen.size.height, screen.size.width, h);
    Rect begin = isVisible() ? frame() : offScreen;

    if (!window_) {
        window_ = create<Window>(onScreen);
        window_->setWindowLevel(kKeyboardLevel);
        keys_ = create<KeyboardView>(Rect(0, 0, onScreen.size.width, h));
        keys_->setBackgroundColor(Color::colorWithRed(0.82, 0.84, 0.86, 1));
    }
    window_->setFrame(onScreen);
    if (inputView_ && inputView_ != inputView) inputView_->removeFromSuperview();
    if (!isVisible()) keys_->reset();
    keys_->removeFromSuperview();
    inputView_ = inputView;
    std::shared_ptr<View> content = inputView ? inputView : keys_;
    content->setFrame(Rect(0, 0, onScreen.size.width, h));
    window_->addSubview(content);
    window_->setHidden(false);
    shownHeight_ = h;
    ++shows_;
    post(UIKeyboardWillShowNotification, begin, onScreen);
    post(UIKeyboardDidShowNotification, begin, onScreen);
}

void Keyboard::inputResigned() {
    if (switching_ > 0 || !isVisible()) return;
    Rect onScreen = window_->frame();
    Rect screen = Screen::mainScreen().bounds();
    Rect offScreen(0, screen.size.height, onScreen.size.width, onScreen.size.height);
    ++hides_;
    post(UIKeyboardWillHideNotification, onScreen, offScreen);
    window_->setHidden(true);
    if (inputView_) inputView_->removeFromSuperview();
    inputView_.reset();
    post(UIKeyboardDidHideNotification, onScreen, offScreen);
}

// ---- The keys ----

std::vector<KeyboardView::Key> KeyboardView::keys() const {
    static const char* const kLetters[3] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    static const char* const kDigits[3] = {"1234567890", "-/:;()$&@\"", ".,?!'"};
    const Rect face = bounds();
    const double gap = 6, top = 12, keyH = 38, rowGap = 15;
    const double keyW = (face.width() - gap * 11) / 10;
    const double sideW = keyW * 1.35;
    std::vector<Key> out;
    double y = face.minY() + top;
    for (int r = 0; r < 3; ++r, y += keyH + rowGap) {
        const std::string row = (digits_ ? kDigits : kLetters)[r];
        const double n = static_cast<double>(row.size());
        double x = face.minX() + (face.width() - (n * keyW + (n - 1) * gap)) / 2;
        for (char c : row) {
            char shown = shifted_ && !digits_ ? static_cast<char>(c - 'a' + 'A') : c;
            out.push_back(Key{Key::Character, std::string(1, shown), Rect(x, y, keyW, keyH)});
            x += keyW + gap;
        }
    }
    const double third = y - keyH - rowGap;
    if (!digits_) out.push_back(Key{Key::Shift, "\u21e7", Rect(face.minX() + 3, third, sideW, keyH)});
    out.push_back(Key{Key::Delete, "\u232b", Rect(face.maxX() - 3 - sideW, third, sideW, keyH)});
    const double switchW = sideW * 2.1 + 3;
    out.push_back(Key{Key::SwitchLayout, digits_ ? "ABC" : "123", Rect(face.minX() + 3, y, switchW, keyH)});
    const double returnW = sideW * 1.8;
    out.push_back(Key{Key::Return, "换行", Rect(face.maxX() - 3 - returnW, y, returnW, keyH)});
    const double spaceX = face.minX() + 9 + switchW;
    out.push_back(Key{Key::Space, "空格", Rect(spaceX, y, face.maxX() - 6 - returnW - spaceX, keyH)});
    return out;
}

std::optional<KeyboardView::Key> KeyboardView::keyAt(Point p) const {
    for (auto& k : keys()) {
        if (k.frame.contains(p)) return k;
    }
    return std::nullopt;
}

void KeyboardView::reset() {
    shifted_ = false;
    digits_ = false;
}

void KeyboardView::touchesEnded(const TouchSet& touches, Event* event) {
    View::touchesEnded(touches, event);
    auto touch = touches.anyObject();
    if (!touch) return;
    if (auto key = keyAt(touch->locationInView(this))) press(*key);
}

void KeyboardView::press(const Key& key) {
    auto input = std::dynamic_pointer_cast<KeyInput>(Responder::firstResponder());
    switch (key.kind) {
        case Key::Shift: shifted_ = !shifted_; return;
        case Key::SwitchLayout:
            digits_ = !digits_;
            shifted_ = false;
            return;
        case Key::Delete:
            if (input) input->deleteBackward();
            return;
        case Key::Space:
            if (input) input->insertText(" ");
            return;
        case Key::Return:
            if (input) input->insertText("\n");
            return;
        case Key::Character:
            shifted_ = false;
            if (input) input->insertText(key.label);
            return;
    }
}

void Keyboard::resetForTesting() {
    if (window_) window_->View::setHidden(true);
    if (inputView_) inputView_->removeFromSuperview();
    inputView_.reset();
    window_.reset();
    keys_.reset();
    height_ = 216;
    switching_ = 0;
    shows_ = 0;
    hides_ = 0;
}

}  // namespace ui
