// Stand-ins for the system's camera and photo picker, movie player, SMS
// composer and phone dialler. Nothing is photographed, played, sent or
// dialled here: each records what the program asked for, and tests (or the
// window host) play the user's part.
//
//   if (!ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceTypeCamera)) ...
//   auto picker = ui::create<ui::ImagePickerController>();
//   picker->setSourceType(ui::ImagePickerControllerSourceTypePhotoLibrary);
//   picker->setDelegate(sharedAs<ui::ImagePickerControllerDelegate>());
//   presentViewController(picker, true);
//   // a test: picker->pickImage(photo) or picker->cancel()
//
//   auto movie = ui::create<ui::MoviePlayerViewController>(url);
//   movie->moviePlayer()->setScalingMode(ui::MovieScalingModeFill);
//   movie->moviePlayer()->play();
//   // a test: movie->pressDone()
//
//   auto sms = ui::create<ui::MessageComposeViewController>();
//   sms->setRecipients({numbers});
//   sms->setMessageComposeDelegate(sharedAs<ui::MessageComposeViewControllerDelegate>());
//   // a test: sms->finishWithResult(ui::MessageComposeResultSent)
//
//   ui::PhoneDialler::install();                       // at launch: "tel" and "telprompt" open
//   app.openURL("telprompt://13800000000");            // recorded in PhoneDialler::calls()
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"
#include "uikit/ViewController.h"

namespace ui {

// ---- Image picker ----

class ImagePickerController;

enum ImagePickerControllerSourceType {
    ImagePickerControllerSourceTypePhotoLibrary = 0,
    ImagePickerControllerSourceTypeCamera = 1,
    ImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};

inline constexpr const char* UIImagePickerControllerMediaType = "UIImagePickerControllerMediaType";
inline constexpr const char* UIImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
inline constexpr const char* UIImagePickerControllerEditedImage = "UIImagePickerControllerEditedImage";
inline constexpr const char* UIImagePickerControllerReferenceURL = "UIImagePickerControllerReferenceURL";
inline constexpr const char* kUTTypeImage = "public.image";

// The info dictionary of a pick: pictures and texts by key.
struct ImagePickerInfo {
    std::map<std::string, ImagePtr> images;
    ns::Value values = ns::Value::dictionary();
    ImagePtr imageForKey(const std::string& key) const;
    ns::Value objectForKey(const std::string& key) const { return values[key]; }
};

class ImagePickerControllerDelegate : public NavigationControllerDelegate {
public:
    // Not overridden: the picker dismisses itself, as the platform's does.
    virtual void imagePickerController_didFinishPickingMediaWithInfo(const std::shared_ptr<ImagePickerController>& picker,
                                                                     const ImagePickerInfo& info);
    virtual void imagePickerControllerDidCancel(const std::shared_ptr<ImagePickerController>& picker);
};

class ImagePickerController : public NavigationController {
public:
    void init() override;

    // The camera exists only when a test (or the host) says so; the library always.
    static bool isSourceTypeAvailable(ImagePickerControllerSourceType type);
    static void setCameraAvailable(bool available);

    ImagePickerControllerSourceType sourceType() const { return sourceType_; }
    // An unavailable source is refused (logged); the previous one stays.
    void setSourceType(ImagePickerControllerSourceType type);
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool a) { allowsEditing_ = a; }

    std::shared_ptr<ImagePickerControllerDelegate> pickerDelegate() const { return pickerDelegate_.lock(); }
    // The delegate is also the navigation controller's delegate.
    void setDelegate(const std::shared_ptr<ImagePickerControllerDelegate>& d);

    // The user's part: a picture is chosen (any size and aspect), or the picker cancelled.
    void pickImage(const ImagePtr& image);
    void cancel();

private:
    ImagePickerControllerSourceType sourceType_ = ImagePickerControllerSourceTypePhotoLibrary;
    bool allowsEditing_ = false;
    std::weak_ptr<ImagePickerControllerDelegate> pickerDelegate_;
};

// ---- Movie player ----

enum MovieScalingMode {
    MovieScalingModeNone = 0,
    MovieScalingModeAspectFit = 1,
    MovieScalingModeAspectFill = 2,
    MovieScalingModeFill = 3,
};

enum MovieControlStyle {
    MovieControlStyleNone = 0,
    MovieControlStyleEmbedded = 1,
    MovieControlStyleFullscreen = 2,
    MovieControlStyleDefault = MovieControlStyleEmbedded,
};

enum MoviePlaybackState {
    MoviePlaybackStateStopped = 0,
    MoviePlaybackStatePlaying,
    MoviePlaybackStatePaused,
};

