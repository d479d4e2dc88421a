// The paged article lists that the channel menus put in front of their
// slide-menu container: the top bar with the menu button (no back button),
// the list under it with pull-down refresh and pull-up load-more, ten
// articles of one category to a page. A row pushes the list's detail screen.
//
// Each list is a subclass that names its category, its rows and its detail:
//
//   class LDYLViewController : public ArticleListScreen {
//       std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
//   };
//   auto list = ui::create<LDYLViewController>();
//   list->setTitle("领导言论");                  // shown in the top bar
//   list->category_code = "lingdaoyanlun";
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "app/framework/PagedList.h"
#include "app/framework/SystemViewController.h"
#include "service/VoVaClient.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/TableView.h"

class ArticleListScreen : public SystemViewController, public PPClientDelegate, public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Set by the opener before the view loads ----
    std::string category_code;

    // ---- Views and state ----
    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void revealToggle();

    // PPClientDelegate
    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr double kResultDelay = 0.75;
    static constexpr double kTextRowHeight = 60;
    static constexpr const char* kTextRowIdentifier = "cell";

protected:
    // The title the screen gives itself ("" keeps the one its opener set).
    virtual std::string ownTitle() const { return {}; }
    // The category code the pages ask for.
    virtual std::string listCategory() const { return category_code; }
    // Thumbnail rows (picture, title, summary) rather than title-and-time rows.
    virtual bool thumbnailRows() const { return false; }
    // The top of the menu button on the bar.
    virtual double menuButtonTop() const { return 25; }
    // The screen a touched row opens (nullptr: none).
    virtual std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) = 0;

private:
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record);
    void open(const ns::Value& record);
};
