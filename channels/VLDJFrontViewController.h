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
#include "channels/QZLXDetailViewController.h"

// The mass-line list: titled "群众路线" whatever it is given.
class VLDJFrontViewController : public ArticleList<QZLXDetailViewController> {
public:
    static constexpr const char* kTitle = "群众路线";
    static constexpr const char* kCategory = "qunzhongluxian";

protected:
    Options options() const override { return {.title = kTitle}; }
    std::string listCategory() const override { return kCategory; }
};

// Organisation-work news.
class ZGYWViewController : public ArticleList<ZGYWDetailViewController> {};

// Grassroots news.
class JCDTViewController : public ArticleList<JCDTDetailViewController> {};

// Advanced models, in XJDXCell rows with thumbnail, summary and like count.
class XJDXViewController : public ArticleList<XJDXDetailViewController> {
protected:
    Options options() const override;
    std::shared_ptr<ui::TableViewCell> cellFor(const PagedList::Table& table, const ns::Value& record) override;
};
