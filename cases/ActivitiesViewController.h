// The grassroots activities: a searchable list (organisation and title
// filters) whose rows open the activity. No screen opens it at present.
#pragma once

#include "cases/FilteredListScreen.h"

class ActivitiesViewController : public FilteredListScreen {
public:
    // The title filter.
    std::shared_ptr<ui::TextField> titleField() const { return filterField; }

    static constexpr const char* kTitle = "基层活动";

protected:
    Layout layout() const override { return Layout{"机构:", "标题:", 30}; }
    void showTitle() override;
    void requestPage(VoVaClient& client, const std::string& page, const std::string& pageSize) override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    void open(const ns::Value& record) override;
};
