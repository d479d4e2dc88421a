#include "members/OnlineRegistrationView.h"

#include "app/framework/BaseScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/Log.h"
#include "members/PartyHomeViewController.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/NavigationController.h"

namespace {

constexpr double kSpecialityOffset = 280;
constexpr const char* kSubmitOperation = "SubmitOnlineReg";

}  // namespace

void OnlineRegistrationView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    const double W = frame.size.width;
    const double H = frame.size.height;
    setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 0, W, H});
    addSubview(mscrview);
    auto& form = *mscrview;
    auto delegate = sharedAs<ui::TextFieldDelegate>();

    const auto entries = regform::nameAndAge(form, {.nameCaption = {10, 10, 50, 30},
                                                    .nameField = {60, 10, 150, 30},
                                                    .nameMark = {213, 10, 30, 30},
                                                    .ageCaption = {10, 60, 50, 30},
                                                    .ageField = {60, 60, 150, 30},
                                                    .agePlaceholder = "输入年龄"});
    nameField = entries.name;
    ageField = entries.age;

    regform::caption(form, "性别:", ui::Rect{10, 110, 50, 30});
    sexButtons_ = regform::SexButtons::make(form, 117.5, 117.5, 15);
    sexButtons_.wire(this);
    boyBt = sexButtons_.boyBt;
    girlBt = sexButtons_.girlBt;

    regform::caption(form, "民族:", ui::Rect{10, 160, 50, 30});
    nationalField = regform::field(form, ui::Rect{60, 160, 150, 30}, 14);
    nationalField->setDelegate(delegate);

    regform::caption(form, "入党时间:", ui::Rect{10, 210, 80, 30});
    JonPartyField = regform::field(form, ui::Rect{90, 210, 150, 30}, 14);
    JonPartyField->setDelegate(delegate);
    datePicker = ui::create<CusDatePickView>(ui::Rect{0, H / 2, W, H / 2 + 20}, "选择时间");
    datePicker->setDelegate(sharedAs<CusDatePickViewDelegate>());
    JonPartyField->setInputView(datePicker);

    regform::caption(form, "联系电话:", ui::Rect{10, 260, 80, 30});
    phoneField = regform::field(form, ui::Rect{90, 260, 150, 30});
    phoneField->setDelegate(delegate);
    regform::requiredMark(form, ui::Rect{240, 260, 30, 30});

    regform::caption(form, "籍贯:", ui::Rect{10, 310, 50, 30});
    jiguan_Label = regform::boxedLabel(form, ui::Rect{60, 310, 150, 30});
    jiguan_Label->setUserInteractionEnabled(true);
    jiguan_Label->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &OnlineRegistrationView::showJiGuan));

    regform::caption(form, "现单位或住址:", ui::Rect{10, 360, 120, 30});
    xianLabel = regform::boxedLabel(form, ui::Rect{5, 393, W - 10, 30}, 12);
    xianLabel->setUserInteractionEnabled(true);
    xianLabel->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &OnlineRegistrationView::showXian));

    regform::caption(form, "个人专长:", ui::Rect{10, 426, 100, 30});
    specialtyTextview = ui::create<ui::TextView>(ui::Rect{10, 459, W - 20, 80});
    regform::box(*specialtyTextview);
    specialtyTextview->setDelegate(sharedAs<ui::TextViewDelegate>());
    form.addSubview(specialtyTextview);

    submitButton = regform::submitButton(form, 544);
    submitButton->addTarget(this, &OnlineRegistrationView::subit, ui::ControlEventTouchUpInside);
    form.setContentSize(ui::Size{W, submitButton->frame().maxY() + 200});
}

// ---- Choices ----

void OnlineRegistrationView::boybutton() {
    sexButtons_.choose(true);
    sex = "男";
}

void OnlineRegistrationView::girlbutton() {
    sexButtons_.choose(false);
    sex = "女";
}

void OnlineRegistrationView::datePickDone(const std::string& text) {
    JonPartyField->setText(text);
    JonPartyField->resignFirstResponder();
}

