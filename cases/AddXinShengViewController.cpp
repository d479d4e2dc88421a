#include "cases/AddXinShengViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/Log.h"
#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kCategoryOperation = "GetCategoryList";
constexpr const char* kSubmitOperation = "SubmitGroupVoice";
constexpr const char* kCategoryCode = "qunzhongxinsheng";
constexpr const char* kPartyMember = "党员";

std::shared_ptr<ui::Label> caption(const std::shared_ptr<ui::View>& parent, const std::string& text, const ui::Rect& frame,
                                   const ui::Font& font) {
    auto l = ui::create<ui::Label>(frame);
    l->setText(text);
    l->setFont(font);
    l->setBackgroundColor(ui::Color::clearColor());
    parent->addSubview(l);
    return l;
}

}  // namespace

void AddXinShengViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle(kTitle);
    PP = VoVaClient::create(sharedAs<PPClientDelegate>());
    auto root = view();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;

    naview = makeBackNavBar(*this);
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));

    mscrv = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    root->addSubview(mscrv);
    const ui::Font bold = ui::Font::boldSystemFontOfSize(14);
    const ui::Font plain = ui::Font::systemFontOfSize(14);

    auto chooser = [&](double y, std::shared_ptr<ui::Label>& textLabel, void (AddXinShengViewController::*action)()) {
        auto box = ui::create<ui::ImageView>(ui::Rect{20, y, w - 40, 40});
        box->setImage(ui::Image::imageNamed("title.png"));
        box->setUserInteractionEnabled(true);
        textLabel = caption(box, "", ui::Rect{2, 0, w - 40, 40}, plain);
        box->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, action));
        mscrv->addSubview(box);
        return box;
    };

    caption(mscrv, "建议类型:", ui::Rect{20, 20, 100, 30}, bold);
    typeChooser = chooser(50, typeLabel, &AddXinShengViewController::showType);

    caption(mscrv, "建议标题:", ui::Rect{20, 90, 100, 30}, bold);
    auto titleBox = ui::create<ui::View>(ui::Rect{20, 120, w - 40, 40});
    titleBox->setBackgroundColor(ui::Color::whiteColor());
    titleBox->layer().setBorderColor(ui::Color::colorWithRed(0.9, 0.9, 0.9, 1));
    titleBox->layer().setBorderWidth(1);
    titleBox->layer().setCornerRadius(6);
    titleBox->setUserInteractionEnabled(true);
    titleField = ui::create<ui::TextField>(ui::Rect{2, 0, w - 40 - 4, 50});
    titleField->setFont(plain);
    titleField->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);
    titleField->setClearButtonMode(ui::TextFieldViewModeWhileEditing);
    titleField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    titleBox->addSubview(titleField);
    mscrv->addSubview(titleBox);

    caption(mscrv, "建议内容:", ui::Rect{20, 160, 100, 30}, bold);
    contentView = ui::create<ui::TextView>(ui::Rect{20, 195, w - 40, 130});
    contentView->layer().setBorderColor(ui::Color::colorWithRed(1.0, 0.77, 0.18, 1));
    contentView->layer().setBorderWidth(1);
    contentView->layer().setCornerRadius(6);
    contentView->setReturnKeyType(ui::ReturnKeyDefault);
    contentView->setDelegate(sharedAs<ui::TextViewDelegate>());
    mscrv->addSubview(contentView);
    const double cw = w - 40;
    label = caption(contentView, "长度在5-100个字之间", ui::Rect{5, 2, cw - 10, 20}, ui::Font::systemFontOfSize(12));
    labels = caption(contentView, "例如你可以将自己的感受，建议，真实的想法发给我们", ui::Rect{5, 24, cw - 10, 30},
                     ui::Font::systemFontOfSize(12));
    labels->setNumberOfLines(0);
    labels->setLineBreakMode(ui::LineBreakByCharWrapping);

    caption(mscrv, "用户身份:", ui::Rect{20, 335, 100, 30}, bold);
    identityChooser = chooser(365, identityLabel, &AddXinShengViewController::showIdentity);
    caption(mscrv, "建议机构:", ui::Rect{20, 415, 100, 30}, bold);
    orgChooser = chooser(445, institutionsLabel, &AddXinShengViewController::selectOrg);

    auto mark = [&](double x, const char* image, void (AddXinShengViewController::*action)()) {
        auto b = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        b->setFrame(ui::Rect{x, 495, 20, 20});
        b->setBackgroundImage(ui::Image::imageNamed(image), ui::ControlStateNormal);
        b->addTarget(this, action, ui::ControlEventTouchUpInside);
        mscrv->addSubview(b);
        return b;
    };
    OpenBt = mark(20, kOtherMark, &AddXinShengViewController::openMsg);
    caption(mscrv, "公开", ui::Rect{45, 495, 60, 20}, ui::Font::systemFontOfSize(12));
    CloseBt = mark(105, kChosenMark, &AddXinShengViewController::closeMsg);
    caption(mscrv, "不公开", ui::Rect{130, 495, 60, 20}, ui::Font::systemFontOfSize(12));
    auto note = caption(mscrv, "*点击公开你的信息将被所有人查看！不公开只能自己查看！", ui::Rect{5, 520, w, 20},
                        ui::Font::systemFontOfSize(12));
    note->setTextColor(ui::Color::redColor());

    submitButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    submitButton->setFrame(ui::Rect{(w - 150) / 2, 550, 150, 40});
    submitButton->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    submitButton->setTitle("提交", ui::ControlStateNormal);
    submitButton->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    submitButton->titleLabel()->setFont(plain);
    submitButton->addTarget(this, &AddXinShengViewController::subit, ui::ControlEventTouchUpInside);
    mscrv->addSubview(submitButton);
    mscrv->setContentSize(ui::Size{w, 550 + 40 + 30});

    glview = ui::create<ui::View>(ui::Rect{0, 0, w, h});
    glview->setBackgroundColor(ui::Color::blackColor());
    glview->setAlpha(0.6);
    glview->setHidden(true);
    glview->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &AddXinShengViewController::disview));
    root->addSubview(glview);
    userMsgview = ui::create<UserMsgView>(ui::Rect{5, 64, w - 10, 150});
    userMsgview->setDelegate(sharedAs<UserMsgViewDelegate>());
    userMsgview->setHidden(true);
    root->addSubview(userMsgview);
    typeview = ui::create<TypeView>(ui::Rect{0, 64, w, h - 64});
    typeview->setDelegate(sharedAs<TypeViewDelegate>());
    typeview->setHidden(true);
    root->addSubview(typeview);
}

