// The supply-and-demand list: products page by page (twenty to a page), of
// the list type "1" (supply), "2" (demand) or "3" (the member's own), with a
// keyword search by origin or by title. "我的信息" sends the member's user id
// and user type with every page. A row opens the product's detail.
#pragma once

#include <memory>
#include <string>

#include "app/framework/FrontScreen.h"
#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "app/framework/SystemViewController.h"
#include "app/widgets/TypeView.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"
#include "uikit/TextField.h"

class partyFrontViewController : public FrontOf<SystemViewController>,
                                 public PPClientDelegate,
                                 public ui::TextFieldDelegate,
                                 public TypeViewDelegate,
                                 public PagedListSource {
public:
    void viewDidLoad() override;

    // ---- Set by the opener ----
    std::string _type = "1";
    std::string userID, userType;
    std::string navTitle;  // the menu row's title; "我的信息" sends the member's ids

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the records (mdataArray), pageNo and the refresh views
    std::shared_ptr<ui::ImageView> typeLine;
    std::shared_ptr<ui::Label> institutionsLabel;
    std::shared_ptr<ui::TextField> titleField;
    std::shared_ptr<ui::Button> searchButton;
    std::string search_type;
    std::shared_ptr<ui::View> glview;
    std::shared_ptr<TypeView> typeview;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void refreshView() { list->refreshView(); }
    void getNextPageView() { list->getNextPageView(); }
    void seach();
    void showType();
    void disview();

    void TypeContent(const std::string& text, long tag) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kDefaultTitle = "供应信息";
    static constexpr const char* kMineTitle = "我的信息";
    static constexpr const char* kOriginSearch = "产地模糊查询";
    static constexpr const char* kTitleSearch = "标题模糊查询";
    static constexpr const char* kEmptyText = "暂无数据！";

protected:
    // PagedListSource
    void requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    void open(const ns::Value& record) override;
    void pageLoaded() override;

private:
    void typeTapped(std::shared_ptr<ui::TapGestureRecognizer>);
    void dimTapped(std::shared_ptr<ui::TapGestureRecognizer>);
};
