// The image picker, movie player, SMS composer and dialler stand-ins.
#include <gtest/gtest.h>

#include "UITestSupport.h"
#include "foundation/Notification.h"
#include "uikit/BitmapContext.h"
#include "uikit/SystemStandIns.h"

using namespace ui;
using uitest::UITest;

namespace {

// An upload form's part: pick, stretch to 240 x 240, keep the JPEG.
class UploadScreen : public ViewController, public ImagePickerControllerDelegate, public MessageComposeViewControllerDelegate {
public:
    void imagePickerController_didFinishPickingMediaWithInfo(const std::shared_ptr<ImagePickerController>& picker,
                                                             const ImagePickerInfo& info) override {
        ImagePtr original = info.imageForKey(UIImagePickerControllerOriginalImage);
        mediaType = info.objectForKey(UIImagePickerControllerMediaType).str();
        referenceURL = info.objectForKey(UIImagePickerControllerReferenceURL).str();
        GraphicsBeginImageContextWithOptions(Size{240, 240}, false, 1.0);
        original->drawInRect(Rect{0, 0, 240, 240});
        scaled = GraphicsGetImageFromCurrentImageContext();
        GraphicsEndImageContext();
        jpeg = ImageJPEGRepresentation(scaled, 0.3);
        picker->dismissViewControllerAnimated(true);
    }
    void imagePickerControllerDidCancel(const std::shared_ptr<ImagePickerController>& picker) override {
        cancels++;
        picker->dismissViewControllerAnimated(true);
    }
    void messageComposeViewController_didFinishWithResult(const std::shared_ptr<MessageComposeViewController>& c,
                                                          MessageComposeResult r) override {
        results.push_back(r);
        c->dismissViewControllerAnimated(true);
    }
    ImagePtr scaled;
    std::optional<ns::Bytes> jpeg;
    std::string mediaType, referenceURL;
    int cancels = 0;
    std::vector<MessageComposeResult> results;
};

class StandInsTest : public UITest {
protected:
    void SetUp() override {
        UITest::SetUp();
        screen = create<UploadScreen>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
    }
    std::shared_ptr<UploadScreen> screen;
};

TEST_F(StandInsTest, ImagePickerHandsOverAnyPictureOrACancel) {
    EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceTypeCamera));
    EXPECT_TRUE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceTypePhotoLibrary));
    auto picker = create<ImagePickerController>();
    picker->setSourceType(ImagePickerControllerSourceTypeCamera);  // no camera: refused
    EXPECT_EQ(picker->sourceType(), ImagePickerControllerSourceTypePhotoLibrary);
    picker->setDelegate(screen);
    picker->setModalTransitionStyle(ModalTransitionStyleCoverVertical);
    screen->presentViewController(picker, true);
    EXPECT_EQ(screen->presentedViewController(), picker);

    // A tall picture is stretched to the square and encoded.
    auto tall = Image::imageWithPixels(90, 600, std::vector<std::uint8_t>(90 * 600 * 4, 255));
    picker->pickImage(tall);
    ASSERT_TRUE(screen->scaled);
    EXPECT_EQ(screen->scaled->pixelWidth(), 240);
    EXPECT_EQ(screen->scaled->pixelHeight(), 240);
    ASSERT_TRUE(screen->jpeg);
    EXPECT_EQ(Image::imageWithData(*screen->jpeg)->pixelWidth(), 240);
    EXPECT_EQ(screen->mediaType, "public.image");
    EXPECT_NE(screen->referenceURL.find("assets-library://"), std::string::npos);
    EXPECT_FALSE(screen->presentedViewController());

    // With a camera, a cancel; without a delegate the picker closes itself.
    ImagePickerController::setCameraAvailable(true);
    auto camera = create<ImagePickerController>();
    camera->setSourceType(ImagePickerControllerSourceTypeCamera);
    camera->setDelegate(screen);
    screen->presentViewController(camera, true);
    camera->cancel();
    EXPECT_EQ(screen->cancels, 1);
    auto orphan = create<ImagePickerController>();
    screen->presentViewController(orphan, false);
    orphan->pickImage(tall);
    EXPECT_FALSE(screen->presentedViewController());

    Application::resetForTesting();  // the camera goes with the reset
    EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceTypeCamera));
}

TEST_F(StandInsTest, MoviePlayerRecordsAndClosesWithItsOwnControls) {
    auto movie = create<MoviePlayerViewController>(std::string("http://h/files/lesson.mp4"));
    auto player = movie->moviePlayer();
    EXPECT_EQ(player->contentURL(), "http://h/files/lesson.mp4");
    player->setScalingMode(MovieScalingModeFill);
    player->setControlStyle(MovieControlStyleFullscreen);
    player->play();
    screen->presentViewController(movie, true);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(static_cast<int>(player->scalingMode()), 3);
    EXPECT_EQ(static_cast<int>(player->controlStyle()), 2);

    auto watcher = std::make_shared<Object>();
    int finished = 0;
    ns::NotificationCenter::defaultCenter().addObserver(watcher, MPMoviePlayerPlaybackDidFinishNotification,
                                                        [&](const ns::Notification& n) {
                                                            finished++;
                                                            EXPECT_EQ(n.userInfo[MPMoviePlayerPlaybackDidFinishReasonUserInfoKey].intValue(),
                                                                      MovieFinishReasonUserExited);
                                                        });
    movie->pressDone();
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(screen->presentedViewController());
}

TEST_F(StandInsTest, ComposerAndDiallerRecordWhatWasAsked) {
    EXPECT_TRUE(MessageComposeViewController::isClassAvailable());
    EXPECT_TRUE(MessageComposeViewController::canSendText());
    auto sms = create<MessageComposeViewController>();
    sms->setRecipients({"13800000001;13800000002"});
    sms->setBody("");
    sms->setMessageComposeDelegate(screen);
    screen->presentViewController(sms, true);
    sms->finishWithResult(MessageComposeResultSent);
    EXPECT_EQ(screen->results, (std::vector<MessageComposeResult>{MessageComposeResultSent}));
    ASSERT_EQ(MessageComposeViewController::history().size(), 1u);
    EXPECT_EQ(MessageComposeViewController::history()[0].recipients,
              (std::vector<std::string>{"13800000001;13800000002"}));
    EXPECT_FALSE(screen->presentedViewController());
    MessageComposeViewController::setCanSendText(false);
    EXPECT_FALSE(MessageComposeViewController::canSendText());
    MessageComposeViewController::setClassAvailable(false);
    EXPECT_FALSE(MessageComposeViewController::isClassAvailable());

    auto& app = Application::sharedApplication();
    EXPECT_FALSE(app.openURL("telprompt://10086"));  // no dialler yet
    PhoneDialler::install();
    EXPECT_TRUE(app.canOpenURL("telprompt://1"));
    EXPECT_TRUE(app.openURL("telprompt://0871%2B123"));
    EXPECT_TRUE(app.openURL("tel:110"));
    EXPECT_EQ(PhoneDialler::calls(), (std::vector<std::string>{"0871%2B123", "110"}));
    EXPECT_EQ(app.openedURLs().back(), "tel:110");
}

}  // namespace
