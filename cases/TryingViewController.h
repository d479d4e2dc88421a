// The grid's incident registration form ("登记排查"): event type from the
// service's list, subject, place, time, person in charge, description and the
// urgent flag, sent with "SubmitEvent". The form stays open after a
// submission, cleared for the next entry (the urgent flag stays as it was).
#pragma once

#include "app/framework/FrontScreen.h"
#include "app/framework/BaseScreen.h"
#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/widgets/TimePickView.h"
#include "app/widgets/TypeView.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Label.h"
#include "uikit/ScrollView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"
#include "uikit/ViewController.h"

class TryingViewController : public FrontOf<BaseScreen>,
                             public PPClientDelegate,
                             public TypeViewDelegate,
                             public ui::TextFieldDelegate,
                             public ui::TextViewDelegate,
                             public TimePickViewDelegate {
public:
    void viewDidLoad() override;

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::ScrollView> mscrv;
    std::shared_ptr<ui::Label> typeLabel;
    std::shared_ptr<ui::TextField> titleField, addressField, timeField, peopleField;
    std::shared_ptr<ui::TextView> contentTextview;
    std::shared_ptr<ui::Button> tagButton;   // the urgent check button
    std::shared_ptr<ui::Button> submitButton;
    std::shared_ptr<TimePickView> timePicker;
    std::shared_ptr<TypeView> typeview;
    bool istag = false;    // the urgent flag sent as "tag"
    bool ispress = false;  // the check button's state
    std::string requestType;  // "事件类型" or "提交"
    ns::Value dataArray = ns::Value::array();  // the event types of the last list

    // ---- Actions ----
    void showType();
    void disview();
    void openMsg();
    void subit();

    // TypeViewDelegate
    void TypeContent(const std::string& text, long tag) override;
    // TimePickViewDelegate
    void datePickDone(const std::string& text) override;
    void datePickCancel() override;
    // Text input
    bool textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>&) override { return true; }
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>&) override;
    bool textViewShouldBeginEditing(const std::shared_ptr<ui::TextView>&) override;
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>&, ns::Range,
                                                          const std::string& text) override;
    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTitle = "登记排查";
    static constexpr const char* kEnumName = "EventType";
    static constexpr const char* kTypePanelTitle = "请选择事件类型";
    static constexpr const char* kSubmittedText = "提交成功！";
    static constexpr const char* kSubmitFailedText = "提交失败！";
    static constexpr const char* kTicked = "have_shangji.png";
    static constexpr const char* kUnticked = "no_shangji.png";

private:
    std::shared_ptr<ui::TextField> addField(double y, const std::string& caption, const std::string& placeholder);
    void addCaption(double y, const std::string& caption, double height = 30);
    void resignFields();

    // The type list request whose answer counts: the last one sent.
    std::weak_ptr<NetWebServiceRequest> typesRequest_;
};
