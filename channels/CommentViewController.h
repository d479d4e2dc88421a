// The comments on one article, newest first, ten to a page, under a header
// that repeats the article's title, author and time and counts the comments
// loaded so far ("最新评论(%lu条)"). A bar at the bottom posts a comment
// without leaving the list; after a comment is in, the list starts again at
// page 1.
//
//   auto list = ui::create<CommentViewController>();
//   list->article_id = article_id;       // required
//   list->titleStr = titleStr;           // the header
//   list->user_name = user_name;
//   list->timeStr = timeStr;
//   list->channel_id = channel_id;       // sent back with a comment
//   navigationController()->pushViewController(list, true);
//
// Posting asks for the login overlay while the session's "LoginState" is not
// set (a login begun from a comment screen sets it).
//
// While the keyboard is up for the comment field, the bar stands 6 points
// above it and the list ends at the bar; when the keyboard goes down, however
// it went, the bar is back at the bottom under the whole list.
#pragma once

#include <memory>
#include <string>

#include "app/shell/LoginViewController.h"
#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "channels/CommentView.h"
#include "app/framework/PagedList.h"
#include "foundation/Notification.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/TableView.h"
#include "uikit/TextField.h"

class CommentViewController : public SystemViewController,
                              public PPClientDelegate,
                              public ui::TextFieldDelegate,
                              public LoginViewControllerDelegate {
public:
    ~CommentViewController() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string article_id;
    ns::SharedText titleStr;  // the article's, shared
    std::string user_name;
    std::string timeStr;
    std::string channel_id;

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the pages, the rows and the pull views
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<CommentView> commentview;
    std::shared_ptr<ui::View> NewcommentView;
    std::shared_ptr<ui::TextField> commentFiled;
    std::shared_ptr<LoginViewController> loginview;
    // "pinglun" while a comment post is outstanding, else empty.
    std::string type;

    // ---- Actions ----
    void comment();
    void keyboardWasShown(const ns::Notification& notification);
    void keyboardWasHidden(const ns::Notification& notification);
    // A bar item calling back(); the screen does not place it.
    std::shared_ptr<ui::BarButtonItem> left();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // ui::TextFieldDelegate
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    // LoginViewControllerDelegate
    void rolesName(const std::string& name, bool loginState) override;

    static constexpr double kBarHeight = 44;

private:
    void commentReplied(const std::string& result);
    // The input bar at that height, the list above it.
    void placeBar(double y);
    void showCount();
};
