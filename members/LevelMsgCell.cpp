#include "members/LevelMsgCell.h"

#include "app/framework/Records.h"
#include "uikit/Color.h"
#include "uikit/Font.h"

namespace {

std::shared_ptr<ui::Label> messageLabel(const ui::Rect& frame) {
    auto l = ui::create<ui::Label>(frame);
    l->setFont(ui::Font::systemFontOfSize(13));
    l->setBackgroundColor(ui::Color::clearColor());
    return l;
}

std::shared_ptr<replyButton> messageButton(const ui::Rect& frame, const std::string& title) {
    auto b = ui::Button::buttonWithType<replyButton>(ui::ButtonTypeCustom);
    b->setFrame(frame);
    b->setTitle(title, ui::ControlStateNormal);
    b->setTitleColor(ui::Color::blueColor(), ui::ControlStateNormal);
    b->titleLabel()->setFont(ui::Font::systemFontOfSize(13));
    return b;
}

// Title, content, buttons and time of a message, laid out in a width.
struct MessageParts {
    std::shared_ptr<ui::Label> title, content, time;
    std::shared_ptr<replyButton> reply, remove;
};

MessageParts buildParts(ui::View& into, double x, double w) {
    MessageParts p;
    p.title = messageLabel(ui::Rect{x, 0, 350, 30});
    p.title->setTextColor(ui::Color::blueColor());
    p.content = messageLabel(ui::Rect{x, 30, w - 20, 40});
    p.content->setNumberOfLines(0);
    p.content->setLineBreakMode(ui::LineBreakByCharWrapping);
    p.reply = messageButton(ui::Rect{w - 180, 70, 30, 20}, "回复");
    p.remove = messageButton(ui::Rect{p.reply->frame().maxX() + 5, 70, 30, 20}, "删除");
    p.remove->setHidden(true);
    p.time = messageLabel(ui::Rect{p.remove->frame().maxX(), 70, 250, 20});
    into.addSubview(p.title);
    into.addSubview(p.content);
    into.addSubview(p.reply);
    into.addSubview(p.remove);
    into.addSubview(p.time);
    return p;
}

}  // namespace

void CommentChildrenView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
    auto p = buildParts(*this, 15, frame.size.width);
    titleLabel = p.title;
    contentLabel = p.content;
    timeLabel = p.time;
    replyBt = p.reply;
    deleteBt = p.remove;
}

void LevelMsgCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    double w = frame().size.width;
    auto p = buildParts(*contentView(), 5, w);
    titleLabel = p.title;
    contentLabel = p.content;
    timeLabel = p.time;
    replyBt = p.reply;
    deleteBt = p.remove;
    childrenGroundview = ui::create<ui::View>(ui::Rect{0, 90, w, 1});
    childrenGroundview->setBackgroundColor(ui::Color::lightGrayColor());
    childrenGroundview->setHidden(true);
    contentView()->addSubview(childrenGroundview);
}

bool LevelMsgCell::canDelete(const ns::Value& message) {
    return records::text(message, "is_del_permission") == "1";
}

void LevelMsgCell::loadingCellWithComments(const ns::Value& comments) {
    commentArray = records::array(comments);
    for (auto& v : childrenGroundview->subviews()) {
        if (std::dynamic_pointer_cast<CommentChildrenView>(v)) v->removeFromSuperview();
    }
    std::size_t n = commentArray.count();
    if (n == 0) {
        childrenGroundview->setHidden(true);
        return;
    }
    childrenGroundview->setHidden(false);
    double w = frame().size.width;
    float y = 0.5f;
    for (std::size_t i = 0; i < n; ++i) {
        ns::Value r = commentArray.at(i);
        auto row = ui::create<CommentChildrenView>(ui::Rect{0, y, w, 90});
        childrenGroundview->addSubview(row);
        row->replyBt->addTarget(this, &LevelMsgCell::reply, ui::ControlEventTouchUpInside);
        row->replyBt->setTag(kReplyTagBase + static_cast<int>(i));
        row->deleteBt->addTarget(this, &LevelMsgCell::deleteMsg, ui::ControlEventTouchUpInside);
        row->deleteBt->setTag(kDeleteTagBase + static_cast<int>(i));
        row->deleteBt->setHidden(!canDelete(r));
        row->titleLabel->setText(records::text(r, "comment_user_name") + "回复" + parentUser_name);
        row->contentLabel->setText(records::text(r, "comment_content"));
        row->timeLabel->setText(records::text(r, "add_time"));
        y = y + 90 + 0.5f;
    }
    childrenGroundview->setFrame(ui::Rect{0, timeLabel->frame().maxY(), w, y});
}

void LevelMsgCell::reply(std::shared_ptr<ui::Button> sender) {
    if (!sender) return;
    int i = sender->tag() - kReplyTagBase;
    if (i < 0 || static_cast<std::size_t>(i) >= commentArray.count()) return;
    auto d = delegate.lock();
    if (d && d->respondsToReplyMessage()) d->replyMessage(commentArray.at(static_cast<std::size_t>(i)));
}

void LevelMsgCell::deleteMsg(std::shared_ptr<ui::Button> sender) {
    if (!sender) return;
    int i = sender->tag() - kDeleteTagBase;
    if (i < 0 || static_cast<std::size_t>(i) >= commentArray.count()) return;
    auto d = delegate.lock();
    if (d && d->respondsToDeleteMessage()) d->DeleteMessage(commentArray.at(static_cast<std::size_t>(i)));
}

ns::Value LevelMsgCell::flatReplies(const ns::Value& message) {
    ns::Value direct = records::array(message, "childrens");
    ns::Value flat = ns::Value::array();
    for (auto& d : direct.items()) flat.push(d);
    for (auto& d : direct.items()) {
        ns::Value second = records::array(d, "childrens");
        for (auto& e : second.items()) flat.push(e);
        for (auto& e : second.items()) {
            const ns::Value third = records::array(e, "childrens");
            for (auto& f : third.items()) flat.push(f);
        }
    }
    return flat;
}
