#include "channels/AudioFrontViewController.h"

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "channels/AudioDetailViewController.h"
#include "channels/SSXWCell.h"
#include "uikit/Image.h"
#include "uikit/NavigationController.h"

namespace {

struct Category {
    const char* title;
    const char* code;
};

constexpr Category kCategories[] = {
    {"主题教育", "zhutijiaoyu"},   {"先锋栏目", "xianfenglanmu"},   {"远教课件", "yuanjiaokejian"},
    {"微电影", "weidianying"},     {"公益短片", "gongyiduanpian"}, {"时政新闻", "shizhengxinwen"},
};

RearMenu::Row categoryRow(const Category& category) {
    RearMenu::Row row;
    row.kind = RearMenu::Row::Kind::Screen;
    row.title = category.title;
    row.screenClass = std::type_index(typeid(AudioFrontViewController));
    const std::string code = category.code;
    row.make = [code](const std::string& title) -> RearMenu::Screen {
        auto front = ui::create<AudioFrontViewController>();
        front->category_code = code;
        front->Navtitle = title;
        return front;
    };
    return row;
}

}  // namespace

std::vector<RearMenu::Row> AudioRearViewController::menuRows() {
    std::vector<RearMenu::Row> rows;
    for (const auto& category : kCategories) rows.push_back(categoryRow(category));
    rows.push_back(RearMenu::homeRow());
    return rows;
}

void AudioRearViewController::viewDidLoad() {
    RearMenuScreen::viewDidLoad();
    // The rows keep their category code beside the title.
    for (std::size_t i = 0; i < std::size(kCategories); ++i) menu->records().at(i).set("catoryCode", kCategories[i].code);
}

// ---- The list ----

std::shared_ptr<ui::TableViewCell> AudioFrontViewController::cellFor(const PagedList::Table& table,
                                                                      const ns::Value& record) {
    return thumbnailRow(table, record);
}

std::shared_ptr<ui::ViewController> AudioFrontViewController::detailFor(const ns::Value& record) {
    auto detail = ui::create<AudioDetailViewController>();
    detail->article_id = records::text(record, "id");
    detail->navTitle = Navtitle;
    return detail;
}
