// What a home tile opens for a module that is not built into the program:
// the module's slide-menu container with a front screen that only names the
// module, and a menu whose one row returns to the home screen.
#pragma once

#include <memory>

#include "app/widgets/NavBarView.h"
#include "app/framework/SystemViewController.h"
#include "uikit/Button.h"
#include "uikit/GestureRecognizer.h"
#include "uikit/Label.h"

class SlideRevealController;

class ModulePlaceholderViewController : public SystemViewController {
public:
    static constexpr const char* kNotice = "该模块正在建设中，敬请期待";

    std::shared_ptr<NavBarView> naview;
    std::shared_ptr<ui::Button> menuButton;
    std::shared_ptr<ui::Label> noticeLabel;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // The container around this screen's navigation controller, if any.
    std::shared_ptr<SlideRevealController> revealController() const;
    void revealToggle();
    void revealGesture(std::shared_ptr<ui::PanGestureRecognizer> recognizer);
};

class ModulePlaceholderRearViewController : public ui::ViewController {
public:
    static constexpr const char* kHomeRow = "回到首页";

    std::shared_ptr<ui::Button> homeButton;

    void viewDidLoad() override;
    // Back to the home screen.
    void goHome();
};
