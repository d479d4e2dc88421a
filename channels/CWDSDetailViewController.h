// One article of the party-school lists: the title in bold, the time line, a
// rule and the HTML body in a plain web view that does not scroll by itself.
// Each time a page finishes loading in the web view (the body, or a link
// followed inside it) the web view is stretched to the page's height and the
// outer scroll view scrolls the whole article as one.
//
//   auto detail = ui::create<CWDSDetailViewController>();
//   detail->article_id = record["id"].text();     // before the view loads
//   detail->titleStr = "理论学习";                  // the top bar's text
//   navigationController()->pushViewController(detail, true);
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/WebView.h"

class CWDSDetailViewController : public SystemViewController,
                                 public PPClientDelegate,
                                 public ui::WebViewDelegate,
                                 public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // Leaving before the article came closes the loading overlay.
    void viewWillDisappear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string article_id;
    std::string titleStr;

    // ---- Views ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
    std::shared_ptr<ui::WebView> mwebview;

    // A bar item calling back(); the hidden system bar never shows it.
    std::shared_ptr<ui::BarButtonItem> left();

    // NavBarViewDelegate
    void back() override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // WebViewDelegate
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& webView) override;

    static constexpr float kResultDelay = 0.75f;

private:
    bool loading_ = false;  // the article request is outstanding
};
