// Drawing helpers shared by the renderer's parts: colours, rounded
// rectangles, pictures and text. Internal to the render library.
#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <string_view>

#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Geometry.h"
#include "uikit/Image.h"
#include "uikit/Text.h"
#include "uikit/View.h"

namespace render::paint {

void setColor(cairo_t* cr, const ui::Color& c);
// A rectangle path with round corners (radius limited to half the shorter side).
void roundedRect(cairo_t* cr, const ui::Rect& r, double radius);
void fillRect(cairo_t* cr, const ui::Rect& r, const ui::Color& c, double radius = 0);
// A one-pixel line along the bottom (or top) edge of the rectangle.
void hairline(cairo_t* cr, double x0, double y0, double x1, double y1, const ui::Color& c);

// ---- Pictures ----
// The picture's surface at its own pixel size (cached per image).
cairo_surface_t* imageSurface(const ui::ImagePtr& image);
// Where the picture goes in `box` for the content mode (may overflow it).
ui::Rect imageRect(ui::Size image, const ui::Rect& box, ui::ViewContentMode mode);
// Draws the picture into the rectangle, stretched to it, at the opacity.
void drawImage(cairo_t* cr, const ui::ImagePtr& image, const ui::Rect& rect, double alpha = 1);
// Darkens where the picture is opaque (a pressed button's picture).
void darkenImage(cairo_t* cr, const ui::ImagePtr& image, const ui::Rect& rect, double amount);

// ---- Text ----
// A layout from the shared text setup, cached; owned by the cache (valid
// until the next frame begins). width <= 0: one unwrapped line.
PangoLayout* layout(std::string_view text, const ui::Font& font, double width, ui::LineBreakMode mode,
                    int maxLines, ui::TextAlignment alignment);
// The layout's height in points over its first `lines` lines (all: 0).
double layoutHeight(PangoLayout* layout, int lines = 0);
double layoutWidth(PangoLayout* layout);
// Draws the layout with its top left at (x, y), showing only its first
// `lines` lines (all: 0).
void showLayout(cairo_t* cr, PangoLayout* layout, double x, double y, const ui::Color& color, int lines = 0);
// One-call text: laid out in the box's width (wrapped unless `lines` is 1),
// centred vertically in it, clipped to it.
void drawText(cairo_t* cr, std::string_view text, const ui::Font& font, const ui::Color& color, const ui::Rect& box,
              ui::TextAlignment alignment, int lines = 1, ui::LineBreakMode mode = ui::LineBreakByTruncatingTail);

// Called as each frame starts: trims the caches.
void beginFrame();
void clearCaches();
// The picture surfaces the caches hold (whole and shrunk).
std::size_t cachedSurfaceCount();

}  // namespace render::paint
