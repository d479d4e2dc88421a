#include "uikit/Text.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Geometry.h"
#include "uikit/TextLayout.h"

namespace ui {

namespace {

// pango objects are not thread-safe: one context, used under one lock.
std::mutex& textMutex() {
    static std::mutex m;
    return m;
}

PangoFontMap*& fontMapSlot() {
    static PangoFontMap* map = nullptr;
    return map;
}

PangoContext*& contextSlot() {
    static PangoContext* ctx = nullptr;
    return ctx;
}

// One font map for the process, made once fontconfig is set up.
PangoFontMap* sharedFontMap() {
    if (!fontMapSlot()) {
        text::setUpFontconfig();
        fontMapSlot() = pango_cairo_font_map_new();
    }
    return fontMapSlot();
}

PangoContext* sharedContext() {
    if (!contextSlot()) contextSlot() = text::newContext();
    return contextSlot();
}

double toPoints(int pangoUnits) { return static_cast<double>(pangoUnits) / PANGO_SCALE; }

// Rounds up, ignoring the noise of unit conversion (10.0000001 stays 10).
double ceilPoints(double v) { return std::ceil(v - 1e-6); }

template <typename... A>
std::string fmt(const char* format, A... args) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

}  // namespace

namespace text {

void setUpFontconfig() {
    static std::once_flag once;
    std::call_once(once, [] { FcInit(); });
}

void configureContext(PangoContext* context) {
    cairo_font_options_t* opts = cairo_font_options_create();
    cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(opts, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, opts);
    cairo_font_options_destroy(opts);
    pango_cairo_context_set_resolution(context, 72.0);
    pango_context_set_base_dir(context, PANGO_DIRECTION_LTR);
    pango_context_set_round_glyph_positions(context, FALSE);
}

PangoContext* newContext() {
    PangoContext* ctx = pango_font_map_create_context(sharedFontMap());
    configureContext(ctx);
    return ctx;
}

PangoFontDescription* newFontDescription(const Font& font) {
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, font.familyName.empty() ? kSystemFontFamily : font.familyName.c_str());
    pango_font_description_set_weight(d, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(d, font.pointSize * PANGO_SCALE);
    return d;
}

namespace {
std::atomic<std::uint64_t> laidOut{0};
}  // namespace

std::uint64_t laidOutBytes() { return laidOut.load(); }

namespace {

// Gives the layout its text and the attributes every text has: a line broken
// inside a word gets no hyphen (pango adds one by default), and a NUL shows
// as nothing. pango would end the text at its first NUL, so each is laid out
// as another one-byte character drawn as an empty shape of no width: what
// follows it is measured and drawn, and byte offsets into the text stay the
// layout's.
void setTextAndAttributes(PangoLayout* layout, std::string_view str) {
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_insert_hyphens_new(FALSE));
    std::string withoutNul;
    if (str.find('\0') != std::string_view::npos) {
        withoutNul.assign(str);
        const PangoRectangle nothing{0, 0, 0, 0};
        for (std::size_t at = withoutNul.find('\0'); at != std::string::npos; at = withoutNul.find('\0', at + 1)) {
            withoutNul[at] = '\x01';
            PangoAttribute* shape = pango_attr_shape_new(&nothing, &nothing);
            shape->start_index = static_cast<guint>(at);
            shape->end_index = static_cast<guint>(at + 1);
            pango_attr_list_insert(attrs, shape);
        }
        str = withoutNul;
    }
    pango_layout_set_text(layout, str.data(), static_cast<int>(str.size()));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
}

}  // namespace

PangoLayout* newLayout(PangoContext* context, std::string_view str, const Font& font, double width,
                       LineBreakMode mode, int maxLines, TextAlignment alignment) {
    laidOut += str.size();
    PangoLayout* layout = pango_layout_new(context);
    PangoFontDescription* d = newFontDescription(font);
    pango_layout_set_font_description(layout, d);
    pango_font_description_free(d);
    setTextAndAttributes(layout, str);
    if (width > 0) {
        pango_layout_set_width(layout, static_cast<int>(std::floor(width * PANGO_SCALE)));
        pango_layout_set_wrap(layout, mode == LineBreakByCharWrapping ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
    } else {
        pango_layout_set_width(layout, -1);
    }
    if (maxLines > 0) pango_layout_set_height(layout, -maxLines);
    switch (mode) {
        case LineBreakByTruncatingHead: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_START); break;
        case LineBreakByTruncatingMiddle: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE); break;
        case LineBreakByTruncatingTail: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END); break;
        default: pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE); break;
    }
    switch (alignment) {
        case TextAlignmentCenter: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
        case TextAlignmentRight: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
        case TextAlignmentJustified:
            pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
            pango_layout_set_justify(layout, TRUE);
            break;
        default: pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT); break;
    }
    return layout;
}

}  // namespace text

