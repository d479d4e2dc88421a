// The "留言" tab of a representative's page: the messages members left for
// the representative with their replies, on the message board. The page
// fetches the list and hands it over through setCommentArray.
//
// One bar at the foot serves both: its button's title tells what the next
// send does, "留言" a new message or, after a "回复" tap on a message or a
// reply row, "回复" a reply to that record; Return keeps the mode, and only a
// reply the service took turns it back to "留言". A "删除" tap ends the
// editing before asking. A post, reply or deletion the service refuses
// says so (the reply's "message") and keeps the typed text. Every answer is
// followed by "reloadMessage".
#pragma once

#include <string>

#include "members/MessageBoard.h"

class CommentsView : public MessageBoard {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::string partyID;  // the representative

    // The bar's button: sends the text as the title says.
    void reply();

    static constexpr const char* kReloadNotification = "reloadMessage";

protected:
    void chooseReply(const ns::Value& message) override;
    void chooseDelete(const ns::Value& message) override;
    void sendMessage(const std::string& parentId, const std::string& text) override;
    void sendDelete(const std::string& id) override;
    void answered(Request kind, const ns::Value& reply) override;
    std::string reloadNotification() const override { return kReloadNotification; }
};
