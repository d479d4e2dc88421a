// The row of a threaded message board: the top-level message (author, text,
// time, "回复" and "删除") with its replies drawn below it inside the same row,
// one CommentChildrenView per reply.
//
//   auto cell = ui::create<LevelMsgCell>(ui::TableViewCellStyleDefault, "cell");
//   cell->delegate = host;                       // taps on reply rows
//   ...labels, parentUser_name, top-level buttons (the host's own actions)...
//   auto replies = LevelMsgCell::flatReplies(message);
//   cell->loadingCellWithComments(replies);      // last
//   rowHeight = LevelMsgCell::heightForReplies(replies.count());
//
// The cell sends nothing to the service; the host owns the records.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/TableViewCell.h"
#include "uikit/View.h"

// The button class of the message rows (replyDit is kept for callers; unused
// by the rows themselves).
class replyButton : public ui::Button {
public:
    ns::Value replyDit;
};

class LevelMsgCellDelegate {
public:
    virtual ~LevelMsgCellDelegate() = default;
    virtual void replyMessage(const ns::Value& message) = 0;
    virtual void DeleteMessage(const ns::Value& message) = 0;
    // Whether each callback is answered (both are by default).
    virtual bool respondsToReplyMessage() const { return true; }
    virtual bool respondsToDeleteMessage() const { return true; }
};

// One reply row, 90 points high.
class CommentChildrenView : public ui::View {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<ui::Label> titleLabel, contentLabel, timeLabel;
    std::shared_ptr<replyButton> replyBt, deleteBt;
};

class LevelMsgCell : public ui::TableViewCell {
public:
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;
    using ui::TableViewCell::init;

    std::shared_ptr<ui::Label> titleLabel, contentLabel, timeLabel;
    std::string parentUser_name;
    ns::Value commentArray = ns::Value::array();
    std::shared_ptr<ui::View> childrenGroundview;
    std::shared_ptr<replyButton> replyBt, deleteBt;
    std::weak_ptr<LevelMsgCellDelegate> delegate;

    // Replaces the reply rows by one row per record, in order.
    void loadingCellWithComments(const ns::Value& comments);
    // Actions of the reply rows' buttons.
    void reply(std::shared_ptr<ui::Button> sender);
    void deleteMsg(std::shared_ptr<ui::Button> sender);

    // The replies a message shows, flattened: its direct replies, then for
    // each of them its replies and their replies (three levels in all).
    static ns::Value flatReplies(const ns::Value& message);
    // Row height of a message with that many shown replies.
    static double heightForReplies(std::size_t count) { return 90.5 + 91.0 * static_cast<double>(count); }
    // Whether a record grants deletion ("is_del_permission" 1 or "1").
    static bool canDelete(const ns::Value& message);

    static constexpr int kReplyTagBase = 2000;
    static constexpr int kDeleteTagBase = 3000;
};