void AddXinShengViewController::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

void AddXinShengViewController::back() { dismissViewControllerAnimated(true, [] {}); }

// ---- Choices ----

void AddXinShengViewController::showType() {
    typeview->setHidden(false);
    typeview->setTitleStr("请选择建议类型");
    requestType = kTypeRequest;
    if (ispress) {
        typeview->LoadingWithData(typeArray);
    } else {
        // No rows until the types come: the rows of another choice would be
        // taken for a type.
        typeview->LoadingWithData(ns::Value::array());
        PP->GetCategoryList(kCategoryCode);
        typesRequest_ = PP->runningRequest();
    }
}

void AddXinShengViewController::showIdentity() {
    typeview->setHidden(false);
    typeview->setTitleStr("请选择用户身份");
    requestType = kIdentityRequest;
    typeview->LoadingWithData(ns::Value::array({kPartyMember, "普通群众"}));
}

void AddXinShengViewController::TypeContent(const std::string& text, long tag) {
    if (requestType == kTypeRequest) {
        if (tag < 0 || static_cast<std::size_t>(tag) >= category_idArray.count()) return;
        typeLabel->setText(text);
        const auto i = static_cast<std::size_t>(tag);
        channel_id = records::text(channel_idArray.at(i));
        category_id = records::text(category_idArray.at(i));
    } else if (requestType == kIdentityRequest) {
        identityLabel->setText(text);
    }
    glview->setHidden(true);
    typeview->setHidden(true);
}

void AddXinShengViewController::selectOrg() {
    auto picker = ui::create<OrgViewController>();
    picker->setDelegate(sharedAs<OrgViewControllerDelegate>());
    if (auto nav = navigationController()) nav->pushViewController(picker, true);
}

void AddXinShengViewController::orgName(const ns::Value& name, const ns::Value& orgId) {
    institutionsLabel->setText(records::text(name));
    org_id = records::text(orgId);
}

void AddXinShengViewController::openMsg() {
    is_open = true;
    OpenBt->setBackgroundImage(ui::Image::imageNamed(kChosenMark), ui::ControlStateNormal);
    CloseBt->setBackgroundImage(ui::Image::imageNamed(kOtherMark), ui::ControlStateNormal);
}

