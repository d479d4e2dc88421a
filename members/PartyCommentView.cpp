#include "members/PartyCommentView.h"

#include "app/widgets/ProgressHUD.h"
#include "app/framework/Records.h"
#include "foundation/Log.h"
#include "foundation/Notification.h"
#include "uikit/Window.h"

namespace {

constexpr const char* kPostRequest = "留言";
constexpr const char* kReplyRequest = "回复";
constexpr const char* kDeleteRequest = "删除";

void alert(const std::string& message) { ui::create<ui::AlertView>("温馨提示", message, nullptr, "确定")->show(); }

}  // namespace

void PartyCommentView::init(const ui::Rect& frame, const std::shared_ptr<ui::ViewController>& host) {
    ui::View::init(frame);
    parent_ = host;
    setBackgroundColor(ui::Color::whiteColor());
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    const double w = frame.size.width;
    const double h = frame.size.height;
    commenttableview = ui::create<ui::TableView>(ui::Rect{0, 0, w, h - 50}, ui::TableViewStylePlain);
    commenttableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    commenttableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    commenttableview->setHidden(true);
    addSubview(commenttableview);

    leveMsgview = ui::create<LeaveMsgView>(ui::Rect{0, h - 50, w, 50});
    leveMsgview->contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
    leveMsgview->PublishedButton->addTarget(this, &PartyCommentView::reply, ui::ControlEventTouchUpInside);
    addSubview(leveMsgview);

    const ui::Rect screen = ui::Screen::mainScreen().bounds();
    maskview = ui::create<maskView>(ui::Rect{0, 0, screen.size.width, screen.size.height});
    maskview->setUserInteractionEnabled(true);
    maskview->setHidden(true);
    maskview->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &PartyCommentView::maskTapped));
    maskview->leveMsgview->PublishedButton->addTarget(this, &PartyCommentView::PartyreplyMessage,
                                                      ui::ControlEventTouchUpInside);
    if (host) host->view()->addSubview(maskview);
}

void PartyCommentView::setCommentArray(const ns::Value& messages) {
    commentArray_ = records::array(messages);
    commenttableview->setHidden(commentArray_.count() == 0);
}

// ---- Rows ----

long PartyCommentView::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(commentArray_.count());
}

std::shared_ptr<ui::TableViewCell> PartyCommentView::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    auto cell = std::dynamic_pointer_cast<LevelMsgCell>(table->dequeueReusableCellWithIdentifier("cell"));
    if (!cell) cell = ui::create<LevelMsgCell>(ui::TableViewCellStyleDefault, "cell");
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->delegate = std::weak_ptr<LevelMsgCellDelegate>(sharedAs<LevelMsgCellDelegate>());
    ns::Value message = commentArray_.at(static_cast<std::size_t>(ip.row));
    cell->titleLabel->setText(records::text(message, "comment_user_name"));
    cell->contentLabel->setText(records::text(message, "comment_content"));
    cell->timeLabel->setText(records::text(message, "add_time"));
    cell->parentUser_name = records::text(message, "comment_user_name");
    cell->replyBt->setTag(static_cast<int>(ip.row) + 1000);
    cell->replyBt->addTarget(this, &PartyCommentView::replyMesg, ui::ControlEventTouchUpInside);
    cell->deleteBt->setTag(static_cast<int>(ip.row) + 2000);
    cell->deleteBt->addTarget(this, &PartyCommentView::DeleteMesg, ui::ControlEventTouchUpInside);
    cell->deleteBt->setHidden(!LevelMsgCell::canDelete(message));
    cell->loadingCellWithComments(LevelMsgCell::flatReplies(message));
    return cell;
}

double PartyCommentView::tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&,
                                                           const ui::IndexPath& ip) {
    ns::Value message = commentArray_.at(static_cast<std::size_t>(ip.row));
    return LevelMsgCell::heightForReplies(LevelMsgCell::flatReplies(message).count());
}

// ---- Leaving a message ----

bool PartyCommentView::textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>&) {
    const double w = frame().size.width, h = frame().size.height;
    leveMsgview->setFrame(ui::Rect{0, h - 290, w, 50});
    return true;
}

