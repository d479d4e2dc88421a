// The article detail screen: the article drawn and sized, the comment bar and
// its posting, the login gate, the race between the article and a comment,
// and a screen that has gone hearing nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/ModuleTest.h"

#include "channels/SSXWDetailViewController.h"
#include "foundation/Log.h"
#include "uikit/Keyboard.h"

using namespace moduletest;

namespace {

std::string jpeg(int w, int h) {
    auto img = ui::Image::imageWithPixels(w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 4, 120));
    auto bytes = ui::ImageJPEGRepresentation(img, 0.8);
    return std::string(bytes->begin(), bytes->end());
}

class DetailScreenTest : public ModuleTest {
protected:
    std::shared_ptr<SSXWDetailViewController> open(const std::string& articleId = "88") {
        auto detail = ui::create<SSXWDetailViewController>();
        detail->article_id = articleId;
        nav->pushViewController(detail, false);
        return detail;
    }
    // Opens the screen and waits until the article's body has been laid out.
    std::shared_ptr<SSXWDetailViewController> openDrawn(const std::string& reply = articleReply()) {
        svc.reply("GetArticleRecord", reply);
        auto detail = open();
        EXPECT_TRUE(driver->waitUntil([&] { return detail->HtmlView->alpha() == 1; }));
        return detail;
    }
    // Taps the bar's field: the input bar comes up above the keyboard with the focus.
    void startComment(const std::shared_ptr<SSXWDetailViewController>& detail) {
        driver->tap(detail->commentFiled);
        ASSERT_FALSE(detail->pubView->isHidden());
        ASSERT_EQ(driver->firstResponder(), detail->pubView->contentField);
    }
    void publish(const std::shared_ptr<SSXWDetailViewController>& detail) { driver->tap(detail->pubView->PublishedButton); }
};

TEST_F(DetailScreenTest, DrawsTheArticleAndSizesItsBody) {
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "600");
    ui::WebView::setScriptResultForAllViews("document.body.scrollWidth ", "640");
    auto detail = openDrawn(articleReply("一个很长的标题，长到一行放不下，要折成两行甚至三行才能放得下"));

    auto sent = svc.received("GetArticleRecord");
    EXPECT_EQ(sent["parameters"]["id"].str(), "88");
    EXPECT_EQ(detail->channel_id, "12");
    EXPECT_EQ(detail->timeLabel->text(), "王五 2014-03-05 10:20");

    // The title wraps and pushes the author line, the rule and the body down.
    ui::Rect title = detail->titleLabel->frame();
    EXPECT_GT(title.size.height, 20);
    EXPECT_EQ(detail->timeLabel->frame().origin.y, title.size.height + 10);
    ui::Rect rule = detail->line->frame();
    EXPECT_EQ(rule.origin.y, title.size.height + 10 + 15 + 10);

    // Body: 600 high at 640 wide, scaled to the 320-point screen.
    ui::Rect body = detail->HtmlView->frame();
    EXPECT_EQ(body.origin.y, rule.origin.y + rule.size.height);
    EXPECT_DOUBLE_EQ(body.size.height, 300);
    EXPECT_EQ(body.size.width, 310);
    EXPECT_DOUBLE_EQ(detail->msrview->contentSize().height, body.origin.y + 300);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(DetailScreenTest, ABodyWithoutWidthKeepsItsOwnScale) {
    ui::WebView::setScriptResultForAllViews("document.body.scrollHeight", "450");
    ui::WebView::setScriptResultForAllViews("document.body.scrollWidth ", "0");
    auto detail = openDrawn();
    EXPECT_DOUBLE_EQ(detail->HtmlView->frame().size.height, 450);
}

TEST_F(DetailScreenTest, ValuesOfTheWrongKindDrawAnEmptyArticle) {
    // Null title and body, a number for the author, an array for the time.
    auto detail = openDrawn(
        R"({"records":{"title":null,"user_name":7,"add_time":[1],"content":null,"channel_id":{"a":1}}})");
    EXPECT_EQ(detail->titleLabel->text(), "");
    EXPECT_EQ(detail->timeLabel->text(), "7 ");
    EXPECT_EQ(detail->channel_id, "");
    EXPECT_EQ(detail->HtmlView->alpha(), 1);  // an empty body still fades in

    // "records" an array, a bare value, and no JSON at all.
    for (const char* reply : {R"({"records":[{"title":"x"}]})", "12", "<html>"}) {
        svc.reply("GetArticleRecord", reply);
        auto other = open();
        EXPECT_TRUE(driver->waitUntil([&] { return other->HtmlView->alpha() == 1; })) << reply;
        EXPECT_EQ(other->titleLabel->text(), "") << reply;
        nav->popViewControllerAnimated(false);
    }
}

