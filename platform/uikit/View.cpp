#include "uikit/View.h"

#include <algorithm>
#include <deque>

#include "foundation/RunLoop.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ViewController.h"
#include "uikit/Window.h"

namespace ui {

View::~View() = default;

void View::init(const Rect& frame) {
    frame_ = frame;
    needsLayout_ = true;
}

// ---- Geometry ----

void View::setFrame(const Rect& frame) {
    noteAnimatedChange();
    if (frame.size != frame_.size) needsLayout_ = true;
    frame_ = frame;
}

void View::setBounds(const Rect& bounds) {
    noteAnimatedChange();
    Point c = center();
    if (bounds.size != frame_.size) needsLayout_ = true;
    boundsOrigin_ = bounds.origin;
    frame_ = Rect(c.x - bounds.size.width / 2, c.y - bounds.size.height / 2, bounds.size.width, bounds.size.height);
}

void View::setCenter(Point c) {
    noteAnimatedChange();
    frame_.origin = Point{c.x - frame_.size.width / 2, c.y - frame_.size.height / 2};
}

void View::setHidden(bool hidden) {
    noteAnimatedChange();
    hidden_ = hidden;
}

void View::setAlpha(double alpha) {
    noteAnimatedChange();
    alpha_ = std::clamp(alpha, 0.0, 1.0);
}

void View::setBackgroundColor(std::optional<Color> color) {
    noteAnimatedChange();
    backgroundColor_ = color;
}

// ---- Hierarchy ----

std::shared_ptr<Window> View::window() const {
    const View* v = this;
    std::shared_ptr<View> holder;
    while (true) {
        auto sup = v->superview_.lock();
        if (!sup) break;
        holder = sup;
        v = holder.get();
    }
    if (auto* w = dynamic_cast<const Window*>(v)) {
        return std::static_pointer_cast<Window>(std::const_pointer_cast<Object>(w->shared_from_this()));
    }
    return nullptr;
}

bool View::isDescendantOfView(const View* view) const {
    if (!view) return false;
    const View* v = this;
    std::shared_ptr<View> holder;
    while (v) {
        if (v == view) return true;
        holder = v->superview_.lock();
        v = holder.get();
    }
    return false;
}

std::vector<std::shared_ptr<View>> View::subviews() const {
    std::vector<std::shared_ptr<View>> out;
    out.reserve(subviewCount());
    for (const auto& sub : subviews_) {
        if (sub) out.push_back(sub);
    }
    return out;
}

namespace {

// Up to this many holes stay open whatever the count of subviews: closing
// them up would cost more than skipping them.
constexpr std::size_t kHolesLeftOpen = 16;

}  // namespace

// Callers hold the subview: its place alone is emptied here.
void View::vacate(std::size_t slot) {
    subviews_[slot].reset();
    ++holes_;
    while (!subviews_.empty() && !subviews_.back()) {
        subviews_.pop_back();
        --holes_;
    }
    // Closing up moves each subview once, and before it comes again as
    // many removals must leave as many holes: constant time a removal.
    if (holes_ > kHolesLeftOpen && holes_ > subviews_.size() - holes_) closeUp();
}

void View::closeUp() {
    std::size_t to = 0;
    for (std::size_t from = 0; from < subviews_.size(); ++from) {
        if (!subviews_[from]) continue;
        if (to != from) subviews_[to] = std::move(subviews_[from]);
        subviews_[to]->slot_ = to;
        ++to;
    }
    subviews_.resize(to);
    holes_ = 0;
}

std::size_t View::indexOf(const View* view) {
    if (holes_ > 0) closeUp();
    return view->slot_;
}

void View::place(const std::shared_ptr<View>& view, std::size_t index) {
    if (index >= subviewCount()) {
        view->slot_ = subviews_.size();
        subviews_.push_back(view);
        return;
    }
    if (holes_ > 0) closeUp();
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    for (std::size_t i = index; i < subviews_.size(); ++i) subviews_[i]->slot_ = i;
}

void View::addSubview(const std::shared_ptr<View>& view) { insertAt(view, subviewCount()); }

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) { insertAt(view, index); }

void View::insertSubview_aboveSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    if (!holds(sibling.get())) {
        addSubview(view);
        return;
    }
    std::size_t at = indexOf(sibling.get());
    std::size_t idx = at + 1;
    if (holds(view.get()) && indexOf(view.get()) < at) idx--;
    insertAt(view, idx);
}

void View::insertSubview_belowSubview(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    if (!holds(sibling.get())) {
        insertAt(view, 0);
        return;
    }
    std::size_t at = indexOf(sibling.get());
    std::size_t idx = at;
    if (holds(view.get()) && indexOf(view.get()) < at) idx--;
    insertAt(view, idx);
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
    if (!holds(view.get())) return;
    auto keep = view;
    vacate(keep->slot_);
    place(keep, subviewCount());
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
    if (!holds(view.get())) return;
    auto keep = view;
    vacate(keep->slot_);
    place(keep, 0);
}

