#include "members/PartyCommentView.h"

#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "uikit/Window.h"

void PartyCommentView::init(const ui::Rect& frame, const std::shared_ptr<ui::ViewController>& host) {
    MessageBoard::init(frame);
    parent_ = host;
    commenttableview->setHidden(true);
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

void PartyCommentView::setCommentArray(const ns::Value& messages) {
    MessageBoard::setCommentArray(messages);
    commenttableview->setHidden(commentArray().count() == 0);
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
        Utils::showAlert("请输入要留言的内容");
        return;
    }
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
    const std::string text = maskview->leveMsgview->contentField->text();
    if (text.empty()) {
        Utils::showAlert("请输入要回复的内容");
        return;
    }
    send(Request::Reply, text);
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

void PartyCommentView::answered(Request kind, bool successful) {
    if (!successful) return;
    if (kind == Request::Delete) {
        Utils::showAlert("删除成功!");
        return;
    }
    leveMsgview->contentField->setText("");
    maskview->leveMsgview->contentField->setText("");
    disview();
}
