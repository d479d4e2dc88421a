// The grid's member and activity searches share one screen: a paged list
// (twenty to a page) under an organisation box, which opens the organisation
// picker, and a text field with "搜索". Every page request carries the chosen
// organisation's id ("" while none is chosen) and the field's current text.
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/OrgViewController.h"
#include "app/framework/PagedList.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"
#include "uikit/TextField.h"

class FilteredListScreen : public SystemViewController,
                           public PPClientDelegate,
                           public ui::TextFieldDelegate,
                           public OrgViewControllerDelegate,
                           public PagedListSource {
public:
    void viewDidLoad() override;

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo, the refresh views
    std::string org_id;               // "" while no organisation is chosen
    std::shared_ptr<ui::Label> institutionsLabel;
    std::shared_ptr<ui::TextField> filterField;
    std::shared_ptr<ui::Button> searchButton;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    // The organisation box and "搜索".
    void showinstitutions(std::shared_ptr<ui::TapGestureRecognizer> recognizer);
    void seachPhone();

    void orgName(const ns::Value& name, const ns::Value& orgId) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kPageSize = "20";
    static constexpr const char* kNoData = "暂无数据！";

protected:
    struct Layout {
        std::string orgCaption;
        std::string filterCaption;
        double rowHeight = 44;
    };
    virtual Layout layout() const = 0;
    // Sets the title (bar and screen).
    virtual void showTitle() = 0;
    // PagedListSource: requestPage sends one page with the current filters.
    void pageLoaded() override;
};
