#include "members/MessageBoard.h"

#include <algorithm>

#include "app/framework/BaseScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/Log.h"
#include "foundation/Notification.h"

namespace {

constexpr int kReplyTagBase = 1000;
constexpr int kDeleteTagBase = 2000;
constexpr double kBarHeight = 50;
constexpr double kKeyboardAllowance = 240;

}  // namespace

void MessageBoard::init(const ui::Rect& frame) {
    ui::View::init(frame);
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
    addSubview(leveMsgview);
}

void MessageBoard::setCommentArray(const ns::Value& messages) {
    commentArray_ = records::array(messages);
    commenttableview->setHidden(commentArray_.count() == 0);
}

// ---- The input bar ----

void MessageBoard::placeBar(bool up) {
    const double w = frame().size.width, h = frame().size.height;
    leveMsgview->setFrame(ui::Rect{0, h - kBarHeight - (up ? kKeyboardAllowance : 0), w, kBarHeight});
}

bool MessageBoard::textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>&) {
    placeBar(true);
    return true;
}

bool MessageBoard::textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) {
    placeBar(false);
    if (field) field->resignFirstResponder();
    return true;
}

bool MessageBoard::typedText(const LeaveMsgView& bar, const char* emptyAlert, std::string& text) {
    text = bar.contentField->text();
    if (!text.empty()) return true;
    Utils::showAlert(emptyAlert);
    return false;
}

// ---- Rows ----

long MessageBoard::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(commentArray_.count());
}

std::shared_ptr<ui::TableViewCell> MessageBoard::tableView_cellForRowAtIndexPath(
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
    cell->replyBt->setTag(static_cast<int>(ip.row) + kReplyTagBase);
    cell->replyBt->addTarget(this, &MessageBoard::replyMesg, ui::ControlEventTouchUpInside);
    cell->deleteBt->setTag(static_cast<int>(ip.row) + kDeleteTagBase);
    cell->deleteBt->addTarget(this, &MessageBoard::DeleteMesg, ui::ControlEventTouchUpInside);
    cell->deleteBt->setHidden(!LevelMsgCell::canDelete(message));
    cell->loadingCellWithComments(LevelMsgCell::flatReplies(message));
    return cell;
}

double MessageBoard::tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) {
    ns::Value message = commentArray_.at(static_cast<std::size_t>(ip.row));
    return LevelMsgCell::heightForReplies(LevelMsgCell::flatReplies(message).count());
}

// ---- Choosing a message ----

void MessageBoard::replyMesg(std::shared_ptr<ui::Button> sender) {
    const long index = sender ? sender->tag() - kReplyTagBase : -1;
    if (index < 0 || static_cast<std::size_t>(index) >= commentArray_.count()) return;
    chooseReply(commentArray_.at(static_cast<std::size_t>(index)));
}

void MessageBoard::DeleteMesg(std::shared_ptr<ui::Button> sender) {
    const long index = sender ? sender->tag() - kDeleteTagBase : -1;
    if (index < 0 || static_cast<std::size_t>(index) >= commentArray_.count()) return;
    chooseDelete(commentArray_.at(static_cast<std::size_t>(index)));
}

void MessageBoard::replyMessage(const ns::Value& message) { chooseReply(message); }

void MessageBoard::DeleteMessage(const ns::Value& message) { chooseDelete(message); }

void MessageBoard::chooseDelete(const ns::Value& message) {
    parentMesgDit = message;
    askDelete();
}

void MessageBoard::askDelete() {
    ui::create<ui::AlertView>("温馨提示", "关于该评论的所有信息都将被删除，确定删除？", sharedAs<ui::AlertViewDelegate>(),
                              "取消", std::vector<std::string>{"确定"})
        ->show();
}

// ---- Sending ----

void MessageBoard::send(Request kind, const std::string& text) {
    start(kind, [&] {
        if (kind == Request::Reply) {
            parent_id = records::text(parentMesgDit, "id");
            sendMessage(parent_id, text);
        } else {
            sendMessage("", text);
        }
    });
}

void MessageBoard::alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>&, int buttonIndex) {
    if (buttonIndex != 1) return;
    start(Request::Delete, [&] { sendDelete(records::text(parentMesgDit, "id")); });
}

void MessageBoard::start(Request kind, const std::function<void()>& request) {
    std::erase_if(outstanding_, [](const auto& entry) { return entry.first.expired(); });
    if (std::any_of(outstanding_.begin(), outstanding_.end(), [kind](const auto& e) { return e.second == kind; }))
        return;  // one of that kind is still on its way
    switch (kind) {
        case Request::Post:
            requestType = kPostRequest;
            BaseScreen::showProgressFor(*this, "留言中...");
            break;
        case Request::Reply:
            requestType = kReplyRequest;
            BaseScreen::showProgressFor(*this, "回复中...");
            break;
        case Request::Delete:
            requestType = kDeleteRequest;
            BaseScreen::showProgressFor(*this, "删除中...");
            break;
    }
    request();
    if (auto running = pp->runningRequest()) outstanding_.emplace_back(running, kind);
}

// ---- Answers ----

void MessageBoard::GetWebServerContent_success(const std::string& result) {
    ProgressHUD::dismiss();
    ns::NSLog("resonse===%@", result);
    auto request = pp->replyRequest();
    auto entry = std::find_if(outstanding_.begin(), outstanding_.end(),
                              [&](const auto& e) { return e.first.lock() == request; });
    if (request && entry != outstanding_.end()) {
        const Request kind = entry->second;
        outstanding_.erase(entry);
        auto keep = sharedAs<MessageBoard>();
        answered(kind, records::parse(result));
    }
    ns::NotificationCenter::defaultCenter().post(reloadNotification());
}

void MessageBoard::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    ProgressHUD::dismiss();
    auto request = pp->replyRequest();
    std::erase_if(outstanding_, [&](const auto& entry) { return request && entry.first.lock() == request; });
}