void AddXinShengViewController::closeMsg() {
    is_open = false;
    OpenBt->setBackgroundImage(ui::Image::imageNamed(kOtherMark), ui::ControlStateNormal);
    CloseBt->setBackgroundImage(ui::Image::imageNamed(kChosenMark), ui::ControlStateNormal);
}

// ---- Sending ----

void AddXinShengViewController::subit() {
    const char* missing = nullptr;
    if (titleField->text().empty()) {
        missing = "请输入建议标题";
    } else if (contentView->text().empty()) {
        missing = "请输入建议内容";
    } else if (typeLabel->text().empty()) {
        missing = "请选择建议类型";
    } else if (identityLabel->text().empty()) {
        missing = "请选择用户身份";
    } else if (institutionsLabel->text().empty()) {
        missing = "请选择建议机构";
    }
    if (missing) {
        Utils::showAlert(missing);
        return;
    }
    glview->setHidden(false);
    userMsgview->setHidden(false);
}

void AddXinShengViewController::determineMsg(const std::string& name, const std::string& phone) {
    if (PP->isSending(kSubmitOperation)) return;  // a petition on its way is not sent again
    requestType = kSubmitRequest;
    user_type = identityLabel->text() == kPartyMember ? "1" : "2";
    PP->SubmitGroupVoice(name, category_id, titleField->text(), contentView->text(), phone, user_type, is_open ? 1 : 0, org_id);
}

void AddXinShengViewController::disview() {
    glview->setHidden(true);
    typeview->setHidden(true);
    userMsgview->setHidden(true);
}

// ---- Replies ----

void AddXinShengViewController::GetWebServerContent_success(const std::string& result) {
    auto keep = sharedAs<AddXinShengViewController>();
    const std::string& operation = PP->replyOperation();
    if (requestType == kTypeRequest && operation == kCategoryOperation &&
        PP->replyRequest() == typesRequest_.lock()) {
        typesReplied(result);
    } else if (requestType == kSubmitRequest && operation == kSubmitOperation) {
        submissionReplied(result);
    }
    ProgressHUD::dismiss();
}

void AddXinShengViewController::typesReplied(const std::string& result) {
    ns::NSLog("建议类型=%@", result);
    ns::Value reply = records::parse(result);
    const ns::Value rows = records::list(reply);
    typeArray = ns::Value::array();
    channel_idArray = ns::Value::array();
    category_idArray = ns::Value::array();
    for (const auto& record : rows.items()) {
        typeArray.push(records::text(record, "category_title"));
        channel_idArray.push(records::text(record, "channel_id"));
        category_idArray.push(records::text(record, "category_id"));
    }
    ispress = true;
    ns::NSLog("count==%@", ns::Value(static_cast<long>(typeArray.count())));
    typeview->LoadingWithData(typeArray);
}

void AddXinShengViewController::submissionReplied(const std::string& result) {
    ns::NSLog("提交建议类型=%@", result);
    ns::Value reply = records::parse(result);
    const bool sent = records::succeeded(reply);
    std::string message = records::message(reply);
    if (message.empty()) message = sent ? "提交成功！" : "提交失败！";
    Utils::showAlert(message);
    if (!sent) {
        // Everything typed stays, and the box too, so the user can send again.
        requestType.clear();
        return;
    }
    disview();
    typeLabel->setText("");
    userMsgview->userField->setText("");
    userMsgview->phoneField->setText("");
    back();
}

void AddXinShengViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) { ProgressHUD::dismiss(); }

// ---- Keyboard ----

bool AddXinShengViewController::textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) {
    if (field == titleField) mscrv->setContentOffset(ui::Point{0, 80}, true);
    return true;
}

bool AddXinShengViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) {
    titleField->resignFirstResponder();
    mscrv->setContentOffset(ui::Point{0, 0}, true);
    return true;
}

bool AddXinShengViewController::textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>&) {
    label->setHidden(true);
    labels->setHidden(true);
    mscrv->setContentOffset(ui::Point{0, 100}, true);
    return true;
}

bool AddXinShengViewController::textView_shouldChangeTextInRange_replacementText(
    const std::shared_ptr<ui::TextView>& textView, ns::Range, const std::string& text) {
    if (text == "\n") {
        textView->resignFirstResponder();
        mscrv->setContentOffset(ui::Point{0, 0}, true);
        return false;
    }
    return true;
}
