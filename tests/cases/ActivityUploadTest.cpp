// The activity upload form: photos stretched to 240 x 240 and sent one by
// one as Base64 JPEG, the checks and confirmation, the submission with the
// collected paths, and how replies and failures leave the form.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "cases/ActivityUploadViewController.h"
#include "foundation/Data.h"
#include "uikit/SystemStandIns.h"

using namespace moduletest;

namespace {


// A wide picture: left half red, right half blue.
ui::ImagePtr widePicture() {
    const int w = 400, h = 100;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w * h * 4));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &rgba[static_cast<std::size_t>((y * w + x) * 4)];
            p[0] = x < w / 2 ? 255 : 0;
            p[1] = 0;
            p[2] = x < w / 2 ? 0 : 255;
            p[3] = 255;
        }
    return ui::Image::imageWithPixels(w, h, std::move(rgba));
}

class ActivityUploadTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember("7", "李明");
        upload = ui::create<ActivityUploadViewController>();
        upload->setActivID("55");
        auto presenter = ui::create<moduletest::HomeStub>();
        showRoot(presenter);
        presenter->presentViewController(ui::create<ui::NavigationController>(upload), false);
        ui::Application::sharedApplication().layoutIfNeeded();
    }
    // Picks a picture from the library; the upload reply is the one scripted.
    void pickFromLibrary(const ui::ImagePtr& picture) {
        std::size_t before = svc.count("SubmitAttach");
        driver->tapText("选择照片");
        ASSERT_TRUE(driver->pressAlertButton("相册"));
        driver->advance(1.0);
        auto picker = std::dynamic_pointer_cast<ui::ImagePickerController>(upload->presentedViewController());
        ASSERT_TRUE(picker);
        EXPECT_EQ(picker->sourceType(), ui::ImagePickerControllerSourceTypePhotoLibrary);
        picker->pickImage(picture);
        driver->advance(1.0);
        ASSERT_TRUE(waitForRequests("SubmitAttach", before + 1));
    }
    void storeWithPath(const std::string& path) {
        svc.reply("SubmitAttach", json(ns::Value::dictionary({{"state", "successful"}, {"file_path", path}})));
        pickFromLibrary(widePicture());
        ASSERT_TRUE(driver->waitUntil([&] { return alertMessage() == "上传成功"; }));
        driver->pressAlertButton("确定");
    }
    void fillAndConfirm(const std::string& subject, const std::string& text) {
        upload->titleFiel->setText(subject);
        upload->condtentTextview->setText(text);
        driver->tap(upload->sumitButton);
    }

    std::shared_ptr<ActivityUploadViewController> upload;
};

TEST_F(ActivityUploadTest, PickedPhotoIsStretchedSentAndItsPathCollected) {
    EXPECT_EQ(upload->naview->titleLabel->text(), "活动上传");
    EXPECT_TRUE(upload->headimagev->isHidden());
    svc.reply("SubmitAttach", LoopbackService::held(svc.result(
                                  "SubmitAttach", R"({"state":"successful","file_path":"/upload/1.jpg"})")));
    pickFromLibrary(widePicture());
    EXPECT_EQ(ProgressHUD::currentStatus(), "上传中...");
    EXPECT_EQ(upload->requestType, "上传图片");
    EXPECT_FALSE(upload->presentedViewController());  // the picker closed
    EXPECT_FALSE(upload->headimagev->isHidden());
    EXPECT_EQ(upload->sumitButton->frame().origin.y, 405);
    EXPECT_EQ(upload->mscrview->contentSize().height, 465);

    // One 240 x 240 JPEG, stretched: red on the left, blue on the right.
    std::string base = svc.received("SubmitAttach")["parameters"]["base"].text();
    EXPECT_EQ(base, upload->base64Str);
    auto bytes = ns::base64Decode(base);
    ASSERT_TRUE(bytes);
    auto sent = ui::Image::imageWithData(*bytes);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->pixelWidth(), 240);
    EXPECT_EQ(sent->pixelHeight(), 240);
    auto px = [&](int x, int y) { return &sent->pixels()[static_cast<std::size_t>((y * 240 + x) * 4)]; };
    EXPECT_GT(px(10, 120)[0], 200);
    EXPECT_LT(px(10, 120)[2], 60);
    EXPECT_GT(px(230, 120)[2], 200);
    EXPECT_GT(px(120, 2)[0] + px(120, 2)[2], 200);  // no letterbox at the top

    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return alertMessage() == "上传成功"; }));
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(upload->pathArray, (std::vector<std::string>{"/upload/1.jpg"}));
}

TEST_F(ActivityUploadTest, RefusedOrPathlessPhotosAreNotCollected) {
    svc.reply("SubmitAttach", R"({"state":"failed","message":"太大"})");
    pickFromLibrary(widePicture());
    ASSERT_TRUE(driver->waitUntil([&] { return alertMessage() == "上传失败"; }));
    driver->pressAlertButton("确定");
    svc.reply("SubmitAttach", R"({"message":"ok"})");
    pickFromLibrary(widePicture());
    ASSERT_TRUE(driver->waitUntil([&] { return alertMessage() == "上传失败"; }));
    EXPECT_TRUE(upload->pathArray.empty());
    EXPECT_FALSE(upload->headimagev->isHidden());  // the picture stays in the preview
}

