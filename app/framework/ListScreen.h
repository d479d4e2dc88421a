// The paged lists that the module menus put in front of their slide-menu
// container: the top bar with the menu button (no back button), the table
// under it with pull-down refresh and pull-up load-more, ten records to a
// page. A row pushes the list's detail screen.
//
// A list is a subclass that says what it asks for, how its rows look and
// what a row opens; by default it asks for the articles of its category and
// shows title-and-time rows:
//
//   class LDYLViewController : public ListScreen {
//       std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
//   };
//   auto list = ui::create<LDYLViewController>();
//   list->setTitle("领导言论");                  // shown in the top bar
//   list->category_code = "lingdaoyanlun";
//
// The list's own replies go to the PagedList; a subclass with requests of its
// own overrides the client callbacks and passes on what the list leaves.
#pragma once

#include <memory>
#include <string>

#include "app/framework/FrontScreen.h"
#include "app/framework/PagedList.h"
#include "app/framework/Records.h"
#include "app/framework/SystemViewController.h"
#include "app/widgets/NavBarView.h"
#include "service/VoVaClient.h"
#include "uikit/BarButtonItem.h"
#include "uikit/Button.h"
#include "uikit/Color.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class ListScreen : public FrontOf<SystemViewController>, public PPClientDelegate, public PagedListSource {
public:
    void viewDidLoad() override;

    // ---- Set by the opener before the view loads ----
    std::string category_code;

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    // A bar item with the "head_right.png" button calling set(); no list places it.
    std::shared_ptr<ui::BarButtonItem> right();
    void set() {}

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr const char* kTextRowIdentifier = "cell";

protected:
    struct Options {
        std::string title{};              // the screen's title ("" keeps the one its opener set)
        double rowHeight = 60;
        double menuButtonTop = 25;
        double resultDelay = 0.75;      // the overlay's result text shows this long
        bool fragmentReply = false;     // read replies as JSON fragments
        std::string replyLog{};           // a debug line with each page's reply ("" for none)
        bool separators = false;        // the table's own row separators
        ui::Color background = ui::Color::whiteColor();
    };
    virtual Options options() const { return {}; }

    // PagedListSource: the articles of listCategory() by default, in
    // textRow cells; a row pushes detailFor.
    void requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    void open(const ns::Value& record) override;
    virtual std::string listCategory() const { return category_code; }
    // The screen a touched row opens (nullptr: none).
    virtual std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) = 0;

    // A ZCDYCell with the record's title and "时间: <add_time>".
    static std::shared_ptr<ui::TableViewCell> textRow(const PagedList::Table& table, const ns::Value& record);
};

// A list whose rows open a new `Detail` article page with the row's "id".
template <typename Detail>
class ArticleList : public ListScreen {
protected:
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override {
        auto detail = ui::create<Detail>();
        detail->article_id = records::text(record, "id");
        return detail;
    }
};
