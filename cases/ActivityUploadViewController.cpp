#include "cases/ActivityUploadViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/shell/Photo.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "foundation/Log.h"
#include "uikit/BitmapContext.h"
#include "uikit/Font.h"
#include "uikit/Image.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kAttachOperation = "SubmitAttach";
constexpr const char* kActivityOperation = "SubmitOrgActivity";

std::shared_ptr<ui::Label> caption(const ui::Rect& frame, const std::string& text) {
    auto label = ui::create<ui::Label>(frame);
    label->setFont(ui::Font::systemFontOfSize(12));
    label->setBackgroundColor(ui::Color::clearColor());
    label->setTextAlignment(ui::TextAlignmentRight);
    label->setText(text);
    return label;
}

std::shared_ptr<ui::Button> formButton(const ui::Rect& frame, const std::string& title, const std::string& image) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(frame);
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(ui::Color::whiteColor(), ui::ControlStateNormal);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    button->setBackgroundImage(ui::Image::imageNamed(image), ui::ControlStateNormal);
    return button;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += separator;
        out += parts[i];
    }
    return out;
}

}  // namespace

void ActivityUploadViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    setTitle(kTitle);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    pathArray.clear();
    const double w = root->frame().size.width;
    const double h = root->frame().size.height;

    naview = makeBackNavBar(*this, kTitle);

    mscrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 64});
    mscrview->setUserInteractionEnabled(true);
    root->addSubview(mscrview);

    mscrview->addSubview(caption(ui::Rect{0, 5, 70, 30}, "主题:"));
    titleFiel = ui::create<ui::TextField>(ui::Rect{70, 5, 200, 30});
    titleFiel->setFont(ui::Font::systemFontOfSize(12));
    titleFiel->layer().setBorderWidth(1);
    titleFiel->layer().setBorderColor(ui::Color::lightGrayColor());
    titleFiel->setDelegate(sharedAs<ui::TextFieldDelegate>());
    mscrview->addSubview(titleFiel);

    mscrview->addSubview(caption(ui::Rect{0, 45, 70, 30}, "活动内容:"));
    condtentTextview = ui::create<ui::TextView>(ui::Rect{70, 45, 200, 70});
    condtentTextview->setFont(ui::Font::systemFontOfSize(12));
    condtentTextview->layer().setBorderWidth(1);
    condtentTextview->layer().setBorderColor(ui::Color::lightGrayColor());
    condtentTextview->setDelegate(sharedAs<ui::TextViewDelegate>());
    mscrview->addSubview(condtentTextview);

    photoButton = formButton(ui::Rect{70, 120, 70, 30}, "选择照片", "cancelupdata.png");
    photoButton->addTarget(this, &ActivityUploadViewController::uploadPhoto, ui::ControlEventTouchUpInside);
    mscrview->addSubview(photoButton);

    headimagev = ui::create<ui::ImageView>(ui::Rect{(w - kPhotoSide) / 2, 155, kPhotoSide, kPhotoSide});
    headimagev->setHidden(true);
    mscrview->addSubview(headimagev);

    sumitButton = formButton(ui::Rect{20, 155, w - 40, 40}, "确定", "navbar.png");
    sumitButton->addTarget(this, &ActivityUploadViewController::sumit, ui::ControlEventTouchUpInside);
    mscrview->addSubview(sumitButton);

    glview = ui::create<ui::View>(ui::Rect{0, 0, w, h});
    glview->setBackgroundColor(ui::Color::colorWithWhite(0, 0.6));
    glview->setUserInteractionEnabled(true);
    glview->setHidden(true);
    root->addSubview(glview);
}

void ActivityUploadViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

void ActivityUploadViewController::back() { dismissViewControllerAnimated(true); }

ui::ImagePtr ActivityUploadViewController::imageWithImage(const ui::ImagePtr& image, ui::Size newSize) {
    ui::GraphicsBeginImageContextWithOptions(newSize, false, 1.0);
    if (image) image->drawInRect(ui::Rect{0, 0, newSize.width, newSize.height});
    ui::ImagePtr scaled = ui::GraphicsGetImageFromCurrentImageContext();
    ui::GraphicsEndImageContext();
    return scaled;
}

// ---- Keyboard ----

bool ActivityUploadViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) {
    if (field) field->resignFirstResponder();
    return true;
}

bool ActivityUploadViewController::textView_shouldChangeTextInRange_replacementText(
    const std::shared_ptr<ui::TextView>& textView, ns::Range, const std::string& text) {
    if (text == "\n") {
        if (textView) textView->resignFirstResponder();
        return false;
    }
    return true;
}

// ---- Photos ----

void ActivityUploadViewController::uploadPhoto() {
    view()->endEditing(true);
    auto sheet = ui::create<ui::ActionSheet>("请选择照片", sharedAs<ui::ActionSheetDelegate>(), "取消", "相机",
                                             std::vector<std::string>{"相册"});
    sheet->showInView(mscrview);
}

