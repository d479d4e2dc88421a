#include "members/VUDIFrontViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/shell/Utils.h"
#include "members/PartyHomeViewController.h"
#include "uikit/BarButtonItem.h"

namespace {

constexpr double kSpecialityOffset = 250;

}  // namespace

void VUDIFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle("网上登记");
    auto root = view();
    const double W = root->frame().size.width;
    const double H = root->frame().size.height;
    buildFrontBar();
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    navigationItem()->setRightBarButtonItem(homesRightItem());

    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, W, H - 44});
    root->addSubview(mscrview);
    auto& form = *mscrview;
    auto delegate = sharedAs<ui::TextFieldDelegate>();

    const auto entries = regform::nameAndAge(form, {.nameCaption = {10, 10, 50, 20},
                                                    .nameField = {60, 10, 150, 30},
                                                    .nameMark = {213, 13, 30, 20},
                                                    .ageCaption = {10, 50, 50, 20},
                                                    .ageField = {60, 50, 150, 30},
                                                    .agePlaceholder = "年龄"});
    nameField = entries.name;
    ageField = entries.age;

    regform::caption(form, "性别:", ui::Rect{10, 90, 50, 20});
    sexButtons_ = regform::SexButtons::make(form, 100, 96, 20);
    sexButtons_.wire(this);
    boyBt = sexButtons_.boyBt;
    girlBt = sexButtons_.girlBt;

    regform::caption(form, "民族:", ui::Rect{10, 130, 50, 20});
    nationalLabel = regform::boxedLabel(form, ui::Rect{60, 130, 69, 30});
    nationalLabel->setText("汉族");
    nationalLabel->setUserInteractionEnabled(true);
    nationalLabel->addGestureRecognizer(
        ui::create<ui::TapGestureRecognizer>(this, &VUDIFrontViewController::selectNational));

    regform::caption(form, "入党时间:", ui::Rect{10, 170, 80, 30});
    JonPartyLabel = regform::boxedLabel(form, ui::Rect{90, 170, 100, 30});

    regform::caption(form, "联系电话:", ui::Rect{10, 220, 80, 30});
    phoneField = regform::field(form, ui::Rect{90, 220, 150, 30});
    phoneField->setDelegate(delegate);
    regform::requiredMark(form, ui::Rect{240, 220, 30, 30});

    regform::caption(form, "籍贯:", ui::Rect{10, 270, 60, 30});
    jiguanField = regform::field(form, ui::Rect{70, 270, 60, 30}, 14);
    jiguanField->setText("四川");
    jiguanField->setDelegate(delegate);
    jiguanField2 = regform::field(form, ui::Rect{140, 270, 60, 30}, 14);
    jiguanField2->setText("成都市");

    regform::caption(form, "现单位或住址:", ui::Rect{10, 320, 120, 30});
    addressField = regform::field(form, ui::Rect{10, 353, W - 20, 30});
    addressField->setDelegate(delegate);
    addressField->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);

    regform::caption(form, "个人专长:", ui::Rect{10, 386, 100, 30});
    specialtyTextview = ui::create<ui::TextView>(ui::Rect{10, 419, W - 20, 60});
    regform::box(*specialtyTextview);
    specialtyTextview->setDelegate(sharedAs<ui::TextViewDelegate>());
    form.addSubview(specialtyTextview);

    submitButton = regform::submitButton(form, 484);
    submitButton->addTarget(this, &VUDIFrontViewController::subit, ui::ControlEventTouchUpInside);
    form.setContentSize(ui::Size{W, submitButton->frame().maxY() + 180});
}

void VUDIFrontViewController::subit() {
    // Checked here only; nothing is sent or kept.
    if (nameField->text().empty()) {
        Utils::showAlert("请输入姓名");
    } else if (ageField->text().empty()) {
        Utils::showAlert("请输入年龄");
    }
}

bool VUDIFrontViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    mscrview->endEditing(true);
    return true;
}

bool VUDIFrontViewController::textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>& view) {
    if (view == specialtyTextview) regform::specialityEditing(*mscrview, kSpecialityOffset);
    return true;
}

bool VUDIFrontViewController::textView_shouldChangeTextInRange_replacementText(
    const std::shared_ptr<ui::TextView>& view, ns::Range, const std::string& text) {
    return !view || regform::specialityChange(*mscrview, *view, text);
}
