#include "members/SignView.h"

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/Format.h"
#include "members/SignDays.h"
#include "uikit/Window.h"

namespace {

std::shared_ptr<ui::Button> plainButton(const std::string& title, const ui::Rect& frame, double fontSize) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeRoundedRect);
    button->setFrame(frame);
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(fontSize));
    return button;
}

}  // namespace

std::string SignView::monthKey() const {
    return ns::format("%ld-%ld", static_cast<long>(currentYear), static_cast<long>(currentMonth));
}

void SignView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double W = ui::Screen::mainScreen().bounds().size.width;
    const double w = frame.size.width;
    const double h = frame.size.height;

    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setBackgroundColor(ui::Color::whiteColor());
    startToday();

    auto bar = ui::create<ui::ImageView>(ui::Rect{0, 0, W, 64});
    bar->setImage(ui::Image::imageNamed("navbar.png"));
    addSubview(bar);

    titleLabel = ui::create<ui::Label>(ui::Rect{0, 10, W, 54});
    titleLabel->setFont(ui::Font::systemFontOfSize(16));
    titleLabel->setTextColor(ui::Color::whiteColor());
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    addSubview(titleLabel);

    nextButton = plainButton("下一月", ui::Rect{w - 60, 10, 50, 54}, 14);
    nextButton->addTarget(this, &SignView::nextPages, ui::ControlEventTouchUpInside);
    addSubview(nextButton);
    upButton = plainButton("上一月", ui::Rect{10, 10, 50, 54}, 14);
    upButton->addTarget(this, &SignView::upPages, ui::ControlEventTouchUpInside);
    addSubview(upButton);

    requestMonth();

    labelArray = signdays::makeDayGrid(sharedAs<ui::View>(), W, 64);

    const double g = (w - 180) / 3;
    cancelButton = plainButton("取消", ui::Rect{g, h - 110, 90, 40}, 16);
    cancelButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    cancelButton->addTarget(this, &SignView::back, ui::ControlEventTouchUpInside);
    addSubview(cancelButton);
    signButton = plainButton(kSignType, ui::Rect{2 * g + 90, h - 110, 90, 40}, 16);
    signButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    signButton->addTarget(this, &SignView::sign, ui::ControlEventTouchUpInside);
    addSubview(signButton);

    explainLabel = ui::create<ui::Label>(ui::Rect{5, signButton->frame().maxY(), W - 10, 60});
    explainLabel->setFont(ui::Font::systemFontOfSize(14));
    explainLabel->setNumberOfLines(0);
    explainLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    explainLabel->setTextColor(ui::Color::blackColor());
    explainLabel->setTextAlignment(ui::TextAlignmentCenter);
    addSubview(explainLabel);

    reloadDay();
}

void SignView::requestMonth() {
    titleLabel->setText(ns::format("%ld月", static_cast<long>(currentMonth)));
    sendMonth(monthKey());
}

void SignView::back() { setHidden(true); }

void SignView::reloadDay() { signdays::showSignedDays(labelArray, timeArray); }

void SignView::sign() { sendSign(*this); }

void SignView::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    const std::string& operation = pp->replyOperation();
    if (operation == kSubmitSign) {
        ns::Value reply = records::parse(result);
        std::string message = records::message(reply);
        if (records::succeeded(reply)) {
            // Today's month comes back on screen under its own title.
            timeArray.clear();
            currentYear = year;
            currentMonth = month;
            requestMonth();
        } else if (message.empty()) {
            message = "签到失败，请稍后再试";
        }
        Utils::showAlert(message);
        setHidden(true);
    } else if (operation == kGetSign) {
        if (!answersMonth()) return;  // a month stepped past
        ns::Value reply = records::parse(result);
        timeArray = signdays::daysOfReply(reply);
        reloadDay();
        explainLabel->setText(ns::format("你本月签到%@次", signdays::countText(reply)));
    }
}

void SignView::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) { ProgressHUD::dismiss(); }
