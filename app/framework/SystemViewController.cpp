#include "app/framework/SystemViewController.h"

#include <algorithm>

#include "foundation/RunLoop.h"
#include "uikit/Text.h"

namespace {

constexpr double kAlertPadding = 10;
constexpr double kAlertFontSize = 14;
constexpr const char* kFadeAlertCall = "fadeAlert";

}  // namespace

void SystemViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    ui::Rect bounds = view()->bounds();

    loadingView = ui::create<ui::View>(ui::Rect{0, 64, bounds.size.width, bounds.size.height - 64});
    loadingView->setBackgroundColor(ui::Color::whiteColor());
    loadingView->setHidden(true);
    loadingLabel = ui::create<ui::Label>(ui::Rect{0, (bounds.size.height - 64) / 2 - 10, bounds.size.width, 20});
    loadingLabel->setText("加载中...");
    loadingLabel->setFont(ui::Font::systemFontOfSize(14));
    loadingLabel->setTextColor(ui::Color::grayColor());
    loadingLabel->setTextAlignment(ui::TextAlignmentCenter);
    loadingLabel->setBackgroundColor(ui::Color::clearColor());
    loadingView->addSubview(loadingLabel);
    view()->addSubview(loadingView);

    noDataButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    noDataButton->setFrame(ui::Rect{(bounds.size.width - 120) / 2, (bounds.size.height - 30) / 2, 120, 30});
    noDataButton->setTitle("暂无数据", ui::ControlStateNormal);
    noDataButton->setTitleColor(ui::Color::grayColor(), ui::ControlStateNormal);
    noDataButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    noDataButton->setHidden(true);
    view()->addSubview(noDataButton);

    alertView = ui::create<ui::View>(ui::Rect{});
    alertView->setBackgroundColor(ui::Color::colorWithWhite(0, 0.7));
    alertView->layer().setCornerRadius(6);
    alertView->setUserInteractionEnabled(false);
    alertView->setHidden(true);
    alertLabel = ui::create<ui::Label>(ui::Rect{});
    alertLabel->setFont(ui::Font::systemFontOfSize(kAlertFontSize));
    alertLabel->setTextColor(ui::Color::whiteColor());
    alertLabel->setTextAlignment(ui::TextAlignmentCenter);
    alertLabel->setBackgroundColor(ui::Color::clearColor());
    alertLabel->setNumberOfLines(0);
    alertView->addSubview(alertLabel);
    view()->addSubview(alertView);
}

void SystemViewController::loadingSuccess() { endLoading(); }

void SystemViewController::loadingFail() {
    if (loadingLabel) loadingLabel->setText("加载失败！");
    endLoading();
}

void SystemViewController::endLoading() {
    if (!loadingView) return;
    std::weak_ptr<ui::View> weak = loadingView;
    ui::View::animateWithDuration(kFadeDuration, [&] { loadingView->setAlpha(0); }, [weak](bool) {
        if (auto v = weak.lock()) {
            v->setHidden(true);
            v->setAlpha(1);
        }
    });
}

void SystemViewController::showAlertWithTitle(const std::string& text) {
    view();  // the message box lives in the view
    if (!alertView) return;
    ui::Rect bounds = view()->bounds();
    double maxWidth = bounds.size.width - 80;
    ui::Size size = ui::sizeWithFont(text, alertLabel->font(), ui::Size{maxWidth, bounds.size.height / 2});
    double w = std::max(size.width, 60.0) + 2 * kAlertPadding;
    double h = std::max(size.height, 20.0) + 2 * kAlertPadding;
    alertView->setFrame(ui::Rect{(bounds.size.width - w) / 2, (bounds.size.height - h) / 2, w, h});
    alertLabel->setFrame(ui::Rect{kAlertPadding, kAlertPadding, w - 2 * kAlertPadding, h - 2 * kAlertPadding});
    alertLabel->setText(text);
    alertView->setAlpha(1);
    alertView->setHidden(false);
    view()->bringSubviewToFront(alertView);

    auto& loop = ns::RunLoop::main();
    loop.cancelPreviousPerformRequests(this, kFadeAlertCall);
    std::weak_ptr<SystemViewController> weak = sharedAs<SystemViewController>();
    loop.performAfterDelay(weak, kAlertDuration, [weak] {
        if (auto self = weak.lock()) self->fadeAlert();
    }, kFadeAlertCall);
}

void SystemViewController::fadeAlert() {
    if (!alertView) return;
    std::weak_ptr<ui::View> weak = alertView;
    ui::View::animateWithDuration(kFadeDuration, [&] { alertView->setAlpha(0); }, [weak](bool) {
        auto v = weak.lock();
        // A new message shown while this one faded keeps its box.
        if (v && v->alpha() == 0) v->setHidden(true);
    });
}