void View::insertAt(const std::shared_ptr<View>& view, std::size_t index) {
    if (!view || view.get() == this || isDescendantOfView(view.get())) return;
    auto keep = view;
    auto oldSuper = view->superview();
    if (oldSuper.get() == this) {
        if (holds(keep.get())) vacate(keep->slot_);
        place(keep, index);
        return;
    }
    auto oldWindow = view->window();
    auto newWindow = window();
    view->willMoveToSuperview(this);
    if (oldWindow != newWindow) view->willMoveToWindow(newWindow.get());
    if (oldSuper) {
        oldSuper->willRemoveSubview(view.get());
        if (oldSuper->holds(keep.get())) oldSuper->vacate(keep->slot_);
    }
    place(keep, index);
    view->superview_ = std::static_pointer_cast<View>(shared_from_this());
    view->needsLayout_ = true;
    view->didMoveToSuperview();
    didAddSubview(view.get());
    if (oldWindow != newWindow) view->windowChanged(oldWindow.get(), newWindow.get());
}

void View::removeFromSuperview() {
    auto sup = superview();
    if (!sup) return;
    auto keep = std::static_pointer_cast<View>(shared_from_this());
    auto oldWindow = window();
    willMoveToSuperview(nullptr);
    if (oldWindow) willMoveToWindow(nullptr);
    sup->willRemoveSubview(this);
    if (sup->holds(this)) sup->vacate(slot_);
    superview_.reset();
    didMoveToSuperview();
    if (oldWindow) windowChanged(oldWindow.get(), nullptr);
}

void View::windowChanged(Window* oldWindow, Window* newWindow) {
    auto keep = std::static_pointer_cast<View>(shared_from_this());
    if (!newWindow && isFirstResponder()) resignFirstResponder();
    didMoveToWindow();
    bool wasVisible = oldWindow && !oldWindow->isHidden();
    bool isVisible = newWindow && !newWindow->isHidden();
    if (wasVisible != isVisible) {
        if (auto vc = viewController_.lock()) vc->rootViewVisibilityChanged(isVisible);
    }
    for (auto& sub : subviews()) {
        if (sub->superview_.lock().get() != this) continue;  // moved away by a callback
        sub->windowChanged(oldWindow, newWindow);
    }
}

void View::visibilityChanged(bool visible) {
    auto keep = std::static_pointer_cast<View>(shared_from_this());
    if (auto vc = viewController_.lock()) vc->rootViewVisibilityChanged(visible);
    for (auto& sub : subviews()) {
        if (sub->superview_.lock().get() != this) continue;
        sub->visibilityChanged(visible);
    }
}

std::shared_ptr<View> View::viewWithTag(int tag) {
    if (tag_ == tag) return std::static_pointer_cast<View>(shared_from_this());
    for (auto& sub : subviews_) {
        if (!sub) continue;
        if (auto found = sub->viewWithTag(tag)) return found;
    }
    return nullptr;
}

// ---- Layout ----

void View::layoutIfNeeded() {
    auto keep = shared_from_this();
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    for (auto& sub : subviews()) sub->layoutIfNeeded();
}

Size View::sizeThatFits(Size) const { return frame_.size; }

void View::sizeToFit() {
    Size s = sizeThatFits(frame_.size);
    setFrame(Rect(frame_.origin, s));
}

// ---- Hit-testing ----

bool View::pointInside(Point p, Event*) const { return bounds().contains(p); }

std::shared_ptr<View> View::hitTest(Point p, Event* event) {
    if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled_) return nullptr;
    if (!pointInside(p, event)) return nullptr;
    auto subs = subviews();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
        const auto& sub = *it;
        Point q{p.x - sub->frame_.origin.x + sub->boundsOrigin_.x, p.y - sub->frame_.origin.y + sub->boundsOrigin_.y};
        if (auto hit = sub->hitTest(q, event)) return hit;
    }
    return std::static_pointer_cast<View>(shared_from_this());
}

namespace {

// From a view's coordinates to those of the root of its tree (the window's
// coordinates when the root is a window at the origin).
Point toRoot(const View* v, Point p) {
    std::shared_ptr<View> holder;
    while (v) {
        Rect f = v->frame();
        Rect b = v->bounds();
        p = Point{p.x - b.origin.x + f.origin.x, p.y - b.origin.y + f.origin.y};
        holder = v->superview();
        v = holder.get();
    }
    return p;
}

Point fromRoot(const View* v, Point p) {
    std::vector<std::shared_ptr<const View>> chain;
    std::shared_ptr<View> holder;
    const View* cur = v;
    std::vector<const View*> raw;
    while (cur) {
        raw.push_back(cur);
        holder = cur->superview();
        cur = holder.get();
    }
    for (auto it = raw.rbegin(); it != raw.rend(); ++it) {
        Rect f = (*it)->frame();
        Rect b = (*it)->bounds();
        p = Point{p.x - f.origin.x + b.origin.x, p.y - f.origin.y + b.origin.y};
    }
    return p;
}

}  // namespace

