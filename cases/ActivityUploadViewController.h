// The form that reports an activity of a grid organisation: a subject, a
// text and photos. Each photo is stretched to 240 x 240, sent as Base64 JPEG
// right after it is picked, and its stored path collected; "确定" (after a
// confirmation) submits the activity with the paths joined by ",".
//
//   auto upload = ui::create<ActivityUploadViewController>();
//   upload->setActivID(orgId);
//   presentViewController(ui::create<ui::NavigationController>(upload), true);
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Alert.h"
#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/ScrollView.h"
#include "uikit/SystemStandIns.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"

class ActivityUploadViewController : public SystemViewController,
                                     public PPClientDelegate,
                                     public ui::TextFieldDelegate,
                                     public ui::TextViewDelegate,
                                     public ui::ActionSheetDelegate,
                                     public ui::ImagePickerControllerDelegate,
                                     public ui::AlertViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::string activID;  // sent as "org_id"
    void setActivID(const std::string& orgId) { activID = orgId; }

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::ScrollView> mscrview;
    std::shared_ptr<ui::TextField> titleFiel;
    std::shared_ptr<ui::TextView> condtentTextview;
    std::shared_ptr<ui::Button> photoButton;
    std::shared_ptr<ui::ImageView> headimagev;
    std::shared_ptr<ui::Button> sumitButton;
    std::shared_ptr<ui::View> glview;  // covers the screen while the activity is submitted
    std::string base64Str;
    std::vector<std::string> pathArray;  // stored photos, in the order their replies came
    std::string requestType;             // "上传图片" or "提交"

    // The image drawn stretched into a new bitmap of exactly that size (scale 1).
    static ui::ImagePtr imageWithImage(const ui::ImagePtr& image, ui::Size newSize);

    // "选择照片" and "确定".
    void uploadPhoto();
    void sumit();

    void back() override;

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    bool textView_shouldChangeTextInRange_replacementText(const std::shared_ptr<ui::TextView>& textView,
                                                          ns::Range range, const std::string& text) override;
    void actionSheet_clickedButtonAtIndex(const std::shared_ptr<ui::ActionSheet>& sheet, int buttonIndex) override;
    void imagePickerController_didFinishPickingMediaWithInfo(const std::shared_ptr<ui::ImagePickerController>& picker,
                                                             const ui::ImagePickerInfo& info) override;
    void imagePickerControllerDidCancel(const std::shared_ptr<ui::ImagePickerController>& picker) override;
    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;

    static constexpr const char* kTitle = "活动上传";
    static constexpr const char* kUploadPhoto = "上传图片";
    static constexpr const char* kSubmit = "提交";
    static constexpr int kConfirmTag = 5000;
    static constexpr double kPhotoSide = 240;
};
