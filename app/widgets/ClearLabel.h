// The plain label of the module screens' captions and value lines: a clear
// background and the system font of the size given, added to its parent.
//
//   nameLabel = addClearLabel(*view(), ui::Rect{105, 65, 200, 30}, 13);
//   addClearLabel(*form, ui::Rect{10, 10, 50, 30}, 14, "姓名:");
#pragma once

#include <memory>
#include <string>

#include "uikit/Label.h"
#include "uikit/View.h"

inline std::shared_ptr<ui::Label> addClearLabel(ui::View& parent, const ui::Rect& frame, double fontSize,
                                                const std::string& text = "") {
    auto label = ui::create<ui::Label>(frame);
    label->setBackgroundColor(ui::Color::clearColor());
    label->setFont(ui::Font::systemFontOfSize(fontSize));
    if (!text.empty()) label->setText(text);
    parent.addSubview(label);
    return label;
}
