#include "channels/CommentReply.h"

#include "app/framework/Records.h"

std::string CommentReply::alertText() const {
    if (posted) return kCommentPostedText;
    return message.empty() ? std::string(kCommentFailedText) : message;
}

CommentReply readCommentReply(const std::string& replyText) {
    ns::Value reply = records::parse(replyText);
    CommentReply r;
    r.posted = records::succeeded(reply);
    r.message = records::message(reply);
    return r;
}
