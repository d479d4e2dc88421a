// The pango side of text, shared by measurement and drawing: a context with
// device-independent metrics (no hinting), fonts as pango descriptions with
// their size in points, and layouts wrapped and truncated as labels wrap and
// truncate. The renderer builds its layouts here so they match what the
// screens measured.
#pragma once

#include <pango/pango.h>

#include <cstdint>
#include <string_view>

#include "uikit/Font.h"
#include "uikit/Text.h"

namespace ui::text {

// Sets fontconfig up on the calling thread, once for the process. Whatever
// lays text out with pango calls it first; otherwise pango sets fontconfig
// up on a thread of its own while the caller goes on.
void setUpFontconfig();

// Applies the shared settings to a context (for example one from a cairo
// surface): no hinting, metrics not hinted, left-to-right.
void configureContext(PangoContext* context);

// A new context on the shared font map, configured; release with g_object_unref.
PangoContext* newContext();

// A new description of the font (absolute size in points); pango_font_description_free.
PangoFontDescription* newFontDescription(const Font& font);

// A new layout of the text. width <= 0: no wrapping. maxLines > 0 limits the
// lines, truncating the last as the mode says; 0 means no limit. Lines break
// without adding a hyphen, and a NUL in the text shows as nothing (what
// follows it is laid out). The layout carries attributes for that: add to a
// copy of them rather than replacing them.
PangoLayout* newLayout(PangoContext* context, std::string_view text, const Font& font, double width,
                       LineBreakMode mode, int maxLines, TextAlignment alignment);

// Bytes of text laid out so far, on any thread: what measuring and drawing
// cost, for tests and measurements.
std::uint64_t laidOutBytes();

}  // namespace ui::text
