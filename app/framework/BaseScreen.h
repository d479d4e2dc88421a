// What every module screen shares, whatever it shows: the back button of its
// top bar pops it, and the progress overlay it puts up does not outlive it.
//
//   class Detail : public BaseScreen, public PPClientDelegate { ... };
//   naview = makeBackNavBar(*this, title());     // its back button calls back()
//   showProgress("加载中...");                     // the request goes out
//   ...                                           // the reply closes the overlay as it likes
//
// A screen that goes (popped, swapped out of its container, or taken along
// when its module is left for the home screen) while the overlay still shows
// the progress it put up takes the overlay down: the reply that would have
// closed it may never come, or come to a screen that no longer listens. An
// overlay that another screen put up since, or that already shows a result,
// is left alone.
//
// Views that work inside a screen show theirs through the screen that holds
// them: BaseScreen::hosting(*view)->showProgress(...).
#pragma once

#include <memory>
#include <string>

#include "app/widgets/NavBarView.h"
#include "uikit/View.h"
#include "uikit/ViewController.h"

class BaseScreen : public ui::ViewController, public NavBarViewDelegate {
public:
    // The progress overlay with an empty title and `status`, on behalf of this screen.
    void showProgress(const std::string& status);
    // True while the overlay shows the progress this screen put up last.
    bool showsOwnProgress() const;

    void viewWillDisappear(bool animated) override;

    // NavBarViewDelegate: pops the screen, animated.
    void back() override;

    // The screen whose view holds `view`, or nullptr.
    static std::shared_ptr<BaseScreen> hosting(const ui::View& view) { return holding<BaseScreen>(view); }
    // The nearest screen of class T (or a subclass) whose view holds `view`
    // (the view itself included), or nullptr.
    template <typename T>
    static std::shared_ptr<T> holding(const ui::View& view) {
        if (auto screen = std::dynamic_pointer_cast<T>(view.owningViewController())) return screen;
        for (auto v = view.superview(); v; v = v->superview()) {
            if (auto screen = std::dynamic_pointer_cast<T>(v->owningViewController())) return screen;
        }
        return nullptr;
    }
    // Shows the overlay through the screen holding `view`; straight on the
    // overlay when no screen holds it.
    static void showProgressFor(const ui::View& view, const std::string& status);

private:
    unsigned long progressShown_ = 0;  // the overlay's show count when this screen showed it
};
