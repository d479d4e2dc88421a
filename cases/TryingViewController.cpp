#include "cases/TryingViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "uikit/Image.h"

namespace {

constexpr const char* kEnumOperation = "GetEnumList";
constexpr const char* kSubmitOperation = "SubmitEvent";
constexpr const char* kRequestTypes = "事件类型";
constexpr const char* kRequestSubmit = "提交";
constexpr double kCaptionX = 10;
constexpr double kCaptionWidth = 65;
constexpr double kInputX = 65;
constexpr double kInputWidth = 200;
constexpr double kRowHeight = 30;

void frameInput(ui::View& input) {
    input.layer().setBorderWidth(1);
    input.layer().setBorderColor(ui::Color::lightGrayColor());
}

}  // namespace

void TryingViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    istag = false;
    ispress = false;

    auto root = view();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    setTitle(kTitle);

    buildFrontBar();

    mscrv = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    mscrv->setUserInteractionEnabled(true);
    root->addSubview(mscrv);

    addCaption(10, "事件类别:");
    typeLabel = ui::create<ui::Label>(ui::Rect{kInputX, 10, kInputWidth, kRowHeight});
    typeLabel->setBackgroundColor(ui::Color::clearColor());
    typeLabel->setFont(ui::Font::systemFontOfSize(12));
    typeLabel->setUserInteractionEnabled(true);
    frameInput(*typeLabel);
    typeLabel->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &TryingViewController::showType));
    mscrv->addSubview(typeLabel);

    titleField = addField(50, "主题:", "请输入主题");
    addressField = addField(90, "地点:", "请输入地点");
    timeField = addField(130, "时间:", "请输入时间");
    peopleField = addField(170, "负责人:", "请输入负责人");

    addCaption(210, "描述:");
    contentTextview = ui::create<ui::TextView>(ui::Rect{kInputX, 210, kInputWidth, 90});
    contentTextview->setFont(ui::Font::systemFontOfSize(12));
    contentTextview->setDelegate(sharedAs<ui::TextViewDelegate>());
    frameInput(*contentTextview);
    mscrv->addSubview(contentTextview);

    addCaption(310, "是否急件:", 20);
    tagButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    tagButton->setFrame(ui::Rect{kInputX, 310, 20, 20});
    tagButton->setBackgroundImage(ui::Image::imageNamed(kUnticked), ui::ControlStateNormal);
    tagButton->addTarget(this, &TryingViewController::openMsg, ui::ControlEventTouchUpInside);
    mscrv->addSubview(tagButton);
    auto yes = ui::create<ui::Label>(ui::Rect{90, 310, 60, 20});
    yes->setText("是");
    yes->setFont(ui::Font::systemFontOfSize(12));
    yes->setBackgroundColor(ui::Color::clearColor());
    mscrv->addSubview(yes);

    submitButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    submitButton->setFrame(ui::Rect{(w - 150) / 2, 340, 150, 40});
    submitButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    submitButton->setTitle("提交", ui::ControlStateNormal);
    submitButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    submitButton->titleLabel()->setFont(ui::Font::systemFontOfSize(14));
    submitButton->addTarget(this, &TryingViewController::subit, ui::ControlEventTouchUpInside);
    mscrv->addSubview(submitButton);

    timePicker = ui::create<TimePickView>(ui::Rect{0, h / 2, w, h / 2 + 20}, "选择时间");
    timePicker->setDelegate(sharedAs<TimePickViewDelegate>());
    timeField->setInputView(timePicker);

    typeview = ui::create<TypeView>(ui::Rect{0, 64, w, h - 64});
    typeview->setDelegate(sharedAs<TypeViewDelegate>());
    typeview->setHidden(true);
    root->addSubview(typeview);
}

void TryingViewController::addCaption(double y, const std::string& caption, double height) {
    auto label = ui::create<ui::Label>(ui::Rect{kCaptionX, y, kCaptionWidth, height});
    label->setText(caption);
    label->setBackgroundColor(ui::Color::clearColor());
    label->setFont(ui::Font::systemFontOfSize(12));
    mscrv->addSubview(label);
}

