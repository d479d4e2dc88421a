#include "cases/EventListViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/shell/Utils.h"
#include "cases/EventCell.h"
#include "cases/EventDetailViewController.h"
#include "foundation/Format.h"
#include "uikit/NavigationController.h"

void EventListViewController::viewDidLoad() {
    user_id = records::text(Utils::getMember()->member_id);
    ListScreen::viewDidLoad();
}

void EventListViewController::requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) {
    client.GetEventList(page, pageSize, eventType, user_id);
}

void EventListViewController::pageLoaded() {
    if (list->count() == 0) showAlertWithTitle(kNoDataText);
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

std::shared_ptr<ui::ViewController> EventListViewController::detailFor(const ns::Value& record) {
    auto detail = ui::create<EventDetailViewController>();
    detail->eventID = records::text(record, "id");
    return detail;
}
