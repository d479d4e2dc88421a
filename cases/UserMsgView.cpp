#include "cases/UserMsgView.h"

#include "app/shell/Utils.h"
#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/Label.h"

void UserMsgView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
    setUserInteractionEnabled(true);
    const double b = frame.size.width;

    auto caption = [this](const std::string& text, double y) {
        auto label = ui::create<ui::Label>(ui::Rect{5, y, 60, 30});
        label->setText(text);
        label->setFont(ui::Font::systemFontOfSize(12));
        label->setBackgroundColor(ui::Color::clearColor());
        addSubview(label);
    };
    auto field = [this](double y) {
        auto f = ui::create<ui::TextField>(ui::Rect{60, y, 200, 30});
        f->layer().setBorderColor(ui::Color::lightGrayColor());
        f->layer().setBorderWidth(1);
        f->setFont(ui::Font::systemFontOfSize(12));
        f->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);
        f->setClearButtonMode(ui::TextFieldViewModeWhileEditing);
        f->setDelegate(sharedAs<ui::TextFieldDelegate>());
        addSubview(f);
        return f;
    };
    caption("你的姓名:", 5);
    userField = field(5);
    caption("手机号码", 45);
    phoneField = field(45);

    confirmButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    confirmButton->setFrame(ui::Rect{(b - 150) / 2, 85, 150, 40});
    confirmButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    confirmButton->setTitle("确定", ui::ControlStateNormal);
    confirmButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    confirmButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    confirmButton->addTarget(this, &UserMsgView::subit, ui::ControlEventTouchUpInside);
    addSubview(confirmButton);
}

void UserMsgView::subit() {
    const std::string name = userField->text();
    const std::string phone = phoneField->text();
    if (!Utils::allFilled({{name, "请输入你的姓名"}, {phone, "请输入手机号码"}})) return;
    if (auto d = delegate()) d->determineMsg(name, phone);
}

bool UserMsgView::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    userField->resignFirstResponder();
    phoneField->resignFirstResponder();
    return true;
}