std::shared_ptr<ui::TextField> TryingViewController::addField(double y, const std::string& caption,
                                                              const std::string& placeholder) {
    addCaption(y, caption);
    auto field = ui::create<ui::TextField>(ui::Rect{kInputX, y, kInputWidth, kRowHeight});
    field->setPlaceholder(placeholder);
    field->setFont(ui::Font::systemFontOfSize(12));
    field->setDelegate(sharedAs<ui::TextFieldDelegate>());
    frameInput(*field);
    mscrv->addSubview(field);
    return field;
}

// ---- Event type ----

void TryingViewController::showType() {
    typeview->setHidden(false);
    view()->bringSubviewToFront(typeview);
    // No rows until the list comes.
    dataArray = ns::Value::array();
    typeview->LoadingWithData(dataArray);
    typeview->setTitleStr(kTypePanelTitle);
    requestType = kRequestTypes;
    pp->GetEnumList(kEnumName);
    typesRequest_ = pp->runningRequest();
}

void TryingViewController::TypeContent(const std::string& text, long) {
    typeLabel->setText(text);
    disview();
}

void TryingViewController::disview() { typeview->setHidden(true); }

// ---- Time and urgent flag ----

void TryingViewController::datePickDone(const std::string& text) {
    timeField->setText(text);
    timeField->resignFirstResponder();
}

void TryingViewController::datePickCancel() { timeField->resignFirstResponder(); }

void TryingViewController::openMsg() {
    istag = !ispress;
    tagButton->setBackgroundImage(ui::Image::imageNamed(istag ? kTicked : kUnticked), ui::ControlStateNormal);
    ispress = !ispress;
}

// ---- Text input ----

void TryingViewController::resignFields() {
    titleField->resignFirstResponder();
    addressField->resignFirstResponder();
    timeField->resignFirstResponder();
    peopleField->resignFirstResponder();
}

bool TryingViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    resignFields();
    mscrv->setContentOffset(ui::Point{0, 0});
    return true;
}

bool TryingViewController::textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>&) {
    mscrv->setContentOffset(ui::Point{0, 130});
    return true;
}

bool TryingViewController::textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& tv,
                                                                           ns::Range, const std::string& text) {
    if (text != "\n") return true;
    if (tv) tv->resignFirstResponder();
    mscrv->setContentOffset(ui::Point{0, 0});
    return false;
}

// ---- Submission ----

void TryingViewController::subit() {
    if (pp->isSending(kSubmitOperation)) return;  // an event on its way is not sent again
    const std::pair<std::string, const char*> checks[] = {
        {typeLabel->text(), "请选择事件类型"},  {titleField->text(), "请输入主题"},
        {addressField->text(), "请输入事件地点"}, {timeField->text(), "请选择事件"},
        {peopleField->text(), "请输入负责人"},  {contentTextview->text(), "请输入事件描述"},
    };
    for (const auto& [value, message] : checks) {
        if (value.empty()) {
            Utils::showAlert(message);
            return;
        }
    }
    showProgress("提交中...");
    requestType = kRequestSubmit;
    pp->SubmitEvent(records::text(Utils::getMember()->member_id), titleField->text(), contentTextview->text(),
                    typeLabel->text(), peopleField->text(), istag ? 1 : 0, addressField->text(), timeField->text());
}

void TryingViewController::GetWebServerContent_success(const std::string& result) {
    const std::string& operation = pp->replyOperation();
    if (operation == kEnumOperation) {
        if (requestType != kRequestTypes || pp->replyRequest() != typesRequest_.lock()) return;
        ns::Value reply = records::parse(result);
        ns::Value rows = records::list(reply);
        for (const auto& record : rows.items()) dataArray.push(records::text(record, "key"));
        typeview->LoadingWithData(dataArray);
        return;
    }
    if (operation != kSubmitOperation) return;
    ns::Value reply = records::parse(result);
    if (records::succeeded(reply)) {
        Utils::showAlert(kSubmittedText);
        typeLabel->setText("");
        titleField->setText("");
        addressField->setText("");
        timeField->setText("");
        peopleField->setText("");
        contentTextview->setText("");
        ProgressHUD::dismiss();
        return;
    }
    ProgressHUD::dismissWithError(kSubmitFailedText, "", 0.75f);
    ProgressHUD::dismiss();
    // The form keeps what was typed; say why it was refused.
    std::string message = records::message(reply);
    Utils::showAlert(message.empty() ? kSubmitFailedText : message);
}

void TryingViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) { ProgressHUD::dismiss(); }