// ---- Measurement ----

namespace {

struct Measured {
    double width = 0;
    double height = 0;
    int lines = 0;
};

// Lines of the font a height can hold, at most: no line is lower than the
// font's size. 0 (no limit) for heights that mean "any".
int linesWithin(double height, const Font& font) {
    if (height >= 1e6 || font.pointSize <= 0) return 0;
    return static_cast<int>(height / font.pointSize) + 1;
}

// The text up to the character after the first `characters`.
std::string_view firstCharacters(std::string_view text, std::size_t characters) {
    if (characters >= text.size()) return text;
    std::size_t at = 0;
    for (std::size_t n = 0; at < text.size() && n < characters; ++n) {
        do {
            ++at;
        } while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
    }
    return text.substr(0, at);
}

// Lays the text out (width <= 0: one line) and sums whole lines up to
// maxHeight; `more` tells whether the layout went on past the line after them.
Measured layOut(std::string_view str, const Font& font, double width, double maxHeight, LineBreakMode mode,
                bool* more) {
    Measured m;
    if (str.empty()) return m;
    std::lock_guard<std::mutex> lock(textMutex());
    PangoLayout* layout =
        text::newLayout(sharedContext(), str, font, width, mode == LineBreakByCharWrapping ? mode : LineBreakByWordWrapping,
                        0, TextAlignmentLeft);
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    double top = -1;
    do {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        double lineTop = toPoints(logical.y);
        double lineBottom = toPoints(logical.y + logical.height);
        if (top < 0) top = lineTop;
        if (m.lines > 0 && lineBottom - top > maxHeight + 1e-6) break;
        m.lines++;
        m.height = lineBottom - top;
        m.width = std::max(m.width, toPoints(logical.x + logical.width));
    } while (pango_layout_iter_next_line(it));
    *more = pango_layout_get_line_count(layout) >= m.lines + 2;
    pango_layout_iter_free(it);
    g_object_unref(layout);
    if (width > 0) m.width = std::min(m.width, width);
    return m;
}

// Measures no more of a long text than the lines the height holds can show:
// first a likely share of what they could (characters half the font's size
// wide), more only when that share did not run on past them.
Measured measure(std::string_view str, const Font& font, double width, double maxHeight, LineBreakMode mode) {
    const int lines = width > 0 ? linesWithin(maxHeight, font) : 1;
    const std::string_view most = showableText(str, font, width, lines);
    bool more = false;
    if (width > 0 && lines > 0 && most.size() < str.size()) {
        auto perLine = static_cast<std::size_t>(width / std::max(0.5, font.pointSize / 2)) + 3;
        for (std::size_t characters = perLine * (static_cast<std::size_t>(lines) + 2);; characters *= 2) {
            std::string_view part = firstCharacters(most, characters);
            if (part.size() == most.size()) break;
            Measured m = layOut(part, font, width, maxHeight, mode, &more);
            if (more) return m;
        }
    }
    return layOut(most, font, width, maxHeight, mode, &more);
}

}  // namespace