void OnlineRegistrationView::datePickCancel() { JonPartyField->resignFirstResponder(); }

void OnlineRegistrationView::showJiGuan() {
    JonPartyField->resignFirstResponder();
    ui::create<CityLocateView>("请选择籍贯", sharedAs<ui::ActionSheetDelegate>())->showInView(sharedAs<ui::View>());
}

void OnlineRegistrationView::actionSheet_clickedButtonAtIndex(const std::shared_ptr<ui::ActionSheet>& sheet,
                                                               int index) {
    auto picker = std::dynamic_pointer_cast<CityLocateView>(sheet);
    if (!picker || !picker->locate) return;
    const CityLocation& place = *picker->locate;
    ns::NSLog("籍贯==%@  %@", place.state, place.city);
    if (index != CityLocateView::kCancelIndex) {
        jiguan_Label->setText(place.state + "-" + place.city);
        ns::NSLog("Select");
    } else {
        jiguan_Label->setText("");
        ns::NSLog("Cancel");
    }
}

void OnlineRegistrationView::showXian() {
    auto home = homeOfType(*this, type_);
    auto nav = home ? home->navigationController() : nullptr;
    if (!nav) return;
    auto picker = ui::create<OrgViewController>();
    picker->setDelegate(sharedAs<OrgViewControllerDelegate>());
    nav->pushViewController(picker, true);
}

void OnlineRegistrationView::orgName(const ns::Value& name, const ns::Value& orgId) {
    xianLabel->setText(records::text(name));
    org_id = records::text(orgId);
}

// ---- Keys ----

bool OnlineRegistrationView::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    phoneField->resignFirstResponder();
    nameField->resignFirstResponder();
    ageField->resignFirstResponder();
    return true;
}

bool OnlineRegistrationView::textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>& view) {
    if (view == specialtyTextview) regform::specialityEditing(*mscrview, kSpecialityOffset);
    return true;
}

bool OnlineRegistrationView::textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& view,
                                                                              ns::Range, const std::string& text) {
    return !view || regform::specialityChange(*mscrview, *view, text);
}

// ---- Sending ----

void OnlineRegistrationView::subit() {
    if (pp->isSending(kSubmitOperation)) return;  // a registration on its way is not sent again
    const std::pair<std::string, const char*> checks[] = {
        {nameField->text(), "请输入姓名"},         {ageField->text(), "请输入年龄"},
        {nationalField->text(), "请输入民族"},     {JonPartyField->text(), "请选择入党时间"},
        {phoneField->text(), "请输入你的电话"},    {jiguan_Label->text(), "请选择你的籍贯"},
        {xianLabel->text(), "请选择所属县"},
    };
    for (const auto& [value, message] : checks) {
        if (value.empty()) {
            Utils::showAlert(message);
            return;
        }
    }
    BaseScreen::showProgressFor(*this, "登记中...");
    requestType = kRequestType;
    pp->SubmitOnlineReg(nameField->text(), ageField->text(), sex, nationalField->text(), JonPartyField->text(),
                        phoneField->text(), jiguan_Label->text(), specialtyTextview->text(), type_, org_id);
}

void OnlineRegistrationView::GetWebServerContent_success(const std::string& result) {
    if (requestType == kRequestType) {
        const ns::Value reply = records::parse(result);
        const bool registered = records::succeeded(reply);
        std::string message = records::message(reply);
        if (message.empty()) message = registered ? "登记成功" : "登记失败";
        Utils::showAlert(message);
        // A refused registration keeps what was typed, to be corrected.
        if (registered) emptyEntries();
    }
    ProgressHUD::dismiss();
}

void OnlineRegistrationView::GetWebServerContent_Fail(const ns::ErrorPtr&) { ProgressHUD::dismiss(); }

void OnlineRegistrationView::emptyEntries() {
    for (const auto& f : {nameField, ageField, nationalField, JonPartyField, phoneField}) f->setText("");
    jiguan_Label->setText("");
    xianLabel->setText("");
    specialtyTextview->setText("");
}
