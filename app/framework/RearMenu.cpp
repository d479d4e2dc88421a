#include "app/framework/RearMenu.h"

#include "app/framework/RearviewCell.h"
#include "app/framework/RevealController.h"
#include "app/framework/Records.h"
#include "uikit/NavigationController.h"

std::shared_ptr<RearMenu> RearMenu::create(std::vector<Row> rows, Options options) {
    return ui::create<RearMenu>(std::move(rows), options);
}

void RearMenu::init(std::vector<Row> rows, Options options) {
    rows_ = std::move(rows);
    options_ = options;
    for (const auto& row : rows_) {
        mdataArray_.push(ns::Value::dictionary({{"title", row.title}, {"state", "0"}}));
    }
}

void RearMenu::build(const std::shared_ptr<ui::ViewController>& host, const ui::Rect& backgroundFrame) {
    host_ = host;
    auto root = host->view();
    ui::Size size = root->frame().size;

    backgroundView = ui::create<ui::ImageView>(backgroundFrame);
    backgroundView->setBackgroundColor(kBackgroundColor);
    root->addSubview(backgroundView);

    rearTableView = ui::create<ui::TableView>(ui::Rect{0, 20, size.width, size.height - 20}, ui::TableViewStylePlain);
    rearTableView->setDelegate(sharedAs<ui::TableViewDelegate>());
    rearTableView->setDataSource(sharedAs<ui::TableViewDataSource>());
    rearTableView->setBackgroundColor(ui::Color::clearColor());
    rearTableView->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    root->addSubview(rearTableView);
}

long RearMenu::highlightedRow() const {
    for (std::size_t i = 0; i < mdataArray_.count(); ++i) {
        if (records::text(mdataArray_.at(i), "state") == "1") return static_cast<long>(i);
    }
    return -1;
}

void RearMenu::selectRow(long row) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
    auto keep = sharedAs<RearMenu>();
    const unsigned long touch = ++touches_;
    for (std::size_t i = 0; i < mdataArray_.count(); ++i) {
        mdataArray_.at(i).set("state", static_cast<long>(i) == row ? "1" : "0");
    }
    if (rearTableView) rearTableView->reloadData();

    // Rows act only inside the module's container.
    auto host = host_.lock();
    if (!host) return;
    const Row& chosen = rows_[static_cast<std::size_t>(row)];
    if (!std::dynamic_pointer_cast<RevealController>(host->parentViewController())) {
        if (chosen.kind == Row::Kind::Home && options_.homeWithoutContainer) goHome(*host);
        return;
    }
    if (!chosen.guard) {
        act(row);
        return;
    }
    std::weak_ptr<RearMenu> weak = keep;
    chosen.guard(chosen.title, [weak, touch, row](bool yes) {
        auto self = weak.lock();
        if (self && yes && touch == self->touches_) self->act(row);
    });
}

void RearMenu::goHome(ui::ViewController& host) {
    if (auto home = host.navigationController()) home->popViewControllerAnimated(options_.animatedHome);
}

void RearMenu::act(long row) {
    auto host = host_.lock();
    if (!host) return;
    auto reveal = std::dynamic_pointer_cast<RevealController>(host->parentViewController());
    if (!reveal) return;
    const Row& chosen = rows_[static_cast<std::size_t>(row)];
    std::string title = records::text(mdataArray_.at(static_cast<std::size_t>(row)), "title");

    switch (chosen.kind) {
        case Row::Kind::Highlight: return;
        case Row::Kind::Home: goHome(*host); return;
        case Row::Kind::Push:
            if (auto home = host->navigationController()) {
                if (auto screen = chosen.make ? chosen.make(title) : nullptr) home->pushViewController(screen, true);
            }
            return;
        case Row::Kind::Screen: break;
    }
    if (options_.swapByClass) {
        auto frontNav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        if (frontNav && !frontNav->viewControllers().empty()) {
            const auto* shown = frontNav->viewControllers().front().get();
            if (shown && std::type_index(typeid(*shown)) == chosen.screenClass) return;
        }
    }
    auto screen = chosen.make ? chosen.make(title) : nullptr;
    if (!screen) return;
    reveal->setFrontViewController(ui::create<ui::NavigationController>(screen), false);
}

long RearMenu::tableView_numberOfRowsInSection(const std::shared_ptr<ui::TableView>&, long) {
    return static_cast<long>(mdataArray_.count());
}

std::shared_ptr<ui::TableViewCell> RearMenu::tableView_cellForRowAtIndexPath(const std::shared_ptr<ui::TableView>& table,
                                                                             const ui::IndexPath& ip) {
    auto cell = std::dynamic_pointer_cast<RearviewCell>(table->dequeueReusableCellWithIdentifier("Cell"));
    if (!cell) cell = ui::create<RearviewCell>(ui::TableViewCellStyleDefault, "Cell");
    ns::Value record = mdataArray_.at(static_cast<std::size_t>(ip.row));
    cell->titleLabel->setText(records::text(record, "title"));
    if (records::text(record, "state") == "1") {
        cell->lineimagev->setHidden(false);
        cell->titleLabel->setTextColor(ui::Color::redColor());
        cell->setBackgroundColor(kHighlightedRowColor);
    } else {
        cell->lineimagev->setHidden(true);
        cell->titleLabel->setTextColor(kTitleColor);
        cell->setBackgroundColor(ui::Color::clearColor());
    }
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    return cell;
}

// ---- The menu screen ----

std::shared_ptr<RearMenu> RearMenuScreen::makeMenu(std::vector<RearMenu::Row> rows, RearMenu::Options options) {
    return RearMenu::create(std::move(rows), options);
}

void RearMenuScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    menu = makeMenu(menuRows(), menuOptions());
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
}

void RearMenuScreen::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
}
