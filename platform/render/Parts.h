// The renderer's parts, internal to the render library.
#pragma once

#include <cairo.h>

#include "uikit/Alert.h"
#include "uikit/Application.h"
#include "uikit/View.h"

namespace render::detail {

// The 20-point bar across the top of the screen.
void drawStatusBar(cairo_t* cr, const ui::Application& app, ui::Size screen);
// An alert or sheet over the screen (dimming what is below it).
void drawPopup(cairo_t* cr, const ui::Popup& popup, ui::Size screen);
// The content of the built-in view classes (bounds coordinates); false
// when the class is not one of them.
bool paintBuiltInContent(cairo_t* cr, const ui::View& view);
// Text fields and views, pickers, the keyboard's keys and web pages.
bool paintInputContent(cairo_t* cr, const ui::View& view);
// What the built-in classes draw over their subviews (a table's separators,
// a scroll view's indicator), in bounds coordinates.
void paintBuiltInOverlay(cairo_t* cr, const ui::View& view);

}  // namespace render::detail
