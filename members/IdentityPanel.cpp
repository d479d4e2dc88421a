#include "members/IdentityPanel.h"

#include <regex>

#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

namespace {

constexpr ui::Color kPanelGrey = ui::Color::colorWithRed(0.85, 0.85, 0.85, 1);

}  // namespace

void IdentityPanel::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double w = frame.size.width;
    const double h = frame.size.height;
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setUserInteractionEnabled(true);
    setBackgroundColor(kPanelGrey);

    mscrv = ui::create<ui::ScrollView>(ui::Rect{0, 0, w, h});
    mscrv->setUserInteractionEnabled(true);
    addSubview(mscrv);
    content = ui::create<ui::ImageView>(ui::Rect{0, 0, w, h});
    content->setBackgroundColor(kPanelGrey);
    content->setUserInteractionEnabled(true);
    mscrv->addSubview(content);

    auto row = [&](const char* image, double y, const char* placeholder) {
        auto box = ui::create<ui::ImageView>(ui::Rect{40, y, w - 80, 40});
        box->setImage(ui::Image::imageNamed(image));
        box->setUserInteractionEnabled(true);
        content->addSubview(box);
        auto field = ui::create<ui::TextField>(ui::Rect{60, 0, 200, 40});
        field->setFont(ui::Font::systemFontOfSize(12));
        field->setPlaceholder(placeholder);
        field->setTextColor(ui::Color::colorWithRed(0.56, 0.53, 0.57, 1));
        field->setAutocapitalizationType(ui::TextAutocapitalizationTypeNone);
        field->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);
        field->setDelegate(sharedAs<ui::TextFieldDelegate>());
        box->addSubview(field);
        return field;
    };
    userNameFiled = row("user.png", 80, "请输入姓名");
    passWordFiled = row("password.png", 140, "请输入手机号码");
}

void IdentityPanel::Canecllogin() { setHidden(true); }

bool IdentityPanel::isMobileNumber(const std::string& number) {
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

bool IdentityPanel::textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) {
    if (field == userNameFiled || field == passWordFiled) mscrv->setContentOffset(ui::Point{0, 60});
    return true;
}

bool IdentityPanel::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& /*field*/) {
    userNameFiled->resignFirstResponder();
    passWordFiled->resignFirstResponder();
    return true;
}

bool IdentityPanel::readEntries(std::string& name, std::string& number) const {
    name = userNameFiled->text();
    number = passWordFiled->text();
    return Utils::allFilled({{name, "请输入姓名"}, {number, "请输入手机号码"}});
}

void IdentityPanel::showRefusal(const ns::Value& reply) {
    const std::string message = records::message(reply);
    Utils::showAlert(message.empty() ? "身份验证失败" : message);
}
