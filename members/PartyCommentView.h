// The "留言" tab of a product: the threaded messages about the product, on
// the message board. The host (the product detail) fetches the message list
// and hands it over through setCommentArray; the table is hidden while there
// is no message. The bar at the foot leaves a new message; a reply is typed
// in a second bar over a dimming overlay (maskView) that covers the host's
// screen. Answers are followed by "reloadPartyMessage".
#pragma once

#include <memory>
#include <string>

#include "members/MessageBoard.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ViewController.h"

class PartyCommentView : public MessageBoard {
public:
    void init(const ui::Rect& frame, const std::shared_ptr<ui::ViewController>& host);

    std::string partyID, userID, userType;
    std::shared_ptr<maskView> maskview;

    std::shared_ptr<ui::ViewController> parentViewController() const { return parent_.lock(); }
    void setParentViewController(const std::shared_ptr<ui::ViewController>& host) { parent_ = host; }

    // The foot bar's "留言" and the reply bar's "回复".
    void reply();
    void PartyreplyMessage();
    void disview();

    static constexpr const char* kReloadNotification = "reloadPartyMessage";

protected:
    void chooseReply(const ns::Value& message) override;
    void sendMessage(const std::string& parentId, const std::string& text) override;
    void sendDelete(const std::string& id) override;
    void answered(Request kind, const ns::Value& reply) override;
    std::string reloadNotification() const override { return kReloadNotification; }

private:
    void maskTapped(std::shared_ptr<ui::TapGestureRecognizer>);
    std::weak_ptr<ui::ViewController> parent_;
};
