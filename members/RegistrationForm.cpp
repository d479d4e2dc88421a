#include "members/RegistrationForm.h"

#include "app/widgets/Controls.h"
#include "uikit/Image.h"

namespace regform {

std::shared_ptr<ui::Label> caption(ui::View& parent, const std::string& text, const ui::Rect& frame) {
    return makeCaption(frame, text, 14, &parent);
}

std::shared_ptr<ui::Label> requiredMark(ui::View& parent, const ui::Rect& frame) {
    auto mark = caption(parent, "必填", frame);
    mark->setFont(ui::Font::systemFontOfSize(12));
    mark->setTextColor(ui::Color::redColor());
    return mark;
}

void box(ui::View& entry) {
    entry.layer().setBorderColor(ui::Color::lightGrayColor());
    entry.layer().setBorderWidth(1);
    entry.layer().setCornerRadius(6);
}

std::shared_ptr<ui::TextField> field(ui::View& parent, const ui::Rect& frame, double fontSize) {
    auto f = makeBorderedField(frame, fontSize);
    f->layer().setCornerRadius(6);
    parent.addSubview(f);
    return f;
}

std::shared_ptr<ui::Label> boxedLabel(ui::View& parent, const ui::Rect& frame, double fontSize) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(fontSize));
    box(*label);
    parent.addSubview(label);
    return label;
}

std::shared_ptr<ui::Button> submitButton(ui::View& parent, double y) {
    auto b = makeImageButton(ui::Rect{(parent.frame().size.width - 80) / 2, y, 80, 40}, "提交", "subit.png", 15);
    parent.addSubview(b);
    return b;
}

NameAndAgeFields nameAndAge(ui::View& form, const NameAndAge& rows) {
    caption(form, "姓名:", rows.nameCaption);
    NameAndAgeFields fields{field(form, rows.nameField, 12), field(form, rows.ageField, 12)};
    fields.name->setPlaceholder("姓名");
    fields.name->setClearButtonMode(ui::TextFieldViewModeWhileEditing);
    requiredMark(form, rows.nameMark);
    caption(form, "年龄:", rows.ageCaption);
    fields.age->setPlaceholder(rows.agePlaceholder);
    for (const auto& f : {fields.name, fields.age}) f->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);
    return fields;
}

SexButtons SexButtons::make(ui::View& parent, double y, double captionY, double captionHeight) {
    auto mark = [&](double x) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{x, y, 15, 15});
        parent.addSubview(b);
        return b;
    };
    SexButtons buttons{mark(60), mark(112)};
    caption(parent, "男", ui::Rect{77, captionY, 30, captionHeight});
    caption(parent, "女", ui::Rect{129, captionY, 30, captionHeight});
    buttons.choose(true);
    return buttons;
}

void SexButtons::choose(bool boy) const {
    boyBt->setBackgroundImage(ui::Image::imageNamed(boy ? "title_seledted.png" : "title_unselected.png"),
                              ui::ControlStateNormal);
    girlBt->setBackgroundImage(ui::Image::imageNamed(boy ? "title_unselected.png" : "title_seledted.png"),
                               ui::ControlStateNormal);
}

void specialityEditing(ui::ScrollView& form, double y) { form.setContentOffset(ui::Point{0, y}, false); }

bool specialityChange(ui::ScrollView& form, ui::TextView& box, const std::string& replacement) {
    if (replacement != "\n") return true;
    box.resignFirstResponder();
    form.setContentOffset(ui::Point{0, 0}, false);
    return false;
}

}  // namespace regform
