#include "channels/SSZTRearViewController.h"

#include "channels/ChannelLists.h"
#include "channels/NewsViewController.h"
#include "channels/SSZTFrontViewController.h"
#include "uikit/NavigationController.h"

void SSZTRearViewController::viewDidLoad() {
    pp = VoVaClient::create(weakAs<PPClientDelegate>());
    RearMenuScreen::viewDidLoad();
}

std::vector<RearMenu::Row> SSZTRearViewController::menuRows() {
    return {
        RearMenu::screenRow<SSZTFrontViewController>("时事新闻"),
        RearMenu::screenRow<VLDTViewController>("Velmarsh动态",
                                                [](VLDTViewController& s) { s.category_code = "velmarshdongtai"; }),
        RearMenu::screenRow<LDYLViewController>("领导言论",
                                                [](LDYLViewController& s) { s.category_code = "lingdaoyanlun"; }),
        RearMenu::screenRow<GBRMViewController>("干部任免",
                                                [](GBRMViewController& s) { s.category_code = "ganburenmian"; }),
        RearMenu::homeRow(),
    };
}

void RearViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    menu = RearMenu::create(
        {
            RearMenu::homeRow(),
            RearMenu::bareScreenRow<NewsViewController>("时事新闻"),
            RearMenu::highlightRow("Velmarsh动态"),
            RearMenu::highlightRow("干部任免"),
        },
        RearMenu::Options{.swapByClass = true, .animatedHome = true});
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 20, size.width, size.height});
}

void RearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    ui::ViewController::viewWillAppear(animated);
}
