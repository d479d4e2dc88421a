#include "uikit/GestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "uikit/View.h"

namespace ui {

void GestureRecognizer::addAction(Action action) {
    if (action.isNull()) return;
    for (const auto& a : actions_) {
        if (a.sameAs(action)) return;
    }
    actions_.push_back(std::move(action));
}

void GestureRecognizer::removeTarget(const void* target) {
    actions_.erase(std::remove_if(actions_.begin(), actions_.end(),
                                  [target](const Action& a) { return !target || a.sameTarget(target); }),
                   actions_.end());
}

void GestureRecognizer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled && (state_ == GestureRecognizerStateBegan || state_ == GestureRecognizerStateChanged)) {
        setState(GestureRecognizerStateCancelled);
    }
}

Point GestureRecognizer::locationInView(const View* view) const {
    if (touch_) return touch_->locationInView(view);
    if (auto v = view_.lock()) {
        Rect b = v->bounds();
        return v->convertPoint_toView(Point{b.midX(), b.midY()}, view);
    }
    return Point{};
}

bool GestureRecognizer::hasRecognized() const {
    return state_ == GestureRecognizerStateBegan || state_ == GestureRecognizerStateChanged ||
           state_ == GestureRecognizerStateEnded;
}

void GestureRecognizer::setState(GestureRecognizerState state) {
    auto keep = shared_from_this();
    if ((state == GestureRecognizerStateBegan || state == GestureRecognizerStateRecognized) &&
        (state_ == GestureRecognizerStatePossible || state_ == GestureRecognizerStateFailed ||
         state_ == GestureRecognizerStateCancelled)) {
        if (auto d = delegate_.lock()) {
            if (!d->gestureRecognizerShouldBegin(sharedAs<GestureRecognizer>())) {
                state_ = GestureRecognizerStateFailed;
                return;
            }
        }
    }
    state_ = state;
    if (state == GestureRecognizerStateBegan || state == GestureRecognizerStateChanged ||
        state == GestureRecognizerStateEnded || state == GestureRecognizerStateCancelled) {
        auto actions = actions_;
        for (const auto& a : actions) a.send(keep);
    }
}

void GestureRecognizer::reset() {
    state_ = GestureRecognizerStatePossible;
    touch_.reset();
}

void GestureRecognizer::touchBegan(const TouchPtr& touch) { touch_ = touch; }
void GestureRecognizer::touchMoved(const TouchPtr&) {}
void GestureRecognizer::touchEnded(const TouchPtr&) {}
void GestureRecognizer::touchCancelled(const TouchPtr&) {
    if (state_ == GestureRecognizerStateBegan || state_ == GestureRecognizerStateChanged) {
        setState(GestureRecognizerStateCancelled);
    } else if (state_ == GestureRecognizerStatePossible) {
        state_ = GestureRecognizerStateFailed;
    }
}

namespace {
double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }
}  // namespace

// ---- Tap ----

void TapGestureRecognizer::touchMoved(const TouchPtr& touch) {
    if (state() == GestureRecognizerStatePossible &&
        distance(touch->windowLocation(), touch->startWindowLocation()) > kSlop) {
        setState(GestureRecognizerStateFailed);
    }
}

void TapGestureRecognizer::touchEnded(const TouchPtr& touch) {
    if (state() != GestureRecognizerStatePossible) return;
    if (numberOfTapsRequired() > 1 || numberOfTouchesRequired() > 1) {
        setState(GestureRecognizerStateFailed);  // one finger, one tap per touch
        return;
    }
    if (distance(touch->windowLocation(), touch->startWindowLocation()) > kSlop) {
        setState(GestureRecognizerStateFailed);
        return;
    }
    setState(GestureRecognizerStateRecognized);
}

// ---- Pan ----

Point PanGestureRecognizer::translationInView(const View*) const { return translation_; }

void PanGestureRecognizer::setTranslation(Point t, const View*) {
    translation_ = t;
    if (touch_) {
        Point p = touch_->windowLocation();
        origin_ = Point{p.x - t.x, p.y - t.y};
    }
}

Point PanGestureRecognizer::velocityInView(const View*) const { return velocity_; }

void PanGestureRecognizer::touchBegan(const TouchPtr& touch) {
    GestureRecognizer::touchBegan(touch);
    origin_ = touch->windowLocation();
    translation_ = Point{};
    velocity_ = Point{};
}

void PanGestureRecognizer::touchMoved(const TouchPtr& touch) {
    Point p = touch->windowLocation();
    Point prev = touch->previousLocationInView(nullptr);
    translation_ = Point{p.x - origin_.x, p.y - origin_.y};
    velocity_ = Point{(p.x - prev.x) * 60, (p.y - prev.y) * 60};
    if (state() == GestureRecognizerStatePossible) {
        if (distance(p, touch->startWindowLocation()) > kHysteresis) setState(GestureRecognizerStateBegan);
    } else if (state() == GestureRecognizerStateBegan || state() == GestureRecognizerStateChanged) {
        setState(GestureRecognizerStateChanged);
    }
}

void PanGestureRecognizer::touchEnded(const TouchPtr& touch) {
    if (state() == GestureRecognizerStateBegan || state() == GestureRecognizerStateChanged) {
        Point p = touch->windowLocation();
        translation_ = Point{p.x - origin_.x, p.y - origin_.y};
        setState(GestureRecognizerStateEnded);
    } else if (state() == GestureRecognizerStatePossible) {
        setState(GestureRecognizerStateFailed);
    }
}

void PanGestureRecognizer::reset() {
    GestureRecognizer::reset();
    translation_ = Point{};
    velocity_ = Point{};
}

}  // namespace ui
