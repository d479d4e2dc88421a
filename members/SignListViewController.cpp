#include "members/SignListViewController.h"

#include <algorithm>

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/DateTime.h"
#include "foundation/Format.h"
#include "members/SignDays.h"
#include "uikit/NavigationController.h"
#include "uikit/Window.h"

namespace {

constexpr const char* kGetUserConfig = "GetUserConfig";

std::shared_ptr<ui::Button> monthButton(const std::string& title, const ui::Rect& frame) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeRoundedRect);
    button->setFrame(frame);
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    button->layer().setBorderColor(ui::Color::lightGrayColor());
    button->layer().setBorderWidth(1);
    return button;
}

}  // namespace

std::string SignListViewController::monthKey() const {
    const std::string monthText =
        currentMonth > 9 ? ns::format("%ld", static_cast<long>(currentMonth))
                         : ns::format("0%ld", static_cast<long>(currentMonth));
    return ns::format("%ld-%@", static_cast<long>(currentYear), monthText);
}

void SignListViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    const double W = ui::Screen::mainScreen().bounds().size.width;
    const double screenHeight = ui::Screen::mainScreen().bounds().size.height;
    const double H = view()->frame().size.height;
    const double viewWidth = view()->frame().size.width;

    setTitle(kSignType);
    timeArray.clear();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    naview = makeBackNavBar(*this);
    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, W, screenHeight - 64});
    view()->addSubview(mscrview);
    view()->setBackgroundColor(ui::Color::whiteColor());

    startToday();

    titleLabel = ui::create<ui::Label>(ui::Rect{0, 0, W, 40});
    titleLabel->setFont(ui::Font::systemFontOfSize(16));
    titleLabel->setTextColor(ui::Color::blackColor());
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    mscrview->addSubview(titleLabel);

    nextButton = monthButton("下一月", ui::Rect{W - 60, 0, 50, 40});
    nextButton->addTarget(this, &SignListViewController::nextPages, ui::ControlEventTouchUpInside);
    mscrview->addSubview(nextButton);
    upButton = monthButton("上一月", ui::Rect{10, 0, 50, 40});
    upButton->addTarget(this, &SignListViewController::upPages, ui::ControlEventTouchUpInside);
    mscrview->addSubview(upButton);

    requestMonth();

    labelArray = signdays::makeDayGrid(mscrview, W, 50);

    signButton = ui::Button::buttonWithType(ui::ButtonTypeRoundedRect);
    signButton->setFrame(ui::Rect{40, H - 240, W - 80, 40});
    signButton->setTitle(kSignType, ui::ControlStateNormal);
    signButton->titleLabel()->setFont(ui::Font::systemFontOfSize(16));
    signButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    signButton->addTarget(this, &SignListViewController::sign, ui::ControlEventTouchUpInside);
    mscrview->addSubview(signButton);

    explainLabel = ui::create<ui::Label>(ui::Rect{0, signButton->frame().maxY() + 5, W, 20});
    explainLabel->setFont(ui::Font::systemFontOfSize(14));
    explainLabel->setTextAlignment(ui::TextAlignmentCenter);
    explainLabel->setBackgroundColor(ui::Color::clearColor());
    mscrview->addSubview(explainLabel);

    mwebview = ui::create<ui::WebView>(ui::Rect{0, explainLabel->frame().maxY() + 10, viewWidth, 110});
    mwebview->setDelegate(sharedAs<ui::WebViewDelegate>());
    mwebview->scrollView()->setScrollEnabled(false);
    mscrview->addSubview(mwebview);

    reloadDay();
}

// ---- The month on screen ----

void SignListViewController::requestMonth() {
    titleLabel->setText(monthKey());
    sendMonth(titleLabel->text());
}

void SignListViewController::reloadDay() {
    // The month's own length, February 29 included in leap years.
    const int length = ns::daysInMonth(static_cast<int>(currentYear), static_cast<int>(currentMonth));
    for (std::size_t i = 0; i < labelArray.size(); ++i) {
        labelArray[i]->setHidden(length > 0 && static_cast<int>(i) >= length);
    }
    signdays::showSignedDays(labelArray, timeArray);
}

// ---- Signing in ----

void SignListViewController::sign() {
    if (signButton->titleForState(ui::ControlStateNormal) != kSignType) {
        Utils::showAlert("您已经签到过了！请明天再来");
        return;
    }
    sendSign(*view());
}

// ---- Replies ----

void SignListViewController::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    // Each reply is read by the operation it answers, so that a month that
    // arrives while a sign-in is on its way is still drawn.
    const std::string& operation = pp->replyOperation();
    if (operation == kSubmitSign) {
        signReplied(result);
    } else if (operation == kGetSign) {
        if (!answersMonth()) return;  // a month stepped past
        monthReplied(result);
    } else if (operation == kGetUserConfig) {
        rulesReplied(result);
    }
}

void SignListViewController::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) { ProgressHUD::dismiss(); }

void SignListViewController::signReplied(const std::string& result) {
    ns::Value reply = records::parse(result);
    std::string message = records::message(reply);
    if (records::succeeded(reply)) {
        timeArray.clear();
        sendMonth(titleLabel->text());
    } else if (message.empty()) {
        message = "签到失败，请稍后再试";
    }
    Utils::showAlert(message);
}

void SignListViewController::monthReplied(const std::string& result) {
    ns::Value reply = records::parse(result);
    const std::string count = signdays::countText(reply);
    std::vector<std::string> days = signdays::daysOfReply(reply);
    timeArray.insert(timeArray.end(), days.begin(), days.end());
    // Today among the month's sign-ins, wherever the service lists it.
    const bool currentShown = currentYear == year && currentMonth == month;
    const bool signedToday = std::any_of(days.begin(), days.end(),
                                         [this](const std::string& d) { return ns::parseLeadingInteger(d) == day; });
    if (currentShown && signedToday) signButton->setTitle(kSignedTitle, ui::ControlStateNormal);
    reloadDay();
    explainLabel->setText(ns::format("你本月累计签到%@次", count));
    if (requestType != kSignType) requestType = kRulesType;
    pp->GetUserConfig();
}

void SignListViewController::rulesReplied(const std::string& result) {
    ns::Value reply = records::parse(result);
    mwebview->loadHTMLString(records::text(records::item(reply), "activity_rule"), "");
}

void SignListViewController::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& /*webView*/) {
    const double height = ns::parseLeadingDouble(mwebview->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight"));
    const double width = view()->frame().size.width;
    mwebview->setFrame(ui::Rect{0, explainLabel->frame().maxY() + 10, width, height});
    mscrview->setContentSize(ui::Size{width, mwebview->frame().maxY() + 10});
}
