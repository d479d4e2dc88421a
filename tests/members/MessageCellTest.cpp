#include <gtest/gtest.h>

#include "app/framework/Records.h"
#include "members/LeaveMsgView.h"
#include "members/LevelMsgCell.h"
#include "uikit/UIKit.h"

namespace {

struct Recorder : LevelMsgCellDelegate {
    std::vector<std::string> replied, deleted;
    void replyMessage(const ns::Value& m) override { replied.push_back(records::text(m, "id")); }
    void DeleteMessage(const ns::Value& m) override { deleted.push_back(records::text(m, "id")); }
};

struct DeafRecorder : Recorder {
    bool respondsToReplyMessage() const override { return false; }
    bool respondsToDeleteMessage() const override { return false; }
};

std::vector<std::shared_ptr<CommentChildrenView>> rows(const LevelMsgCell& cell) {
    std::vector<std::shared_ptr<CommentChildrenView>> out;
    for (auto& v : cell.childrenGroundview->subviews())
        if (auto r = std::dynamic_pointer_cast<CommentChildrenView>(v)) out.push_back(r);
    return out;
}

std::shared_ptr<LevelMsgCell> makeCell() {
    auto cell = ui::create<LevelMsgCell>(ui::TableViewCellStyleDefault, "cell");
    cell->parentUser_name = "张三";
    return cell;
}

}  // namespace

TEST(LevelMsgCell, LaysOutTheMessageAndThreeFlatReplies) {
    auto cell = makeCell();
    EXPECT_EQ(cell->titleLabel->frame(), (ui::Rect{5, 0, 350, 30}));
    EXPECT_EQ(cell->contentLabel->frame(), (ui::Rect{5, 30, 300, 40}));
    EXPECT_EQ(cell->replyBt->frame(), (ui::Rect{140, 70, 30, 20}));
    EXPECT_EQ(cell->deleteBt->frame(), (ui::Rect{175, 70, 30, 20}));
    EXPECT_EQ(cell->timeLabel->frame(), (ui::Rect{205, 70, 250, 20}));
    EXPECT_TRUE(cell->deleteBt->isHidden());
    EXPECT_TRUE(cell->childrenGroundview->isHidden());

    auto msg = records::parse(
        R"({"id":1,"childrens":[{"id":2,"comment_user_name":"甲","comment_content":"好","add_time":"t2"},)"
        R"({"id":3,"comment_user_name":"乙","is_del_permission":1},{"id":4,"is_del_permission":"0"}]})");
    auto flat = LevelMsgCell::flatReplies(msg);
    ASSERT_EQ(flat.count(), 3u);
    cell->loadingCellWithComments(flat);
    auto r = rows(*cell);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_FALSE(cell->childrenGroundview->isHidden());
    EXPECT_DOUBLE_EQ(r[0]->frame().origin.y, 0.5);
    EXPECT_DOUBLE_EQ(r[1]->frame().origin.y, 91);
    EXPECT_DOUBLE_EQ(r[2]->frame().origin.y, 181.5);
    EXPECT_EQ(cell->childrenGroundview->frame(), (ui::Rect{0, 90, 320, 272}));
    EXPECT_DOUBLE_EQ(LevelMsgCell::heightForReplies(flat.count()), 363.5);
    EXPECT_EQ(r[0]->titleLabel->text(), "甲回复张三");
    EXPECT_EQ(r[0]->contentLabel->text(), "好");
    EXPECT_EQ(r[0]->timeLabel->text(), "t2");
    EXPECT_EQ(r[0]->titleLabel->frame(), (ui::Rect{15, 0, 350, 30}));
    EXPECT_TRUE(r[0]->deleteBt->isHidden());
    EXPECT_FALSE(r[1]->deleteBt->isHidden());
    EXPECT_TRUE(r[2]->deleteBt->isHidden());

    // Reused for a message without replies: nothing of the old rows stays.
    cell->loadingCellWithComments(LevelMsgCell::flatReplies(records::parse(R"({"id":9,"childrens":[]})")));
    EXPECT_TRUE(rows(*cell).empty());
    EXPECT_TRUE(cell->childrenGroundview->isHidden());
    EXPECT_DOUBLE_EQ(LevelMsgCell::heightForReplies(0), 90.5);
}

