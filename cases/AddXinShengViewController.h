// The petition form: type (from the service), title, text, identity,
// organisation and the public flag; then the name and mobile box, and the
// petition goes with "SubmitGroupVoice". Presented modally in a navigation
// controller of its own; it closes itself.
#pragma once

#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/OrgViewController.h"
#include "app/widgets/TypeView.h"
#include "cases/UserMsgView.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"
#include "uikit/ViewController.h"

class AddXinShengViewController : public BaseScreen,
                                  public PPClientDelegate,
                                  public ui::TextFieldDelegate,
                                  public ui::TextViewDelegate,
                                  public TypeViewDelegate,
                                  public UserMsgViewDelegate,
                                  public OrgViewControllerDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::shared_ptr<VoVaClient> PP;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> mscrv;
    std::shared_ptr<ui::ImageView> typeChooser, identityChooser, orgChooser;
    std::shared_ptr<ui::Label> typeLabel;
    std::shared_ptr<ui::TextField> titleField;
    std::shared_ptr<ui::TextView> contentView;
    std::shared_ptr<ui::Label> label, labels;  // the placeholder lines in contentView
    std::shared_ptr<ui::Label> identityLabel;
    std::shared_ptr<ui::Label> institutionsLabel;
    std::shared_ptr<ui::Button> OpenBt, CloseBt;
    std::shared_ptr<ui::Button> submitButton;
    bool is_open = false;
    std::shared_ptr<TypeView> typeview;
    std::shared_ptr<ui::View> glview;
    std::shared_ptr<UserMsgView> userMsgview;
    std::string requestType;  // "建议类型", "用户身份" or "提交"
    ns::Value typeArray = ns::Value::array();
    ns::Value channel_idArray = ns::Value::array();
    ns::Value category_idArray = ns::Value::array();
    bool ispress = false;
    std::string channel_id, category_id, user_type, org_id;

    void back() override;
    void showType();
    void showIdentity();
    void selectOrg();
    void openMsg();
    void closeMsg();
    void subit();
    void disview();

    void TypeContent(const std::string& text, long tag) override;
    void orgName(const ns::Value& name, const ns::Value& orgId) override;
    void determineMsg(const std::string& name, const std::string& phone) override;

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    bool textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    bool textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>& textView) override;
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& textView, ns::Range range,
                                                          const std::string& text) override;

    static constexpr const char* kTitle = "群众心声";
    static constexpr const char* kTypeRequest = "建议类型";
    static constexpr const char* kIdentityRequest = "用户身份";
    static constexpr const char* kSubmitRequest = "提交";
    static constexpr const char* kChosenMark = "have_shangji.png";
    static constexpr const char* kOtherMark = "no_shangji.png";

private:
    void typesReplied(const std::string& result);
    void submissionReplied(const std::string& result);

    // The type list request whose answer counts: the last one sent.
    std::weak_ptr<NetWebServiceRequest> typesRequest_;
};
