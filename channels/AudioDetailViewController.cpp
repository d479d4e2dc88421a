#include "channels/AudioDetailViewController.h"

#include "app/framework/OCJUIWebViewController.h"
#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "app/images/WebImageView.h"
#include "channels/ChannelStyle.h"
#include "channels/CommentReply.h"
#include "channels/CommentViewController.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Keyboard.h"
#include "uikit/NavigationController.h"
#include "uikit/SystemStandIns.h"
#include "uikit/Text.h"

namespace {

constexpr const char* kCommentOperation = "SubmitComment";

}  // namespace

AudioDetailViewController::~AudioDetailViewController() { ns::NotificationCenter::defaultCenter().removeObserver(this); }

void AudioDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    channel_id.clear();
    type.clear();
    timeStr.clear();
    titleStr.clear();
    user_name.clear();

    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    naview = ui::create<NavBarView>(ui::Rect{0, 0, w, NavBarView::kHeight});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(navTitle);
    view()->addSubview(naview);

    msrview = ui::create<ui::ScrollView>(ui::Rect{0, 64, w, h - 128});
    view()->addSubview(msrview);

    titleLabel = ui::create<ui::Label>(ui::Rect{5, 0, w - 10, 20});
    titleLabel->setFont(ui::Font::boldSystemFontOfSize(16));
    titleLabel->setNumberOfLines(0);
    titleLabel->setLineBreakMode(ui::LineBreakByCharWrapping);
    msrview->addSubview(titleLabel);

    timeLabel = ui::create<ui::Label>(ui::Rect{5, 30, w - 10, 15});
    timeLabel->setFont(ui::Font::systemFontOfSize(12));
    timeLabel->setTextColor(ui::Color::lightGrayColor());
    msrview->addSubview(timeLabel);

    line = ui::create<ui::View>(ui::Rect{5, 50, w - 10, 0.8});
    line->setBackgroundColor(channelstyle::kRuleColor);
    msrview->addSubview(line);

    mwebview = ui::create<ui::WebView>(ui::Rect{5, 50.8, w - 10, 90});
    mwebview->setDelegate(sharedAs<ui::WebViewDelegate>());
    mwebview->scrollView()->setScrollEnabled(false);
    mwebview->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    msrview->addSubview(mwebview);

    ui::Rect web = mwebview->frame();
    mtableview = ui::create<ui::TableView>(ui::Rect{0, web.origin.y + web.size.height, w, 20}, ui::TableViewStylePlain);
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    msrview->addSubview(mtableview);

    navigationItem()->setLeftBarButtonItem(left());
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
    showButton->setTitle("查看评论", ui::ControlStateNormal);
    showButton->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    showButton->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    showButton->layer().setBorderWidth(1);
    showButton->layer().setBorderColor(ui::Color::redColor());
    showButton->layer().setCornerRadius(6);
    showButton->addTarget(this, &AudioDetailViewController::showcomment, ui::ControlEventTouchUpInside);
    view()->addSubview(showButton);

    pubView = ui::create<PublishedView>(ui::Rect{0, 100, w, 100});
    pubView->setHidden(true);
    pubView->PublishedButton->addTarget(this, &AudioDetailViewController::PublishedContent,
                                        ui::ControlEventTouchUpInside);
    pubView->contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    view()->addSubview(pubView);

    loginview = ui::create<LoginViewController>();
    loginview->view()->setFrame(ui::Rect{0, 64, w, h - 64});
    view()->addSubview(loginview->view());
    loginview->view()->setHidden(true);
    loginview->setDelegate(weakAs<LoginViewControllerDelegate>());
    loginview->setIsFrom("评论");

    ProgressHUD::showWithTitle("", channelstyle::kLoadingText);
    pp->news_detail_request(article_id);

    ns::NotificationCenter::defaultCenter().addObserver(sharedAs<AudioDetailViewController>(),
                                                        ui::UIKeyboardDidShowNotification,
                                                        &AudioDetailViewController::keyboardWasShown);
}

void AudioDetailViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

std::shared_ptr<ui::BarButtonItem> AudioDetailViewController::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{5, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("ico_back.png"), ui::ControlStateNormal);
    button->addTarget(this, &AudioDetailViewController::back, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void AudioDetailViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

// ---- Replies ----

void AudioDetailViewController::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    ns::NSLog("resonse===%@", result);
    // The client names the operation this reply answers: the item's record
    // is drawn even when it arrives after a comment was sent.
    if (pp && pp->replyOperation() == kCommentOperation) {
        commentReplied(result);
    } else {
        itemReplied(result);
    }
}

void AudioDetailViewController::GetWebServerContent_Fail(const ns::ErrorPtr& /*error*/) {
    if (pp && pp->replyOperation() == kCommentOperation) type.clear();
    ProgressHUD::dismissWithError(channelstyle::kLoadFailedText, "", kFailureDelay);
    ProgressHUD::dismiss();
}

void AudioDetailViewController::itemReplied(const std::string& result) {
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
    mwebview->loadHTMLString(records::text(record, "content"), "");

    // Only records count as attachments.
    mdataArray = ns::Value::array();
    const ns::Value attachs = records::array(record, "attachs");
    for (const auto& a : attachs.items()) {
        if (a.isDictionary()) mdataArray.push(a);
    }
    if (mdataArray.count() == 0) mtableview->setHidden(true);
}

void AudioDetailViewController::commentReplied(const std::string& result) {
    type.clear();
    CommentReply reply = readCommentReply(result);
    Utils::showAlert(reply.alertText());
    if (reply.posted) {
        commentFiled->setText("");
        pubView->contentField->setText("");
    }
}

// ---- The body and its attachments ----

