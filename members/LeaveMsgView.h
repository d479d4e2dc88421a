// The 50-point message input bar of the message boards: a field
// ("我来说两句 ...") and the "留言" button. The owning board wires the button
// and may take over the field's delegate.
//
//   bar = ui::create<LeaveMsgView>(ui::Rect{0, h - 50, w, 50});
//   bar->PublishedButton->addTarget(this, &Board::send, ui::ControlEventTouchUpInside);
//
// maskView is a dimming overlay owning a second bar (the reply bar) that it
// keeps above the keyboard; the owner adds the bar to a view of its choosing,
// above the overlay, so the bar is not dimmed.
#pragma once

#include <memory>

#include "uikit/Button.h"
#include "uikit/TextField.h"
#include "uikit/View.h"

class LeaveMsgView : public ui::View, public ui::TextFieldDelegate {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<ui::TextField> contentField;
    std::shared_ptr<ui::Button> PublishedButton;
};

class maskView : public ui::View, public ui::TextFieldDelegate {
public:
    void init(const ui::Rect& frame) override;
    using ui::View::init;

    std::shared_ptr<LeaveMsgView> leveMsgview;

    bool textFieldShouldBeginEditing(const std::shared_ptr<ui::TextField>& textField) override;
    bool textFieldShouldReturn(const std::shared_ptr<ui::TextField>& textField) override;
};
