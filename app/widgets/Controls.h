// The small controls the module screens build again and again.
//
//   auto search = makeImageButton(ui::Rect{205, 100, 60, 30}, "搜索", "subit.png", 16);
//   view->addSubview(makeCaption(ui::Rect{5, 65, 80, 30}, "所属机构:", 13));
//   phoneField = makeBorderedField(ui::Rect{10, 70, 180, 30}, 12);
#pragma once

#include <memory>
#include <string>

#include "uikit/Button.h"
#include "uikit/Label.h"
#include "uikit/TextField.h"
#include "uikit/View.h"

// A custom button on a background picture ("navbar.png", the red of the top
// bar, unless another is named) with a white title in the system font.
std::shared_ptr<ui::Button> makeImageButton(const ui::Rect& frame, const std::string& title,
                                            const std::string& image = "navbar.png", double fontSize = 12);

// A label on a clear background in the system font, showing `text`; added to
// `parent` when one is given.
std::shared_ptr<ui::Label> makeCaption(const ui::Rect& frame, const std::string& text = "", double fontSize = 12,
                                       ui::View* parent = nullptr);

// A text field with a light-grey border of width 1, in the system font.
std::shared_ptr<ui::TextField> makeBorderedField(const ui::Rect& frame, double fontSize = 13);
