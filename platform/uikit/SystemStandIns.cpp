#include "uikit/SystemStandIns.h"

#include "foundation/Log.h"
#include "foundation/Notification.h"
#include "foundation/Strings.h"
#include "uikit/Application.h"
#include "uikit/Device.h"
#include "uikit/Keyboard.h"
#include "uikit/WebView.h"

namespace ui {

namespace {

struct StandInState {
    bool cameraAvailable = false;
    bool smsClassAvailable = true;
    bool canSendText = true;
    int picks = 0;
    std::vector<MessageComposeViewController::Record> messages;
    std::vector<std::string> calls;
};

StandInState& state() {
    static StandInState s;
    return s;
}

}  // namespace

// ---- Image picker ----

ImagePtr ImagePickerInfo::imageForKey(const std::string& key) const {
    auto it = images.find(key);
    return it == images.end() ? nullptr : it->second;
}

void ImagePickerControllerDelegate::imagePickerController_didFinishPickingMediaWithInfo(
    const std::shared_ptr<ImagePickerController>& picker, const ImagePickerInfo&) {
    if (picker) picker->dismissViewControllerAnimated(true);
}

void ImagePickerControllerDelegate::imagePickerControllerDidCancel(const std::shared_ptr<ImagePickerController>& picker) {
    if (picker) picker->dismissViewControllerAnimated(true);
}

void ImagePickerController::init() {
    NavigationController::init();
    setNavigationBarHidden(true);
}

bool ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType type) {
    return type != ImagePickerControllerSourceTypeCamera || state().cameraAvailable;
}

void ImagePickerController::setCameraAvailable(bool available) { state().cameraAvailable = available; }

void ImagePickerController::setSourceType(ImagePickerControllerSourceType type) {
    if (!isSourceTypeAvailable(type)) {
        ns::NSLog("UIImagePickerController: source type %d is not available", static_cast<int>(type));
        return;
    }
    sourceType_ = type;
}

void ImagePickerController::setDelegate(const std::shared_ptr<ImagePickerControllerDelegate>& d) {
    pickerDelegate_ = d;
    NavigationController::setDelegate(d);
}

void ImagePickerController::pickImage(const ImagePtr& image) {
    auto keep = sharedAs<ImagePickerController>();
    ImagePickerInfo info;
    info.images[UIImagePickerControllerOriginalImage] = image;
    if (allowsEditing_) info.images[UIImagePickerControllerEditedImage] = image;
    info.values.set(UIImagePickerControllerMediaType, ns::Value(kUTTypeImage));
    if (sourceType_ != ImagePickerControllerSourceTypeCamera) {
        int n = ++state().picks;
        info.values.set(UIImagePickerControllerReferenceURL,
                        ns::Value("assets-library://asset/asset.JPG?id=" + std::to_string(n) + "&ext=JPG"));
    }
    if (auto d = pickerDelegate()) {
        d->imagePickerController_didFinishPickingMediaWithInfo(keep, info);
    } else {
        dismissViewControllerAnimated(true);
    }
}

void ImagePickerController::cancel() {
    auto keep = sharedAs<ImagePickerController>();
    if (auto d = pickerDelegate()) {
        d->imagePickerControllerDidCancel(keep);
    } else {
        dismissViewControllerAnimated(true);
    }
}

// ---- Movie player ----

void MoviePlayerViewController::init(const std::string& contentURL) {
    ViewController::init();
    player_ = create<MoviePlayerController>(contentURL);
    player_->setControlStyle(MovieControlStyleFullscreen);
}

void MoviePlayerViewController::pressDone() {
    auto keep = shared_from_this();
    player_->stop();
    ns::NotificationCenter::defaultCenter().post(
        MPMoviePlayerPlaybackDidFinishNotification, player_.get(),
        ns::Value::dictionary({{MPMoviePlayerPlaybackDidFinishReasonUserInfoKey,
                                ns::Value(static_cast<int>(MovieFinishReasonUserExited))}}));
    dismissViewControllerAnimated(true);
}

// ---- SMS composer ----

void MessageComposeViewController::init() {
    NavigationController::init();
    setNavigationBarHidden(false);
}

bool MessageComposeViewController::isClassAvailable() { return state().smsClassAvailable; }
void MessageComposeViewController::setClassAvailable(bool available) { state().smsClassAvailable = available; }
bool MessageComposeViewController::canSendText() { return state().smsClassAvailable && state().canSendText; }
void MessageComposeViewController::setCanSendText(bool can) { state().canSendText = can; }

void MessageComposeViewController::finishWithResult(MessageComposeResult result) {
    auto keep = sharedAs<MessageComposeViewController>();
    state().messages.push_back(Record{recipients_, body_, result});
    if (auto d = messageComposeDelegate()) d->messageComposeViewController_didFinishWithResult(keep, result);
}

const std::vector<MessageComposeViewController::Record>& MessageComposeViewController::history() {
    return state().messages;
}

// ---- Dialler ----

void PhoneDialler::install() {
    auto dial = [](const std::string& url) {
        std::size_t colon = url.find(':');
        std::string number = colon == std::string::npos ? url : url.substr(colon + 1);
        if (number.rfind("//", 0) == 0) number = number.substr(2);
        state().calls.push_back(number);
        return true;
    };
    auto& app = Application::sharedApplication();
    app.registerURLScheme("tel", dial);
    app.registerURLScheme("telprompt", dial);
}

const std::vector<std::string>& PhoneDialler::calls() { return state().calls; }

void PhoneDialler::resetForTesting() { state().calls.clear(); }

void resetStandInsForTesting() {
    Keyboard::shared().resetForTesting();
    WebView::resetForTesting();
    Device::currentDevice().resetForTesting();
    state() = StandInState{};
}

}  // namespace ui
