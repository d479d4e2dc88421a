#include "app/framework/FrontScreen.h"

#include <algorithm>

#include "uikit/NavigationController.h"

std::shared_ptr<SlideRevealController> revealControllerOf(const ui::ViewController& screen) {
    auto nav = screen.navigationController();
    return nav ? std::dynamic_pointer_cast<SlideRevealController>(nav->parentViewController()) : nullptr;
}

void toggleRevealOf(const ui::ViewController& screen) {
    if (auto reveal = revealControllerOf(screen)) reveal->revealToggle(nullptr);
}

std::shared_ptr<NavBarView> makeBackNavBar(BaseScreen& screen, const std::string& title) {
    auto view = screen.view();
    auto bar = ui::create<NavBarView>(ui::Rect{0, 0, view->frame().size.width, NavBarView::kHeight});
    bar->setDelegate(screen.sharedAs<NavBarViewDelegate>());
    bar->titleLabel->setText(title.empty() ? screen.title() : title);
    view->addSubview(bar);
    return bar;
}

std::shared_ptr<NavBarView> makeFrontNavBar(ui::ViewController& screen,
                                            const std::shared_ptr<NavBarViewDelegate>& delegate) {
    auto view = screen.view();
    auto bar = ui::create<NavBarView>(ui::Rect{0, 0, view->frame().size.width, NavBarView::kHeight});
    bar->setDelegate(delegate);
    bar->titleLabel->setText(screen.title());
    bar->leftButton->setHidden(true);
    view->addSubview(bar);
    return bar;
}

void prepareFrontAppearance(ui::ViewController& screen, NavBarView& bar,
                            std::shared_ptr<ui::PanGestureRecognizer>& recognizer) {
    auto nav = screen.navigationController();
    if (!nav) return;
    nav->setNavigationBarHidden(true, false);
    auto reveal = std::dynamic_pointer_cast<SlideRevealController>(nav->parentViewController());
    if (!reveal) return;
    auto carried = bar.gestureRecognizers();
    if (recognizer && std::find(carried.begin(), carried.end(), recognizer) != carried.end()) return;
    recognizer = ui::create<ui::PanGestureRecognizer>(reveal, &SlideRevealController::revealGesture);
    bar.addGestureRecognizer(recognizer);
}
