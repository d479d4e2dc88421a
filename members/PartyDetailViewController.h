// "电商详情": one product of the supply-and-demand board, with its pictures,
// figures, a call to the seller and two tabs, the description ("详情") and
// the message board ("留言"). The board's posts come back as
// "reloadPartyMessage", on which the message list is fetched again.
//
//   auto detail = ui::create<PartyDetailViewController>();
//   detail->partyID = id; detail->userID = userID; detail->userType = userType;
//   nav->pushViewController(detail, true);
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "foundation/Notification.h"
#include "foundation/Value.h"
#include "members/PartyCommentView.h"
#include "service/VoVaClient.h"
#include "uikit/Alert.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/PageControl.h"
#include "uikit/ScrollView.h"
#include "uikit/ViewController.h"
#include "uikit/WebView.h"

class PartyDetailViewController : public BaseScreen,
                                  public PPClientDelegate,
                                  public ui::ScrollViewDelegate,
                                  public ui::WebViewDelegate,
                                  public ui::AlertViewDelegate {
public:
    ~PartyDetailViewController() override;
    void viewDidLoad() override;

    // ---- Set by the opener ----
    std::string partyID, userID, userType;

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::string requestType;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> rootScrview, mscrview;
    std::shared_ptr<ui::PageControl> _pageControl;
    ns::Value adv_list = ns::Value::array();
    std::shared_ptr<ui::Label> titleLabel, priceLabel, countLabel, clickNumLabel, lever_mesgLabel,
        product_addressLabel, tellLabel;
    std::shared_ptr<ui::Button> tellButton, detailButton, Level_MsgButton;
    std::shared_ptr<ui::View> scrview;  // the tab underline
    std::shared_ptr<ui::WebView> mwebview;
    float heigth = 0;
    std::string contact_phone;
    std::shared_ptr<PartyCommentView> partycommentview;

    void tell();
    void ButtonManger(const std::shared_ptr<ui::Button>& sender);
    void advertisingViewLoadingwidth(const ns::Value& albums);
    void reloadPartyMessage(const ns::Notification&);

    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;
    void webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& web) override;
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTitle = "电商详情";
    static constexpr const char* kDetailRequest = "详情";
    static constexpr const char* kCommentsRequest = "评论列表";
    static constexpr const char* kCallRequest = "拨打电话";

private:
    void requestComments();
    void detailTouched() { ButtonManger(detailButton); }
    void messagesTouched() { ButtonManger(Level_MsgButton); }
};
