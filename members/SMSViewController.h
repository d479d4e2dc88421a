// 短信平台: an official sends a text message through the service to a list of
// mobile numbers. Two greetings send only their type and the numbers; the
// general message ("一般短信") also sends a subject and a content. Recipients
// come from the organisation-tree picker or are typed in one by one.
//
//   auto sms = ui::create<SMSViewController>();
//   navigationController()->pushViewController(sms, true);
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "app/widgets/TypeView.h"
#include "foundation/Value.h"
#include "members/OrganizeTreeView.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Label.h"
#include "uikit/SystemStandIns.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"

class SMSViewController : public SystemViewController,
                          public PPClientDelegate,
                          public ui::TextFieldDelegate,
                          public ui::TextViewDelegate,
                          public ui::MessageComposeViewControllerDelegate,
                          public OrganizeTreeViewDelegate,
                          public TypeViewDelegate {
public:
    void viewDidLoad() override;

    static constexpr const char* kGeneralType = "一般短信";

    std::shared_ptr<VoVaClient> pp;
    ns::Value mobileArray = ns::Value::array();
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Label> label11, typeLabel;
    std::shared_ptr<ui::Label> label2;
    std::shared_ptr<ui::TextField> titleFiel;
    std::shared_ptr<ui::Label> label3;
    std::shared_ptr<ui::TextView> condtentTextview;
    std::shared_ptr<ui::TextField> phoneField;
    std::shared_ptr<ui::Button> addBt;
    std::shared_ptr<ui::Label> label4;
    std::shared_ptr<ui::Button> bookBt;
    std::shared_ptr<ui::Label> label5;
    std::shared_ptr<ui::TextView> phonetextview;  // the number list that is sent
    std::shared_ptr<ui::Button> sendBt;
    std::shared_ptr<ui::View> glview;
    std::shared_ptr<OrganizeTreeView> trview;
    std::shared_ptr<TypeView> typeview;
    ns::Value typeArray = ns::Value::array();
    ns::Value typeIDArray = ns::Value::array();
    std::string typeID;

    // ---- Actions ----
    void showtype();
    void addBook();
    void addphone();
    void senderMessage();
    // The local composer, which no control of the screen opens.
    void showSMSPicker();
    void displaySMSComposerSheet();

    // TypeViewDelegate
    void TypeContent(const std::string& text, long tag) override;
    // OrganizeTreeViewDelegate
    void phoneArray(const ns::Value& members) override;
    // ui::TextFieldDelegate
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    // ui::TextViewDelegate
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& view, ns::Range range,
                                                          const std::string& text) override;
    // ui::MessageComposeViewControllerDelegate
    void messageComposeViewController_didFinishWithResult(const std::shared_ptr<ui::MessageComposeViewController>& c,
                                                          ui::MessageComposeResult result) override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

private:
    void applyLayout(bool general);
    void typeTapped(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    static std::string numbers(const ns::Value& records);
    void gather(const ns::Value& recipients);
};
