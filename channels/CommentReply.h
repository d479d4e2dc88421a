// What a reply to "SubmitComment" says, for every screen that posts comments.
//
//   CommentReply r = readCommentReply(text);
//   Utils::showAlert(r.alertText());        // "评论成功", or why it failed
//   if (r.posted) { ... clear the typed text ... }
//
// Only a reply object whose "state" is "successful" counts as posted. A reply
// with another state, or one that cannot be read, did not post: its
// "message" (when it carries a text) says why, else "评论失败".
#pragma once

#include <string>

struct CommentReply {
    bool posted = false;
    std::string message;  // the reply's "message" ("" when it has none)

    // The text the member is shown.
    std::string alertText() const;
};

CommentReply readCommentReply(const std::string& replyText);

inline constexpr const char* kCommentPostedText = "评论成功";
inline constexpr const char* kCommentFailedText = "评论失败";
