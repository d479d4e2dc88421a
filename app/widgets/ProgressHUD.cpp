#include "app/widgets/ProgressHUD.h"

#include <algorithm>

#include "uikit/Application.h"
#include "uikit/Text.h"

namespace {

constexpr double kMargin = 15;
constexpr double kMarkSize = 30;
constexpr double kMinWidth = 100;

unsigned long shows = 0;

std::function<void(const ProgressHUD::Change&)>& observer() {
    static std::function<void(const ProgressHUD::Change&)> o;
    return o;
}
void tell(const ProgressHUD::Change& change) {
    if (auto& o = observer()) o(change);
}

}  // namespace

unsigned long ProgressHUD::showCount() { return shows; }

void ProgressHUD::setObserver(std::function<void(const Change&)> o) { observer() = std::move(o); }

std::shared_ptr<ProgressHUD>& ProgressHUD::shared() {
    static std::shared_ptr<ProgressHUD> hud;
    return hud;
}

ProgressHUD::~ProgressHUD() {
    if (dismissTimer_) dismissTimer_->invalidate();
}

void ProgressHUD::onMain(std::function<void()> fn) {
    if (ns::isMainThread()) {
        fn();
    } else {
        ns::postToMain(std::move(fn));
    }
}

// ---- Class methods ----

void ProgressHUD::showWithTitle(const std::string& title, const std::string& status) {
    onMain([title, status] {
        auto& hud = shared();
        if (!hud) hud = std::make_shared<ProgressHUD>();
        auto keep = hud;
        keep->show(title, status);
    });
}

void ProgressHUD::dismissWithSuccess(const std::string& status, const std::string& title, float delay) {
    onMain([status, title, delay] {
        if (auto hud = shared()) hud->finish(State::Success, status, title, delay);
    });
}

void ProgressHUD::dismissWithError(const std::string& status, const std::string& title, float delay) {
    onMain([status, title, delay] {
        if (auto hud = shared()) hud->finish(State::Error, status, title, delay);
    });
}

void ProgressHUD::dismiss() {
    onMain([] {
        if (auto hud = shared()) hud->close();
    });
}

ProgressHUD::State ProgressHUD::state() {
    auto hud = shared();
    if (!hud || !hud->onScreen()) return State::Hidden;
    return hud->state_;
}

std::string ProgressHUD::currentTitle() {
    auto hud = shared();
    return hud && hud->onScreen() ? hud->titleLabel_->text() : std::string();
}

std::string ProgressHUD::currentStatus() {
    auto hud = shared();
    return hud && hud->onScreen() ? hud->statusLabel_->text() : std::string();
}

std::shared_ptr<ui::Window> ProgressHUD::overlayWindow() {
    auto hud = shared();
    return hud && hud->onScreen() ? hud->window_ : nullptr;
}

void ProgressHUD::resetForTesting() {
    auto hud = std::move(shared());
    if (!hud) return;
    hud->cancelPendingDismissal();
    if (hud->window_) hud->window_->setHidden(true);
}

// ---- The overlay ----

bool ProgressHUD::onScreen() const {
    if (state_ == State::Hidden || !window_ || window_->isHidden()) return false;
    // The application may have been reset under a window it no longer lists.
    for (auto& w : ui::Application::sharedApplication().windows()) {
        if (w == window_) return true;
    }
    return false;
}

void ProgressHUD::cancelPendingDismissal() {
    if (dismissTimer_) dismissTimer_->invalidate();
    dismissTimer_.reset();
}

void ProgressHUD::build() {
    window_ = ui::create<ui::Window>(ui::Screen::mainScreen().bounds());
    window_->setWindowLevel(kWindowLevel);
    window_->setBackgroundColor(ui::Color::clearColor());
    window_->setUserInteractionEnabled(false);

    box_ = ui::create<ui::View>(ui::Rect{});
    box_->setBackgroundColor(ui::Color::colorWithWhite(0, 0.8));
    box_->layer().setCornerRadius(10);
    window_->addSubview(box_);

    spinner_ = ui::create<ui::View>(ui::Rect{});
    spinner_->layer().setBorderWidth(3);
    spinner_->layer().setBorderColor(ui::Color::whiteColor());
    spinner_->layer().setCornerRadius(kMarkSize / 2);
    box_->addSubview(spinner_);

    markLabel_ = ui::create<ui::Label>(ui::Rect{});
    markLabel_->setFont(ui::Font::boldSystemFontOfSize(24));
    markLabel_->setTextColor(ui::Color::whiteColor());
    markLabel_->setTextAlignment(ui::TextAlignmentCenter);
    markLabel_->setBackgroundColor(ui::Color::clearColor());
    box_->addSubview(markLabel_);

    titleLabel_ = ui::create<ui::Label>(ui::Rect{});
    titleLabel_->setFont(ui::Font::boldSystemFontOfSize(16));
    titleLabel_->setTextColor(ui::Color::whiteColor());
    titleLabel_->setTextAlignment(ui::TextAlignmentCenter);
    titleLabel_->setBackgroundColor(ui::Color::clearColor());
    box_->addSubview(titleLabel_);

    statusLabel_ = ui::create<ui::Label>(ui::Rect{});
    statusLabel_->setFont(ui::Font::systemFontOfSize(14));
    statusLabel_->setTextColor(ui::Color::whiteColor());
    statusLabel_->setTextAlignment(ui::TextAlignmentCenter);
    statusLabel_->setBackgroundColor(ui::Color::clearColor());
    statusLabel_->setNumberOfLines(0);
    box_->addSubview(statusLabel_);
}

