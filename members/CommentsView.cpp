#include "members/CommentsView.h"

#include "app/framework/Records.h"
#include "app/shell/Utils.h"

void CommentsView::init(const ui::Rect& frame) {
    MessageBoard::init(frame);
    leveMsgview->PublishedButton->addTarget(this, &CommentsView::reply, ui::ControlEventTouchUpInside);
}

void CommentsView::reply() {
    std::string text;
    if (!typedText(*leveMsgview, "请输入要留言的内容", text)) return;
    textFieldShouldReturn(leveMsgview->contentField);
    const std::string mode = leveMsgview->PublishedButton->currentTitle();
    if (mode == kPostRequest) {
        send(Request::Post, text);
    } else if (mode == kReplyRequest) {
        send(Request::Reply, text);
    }
}

void CommentsView::chooseReply(const ns::Value& message) {
    parentMesgDit = message;
    leveMsgview->PublishedButton->setTitle(kReplyRequest, ui::ControlStateNormal);
    leveMsgview->contentField->becomeFirstResponder();
    placeBar(true);
}

void CommentsView::chooseDelete(const ns::Value& message) {
    endEditing(true);
    requestType = kDeleteRequest;
    MessageBoard::chooseDelete(message);
}

void CommentsView::sendMessage(const std::string& parentId, const std::string& text) {
    pp->SubmitRepresentativeComment(partyID, parentId, text);
}

void CommentsView::sendDelete(const std::string& id) { pp->SubmitRepCommentDel(id); }

void CommentsView::answered(Request kind, const ns::Value& reply) {
    if (!records::succeeded(reply)) {
        // Refused: the member is told, and what was typed stays for another try.
        std::string message = records::message(reply);
        if (message.empty()) message = kind == Request::Delete ? "删除失败" : "留言失败";
        Utils::showAlert(message);
        return;
    }
    if (kind == Request::Delete) {
        Utils::showAlert("删除成功!");
        return;
    }
    if (kind == Request::Reply) leveMsgview->PublishedButton->setTitle(kPostRequest, ui::ControlStateNormal);
    leveMsgview->contentField->setText("");
}
