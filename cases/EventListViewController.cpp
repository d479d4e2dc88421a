#include "cases/EventListViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/EventCell.h"
#include "cases/EventDetailViewController.h"
#include "foundation/Format.h"
#include "uikit/NavigationController.h"

void EventListViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(eventTitle);
    pp = VoVaClient::create(weakAs<PPClientDelegate>());

    auto root = view();
    root->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    naview = makeFrontNavBar(*this, sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(eventTitle);
    menuButton = addMenuButton(*naview, this);

    ui::Size size = root->frame().size;
    mtableview = ui::create<ui::TableView>(ui::Rect{0, 64, size.width, size.height - 64}, ui::TableViewStylePlain);
    mtableview->setRowHeight(kRowHeight);
    root->addSubview(mtableview);

    user_id = records::text(Utils::getMember()->member_id);
    std::weak_ptr<EventListViewController> weak = sharedAs<EventListViewController>();
    list = PagedList::create(PagedList::Config{
        .request = [weak](VoVaClient& client, const std::string& page, const std::string& pageSize) {
            if (auto self = weak.lock()) client.GetEventList(page, pageSize, self->eventType, self->user_id);
        },
        .cell = [weak](const PagedList::Table& table, const ns::Value& record,
                       const ui::IndexPath&) -> std::shared_ptr<ui::TableViewCell> {
            auto self = weak.lock();
            return self ? self->cellFor(table, record) : nullptr;
        },
        .select = [weak](const ns::Value& record, const ui::IndexPath&) {
            if (auto self = weak.lock()) self->open(record);
        },
        .pageLoaded = [weak](const ns::Value&, const ns::Value&) {
            auto self = weak.lock();
            if (self && self->list && self->list->count() == 0) self->showAlertWithTitle(kNoDataText);
        },
        .pageSize = "10",
        .resultDelay = 0.75,
        .replyLog = "",
    });
    list->attach(sharedAs<ui::ViewController>(), mtableview, pp);
    list->start();
}

void EventListViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    prepareFrontAppearance(*this, *naview, navigationBarPanGestureRecognizer);
}

void EventListViewController::revealToggle() { toggleRevealOf(*this); }

void EventListViewController::GetWebServerContent_success(const std::string& result) {
    list->handleSuccess(*pp, result);
}

void EventListViewController::GetWebServerContent_Fail(const ns::ErrorPtr& error) {
    list->handleFailure(*pp, error);
}

std::shared_ptr<ui::TableViewCell> EventListViewController::cellFor(const PagedList::Table& table,
                                                                    const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<EventCell>(table->dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) cell = ui::create<EventCell>(ui::TableViewCellStyleDefault, kCellIdentifier);
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->titleLabel->setText(
        ns::format("[%@]%@", records::text(record, "category"), records::text(record, "title")));
    cell->peopleLabel->setText(ns::format("负责人: %@", records::text(record, "charge")));
    cell->addressLabel->setText(ns::format("事件地点: %@", records::text(record, "place")));
    return cell;
}

void EventListViewController::open(const ns::Value& record) {
    auto detail = ui::create<EventDetailViewController>();
    detail->eventID = records::text(record, "id");
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
