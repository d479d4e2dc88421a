// kl-make-resources: draws the application bundle's pictures and writes its
// province list into a resource folder.
//
//   kl-make-resources <resources folder>
//
// The pictures are committed; run this again only after changing a drawing.
// Every picture is drawn at the size, in points, of the place it is shown;
// "Icon@2x.png" is the one double-density file.
#include "Provinces.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <jpeglib.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// ---- palette ---------------------------------------------------------------

struct Rgb {
    double r, g, b;
};

constexpr Rgb kRedLight{0.84, 0.13, 0.14};
constexpr Rgb kRed{0.72, 0.07, 0.10};
constexpr Rgb kRedDark{0.55, 0.04, 0.07};
constexpr Rgb kGold{0.96, 0.78, 0.33};
constexpr Rgb kGoldDark{0.80, 0.58, 0.14};
constexpr Rgb kAmber{0.91, 0.60, 0.17};
constexpr Rgb kAmberDark{0.76, 0.45, 0.05};
constexpr Rgb kWhite{1, 1, 1};
constexpr Rgb kBorder{0.80, 0.80, 0.80};
constexpr Rgb kGreyMark{0.50, 0.50, 0.50};
constexpr Rgb kPullText{87 / 255.0, 108 / 255.0, 137 / 255.0};

constexpr const char* kFont = "WenQuanYi Micro Hei";
constexpr double kPi = 3.14159265358979323846;

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// ---- shapes ----------------------------------------------------------------

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void verticalGradient(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

void star(cairo_t* cr, double cx, double cy, double outer) {
    const double inner = outer * 0.382;
    for (int i = 0; i < 10; ++i) {
        double radius = (i % 2 == 0) ? outer : inner;
        double angle = -kPi / 2 + i * kPi / 5;
        double x = cx + radius * std::cos(angle);
        double y = cy + radius * std::sin(angle);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
}

// A glossy button face: a rounded rectangle with a vertical gradient, a darker
// rim and a faint light line along its top.
void buttonFace(cairo_t* cr, double w, double h, double radius, Rgb top, Rgb bottom, Rgb rim) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, radius);
    verticalGradient(cr, 0, h, top, bottom);
    cairo_fill_preserve(cr);
    setColour(cr, rim);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    roundedRect(cr, 1.5, 1.5, w - 3, h - 3, radius - 1);
    cairo_pattern_t* shine = cairo_pattern_create_linear(0, 1.5, 0, h / 2);
    cairo_pattern_add_color_stop_rgba(shine, 0, 1, 1, 1, 0.30);
    cairo_pattern_add_color_stop_rgba(shine, 1, 1, 1, 1, 0.0);
    cairo_set_source(cr, shine);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_pattern_destroy(shine);
}

// A white box with a grey rim and rounded corners.
void whiteBox(cairo_t* cr, double w, double h, double radius) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, radius);
    setColour(cr, kWhite);
    cairo_fill_preserve(cr);
    setColour(cr, kBorder);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// A white input box with a grey rim and a divider after the icon area.
void fieldBox(cairo_t* cr, double w, double h) {
    whiteBox(cr, w, h, 5);
    cairo_move_to(cr, 50.5, 8);
    cairo_line_to(cr, 50.5, h - 8);
    cairo_stroke(cr);
}

// Text centred on (cx, cy), in the CJK face at an absolute pixel size.
void centredText(cairo_t* cr, const std::string& text, double px, double cx, double cy, Rgb colour,
                 bool bold = false, double alpha = 1.0) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string(kFont);
    pango_font_description_set_absolute_size(font, px * PANGO_SCALE);
    if (bold) pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), -1);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    setColour(cr, colour, alpha);
    cairo_move_to(cr, cx - w / 2.0, cy - h / 2.0);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);
}

// ---- the pictures ----------------------------------------------------------

void drawNavbar(cairo_t* cr, double w, double h) {
    cairo_rectangle(cr, 0, 0, w, h);
    verticalGradient(cr, 0, h, kRedLight, kRedDark);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, h - 1, w, 1);
    setColour(cr, kGold);
    cairo_fill(cr);
}

void drawBars(cairo_t* cr, double w, double h) {
    const double barH = 2.5, gap = 3.0;
    const double top = (h - 3 * barH - 2 * gap) / 2;
    setColour(cr, kWhite);
    for (int i = 0; i < 3; ++i) {
        roundedRect(cr, 3, top + i * (barH + gap), w - 6, barH, barH / 2);
        cairo_fill(cr);
    }
}

