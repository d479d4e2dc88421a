#include "members/TextView.h"

#include <regex>

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "uikit/Alert.h"

namespace {

constexpr const char* kPalmHomeLogin = "PalmHomeLogin";
constexpr const char* kAlertTitle = "温馨提示";

const ui::Color kBackdrop = ui::Color::colorWithRed(0.85, 0.85, 0.85, 1);

void alert(const std::string& message) {
    ui::create<ui::AlertView>(kAlertTitle, message, nullptr, "确定")->show();
}

std::shared_ptr<ui::TextField> entry(const std::string& placeholder) {
    auto field = ui::create<ui::TextField>(ui::Rect{60, 0, 200, 40});
    field->setFont(ui::Font::systemFontOfSize(12));
    field->setPlaceholder(placeholder);
    field->setTextColor(ui::Color::colorWithRed(0.56, 0.53, 0.57, 1));
    field->setAutocapitalizationType(ui::TextAutocapitalizationTypeNone);
    field->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);
    return field;
}

}  // namespace

void TextView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double W = frame.size.width;
    const double H = frame.size.height;
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setUserInteractionEnabled(true);
    setBackgroundColor(kBackdrop);

    mscrv = ui::create<ui::ScrollView>(ui::Rect{0, 0, W, H});
    mscrv->setUserInteractionEnabled(true);
    addSubview(mscrv);
    auto backdrop = ui::create<ui::ImageView>(ui::Rect{0, 0, W, H});
    backdrop->setBackgroundColor(kBackdrop);
    backdrop->setUserInteractionEnabled(true);
    mscrv->addSubview(backdrop);

    auto nameBox = ui::create<ui::ImageView>(ui::Rect{40, 80, W - 80, 40});
    nameBox->setImage(ui::Image::imageNamed("user.png"));
    nameBox->setUserInteractionEnabled(true);
    backdrop->addSubview(nameBox);
    userNameFiled = entry("请输入姓名");
    userNameFiled->setDelegate(sharedAs<ui::TextFieldDelegate>());
    nameBox->addSubview(userNameFiled);

    auto numberBox = ui::create<ui::ImageView>(ui::Rect{40, 140, W - 80, 40});
    numberBox->setImage(ui::Image::imageNamed("password.png"));
    numberBox->setUserInteractionEnabled(true);
    backdrop->addSubview(numberBox);
    passWordFiled = entry("请输入手机号码");
    passWordFiled->setDelegate(sharedAs<ui::TextFieldDelegate>());
    numberBox->addSubview(passWordFiled);

    loginButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    loginButton->setFrame(ui::Rect{40, 200, W - 80, 40});
    loginButton->setBackgroundImage(ui::Image::imageNamed("navbar.png"), ui::ControlStateNormal);
    loginButton->setTitle("验证", ui::ControlStateNormal);
    loginButton->addTarget(this, &TextView::login, ui::ControlEventTouchUpInside);
    backdrop->addSubview(loginButton);
}

std::string TextView::orgKeyForType(const std::string& type) {
    if (type == "2") return kMobileKey;
    if (type == "3") return kQuorvelKey;
    return "";
}

bool TextView::isMobileNumber(const std::string& number) {
    static const std::regex patterns[] = {
        std::regex(R"(^1(3[0-9]|5[0-35-9]|8[025-9])\d{8}$)"),
        std::regex(R"(^1(34[0-8]|(3[5-9]|5[017-9]|8[278])\d)\d{7}$)"),
        std::regex(R"(^1(3[0-2]|5[256]|8[56])\d{8}$)"),
        std::regex(R"(^1((33|53|8[09])[0-9]|349)\d{7}$)"),
    };
    for (const auto& p : patterns) {
        if (std::regex_match(number, p)) return true;
    }
    return false;
}

void TextView::login() {
    const std::string name = userNameFiled->text();
    const std::string tel = passWordFiled->text();
    if (name.empty()) return alert("请输入姓名");
    if (tel.empty()) return alert("请输入手机号码");
    if (!isMobileNumber(tel)) return alert("你输入的手机号码非法");
    ProgressHUD::showWithTitle("", "身份验证中...");
    pp->PalmHomeLogin(name, tel, type_);
}

void TextView::Canecllogin() { setHidden(true); }

void TextView::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kPalmHomeLogin) return;
    ns::NSLog("resopnse===%@", result);
    ProgressHUD::dismiss();
    ns::Value reply = records::parse(result);
    const std::string orgId = records::text(records::item(reply), "org_id");
    // Only a reply that says so and names the organisation passes the check.
    if (!records::succeeded(reply) || orgId.empty()) {
        const std::string message = records::message(reply);
        alert(message.empty() ? "身份验证失败" : message);
        return;
    }
    ProgressHUD::dismissWithSuccess(records::message(reply), "", 0.75f);
    const std::string key = orgKeyForType(type_);
    if (!key.empty()) {
        auto defaults = ns::UserDefaults::standardUserDefaults();
        defaults->setObject(ns::Value(orgId), key);
        defaults->synchronize();
    }
    auto d = delegate();
    if (d && d->respondsToLoginSuccessReloadLife()) d->loginSuccessReloadLife(orgId);
}

void TextView::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) { ProgressHUD::dismiss(); }

bool TextView::textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) {
    if (field == userNameFiled || field == passWordFiled) mscrv->setContentOffset(ui::Point{0, 60});
    return true;
}

bool TextView::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& /*field*/) {
    userNameFiled->resignFirstResponder();
    passWordFiled->resignFirstResponder();
    return true;
}
