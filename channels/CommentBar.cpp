#include "channels/CommentBar.h"

#include <algorithm>

#include "app/shell/Utils.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "channels/ChannelStyle.h"
#include "channels/CommentReply.h"
#include "channels/CommentViewController.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "uikit/Keyboard.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kCommentOperation = "SubmitComment";

}  // namespace

// ---- The helpers ----

std::shared_ptr<ui::TextField> commentbar::makeField(const ui::Rect& frame,
                                                     const std::shared_ptr<ui::TextFieldDelegate>& delegate) {
    auto field = ui::create<ui::TextField>(frame);
    field->layer().setBorderWidth(1);
    field->layer().setBorderColor(channelstyle::kRuleColor);
    field->layer().setCornerRadius(6);
    field->setFont(ui::Font::systemFontOfSize(14));
    field->setPlaceholder(channelstyle::kCommentPlaceholder);
    field->setDelegate(delegate);
    return field;
}

std::shared_ptr<ui::Button> commentbar::makeButton(const ui::Rect& frame, const std::string& title) {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(frame);
    button->layer().setBorderWidth(1);
    button->layer().setBorderColor(ui::Color::redColor());
    button->layer().setCornerRadius(6);
    button->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    button->setTitle(title, ui::ControlStateNormal);
    button->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    return button;
}

std::shared_ptr<LoginViewController> commentbar::addLoginOverlay(
    ui::ViewController& host, const std::weak_ptr<LoginViewControllerDelegate>& delegate) {
    const ui::Size size = host.view()->bounds().size;
    auto overlay = ui::create<LoginViewController>();
    overlay->view()->setFrame(ui::Rect{0, 64, size.width, size.height - 64});
    host.view()->addSubview(overlay->view());
    overlay->setDelegate(delegate);
    overlay->setIsFrom("评论");
    overlay->view()->setHidden(true);
    return overlay;
}

void commentbar::loggedIn(LoginViewController& overlay) {
    overlay.view()->setHidden(true);
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setBool(true, Utils::kLoginStateKey);
    defaults->synchronize();
}

void commentbar::post(BaseScreen& host, VoVaClient& client, const std::string& content, const std::string& articleId,
                      const std::string& channelId) {
    MemberDataPtr member = Utils::getMember();
    host.showProgress(channelstyle::kCommentingText);
    client.subitComment(content, member->real_name.text(), articleId, member->member_id.text(), channelId);
}

// ---- The article page with the bar ----

CommentedArticleScreen::~CommentedArticleScreen() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void CommentedArticleScreen::viewDidLoad() {
    channel_id.clear();
    type.clear();
    timeStr.clear();
    titleStr.clear();
    user_name.clear();
    ArticleScreen::viewDidLoad();

    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    auto rule = ui::create<ui::View>(ui::Rect{0, h - 64, w, 1});
    rule->setBackgroundColor(channelstyle::kRuleColor);
    view()->addSubview(rule);

    commentFiled = commentbar::makeField(ui::Rect{10, h - 49, 210, 35}, sharedAs<ui::TextFieldDelegate>());
    view()->addSubview(commentFiled);

    auto showButton = commentbar::makeButton(ui::Rect{w - 80, h - 49, 70, 35}, "查看评论");
    showButton->addTarget(this, &CommentedArticleScreen::showcomment, ui::ControlEventTouchUpInside);
    view()->addSubview(showButton);

    pubView = ui::create<PublishedView>(ui::Rect{0, 100, w, 100});
    pubView->PublishedButton->addTarget(this, &CommentedArticleScreen::PublishedContent,
                                        ui::ControlEventTouchUpInside);
    pubView->contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    pubView->setHidden(true);
    view()->addSubview(pubView);

    loginview = commentbar::addLoginOverlay(*this, weakAs<LoginViewControllerDelegate>());

    auto& center = ns::NotificationCenter::defaultCenter();
    center.addObserver(sharedAs<CommentedArticleScreen>(), ui::UIKeyboardDidShowNotification,
                       &CommentedArticleScreen::keyboardWasShown);
    center.addObserver(sharedAs<CommentedArticleScreen>(), ui::UIKeyboardDidHideNotification,
                       &CommentedArticleScreen::keyboardWasHidden);
}

