#include "channels/BMFWFrontViewController.h"

#include "app/framework/FrontScreen.h"
#include "channels/NewsViewController.h"
#include "uikit/NavigationController.h"

void BMFWFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    view()->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    naview = makeBackNavBar(*this);

    minbinview = ui::create<MinBingView>(ui::Rect{0, 64, w, h - 64});
    view()->addSubview(minbinview);
}

void BMFWFrontViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

std::vector<RearMenu::Row> BMFWRearViewController::menuRows() {
    return {
        RearMenu::homeRow(),
        RearMenu::bareScreenRow<NewsViewController>("时事新闻"),
        RearMenu::highlightRow("Velmarsh动态"),
        RearMenu::highlightRow("干部任免"),
    };
}
