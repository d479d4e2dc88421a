#include "cases/AddressBookViewController.h"

#include "app/framework/Records.h"
#include "cases/EventCell.h"
#include "foundation/Format.h"

void AddressBookViewController::showTitle() {
    setTitle(kTitle);
    naview->titleLabel->setText(kTitle);
}

void AddressBookViewController::requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) {
    client.GetMailList(page, pageSize, org_id, filterField->text());
}

std::shared_ptr<ui::TableViewCell> AddressBookViewController::cellFor(const PagedList::Table& table,
                                                                      const ns::Value& record) {
    auto cell = std::dynamic_pointer_cast<EventCell>(table->dequeueReusableCellWithIdentifier("cell"));
    if (!cell) cell = ui::create<EventCell>(ui::TableViewCellStyleDefault, "cell");
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->titleLabel->setText(ns::format("姓名:%@", records::text(record, "real_name")));
    cell->addressLabel->setText(ns::format("电话: %@", records::text(record, "user_name")));
    cell->peopleLabel->setText(
        ns::format("所属机构:%@", org_id.empty() ? std::string(kDefaultOrg) : institutionsLabel->text()));
    return cell;
}