Size sizeWithFont(std::string_view str, const Font& font, Size constrainedToSize, LineBreakMode mode) {
    double maxW = constrainedToSize.width > 0 ? constrainedToSize.width : 0;
    double maxH = constrainedToSize.height > 0 ? constrainedToSize.height : 1e9;
    Measured m = measure(str, font, maxW, maxH, mode);
    return Size{ceilPoints(m.width), ceilPoints(m.height)};
}

Size sizeWithFont(std::string_view str, const Font& font) {
    Measured m = measure(str, font, 0, 1e9, LineBreakByClipping);
    return Size{ceilPoints(m.width), ceilPoints(m.height)};
}

int numberOfLinesForText(std::string_view str, const Font& font, Float width, LineBreakMode mode) {
    return measure(str, font, width, 1e9, mode).lines;
}

std::string_view showableText(std::string_view text, const Font& font, double width, int lines) {
    if (lines <= 0) return text;
    // No character that shows is narrower than a tenth of the font's size;
    // a line holds at most this many, and two more for its break.
    double narrowest = std::max(0.25, font.pointSize / 10);
    double perLine = std::floor((width > 0 ? width : kWidestLine) / narrowest) + 3;
    double most = perLine * (lines + 1.0);
    if (most >= static_cast<double>(text.size())) return text;
    return firstCharacters(text, static_cast<std::size_t>(most));
}

// ---- Fonts ----

Font Font::systemFontOfSize(double size) { return Font{kSystemFontFamily, size, false}; }
Font Font::boldSystemFontOfSize(double size) { return Font{kSystemFontFamily, size, true}; }
Font Font::fontWithName(const std::string& name, double size) {
    return Font{kSystemFontFamily, size, name.find("Bold") != std::string::npos};
}

namespace {
PangoFontMetrics* metricsFor(const Font& font) {
    PangoFontDescription* d = text::newFontDescription(font);
    PangoFontMetrics* metrics = pango_context_get_metrics(sharedContext(), d, nullptr);
    pango_font_description_free(d);
    return metrics;
}
}  // namespace

double Font::lineHeight() const {
    std::lock_guard<std::mutex> lock(textMutex());
    PangoLayout* layout = text::newLayout(sharedContext(), "Ag", *this, 0, LineBreakByClipping, 0, TextAlignmentLeft);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return toPoints(logical.height);
}

double Font::ascender() const {
    std::lock_guard<std::mutex> lock(textMutex());
    PangoFontMetrics* m = metricsFor(*this);
    double v = toPoints(pango_font_metrics_get_ascent(m));
    pango_font_metrics_unref(m);
    return v;
}

double Font::descender() const {
    std::lock_guard<std::mutex> lock(textMutex());
    PangoFontMetrics* m = metricsFor(*this);
    double v = -toPoints(pango_font_metrics_get_descent(m));
    pango_font_metrics_unref(m);
    return v;
}

// ---- Text forms for dumps ----

std::string toString(const Point& p) { return fmt("(%g, %g)", p.x, p.y); }
std::string toString(const Size& sz) { return fmt("(%g, %g)", sz.width, sz.height); }
std::string toString(const Rect& r) {
    return fmt("(%g, %g, %g, %g)", r.origin.x, r.origin.y, r.size.width, r.size.height);
}
std::string toString(const Color& c) { return fmt("rgba(%g, %g, %g, %g)", c.red, c.green, c.blue, c.alpha); }
std::string toString(const Font& f) { return fmt(f.bold ? "bold %g" : "%g", f.pointSize); }

}  // namespace ui

// fontconfig's cache, filled on pango's own font-matching thread, lives to
// the program's end, held where the leak checker cannot see it; it is the
// font system's, not ours. So is D-Bus's read buffer of the connection SDL
// opens while it looks for a display that does not answer, which SDL 2.26
// does not shut down. (Only sanitizer builds read this.)
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}
