#include "app/shell/LoginViewController.h"

#include <algorithm>

#include "app/widgets/ProgressHUD.h"
#include "app/shell/Utils.h"
#include "foundation/Log.h"
#include "service/JSON.h"
#include "service/LogMasking.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/ImageView.h"
#include "uikit/Keyboard.h"

namespace {

// One input row: the box picture ("user.png", "password.png": a 240 x 40
// framed box with its icon left of a divider at x 50) at its own size, and a
// borderless field over the box's part right of the divider.
constexpr double kRowX = 20, kRowWidth = 240, kRowHeight = 40, kTextInset = 56;

std::shared_ptr<ui::ImageView> makeRowBox(double y, const std::string& picture) {
    auto box = ui::create<ui::ImageView>(ui::Rect{kRowX, y, kRowWidth, kRowHeight});
    box->setImage(ui::Image::imageNamed(picture));
    return box;
}

std::shared_ptr<ui::TextField> makeField(double y, const std::string& placeholder) {
    auto field = ui::create<ui::TextField>(ui::Rect{kRowX + kTextInset, y, kRowWidth - kTextInset - 6, kRowHeight});
    field->setPlaceholder(placeholder);
    field->setFont(ui::Font::systemFontOfSize(15));
    field->setBorderStyle(ui::TextBorderStyleNone);
    field->setContentVerticalAlignment(ui::ControlContentVerticalAlignmentCenter);
    field->setClearButtonMode(ui::TextFieldViewModeWhileEditing);
    field->setAutocapitalizationType(ui::TextAutocapitalizationTypeNone);
    field->setAutocorrectionType(ui::TextAutocorrectionTypeNo);
    return field;
}

std::shared_ptr<ui::Button> makeButton(const ui::Rect& frame, const std::string& title) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(frame);
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(16));
    button->setBackgroundImage(ui::Image::imageNamed("subit.png"), ui::ControlStateNormal);
    return button;
}

}  // namespace

LoginViewController::~LoginViewController() {
    ns::NotificationCenter::defaultCenter().removeObserver(this);
    // The screen went away with a login in flight: its progress overlay goes too.
    if (loggingIn_) ProgressHUD::dismiss();
}

void LoginViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    auto root = view();
    root->setBackgroundColor(ui::Color::colorWithWhite(0, 0.5));

    const double w = kBoxWidth, h = kBoxHeight;
    loginBox = ui::create<ui::View>(ui::Rect{(root->frame().size.width - w) / 2, kBoxTop, w, h});
    loginBox->setBackgroundColor(ui::Color::whiteColor());
    loginBox->layer().setCornerRadius(8);
    loginBox->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin);
    root->addSubview(loginBox);

    titleLabel = ui::create<ui::Label>(ui::Rect{0, 12, w, 30});
    titleLabel->setText("用户登录");
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(18));
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    titleLabel->setBackgroundColor(ui::Color::clearColor());
    loginBox->addSubview(titleLabel);

    loginBox->addSubview(makeRowBox(53, "user.png"));
    userField = makeField(53, "请输入用户名");
    userField->setReturnKeyType(ui::ReturnKeyNext);
    userField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    loginBox->addSubview(userField);

    loginBox->addSubview(makeRowBox(103, "password.png"));
    passwordField = makeField(103, "请输入密码");
    passwordField->setSecureTextEntry(true);
    passwordField->setReturnKeyType(ui::ReturnKeyGo);
    passwordField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    loginBox->addSubview(passwordField);

    loginButton = makeButton(ui::Rect{20, 160, 115, 40}, "登录");
    loginButton->addTarget(this, &LoginViewController::login, ui::ControlEventTouchUpInside);
    loginBox->addSubview(loginButton);
    cancelButton = makeButton(ui::Rect{145, 160, 115, 40}, "取消");
    cancelButton->addTarget(this, &LoginViewController::Canecllogin, ui::ControlEventTouchUpInside);
    loginBox->addSubview(cancelButton);

    auto& center = ns::NotificationCenter::defaultCenter();
    auto self = sharedAs<LoginViewController>();
    center.addObserver(self, ui::UIKeyboardDidShowNotification, &LoginViewController::keyboardMoved);
    center.addObserver(self, ui::UIKeyboardDidHideNotification, &LoginViewController::keyboardMoved);
}

void LoginViewController::keyboardMoved(const ns::Notification& notification) {
    if (!loginBox) return;
    // While the keyboard is up, the box stands risen (within the overlay) so
    // that its buttons are clear of the keyboard: for its own fields, and
    // already while the overlay is hidden, for the screen's field it may be
    // shown over (a comment bar asks for the login with its keyboard up).
    double top = kBoxTop;
    auto window = view()->window();
    if (notification.name == ui::UIKeyboardDidShowNotification && window) {
        ui::Rect keyboard = ui::rectFromUserInfo(notification.userInfo, ui::UIKeyboardFrameEndUserInfoKey);
        // From the screen's points to the window's.
        keyboard.origin.x -= window->frame().origin.x;
        keyboard.origin.y -= window->frame().origin.y;
        const double keyboardTop = view()->convertRect_fromView(keyboard, nullptr).minY();
        top = std::max(kBoxMargin, std::min(kBoxTop, keyboardTop - kBoxMargin - kBoxHeight));
    }
    ui::Rect frame = loginBox->frame();
    frame.origin.y = top;
    loginBox->setFrame(frame);
}

bool LoginViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) {
    if (field == userField) {
        passwordField->becomeFirstResponder();
    } else if (field == passwordField) {
        login();
    }
    return true;
}

void LoginViewController::login() {
    if (loggingIn_ || view()->isHidden()) return;
    const std::string& user = userField->text();
    const std::string& password = passwordField->text();
    if (!Utils::allFilled({{user, "请输入用户名"}, {password, "请输入密码"}})) return;
    view()->endEditing(true);
    loggingIn_ = true;
    ProgressHUD::showWithTitle("", "登录中...");
    pp->MemberLogin(user, password);
}

void LoginViewController::Canecllogin() {
    view()->endEditing(true);
    if (loggingIn_) {
        // The user gave up: a late answer must not log in behind their back.
        if (auto request = pp->runningRequest()) request->cancel();
        endLogin();
    }
    view()->setHidden(true);
}

void LoginViewController::endLogin() {
    loggingIn_ = false;
    ProgressHUD::dismiss();
}

void LoginViewController::GetWebServerContent_success(const std::string& result) {
    if (!loggingIn_) return;
    endLogin();
    ns::NSLog("登录response=%@", maskPasswords(result));
    ns::Value reply = JSONValue(result);
    ns::Value member = reply["records"];
    if (member.isArray()) member = member.at(0);
    // Only a reply that can be read and that names the member logs in.
    if (reply["state"].description() == "failed" || !member.isDictionary()) {
        ns::Value message = reply["message"];
        Utils::showAlert(message.isNone() || message.description().empty() ? std::string("登录失败")
                                                                            : message.description());
        return;
    }
    view()->setHidden(true);
    passwordField->setText("");
    Utils::saveUserWithMemberData(member, "1");
    if (auto d = delegate()) d->rolesName("", true);
}

void LoginViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    if (!loggingIn_) return;
    endLogin();
    ns::NSLog("登录失败: %@", error ? error->description() : std::string("(null)"));
    // Time-outs and a missing network have had their alert already.
    if (!error || (error->code != 1 && error->code != 2)) Utils::showAlert("登录失败");
}
