// The current-affairs channel lists that the module's menu puts in front,
// each titled and given its category code by the menu:
// "Velmarsh动态" ("velmarshdongtai", thumbnail rows), "领导言论"
// ("lingdaoyanlun") and "干部任免" ("ganburenmian"), both title-and-time rows.
// A row opens the article in the channel's own detail screen.
#pragma once

#include "app/framework/ListScreen.h"
#include "channels/ChannelDetailScreen.h"

class VLDTViewController : public ArticleList<VLDTDetailViewController> {
protected:
    Options options() const override { return {.rowHeight = 70}; }
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
};

class LDYLViewController : public ArticleList<LDYLDetailViewController> {};

class GBRMViewController : public ArticleList<GBRMDetailViewController> {};