TEST(LevelMsgCell, FlattensThreeLevelsAndNamesTheTopAuthor) {
    // A replies to the top; B and F to A; D to B; X to D (too deep to show).
    auto msg = records::parse(
        R"({"id":1,"childrens":[{"id":"A","comment_user_name":"a","childrens":[)"
        R"({"id":"B","comment_user_name":"b","childrens":[{"id":"D","comment_user_name":"d",)"
        R"("childrens":[{"id":"X"}]}]},{"id":"F"}]},{"id":"C","childrens":"oops"}]})");
    auto flat = LevelMsgCell::flatReplies(msg);
    std::vector<std::string> ids;
    for (auto& r : flat.items()) ids.push_back(records::text(r, "id"));
    EXPECT_EQ(ids, (std::vector<std::string>{"A", "C", "B", "F", "D"}));
    auto cell = makeCell();
    cell->loadingCellWithComments(flat);
    auto r = rows(*cell);
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[2]->titleLabel->text(), "b回复张三");
    EXPECT_EQ(r[4]->titleLabel->text(), "d回复张三");
    // Nothing of the records was changed.
    EXPECT_EQ(records::array(msg, "childrens").count(), 2u);
}

TEST(LevelMsgCell, ReplyRowTapsReachTheDelegateWithTheirRecord) {
    auto cell = makeCell();
    auto host = std::make_shared<Recorder>();
    cell->delegate = host;
    cell->loadingCellWithComments(
        LevelMsgCell::flatReplies(records::parse(R"({"childrens":[{"id":"x"},{"id":"y"},{"id":"z"}]})")));
    auto r = rows(*cell);
    r[2]->replyBt->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    r[2]->deleteBt->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    r[0]->replyBt->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(host->replied, (std::vector<std::string>{"z", "x"}));
    EXPECT_EQ(host->deleted, (std::vector<std::string>{"z"}));

    // A stale tag reaches nothing.
    auto stray = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    stray->setTag(2007);
    cell->reply(stray);
    EXPECT_EQ(host->replied.size(), 2u);

    // A delegate without the callbacks, or one that has gone, gets nothing.
    auto deaf = std::make_shared<DeafRecorder>();
    cell->delegate = deaf;
    r[1]->replyBt->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    r[1]->deleteBt->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(deaf->replied.empty());
    EXPECT_TRUE(deaf->deleted.empty());
    cell->delegate = host;
    host.reset();
    r[1]->replyBt->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
}

TEST(LevelMsgCell, DeletePermissionNeedsTheTextOne) {
    EXPECT_TRUE(LevelMsgCell::canDelete(records::parse(R"({"is_del_permission":1})")));
    EXPECT_TRUE(LevelMsgCell::canDelete(records::parse(R"({"is_del_permission":"1"})")));
    EXPECT_FALSE(LevelMsgCell::canDelete(records::parse(R"({"is_del_permission":"0"})")));
    EXPECT_FALSE(LevelMsgCell::canDelete(records::parse(R"({"is_del_permission":[1]})")));
    EXPECT_FALSE(LevelMsgCell::canDelete(records::parse(R"({})")));
}

TEST(LeaveMsgView, BarAndReplyOverlay) {
    auto bar = ui::create<LeaveMsgView>(ui::Rect{0, 0, 320, 50});
    EXPECT_EQ(bar->contentField->frame(), (ui::Rect{5, 5, 250, 40}));
    EXPECT_EQ(bar->PublishedButton->frame(), (ui::Rect{260, 5, 60, 40}));
    EXPECT_EQ(bar->contentField->placeholder(), "我来说两句 ...");
    EXPECT_EQ(bar->PublishedButton->currentTitle(), "留言");
    EXPECT_EQ(bar->contentField->delegate(), std::static_pointer_cast<ui::TextFieldDelegate>(bar));

    auto screen = ui::Screen::mainScreen().bounds();
    double W = screen.size.width, H = screen.size.height;
    auto mask = ui::create<maskView>(ui::Rect{0, 0, W, H});
    auto reply = mask->leveMsgview;
    EXPECT_EQ(reply->frame(), (ui::Rect{0, H / 2 - 10, W, 50}));
    EXPECT_EQ(reply->superview(), nullptr);
    EXPECT_EQ(reply->contentField->delegate(), std::static_pointer_cast<ui::TextFieldDelegate>(mask));
    EXPECT_TRUE(mask->textFieldShouldReturn(reply->contentField));
    EXPECT_EQ(reply->frame(), (ui::Rect{0, H - 50, W, 50}));
    EXPECT_TRUE(mask->textFieldShouldBeginEditing(reply->contentField));
    EXPECT_EQ(reply->frame(), (ui::Rect{0, H / 2 - 15, W, 50}));
}