TEST_F(ActivityUploadTest, ChecksThenConfirmsAndSendsPathsJoined) {
    fillAndConfirm("", "内容");
    EXPECT_EQ(alertMessage(), "请输入主题");
    driver->pressAlertButton("确定");
    fillAndConfirm("主题", "");
    EXPECT_EQ(alertMessage(), "请输入内容");
    driver->pressAlertButton("确定");

    for (const char* path : {"/u/a.jpg", "/u/b.jpg", "/u/c.jpg"}) storeWithPath(path);

    svc.reply("SubmitOrgActivity", LoopbackService::held(svc.result("SubmitOrgActivity",
                                                                     R"({"state":"successful","message":"ok"})")));
    fillAndConfirm("  ", " ");  // blanks pass
    ASSERT_EQ(alertMessage(), "是否上传？上传后该内容将不能进行修改或删除!");
    EXPECT_EQ(driver->lastAlert()->tag(), 5000);
    driver->pressAlertButton("取消");
    EXPECT_EQ(svc.count("SubmitOrgActivity"), 0u);

    driver->tap(upload->sumitButton);
    driver->pressAlertButton("上传");
    EXPECT_FALSE(upload->glview->isHidden());
    EXPECT_EQ(upload->requestType, "提交");
    ASSERT_TRUE(waitForRequests("SubmitOrgActivity", 1));
    ns::Value sent = svc.received("SubmitOrgActivity")["parameters"];
    EXPECT_EQ(sent["org_id"].text(), "55");
    EXPECT_EQ(sent["title"].text(), "  ");
    EXPECT_EQ(sent["content"].text(), " ");
    EXPECT_EQ(sent["attach_list"].text(), "/u/a.jpg,/u/b.jpg,/u/c.jpg");
    EXPECT_EQ(sent["user_id"].text(), "7");

    std::weak_ptr<ActivityUploadViewController> weak = upload;
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return alertMessage() == "上传活动成功"; }));
    driver->advance(1.0);
    EXPECT_TRUE(upload->glview->isHidden());
    EXPECT_EQ(upload->titleFiel->text(), "");
    EXPECT_FALSE(upload->presentingViewController());  // closed beneath the alert
    EXPECT_EQ(alertMessage(), "上传活动成功");
    upload.reset();
    EXPECT_TRUE(weak.expired());
}

TEST_F(ActivityUploadTest, NoPhotoSendsAnEmptyListAndRefusalKeepsTheForm) {
    svc.reply("SubmitOrgActivity", R"({"state":"failed","message":"主题重复"})");
    fillAndConfirm("主题", "内容");
    driver->pressAlertButton("上传");
    ASSERT_TRUE(waitForRequests("SubmitOrgActivity", 1));
    EXPECT_EQ(svc.received("SubmitOrgActivity")["parameters"]["attach_list"].text(), "");
    ASSERT_TRUE(driver->waitUntil([&] { return alertMessage() == "主题重复"; }));
    EXPECT_TRUE(upload->glview->isHidden());
    EXPECT_EQ(upload->titleFiel->text(), "主题");
    EXPECT_TRUE(upload->presentingViewController());

    driver->pressAlertButton("确定");
    svc.reply("SubmitOrgActivity", LoopbackService::status(500));
    driver->tap(upload->sumitButton);
    driver->pressAlertButton("上传");
    ASSERT_TRUE(waitForRequests("SubmitOrgActivity", 2));
    ASSERT_TRUE(driver->waitUntil([&] { return upload->glview->isHidden(); }));
    EXPECT_EQ(upload->condtentTextview->text(), "内容");
}

TEST_F(ActivityUploadTest, CameraMissingAndKeyboardRules) {
    driver->tapText("选择照片");
    ASSERT_TRUE(driver->pressAlertButton("相机"));
    auto a = driver->lastAlert();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->title(), "Error");
    EXPECT_EQ(a->message(), "你没有摄像头");
    EXPECT_FALSE(upload->presentedViewController());
    driver->pressAlertButton("确定");

    ui::ImagePickerController::setCameraAvailable(true);
    driver->tapText("选择照片");
    ASSERT_TRUE(driver->pressAlertButton("相机"));
    driver->advance(1.0);
    auto picker = std::dynamic_pointer_cast<ui::ImagePickerController>(upload->presentedViewController());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->sourceType(), ui::ImagePickerControllerSourceTypeCamera);
    picker->cancel();
    driver->advance(1.0);
    EXPECT_FALSE(upload->presentedViewController());
    EXPECT_EQ(svc.count("SubmitAttach"), 0u);

    auto tv = upload->condtentTextview;
    EXPECT_FALSE(upload->textView_shouldChangeTextInRange_replacementText(tv, ns::Range{0, 0}, "\n"));
    EXPECT_TRUE(upload->textView_shouldChangeTextInRange_replacementText(tv, ns::Range{0, 0}, "一\n二"));
}

TEST_F(ActivityUploadTest, ReplyAfterTheFormClosedReachesNothing) {
    svc.reply("SubmitAttach", LoopbackService::held(svc.result("SubmitAttach", R"({"file_path":"/x.jpg"})")));
    pickFromLibrary(widePicture());
    std::weak_ptr<ActivityUploadViewController> weak = upload;
    driver->tap(upload->naview->leftButton);
    driver->advance(1.0);
    upload.reset();
    EXPECT_TRUE(weak.expired());
    svc.release();
    driver->runPending();
    driver->advance(1.0);
    EXPECT_NE(alertMessage(), "上传成功");
}

}  // namespace
