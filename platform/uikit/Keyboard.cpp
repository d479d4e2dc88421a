#include "uikit/Keyboard.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/Notification.h"

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
        blank_ = create<View>(Rect(0, 0, onScreen.size.width, h));
        blank_->setBackgroundColor(Color::colorWithRed(0.82, 0.84, 0.86, 1));
    }
    window_->setFrame(onScreen);
    if (inputView_ && inputView_ != inputView) inputView_->removeFromSuperview();
    blank_->removeFromSuperview();
    inputView_ = inputView;
    std::shared_ptr<View> content = inputView ? inputView : blank_;
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

void Keyboard::resetForTesting() {
    if (window_) window_->View::setHidden(true);
    if (inputView_) inputView_->removeFromSuperview();
    inputView_.reset();
    window_.reset();
    blank_.reset();
    height_ = 216;
    switching_ = 0;
    shows_ = 0;
    hides_ = 0;
}

}  // namespace ui
