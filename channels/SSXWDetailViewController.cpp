#include "channels/SSXWDetailViewController.h"

#include "app/widgets/ProgressHUD.h"
#include "channels/ArticleRoutes.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "app/images/WebImageView.h"
#include "channels/ArticlePage.h"
#include "channels/ChannelStyle.h"
#include "channels/CommentReply.h"
#include "channels/CommentViewController.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Keyboard.h"
#include "uikit/NavigationController.h"
#include "uikit/Text.h"

namespace {

constexpr const char* kArticleOperation = "GetArticleRecord";
constexpr const char* kCommentOperation = "SubmitComment";

}  // namespace

std::shared_ptr<ui::ViewController> makeArticleDetail(const std::string& articleId, bool islogin) {
    auto detail = ui::create<SSXWDetailViewController>();
    detail->article_id = articleId;
    detail->islogin = islogin;
    return detail;
}

SSXWDetailViewController::~SSXWDetailViewController() {
    ns::NotificationCenter::defaultCenter().removeObserver(this);
}

void SSXWDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    channel_id.clear();
    type.clear();
    timeStr.clear();
    titleStr.clear();
    user_name.clear();
    setTitle("时事新闻");

    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    auto page = buildArticlePage(*view(), title(), sharedAs<NavBarViewDelegate>(), h - 128);
    naview = page.naview;
    msrview = page.msrview;
    titleLabel = page.titleLabel;
    timeLabel = page.timeLabel;
    line = page.line;

    HtmlView = ui::create<HTMLArticleView>(ui::Rect{5, 50.8, w - 10, 90});
    HtmlView->setDelegate(sharedAs<HTMLArticleViewDelegate>());
    HtmlView->setAlpha(0);
    HtmlView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    msrview->addSubview(HtmlView);

    view()->setBackgroundColor(ui::Color::whiteColor());

    auto rule = ui::create<ui::View>(ui::Rect{0, h - 64, w, 1});
    rule->setBackgroundColor(channelstyle::kRuleColor);
    view()->addSubview(rule);

    commentFiled = ui::create<ui::TextField>(ui::Rect{10, h - 49, 210, 35});
    commentFiled->layer().setBorderWidth(1);
    commentFiled->layer().setBorderColor(channelstyle::kRuleColor);
    commentFiled->layer().setCornerRadius(6);
    commentFiled->setFont(ui::Font::systemFontOfSize(14));
    commentFiled->setPlaceholder(channelstyle::kCommentPlaceholder);
    commentFiled->setDelegate(sharedAs<ui::TextFieldDelegate>());
    view()->addSubview(commentFiled);

    auto showButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    showButton->setFrame(ui::Rect{w - 80, h - 49, 70, 35});
    showButton->layer().setBorderWidth(1);
    showButton->layer().setBorderColor(ui::Color::redColor());
    showButton->layer().setCornerRadius(6);
    showButton->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    showButton->setTitle("查看评论", ui::ControlStateNormal);
    showButton->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    showButton->addTarget(this, &SSXWDetailViewController::showcomment, ui::ControlEventTouchUpInside);
    view()->addSubview(showButton);

    pubView = ui::create<PublishedView>(ui::Rect{0, 100, w, 100});
    pubView->PublishedButton->addTarget(this, &SSXWDetailViewController::PublishedContent,
                                        ui::ControlEventTouchUpInside);
    pubView->contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    pubView->setHidden(true);
    view()->addSubview(pubView);

    loginview = ui::create<LoginViewController>();
    loginview->view()->setFrame(ui::Rect{0, 64, w, h - 64});
    view()->addSubview(loginview->view());
    loginview->setDelegate(weakAs<LoginViewControllerDelegate>());
    loginview->setIsFrom("评论");
    loginview->view()->setHidden(true);

    navigationItem()->setLeftBarButtonItem(left());

    ProgressHUD::showWithTitle("", channelstyle::kLoadingText);
    pp->news_detail_request(article_id);

    ns::NotificationCenter::defaultCenter().addObserver(sharedAs<SSXWDetailViewController>(),
                                                        ui::UIKeyboardDidShowNotification,
                                                        &SSXWDetailViewController::keyboardWasShown);
}

void SSXWDetailViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

std::shared_ptr<ui::BarButtonItem> SSXWDetailViewController::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{5, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("ico_back.png"), ui::ControlStateNormal);
    button->addTarget(this, &SSXWDetailViewController::back, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void SSXWDetailViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

// ---- Replies ----

void SSXWDetailViewController::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    // The client names the operation this reply answers.
    if (pp && pp->replyOperation() == kCommentOperation) {
        commentReplied(result);
    } else {
        articleReplied(result);
    }
}

void SSXWDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    if (pp && pp->replyOperation() == kCommentOperation) type.clear();
    ProgressHUD::dismissWithError(channelstyle::kLoadFailedText, "", kFailureDelay);
    ProgressHUD::dismiss();
}

void SSXWDetailViewController::articleReplied(const std::string& result) {
    ns::Value record = records::item(records::parse(result));
    user_name = records::text(record, "user_name");
    timeStr = records::text(record, "add_time");
    titleStr = records::text(record, "title");
    channel_id = records::text(record, "channel_id");

    const double w = view()->bounds().size.width;
    ui::Size titleSize = ui::sizeWithFont(titleStr, ui::Font::boldSystemFontOfSize(16), ui::Size{w - 10, 500},
                                          ui::LineBreakByCharWrapping);
    titleLabel->setText(titleStr);
    titleLabel->setFrame(ui::Rect{5, 5, titleSize.width, titleSize.height});
    timeLabel->setText(ns::format("%@ %@", user_name, timeStr));
    timeLabel->setFrame(ui::Rect{5, titleSize.height + 10, 200, 15});
    ui::Rect t = timeLabel->frame();
    line->setFrame(ui::Rect{5, t.origin.y + t.size.height + 10, w - 10, 0.8});
    HtmlView->loadHtmlBody(records::text(record, "content"));
}