Point View::convertPoint_toView(Point p, const View* view) const {
    Point root = toRoot(this, p);
    if (view) return fromRoot(view, root);
    auto w = window();
    return w ? fromRoot(w.get(), root) : root;
}

Point View::convertPoint_fromView(Point p, const View* view) const {
    Point root;
    if (view) {
        root = toRoot(view, p);
    } else {
        auto w = window();
        root = w ? toRoot(w.get(), p) : p;
    }
    return fromRoot(this, root);
}

Rect View::convertRect_toView(const Rect& r, const View* view) const {
    return Rect(convertPoint_toView(r.origin, view), r.size);
}

Rect View::convertRect_fromView(const Rect& r, const View* view) const {
    return Rect(convertPoint_fromView(r.origin, view), r.size);
}

// ---- Responders ----

std::shared_ptr<Responder> View::nextResponder() const {
    if (auto vc = viewController_.lock()) return vc;
    return superview_.lock();
}

bool View::becomeFirstResponder() {
    if (!window()) return false;
    return Responder::becomeFirstResponder();
}

std::shared_ptr<ViewController> View::findViewController() const {
    std::shared_ptr<Responder> r = nextResponder();
    while (r) {
        if (auto vc = std::dynamic_pointer_cast<ViewController>(r)) return vc;
        r = r->nextResponder();
    }
    return nullptr;
}

bool View::endEditing(bool force) {
    auto first = Responder::firstResponder();
    auto fv = std::dynamic_pointer_cast<View>(first);
    if (!fv || !fv->isDescendantOfView(this)) return true;
    if (!force && !fv->canResignFirstResponder()) return false;
    bool done = fv->resignFirstResponder();
    if (!done && force) {
        Responder::resetFirstResponderForTesting();
        done = true;
    }
    return done;
}

// ---- Gestures ----

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    auto self = std::static_pointer_cast<View>(shared_from_this());
    if (auto old = recognizer->view()) {
        if (old == self) return;
        old->removeGestureRecognizer(recognizer);
    }
    gestureRecognizers_.push_back(recognizer);
    recognizer->attachToView(self);
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    auto it = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
    if (it == gestureRecognizers_.end()) return;
    gestureRecognizers_.erase(it);
    recognizer->attachToView(nullptr);
}

// ---- Animations ----

namespace {

struct AnimationContext {
    std::vector<std::weak_ptr<Object>> views;
    double duration = 0.2;
    double delay = 0;
};

thread_local std::vector<AnimationContext*> tlsAnimations;
thread_local std::deque<AnimationContext> tlsBeginCommit;

}  // namespace

void View::noteAnimatedChange() {
    if (tlsAnimations.empty()) return;
    auto weak = weak_from_this();
    if (weak.expired()) return;
    tlsAnimations.back()->views.push_back(weak);
}

void View::animateWithDuration(double duration, const std::function<void()>& animations,
                               std::function<void(bool)> completion) {
    animateWithDuration(duration, 0, ViewAnimationOptionNone, animations, std::move(completion));
}

void View::animateWithDuration(double duration, double delay, unsigned, const std::function<void()>& animations,
                               std::function<void(bool)> completion) {
    AnimationContext ctx;
    tlsAnimations.push_back(&ctx);
    try {
        if (animations) animations();
    } catch (...) {
        tlsAnimations.pop_back();
        throw;
    }
    tlsAnimations.pop_back();
    if (!completion) return;
    double wait = std::max(0.0, duration) + std::max(0.0, delay);
    auto views = std::move(ctx.views);
    auto fire = [views = std::move(views), completion = std::move(completion)]() {
        bool anyAlive = views.empty();
        for (const auto& v : views) {
            if (!v.expired()) {
                anyAlive = true;
                break;
            }
        }
        if (anyAlive) completion(true);
    };
    if (wait <= 0) {
        ns::RunLoop::main().post(std::move(fire));
    } else {
        ns::RunLoop::main().addTimer(wait, false, [fire = std::move(fire)](ns::Timer&) { fire(); });
    }
}

void View::beginAnimations(const std::string&) {
    tlsBeginCommit.emplace_back();
    tlsAnimations.push_back(&tlsBeginCommit.back());
}

void View::setAnimationDuration(double duration) {
    if (!tlsBeginCommit.empty()) tlsBeginCommit.back().duration = duration;
}

void View::setAnimationDelay(double delay) {
    if (!tlsBeginCommit.empty()) tlsBeginCommit.back().delay = delay;
}

void View::setAnimationCurve(int) {}

void View::commitAnimations() {
    if (tlsBeginCommit.empty()) return;
    tlsAnimations.pop_back();
    tlsBeginCommit.pop_back();
}

}  // namespace ui
