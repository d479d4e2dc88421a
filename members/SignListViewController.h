// The daily sign-in calendar of the logged-in member: one month at a time as
// a grid of day numbers with the signed days ringed in red, the month's
// count, a button that signs in for today and the activity rules below.
//
//   auto screen = ui::create<SignListViewController>();
//   navigationController()->pushViewController(screen, true);
//
// Each month shown runs the chain GetSign -> GetUserConfig; a sign-in runs
// SubmitSign and, when it succeeded, the month chain again. Earlier months
// have no limit; later ones stop at the current month.
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>
#include <vector>

#include "app/widgets/NavBarView.h"
#include "members/SignDays.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/ViewController.h"
#include "uikit/WebView.h"

class SignListViewController : public BaseScreen,
                               public PPClientDelegate,
                               public ui::WebViewDelegate,
                               public SignCalendar {
public:
    void viewDidLoad() override;

    // Kinds of request kept in requestType.
    static constexpr const char* kRulesType = "活动规则";
    static constexpr const char* kSignedTitle = "已签到";

    std::shared_ptr<ui::Label> titleLabel;  // the month key on screen, also sent as year_month
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::WebView> mwebview;
    std::shared_ptr<ui::Button> signButton;  // "签到" or "已签到"
    std::shared_ptr<ui::ScrollView> mscrview;
    std::shared_ptr<ui::Button> upButton;    // "上一月"
    std::shared_ptr<ui::Button> nextButton;  // "下一月"

    // The month key: "2015-03".
    std::string monthKey() const;

    // ---- Actions ----
    void sign();
    void reloadDay();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;
    // ui::WebViewDelegate
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& webView) override;

protected:
    void requestMonth() override;

private:
    void signReplied(const std::string& result);
    void monthReplied(const std::string& result);
    void rulesReplied(const std::string& result);
};
