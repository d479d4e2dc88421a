// Commenting on an article, as the article pages and the comment list do it.
//
// CommentedArticleScreen is an article page with the comment bar at its foot:
// the field ("我来说两句 ...") and "查看评论", which opens the article's
// comment list. Touching the field brings up the input bar (PublishedView)
// just above the keyboard with the focus, the article ending above it, and it
// goes (keeping its text) when the keyboard goes; "发表" posts the typed text as the
// logged-in member, or shows the login overlay when nobody is logged in. The
// article and comment replies are told apart by the operation they answer,
// so an article that arrives after a comment was sent is still drawn, and
// the typed text goes only once the comment is in.
//
// The helpers below build the parts the comment list shares with it.
#pragma once

#include <memory>
#include <string>

#include "app/framework/ArticleScreen.h"
#include "app/shell/LoginViewController.h"
#include "channels/PublishedView.h"
#include "foundation/Notification.h"
#include "foundation/SharedText.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/TextField.h"
#include "uikit/ViewController.h"

namespace commentbar {

// A comment field: grey border, rounded, 14-point text, the placeholder.
std::shared_ptr<ui::TextField> makeField(const ui::Rect& frame, const std::shared_ptr<ui::TextFieldDelegate>& delegate);
// A button with a red rounded border and a black 12-point title.
std::shared_ptr<ui::Button> makeButton(const ui::Rect& frame, const std::string& title);
// The login overlay over the host's view below the top bar, hidden, asking
// for "评论".
std::shared_ptr<LoginViewController> addLoginOverlay(ui::ViewController& host,
                                                     const std::weak_ptr<LoginViewControllerDelegate>& delegate);
// A login from the overlay: it hides, and the session may comment ("LoginState").
void loggedIn(LoginViewController& overlay);
// Sends the comment as the logged-in member under "评论中...".
void post(BaseScreen& host, VoVaClient& client, const std::string& content, const std::string& articleId,
          const std::string& channelId);

}  // namespace commentbar

class CommentedArticleScreen : public ArticleScreen,
                               public ui::TextFieldDelegate,
                               public LoginViewControllerDelegate {
public:
    ~CommentedArticleScreen() override;
    void viewDidLoad() override;

    bool islogin = false;  // kept; posting asks Utils::isLogin()

    std::shared_ptr<ui::TextField> commentFiled;
    std::shared_ptr<PublishedView> pubView;
    std::shared_ptr<LoginViewController> loginview;
    // "pinglun" while a comment post is outstanding, else empty.
    std::string type;
    // The article's "title", "user_name", "add_time" and "channel_id"; empty
    // until its reply arrives. The title is the reply's own string (a title
    // may be megabytes).
    ns::SharedText titleStr;
    std::string user_name;
    std::string timeStr;
    std::string channel_id;

    void showcomment();
    void PublishedContent();
    void keyboardWasShown(const ns::Notification& notification);
    void keyboardWasHidden(const ns::Notification& notification);

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // ui::TextFieldDelegate (both comment fields)
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    // LoginViewControllerDelegate
    void rolesName(const std::string& name, bool loginState) override;

protected:
    void articleShown(const ns::Value& record) override;

private:
    void commentReplied(const std::string& result);

    ui::Rect articleFrame_;  // the article's area while the keyboard is down
};
