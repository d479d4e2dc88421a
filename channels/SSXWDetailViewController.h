// One current-affairs article: its title, author and time, and its body in an
// HTMLArticleView that fades in and is sized to its content once laid out. A
// touched picture opens full screen. The bar at the bottom starts a comment
// (PublishedView above the keyboard, behind the login overlay when nobody is
// logged in) and opens the article's comment list ("查看评论").
//
//   auto detail = ui::create<SSXWDetailViewController>();
//   detail->article_id = record["id"].text();     // before the view loads
//   detail->islogin = islogin;
//   navigationController()->pushViewController(detail, true);
//
// The article and comment replies are told apart by the operation they answer,
// so an article reply that arrives after a comment was sent is still drawn.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/HTMLArticleView.h"
#include "app/shell/LoginViewController.h"
#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "channels/PublishedView.h"
#include "foundation/Notification.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TextField.h"

class SSXWDetailViewController : public SystemViewController,
                                 public PPClientDelegate,
                                 public ui::TextFieldDelegate,
                                 public HTMLArticleViewDelegate,
                                 public LoginViewControllerDelegate,
                                 public NavBarViewDelegate {
public:
    ~SSXWDetailViewController() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string article_id;
    bool islogin = false;  // kept; posting asks Utils::isLogin()

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
    std::shared_ptr<HTMLArticleView> HtmlView;
    std::shared_ptr<ui::TextField> commentFiled;
    std::shared_ptr<PublishedView> pubView;
    std::shared_ptr<LoginViewController> loginview;
    std::shared_ptr<ui::ImageView> BigImagev;  // while a picture is shown full screen
    // "pinglun" while a comment post is outstanding, else empty.
    std::string type;
    // The article's "title", "user_name", "add_time" and "channel_id"; empty
    // until its reply arrives.
    std::string titleStr;
    std::string user_name;
    std::string timeStr;
    std::string channel_id;

    // ---- Actions ----
    void showcomment();
    void disBigview();
    void PublishedContent();
    void keyboardWasShown(const ns::Notification& notification);
    // A bar item calling back(); the hidden system bar never shows it.
    std::shared_ptr<ui::BarButtonItem> left();

    // NavBarViewDelegate
    void back() override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // ui::TextFieldDelegate (both comment fields)
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    // HTMLArticleViewDelegate
    void htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& view, const ns::ErrorPtr& error) override;
    void htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& view, const std::string& imageUrl) override;
    void htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& view, const std::string& linkUrl) override;
    // LoginViewControllerDelegate
    void rolesName(const std::string& name, bool loginState) override;

    static constexpr double kFadeDuration = 0.2;
    static constexpr float kFailureDelay = 0.75f;

private:
    void articleReplied(const std::string& result);
    void commentReplied(const std::string& result);
    void layoutBody();
};
