#include "channels/CommentViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/widgets/ProgressHUD.h"
#include "app/shell/Utils.h"
#include "channels/ChannelStyle.h"
#include "channels/CommentCell.h"
#include "channels/CommentReply.h"
#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "uikit/Keyboard.h"
#include "uikit/NavigationController.h"

namespace {

constexpr const char* kCommentOperation = "SubmitComment";

}  // namespace

CommentViewController::~CommentViewController() {
    ns::NotificationCenter::defaultCenter().removeObserver(this);
}

void CommentViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle("评论");
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    naview = makeBackNavBar(*this, "评论");

    view()->setBackgroundColor(ui::Color::whiteColor());

    commentview = ui::create<CommentView>(ui::Rect{0, 64, w, 85});
    commentview->titleLabel->setText(titleStr);
    commentview->timeLabel->setText(ns::format("%@ %@", user_name, timeStr));

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, w, h - 64 - kBarHeight}, ui::TableViewStylePlain);
    mtableview->setTableHeaderView(commentview);
    mtableview->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    view()->addSubview(mtableview);

    std::weak_ptr<CommentViewController> weakSelf = sharedAs<CommentViewController>();
    const std::string articleId = article_id;
    PagedList::Config config;
    config.request = [articleId](VoVaClient& client, const std::string& page, const std::string& size) {
        client.comment_request(page, size, articleId);
    };
    config.cell = [w](const PagedList::Table& table, const ns::Value& record, const ui::IndexPath&) {
        auto cell =
            std::dynamic_pointer_cast<CommentCell>(table->dequeueReusableCellWithIdentifier(CommentCell::kIdentifier));
        if (!cell) {
            cell = ui::create<CommentCell>(ui::TableViewCellStyleDefault, CommentCell::kIdentifier);
            cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
        }
        cell->showComment(record, w);
        return std::static_pointer_cast<ui::TableViewCell>(cell);
    };
    config.rowHeight = [w](const PagedList::Table&, const ns::Value& record, const ui::IndexPath&) {
        return CommentCell::rowHeight(record, w);
    };
    config.pageLoaded = [weakSelf](const ns::Value&, const ns::Value&) {
        if (auto self = weakSelf.lock()) self->showCount();
    };
    // A page reply closes the overlay without a result text.
    config.showsResult = false;
    list = PagedList::create(std::move(config));
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();

    NewcommentView = ui::create<ui::View>(ui::Rect{0, h - kBarHeight, w, kBarHeight});
    NewcommentView->setBackgroundColor(ui::Color::whiteColor());
    NewcommentView->layer().setBorderWidth(0.8);
    NewcommentView->layer().setBorderColor(ui::Color::lightGrayColor());
    view()->addSubview(NewcommentView);

    commentFiled = ui::create<ui::TextField>(ui::Rect{5, 5, 215, 34});
    commentFiled->layer().setBorderWidth(1);
    commentFiled->layer().setBorderColor(channelstyle::kRuleColor);
    commentFiled->layer().setCornerRadius(6);
    commentFiled->setFont(ui::Font::systemFontOfSize(14));
    commentFiled->setPlaceholder(channelstyle::kCommentPlaceholder);
    commentFiled->setDelegate(sharedAs<ui::TextFieldDelegate>());
    NewcommentView->addSubview(commentFiled);

    auto commentButton = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    commentButton->setFrame(ui::Rect{w - 80, 5, 70, 34});
    commentButton->layer().setBorderWidth(1);
    commentButton->layer().setBorderColor(ui::Color::redColor());
    commentButton->layer().setCornerRadius(6);
    commentButton->titleLabel()->setFont(ui::Font::systemFontOfSize(12));
    commentButton->setTitle("评论", ui::ControlStateNormal);
    commentButton->setTitleColor(ui::Color::blackColor(), ui::ControlStateNormal);
    commentButton->addTarget(this, &CommentViewController::comment, ui::ControlEventTouchUpInside);
    NewcommentView->addSubview(commentButton);

    auto& center = ns::NotificationCenter::defaultCenter();
    center.addObserver(sharedAs<CommentViewController>(), ui::UIKeyboardDidShowNotification,
                       &CommentViewController::keyboardWasShown);
    center.addObserver(sharedAs<CommentViewController>(), ui::UIKeyboardDidHideNotification,
                       &CommentViewController::keyboardWasHidden);

    loginview = ui::create<LoginViewController>();
    loginview->view()->setFrame(ui::Rect{0, 64, w, h - 64});
    view()->addSubview(loginview->view());
    loginview->setIsFrom("评论");
    loginview->setDelegate(weakAs<LoginViewControllerDelegate>());
    loginview->view()->setHidden(true);
}

void CommentViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->navigationItem()->setHidesBackButton(true);
}

std::shared_ptr<ui::BarButtonItem> CommentViewController::left() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{5, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("ico_back.png"), ui::ControlStateNormal);
    button->addTarget(this, &CommentViewController::back, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void CommentViewController::showCount() {
    commentview->countLabel->setText(ns::format("最新评论(%lu条)", list->count()));
}

// ---- Replies ----

void CommentViewController::GetWebServerContent_success(const std::string& result) {
    // Pages (and pages a refresh superseded) belong to the list.
    if (list->handleSuccess(*pp, result)) return;
    loadingSuccess();
    ProgressHUD::dismiss();
    if (pp->replyOperation() == kCommentOperation) commentReplied(result);
    mtableview->reloadData();
    list->testFinishedLoadData();
}

void CommentViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    if (list->handleFailure(*pp, error)) return;
    if (pp->replyOperation() == kCommentOperation) type.clear();
    loadingFail();
    list->testFinishedLoadData();
    ProgressHUD::dismiss();
}

void CommentViewController::commentReplied(const std::string& result) {
    type.clear();
    CommentReply reply = readCommentReply(result);
    Utils::showAlert(reply.alertText());
    // A refused comment keeps its text and leaves the list as it is.
    if (!reply.posted) return;
    commentFiled->setText("");
    list->reloadFromFirstPage();
}

// ---- The input bar ----

void CommentViewController::keyboardWasShown(const ns::Notification& notification) {
    // Only the comment field moves the bar: the login overlay's fields do not.
    if (ui::Responder::firstResponder() != commentFiled) return;
    double keyboardHeight = ui::rectFromUserInfo(notification.userInfo, ui::UIKeyboardFrameBeginUserInfoKey).size.height;
    ns::NSLog("keyBoard:%f", keyboardHeight);
    placeBar(view()->bounds().size.height - keyboardHeight - 50);
}

void CommentViewController::keyboardWasHidden(const ns::Notification&) {
    // However the keyboard went (a login from the overlay ends its editing),
    // the bar goes back to the bottom with it.
    placeBar(view()->bounds().size.height - kBarHeight);
}

void CommentViewController::placeBar(double y) {
    const ui::Rect bounds = view()->bounds();
    NewcommentView->setFrame(ui::Rect{0, y, bounds.size.width, kBarHeight});
    // The list ends where the bar begins: no row shows in the gap between a
    // raised bar and the keyboard.
    mtableview->setFrame(ui::Rect{0, 64, bounds.size.width, y - 64});
}

bool CommentViewController::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& /*field*/) {
    commentFiled->resignFirstResponder();
    placeBar(view()->bounds().size.height - kBarHeight);
    return true;
}

void CommentViewController::comment() {
    if (pp->isSending(kCommentOperation)) return;  // a comment on its way is not sent again
    if (!ns::UserDefaults::standardUserDefaults()->boolForKey(Utils::kLoginStateKey)) {
        loginview->view()->setHidden(false);
        return;
    }
    loginview->view()->setHidden(true);
    const std::string content = commentFiled->text();
    if (content.empty()) {
        Utils::showAlert(channelstyle::kEmptyCommentText);
        return;
    }
    MemberDataPtr member = Utils::getMember();
    type = channelstyle::kCommentType;
    showProgress(channelstyle::kCommentingText);
    pp->subitComment(content, member->real_name.text(), article_id, member->member_id.text(), channel_id);
    textFieldShouldReturn(commentFiled);
}

void CommentViewController::rolesName(const std::string& /*name*/, bool /*loginState*/) {
    loginview->view()->setHidden(true);
    auto defaults = ns::UserDefaults::standardUserDefaults();
    defaults->setBool(true, Utils::kLoginStateKey);
    defaults->synchronize();
}
