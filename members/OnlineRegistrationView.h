// 网上登记: the registration form of the members' homes, the third tab of
// MobilePartyViewController (type "2") and QuorvelPartViewController (type
// "3"). Name, age, sex, ethnicity, the date of joining the party (a date
// picker in place of the keyboard), phone, native place (the province and
// city sheet; cancelling it empties the place), the current unit (the
// organisation picker, pushed on the home's navigation controller; only the
// two homes' types open it) and the speciality.
//
//   regview = ui::create<OnlineRegistrationView>(ui::Rect{0, 104, w, h - 104});
//   regview->setType("2");
//
// "提交" checks the entries in order (name, age, ethnicity, date, phone,
// native place, organisation), each with its own message, then sends
// "SubmitOnlineReg" under "登记中...". The reply's message is shown; only a
// registration the service took empties the form (sex and organisation id
// stay), so a refused one can be corrected and sent again.
#pragma once

#include <memory>
#include <string>

#include "app/framework/OrgViewController.h"
#include "app/widgets/CityLocateView.h"
#include "app/widgets/CusDatePickView.h"
#include "members/RegistrationForm.h"
#include "service/VoVaClient.h"
#include "uikit/Alert.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"
#include "uikit/View.h"

class OnlineRegistrationView : public ui::View,
                               public PPClientDelegate,
                               public ui::TextFieldDelegate,
                               public ui::TextViewDelegate,
                               public CusDatePickViewDelegate,
                               public ui::ActionSheetDelegate,
                               public OrgViewControllerDelegate {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    const std::string& type() const { return type_; }
    void setType(const std::string& t) { type_ = t; }

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> mscrview;
    std::shared_ptr<ui::TextField> nameField, ageField, nationalField, JonPartyField, phoneField;
    std::shared_ptr<ui::Button> boyBt, girlBt;
    std::shared_ptr<CusDatePickView> datePicker;  // JonPartyField's input view
    std::shared_ptr<ui::Label> jiguan_Label;      // "province-city"
    std::shared_ptr<ui::Label> xianLabel;         // the organisation's name
    std::shared_ptr<ui::TextView> specialtyTextview;
    std::shared_ptr<ui::Button> submitButton;
    std::string sex = "男";
    std::string org_id;
    std::string requestType;  // "登记"

    // ---- Actions ----
    void subit();
    void boybutton();
    void girlbutton();
    void showJiGuan();
    void showXian();

    // ---- Pickers ----
    void datePickDone(const std::string& text) override;
    void datePickCancel() override;
    void actionSheet_clickedButtonAtIndex(const std::shared_ptr<ui::ActionSheet>& sheet, int index) override;
    void orgName(const ns::Value& name, const ns::Value& orgId) override;

    // ---- Keys ----
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    bool textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>& view) override;
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& view, ns::Range range,
                                                          const std::string& text) override;

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kRequestType = "登记";

private:
    void emptyEntries();

    std::string type_;
    regform::SexButtons sexButtons_;
};
