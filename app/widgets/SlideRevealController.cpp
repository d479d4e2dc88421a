#include "app/widgets/SlideRevealController.h"

#include <algorithm>

#include "uikit/Window.h"

namespace {

// The container's view: keeps the two wrappers (and the views in them) the
// size of the container when it is resized.
class RevealContainerView : public ui::View {
public:
    void layoutSubviews() override {
        ui::Rect b = bounds();
        for (auto& wrapper : subviews()) {
            ui::Rect f = wrapper->frame();
            wrapper->setFrame(ui::Rect{f.origin.x, 0, b.size.width, b.size.height});
            for (auto& content : wrapper->subviews()) content->setFrame(wrapper->bounds());
        }
    }
};

}  // namespace

void SlideRevealController::init(const std::shared_ptr<ui::ViewController>& front,
                                 const std::shared_ptr<ui::ViewController>& rear) {
    init();
    front_ = front;
    rear_ = rear;
    if (rear_) {
        addChildViewController(rear_);
        rear_->didMoveToParentViewController(this);
    }
    if (front_) {
        addChildViewController(front_);
        front_->didMoveToParentViewController(this);
    }
}

void SlideRevealController::loadView() {
    setView(ui::create<RevealContainerView>(ui::Screen::mainScreen().bounds()));
}

void SlideRevealController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    ui::Rect b = view()->bounds();
    rearView_ = ui::create<ui::View>(b);
    frontView_ = ui::create<ui::View>(b);
    view()->addSubview(rearView_);
    view()->addSubview(frontView_);
    installRear();
    installFront();
}

void SlideRevealController::installRear() {
    if (!rear_ || !rearView_) return;
    auto v = rear_->view();
    v->setFrame(rearView_->bounds());
    rearView_->addSubview(v);
}

void SlideRevealController::installFront() {
    if (!front_ || !frontView_) return;
    auto v = front_->view();
    v->setFrame(frontView_->bounds());
    frontView_->addSubview(v);
}

// ---- Swapping the front ----

void SlideRevealController::setFrontViewController(const std::shared_ptr<ui::ViewController>& front,
                                                   bool animated) {
    if (!front) return;
    if (front == front_) {
        revealToggle(nullptr);
        return;
    }
    if (!animated || !frontView_ || swapping_) {
        swapFront(front);
        revealToggle(nullptr);
        return;
    }
    // The old front leaves to the right, the new one comes back over the menu.
    swapping_ = true;
    unsigned slide = ++slide_;
    std::weak_ptr<SlideRevealController> weak = sharedAs<SlideRevealController>();
    double width = view()->bounds().size.width;
    ui::View::animateWithDuration(
        kSwapOutDuration,
        [&] {
            ui::Rect f = frontView_->frame();
            frontView_->setFrame(ui::Rect{width, f.origin.y, f.size.width, f.size.height});
        },
        [weak, front, slide](bool) {
            auto self = weak.lock();
            if (!self) return;
            self->swapping_ = false;
            if (self->slide_ != slide) return;
            self->swapFront(front);
            self->slideTo(FrontViewPositionLeft, kSwapInDuration);
        });
}

void SlideRevealController::swapFront(const std::shared_ptr<ui::ViewController>& front) {
    auto keep = sharedAs<SlideRevealController>();
    auto old = front_;
    if (old) {
        old->willMoveToParentViewController(nullptr);
        if (old->isViewLoaded()) old->view()->removeFromSuperview();
        old->removeFromParentViewController();
    }
    front_ = front;
    addChildViewController(front_);
    if (isViewLoaded()) installFront();
    front_->didMoveToParentViewController(this);
    if (auto d = delegate_.lock()) d->revealController_didSwapToFrontViewController(*this, front_);
}

// ---- Sliding ----

void SlideRevealController::revealToggle(std::shared_ptr<ui::Object>) {
    if (!frontView_) return;
    if (position_ == FrontViewPositionLeft) {
        slideTo(FrontViewPositionRight, kToggleDuration);
    } else {
        slideTo(FrontViewPositionLeft, kToggleDuration);
    }
}

void SlideRevealController::slideTo(FrontViewPosition position, double duration) {
    if (!frontView_) return;
    position_ = position;
    unsigned slide = ++slide_;
    auto keep = sharedAs<SlideRevealController>();
    bool reveal = position == FrontViewPositionRight;
    if (auto d = delegate_.lock()) {
        if (reveal) {
            d->revealController_willRevealRearViewController(*this, rear_);
        } else {
            d->revealController_willHideRearViewController(*this, rear_);
        }
    }
    double x = reveal ? kRevealWidth : 0;
    std::weak_ptr<SlideRevealController> weak = keep;
    ui::View::animateWithDuration(
        duration,
        [&] {
            ui::Rect f = frontView_->frame();
            frontView_->setFrame(ui::Rect{x, f.origin.y, f.size.width, f.size.height});
        },
        [weak, slide, reveal](bool) {
            auto self = weak.lock();
            if (!self || self->slide_ != slide) return;
            auto d = self->delegate_.lock();
            if (!d) return;
            if (reveal) {
                d->revealController_didRevealRearViewController(*self, self->rear_);
            } else {
                d->revealController_didHideRearViewController(*self, self->rear_);
            }
        });
}

void SlideRevealController::revealGesture(std::shared_ptr<ui::PanGestureRecognizer> recognizer) {
    if (!recognizer || !frontView_) return;
    ui::Rect f = frontView_->frame();
    double maxX = view()->bounds().size.width;
    switch (recognizer->state()) {
        case ui::GestureRecognizerStateBegan:
            ++slide_;  // a finger on the front overtakes a slide in progress
            panStartX_ = f.origin.x;
            break;
        case ui::GestureRecognizerStateChanged: {
            double x = std::clamp(panStartX_ + recognizer->translationInView(view().get()).x, 0.0, maxX);
            frontView_->setFrame(ui::Rect{x, f.origin.y, f.size.width, f.size.height});
            break;
        }
        case ui::GestureRecognizerStateEnded:
        case ui::GestureRecognizerStateCancelled: {
            double x = recognizer->state() == ui::GestureRecognizerStateEnded
                           ? std::clamp(panStartX_ + recognizer->translationInView(view().get()).x, 0.0, maxX)
                           : panStartX_;
            slideTo(x >= kRevealWidth / 2 ? FrontViewPositionRight : FrontViewPositionLeft, kToggleDuration);
            break;
        }
        default:
            break;
    }
}
