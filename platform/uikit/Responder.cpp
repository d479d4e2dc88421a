#include "uikit/Responder.h"

#include <cxxabi.h>

#include <cstdlib>

#include "uikit/View.h"
#include "uikit/Window.h"

namespace ui {

// ---- Object ----

std::string demangle(const char* mangled) {
    int status = 0;
    char* out = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string s = (status == 0 && out) ? out : mangled;
    std::free(out);
    return s;
}

std::string Object::className() const { return demangle(typeid(*this).name()); }

// ---- Touch ----

void Touch::setUp(const std::shared_ptr<View>& view, const std::shared_ptr<Window>& window, Point p, double ts) {
    view_ = view;
    window_ = window;
    location_ = previous_ = start_ = p;
    phase_ = TouchPhaseBegan;
    timestamp_ = ts;
}

void Touch::moveTo(Point p, TouchPhase phase, double ts) {
    previous_ = location_;
    location_ = p;
    phase_ = phase;
    timestamp_ = ts;
}

namespace {
Point fromWindow(Point p, const View* view) {
    if (!view) return p;
    return view->convertPoint_fromView(p, nullptr);
}
}  // namespace

Point Touch::locationInView(const View* view) const { return fromWindow(location_, view); }
Point Touch::previousLocationInView(const View* view) const { return fromWindow(previous_, view); }

// ---- Responder ----

namespace {
std::weak_ptr<Responder>& currentFirst() {
    static std::weak_ptr<Responder> first;
    return first;
}
}  // namespace

std::shared_ptr<Responder> Responder::firstResponder() { return currentFirst().lock(); }

void Responder::resetFirstResponderForTesting() { currentFirst().reset(); }

bool Responder::isFirstResponder() const { return currentFirst().lock().get() == this; }

bool Responder::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (auto current = firstResponder()) {
        if (!current->canResignFirstResponder()) return false;
        if (!current->resignFirstResponder()) return false;
    }
    currentFirst() = std::static_pointer_cast<Responder>(shared_from_this());
    didBecomeFirstResponder();
    return true;
}

bool Responder::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = shared_from_this();
    currentFirst().reset();
    didResignFirstResponder();
    return true;
}

void Responder::touchesBegan(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesBegan(touches, event);
}
void Responder::touchesMoved(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesMoved(touches, event);
}
void Responder::touchesEnded(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesEnded(touches, event);
}
void Responder::touchesCancelled(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesCancelled(touches, event);
}

}  // namespace ui
