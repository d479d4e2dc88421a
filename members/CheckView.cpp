#include "members/CheckView.h"

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "foundation/Log.h"
#include "foundation/Predicate.h"
#include "uikit/Alert.h"
#include "uikit/Image.h"

namespace {

constexpr ui::Color kPanelGrey = ui::Color::colorWithRed(0.85, 0.85, 0.85, 1);

void alert(const std::string& message) {
    ui::create<ui::AlertView>("温馨提示", message, nullptr, "确定")->show();
}

}  // namespace

void CheckView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double w = frame.size.width;
    const double h = frame.size.height;
    setBackgroundColor(kPanelGrey);
    setUserInteractionEnabled(true);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    mscrv = ui::create<ui::ScrollView>(ui::Rect{0, 0, w, h});
    addSubview(mscrv);
    auto content = ui::create<ui::View>(ui::Rect{0, 0, w, h});
    content->setBackgroundColor(kPanelGrey);
    mscrv->addSubview(content);

    auto makeRow = [&](const char* image, double y, const char* placeholder) {
        auto row = ui::create<ui::ImageView>(ui::Rect{40, y, w - 80, 40});
        row->setImage(ui::Image::imageNamed(image));
        row->setUserInteractionEnabled(true);
        content->addSubview(row);
        auto field = ui::create<ui::TextField>(ui::Rect{60, 0, 200, 40});
        field->setFont(ui::Font::systemFontOfSize(12));
        field->setPlaceholder(placeholder);
        field->setTextColor(ui::Color::colorWithRed(0.56, 0.53, 0.57, 1));
        field->setAutocapitalizationType(ui::TextAutocapitalizationTypeNone);
        field->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);
        field->setDelegate(sharedAs<ui::TextFieldDelegate>());
        row->addSubview(field);
        return field;
    };
    userNameFiled = makeRow("user.png", 80, "请输入姓名");
    passWordFiled = makeRow("password.png", 140, "请输入手机号码");

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
    const std::string name = userNameFiled->text();
    const std::string number = passWordFiled->text();
    if (name.empty()) {
        alert("请输入姓名");
        return;
    }
    if (number.empty()) {
        alert("请输入手机号码");
        return;
    }
    ProgressHUD::showWithTitle("", "身份验证中...");
    pp->GetRetailerLogin(number, name);
}

void CheckView::back() { setHidden(true); }

void CheckView::Canecllogin() { setHidden(true); }

bool CheckView::isMobileNumber(const std::string& number) {
    static const char* const kPatterns[] = {
        R"(^1(3[0-9]|5[0-35-9]|8[025-9])\d{8}$)",
        R"(^1(34[0-8]|(3[5-9]|5[017-9]|8[278])\d)\d{7}$)",
        R"(^1((33|53|8[09])[0-9]|349)\d{7}$)",
        R"(^1(3[0-2]|5[256]|8[56])\d{8}$)",
    };
    for (const char* pattern : kPatterns) {
        if (ns::Predicate::predicateWithFormat("SELF MATCHES %@", ns::Value(pattern)).evaluate(number)) return true;
    }
    return false;
}

bool CheckView::textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>&) {
    mscrv->setContentOffset(ui::Point{0, 60});
    return true;
}

bool CheckView::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    userNameFiled->resignFirstResponder();
    passWordFiled->resignFirstResponder();
    return true;
}

void CheckView::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kOperation) return;
    ns::NSLog("resopnse===%@", result);
    ProgressHUD::dismiss();
    ns::Value reply = records::parse(result);
    // Only a reply that carries the member's identity opens the board; a
    // refusal or a reply that cannot be read keeps the panel open.
    ns::Value identity = reply["records"];
    if (records::state(reply) == "failed" || !identity.isDictionary()) {
        std::string message = records::message(reply);
        alert(message.empty() ? "身份验证失败" : message);
        return;
    }
    if (auto d = delegate()) d->CheckUser(identity);
}

void CheckView::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    if (pp->replyOperation() != kOperation) return;
    ProgressHUD::dismiss();
}
