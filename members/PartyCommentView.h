// The "留言" tab of a product: the threaded messages about the product. The
// host (the product detail) fetches the message list and hands it over
// through setCommentArray; the table is hidden while there is no message.
#pragma once

#include <memory>
#include <string>

#include "foundation/Value.h"
#include "members/LeaveMsgView.h"
#include "members/LevelMsgCell.h"
#include "uikit/Alert.h"
#include "service/VoVaClient.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

class PartyCommentView : public ui::View,
                         public ui::TableViewDataSource,
                         public ui::TableViewDelegate,
                         public PPClientDelegate,
                         public ui::TextFieldDelegate,
                         public LevelMsgCellDelegate,
                         public ui::AlertViewDelegate {
public:
    void init(const ui::Rect& frame, const std::shared_ptr<ui::ViewController>& host);

    std::string partyID, userID, userType;
    std::shared_ptr<ui::TableView> commenttableview;
    std::shared_ptr<VoVaClient> pp;

    std::shared_ptr<ui::ViewController> parentViewController() const { return parent_.lock(); }
    void setParentViewController(const std::shared_ptr<ui::ViewController>& host) { parent_ = host; }

    const ns::Value& commentArray() const { return commentArray_; }
    void setCommentArray(const ns::Value& messages);

    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override;

    std::string requestType, parent_id;
    ns::Value parentMesgDit;
    std::shared_ptr<LeaveMsgView> leveMsgview;
    std::shared_ptr<maskView> maskview;

    void reply();
    void PartyreplyMessage();
    void replyMesg(std::shared_ptr<ui::Button> sender);
    void DeleteMesg(std::shared_ptr<ui::Button> sender);
    void replyMessage(const ns::Value& message) override;
    void DeleteMessage(const ns::Value& message) override;
    void disview();
    void alertView_clickedButtonAtIndex(const std::shared_ptr<ui::AlertView>& alert, int buttonIndex) override;
    bool textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& field) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kReloadNotification = "reloadPartyMessage";

private:
    void openReplyBar();
    void askDelete();
    void maskTapped(std::shared_ptr<ui::TapGestureRecognizer>);
    std::weak_ptr<ui::ViewController> parent_;
    ns::Value commentArray_ = ns::Value::array();
};
