// The threaded message boards (a product's, a representative's): the
// messages with their replies in LevelMsgCell rows, the input bar
// (LeaveMsgView) at the foot, and the board's own client for new messages,
// replies and deletions. The board never loads its list: after every answer
// to a post or a deletion it posts its reload notification, on which the
// page that holds it asks for the list again and hands it over.
//
// The table is hidden while there is no message. While the bar's field is
// edited the bar stands 240 points higher, clear of the keyboard; Return
// puts it back at the foot and ends the editing.
//
// Rows follow the threaded cell's host contract: a message's "回复" button
// is tagged row + 1000 and sends replyMesg, its "删除" button row + 2000 and
// DeleteMesg (shown only where the record grants deletion); the reply rows
// call back through LevelMsgCellDelegate; a row is 90.5 + 91 points per
// shown reply high.
//
// A deletion asks first ("关于该评论的所有信息都将被删除，确定删除？", "取消" /
// "确定"). Each answer is read as the answer to the request it belongs to,
// so a deletion confirmed while a message is being posted is not taken for
// the post, nor the post for the deletion. While a post, a reply or a
// deletion is on its way, another of the same kind sends nothing.
//
// A board is a subclass that says how a reply is begun, what the service
// operations are and what an answer changes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Value.h"
#include "members/LeaveMsgView.h"
#include "members/LevelMsgCell.h"
#include "service/VoVaClient.h"
#include "uikit/Alert.h"
#include "uikit/TableView.h"
#include "uikit/TextField.h"
#include "uikit/View.h"

class MessageBoard : public ui::View,
                     public ui::TableViewDataSource,
                     public ui::TableViewDelegate,
                     public PPClientDelegate,
                     public ui::TextFieldDelegate,
                     public LevelMsgCellDelegate,
                     public ui::AlertViewDelegate {
public:
    // White; the table at (0, 0, W, H - 50) and the input bar at (0, H - 50, W, 50).
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<ui::TableView> commenttableview;
    std::shared_ptr<LeaveMsgView> leveMsgview;
    std::shared_ptr<VoVaClient> pp;
    // The kind of the request sent last: "留言", "回复" or "删除".
    std::string requestType;
    std::string parent_id;  // the message the last reply answered
    ns::Value parentMesgDit;  // the message chosen by the last reply or delete tap

    const ns::Value& commentArray() const { return commentArray_; }
    // The messages to show; the table is hidden while there is none.
    void setCommentArray(const ns::Value& messages);

    // The input bar: up while editing, down on Return.
    bool textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;

    // ---- Rows ----
    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override;

    // ---- Taps on a message and on its reply rows ----
    void replyMesg(std::shared_ptr<ui::Button> sender);
    void DeleteMesg(std::shared_ptr<ui::Button> sender);
    void replyMessage(const ns::Value& message) override;
    void DeleteMessage(const ns::Value& message) override;
    // The deletion's confirmation: "确定" (index 1) sends it.
    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;

    // ---- Answers ----
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kPostRequest = "留言";
    static constexpr const char* kReplyRequest = "回复";
    static constexpr const char* kDeleteRequest = "删除";

protected:
    enum class Request { Post, Reply, Delete };

    // A message or a reply row was chosen to answer.
    virtual void chooseReply(const ns::Value& message) = 0;
    // A message or a reply row was chosen to delete: by default it is asked about.
    virtual void chooseDelete(const ns::Value& message);
    // The service operations.
    virtual void sendMessage(const std::string& parentId, const std::string& text) = 0;
    virtual void sendDelete(const std::string& id) = 0;
    // The service answered the request of that kind with `reply` (parsed).
    virtual void answered(Request kind, const ns::Value& reply) = 0;
    // The notification that asks the page for the list again.
    virtual std::string reloadNotification() const = 0;

    // Sends `text` as a new message or, with parentMesgDit's id, as a reply,
    // under "留言中..." or "回复中..."; nothing while one of that kind is still
    // on its way.
    void send(Request kind, const std::string& text);
    // Asks whether parentMesgDit is to be deleted.
    void askDelete();
    // The bar at the foot, or lifted clear of the keyboard.
    void placeBar(bool up);
    // The text typed in the bar; empty, it says so with the alert `emptyAlert`.
    static bool typedText(const LeaveMsgView& bar, const char* emptyAlert, std::string& text);

private:
    // Unless a request of that kind is still waiting for its answer: notes
    // the kind in requestType, shows its overlay and sends through `request`,
    // whose request is then the one awaited.
    void start(Request kind, const std::function<void()>& request);

    ns::Value commentArray_ = ns::Value::array();
    std::vector<std::pair<std::weak_ptr<NetWebServiceRequest>, Request>> outstanding_;
};
