#include "members/SMSViewController.h"

#include <functional>
#include <unordered_set>

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/Strings.h"
#include "foundation/TextIndex.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kSubmitMessage = "SubmitMessage";

std::shared_ptr<ui::Label> formLabel(const std::string& text) {
    auto label = ui::create<ui::Label>(ui::Rect{0, 0, 70, 30});
    label->setText(text);
    label->setFont(ui::Font::systemFontOfSize(12));
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextAlignment(ui::TextAlignmentRight);
    return label;
}

void outline(ui::View& view) {
    view.layer().setBorderColor(ui::Color::lightGrayColor());
    view.layer().setBorderWidth(1);
}

void place(ui::View& view, double x, double y) {
    ui::Rect f = view.frame();
    view.setFrame(ui::Rect{x, y, f.size.width, f.size.height});
}

void alert(const std::string& title, const std::string& message, const std::string& button) {
    ui::create<ui::AlertView>(title, message, nullptr, button)->show();
}

}  // namespace

std::string SMSViewController::numbers(const ns::Value& rows) {
    std::string list;
    for (const ns::Value& row : rows.items()) {
        if (!list.empty()) list += ";";
        list += records::text(row, "user_name");
    }
    return list;
}

// Each number is gathered once, whoever picked or typed it: a number listed
// twice would get the message twice. The numbers listed are looked up in a
// set, so a picker's thousands of members are gathered at once.
void SMSViewController::gather(const ns::Value& recipients) {
    std::unordered_set<std::string, ns::TextHash, std::equal_to<>> listed;
    for (const ns::Value& row : mobileArray.items()) listed.insert(records::text(row, "user_name"));
    for (const ns::Value& recipient : recipients.items())
        if (listed.insert(records::text(recipient, "user_name")).second) mobileArray.push(recipient);
}

void SMSViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle("短信平台");
    const double w = view()->frame().size.width;
    const double h = view()->frame().size.height;
    view()->setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    mobileArray = ns::Value::array();

    naview = makeBackNavBar(*this);

    label11 = formLabel("短信类型:");
    place(*label11, 0, 74);
    view()->addSubview(label11);
    typeLabel = ui::create<ui::Label>(ui::Rect{70, 74, 200, 30});
    typeLabel->setText("政治问候");
    typeLabel->setFont(ui::Font::systemFontOfSize(12));
    outline(*typeLabel);
    typeLabel->setUserInteractionEnabled(true);
    typeLabel->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &SMSViewController::typeTapped));
    view()->addSubview(typeLabel);

    label2 = formLabel("主题:");
    view()->addSubview(label2);
    titleFiel = ui::create<ui::TextField>(ui::Rect{70, 0, 200, 30});
    titleFiel->setFont(ui::Font::systemFontOfSize(12));
    outline(*titleFiel);
    titleFiel->setDelegate(sharedAs<ui::TextFieldDelegate>());
    view()->addSubview(titleFiel);

    label3 = formLabel("短信内容:");
    view()->addSubview(label3);
    condtentTextview = ui::create<ui::TextView>(ui::Rect{70, 0, 200, 70});
    condtentTextview->setFont(ui::Font::systemFontOfSize(12));
    outline(*condtentTextview);
    condtentTextview->setDelegate(sharedAs<ui::TextViewDelegate>());
    view()->addSubview(condtentTextview);

    phoneField = ui::create<ui::TextField>(ui::Rect{70, 0, 150, 30});
    phoneField->setFont(ui::Font::systemFontOfSize(12));
    outline(*phoneField);
    phoneField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    view()->addSubview(phoneField);
    addBt = ui::Button::buttonWithType(ui::ButtonTypeRoundedRect);
    addBt->setFrame(ui::Rect{225, 0, 50, 30});
    addBt->setTitle("手动添加", ui::ControlStateNormal);
    addBt->setTitleColor(ui::Color::redColor(), ui::ControlStateNormal);
    addBt->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    addBt->addTarget(this, &SMSViewController::addphone, ui::ControlEventTouchUpInside);
    view()->addSubview(addBt);

    label4 = formLabel("通讯录:");
    view()->addSubview(label4);
    bookBt = ui::Button::buttonWithType(ui::ButtonTypeRoundedRect);
    bookBt->setFrame(ui::Rect{70, 0, 60, 30});
    bookBt->setTitle("选择人员", ui::ControlStateNormal);
    bookBt->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    bookBt->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    bookBt->addTarget(this, &SMSViewController::addBook, ui::ControlEventTouchUpInside);
    view()->addSubview(bookBt);

    label5 = formLabel("手机号码:");
    view()->addSubview(label5);
    phonetextview = ui::create<ui::TextView>(ui::Rect{70, 0, 200, 70});
    phonetextview->setFont(ui::Font::systemFontOfSize(12));
    outline(*phonetextview);
    phonetextview->setBackgroundColor(ui::Color::clearColor());
    phonetextview->setEditable(false);
    view()->addSubview(phonetextview);

    sendBt = ui::Button::buttonWithType(ui::ButtonTypeRoundedRect);
    sendBt->setFrame(ui::Rect{20, 0, w - 40, 40});
    sendBt->setTitle("发送", ui::ControlStateNormal);
    sendBt->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    sendBt->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    sendBt->addTarget(this, &SMSViewController::senderMessage, ui::ControlEventTouchUpInside);
    view()->addSubview(sendBt);

    glview = ui::create<ui::View>(view()->bounds());
    glview->setBackgroundColor(ui::Color::blackColor());
    glview->setAlpha(0.6);
    glview->setUserInteractionEnabled(true);
    glview->setHidden(true);
    view()->addSubview(glview);

    trview = ui::create<OrganizeTreeView>(ui::Rect{0, 64, w, h - 64});
    trview->setDelegate(sharedAs<OrganizeTreeViewDelegate>());
    trview->setHidden(true);
    view()->addSubview(trview);

    typeview = ui::create<TypeView>(ui::Rect{20, 64, w - 40, 400});
    typeview->setDelegate(sharedAs<TypeViewDelegate>());
    typeview->setHidden(true);
    view()->addSubview(typeview);

    typeArray = ns::Value::array({"政治问候", "生日问候", kGeneralType});
    typeIDArray = ns::Value::array({"1", "2", "3"});
    typeID = "1";
    applyLayout(false);
}

void SMSViewController::applyLayout(bool general) {
    for (ui::View* v : std::initializer_list<ui::View*>{label2.get(), titleFiel.get(), label3.get(),
                                                        condtentTextview.get(), phoneField.get(), addBt.get()}) {
        v->setHidden(!general);
    }
    const double top = general ? 269 : 114;
    if (general) {
        place(*label2, 0, 114);
        place(*titleFiel, 70, 114);
        place(*label3, 0, 154);
        place(*condtentTextview, 70, 154);
        place(*phoneField, 70, 229);
        place(*addBt, 225, 229);
    }
    place(*label4, 0, top);
    place(*bookBt, 70, top);
    place(*label5, 0, top + 40);
    place(*phonetextview, 70, top + 40);
    place(*sendBt, 20, top + 40 + 70 + 15);
}

// ---- The type ----

void SMSViewController::typeTapped(std::shared_ptr<ui::TapGestureRecognizer> /*recognizer*/) { showtype(); }

void SMSViewController::showtype() {
    typeview->setTitleStr("请选择短信类型");
    typeview->setHidden(false);
    view()->bringSubviewToFront(typeview);
    typeview->LoadingWithData(typeArray);
}

void SMSViewController::TypeContent(const std::string& text, long tag) {
    applyLayout(text == kGeneralType);
    typeLabel->setText(text);
    if (tag >= 0 && static_cast<std::size_t>(tag) < typeIDArray.count()) {
        typeID = records::text(typeIDArray.at(static_cast<std::size_t>(tag)));
    }
    typeview->setHidden(true);
    glview->setHidden(true);
}

// ---- Recipients ----

void SMSViewController::addBook() {
    trview->setHidden(false);
    view()->bringSubviewToFront(trview);
}

