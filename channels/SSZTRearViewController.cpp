#include "channels/SSZTRearViewController.h"

#include "channels/ArticleRoutes.h"
#include "channels/NewsViewController.h"
#include "channels/SSZTFrontViewController.h"
#include "uikit/NavigationController.h"

namespace {

// A channel list row: a new list of the code, titled with the row's title.
RearMenu::Row channelRow(const std::string& title, const std::string& code) {
    RearMenu::Row row;
    row.kind = RearMenu::Row::Kind::Screen;
    row.title = title;
    row.screenClass = channelListClass(code);
    row.make = [code](const std::string& t) -> RearMenu::Screen {
        auto screen = makeChannelList(code);
        if (screen) screen->setTitle(t);
        return screen;
    };
    return row;
}

}  // namespace

void SSZTRearViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    pp = VoVaClient::create(sharedAs<PPClientDelegate>());
    menu = RearMenu::create({
        RearMenu::screenRow<SSZTFrontViewController>("时事新闻"),
        channelRow("Velmarsh动态", "velmarshdongtai"),
        channelRow("领导言论", "lingdaoyanlun"),
        channelRow("干部任免", "ganburenmian"),
        RearMenu::homeRow(),
    });
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
}

void SSZTRearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
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
