#include "app/framework/BaseScreen.h"

#include "app/widgets/ProgressHUD.h"
#include "uikit/NavigationController.h"

void BaseScreen::showProgress(const std::string& status) {
    ProgressHUD::showWithTitle("", status);
    progressShown_ = ProgressHUD::showCount();
}

bool BaseScreen::showsOwnProgress() const {
    return progressShown_ != 0 && progressShown_ == ProgressHUD::showCount() &&
           ProgressHUD::state() == ProgressHUD::State::Progress;
}

void BaseScreen::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    if (showsOwnProgress()) ProgressHUD::dismiss();
    progressShown_ = 0;
}

void BaseScreen::back() {
    if (auto nav = navigationController()) nav->popViewControllerAnimated(true);
}

void BaseScreen::showProgressFor(const ui::View& view, const std::string& status) {
    if (auto screen = hosting(view)) {
        screen->showProgress(status);
    } else {
        ProgressHUD::showWithTitle("", status);
    }
}
