// Drawing the view tree with cairo and pango.
//
//   render::Canvas canvas(ui::Screen::mainScreen().bounds().size, 2);
//   render::drawScreen(canvas.context());          // windows, status bar, alerts
//   render::snapshotToPNG("/tmp/screen.png");      // the same in one call
//
// A view draws, in order: its background colour (within its corner radius),
// its own content (a label's text, an image view's picture, a button's
// background image, ...), its subviews, and last its layer border. A view
// that clips to its bounds clips its content and subviews to its rounded
// rectangle. Hidden views and views with alpha below 0.01 draw nothing; a
// view with alpha below 1 is drawn as a whole and then faded.
//
// Text is laid out through the UI layer's text setup (uikit/TextLayout.h),
// the same fonts and settings the screens measure with. Drawing belongs to
// the main thread, as the view tree does.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

#include "render/Canvas.h"
#include "uikit/Alert.h"
#include "uikit/Label.h"
#include "uikit/View.h"

namespace render {

// Draws the view and everything in it. The context's user space is the
// view's superview's coordinates (points).
void drawView(cairo_t* cr, const ui::View& view);

// Draws the whole screen with the context's user space in screen points:
// black, the visible windows back to front (those below the status bar's
// level, the 20-point status bar unless hidden, those above it), then the
// alerts and sheets on screen. Runs pending layout first.
void drawScreen(cairo_t* cr);

// The screen drawn into a new canvas at the scale (0: the main screen's).
std::unique_ptr<Canvas> snapshot(double scale = 0);
// The screen as a PNG file at the main screen's scale (640 x 1136 pixels for
// the 320 x 568 point screen at 2x), written as Canvas::writePNG writes:
// false when the file cannot be written, with the file and why in `why`.
bool snapshotToPNG(const std::string& path, std::string* why = nullptr);

// ---- Text ----
// The rectangle (in the label's bounds) that the label's lines occupy when
// drawn: as wide as its bounds, as high as the lines shown, centred
// vertically. Empty text gives an empty rectangle.
ui::Rect labelTextRect(const ui::Label& label);
// Whether the label's text, as drawn, is cut short with "…": it does not fit
// and the label's line-break mode truncates.
bool labelIsTruncated(const ui::Label& label);

// ---- Alerts and sheets ----
// Where an alert's or sheet's parts are drawn, in screen points.
struct PopupLayout {
    ui::Rect panel;                  // the box (an alert) or the button group (a sheet)
    ui::Rect cancelPanel;            // a sheet's separate cancel block (empty otherwise)
    ui::Rect title;                  // empty when there is no title
    ui::Rect message;                // empty when there is no message
    std::vector<ui::Rect> buttons;   // by button index
};
PopupLayout layoutPopup(const ui::Popup& popup, ui::Size screen);
// The index of the popup's button under the screen point, or -1.
int popupButtonAt(const ui::Popup& popup, ui::Point screenPoint);
// A pressed button is drawn highlighted (the window host sets it while a
// finger is down on it); -1 for none.
void setPressedPopupButton(const ui::Popup* popup, int index);

// ---- Pickers (PickerView and DatePicker) ----
// The column under a point (x in the picker's bounds), or -1.
int pickerColumnAt(const ui::View& picker, double x);
double pickerRowHeight(const ui::View& picker, int column);
// Turns a column by a number of rows (down the list: positive) as a user's
// spin does, telling the delegate or the targets. False when nothing moved.
bool spinPicker(ui::View& picker, int column, int rows);

// ---- Other view classes ----
// Content drawing for a view class the renderer does not know, run after the
// background and before the subviews with the user space in the view's bounds
// coordinates. Matched by exact class.
using ContentPainter = std::function<void(cairo_t*, const ui::View&)>;
void setContentPainter(std::type_index viewClass, ContentPainter painter);
template <typename T>
void setContentPainter(ContentPainter painter) {
    setContentPainter(std::type_index(typeid(T)), std::move(painter));
}

// Frees the cached text layouts and image surfaces (they are rebuilt on demand).
void clearCaches();
// The picture surfaces held for drawing, whole and shrunk; a picture's go
// once it has gone, as the next frame begins.
std::size_t cachedPictureSurfaces();

}  // namespace render
