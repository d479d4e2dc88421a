// A petition waiting for the member: its record and handling steps, and the
// buttons "回复" and "上报" where the service allows them. Either opens the
// pop-up whose text is sent as a handling step of that action; after a
// successful step the record is loaded again.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "cases/PetitionRecordView.h"
#include "cases/ReplyView.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/TableView.h"

class MyXinShengDetailViewController : public SystemViewController,
                                       public PPClientDelegate,
                                       public ReplyViewDelegate,
                                       public ui::TableViewDataSource,
                                       public ui::TableViewDelegate {
public:
    void viewDidLoad() override;

    std::string feel_id;  // set by the opener

    std::shared_ptr<VoVaClient> PP;
    std::shared_ptr<NavBarView> naview;
    PetitionLabels labels;
    std::shared_ptr<ui::TableView> mtableview;
    ns::Value mdataArray = ns::Value::array();  // the handling records
    std::shared_ptr<ui::Button> replyButton;
    std::shared_ptr<ui::Button> reportButton;
    std::shared_ptr<ui::View> glview;
    std::shared_ptr<ReplyView> repview;
    std::string requestType;  // "详情" while the record loads, "提交" while a step is sent
    std::string ActionType;   // "回复" or "上报"
    std::string user_id;

    void reply();
    void report();

    void sumitReplyContent(const std::string& text) override;
    void closeReplyContent() override;

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;

    static constexpr const char* kDetail = "详情";
    static constexpr const char* kSubmit = "提交";
    static constexpr double kRowHeight = 65;

private:
    void loadRecord();
    void recordReplied(const std::string& result);
    void stepReplied(const std::string& result);
    void openPopup(const std::string& action);
};