void SMSViewController::phoneArray(const ns::Value& members) {
    trview->setHidden(true);
    // The picker hands over everyone it confirmed so far, earlier picks included.
    gather(members);
    phonetextview->setText(numbers(mobileArray));
}

void SMSViewController::addphone() {
    phoneField->resignFirstResponder();
    // An empty field adds no empty number to the list.
    if (ns::trimWhitespaceAndNewlines(phoneField->text()).empty()) return;
    gather(ns::Value::array({ns::Value::dictionary({{"user_name", phoneField->text()}})}));
    phonetextview->setText(numbers(mobileArray));
    mobileArray.removeAll();
}

// ---- Sending ----

void SMSViewController::senderMessage() {
    const bool general = typeLabel->text() == kGeneralType;
    if (!general) {
        if (!Utils::allFilled({{phonetextview->text(), "请选择通讯录"}})) return;
    } else if (!Utils::allFilled({{titleFiel->text(), "请输入主题"},
                                  {condtentTextview->text(), "请输入内容"},
                                  {phonetextview->text(), "请选择人员或手动添加电话号码"}})) {
        return;
    }
    showProgress("发送中...");
    pp->SubmitMessage(general ? titleFiel->text() : std::string(), general ? condtentTextview->text() : std::string(),
                      phonetextview->text(), typeID);
    glview->setHidden(false);
    view()->bringSubviewToFront(glview);
}

void SMSViewController::GetWebServerContent_success(const std::string& result) {
    if (pp->replyOperation() != kSubmitMessage) return;
    glview->setHidden(true);
    ns::Value reply = records::parse(result);
    if (!records::succeeded(reply)) {
        // Refused: said so, and the form stays for another try.
        ProgressHUD::dismissWithError("发送失败！", "", 0.75f);
        ProgressHUD::dismiss();
        const std::string message = records::message(reply);
        Utils::showAlert(message.empty() ? "发送失败！" : message);
        return;
    }
    ProgressHUD::dismissWithSuccess("发送成功！", "", 0.75f);
    ProgressHUD::dismiss();
    Utils::showAlert(records::message(reply));
    titleFiel->setText("");
    phonetextview->setText("");
    condtentTextview->setText("");
}

void SMSViewController::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    if (pp->replyOperation() != kSubmitMessage) return;
    ProgressHUD::dismissWithError("发送失败！", "", 0.75f);
    ProgressHUD::dismiss();
    glview->setHidden(true);
}

// ---- Keyboard ----

bool SMSViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& /*field*/) {
    titleFiel->resignFirstResponder();
    phoneField->resignFirstResponder();
    return true;
}

bool SMSViewController::textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& textView,
                                                                          ns::Range /*range*/,
                                                                          const std::string& text) {
    if (text == "\n") {
        if (textView) textView->resignFirstResponder();
        return false;
    }
    return true;
}

// ---- The local composer ----

void SMSViewController::showSMSPicker() {
    if (!ui::MessageComposeViewController::isClassAvailable()) {
        alert("提示", "iOS版本过低,iOS4.0以上才支持程序内发送短信", "关闭");
    } else if (!ui::MessageComposeViewController::canSendText()) {
        alert("提示", "设备没有短信功能", "关闭");
    } else {
        displaySMSComposerSheet();
    }
}

void SMSViewController::displaySMSComposerSheet() {
    auto composer = ui::create<ui::MessageComposeViewController>();
    composer->setMessageComposeDelegate(sharedAs<ui::MessageComposeViewControllerDelegate>());
    composer->setRecipients({phonetextview->text()});
    composer->setBody("");
    presentViewController(composer, true);
}

void SMSViewController::messageComposeViewController_didFinishWithResult(
    const std::shared_ptr<ui::MessageComposeViewController>& composer, ui::MessageComposeResult result) {
    if (result == ui::MessageComposeResultSent) alert("温馨提示", "发送成功", "关闭");
    if (result == ui::MessageComposeResultFailed) alert("温馨提示", "发送失败", "关闭");
    if (composer) composer->dismissViewControllerAnimated(true);
}