void CommentedArticleScreen::articleShown(const ns::Value& record) {
    user_name = records::text(record, "user_name");
    timeStr = records::text(record, "add_time");
    titleStr = records::sharedText(record, "title");
    channel_id = records::text(record, "channel_id");
}

// ---- Replies ----

void CommentedArticleScreen::GetWebServerContent_success(const std::string& result) {
    // The client names the operation this reply answers.
    if (pp && pp->replyOperation() == kCommentOperation) {
        ProgressHUD::dismiss();
        if (const char* log = page().replyLog; *log) ns::NSLog(log, result);
        commentReplied(result);
    } else {
        articleReplied(result);
    }
}

void CommentedArticleScreen::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    if (pp && pp->replyOperation() == kCommentOperation) type.clear();
    articleFailed();
}

void CommentedArticleScreen::commentReplied(const std::string& result) {
    type.clear();
    CommentReply reply = readCommentReply(result);
    Utils::showAlert(reply.alertText());
    // The typed text goes only once the comment is in.
    if (reply.posted) {
        commentFiled->setText("");
        pubView->contentField->setText("");
    }
}

// ---- The bar ----

void CommentedArticleScreen::showcomment() {
    pubView->setHidden(true);
    auto list = ui::create<CommentViewController>();
    list->article_id = article_id;
    list->titleStr = titleStr;
    list->user_name = user_name;
    list->timeStr = timeStr;
    list->channel_id = channel_id;
    if (auto nav = navigationController()) nav->pushViewController(list, true);
}

void CommentedArticleScreen::keyboardWasShown(const ns::Notification& notification) {
    // The input bar serves this screen's comment fields only: the keyboard of
    // the login overlay, or of another screen, is left alone.
    auto responder = ui::Responder::firstResponder();
    if (!responder || (responder != commentFiled && responder != pubView->contentField)) return;
    double keyboardHeight = ui::rectFromUserInfo(notification.userInfo, ui::UIKeyboardFrameBeginUserInfoKey).size.height;
    ns::NSLog("keyBoard:%f", keyboardHeight);
    const ui::Rect bounds = view()->bounds();
    pubView->setHidden(false);
    pubView->setFrame(ui::Rect{0, bounds.size.height - keyboardHeight - 110, bounds.size.width, 100});
    // The article ends where the input bar begins: none of it shows in the
    // gap between the bar and the keyboard.
    if (articleFrame_.isEmpty()) articleFrame_ = msrview->frame();
    ui::Rect above = articleFrame_;
    above.size.height = std::max(0.0, pubView->frame().minY() - above.minY());
    msrview->setFrame(above);
    pubView->contentField->becomeFirstResponder();
}

void CommentedArticleScreen::keyboardWasHidden(const ns::Notification&) {
    // The input bar stands on the keyboard: it goes when the keyboard goes,
    // however it went (a login from the overlay ends its editing), and keeps
    // its text for the next time.
    pubView->setHidden(true);
    if (!articleFrame_.isEmpty()) msrview->setFrame(articleFrame_);
}

bool CommentedArticleScreen::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& /*field*/) {
    pubView->contentField->resignFirstResponder();
    commentFiled->resignFirstResponder();
    pubView->contentField->setText("");
    commentFiled->setText("");
    pubView->setHidden(true);
    return true;
}

void CommentedArticleScreen::PublishedContent() {
    if (pp->isSending(kCommentOperation)) return;  // a comment on its way is not sent again
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
    type = channelstyle::kCommentType;
    commentbar::post(*this, *pp, content, article_id, channel_id);
    pubView->contentField->resignFirstResponder();
    commentFiled->resignFirstResponder();
    // The text stays until the reply says the comment is in.
    pubView->setHidden(true);
}

void CommentedArticleScreen::rolesName(const std::string& /*name*/, bool /*loginState*/) {
    commentbar::loggedIn(*loginview);
}