void AudioDetailViewController::webViewDidFinishLoad(const std::shared_ptr<ui::WebView>& /*webView*/) {
    const double w = view()->bounds().size.width;
    double height = ns::Value(mwebview->stringByEvaluatingJavaScriptFromString("document.body.scrollHeight")).floatValue();
    if (height < 0) height = 0;
    mtableview->reloadData();
    ui::Rect l = line->frame();
    mwebview->setFrame(ui::Rect{5, l.origin.y + l.size.height, w - 10, height});
    ui::Rect b = mwebview->frame();
    double tableHeight = std::max(mtableview->frame().size.height, mtableview->contentSize().height);
    mtableview->setFrame(ui::Rect{0, b.origin.y + b.size.height, w, tableHeight});
    ui::Rect t = mtableview->frame();
    msrview->setContentSize(ui::Size{w, t.origin.y + t.size.height + 10});
}

long AudioDetailViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

std::shared_ptr<ui::TableViewCell> AudioDetailViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    auto cell = table->dequeueReusableCellWithIdentifier("cell");
    if (!cell) cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "cell");
    cell->textLabel()->setText(records::text(mdataArray.at(static_cast<std::size_t>(ip.row)), "file_name"));
    cell->textLabel()->setFont(ui::Font::systemFontOfSize(13));
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    return cell;
}

void AudioDetailViewController::tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                                  const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= mdataArray.count()) return;
    openAttachment(mdataArray.at(static_cast<std::size_t>(ip.row)));
}

void AudioDetailViewController::openAttachment(const ns::Value& attachment) {
    auto nav = navigationController();
    if (!nav) return;
    const std::string ext = records::text(attachment, "file_ext");
    const std::string path = records::text(attachment, "file_path");
    if (ext == "jpg" || ext == "png") {
        auto picture = ui::create<ShowPictureViewController>();
        picture->picPath = path;
        nav->pushViewController(picture, true);
    } else if (ext == "mp3" || ext == "mp4") {
        auto movie = ui::create<ui::MoviePlayerViewController>(path);
        movie->moviePlayer()->setScalingMode(ui::MovieScalingModeFill);
        movie->moviePlayer()->setControlStyle(ui::MovieControlStyleFullscreen);
        movie->moviePlayer()->play();
        nav->presentViewController(movie, true);
    } else {
        auto web = ui::create<OCJUIWebViewController>("OCJUIWebViewController");
        web->titleStr = kAttachmentTitle;
        web->urlStr = path;
        nav->pushViewController(web, true);
    }
}

void AudioDetailViewController::htmlViewDidTapImage(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                                    const std::string& imageUrl) {
    ns::NSLog("imageurl=%@", imageUrl);
    if (BigImagev) BigImagev->removeFromSuperview();
    const ui::Rect bounds = view()->bounds();
    BigImagev = ui::create<ui::ImageView>(ui::Rect{0, 64, bounds.size.width, bounds.size.height - 64});
    BigImagev->setUserInteractionEnabled(true);
    BigImagev->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &AudioDetailViewController::disBigview));
    view()->addSubview(BigImagev);
    setImageWithURL(BigImagev, imageUrl);
}

void AudioDetailViewController::htmlViewDidTapLink(const std::shared_ptr<HTMLArticleView>& /*view*/,
                                                   const std::string& linkUrl) {
    ns::NSLog("linkUrl==%@", linkUrl);
}

void AudioDetailViewController::disBigview() {
    if (!BigImagev) return;
    BigImagev->removeFromSuperview();
    BigImagev.reset();
}

// ---- Comments ----

void AudioDetailViewController::showcomment() {
    pubView->setHidden(true);
    auto list = ui::create<CommentViewController>();
    list->article_id = article_id;
    list->titleStr = titleStr;
    list->user_name = user_name;
    list->timeStr = timeStr;
    list->channel_id = channel_id;
    if (auto nav = navigationController()) nav->pushViewController(list, true);
}

void AudioDetailViewController::keyboardWasShown(const ns::Notification& notification) {
    // Only this screen's comment fields raise the input bar.
    auto responder = ui::Responder::firstResponder();
    if (!responder || (responder != commentFiled && responder != pubView->contentField)) return;
    double keyboardHeight = ui::rectFromUserInfo(notification.userInfo, ui::UIKeyboardFrameBeginUserInfoKey).size.height;
    const ui::Rect bounds = view()->bounds();
    pubView->setHidden(false);
    pubView->setFrame(ui::Rect{0, bounds.size.height - keyboardHeight - 110, bounds.size.width, 100});
    pubView->contentField->becomeFirstResponder();
}

bool AudioDetailViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& /*field*/) {
    pubView->contentField->resignFirstResponder();
    commentFiled->resignFirstResponder();
    pubView->contentField->setText("");
    commentFiled->setText("");
    pubView->setHidden(true);
    return true;
}

void AudioDetailViewController::PublishedContent() {
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

void AudioDetailViewController::rolesName(const std::string& /*name*/, bool /*loginState*/) {
    loginview->view()->setHidden(true);
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setBool(true, Utils::kLoginStateKey);
    defaults->synchronize();
}

// ---- The picture screen ----

void ShowPictureViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    view()->setBackgroundColor(ui::Color::whiteColor());
    const double w = view()->bounds().size.width;
    naview = ui::create<NavBarView>(ui::Rect{0, 0, w, NavBarView::kHeight});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(kAttachmentTitle);
    view()->addSubview(naview);
    imageView = ui::create<ui::ImageView>(ui::Rect{10, 70, w - 20, 300});
    view()->addSubview(imageView);
    setImageWithURL(imageView, picPath);
}

void ShowPictureViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}