inline constexpr const char* MPMoviePlayerPlaybackDidFinishNotification = "MPMoviePlayerPlaybackDidFinishNotification";
inline constexpr const char* MPMoviePlayerPlaybackDidFinishReasonUserInfoKey =
    "MPMoviePlayerPlaybackDidFinishReasonUserInfoKey";
enum MovieFinishReason {
    MovieFinishReasonPlaybackEnded = 0,
    MovieFinishReasonPlaybackError = 1,
    MovieFinishReasonUserExited = 2,
};

class MoviePlayerController : public Object {
public:
    void init(const std::string& contentURL) { contentURL_ = contentURL; }

    const std::string& contentURL() const { return contentURL_; }
    void setContentURL(const std::string& url) { contentURL_ = url; }
    MovieScalingMode scalingMode() const { return scalingMode_; }
    void setScalingMode(MovieScalingMode m) { scalingMode_ = m; }
    MovieControlStyle controlStyle() const { return controlStyle_; }
    void setControlStyle(MovieControlStyle s) { controlStyle_ = s; }
    bool shouldAutoplay() const { return shouldAutoplay_; }
    void setShouldAutoplay(bool a) { shouldAutoplay_ = a; }

    void play() { state_ = MoviePlaybackStatePlaying; }
    void pause() { state_ = MoviePlaybackStatePaused; }
    void stop() { state_ = MoviePlaybackStateStopped; }
    MoviePlaybackState playbackState() const { return state_; }
    bool isPlaying() const { return state_ == MoviePlaybackStatePlaying; }

private:
    std::string contentURL_;
    MovieScalingMode scalingMode_ = MovieScalingModeAspectFit;
    MovieControlStyle controlStyle_ = MovieControlStyleDefault;
    bool shouldAutoplay_ = true;
    MoviePlaybackState state_ = MoviePlaybackStateStopped;
};

class MoviePlayerViewController : public ViewController {
public:
    void init() override { init(std::string()); }
    // initWithContentURL:
    virtual void init(const std::string& contentURL);

    std::shared_ptr<MoviePlayerController> moviePlayer() const { return player_; }

    // The player's own Done control: playback stops, the finish notification
    // is posted (reason: the user exited) and the player closes itself.
    void pressDone();

private:
    std::shared_ptr<MoviePlayerController> player_;
};

// ---- SMS composer ----

class MessageComposeViewController;

enum MessageComposeResult {
    MessageComposeResultCancelled = 0,
    MessageComposeResultSent = 1,
    MessageComposeResultFailed = 2,
};

class MessageComposeViewControllerDelegate {
public:
    virtual ~MessageComposeViewControllerDelegate() = default;
    virtual void messageComposeViewController_didFinishWithResult(const std::shared_ptr<MessageComposeViewController>&,
                                                                  MessageComposeResult) = 0;
};

class MessageComposeViewController : public NavigationController {
public:
    void init() override;

    // NSClassFromString(@"MFMessageComposeViewController") != nil: the
    // messaging framework is there (YES unless a test says otherwise).
    static bool isClassAvailable();
    static void setClassAvailable(bool available);
    // canSendText (YES unless a test says otherwise).
    static bool canSendText();
    static void setCanSendText(bool can);

    const std::vector<std::string>& recipients() const { return recipients_; }
    void setRecipients(const std::vector<std::string>& r) { recipients_ = r; }
    const std::string& body() const { return body_; }
    void setBody(const std::string& b) { body_ = b; }
    std::shared_ptr<MessageComposeViewControllerDelegate> messageComposeDelegate() const { return delegate_.lock(); }
    void setMessageComposeDelegate(const std::shared_ptr<MessageComposeViewControllerDelegate>& d) { delegate_ = d; }

    // The user's part: sends, cancels or fails; the delegate hears the result
    // (and closes the composer, as the platform leaves to it).
    void finishWithResult(MessageComposeResult result);

    // What each composer was asked and how it ended.
    struct Record {
        std::vector<std::string> recipients;
        std::string body;
        MessageComposeResult result = MessageComposeResultCancelled;
    };
    static const std::vector<Record>& history();

private:
    std::vector<std::string> recipients_;
    std::string body_;
    std::weak_ptr<MessageComposeViewControllerDelegate> delegate_;
};

// ---- Phone dialler ----

class PhoneDialler {
public:
    // Registers the "tel" and "telprompt" schemes with the application.
    static void install();
    // The numbers asked for, in order, as the URLs carried them (after the scheme).
    static const std::vector<std::string>& calls();
    static void resetForTesting();
};

// Back to the stand-ins' defaults: the keyboard, web views' test settings,
// the device's answers,
// no camera, SMS available, no records. Application::resetForTesting runs it.
void resetStandInsForTesting();

}  // namespace ui
