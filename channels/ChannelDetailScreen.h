// An article of a current-affairs channel: its title, time line, a rule and
// the body in an HTMLArticleView that fades in and is sized to its content
// once laid out, all in one scroll view that reaches the bottom of the
// screen. No comments. Each channel's screen differs in its title, in the
// overlay after a good reply and in what a touch on a picture or a link in
// the body does.
//
//   auto detail = ui::create<VLDTDetailViewController>();
//   detail->article_id = record["id"].text();     // before the view loads
//   navigationController()->pushViewController(detail, true);
#pragma once

#include <memory>
#include <string>

#include "app/widgets/HTMLArticleView.h"
#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"

class ChannelDetailScreen : public SystemViewController,
                            public PPClientDelegate,
                            public HTMLArticleViewDelegate,
                            public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // Leaving before the article came closes the loading overlay.
    void viewWillDisappear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string article_id;

    // ---- Views ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
    std::shared_ptr<HTMLArticleView> HtmlView;
    std::shared_ptr<ui::ImageView> BigImagev;  // while a picture covers the page

    void disBigview();
    // A bar item calling back(); the hidden system bar never shows it.
    std::shared_ptr<ui::BarButtonItem> left();

    // NavBarViewDelegate
    void back() override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // HTMLArticleViewDelegate
    void htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& view, const ns::ErrorPtr& error) override;
    void htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& view, const std::string& imageUrl) override;
    void htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& view, const std::string& linkUrl) override;

    static constexpr double kFadeDuration = 0.2;
    static constexpr float kResultDelay = 0.75f;

protected:
    struct Behaviour {
        const char* title = "";
        bool showsResult = true;            // "加载成功！" before the overlay closes
        const char* imageLog = "imageurl=%@";
        bool imageShowsPicture = true;      // a touched picture covers the page
        bool linkShowsPicture = false;      // a touched link's address too, as a picture
    };
    virtual Behaviour behaviour() const = 0;

private:
    bool loading_ = false;  // the article request is outstanding
    void showPicture(const std::string& url);
    void layoutBody();
};

// "Velmarsh动态": pictures open over the page; links are only logged.
class VLDTDetailViewController : public ChannelDetailScreen {
protected:
    Behaviour behaviour() const override { return {.title = "Velmarsh动态"}; }
};

// "领导言论": pictures and links are only logged.
class LDYLDetailViewController : public ChannelDetailScreen {
protected:
    Behaviour behaviour() const override { return {.title = "领导言论", .imageShowsPicture = false}; }
};

// "干部任免": no result text on the overlay; pictures, and the addresses of
// touched links, open over the page as pictures.
class GBRMDetailViewController : public ChannelDetailScreen {
protected:
    Behaviour behaviour() const override {
        return {.title = "干部任免", .showsResult = false, .imageLog = "网址imageurl=%@", .linkShowsPicture = true};
    }
};