TEST_F(DetailScreenTest, ACommentArrivesAtTheServiceAsTyped) {
    storeMember();
    auto detail = openDrawn();
    svc.reply("SubmitComment", R"({"state":"successful","message":"评论成功"})");

    const ui::Rect article = detail->msrview->frame();
    startComment(detail);
    EXPECT_EQ(detail->pubView->frame().origin.y, 568 - 216 - 110);
    // The article ends at the input bar: nothing of it between the bar and the keyboard.
    EXPECT_EQ(detail->msrview->frame().maxY(), detail->pubView->frame().minY());
    ASSERT_TRUE(driver->typeText(R"(a"b\c<d&e)"));
    svc.replyOnce("SubmitComment", LoopbackService::held(svc.result("SubmitComment", R"({"state":"successful"})")));
    publish(detail);
    EXPECT_EQ(ProgressHUD::currentStatus(), "评论中...");
    EXPECT_TRUE(detail->pubView->isHidden());
    EXPECT_EQ(detail->msrview->frame(), article);
    svc.release();
    ASSERT_TRUE(waitForAlert());

    ns::Value sent = svc.received("SubmitComment")["parameters"];
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"content", "user_name", "article_id", "user_id", "channel_id"}));
    EXPECT_EQ(sent["content"].str(), R"(a"b\c<d&e)");
    EXPECT_EQ(sent["user_name"].str(), "李四");
    EXPECT_EQ(sent["article_id"].str(), "88");
    EXPECT_EQ(sent["user_id"].str(), "501");
    EXPECT_EQ(sent["channel_id"].str(), "12");

    EXPECT_EQ(lastAlertMessage(), "评论成功");
    EXPECT_EQ(driver->lastAlert()->title(), "温馨提示");
    EXPECT_EQ(detail->pubView->contentField->text(), "");
    ASSERT_TRUE(driver->pressAlertButton("确定"));

    // A line break (a pasted or dictated text) and the envelope's own markup too.
    startComment(detail);
    detail->pubView->contentField->setText("第一行\n</jsonString>]]>\t\"尾\"");
    publish(detail);
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("SubmitComment") == 2 && driver->topPopup(); }));
    EXPECT_EQ(svc.received("SubmitComment")["parameters"]["content"].str(), "第一行\n</jsonString>]]>\t\"尾\"");
}

TEST_F(DetailScreenTest, ARefusedCommentIsNotReportedAsPostedAndKeepsItsText) {
    storeMember();
    auto detail = openDrawn();

    struct Case {
        LoopbackService::Reply reply;
        std::string alert;  // "" for a transport failure: the overlay's failure text
    };
    std::vector<Case> cases = {
        {svc.result("SubmitComment", R"({"state":"failed","message":"内容含有不当词语"})"), "内容含有不当词语"},
        {svc.result("SubmitComment", R"({"state":"failed"})"), "评论失败"},
        {svc.result("SubmitComment", R"({"message":["x"]})"), "评论失败"},
        {svc.result("SubmitComment", "评论好了"), "评论失败"},
        {svc.result("SubmitComment", "\"successful\""), "评论失败"},
        {LoopbackService::status(500), ""},
    };
    for (auto& c : cases) {
        svc.replyOnce("SubmitComment", c.reply);
        startComment(detail);
        detail->pubView->contentField->setText("我的看法");
        std::size_t before = driver->shownPopups().size();
        publish(detail);
        if (c.alert.empty()) {
            ASSERT_TRUE(driver->waitUntil([&] { return detail->type.empty(); }));
        } else {
            ASSERT_TRUE(waitForAlert()) << c.alert;
            EXPECT_EQ(lastAlertMessage(), c.alert);
            driver->pressAlertButton("确定");
        }
        EXPECT_EQ(driver->shownPopups().size(), before + (c.alert.empty() ? 0 : 1));
        EXPECT_EQ(detail->pubView->contentField->text(), "我的看法") << c.alert;
        // Back to the bar: the kept text is there to send again.
        startComment(detail);
        EXPECT_EQ(detail->pubView->contentField->text(), "我的看法");
        detail->pubView->contentField->resignFirstResponder();
    }
    EXPECT_EQ(alertsWithMessage("评论成功"), 0);
}

