#include "uikit/ViewController.h"

#include <algorithm>

#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "uikit/BarButtonItem.h"
#include "uikit/NavigationController.h"
#include "uikit/Window.h"

namespace ui {

namespace {

LifecycleTrace*& currentTrace() {
    static LifecycleTrace* trace = nullptr;
    return trace;
}

void scheduleCompletion(bool animated, std::function<void()> completion) {
    if (!completion) return;
    if (animated) {
        ns::RunLoop::main().addTimer(ViewController::kTransitionDuration, false,
                                     [c = std::move(completion)](ns::Timer&) { c(); });
    } else {
        ns::RunLoop::main().post(std::move(completion));
    }
}

}  // namespace

LifecycleTrace::LifecycleTrace() : previous_(currentTrace()) { currentTrace() = this; }
LifecycleTrace::~LifecycleTrace() { currentTrace() = previous_; }

void LifecycleTrace::record(const ViewController& vc, const char* call) {
    if (LifecycleTrace* t = currentTrace()) t->events_.push_back(vc.className() + " " + call);
}

ViewController::~ViewController() {
    if (view_) view_->viewController_.reset();
}

void ViewController::initWithNibName(const std::string& nibName, const void*) {
    nibName_ = nibName;
    init();
}

// ---- The view ----

std::shared_ptr<View> ViewController::view() {
    if (!view_ && !loadingView_) {
        auto keep = shared_from_this();
        loadingView_ = true;
        loadView();
        if (!view_) ViewController::loadView();
        loadingView_ = false;
        LifecycleTrace::record(*this, "viewDidLoad");
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(const std::shared_ptr<View>& view) {
    if (view_ == view) return;
    if (view_) view_->viewController_.reset();
    view_ = view;
    if (view_) view_->viewController_ = std::static_pointer_cast<ViewController>(shared_from_this());
}

void ViewController::loadView() { setView(create<View>(Screen::mainScreen().bounds())); }

// ---- Title and navigation ----

void ViewController::setTitle(const std::string& title) {
    title_ = title;
    navigationItem()->setTitle(title);
}

std::shared_ptr<NavigationItem> ViewController::navigationItem() {
    if (!navigationItem_) {
        navigationItem_ = create<NavigationItem>(title_);
    }
    return navigationItem_;
}

std::shared_ptr<NavigationController> ViewController::navigationController() const {
    for (auto p = parent_.lock(); p; p = p->parent_.lock()) {
        if (auto nav = std::dynamic_pointer_cast<NavigationController>(p)) return nav;
    }
    return nullptr;
}

// ---- Containment ----

void ViewController::addChildViewController(const std::shared_ptr<ViewController>& child) {
    if (!child || child.get() == this) return;
    if (child->parent_.lock().get() == this) return;
    if (child->parent_.lock()) child->removeFromParentViewController();
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = std::static_pointer_cast<ViewController>(shared_from_this());
}

void ViewController::removeFromParentViewController() {
    auto p = parent_.lock();
    if (!p) return;
    auto keep = std::static_pointer_cast<ViewController>(shared_from_this());
    auto it = std::find(p->children_.begin(), p->children_.end(), keep);
    if (it != p->children_.end()) p->children_.erase(it);
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

std::shared_ptr<ViewController> ViewController::rootAncestor() {
    auto vc = std::static_pointer_cast<ViewController>(shared_from_this());
    while (auto p = vc->parent_.lock()) vc = p;
    return vc;
}

// ---- Appearance ----

bool ViewController::isViewVisible() const {
    if (!view_) return false;
    auto w = view_->window();
    return w && !w->isHidden();
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    auto keep = shared_from_this();
    if (appearing) {
        if (appearance_ == AppearanceState::Appearing || appearance_ == AppearanceState::Appeared) return;
        appearance_ = AppearanceState::Appearing;
        transitionAnimated_ = animated;
        LifecycleTrace::record(*this, "viewWillAppear");
        viewWillAppear(animated);
    } else {
        if (appearance_ == AppearanceState::Disappearing || appearance_ == AppearanceState::Disappeared) return;
        appearance_ = AppearanceState::Disappearing;
        transitionAnimated_ = animated;
        LifecycleTrace::record(*this, "viewWillDisappear");
        viewWillDisappear(animated);
    }
    forwardBegin(appearing, animated);
}

void ViewController::endAppearanceTransition() {
    auto keep = shared_from_this();
    if (appearance_ == AppearanceState::Appearing) {
        appearance_ = AppearanceState::Appeared;
        LifecycleTrace::record(*this, "viewDidAppear");
        viewDidAppear(transitionAnimated_);
    } else if (appearance_ == AppearanceState::Disappearing) {
        appearance_ = AppearanceState::Disappeared;
        LifecycleTrace::record(*this, "viewDidDisappear");
        viewDidDisappear(transitionAnimated_);
    } else {
        return;
    }
    forwardEnd();
}

void ViewController::forwardBegin(bool appearing, bool animated) {
    for (auto& child : childViewControllers()) {
        if (child->view_ && view_ && child->view_->isDescendantOfView(view_.get())) {
            child->beginAppearanceTransition(appearing, animated);
        }
    }
}

void ViewController::forwardEnd() {
    for (auto& child : childViewControllers()) {
        if (child->appearance_ == AppearanceState::Appearing || child->appearance_ == AppearanceState::Disappearing) {
            child->endAppearanceTransition();
        }
    }
}

void ViewController::rootViewVisibilityChanged(bool visible) {
    if (visible && appearance_ == AppearanceState::Disappeared) {
        beginAppearanceTransition(true, false);
        endAppearanceTransition();
    } else if (!visible && appearance_ == AppearanceState::Appeared) {
        beginAppearanceTransition(false, false);
        endAppearanceTransition();
    }
}

std::shared_ptr<Responder> ViewController::nextResponder() const {
    if (view_) {
        if (auto sup = view_->superview()) return sup;
    }
    return parent_.lock();
}

// ---- Modal presentation ----

std::shared_ptr<ViewController> ViewController::presentedViewController() const {
    auto vc = std::static_pointer_cast<const ViewController>(shared_from_this());
    while (auto p = vc->parent_.lock()) vc = p;
    return vc->presented_;
}

std::shared_ptr<ViewController> ViewController::presentingViewController() const {
    for (auto vc = std::static_pointer_cast<const ViewController>(shared_from_this()); vc; vc = vc->parent_.lock()) {
        if (auto p = vc->presenting_.lock()) return p;
    }
    return nullptr;
}

void ViewController::presentViewController(const std::shared_ptr<ViewController>& vc, bool animated,
                                           std::function<void()> completion) {
    if (!vc) return;
    auto keep = shared_from_this();
    auto presenter = rootAncestor();
    if (presenter->presented_) {
        ns::NSLog("Warning: Attempt to present %@ on %@ which is already presenting %@", vc->className(),
                  presenter->className(), presenter->presented_->className());
        return;
    }
    if (!presenter->isViewVisible()) {
        ns::NSLog("Warning: Attempt to present %@ on %@ whose view is not in the window hierarchy!", vc->className(),
                  presenter->className());
        return;
    }
    if (vc->parent_.lock() || vc->presenting_.lock() || vc == presenter) {
        ns::NSLog("Warning: Attempt to present %@, which is already active", vc->className());
        return;
    }
    auto presenterView = presenter->view_;
    auto sup = presenterView->superview();
    auto window = presenterView->window();
    auto siblings = sup->subviews();
    vc->presenterIndex_ =
        static_cast<std::size_t>(std::find(siblings.begin(), siblings.end(), presenterView) - siblings.begin());
    vc->presenterSuperview_ = sup;
    presenter->presented_ = vc;
    vc->presenting_ = presenter;

    auto v = vc->view();
    presenter->beginAppearanceTransition(false, animated);
    vc->beginAppearanceTransition(true, animated);
    v->setFrame(window->bounds());
    window->addSubview(v);
    presenterView->removeFromSuperview();
    presenter->endAppearanceTransition();
    vc->endAppearanceTransition();
    scheduleCompletion(animated, std::move(completion));
}

void ViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
    auto keep = shared_from_this();
    std::shared_ptr<ViewController> presenter = rootAncestor();
    if (!presenter->presented_) presenter = presentingViewController();
    if (!presenter || !presenter->presented_) return;
    auto presented = presenter->presented_;
    auto top = presented;
    while (top->presented_) top = top->presented_;

    auto sup = presented->presenterSuperview_.lock();
    auto presenterView = presenter->view();
    top->beginAppearanceTransition(false, animated);
    presenter->beginAppearanceTransition(true, animated);
    if (sup) {
        sup->insertSubview(presenterView, std::min(presented->presenterIndex_, sup->subviewCount()));
    } else if (top->view_ && top->view_->window()) {
        top->view_->window()->insertSubview(presenterView, 0);
    }
    for (auto c = presented; c; c = c->presented_) {
        if (c->view_) c->view_->removeFromSuperview();
    }
    presenter->endAppearanceTransition();
    top->endAppearanceTransition();

    for (auto c = presented; c;) {
        auto next = c->presented_;
        c->presenting_.reset();
        c->presented_.reset();
        c->presenterSuperview_.reset();
        c = next;
    }
    presenter->presented_.reset();
    scheduleCompletion(animated, std::move(completion));
}

}  // namespace ui
