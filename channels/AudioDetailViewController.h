// One item of the audio and video lessons: its title, author and time, its
// HTML body in a plain web view stretched to the body's height, and its
// attachments listed under the body. An attachment opens by its extension:
// "jpg"/"png" as a picture, "mp3"/"mp4" in the movie player, anything else as
// a web page. The comment bar at the bottom works as on the articles.
//
//   auto detail = ui::create<AudioDetailViewController>();
//   detail->article_id = record["id"].text();
//   detail->navTitle = "微电影";
//   navigationController()->pushViewController(detail, true);
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
#include "uikit/TableView.h"
#include "uikit/TextField.h"
#include "uikit/WebView.h"

class AudioDetailViewController : public SystemViewController,
                                  public PPClientDelegate,
                                  public ui::WebViewDelegate,
                                  public ui::TextFieldDelegate,
                                  public LoginViewControllerDelegate,
                                  public NavBarViewDelegate,
                                  public ui::TableViewDataSource,
                                  public ui::TableViewDelegate,
                                  public HTMLArticleViewDelegate {
public:
    ~AudioDetailViewController() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string article_id;
    std::string navTitle;
    bool islogin = false;  // kept

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
    std::shared_ptr<ui::WebView> mwebview;
    std::shared_ptr<ui::TableView> mtableview;  // the attachments
    std::shared_ptr<ui::TextField> commentFiled;
    std::shared_ptr<PublishedView> pubView;
    std::shared_ptr<LoginViewController> loginview;
    std::shared_ptr<ui::ImageView> BigImagev;
    ns::Value mdataArray = ns::Value::array();  // the attachment records
    // "pinglun" while a comment post is outstanding, else empty.
    std::string type;
    // The item's "title", "user_name", "add_time" and "channel_id".
    std::string titleStr;
    std::string user_name;
    std::string timeStr;
    std::string channel_id;

    // ---- Actions ----
    void showcomment();
    void disBigview();
    void PublishedContent();
    void keyboardWasShown(const ns::Notification& notification);
    std::shared_ptr<ui::BarButtonItem> left();

    // NavBarViewDelegate
    void back() override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // WebViewDelegate
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& webView) override;
    // TextFieldDelegate
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    // LoginViewControllerDelegate
    void rolesName(const std::string& name, bool loginState) override;
    // The attachments
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return kAttachmentRowHeight;
    }
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                           const ui::IndexPath& ip) override;
    // HTMLArticleViewDelegate (the plain body never sends these)
    void htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& view, const std::string& imageUrl) override;
    void htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& view, const std::string& linkUrl) override;

    static constexpr double kAttachmentRowHeight = 40;
    static constexpr float kFailureDelay = 0.75f;

private:
    void itemReplied(const std::string& result);
    void commentReplied(const std::string& result);
    void openAttachment(const ns::Value& attachment);
};

// A picture attachment under a top bar titled "附件详情".
class ShowPictureViewController : public SystemViewController, public NavBarViewDelegate {
public:
    void viewDidLoad() override;

    std::string picPath;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ImageView> imageView;

    void back() override;
};

inline constexpr const char* kAttachmentTitle = "附件详情";
