#include "members/proposalView.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/widgets/Controls.h"
#include "members/PartyListViewController.h"
#include "uikit/NavigationController.h"
#include "uikit/Window.h"

void proposaCell::init(ui::TableViewCellStyle style, const std::string& reuseIdentifier) {
    ui::TableViewCell::init(style, reuseIdentifier);
    titleLabel = makeCaption(ui::Rect{10, 0, 250, 30}, "", 13, contentView().get());
    timeLabel = makeCaption(ui::Rect{10, 30, 250, 20}, "", 13, contentView().get());
}

// ---- The tab ----

void proposalView::init(const ui::Rect& frame) {
    ui::View::init(frame);
    setBackgroundColor(ui::Color::whiteColor());
    proposatableview =
        ui::create<ui::TableView>(ui::Rect{0, 0, frame.size.width, frame.size.height}, ui::TableViewStylePlain);
    proposatableview->setDataSource(sharedAs<ui::TableViewDataSource>());
    proposatableview->setDelegate(sharedAs<ui::TableViewDelegate>());
    addSubview(proposatableview);
}

long proposalView::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(proposaArray.count());
}

std::shared_ptr<ui::TableViewCell> proposalView::tableView_cellForRowAtIndexPath(
    const std::shared_ptr<ui::TableView>& table, const ui::IndexPath& ip) {
    auto cell = std::dynamic_pointer_cast<proposaCell>(table->dequeueReusableCellWithIdentifier("cell"));
    if (!cell) cell = ui::create<proposaCell>(ui::TableViewCellStyleDefault, "cell");
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    const ns::Value proposal = proposaArray.at(static_cast<std::size_t>(ip.row));
    cell->titleLabel->setText("标题:" + records::text(proposal, "title"));
    cell->timeLabel->setText("时间:" + records::text(proposal, "add_time"));
    return cell;
}

void proposalView::tableView_didSelectRowAtIndexPath(const std::shared_ptr<ui::TableView>&, const ui::IndexPath& ip) {
    if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= proposaArray.count()) return;
    auto page = viewController();
    auto nav = page ? page->navigationController() : nullptr;
    if (!nav) return;
    auto detail = ui::create<ProposalViewController>();
    detail->propDit = records::object(proposaArray.at(static_cast<std::size_t>(ip.row)));
    nav->pushViewController(detail, true);
}

std::shared_ptr<PartyListViewController> proposalView::viewController() const {
    return BaseScreen::holding<PartyListViewController>(*this);
}

// ---- One proposal ----

void ProposalViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setTitle("提案详情");
    view()->setBackgroundColor(ui::Color::whiteColor());
    naview = makeBackNavBar(*this);
    const ui::Size screen = ui::Screen::mainScreen().bounds().size;
    titleLabel = makeCaption(ui::Rect{0, 64, screen.width, 30}, records::text(propDit, "title"), 14, view().get());
    titleLabel->setTextAlignment(ui::TextAlignmentCenter);
    timeLabel = makeCaption(ui::Rect{5, 99, screen.width, 20}, records::text(propDit, "add_time"), 12, view().get());
    timeLabel->setTextColor(ui::Color::lightGrayColor());
    mwebview = ui::create<ui::WebView>(ui::Rect{0, 119, screen.width, screen.height - 119});
    view()->addSubview(mwebview);
    mwebview->loadHTMLString(records::text(propDit, "content"), "");
}
