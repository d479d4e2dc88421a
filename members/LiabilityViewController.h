// The entry of the supply-and-demand board: the disclaimer ("免责声明") kept
// in the service's configuration, and after "同意" the identity panel. A
// passed check opens the board's list and menu in a slide-menu container,
// handing on the member's user id and user type.
//
//   nav->pushViewController(ui::create<LiabilityViewController>(), true);
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>

#include "app/widgets/NavBarView.h"
#include "members/CheckView.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/ViewController.h"
#include "uikit/WebView.h"

class LiabilityViewController : public BaseScreen,
                                public PPClientDelegate,
                                public ui::WebViewDelegate,
                                public CheckViewDelegate {
public:
    void viewDidLoad() override;

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::WebView> mwebview;
    std::shared_ptr<CheckView> checkview;
    std::shared_ptr<ui::Button> backButton, agreeButton;

    void check();
    void CheckUser(const ns::Value& records) override;
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTitle = "免责声明";
};
