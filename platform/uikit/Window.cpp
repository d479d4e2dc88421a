#include "uikit/Window.h"

#include "uikit/Application.h"
#include "uikit/ViewController.h"

namespace ui {

void Window::init(const Rect& frame) {
    View::init(frame);
    View::setHidden(true);
}

void Window::setRootViewController(const std::shared_ptr<ViewController>& vc) {
    if (rootViewController_ == vc) return;
    auto old = rootViewController_;
    rootViewController_ = vc;
    if (old && old->isViewLoaded() && old->view()->superview().get() == this) old->view()->removeFromSuperview();
    if (vc) {
        auto v = vc->view();
        v->setFrame(bounds());
        insertSubview(v, 0);
    }
}

void Window::makeKeyAndVisible() {
    makeKeyWindow();
    setHidden(false);
}

void Window::makeKeyWindow() {
    Application::sharedApplication().setKeyWindow(std::static_pointer_cast<Window>(shared_from_this()));
}

bool Window::isKeyWindow() const { return Application::sharedApplication().keyWindow().get() == this; }

void Window::setHidden(bool hidden) {
    bool was = isHidden();
    View::setHidden(hidden);
    if (was == hidden) return;
    auto self = std::static_pointer_cast<Window>(shared_from_this());
    Application::sharedApplication().windowVisibilityChanged(self, !hidden);
    visibilityChanged(!hidden);
}

std::shared_ptr<Responder> Window::nextResponder() const {
    return std::static_pointer_cast<Responder>(Application::sharedApplication().shared_from_this());
}

Screen& Screen::mainScreen() {
    static Screen screen;
    return screen;
}

void Screen::resetForTesting() {
    size_ = Size{320, 568};
    scale_ = 2;
}

}  // namespace ui
