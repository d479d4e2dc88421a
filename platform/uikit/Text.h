// Text measurement with the font system the renderer draws with (pango over
// fontconfig, the CJK family of Font.h), so a layout computed here is what
// will be drawn.
//
//   ui::Size s = ui::sizeWithFont(text, ui::Font::systemFontOfSize(12),
//                                 ui::Size{w - 10, 10000}, ui::LineBreakByCharWrapping);
//
// Results are whole points: each side is rounded up.
#pragma once

#include <string_view>

#include "uikit/Font.h"
#include "uikit/Geometry.h"

namespace ui {

enum LineBreakMode {
    LineBreakByWordWrapping = 0,
    LineBreakByCharWrapping = 1,
    LineBreakByClipping = 2,
    LineBreakByTruncatingHead = 3,
    LineBreakByTruncatingTail = 4,
    LineBreakByTruncatingMiddle = 5,
};

enum TextAlignment {
    TextAlignmentLeft = 0,
    TextAlignmentCenter = 1,
    TextAlignmentRight = 2,
    TextAlignmentJustified = 3,
    TextAlignmentNatural = 4,
};

// The size the text needs in the font, wrapped within the maximum width (by
// character for LineBreakByCharWrapping, else at word boundaries, breaking a
// word longer than a line), keeping the whole lines that fit in the maximum
// height (at least one), each side rounded up. Empty text measures (0, 0).
Size sizeWithFont(std::string_view text, const Font& font, Size constrainedToSize,
                  LineBreakMode mode = LineBreakByWordWrapping);

// The size of the text on one line, without a limit.
Size sizeWithFont(std::string_view text, const Font& font);

// How many lines the text takes wrapped within the width (0 for empty text).
int numberOfLinesForText(std::string_view text, const Font& font, Float width,
                         LineBreakMode mode = LineBreakByWordWrapping);

// The start of the text that `lines` lines of the width (<= 0: one line as
// wide as kWidestLine) can show in the font, and one line more, so that it
// wraps and truncates as the whole text would within those lines; the whole
// text when it is no longer, or when lines <= 0. Cut at a character. The
// measurement above and the drawing of labels lay out only this much, so a
// text of megabytes costs what it shows.
std::string_view showableText(std::string_view text, const Font& font, double width, int lines);
// Wider than any line a screen shows; one line of unlimited width is measured
// this far.
inline constexpr double kWidestLine = 4096;

}  // namespace ui
