// The current-affairs channel lists that the module's menu puts in front,
// each titled and given its category code by the menu:
// "Velmarsh动态" ("velmarshdongtai", thumbnail rows), "领导言论"
// ("lingdaoyanlun") and "干部任免" ("ganburenmian"), both title-and-time rows.
// A row opens the article in the channel's own detail screen.
#pragma once

#include "channels/ArticleListScreen.h"

class VLDTViewController : public ArticleListScreen {
protected:
    bool thumbnailRows() const override { return true; }
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

class LDYLViewController : public ArticleListScreen {
protected:
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

class GBRMViewController : public ArticleListScreen {
protected:
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};
