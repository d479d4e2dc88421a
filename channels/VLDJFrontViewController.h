// The regional party-building module's article lists: the mass line in front
// (VLDJFrontViewController, always "qunzhongluxian") and the three channels
// its menu puts there (ZGYWViewController, JCDTViewController,
// XJDXViewController, each with the title and category code the menu sets).
// Ten articles a page, pull-down refresh, pull-up next page; a row pushes the
// channel's article detail.
//
//   auto list = ui::create<ZGYWViewController>();
//   list->setTitle("组工要闻");
//   list->category_code = "zugongyaowen";
//   reveal->setFrontViewController(ui::create<ui::NavigationController>(list), false);
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

class RegionalListViewController : public SystemViewController, public PPClientDelegate, public NavBarViewDelegate {
public:
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    std::string category_code;

    std::shared_ptr<VoVaClient> pp;
    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::TableView> mtableview;
    std::shared_ptr<PagedList> list;  // the rows (mdataArray), pageNo and the refresh views
    std::shared_ptr<ui::PanGestureRecognizer> navigationBarPanGestureRecognizer;

    const ns::Value& mdataArray() const { return list->records(); }
    int pageNo() const { return list->pageNo(); }

    void revealToggle();

    void GetWebServerContent_success(const std::string& result) override;
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override;

    static constexpr float kResultDelay = 0.75f;

protected:
    // The code every page request names.
    virtual std::string requestCode() const { return category_code; }
    virtual double rowHeight() const { return 60; }
    // A ZCDYCell with the title and the time line.
    virtual std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record);
    // The article screen a row opens.
    virtual std::shared_ptr<ui::ViewController> makeDetail(const std::string& articleId) = 0;

private:
    void open(const ns::Value& record);
};

// The mass-line list: titled "群众路线" whatever it is given.
class VLDJFrontViewController : public RegionalListViewController {
public:
    void viewDidLoad() override;
    static constexpr const char* kTitle = "群众路线";
    static constexpr const char* kCategory = "qunzhongluxian";

protected:
    std::string requestCode() const override { return kCategory; }
    std::shared_ptr<ui::ViewController> makeDetail(const std::string& articleId) override;
};

// Organisation-work news.
class ZGYWViewController : public RegionalListViewController {
protected:
    std::shared_ptr<ui::ViewController> makeDetail(const std::string& articleId) override;
};

// Grassroots news.
class JCDTViewController : public RegionalListViewController {
protected:
    std::shared_ptr<ui::ViewController> makeDetail(const std::string& articleId) override;
};

// Advanced models, in XJDXCell rows with thumbnail, summary and like count.
class XJDXViewController : public RegionalListViewController {
protected:
    double rowHeight() const override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    std::shared_ptr<ui::ViewController> makeDetail(const std::string& articleId) override;
};
