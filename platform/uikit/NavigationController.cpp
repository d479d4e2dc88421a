#include "uikit/NavigationController.h"

#include <algorithm>

#include "uikit/Button.h"
#include "uikit/Window.h"

namespace ui {

// ---- NavigationBar ----

void NavigationBar::init(const Rect& frame) {
    View::init(frame);
    setBackgroundColor(Color::colorWithWhite(0.97, 1));
    titleLabel_ = create<Label>();
    titleLabel_->setFont(Font::boldSystemFontOfSize(17));
    titleLabel_->setTextAlignment(TextAlignmentCenter);
    addSubview(titleLabel_);
}

std::shared_ptr<View> NavigationBar::viewForItem(const BarButtonItemPtr& item) {
    if (!item) return nullptr;
    if (auto custom = item->customView()) return custom;
    auto b = Button::buttonWithType(ButtonTypeSystem);
    b->setTitle(item->title(), ControlStateNormal);
    if (item->image()) b->setImage(item->image(), ControlStateNormal);
    b->setEnabled(item->isEnabled());
    b->setTag(item->tag());
    b->addTarget(item, &BarButtonItem::sendAction, ControlEventTouchUpInside);
    Size s = b->sizeThatFits(Size{});
    b->setFrame(Rect(0, 0, std::max(s.width, 30.0), 30));
    return b;
}

void NavigationBar::show(const NavigationItemPtr& item, const NavigationItemPtr& previous, bool canGoBack,
                         const std::weak_ptr<NavigationController>& nav) {
    for (auto* v : {&titleView_, &leftView_, &rightView_}) {
        if (*v) (*v)->removeFromSuperview();
        v->reset();
    }
    if (backButton_) backButton_->removeFromSuperview();
    backButton_.reset();
    titleLabel_->setText(item ? item->title() : std::string());
    if (!item) return;
    if (auto tv = item->titleView()) {
        titleView_ = tv;
        addSubview(tv);
    }
    titleLabel_->setHidden(titleView_ != nullptr);
    if (auto left = viewForItem(item->leftBarButtonItem())) {
        leftView_ = left;
        addSubview(left);
    } else if (canGoBack && !item->hidesBackButton()) {
        std::string title = "Back";
        if (previous) {
            if (previous->backBarButtonItem() && !previous->backBarButtonItem()->title().empty()) {
                title = previous->backBarButtonItem()->title();
            } else if (!previous->title().empty()) {
                title = previous->title();
            }
        }
        backButton_ = Button::buttonWithType(ButtonTypeSystem);
        backButton_->setTitle(title, ControlStateNormal);
        Size s = backButton_->sizeThatFits(Size{});
        backButton_->setFrame(Rect(0, 0, std::min(std::max(s.width, 30.0), 100.0), 30));
        auto weakNav = nav;
        struct Popper : Object {
            std::weak_ptr<NavigationController> nav;
            void pop() {
                if (auto n = nav.lock()) n->popViewControllerAnimated(true);
            }
        };
        auto popper = std::make_shared<Popper>();
        popper->nav = weakNav;
        backButton_->addTarget(popper, &Popper::pop, ControlEventTouchUpInside);
        // The button keeps its helper alive (targets are weak).
        auto holder = std::shared_ptr<void>(popper);
        backButtonAction_ = holder;
        addSubview(backButton_);
    }
    if (auto right = viewForItem(item->rightBarButtonItem())) {
        rightView_ = right;
        addSubview(right);
    }
    setNeedsLayout();
}

void NavigationBar::layoutSubviews() {
    Rect b = bounds();
    auto place = [&](const std::shared_ptr<View>& v, bool leftSide) {
        if (!v) return;
        Rect f = v->frame();
        double x = leftSide ? 8 : b.size.width - 8 - f.size.width;
        v->setFrame(Rect(x, (b.size.height - f.size.height) / 2, f.size.width, f.size.height));
    };
    place(leftView_ ? leftView_ : std::static_pointer_cast<View>(backButton_), true);
    place(rightView_, false);
    if (titleView_) {
        Rect f = titleView_->frame();
        titleView_->setFrame(Rect((b.size.width - f.size.width) / 2, (b.size.height - f.size.height) / 2,
                                  f.size.width, f.size.height));
    }
    titleLabel_->setFrame(Rect(80, 0, std::max(0.0, b.size.width - 160), b.size.height));
}

// ---- NavigationController ----

void NavigationController::init(const std::shared_ptr<ViewController>& root) {
    init();
    if (root) {
        stack_.push_back(root);
        addChildViewController(root);
    }
}

void NavigationController::loadView() {
    ViewController::loadView();
    auto v = view();
    if (auto top = topViewController()) install(top);
    v->addSubview(navigationBar());
    bar_->setHidden(barHidden_);
    refreshBar();
}

std::shared_ptr<NavigationBar> NavigationController::navigationBar() {
    if (!bar_) {
        double w = Screen::mainScreen().bounds().size.width;
        bar_ = create<NavigationBar>(Rect(0, Screen::kStatusBarHeight, w, NavigationBar::kHeight));
    }
    return bar_;
}

std::shared_ptr<ViewController> NavigationController::topViewController() const {
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
    if (auto p = presentedViewController()) {
        while (p->presentedViewController()) p = p->presentedViewController();
        return p;
    }
    return topViewController();
}

void NavigationController::install(const std::shared_ptr<ViewController>& vc) {
    auto container = view();
    auto v = vc->view();
    v->setFrame(container->bounds());
    if (bar_ && bar_->superview() == container) {
        container->insertSubview_belowSubview(v, bar_);
    } else {
        container->addSubview(v);
    }
}

void NavigationController::transition(const std::shared_ptr<ViewController>& from,
                                      const std::shared_ptr<ViewController>& to, bool animated) {
    auto keep = shared_from_this();
    if (!isViewLoaded() || from == to) {
        refreshBar();
        return;
    }
    if (to) to->view();  // loaded before its appearance calls
    bool visible = isViewVisible();
    if (visible) {
        if (auto d = delegate()) d->navigationController_willShowViewController_animated(*this, to, animated);
        if (from) from->beginAppearanceTransition(false, animated);
        if (to) to->beginAppearanceTransition(true, animated);
    }
    if (to) install(to);
    if (from && from->isViewLoaded() && from->view()->superview() == view()) from->view()->removeFromSuperview();
    refreshBar();
    if (visible) {
        if (from) from->endAppearanceTransition();
        if (to) to->endAppearanceTransition();
        if (auto d = delegate()) d->navigationController_didShowViewController_animated(*this, to, animated);
    }
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& vc, bool animated) {
    if (!vc || std::find(stack_.begin(), stack_.end(), vc) != stack_.end()) return;
    if (vc->parentViewController() || vc->presentingViewController()) return;
    auto from = topViewController();
    stack_.push_back(vc);
    addChildViewController(vc);
    transition(from, vc, animated);
    vc->didMoveToParentViewController(this);
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated) {
    if (stack_.size() <= 1) return nullptr;
    auto from = stack_.back();
    stack_.pop_back();
    transition(from, stack_.back(), animated);
    from->willMoveToParentViewController(nullptr);
    from->removeFromParentViewController();
    return from;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToViewController(
    const std::shared_ptr<ViewController>& vc, bool animated) {
    auto it = std::find(stack_.begin(), stack_.end(), vc);
    if (it == stack_.end() || it + 1 == stack_.end()) return {};
    std::vector<std::shared_ptr<ViewController>> popped(it + 1, stack_.end());
    auto from = stack_.back();
    stack_.erase(it + 1, stack_.end());
    transition(from, stack_.back(), animated);
    for (auto& p : popped) {
        p->willMoveToParentViewController(nullptr);
        p->removeFromParentViewController();
    }
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewControllerAnimated(bool animated) {
    if (stack_.empty()) return {};
    return popToViewController(stack_.front(), animated);
}

void NavigationController::setViewControllers(const std::vector<std::shared_ptr<ViewController>>& vcs,
                                              bool animated) {
    auto from = topViewController();
    auto old = stack_;
    stack_.clear();
    for (auto& vc : vcs) {
        if (!vc || std::find(stack_.begin(), stack_.end(), vc) != stack_.end()) continue;
        stack_.push_back(vc);
        addChildViewController(vc);
    }
    transition(from, topViewController(), animated);
    for (auto& o : old) {
        if (std::find(stack_.begin(), stack_.end(), o) == stack_.end()) o->removeFromParentViewController();
    }
}

void NavigationController::setNavigationBarHidden(bool hidden, bool) {
    barHidden_ = hidden;
    if (bar_) bar_->setHidden(hidden);
}

void NavigationController::refreshBar() {
    if (!bar_) return;
    auto top = topViewController();
    std::weak_ptr<NavigationController> weakSelf = std::static_pointer_cast<NavigationController>(shared_from_this());
    NavigationItemPtr item = top ? top->navigationItem() : nullptr;
    NavigationItemPtr previous = stack_.size() >= 2 ? stack_[stack_.size() - 2]->navigationItem() : nullptr;
    if (item) {
        item->setChangeHandler([weakSelf] {
            if (auto n = weakSelf.lock()) n->refreshBar();
        });
    }
    bar_->show(item, previous, stack_.size() >= 2, weakSelf);
}

}  // namespace ui
