#include "app/framework/ListScreen.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/widgets/ZCDYCell.h"
#include "foundation/Format.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

void ListScreen::viewDidLoad() {
    SystemViewController::viewDidLoad();
    const Options o = options();
    if (!o.title.empty()) setTitle(o.title);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    auto root = view();
    root->setBackgroundColor(o.background);
    buildFrontBar();
    menuButton->setFrame(ui::Rect{10, o.menuButtonTop, 22, 22});

    ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(o.rowHeight);
    if (!o.separators) mtableview->setSeparatorStyle(ui::TableViewCellSeparatorStyleNone);
    root->addSubview(mtableview);

    list = PagedList::create(PagedList::Config{
        .source = weakAs<PagedListSource>(),
        .pageSize = "10",
        .resultDelay = o.resultDelay,
        .fragmentReply = o.fragmentReply,
        .replyLog = o.replyLog,
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

std::shared_ptr<ui::BarButtonItem> ListScreen::right() {
    auto button = ui::Button::buttonWithType(ui::ButtonTypeCustom);
    button->setFrame(ui::Rect{200, 0, 21, 23});
    button->setBackgroundImage(ui::Image::imageNamed("head_right.png"), ui::ControlStateNormal);
    button->addTarget(this, &ListScreen::set, ui::ControlEventTouchUpInside);
    return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
}

void ListScreen::GetWebServerContent_success(const std::string& result) { list->handleSuccess(*pp, result); }

void ListScreen::GetWebServerContent_Fail(const ns::ErrorPtr& error) { list->handleFailure(*pp, error); }

void ListScreen::requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) {
    client.news_request(page, pageSize, listCategory());
}

void ListScreen::open(const ns::Value& record) {
    auto detail = detailFor(record);
    auto nav = navigationController();
    if (detail && nav) nav->pushViewController(detail, true);
}

std::shared_ptr<ui::TableViewCell> ListScreen::cellFor(const PagedList::Table& table, const ns::Value& record) {
    return textRow(table, record);
}

std::shared_ptr<ui::TableViewCell> ListScreen::textRow(const PagedList::Table& table, const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<ZCDYCell>(table->dequeueReusableCellWithIdentifier(kTextRowIdentifier));
    if (!cell) cell = ui::create<ZCDYCell>(ui::TableViewCellStyleDefault, kTextRowIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->titleLabel->setText(records::text(record, "title"));
    cell->timeLabel->setText(ns::format("时间: %@", records::text(record, "add_time")));
    return cell;
}
