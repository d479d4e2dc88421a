// "党代表详情": one party representative's page. At the top the photo, name,
// county, phone and number of messages; below, two tabs: the proposals
// ("提案", shown first) and the message board ("留言").
//
//   auto page = ui::create<PartyListViewController>();
//   page->partyuserID = id;
//   nav->pushViewController(page, true);
//
// The page loads the representative's record under the overlay, then the
// message list, and the list again on every "reloadMessage" the board
// posts while the page lives. Each answer is read for the request it
// answers: a list asked for while the record is loading is not taken for
// the record, nor the record for a list, and a list overtaken by a newer
// one is dropped. A list the service refuses leaves the board as it was,
// so a tap still reaches the message it shows.
#pragma once

#include <memory>
#include <string>

#include "app/framework/BaseScreen.h"
#include "app/widgets/NavBarView.h"
#include "foundation/Notification.h"
#include "foundation/Value.h"
#include "members/CommentsView.h"
#include "members/proposalView.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"

class PartyListViewController : public BaseScreen, public PPClientDelegate {
public:
    ~PartyListViewController() override;
    void viewDidLoad() override;

    // Set by the opener.
    std::string partyuserID;

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ImageView> headimagev;
    std::shared_ptr<ui::Label> nameLabel, orgLabel, phoneLabel, level_Label;
    std::shared_ptr<ui::Button> detailButton, Level_MsgButton;
    std::shared_ptr<ui::View> scrview;  // the underline of the chosen tab
    std::shared_ptr<proposalView> propview;
    std::shared_ptr<CommentsView> commentview;
    ns::Value proposalsArray = ns::Value::array();
    // The request sent last: "详情" (the record) or "评论列表" (the messages).
    std::string requestType;

    // The tabs' action.
    void ButtonManger(std::shared_ptr<ui::Button> sender);
    // "reloadMessage": the message list again, without the overlay.
    void reloadMessage(const ns::Notification&);

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kRecordRequest = "详情";
    static constexpr const char* kListRequest = "评论列表";

private:
    void requestMessages();
    void recordAnswered(const std::string& result);
    void listAnswered(const std::string& result);

    std::weak_ptr<NetWebServiceRequest> recordRequest_, listRequest_;
};
