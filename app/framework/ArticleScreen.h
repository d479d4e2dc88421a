// The article page every module uses: the top bar with its back button, a
// body that scrolls from y 64 down to the bar at the foot (if any), and at
// the head of the body the title, the time line and a rule, laid out once
// the article's record has come ("GetArticleRecord" with article_id). The
// body is either an HTMLArticleView, which fades in with its pictures scaled
// to the page, or a plain web view that does not scroll itself; either is
// stretched to the body's height, so the page scrolls as one. A touched
// picture can cover the page until it is touched.
//
// A page is a subclass that says how it differs:
//
//   class LDYLDetailViewController : public ArticleScreen {
//       Page page() const override { return {.title = "领导言论", .picturesCover = false}; }
//   };
//   auto detail = ui::create<LDYLDetailViewController>();
//   detail->article_id = record["id"].text();      // before the view loads
//   navigationController()->pushViewController(detail, true);
//
// The request shows "加载中..." on the progress overlay; the reply closes it
// ("加载成功！" first where the page says so), a failure shows "加载失败！".
// A page that sends more than the article routes its replies and passes the
// article's on to articleReplied / articleFailed.
#pragma once

#include <memory>
#include <string>

#include "app/framework/SystemViewController.h"
#include "app/widgets/HTMLArticleView.h"
#include "app/widgets/NavBarView.h"
#include "foundation/Value.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/WebView.h"

class ArticleScreen : public SystemViewController,
                      public PPClientDelegate,
                      public HTMLArticleViewDelegate,
                      public ui::WebViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string article_id;

    // ---- Views ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
    std::shared_ptr<HTMLArticleView> HtmlView;  // the body of an HTML page
    std::shared_ptr<ui::WebView> mwebview;      // the body of a plain page
    std::shared_ptr<ui::ImageView> BigImagev;   // while a picture covers the page

    // A bar item calling back(); the hidden system bar never shows it.
    std::shared_ptr<ui::BarButtonItem> left();
    void disBigview();

    // PPClientDelegate: the article's reply.
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // HTMLArticleViewDelegate
    void htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& view, const ns::ErrorPtr& error) override;
    void htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& view, const std::string& imageUrl) override;
    void htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& view, const std::string& linkUrl) override;
    // WebViewDelegate (the plain body)
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& webView) override;

    static constexpr double kFadeDuration = 0.2;
    static constexpr float kResultDelay = 0.75f;
    static constexpr double kFootBarHeight = 64;

protected:
    struct Page {
        std::string title{};              // the screen's and the top bar's title
        bool htmlBody = true;           // HTMLArticleView, else a plain web view
        bool footBar = false;           // the body stops 64 points above the foot
        bool authorLine = false;        // "<author> <time>", else "时间: <time>"
        bool showsResult = true;        // "加载成功！" before the overlay closes
        bool keepsEmptyPage = false;    // a reply without a record fills nothing in
        const char* replyLog = "";      // a debug line with every reply ("" for none)
        const char* imageLog = "imageurl=%@";
        bool picturesCover = true;      // a touched picture covers the page
        bool linksCover = false;        // a touched link's address too, as a picture
    };
    virtual Page page() const = 0;

    // The record was shown: the heading is laid out and the body is loading.
    virtual void articleShown(const ns::Value& /*record*/) {}
    // The plain body was laid out down to `bottom`; returns where the page ends.
    virtual double plainBodyLaidOut(double bottom) { return bottom; }

    void articleReplied(const std::string& result);
    void articleFailed();
    void showPicture(const std::string& url);

private:
    void layoutHeading(const ns::Value& record);
    void layoutHtmlBody();
};