TEST_F(DetailScreenTest, ACommentPublishedAgainWhileItIsOnItsWayIsSentOnce) {
    storeMember();
    auto detail = openDrawn();
    startComment(detail);
    detail->pubView->contentField->setText("我的看法");
    // The bar again, its text kept: publishing it once more sends nothing.
    ASSERT_NO_FATAL_FAILURE(touchTwiceWhileHeld("SubmitComment", LoopbackService::status(500),
                                                [&] { publish(detail); }, [&] {
                                                    startComment(detail);
                                                    publish(detail);
                                                }));

    ASSERT_TRUE(driver->waitUntil([&] { return detail->type.empty(); }));
    svc.reply("SubmitComment", R"({"state":"successful"})");
    startComment(detail);
    publish(detail);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(lastAlertMessage(), "评论成功");
    EXPECT_EQ(svc.count("SubmitComment"), 2u);
}

TEST_F(DetailScreenTest, AnArticleArrivingAfterACommentWasSentIsStillDrawn) {
    storeMember();
    svc.replyOnce("GetArticleRecord", LoopbackService::held(svc.result("GetArticleRecord", articleReply("迟到的文章"))));
    svc.reply("SubmitComment", R"({"state":"successful"})");
    auto detail = open();

    startComment(detail);
    ASSERT_TRUE(driver->typeText("抢先评论"));
    publish(detail);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(lastAlertMessage(), "评论成功");
    driver->pressAlertButton("确定");
    // Sent before the article came: no channel yet.
    EXPECT_EQ(svc.received("SubmitComment")["parameters"]["channel_id"].str(), "");

    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return detail->HtmlView->alpha() == 1; }));
    EXPECT_EQ(detail->titleLabel->text(), "迟到的文章");
    EXPECT_EQ(detail->channel_id, "12");
    EXPECT_EQ(alertsWithMessage("评论成功"), 1);
}

TEST_F(DetailScreenTest, PostingWaitsForALoginAskedForByTheCommentBar) {
    svc.reply("MemberLogin", kMemberReply);
    svc.reply("SubmitComment", R"({"state":"successful"})");
    auto detail = openDrawn();
    EXPECT_EQ(detail->loginview->isFrom(), "评论");
    EXPECT_TRUE(detail->loginview->view()->isHidden());

    startComment(detail);
    ASSERT_TRUE(driver->typeText("登录后评论"));
    publish(detail);
    EXPECT_FALSE(detail->loginview->view()->isHidden());
    EXPECT_EQ(svc.count("SubmitComment"), 0u);

    // The overlay's fields keep their keyboard: the comment bar does not take the focus.
    auto login = detail->loginview;
    ASSERT_TRUE(driver->typeText(login->userField, "lisi"));
    EXPECT_EQ(driver->firstResponder(), login->userField);
    ASSERT_TRUE(driver->typeText(login->passwordField, "secret"));
    // "登录" stands above the keyboard, where a finger reaches it.
    auto hit = driver->tap(login->loginButton);
    ASSERT_TRUE(hit && (hit == login->loginButton || hit->isDescendantOfView(login->loginButton.get())));
    ASSERT_TRUE(driver->waitUntil([&] { return !login->isLoggingIn(); }));
    EXPECT_TRUE(login->view()->isHidden());
    EXPECT_TRUE(ns::UserDefaults::standardUserDefaults()->boolForKey("LoginState"));
    EXPECT_TRUE(Utils::isLogin());
    EXPECT_EQ(svc.count("SubmitComment"), 0u);  // the member publishes again
    // The keyboard went with the login, and the input bar with it.
    EXPECT_TRUE(detail->pubView->isHidden());

    startComment(detail);
    EXPECT_EQ(detail->pubView->contentField->text(), "登录后评论");
    publish(detail);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(svc.received("SubmitComment")["parameters"]["user_id"].str(), "501");

    // An empty text is refused before anything is sent.
    driver->pressAlertButton("确定");
    startComment(detail);
    publish(detail);
    EXPECT_EQ(lastAlertMessage(), "请输入要评论的内容");
    EXPECT_FALSE(detail->pubView->isHidden());
    EXPECT_EQ(svc.count("SubmitComment"), 1u);
}

