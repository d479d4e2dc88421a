#include "members/PartyBehalfViewController.h"

#include <cmath>

#include "app/framework/FrontScreen.h"
#include "app/framework/Records.h"
#include "app/images/WebImageView.h"
#include "app/widgets/ProgressHUD.h"
#include "members/RepresentativeListViewController.h"
#include "uikit/Image.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"

namespace tilegrid {

std::vector<std::shared_ptr<ui::Button>> layout(ui::ScrollView& grid, const ns::Value& records, const Style& style) {
    for (const auto& v : grid.subviews()) {
        if (ui::isKind<ui::Button>(v) || ui::isKind<ui::Label>(v)) v->removeFromSuperview();
    }
    const double W = grid.frame().size.width;
    const double pitch = static_cast<double>((static_cast<float>(W) - 270.0f - 20.0f) * 0.5f + 90.0f);
    const auto placeholder = ui::Image::imageNamed("icon_empty.png");
    std::vector<std::shared_ptr<ui::Button>> tiles;
    const auto& items = records.items();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ui::Rect frame{pitch * static_cast<double>(i % 3) + 10, static_cast<double>(i / 3) * 130 + 10, 90, 90};
        auto tile = ui::Button::buttonWithType(ui::ButtonTypeCustom);
        tile->setFrame(frame);
        tile->setTag(kTagBase + static_cast<int>(i));
        setImageWithURL(tile, records::text(items[i], style.imageKey), placeholder);
        grid.addSubview(tile);
        tiles.push_back(tile);

        auto name = ui::create<ui::Label>(ui::Rect{frame.origin.x, frame.maxY() + 10, style.nameWidth, 20});
        name->setBackgroundColor(ui::Color::clearColor());
        name->setTextAlignment(ui::TextAlignmentCenter);
        name->setFont(ui::Font::systemFontOfSize(14));
        name->setText(records::text(items[i], style.nameKey));
        grid.addSubview(name);
    }
    const double rows = std::ceil(static_cast<double>(items.size()) / 3.0);
    grid.setContentSize(ui::Size{W, rows * 130 + 10});
    return tiles;
}

ns::Value recordFor(const ns::Value& records, const std::shared_ptr<ui::Button>& tile) {
    const long index = tile ? tile->tag() - kTagBase : -1;
    if (index < 0 || static_cast<std::size_t>(index) >= records.count()) return {};
    return records.at(static_cast<std::size_t>(index));
}

}  // namespace tilegrid

void PartyBehalfViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    setTitle("17区县");
    auto root = view();
    root->setBackgroundColor(ui::Color::whiteColor());
    naview = makeBackNavBar(*this);
    mscrview = ui::create<ui::ScrollView>(
        ui::Rect{0, 64, root->frame().size.width, root->frame().size.height - 64});
    root->addSubview(mscrview);
    showProgress("加载中...");
    pp->GetOrgList("countyandcity");
}

void PartyBehalfViewController::GetWebServerContent_success(const std::string& result) {
    if (showsOwnProgress()) ProgressHUD::dismiss();
    mdataArray = records::list(records::parse(result));
    for (auto& tile : tilegrid::layout(*mscrview, mdataArray, {"img_url", "name", 90})) {
        tile->addTarget(this, &PartyBehalfViewController::Actions, ui::ControlEventTouchUpInside);
    }
}

void PartyBehalfViewController::GetWebServerContent_Fail(const ns::ErrorPtr&) {
    if (showsOwnProgress()) ProgressHUD::dismiss();
}

void PartyBehalfViewController::Actions(std::shared_ptr<ui::Button> sender) {
    const ns::Value county = tilegrid::recordFor(mdataArray, sender);
    auto nav = navigationController();
    if (county.isNil() || !nav) return;
    auto list = ui::create<RepresentativeListViewController>();
    list->org_id = records::text(county, "id");
    nav->pushViewController(list, true);
}
