// The login overlay. A screen makes it with init, frames and hides its view
// inside its own view, and shows it when a feature needs a member:
//
//   loginview = ui::create<LoginViewController>();
//   loginview->setDelegate(weakAs<LoginViewControllerDelegate>());
//   loginview->view()->setFrame(view()->bounds());
//   loginview->view()->setHidden(true);
//   view()->addSubview(loginview->view());
//   ...
//   loginview->setIsFrom("评论");
//   loginview->view()->setHidden(false);
//
// "登录" sends the user name and password ("MemberLogin"); empty fields are
// refused with an alert before anything is sent. A reply whose "state" is not
// "failed" and that carries the member's record logs in: the overlay hides,
// the record is saved through Utils with "1", and the delegate (when one is
// set) hears rolesName("", true); isFrom still names the feature that asked.
// A refusal shows the reply's "message". "取消" (Canecllogin) hides the
// overlay and abandons a login in flight. While the keyboard is up (for one of
// its fields, or for the screen's own field when the overlay is shown over
// it), the box rises within the overlay so that "登录" and "取消" stay above
// the keyboard, and goes back when the keyboard goes down.
#pragma once

#include <memory>
#include <string>

#include "foundation/Notification.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/TextField.h"
#include "uikit/ViewController.h"

class LoginViewControllerDelegate {
public:
    virtual ~LoginViewControllerDelegate() = default;
    // rolesName:LoginState: — sent after a successful login with "" and YES.
    virtual void rolesName(const std::string& name, bool loginState) = 0;
};

class LoginViewController : public ui::ViewController, public PPClientDelegate, public ui::TextFieldDelegate {
public:
    std::shared_ptr<ui::View> loginBox;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::TextField> userField;
    std::shared_ptr<ui::TextField> passwordField;
    std::shared_ptr<ui::Button> loginButton;
    std::shared_ptr<ui::Button> cancelButton;
    std::shared_ptr<VoVaClient> pp;

    ~LoginViewController() override;
    void viewDidLoad() override;

    std::shared_ptr<LoginViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<LoginViewControllerDelegate> d) { delegate_ = std::move(d); }
    // The feature that asked for the login ("评论", "群众心声", "党建网格", ...).
    const std::string& isFrom() const { return isFrom_; }
    void setIsFrom(const std::string& from) { isFrom_ = from; }

    // True while a login request is outstanding.
    bool isLoggingIn() const { return loggingIn_; }

    // Actions.
    void login();
    void Canecllogin();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // ui::TextFieldDelegate: return moves to the password, then logs in.
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;

    static constexpr double kBoxWidth = 280;
    static constexpr double kBoxHeight = 220;
    static constexpr double kBoxTop = 120;    // in the overlay, at rest
    static constexpr double kBoxMargin = 10;  // kept above the keyboard, and below the overlay's top

private:
    void endLogin();
    void keyboardMoved(const ns::Notification& notification);

    std::weak_ptr<LoginViewControllerDelegate> delegate_;
    std::string isFrom_;
    bool loggingIn_ = false;
};
