// The "提案" tab of a representative's page: the representative's proposals,
// one 50-point row each ("标题:%@", "时间:%@"); a row opens the proposal's
// text (ProposalViewController) on the navigation controller of the page
// that holds the tab.
#pragma once

#include <memory>
#include <string>

#include "app/framework/BaseScreen.h"
#include "app/widgets/NavBarView.h"
#include "foundation/Value.h"
#include "uikit/Label.h"
#include "uikit/TableView.h"
#include "uikit/TableViewCell.h"
#include "uikit/View.h"
#include "uikit/WebView.h"

class PartyListViewController;

class proposaCell : public ui::TableViewCell {
public:
    void init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) override;
    using ui::TableViewCell::init;

    std::shared_ptr<ui::Label> titleLabel, timeLabel;
};

class proposalView : public ui::View, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<ui::TableView> proposatableview;
    // The proposal records ("title", "add_time", "content").
    ns::Value proposaArray = ns::Value::array();

    // The page that holds the tab, or nullptr.
    std::shared_ptr<PartyListViewController> viewController() const;

    long tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long section) override;
    std::shared_ptr<ui::TableViewCell> tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                       const ui::IndexPath& ip) override;
    double tableView_heightForRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath&) override {
        return 50;
    }
    void tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) override;
};

// "提案详情": one proposal, its title, time and HTML text.
//
//   auto page = ui::create<ProposalViewController>();
//   page->propDit = proposal;
//   nav->pushViewController(page, true);
class ProposalViewController : public BaseScreen {
public:
    void viewDidLoad() override;

    ns::Value propDit = ns::Value::dictionary();

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Label> titleLabel, timeLabel;
    std::shared_ptr<ui::WebView> mwebview;
};
