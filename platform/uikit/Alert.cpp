#include "uikit/Alert.h"

#include "uikit/Application.h"
#include "uikit/Window.h"

namespace ui {

// ---- Popup ----

std::string Popup::buttonTitleAtIndex(int index) const {
    if (index < 0 || index >= numberOfButtons()) return {};
    return buttons_[static_cast<std::size_t>(index)];
}

int Popup::indexOfButtonWithTitle(const std::string& title) const {
    for (int i = 0; i < numberOfButtons(); ++i) {
        if (buttons_[static_cast<std::size_t>(i)] == title) return i;
    }
    return -1;
}

int Popup::addButtonWithTitle(const std::string& title) {
    buttons_.push_back(title);
    int index = numberOfButtons() - 1;
    if (firstOtherIndex_ < 0 && index != cancelIndex_) firstOtherIndex_ = index;
    return index;
}

void Popup::present() {
    auto self = sharedAs<Popup>();
    setFrame(Screen::mainScreen().bounds());
    visible_ = true;
    Application::sharedApplication().showPopup(self);
}

bool Popup::pressButtonAtIndex(int index) {
    if (!visible_ || index < 0 || index >= numberOfButtons()) return false;
    auto keep = shared_from_this();
    sendClicked(index);
    if (visible_) dismissWithClickedButtonIndex(index, true);
    return true;
}

void Popup::dismissWithClickedButtonIndex(int index, bool) {
    if (!visible_) return;
    auto keep = shared_from_this();
    sendWillDismiss(index);
    visible_ = false;
    Application::sharedApplication().removePopup(this);
    sendDidDismiss(index);
}

std::string Popup::debugText() const {
    std::string s = title_;
    if (!messageText().empty()) s += (s.empty() ? "" : " / ") + messageText();
    s += " [";
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        if (i) s += ", ";
        s += std::to_string(i) + ":" + buttons_[i];
    }
    return s + "]";
}

// ---- AlertView ----

void AlertView::init(const std::string& title, const std::string& message,
                     const std::shared_ptr<AlertViewDelegate>& delegate, const std::string& cancelButtonTitle,
                     const std::vector<std::string>& otherButtonTitles) {
    Popup::init(Rect{});
    title_ = title;
    message_ = message;
    delegate_ = delegate;
    if (!cancelButtonTitle.empty()) {
        buttons_.push_back(cancelButtonTitle);
        cancelIndex_ = 0;
    }
    for (const auto& t : otherButtonTitles) {
        if (firstOtherIndex_ < 0) firstOtherIndex_ = numberOfButtons();
        buttons_.push_back(t);
    }
}

void AlertView::show() {
    if (visible_) return;
    present();
}

void AlertView::sendClicked(int index) {
    if (auto d = delegate_.lock()) d->alertView_clickedButtonAtIndex(sharedAs<AlertView>(), index);
}
void AlertView::sendWillDismiss(int index) {
    if (auto d = delegate_.lock()) d->alertView_willDismissWithButtonIndex(sharedAs<AlertView>(), index);
}
void AlertView::sendDidDismiss(int index) {
    if (auto d = delegate_.lock()) d->alertView_didDismissWithButtonIndex(sharedAs<AlertView>(), index);
}

// ---- ActionSheet ----

void ActionSheet::init(const std::string& title, const std::shared_ptr<ActionSheetDelegate>& delegate,
                       const std::string& cancelButtonTitle, const std::string& destructiveButtonTitle,
                       const std::vector<std::string>& otherButtonTitles) {
    Popup::init(Rect{});
    title_ = title;
    delegate_ = delegate;
    if (!destructiveButtonTitle.empty()) {
        destructiveIndex_ = 0;
        buttons_.push_back(destructiveButtonTitle);
    }
    for (const auto& t : otherButtonTitles) {
        if (firstOtherIndex_ < 0) firstOtherIndex_ = numberOfButtons();
        buttons_.push_back(t);
    }
    if (!cancelButtonTitle.empty()) {
        cancelIndex_ = numberOfButtons();
        buttons_.push_back(cancelButtonTitle);
    }
}

void ActionSheet::showInView(const std::shared_ptr<View>& view) {
    if (visible_) return;
    shownIn_ = view;
    present();
}

void ActionSheet::sendClicked(int index) {
    if (auto d = delegate_.lock()) d->actionSheet_clickedButtonAtIndex(sharedAs<ActionSheet>(), index);
}
void ActionSheet::sendWillDismiss(int index) {
    if (auto d = delegate_.lock()) d->actionSheet_willDismissWithButtonIndex(sharedAs<ActionSheet>(), index);
}
void ActionSheet::sendDidDismiss(int index) {
    if (auto d = delegate_.lock()) d->actionSheet_didDismissWithButtonIndex(sharedAs<ActionSheet>(), index);
}

}  // namespace ui
