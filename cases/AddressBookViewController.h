// The grid's address book: members with name and telephone, twenty to a
// page, filtered by organisation (the organisation picker) and by a name or
// telephone text.
//
//   navigationController()->pushViewController(ui::create<AddressBookViewController>(), true);
#pragma once

#include "cases/FilteredListScreen.h"

class AddressBookViewController : public FilteredListScreen {
public:
    // The name or telephone filter.
    std::shared_ptr<ui::TextField> keywordField() const { return filterField; }

    static constexpr const char* kTitle = "通讯录";
    // The organisation line of every row while none is chosen.
    static constexpr const char* kDefaultOrg = "中共Velmarsh州委";

protected:
    Layout layout() const override { return Layout{"所属机构:", "姓名/电话:", 80}; }
    void showTitle() override;
    void requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
};