// "发表" asks for the login while the keyboard is still up for the input bar:
// the box's buttons stand clear of the keyboard from the start, and "取消"
// goes back to the comment as it was.
TEST_F(DetailScreenTest, ALoginAskedForOverTheKeyboardShowsItsButtonsAboveIt) {
    auto detail = openDrawn();
    startComment(detail);
    ASSERT_TRUE(driver->typeText("还没登录"));
    publish(detail);
    auto login = detail->loginview;
    ASSERT_FALSE(login->view()->isHidden());
    ASSERT_TRUE(ui::Keyboard::shared().isVisible());
    const double keyboardTop = ui::Keyboard::shared().frame().minY();
    for (const auto& button : {login->loginButton, login->cancelButton})
        EXPECT_LE(button->convertRect_toView(button->bounds(), nullptr).maxY(), keyboardTop);

    auto hit = driver->tap(login->cancelButton);
    ASSERT_TRUE(hit && (hit == login->cancelButton || hit->isDescendantOfView(login->cancelButton.get())));
    EXPECT_TRUE(login->view()->isHidden());
    EXPECT_FALSE(detail->pubView->isHidden());
    EXPECT_EQ(driver->firstResponder(), detail->pubView->contentField);
    EXPECT_EQ(detail->pubView->contentField->text(), "还没登录");
    EXPECT_EQ(svc.count("SubmitComment"), 0u);
}

TEST_F(DetailScreenTest, APictureOpensFullScreenAndATapClosesIt) {
    LoopbackService::Reply picture;
    picture.body = jpeg(600, 400);
    picture.contentType = "image/jpeg";
    svc.serve("/pic.jpg", picture);
    const std::string url = svc.baseURL() + "/pic.jpg";
    auto detail = openDrawn(articleReply("图片新闻", "<p>导语</p><p><img src=\"" + url + "\"></p><p>" +
                                                         std::string(300, 'x') + "</p>"));
    detail->msrview->setContentOffset(ui::Point{0, 40});

    // The member touches the picture in the body.
    auto web = detail->HtmlView->webView();
    const ui::web::Box* box = nullptr;
    for (const auto& b : web->pageLayout()->boxes()) {
        if (b.kind == ui::web::Box::Picture) box = &b;
    }
    ASSERT_TRUE(box);
    driver->tapAt(web->convertPoint_toView(ui::Point{box->frame.midX(), box->frame.midY()}, nullptr));
    ASSERT_TRUE(detail->BigImagev);
    EXPECT_EQ(detail->BigImagev->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    EXPECT_TRUE(driver->isOnScreen(*detail->BigImagev));
    auto big = detail->BigImagev;
    ASSERT_TRUE(driver->waitUntil([&] { return big->image() != nullptr; }));
    EXPECT_EQ(big->image()->size().width, 600);

    driver->tap(big);
    EXPECT_FALSE(detail->BigImagev);
    EXPECT_FALSE(big->superview());
    EXPECT_EQ(detail->msrview->contentOffset().y, 40);
}

TEST_F(DetailScreenTest, AScreenThatHasGoneHearsNothing) {
    storeMember();
    ui::WebView::setManualLoading(true);
    svc.reply("GetArticleRecord", articleReply());
    svc.serve("/pic.png", LoopbackService::held());
    auto detail = open();
    ASSERT_TRUE(driver->waitUntil([&] { return !detail->titleLabel->text().empty(); }));
    auto web = detail->HtmlView->webView();
    ASSERT_TRUE(driver->waitUntil([&] { return web->hasPendingLoad(); }));
    // A comment in flight when the member leaves.
    svc.replyOnce("SubmitComment", LoopbackService::held(svc.result("SubmitComment", R"({"state":"successful"})")));
    startComment(detail);
    ASSERT_TRUE(driver->typeText("走了"));
    publish(detail);
    detail->htmlViewDidTapImage(detail->HtmlView, svc.baseURL() + "/pic.png");

    std::weak_ptr<SSXWDetailViewController> gone = detail;
    detail.reset();
    nav->popViewControllerAnimated(false);
    driver->runPending();
    ASSERT_TRUE(gone.expired());

    // The web view finishes, the picture and the comment reply arrive, the keyboard comes up.
    ASSERT_TRUE(driver->waitUntil([&] { return std::ranges::any_of(svc.requests(), [](const auto& r) { return r.path == "/pic.png"; }) && svc.count("SubmitComment") == 1; }));
    web->finishPendingLoad();
    svc.release();
    settleService();
    auto field = ui::create<ui::TextField>(ui::Rect{0, 100, 200, 30});
    root->view()->addSubview(field);
    driver->tap(field);
    driver->advance(1);
    EXPECT_EQ(alertsWithMessage("评论成功"), 0);
}

}  // namespace