void ActivityUploadViewController::actionSheet_clickedButtonAtIndex(const std::shared_ptr<ui::ActionSheet>&,
                                                                    int buttonIndex) {
    if (buttonIndex == 0) {
        if (!ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceTypeCamera)) {
            ui::create<ui::AlertView>("Error", "你没有摄像头", nullptr, "确定")->show();
            return;
        }
        auto picker = ui::create<ui::ImagePickerController>();
        picker->setSourceType(ui::ImagePickerControllerSourceTypeCamera);
        picker->setDelegate(sharedAs<ui::ImagePickerControllerDelegate>());
        presentViewController(picker, true);
    } else if (buttonIndex == 1) {
        auto picker = ui::create<ui::ImagePickerController>();
        picker->setSourceType(ui::ImagePickerControllerSourceTypePhotoLibrary);
        picker->setModalTransitionStyle(ui::ModalTransitionStyleCoverVertical);
        picker->setDelegate(sharedAs<ui::ImagePickerControllerDelegate>());
        presentViewController(picker, true);
    }
}

void ActivityUploadViewController::imagePickerController_didFinishPickingMediaWithInfo(
    const std::shared_ptr<ui::ImagePickerController>& picker, const ui::ImagePickerInfo& info) {
    const ns::Value mediaType = info.objectForKey(ui::UIImagePickerControllerMediaType);
    ns::NSLog("mediaType===%@", mediaType);
    ns::NSLog("ImageUrl====%@    mediaType==%@", info.objectForKey(ui::UIImagePickerControllerReferenceURL),
              mediaType);
    ui::ImagePtr picked = info.imageForKey(ui::UIImagePickerControllerOriginalImage);
    if (picked) {
        const double w = view()->frame().size.width;
        ui::ImagePtr scaled = imageWithImage(picked, ui::Size{kPhotoSide, kPhotoSide});
        headimagev->setImage(scaled);
        headimagev->setHidden(false);
        const ui::Rect preview = headimagev->frame();
        sumitButton->setFrame(ui::Rect{20, preview.origin.y + preview.size.height + 10, w - 40, 40});
        const ui::Rect button = sumitButton->frame();
        mscrview->setContentSize(ui::Size{w, button.origin.y + button.size.height + 20});

        base64Str = Photo::image2String(scaled);
        requestType = kUploadPhoto;
        showProgress("上传中...");
        pp->SubmitAttach(base64Str);
    }
    if (picker) picker->dismissViewControllerAnimated(true);
}

void ActivityUploadViewController::imagePickerControllerDidCancel(
    const std::shared_ptr<ui::ImagePickerController>& picker) {
    if (picker) picker->dismissViewControllerAnimated(true);
}

// ---- Submission ----

void ActivityUploadViewController::sumit() {
    if (!Utils::allFilled({{titleFiel->text(), "请输入主题"}, {condtentTextview->text(), "请输入内容"}})) return;
    auto ask = ui::create<ui::AlertView>("温馨提示", "是否上传？上传后该内容将不能进行修改或删除!",
                                         sharedAs<ui::AlertViewDelegate>(), "取消", std::vector<std::string>{"上传"});
    ask->setTag(kConfirmTag);
    ask->show();
}

void ActivityUploadViewController::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert,
                                                                  int buttonIndex) {
    if (!alert || alert->tag() != kConfirmTag || buttonIndex != 1) return;
    requestType = kSubmit;
    view()->endEditing(true);
    glview->setHidden(false);
    pp->SubmitOrgActivity(activID, titleFiel->text(), condtentTextview->text(), joined(pathArray, ","),
                          records::text(Utils::getMember()->member_id));
}

// ---- Replies ----

void ActivityUploadViewController::GetWebServerContent_success(const std::string& result) {
    const std::string& operation = pp->replyOperation();
    ns::NSLog("reaponse==%@", result);
    if (operation == kAttachOperation) {
        ProgressHUD::dismiss();
        const ns::Value reply = records::parse(result);
        const std::string path = records::text(reply, "file_path");
        // A photo counts as stored only with the path the server gave it.
        if (records::state(reply) == "failed" || path.empty()) {
            Utils::showAlert("上传失败");
            return;
        }
        pathArray.push_back(path);
        Utils::showAlert("上传成功");
    } else if (operation == kActivityOperation) {
        ProgressHUD::dismiss();
        const ns::Value reply = records::parse(result);
        glview->setHidden(true);
        if (!records::succeeded(reply)) {
            const std::string message = records::message(reply);
            Utils::showAlert(message.empty() ? "上传活动失败" : message);
            return;
        }
        Utils::showAlert("上传活动成功");
        titleFiel->setText("");
        condtentTextview->setText("");
        back();
    }
}

void ActivityUploadViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    ProgressHUD::dismiss();
    if (pp->replyOperation() == kActivityOperation) glview->setHidden(true);
}
