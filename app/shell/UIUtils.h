// Class-method helpers for bar items.
//
//   navigationItem()->setLeftBarButtonItem(
//       UIUtils::backButtonForTarget(container, &RevealController::revealToggle));
#pragma once

#include <memory>

#include "uikit/BarButtonItem.h"
#include "uikit/Button.h"
#include "uikit/Font.h"
#include "uikit/Image.h"

class UIUtils {
public:
    // A bar item holding a 24 x 20 button at (8, 3) with the bundle image
    // "menu" that sends the action to the target on touch-up-inside.
    template <typename T, typename M>
    static std::shared_ptr<ui::BarButtonItem> backButtonForTarget(T target, M action) {
        auto button = menuButton();
        button->addTarget(target, action, ui::ControlEventTouchUpInside);
        return ui::create<ui::BarButtonItem>(std::static_pointer_cast<ui::View>(button));
    }

    // The button of backButtonForTarget, without a target.
    static std::shared_ptr<ui::Button> menuButton();
};