void ProgressHUD::layout() {
    ui::Rect screen = window_->bounds();
    double maxText = screen.size.width - 4 * kMargin;
    ui::Size title = ui::sizeWithFont(titleLabel_->text(), titleLabel_->font());
    title.width = std::min(title.width, maxText);
    ui::Size status = ui::sizeWithFont(statusLabel_->text(), statusLabel_->font(), ui::Size{maxText, 200});
    double width = std::max({title.width, status.width, kMinWidth - 2 * kMargin}) + 2 * kMargin;

    double y = kMargin;
    ui::Rect mark{(width - kMarkSize) / 2, y, kMarkSize, kMarkSize};
    spinner_->setFrame(mark);
    markLabel_->setFrame(mark);
    spinner_->setHidden(state_ != State::Progress);
    markLabel_->setHidden(state_ == State::Progress);
    markLabel_->setText(state_ == State::Success ? "✓" : state_ == State::Error ? "✕" : "");
    y += kMarkSize + 8;
    titleLabel_->setHidden(titleLabel_->text().empty());
    if (!titleLabel_->text().empty()) {
        titleLabel_->setFrame(ui::Rect{kMargin, y, width - 2 * kMargin, title.height});
        y += title.height + 4;
    }
    statusLabel_->setHidden(statusLabel_->text().empty());
    if (!statusLabel_->text().empty()) {
        statusLabel_->setFrame(ui::Rect{kMargin, y, width - 2 * kMargin, status.height});
        y += status.height;
    }
    double height = y + kMargin;
    box_->setFrame(ui::Rect{(screen.size.width - width) / 2, (screen.size.height - height) / 2, width, height});
}

void ProgressHUD::show(const std::string& title, const std::string& status) {
    ++shows;
    cancelPendingDismissal();
    if (!onScreen()) {
        if (window_) window_->setHidden(true);
        build();
        auto& app = ui::Application::sharedApplication();
        auto key = app.keyWindow();
        previousKeyWindow_ = key != window_ ? key : nullptr;
    }
    state_ = State::Progress;
    titleLabel_->setText(title);
    statusLabel_->setText(status);
    layout();
    window_->makeKeyAndVisible();
    tell({State::Progress, status, 0});
}

void ProgressHUD::finish(State state, const std::string& status, const std::string& title, float delay) {
    if (!onScreen()) return;
    cancelPendingDismissal();
    state_ = state;
    titleLabel_->setText(title);
    statusLabel_->setText(status);
    layout();
    tell({state, status, delay});
    std::weak_ptr<ProgressHUD> weak = weak_from_this();
    dismissTimer_ = ns::Timer::scheduled(std::max(0.0, static_cast<double>(delay)), weak, false,
                                         [weak](ns::Timer&) {
                                             if (auto self = weak.lock()) self->close();
                                         });
}

void ProgressHUD::close() {
    cancelPendingDismissal();
    if (!onScreen()) {
        state_ = State::Hidden;
        return;
    }
    state_ = State::Hidden;
    tell({State::Hidden, "", 0});
    auto window = std::move(window_);
    bool wasKey = window->isKeyWindow();
    window->setHidden(true);
    if (wasKey) {
        auto& app = ui::Application::sharedApplication();
        auto previous = previousKeyWindow_.lock();
        if (previous && !previous->isHidden()) {
            previous->makeKeyWindow();
        } else {
            // The frontmost window still up takes key status.
            auto ws = app.windows();
            app.setKeyWindow(ws.empty() ? nullptr : ws.back());
        }
    }
    previousKeyWindow_.reset();
}
