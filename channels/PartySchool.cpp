#include "channels/PartySchool.h"

#include "app/framework/Records.h"
#include "channels/CWDSDetailViewController.h"
#include "channels/OnlineRead.h"

namespace {

std::shared_ptr<ui::ViewController> articleDetail(const ns::Value& record, const std::string& titleStr) {
    auto detail = ui::create<CWDSDetailViewController>();
    detail->article_id = records::text(record, "id");
    detail->titleStr = titleStr;
    return detail;
}

}  // namespace

std::shared_ptr<ui::ViewController> YDDXFrontViewController::detailFor(const ns::Value& record) {
    return articleDetail(record, kTitle);
}

std::shared_ptr<ui::ViewController> ZCJDViewController::detailFor(const ns::Value& record) {
    return articleDetail(record, title());
}

std::shared_ptr<ui::ViewController> CWDSViewController::detailFor(const ns::Value& record) {
    return articleDetail(record, kDetailTitle);
}

std::vector<RearMenu::Row> YDDXRearViewController::menuRows() {
    return {
        RearMenu::screenRow<YDDXFrontViewController>("理论学习"),
        RearMenu::screenRow<ZCJDViewController>("党内法规",
                                                [](ZCJDViewController& s) { s.category_code = "dangnafagui"; }),
        RearMenu::screenRow<CWDSViewController>("重温党史",
                                                [](CWDSViewController& s) { s.category_code = "zhongwendangshi"; }),
        RearMenu::screenRow<OnlineReadViewController>("在线阅读"),
        RearMenu::homeRow(),
    };
}
