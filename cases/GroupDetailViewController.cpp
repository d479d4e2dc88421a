#include "cases/GroupDetailViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "cases/OrgCells.h"
#include "uikit/NavigationController.h"

void GroupDetailViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle("党建网格");
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    const ui::Size size = root->frame().size;

    naview = makeBackNavBar(*this);

    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setBackgroundColor(ui::Color::clearColor());
    mtableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    mtableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    root->addSubview(mtableview);

    mdataArray = records::array(msgDit, "child_org");
    mtableview->reloadData();
}

long GroupDetailViewController::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray.count());
}

std::shared_ptr<ui::TableViewCell> GroupDetailViewController::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    return orgcells::nameCell(table, mdataArray.at(static_cast<std::size_t>(ip.row)), ui::TableViewCellAccessoryNone);
}
