// The direct line's petition list (群众心声): every petition, newest first,
// ten to a page, or the petitions of one mobile number when the search field
// holds one. The list is rebuilt from page "1" on every appearance. "add.png"
// presents the submission form; "需要我处理" opens, after the login gate, the
// petitions waiting for the member; a row pushes the petition.
#pragma once

#include <memory>
#include <string>

#include "app/framework/FrontScreen.h"
#include "app/shell/LoginViewController.h"
#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"
#include "uikit/TextField.h"

class DqFrontViewController : public FrontOf<SystemViewController>,
                              public PPClientDelegate,
                              public ui::TextFieldDelegate,
                              public LoginViewControllerDelegate,
                              public PagedListSource {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> PP;
    std::shared_ptr<ui::Button> addButton;
    std::shared_ptr<ui::TextField> phoneField;
    std::shared_ptr<ui::Button> searchButton;
    std::shared_ptr<ui::Button> doneButton;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::shared_ptr<LoginViewController> loginview;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    // ---- Actions ----
    void add();
    void seach();
    void Done();

    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& field) override;
    void rolesName(const std::string& name, bool loginState) override;

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTitle = "群众心声";
    static constexpr const char* kSearchingStatus = "搜索中...";
    static constexpr const char* kLoginFrom = "群众心声";

protected:
    // PagedListSource: page `page` of all petitions, or of the searched mobile number.
    void requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    void open(const ns::Value& record) override;

private:
    void openHandling();
};
