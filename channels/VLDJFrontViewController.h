// The regional party-building module's article lists: the mass line in front
// (VLDJFrontViewController, always "qunzhongluxian") and the three channels
// its menu puts there (ZGYWViewController, JCDTViewController,
// XJDXViewController, each with the title and category code the menu sets).
// Ten articles a page, pull-down refresh, pull-up next page; a row pushes the
// channel's article detail.
//
//   auto list = ui::create<ZGYWViewController>();
//   list->setTitle("组工要闻");
//   list->category_code = "zugongyaowen";
//   reveal->setFrontViewController(ui::create<ui::NavigationController>(list), false);
#pragma once

#include "app/framework/ListScreen.h"

// The mass-line list: titled "群众路线" whatever it is given.
class VLDJFrontViewController : public ListScreen {
public:
    static constexpr const char* kTitle = "群众路线";
    static constexpr const char* kCategory = "qunzhongluxian";

protected:
    Options options() const override { return {.title = kTitle}; }
    std::string listCategory() const override { return kCategory; }
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

// Organisation-work news.
class ZGYWViewController : public ListScreen {
protected:
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

// Grassroots news.
class JCDTViewController : public ListScreen {
protected:
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

// Advanced models, in XJDXCell rows with thumbnail, summary and like count.
class XJDXViewController : public ListScreen {
protected:
    Options options() const override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};
