#include "members/TextView.h"

#include "app/framework/BaseScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "uikit/Image.h"

namespace {

constexpr const char* kPalmHomeLogin = "PalmHomeLogin";

}  // namespace

void TextView::init(const ui::Rect& frame) {
    IdentityPanel::init(frame);
    loginButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    loginButton->setFrame(ui::Rect{40, 200, frame.size.width - 80, 40});
    loginButton->setBackgroundImage(ui::Image::imageNamed("navbar.png"), ui::ControlStateNormal);
    loginButton->setTitle("验证", ui::ControlStateNormal);
    loginButton->addTarget(this, &TextView::login, ui::ControlEventTouchUpInside);
    content->addSubview(loginButton);
}

std::string TextView::orgKeyForType(const std::string& type) {
    if (type == "2") return kMobileKey;
    if (type == "3") return kQuorvelKey;
    return "";
}

void TextView::login() {
    if (pp->isSending(kPalmHomeLogin)) return;  // a check on its way is not sent again
    std::string name, tel;
    if (!readEntries(name, tel)) return;
    if (!isMobileNumber(tel)) {
        Utils::showAlert("你输入的手机号码非法");
        return;
    }
    BaseScreen::showProgressFor(*this, kCheckingText);
    pp->PalmHomeLogin(name, tel, type_);
}

void TextView::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kPalmHomeLogin) return;
    ns::NSLog("resopnse===%@", result);
    ProgressHUD::dismiss();
    ns::Value reply = records::parse(result);
    const std::string orgId = records::text(records::item(reply), "org_id");
    // Only a reply that says so and names the organisation passes the check.
    if (!records::succeeded(reply) || orgId.empty()) {
        showRefusal(reply);
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