void drawBack(cairo_t* cr, double, double) {
    cairo_move_to(cr, 14.5, 4);
    cairo_line_to(cr, 7.5, 11);
    cairo_line_to(cr, 14.5, 18);
    setColour(cr, kWhite);
    cairo_set_line_width(cr, 2.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

// A picture frame with a hill and a sun: "picture still loading".
void drawPicturePlaceholder(cairo_t* cr, double w, double h) {
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
    cairo_fill(cr);
    const double fw = w * 0.5, fh = h * 0.38;
    const double fx = (w - fw) / 2, fy = (h - fh) / 2;
    roundedRect(cr, fx, fy, fw, fh, 4);
    cairo_set_source_rgb(cr, 0.75, 0.75, 0.75);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    cairo_move_to(cr, fx + 6, fy + fh - 6);
    cairo_line_to(cr, fx + fw * 0.38, fy + fh * 0.42);
    cairo_line_to(cr, fx + fw * 0.58, fy + fh * 0.68);
    cairo_line_to(cr, fx + fw * 0.72, fy + fh * 0.52);
    cairo_line_to(cr, fx + fw - 6, fy + fh - 6);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_arc(cr, fx + fw * 0.75, fy + fh * 0.3, fh * 0.11, 0, 2 * kPi);
    cairo_fill(cr);
}

// The menu rows' separator: a dark line over a faint light one, which reads
// as an engraved rule on dark and light backgrounds alike.
void drawLine(cairo_t* cr, double w, double) {
    cairo_rectangle(cr, 0, 0, w, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 1, w, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.15);
    cairo_fill(cr);
}

void drawWhiteMark(cairo_t* cr, double w, double h) {
    cairo_move_to(cr, 1, 1);
    cairo_line_to(cr, w - 1, h / 2);
    cairo_line_to(cr, 1, h - 1);
    cairo_close_path(cr);
    setColour(cr, kWhite);
    cairo_fill(cr);
}

// The pull-to-refresh arrow, pointing down (the header turns it while pulling).
void drawPullArrow(cairo_t* cr, double w, double h) {
    const double cx = w / 2;
    roundedRect(cr, cx - 3, 3, 6, h - 20, 2);
    setColour(cr, kPullText);
    cairo_fill(cr);
    cairo_move_to(cr, cx - 11, h - 21);
    cairo_line_to(cr, cx + 11, h - 21);
    cairo_line_to(cr, cx, h - 3);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// A chooser box: a white field with a small red drop-down mark at its right.
void drawChooser(cairo_t* cr, double w, double h) {
    whiteBox(cr, w, h, 4);
    const double cx = w - 18, cy = h / 2;
    cairo_move_to(cr, cx - 6, cy - 3);
    cairo_line_to(cr, cx + 6, cy - 3);
    cairo_line_to(cr, cx, cy + 4);
    cairo_close_path(cr);
    setColour(cr, kRed);
    cairo_fill(cr);
}

void drawRadio(cairo_t* cr, double w, double h, bool selected) {
    const double cx = w / 2, cy = h / 2, r = w / 2 - 1.5;
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    setColour(cr, kWhite);
    cairo_fill_preserve(cr);
    setColour(cr, selected ? kRed : Rgb{0.68, 0.68, 0.68});
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    if (selected) {
        cairo_arc(cr, cx, cy, r * 0.5, 0, 2 * kPi);
        setColour(cr, kRed);
        cairo_fill(cr);
    }
}

void drawTickBox(cairo_t* cr, double w, double h, bool ticked) {
    roundedRect(cr, 1.5, 1.5, w - 3, h - 3, 3);
    if (ticked) {
        verticalGradient(cr, 0, h, kRedLight, kRed);
        cairo_fill_preserve(cr);
        setColour(cr, kRedDark);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_move_to(cr, w * 0.26, h * 0.52);
        cairo_line_to(cr, w * 0.44, h * 0.70);
        cairo_line_to(cr, w * 0.76, h * 0.32);
        setColour(cr, kWhite);
        cairo_set_line_width(cr, 2.2);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke(cr);
    } else {
        setColour(cr, kWhite);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0.66, 0.66, 0.66);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
}

// The organisation tree's expand marks: closed points right, open points down.
void drawTreeMark(cairo_t* cr, double w, double h, bool open) {
    const double cx = w / 2, cy = h / 2;
    if (open) {
        cairo_move_to(cr, cx - 5, cy - 3);
        cairo_line_to(cr, cx + 5, cy - 3);
        cairo_line_to(cr, cx, cy + 4);
    } else {
        cairo_move_to(cr, cx - 3, cy - 5);
        cairo_line_to(cr, cx + 4, cy);
        cairo_line_to(cr, cx - 3, cy + 5);
    }
    cairo_close_path(cr);
    setColour(cr, open ? kRed : kGreyMark);
    cairo_fill(cr);
}

void drawRedButton(cairo_t* cr, double w, double h) {
    buttonFace(cr, w, h, 6, kRedLight, kRed, kRedDark);
}

void drawAmberButton(cairo_t* cr, double w, double h) {
    buttonFace(cr, w, h, 5, kAmber, kAmberDark, Rgb{0.62, 0.36, 0.03});
}

// The publish button sits on or near the red bar: red with a gold rim.
void drawPublishButton(cairo_t* cr, double w, double h) {
    buttonFace(cr, w, h, 5, kRedLight, kRedDark, kGold);
}

void drawGear(cairo_t* cr, double w, double h) {
    const double cx = w / 2, cy = h / 2;
    const int teeth = 8;
    const double outer = 9, inner = 6.8;
    for (int i = 0; i < teeth * 4; ++i) {
        // Each tooth: rise, top, fall, gap.
        double a = 2 * kPi * i / (teeth * 4);
        double r = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
        double x = cx + r * std::cos(a), y = cy + r * std::sin(a);
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, cx, cy, 3, 2 * kPi, 0);
    cairo_close_path(cr);
    setColour(cr, kWhite);
    cairo_fill(cr);
}

void drawThumbsUp(cairo_t* cr, double w, double h) {
    const double s = std::min(w, h) / 15.0;
    cairo_save(cr);
    cairo_translate(cr, (w - 15 * s) / 2, (h - 15 * s) / 2);
    cairo_scale(cr, s, s);
    cairo_rectangle(cr, 1, 6.5, 3, 7.5);
    cairo_move_to(cr, 5, 6.5);
    cairo_line_to(cr, 7.6, 1.6);
    cairo_curve_to(cr, 8.4, 0.6, 10.2, 1.2, 9.9, 2.8);
    cairo_line_to(cr, 9.3, 5.4);
    cairo_line_to(cr, 12.8, 5.4);
    cairo_curve_to(cr, 13.9, 5.4, 14.4, 6.3, 14.1, 7.2);
    cairo_line_to(cr, 12.6, 13.1);
    cairo_curve_to(cr, 12.4, 13.7, 12.0, 14.0, 11.4, 14.0);
    cairo_line_to(cr, 5, 14);
    cairo_close_path(cr);
    setColour(cr, kRed);
    cairo_fill(cr);
    cairo_restore(cr);
}

void drawAdd(cairo_t* cr, double w, double h) {
    const double cx = w / 2, cy = h / 2;
    cairo_arc(cr, cx, cy, w / 2 - 1.5, 0, 2 * kPi);
    setColour(cr, kWhite);
    cairo_set_line_width(cr, 1.8);
    cairo_stroke(cr);
    cairo_move_to(cr, cx, cy - 6);
    cairo_line_to(cr, cx, cy + 6);
    cairo_move_to(cr, cx - 6, cy);
    cairo_line_to(cr, cx + 6, cy);
    cairo_set_line_width(cr, 2.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

void drawUserField(cairo_t* cr, double w, double h) {
    fieldBox(cr, w, h);
    const double cx = 25, cy = h / 2;
    setColour(cr, kRed);
    cairo_arc(cr, cx, cy - 5, 4.5, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_move_to(cr, cx - 9, cy + 10);
    cairo_curve_to(cr, cx - 9, cy + 1, cx + 9, cy + 1, cx + 9, cy + 10);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// The second login field takes a mobile number: a phone in its icon area.
void drawNumberField(cairo_t* cr, double w, double h) {
    fieldBox(cr, w, h);
    const double cx = 25, cy = h / 2;
    roundedRect(cr, cx - 6, cy - 11, 12, 22, 2.5);
    setColour(cr, kRed);
    cairo_fill(cr);
    cairo_rectangle(cr, cx - 4, cy - 8, 8, 13);
    setColour(cr, kWhite);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy + 8, 1.2, 0, 2 * kPi);
    cairo_fill(cr);
}

void drawCall(cairo_t* cr, double w, double h) {
    const double cx = w / 2, cy = h / 2;
    cairo_arc(cr, cx, cy, w / 2 - 0.5, 0, 2 * kPi);
    setColour(cr, kRed);
    cairo_fill(cr);
    // A handset lying from lower left to upper right: a curved grip round the
    // upper left, with the ear and mouth pieces at its ends.
    const double s = w / 20.0;
    cairo_save(cr);
    cairo_scale(cr, s, s);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 13.6, 13.6, 8.6, kPi, 1.5 * kPi);
    cairo_arc_negative(cr, 13.6, 13.6, 5.6, 1.5 * kPi, kPi);
    cairo_close_path(cr);
    roundedRect(cr, 4.6, 11.8, 4.6, 3.8, 1.2);
    roundedRect(cr, 11.8, 4.6, 3.8, 4.6, 1.2);
    setColour(cr, kWhite);
    cairo_fill(cr);
    cairo_restore(cr);
    (void)h;
}

// Fills the current path red and sets a gold star (radius `starRadius` of the width,
// its gradient from `goldTop` of the height) over a gold caption.
void goldStarOnRed(cairo_t* cr, double w, double h, double starRadius, double goldTop, const char* caption,
                   double captionSize) {
    verticalGradient(cr, 0, h, kRedLight, kRedDark);
    cairo_fill(cr);
    star(cr, w / 2, h * 0.40, w * starRadius);
    verticalGradient(cr, h * goldTop, h * 0.62, kGold, kGoldDark);
    cairo_fill(cr);
    centredText(cr, caption, w * captionSize, w / 2, h * 0.80, kGold, true);
}

// Placeholder of the advanced models' portraits.
void drawModelPlaceholder(cairo_t* cr, double w, double h) {
    cairo_rectangle(cr, 0, 0, w, h);
    goldStarOnRed(cr, w, h, 0.25, 0.15, "先进典型", 0.14);
}

struct Page {
    const char* title;
    const char* line;
};

// The seven pages introducing the public account; the last leads into Mervio.
const Page kPages[7] = {
    {"先锋Velmarsh", "Velmarsh党员服务公众号"},
    {"时事直通", "每天推送党建要闻与时事动态"},
    {"移动党校", "随时随地学习，掌上课堂常伴"},
    {"党群直通", "倾听群众心声，事事有回音"},
    {"党建网格", "网格连万家，服务零距离"},
    {"便民服务", "生活查询一站办好"},
    {"关注先锋Velmarsh", "点击进入迈维"},
};

void drawPage(cairo_t* cr, double w, double h, int index) {
    // Each page leans a little further from red towards gold.
    const double t = index / 6.0;
    const Rgb top{kRedLight.r, kRedLight.g + 0.10 * t, kRedLight.b};
    cairo_rectangle(cr, 0, 0, w, h);
    verticalGradient(cr, 0, h, top, kRedDark);
    cairo_fill(cr);

    // Rays from the emblem.
    const double ex = w / 2, ey = h * 0.34;
    cairo_save(cr);
    for (int i = 0; i < 24; i += 2) {
        double a0 = 2 * kPi * i / 24, a1 = 2 * kPi * (i + 1) / 24;
        cairo_move_to(cr, ex, ey);
        cairo_line_to(cr, ex + 400 * std::cos(a0), ey + 400 * std::sin(a0));
        cairo_line_to(cr, ex + 400 * std::cos(a1), ey + 400 * std::sin(a1));
        cairo_close_path(cr);
    }
    cairo_set_source_rgba(cr, 1, 0.85, 0.4, 0.07);
    cairo_fill(cr);
    cairo_restore(cr);

    cairo_arc(cr, ex, ey, 70, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_fill(cr);
    cairo_arc(cr, ex, ey, 70, 0, 2 * kPi);
    setColour(cr, kGold, 0.8);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    star(cr, ex, ey + 4, 50);
    verticalGradient(cr, ey - 50, ey + 50, kGold, kGoldDark);
    cairo_fill(cr);

    centredText(cr, kPages[index].title, 30, w / 2, h * 0.60, kWhite, true);
    cairo_rectangle(cr, w / 2 - 40, h * 0.60 + 26, 80, 2);
    setColour(cr, kGold);
    cairo_fill(cr);
    centredText(cr, kPages[index].line, 16, w / 2, h * 0.60 + 50, kGold);

    if (index == 6) {
        const double bw = 180, bh = 44, bx = (w - bw) / 2, by = h * 0.78;
        cairo_save(cr);
        cairo_translate(cr, bx, by);
        buttonFace(cr, bw, bh, bh / 2, kGold, kGoldDark, Rgb{0.62, 0.42, 0.06});
        cairo_restore(cr);
        centredText(cr, "立即进入 ›", 18, w / 2, by + bh / 2, kRedDark, true);
    } else {
        centredText(cr, "向左滑动", 13, w / 2, h * 0.86, kWhite, false, 0.6);
    }
}

void drawAppIcon(cairo_t* cr, double w, double h) {
    roundedRect(cr, 0, 0, w, h, w * 0.18);
    goldStarOnRed(cr, w, h, 0.27, 0.13, "党群", 0.19);
}

// ---- files -----------------------------------------------------------------

struct Picture {
    std::string name;
    int width, height;
    std::function<void(cairo_t*, double, double)> draw;
};

bool writeJpeg(cairo_surface_t* surface, const fs::path& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<unsigned char> row(static_cast<size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        // The surface is opaque ARGB32: one native-endian 32-bit word per pixel.
        const auto* px = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            row[x * 3 + 0] = static_cast<unsigned char>((px[x] >> 16) & 0xff);
            row[x * 3 + 1] = static_cast<unsigned char>((px[x] >> 8) & 0xff);
            row[x * 3 + 2] = static_cast<unsigned char>(px[x] & 0xff);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

bool render(const Picture& pic, const fs::path& dir) {
    const bool jpeg = pic.name.size() > 4 && pic.name.compare(pic.name.size() - 4, 4, ".jpg") == 0;
    cairo_surface_t* surface = cairo_image_surface_create(jpeg ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                                          pic.width, pic.height);
    cairo_t* cr = cairo_create(surface);
    pic.draw(cr, pic.width, pic.height);
    cairo_destroy(cr);
    const fs::path path = dir / pic.name;
    bool ok = jpeg ? writeJpeg(surface, path)
                   : cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok) std::fprintf(stderr, "kl-make-resources: cannot write %s\n", path.c_str());
    return ok;
}

std::vector<Picture> pictures() {
    using namespace std::placeholders;
    std::vector<Picture> list = {
        {"navbar.png", 320, 64, drawNavbar},
        {"menu.png", 22, 22, drawBars},
        {"menu", 24, 20, drawBars},
        {"ico_back.png", 22, 22, drawBack},
        {"icon_empty.png", 120, 120, drawPicturePlaceholder},
        {"line.png", 320, 2, drawLine},
        {"whitejian.png", 8, 11, drawWhiteMark},
        {"blueArrow.png", 30, 55, drawPullArrow},
        {"title.png", 280, 40, drawChooser},
        {"title_seledted.png", 20, 20, std::bind(drawRadio, _1, _2, _3, true)},
        {"title_unselected.png", 20, 20, std::bind(drawRadio, _1, _2, _3, false)},
        {"have_shangji.png", 20, 20, std::bind(drawTickBox, _1, _2, _3, true)},
        {"no_shangji.png", 20, 20, std::bind(drawTickBox, _1, _2, _3, false)},
        {"xia.png", 20, 20, std::bind(drawTreeMark, _1, _2, _3, true)},
        {"you.png", 20, 20, std::bind(drawTreeMark, _1, _2, _3, false)},
        {"subit.png", 150, 40, drawRedButton},
        {"cancelupdata.png", 70, 40, drawAmberButton},
        {"pushd.png", 60, 35, drawPublishButton},
        {"head_right.png", 21, 23, drawGear},
        {"ico_zhan.png", 15, 15, drawThumbsUp},
        {"add.png", 24, 24, drawAdd},
        {"user.png", 240, 40, drawUserField},
        {"password.png", 240, 40, drawNumberField},
        {"tell.png", 20, 20, drawCall},
        {"test_adv_item.jpg", 120, 120, drawModelPlaceholder},
        {"Icon.png", 57, 57, drawAppIcon},
        {"Icon@2x.png", 114, 114, drawAppIcon},
    };
    for (int i = 0; i < 7; ++i)
        list.push_back({"maiwei" + std::to_string(i + 1) + ".png", 320, 504,
                        std::bind(drawPage, _1, _2, _3, i)});
    return list;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kl-make-resources <resources folder>\n");
        return 2;
    }
    const fs::path dir = argv[1];
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir)) {
        std::fprintf(stderr, "kl-make-resources: %s is not a folder\n", dir.c_str());
        return 1;
    }
    int failures = 0;
    for (const Picture& pic : pictures())
        if (!render(pic, dir)) ++failures;

    const fs::path plist = dir / "ProvincesAndCities.plist";
    std::ofstream out(plist, std::ios::binary | std::ios::trunc);
    out << klres::provincesPlist();
    out.close();
    if (!out) {
        std::fprintf(stderr, "kl-make-resources: cannot write %s\n", plist.c_str());
        ++failures;
    }

    // Let go of the font and drawing caches so a leak checker sees a clean exit.
    pango_cairo_font_map_set_default(nullptr);
    cairo_debug_reset_static_data();
    FcFini();
    return failures == 0 ? 0 : 1;
}
