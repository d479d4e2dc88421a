// The petitions waiting for the logged-in member's handling, newest first,
// ten to a page. A row pushes the petition with its handling buttons.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/TableView.h"

class MyDoneViewController : public SystemViewController, public PPClientDelegate {
public:
    void viewDidLoad() override;

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::string user_id;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTitle = "需要我处理";
    static constexpr const char* kNoData = "暂无数据！";

private:
    void open(const ns::Value& record);
};
