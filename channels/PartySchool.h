// The party-school module ("移动党校"): three article lists and the online
// reading page, swapped in front of the container by its menu.
//
//   YDDXFrontViewController  "理论学习"  "lilunxuexi" (fixed)
//   ZCJDViewController       "党内法规"  its category_code ("dangnafagui")
//   CWDSViewController       "重温党史"  its category_code ("zhongwendangshi"); titled by the menu
//   OnlineReadViewController "在线阅读"
//
// A list row opens the article in CWDSDetailViewController.
#pragma once

#include <memory>
#include <string>

#include "app/framework/RearMenu.h"
#include "app/framework/SystemViewController.h"
#include "app/framework/ListScreen.h"

class YDDXFrontViewController : public ListScreen {
public:
    static constexpr const char* kTitle = "理论学习";
    static constexpr const char* kCategory = "lilunxuexi";

protected:
    Options options() const override { return {.title = kTitle}; }
    std::string listCategory() const override { return kCategory; }
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

class ZCJDViewController : public ListScreen {
public:
    static constexpr const char* kTitle = "党内法规";

protected:
    Options options() const override { return {.title = kTitle}; }
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

class CWDSViewController : public ListScreen {
public:
    static constexpr const char* kDetailTitle = "重温党史";

protected:
    Options options() const override { return {.menuButtonTop = 21}; }
    std::shared_ptr<ui::ViewController> detailFor(const ns::Value& record) override;
};

// The module's menu: the three lists, the reading page and the way home.
class YDDXRearViewController : public RearMenuScreen {
protected:
    std::vector<RearMenu::Row> menuRows() override;
};
