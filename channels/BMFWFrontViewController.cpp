#include "channels/BMFWFrontViewController.h"

#include "channels/NewsViewController.h"
#include "uikit/NavigationController.h"

void BMFWFrontViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    setTitle(kTitle);
    view()->setBackgroundColor(ui::Color::colorWithRed(0.96, 0.96, 0.96, 1));
    const ui::Rect bounds = view()->bounds();
    const double w = bounds.size.width;
    const double h = bounds.size.height;

    naview = ui::create<NavBarView>(ui::Rect{0, 0, w, NavBarView::kHeight});
    naview->setDelegate(sharedAs<NavBarViewDelegate>());
    naview->titleLabel->setText(title());
    view()->addSubview(naview);

    minbinview = ui::create<MinBingView>(ui::Rect{0, 64, w, h - 64});
    view()->addSubview(minbinview);
}

void BMFWFrontViewController::viewWillAppear(bool animated) {
    SystemViewController::viewWillAppear(animated);
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
}

void BMFWFrontViewController::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void BMFWRearViewController::viewDidLoad() {
    SystemViewController::viewDidLoad();
    menu = RearMenu::create({
        RearMenu::homeRow(),
        RearMenu::bareScreenRow<NewsViewController>("时事新闻"),
        RearMenu::highlightRow("Velmarsh动态"),
        RearMenu::highlightRow("干部任免"),
    });
    ui::Size size = view()->frame().size;
    menu->build(sharedAs<ui::ViewController>(), ui::Rect{0, 0, size.width, size.height});
}

void BMFWRearViewController::viewWillAppear(bool animated) {
    if (auto nav = navigationController()) nav->setNavigationBarHidden(true, false);
    SystemViewController::viewWillAppear(animated);
}
