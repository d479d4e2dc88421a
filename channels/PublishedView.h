// The comment input bar that an article screen shows just above the keyboard:
// a text field and the "发表" button. The host adds its own target to the
// button and takes over as the field's delegate.
//
//   pubView = ui::create<PublishedView>(ui::Rect{0, 100, w, 100});
//   pubView->PublishedButton->addTarget(this, &Screen::PublishedContent, ui::ControlEventTouchUpInside);
//   pubView->contentField->setDelegate(sharedAs<ui::TextFieldDelegate>());
#pragma once

#include <memory>

#include "uikit/Button.h"
#include "uikit/TextField.h"
#include "uikit/View.h"

class PublishedView : public ui::View, public ui::TextFieldDelegate {
public:
    void init(const ui::Rect& frame) override;

    std::shared_ptr<ui::TextField> contentField;
    std::shared_ptr<ui::Button> PublishedButton;
};
