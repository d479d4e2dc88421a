// The regional party-building articles: the record under a top bar with the
// channel's fixed title, the article's title in bold, the time line, a thin
// rule and the HTML body in a plain web view that does not scroll itself and
// is stretched to the body's height, so the page scrolls as one.
//
//   auto detail = ui::create<ZGYWDetailViewController>();
//   detail->article_id = record["id"].text();
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

class RegionalDetailViewController : public SystemViewController,
                                     public PPClientDelegate,
                                     public ui::WebViewDelegate,
                                     public NavBarViewDelegate {
public:
    void viewDidLoad() override;

    // ---- Set by the opener before the view loads ----
    std::string article_id;

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> msrview;
    std::shared_ptr<ui::Label> titleLabel;
    std::shared_ptr<ui::Label> timeLabel;
    std::shared_ptr<ui::View> line;
    std::shared_ptr<ui::WebView> mwebview;

    // A bar item calling back(); the hidden system bar never shows it.
    std::shared_ptr<ui::BarButtonItem> left();

    void back() override;
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& webView) override;

    static constexpr float kResultDelay = 0.75f;

protected:
    // The top bar's title.
    virtual const char* fixedTitle() const = 0;
};

class QZLXDetailViewController : public RegionalDetailViewController {
protected:
    const char* fixedTitle() const override { return "群众路线"; }
};

class ZGYWDetailViewController : public RegionalDetailViewController {
protected:
    const char* fixedTitle() const override { return "组工要闻"; }
};

class JCDTDetailViewController : public RegionalDetailViewController {
protected:
    const char* fixedTitle() const override { return "基层动态"; }
};

class XJDXDetailViewController : public RegionalDetailViewController {
protected:
    const char* fixedTitle() const override { return "先进典型"; }
};
