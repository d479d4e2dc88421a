#include "members/PartyCommentView.h"

#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "uikit/Window.h"

void PartyCommentView::init(const ui::Rect& frame, const std::shared_ptr<ui::ViewController>& host) {
    MessageBoard::init(frame);
    parent_ = host;
    leveMsgview->PublishedButton->addTarget(this, &PartyCommentView::reply, ui::ControlEventTouchUpInside);

    const ui::Rect screen = ui::Screen::mainScreen().bounds();
    maskview = ui::create<maskView>(ui::Rect{0, 0, screen.size.width, screen.size.height});
    maskview->setUserInteractionEnabled(true);
    maskview->setHidden(true);
    maskview->addGestureRecognizer(ui::create<ui::TapGestureRecognizer>(this, &PartyCommentView::maskTapped));
    maskview->leveMsgview->PublishedButton->addTarget(this, &PartyCommentView::PartyreplyMessage,
                                                      ui::ControlEventTouchUpInside);
    if (host) host->view()->addSubview(maskview);
}

// ---- Leaving a message ----

void PartyCommentView::reply() {
    std::string text;
    if (!typedText(*leveMsgview, "请输入要留言的内容", text)) return;
    textFieldShouldReturn(leveMsgview->contentField);
    send(Request::Post, text);
}

// ---- Replying ----

void PartyCommentView::chooseReply(const ns::Value& message) {
    parentMesgDit = message;
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

void PartyCommentView::PartyreplyMessage() {
    std::string text;
    if (typedText(*maskview->leveMsgview, "请输入要回复的内容", text)) send(Request::Reply, text);
}

void PartyCommentView::maskTapped(std::shared_ptr<ui::TapGestureRecognizer>) { disview(); }

void PartyCommentView::disview() {
    endEditing(true);
    maskview->leveMsgview->contentField->resignFirstResponder();
    maskview->leveMsgview->setHidden(true);
    maskview->setHidden(true);
}

// ---- The service ----

void PartyCommentView::sendMessage(const std::string& parentId, const std::string& text) {
    pp->SubmitRetailerComment(userID, partyID, parentId, text, userType);
}

void PartyCommentView::sendDelete(const std::string& id) { pp->SubmitRetCommentDel(id); }

void PartyCommentView::answered(Request kind, const ns::Value& reply) {
    if (!records::succeeded(reply)) return;
    if (kind == Request::Delete) {
        Utils::showAlert("删除成功!");
        return;
    }
    leveMsgview->contentField->setText("");
    maskview->leveMsgview->contentField->setText("");
    disview();
}