bool PartyCommentView::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) {
    const double w = frame().size.width, h = frame().size.height;
    leveMsgview->setFrame(ui::Rect{0, h - 50, w, 50});
    field->resignFirstResponder();
    return true;
}

void PartyCommentView::reply() {
    const std::string text = leveMsgview->contentField->text();
    if (text.empty()) {
        alert("请输入要留言的内容");
        return;
    }
    textFieldShouldReturn(leveMsgview->contentField);
    requestType = kPostRequest;
    ProgressHUD::showWithTitle("", "留言中...");
    pp->SubmitRetailerComment(userID, partyID, "", text, userType);
}

// ---- Replying ----

void PartyCommentView::openReplyBar() {
    auto host = parentViewController();
    const ui::Rect screen = ui::Screen::mainScreen().bounds();
    auto bar = maskview->leveMsgview;
    bar->setFrame(ui::Rect{0, screen.size.height / 2 - 15, screen.size.width, 50});
    if (host) host->view()->addSubview(bar);
    maskview->setHidden(false);
    bar->setHidden(false);
    bar->PublishedButton->setTitle("回复", ui::ControlStateNormal);
    bar->contentField->becomeFirstResponder();
}

void PartyCommentView::replyMesg(std::shared_ptr<ui::Button> sender) {
    const long index = sender ? sender->tag() - 1000 : -1;
    if (index < 0 || static_cast<std::size_t>(index) >= commentArray_.count()) return;
    parentMesgDit = commentArray_.at(static_cast<std::size_t>(index));
    openReplyBar();
}

void PartyCommentView::replyMessage(const ns::Value& message) {
    parentMesgDit = message;
    openReplyBar();
}

void PartyCommentView::PartyreplyMessage() {
    const std::string text = maskview->leveMsgview->contentField->text();
    if (text.empty()) {
        alert("请输入要回复的内容");
        return;
    }
    requestType = kReplyRequest;
    ProgressHUD::showWithTitle("", "回复中...");
    parent_id = records::text(parentMesgDit, "id");
    pp->SubmitRetailerComment(userID, partyID, parent_id, text, userType);
}

void PartyCommentView::maskTapped(std::shared_ptr<ui::TapGestureRecognizer>) { disview(); }

void PartyCommentView::disview() {
    endEditing(true);
    maskview->leveMsgview->contentField->resignFirstResponder();
    maskview->leveMsgview->setHidden(true);
    maskview->setHidden(true);
}

// ---- Deleting ----

void PartyCommentView::askDelete() {
    ui::create<ui::AlertView>("温馨提示", "关于该评论的所有信息都将被删除，确定删除？", sharedAs<ui::AlertViewDelegate>(),
                              "取消", std::vector<std::string>{"确定"})
        ->show();
}

void PartyCommentView::DeleteMesg(std::shared_ptr<ui::Button> sender) {
    const long index = sender ? sender->tag() - 2000 : -1;
    if (index < 0 || static_cast<std::size_t>(index) >= commentArray_.count()) return;
    parentMesgDit = commentArray_.at(static_cast<std::size_t>(index));
    askDelete();
}

void PartyCommentView::DeleteMessage(const ns::Value& message) {
    parentMesgDit = message;
    askDelete();
}

void PartyCommentView::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>&, int buttonIndex) {
    if (buttonIndex != 1) return;
    requestType = kDeleteRequest;
    ProgressHUD::showWithTitle("", "删除中...");
    pp->SubmitRetCommentDel(records::text(parentMesgDit, "id"));
}

// ---- Replies ----

void PartyCommentView::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    ns::NSLog("resonse===%@", result);
    const bool ok = records::succeeded(records::parse(result));
    if (requestType == kDeleteRequest) {
        if (ok) alert("删除成功!");
    } else if (ok) {
        leveMsgview->contentField->setText("");
        maskview->leveMsgview->contentField->setText("");
        disview();
    }
    ns::NotificationCenter::defaultCenter().post(kReloadNotification);
}

void PartyCommentView::GetWebServerContent_Fail(const ns::ErrorPtr&) { ProgressHUD::dismiss(); }
