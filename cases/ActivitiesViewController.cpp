#include "cases/ActivitiesViewController.h"

#include "app/framework/Records.h"
#include "cases/ActivityDetailViewController.h"
#include "uikit/Font.h"
#include "uikit/NavigationController.h"

void ActivitiesViewController::showTitle() { naview->titleLabel->setText(kTitle); }

void ActivitiesViewController::requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) {
    client.GetBasicActivity(page, pageSize, org_id, filterField->text());
}

std::shared_ptr<ui::TableViewCell> ActivitiesViewController::cellFor(const PagedList::Table& table,
                                                                     const ns::Value& record) {
    auto cell = table->dequeueReusableCellWithIdentifier("cell");
    if (!cell) cell = ui::create<ui::TableViewCell>(ui::TableViewCellStyleDefault, "cell");
    cell->setAccessoryType(ui::TableViewCellAccessoryDisclosureIndicator);
    cell->setSelectionStyle(ui::TableViewCellSelectionStyleNone);
    cell->textLabel()->setFont(ui::Font::systemFontOfSize(14));
    cell->textLabel()->setText(records::text(record, "title"));
    return cell;
}

void ActivitiesViewController::open(const ns::Value& record) {
    auto detail = ui::create<ActivityDetailViewController>();
    detail->setMsgDit(record);
    if (auto nav = navigationController()) nav->pushViewController(detail, true);
}