void SSXWDetailViewController::commentReplied(const std::string& result) {
    type.clear();
    CommentReply reply = readCommentReply(result);
    Utils::showAlert(reply.alertText());
    // The typed text goes only once the comment is in.
    if (reply.posted) {
        commentFiled->setText("");
        pubView->contentField->setText("");
    }
}

// ---- The article body ----

void SSXWDetailViewController::htmlViewDidFinishLoad(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                                     const ns::ErrorPtr& error) {
    if (error) {
        HtmlView->setAlpha(0);
        ns::NSLog("有error");
        return;
    }
    ns::NSLog("没有error");
    ui::View::animateWithDuration(kFadeDuration, [this] {
        HtmlView->setAlpha(1);
        layoutBody();
    });
}

void SSXWDetailViewController::layoutBody() {
    const double w = view()->bounds().size.width;
    auto web = HtmlView->webView();
    std::string heightText = web ? web->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight") : "";
    std::string widthText = web ? web->stringByEvaluatingJavaScriptFromString("document.body.scrollWidth ") : "";
    long long bodyWidth = ns::Value(widthText).integerValue();
    // A page that reports no width is drawn at its own scale.
    double factor = bodyWidth > 0 ? w / static_cast<double>(bodyWidth) : 1.0;
    double height = factor * ns::Value(heightText).floatValue();
    if (height < 0) height = 0;
    ns::NSLog("bodyWidth==%f   height==%f", factor * static_cast<double>(bodyWidth), height);
    ui::Rect l = line->frame();
    HtmlView->setFrame(ui::Rect{5, l.origin.y + l.size.height, w - 10, height});
    ui::Rect b = HtmlView->frame();
    msrview->setContentSize(ui::Size{w, b.origin.y + b.size.height});
}

void SSXWDetailViewController::htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                                   const std::string& imageUrl) {
    ns::NSLog("imageurl=%@", imageUrl);
    if (BigImagev) BigImagev->removeFromSuperview();
    const ui::Rect bounds = view()->bounds();
    BigImagev = ui::create<ui::ImageView>(ui::Rect{0, 64, bounds.size.width, bounds.size.height - 64});
    BigImagev->setUserInteractionEnabled(true);
    BigImagev->addGestureRecognizer(
        ui::create<ui::TapGestureRecognizer>(this, &SSXWDetailViewController::disBigview));
    view()->addSubview(BigImagev);
    setImageWithURL(BigImagev, imageUrl);
}

void SSXWDetailViewController::htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                                  const std::string& linkUrl) {
    ns::NSLog("linkUrl==%@", linkUrl);
}

void SSXWDetailViewController::disBigview() {
    if (!BigImagev) return;
    BigImagev->removeFromSuperview();
    BigImagev.reset();
}

// ---- Comments ----

void SSXWDetailViewController::showcomment() {
    pubView->setHidden(true);
    auto list = ui::create<CommentViewController>();
    list->article_id = article_id;
    list->titleStr = titleStr;
    list->user_name = user_name;
    list->timeStr = timeStr;
    list->channel_id = channel_id;
    if (auto nav = navigationController()) nav->pushViewController(list, true);
}

void SSXWDetailViewController::keyboardWasShown(const ns::Notification& notification) {
    // The input bar serves this screen's comment fields only: the keyboard of
    // the login overlay, or of another screen, is left alone.
    auto responder = ui::Responder::firstResponder();
    if (!responder || (responder != commentFiled && responder != pubView->contentField)) return;
    double keyboardHeight = ui::rectFromUserInfo(notification.userInfo, ui::UIKeyboardFrameBeginUserInfoKey).size.height;
    ns::NSLog("keyBoard:%f", keyboardHeight);
    const ui::Rect bounds = view()->bounds();
    pubView->setHidden(false);
    pubView->setFrame(ui::Rect{0, bounds.size.height - keyboardHeight - 110, bounds.size.width, 100});
    pubView->contentField->becomeFirstResponder();
}

bool SSXWDetailViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& /*field*/) {
    pubView->contentField->resignFirstResponder();
    commentFiled->resignFirstResponder();
    pubView->contentField->setText("");
    commentFiled->setText("");
    pubView->setHidden(true);
    return true;
}

void SSXWDetailViewController::PublishedContent() {
    if (!Utils::isLogin()) {
        loginview->view()->setHidden(false);
        return;
    }
    loginview->view()->setHidden(true);
    const std::string content = pubView->contentField->text();
    if (content.empty()) {
        Utils::showAlert(channelstyle::kEmptyCommentText);
        return;
    }
    MemberDataPtr member = Utils::getMember();
    type = channelstyle::kCommentType;
    ProgressHUD::showWithTitle("", channelstyle::kCommentingText);
    pp->subitComment(content, member->real_name.text(), article_id, member->member_id.text(), channel_id);
    pubView->contentField->resignFirstResponder();
    commentFiled->resignFirstResponder();
    // The text stays until the reply says the comment is in.
    pubView->setHidden(true);
}

void SSXWDetailViewController::rolesName(const std::string& /*name*/, bool /*loginState*/) {
    loginview->view()->setHidden(true);
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setBool(true, Utils::kLoginStateKey);
    defaults->synchronize();
}
