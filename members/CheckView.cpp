#include "members/CheckView.h"

#include "app/framework/BaseScreen.h"
#include "app/framework/Records.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/Log.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

void CheckView::init(const ui::Rect& frame) {
    IdentityPanel::init(frame);
    const double w = frame.size.width;
    auto makeButton = [&](const char* title, double x) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{x, 200, 90, 40});
        b->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
        b->setTitle(title, ui::ControlStateNormal);
        b->titleLabel()->setFont(ui::Font::systemFontOfSize(16));
        content->addSubview(b);
        return b;
    };
    cancelButton = makeButton("取消", (w - 180) / 3);
    cancelButton->addTarget(this, &CheckView::back, ui::ControlEventTouchUpInside);
    checkButton = makeButton("验证", 2 * (w - 180) / 3 + 90);
    checkButton->addTarget(this, &CheckView::check, ui::ControlEventTouchUpInside);
}

void CheckView::check() {
    if (pp->isSending(kOperation)) return;  // a check on its way is not sent again
    std::string name, number;
    if (!readEntries(name, number)) return;
    BaseScreen::showProgressFor(*this, kCheckingText);
    pp->GetRetailerLogin(number, name);
}

void CheckView::back() { setHidden(true); }

void CheckView::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kOperation) return;
    ns::NSLog("resopnse===%@", result);
    ProgressHUD::dismiss();
    ns::Value reply = records::parse(result);
    // Only a reply that carries the member's identity (a user id) opens the
    // board; a refusal or a reply that cannot be read keeps the panel open.
    ns::Value identity = reply["records"];
    if (records::state(reply) == "failed" || !identity.isDictionary() || records::text(identity, "user_id").empty()) {
        showRefusal(reply);
        return;
    }
    if (auto d = delegate()) d->CheckUser(identity);
}

void CheckView::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    if (pp->replyOperation() != kOperation) return;
    ProgressHUD::dismiss();
}
