#include "demo/DemoPictures.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "uikit/Font.h"
#include "uikit/TextLayout.h"

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb parseColour(const std::string& text, Rgb fallback) {
    if (text.size() != 7 || text[0] != '#') return fallback;
    auto hex = [&](std::size_t at) -> int {
        int v = 0;
        for (std::size_t i = at; i < at + 2; ++i) {
            char c = text[i];
            v *= 16;
            if (c >= '0' && c <= '9') v += c - '0';
            else if (c >= 'a' && c <= 'f') v += c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v += c - 'A' + 10;
            else return -1;
        }
        return v;
    };
    int r = hex(1), g = hex(3), b = hex(5);
    if (r < 0 || g < 0 || b < 0) return fallback;
    return Rgb{r / 255.0, g / 255.0, b / 255.0};
}

Rgb mix(Rgb a, Rgb b, double t) { return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb darker(Rgb c, double by) { return mix(c, Rgb{0, 0, 0}, by); }

void setColour(cairo_t* cr, Rgb c, double alpha = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

// The same picture every time: variation comes from the picture's name.
class Dice {
public:
    explicit Dice(const std::string& seed) {
        for (unsigned char c : seed) state_ = (state_ ^ c) * 1099511628211ull;
    }
    double next() {  // [0, 1)
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ull << 53);
    }
    double between(double lo, double hi) { return lo + (hi - lo) * next(); }

private:
    std::uint64_t state_ = 1469598103934665603ull;
};

struct Scene {
    cairo_t* cr;
    double w, h;
    Rgb skyTop, skyBottom, ground;
    Dice dice;
};

void sky(Scene& s, double bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, bottom);
    cairo_pattern_add_color_stop_rgb(p, 0, s.skyTop.r, s.skyTop.g, s.skyTop.b);
    cairo_pattern_add_color_stop_rgb(p, 1, s.skyBottom.r, s.skyBottom.g, s.skyBottom.b);
    cairo_set_source(s.cr, p);
    cairo_rectangle(s.cr, 0, 0, s.w, bottom);
    cairo_fill(s.cr);
    cairo_pattern_destroy(p);
    // The sun, with a soft halo.
    double x = s.dice.between(0.15, 0.85) * s.w, y = s.dice.between(0.12, 0.28) * s.h, r = s.h * 0.07;
    cairo_pattern_t* halo = cairo_pattern_create_radial(x, y, r, x, y, r * 3);
    cairo_pattern_add_color_stop_rgba(halo, 0, 1, 0.97, 0.85, 0.55);
    cairo_pattern_add_color_stop_rgba(halo, 1, 1, 0.97, 0.85, 0);
    cairo_set_source(s.cr, halo);
    cairo_arc(s.cr, x, y, r * 3, 0, 2 * kPi);
    cairo_fill(s.cr);
    cairo_pattern_destroy(halo);
    cairo_set_source_rgb(s.cr, 1, 0.97, 0.86);
    cairo_arc(s.cr, x, y, r, 0, 2 * kPi);
    cairo_fill(s.cr);
}

// A ridge of hills whose crest wanders around the base line, filled down to the bottom.
void ridge(Scene& s, double base, double amplitude, Rgb colour) {
    double f1 = s.dice.between(1.5, 3), f2 = s.dice.between(4, 7), p1 = s.dice.between(0, 6), p2 = s.dice.between(0, 6);
    cairo_move_to(s.cr, 0, s.h);
    for (int i = 0; i <= 60; ++i) {
        double x = s.w * i / 60.0, t = x / s.w * 2 * kPi;
        double y = base - amplitude * (0.7 * std::sin(f1 * t + p1) + 0.3 * std::sin(f2 * t + p2));
        cairo_line_to(s.cr, x, y);
    }
    cairo_line_to(s.cr, s.w, s.h);
    cairo_close_path(s.cr);
    setColour(s.cr, colour);
    cairo_fill(s.cr);
}

void tree(Scene& s, double x, double y, double size) {
    setColour(s.cr, Rgb{0.36, 0.25, 0.16});
    cairo_rectangle(s.cr, x - size * 0.08, y - size * 0.5, size * 0.16, size * 0.5);
    cairo_fill(s.cr);
    setColour(s.cr, darker(s.ground, 0.35));
    cairo_arc(s.cr, x, y - size * 0.75, size * 0.42, 0, 2 * kPi);
    cairo_fill(s.cr);
}

void city(Scene& s) {
    double groundY = s.h * 0.8;
    sky(s, groundY);
    ridge(s, s.h * 0.62, s.h * 0.05, mix(s.skyBottom, s.ground, 0.35));
    for (int layer = 0; layer < 2; ++layer) {
        Rgb wall = layer == 0 ? mix(s.ground, s.skyBottom, 0.45) : darker(s.ground, 0.1);
        double x = -s.dice.between(0, 30);
        while (x < s.w) {
            double bw = s.dice.between(0.07, 0.14) * s.w;
            double bh = s.dice.between(layer == 0 ? 0.3 : 0.15, layer == 0 ? 0.6 : 0.4) * s.h;
            setColour(s.cr, wall);
            cairo_rectangle(s.cr, x, groundY - bh, bw - 4, bh);
            cairo_fill(s.cr);
            if (layer == 1) {
                setColour(s.cr, Rgb{1, 0.9, 0.6}, 0.85);
                for (double wy = groundY - bh + 8; wy < groundY - 12; wy += 16)
                    for (double wx = x + 6; wx < x + bw - 14; wx += 12)
                        if (s.dice.next() < 0.6) {
                            cairo_rectangle(s.cr, wx, wy, 6, 8);
                            cairo_fill(s.cr);
                        }
            }
            x += bw;
        }
    }
    setColour(s.cr, s.ground);
    cairo_rectangle(s.cr, 0, groundY, s.w, s.h - groundY);
    cairo_fill(s.cr);
    for (double x = s.w * 0.05; x < s.w; x += s.w * 0.16) tree(s, x + s.dice.between(-10, 10), groundY + 6, s.h * 0.09);
}

void field(Scene& s) {
    double horizon = s.h * 0.5;
    sky(s, s.h);
    ridge(s, horizon, s.h * 0.04, mix(s.skyBottom, s.ground, 0.55));
    setColour(s.cr, s.ground);
    cairo_rectangle(s.cr, 0, horizon + s.h * 0.04, s.w, s.h);
    cairo_fill(s.cr);
    // Furrows running to a vanishing point on the horizon.
    double vx = s.dice.between(0.35, 0.65) * s.w;
    cairo_set_line_width(s.cr, 3);
    setColour(s.cr, darker(s.ground, 0.25), 0.7);
    for (int i = -12; i <= 24; ++i) {
        cairo_move_to(s.cr, vx, horizon + s.h * 0.04);
        cairo_line_to(s.cr, vx + i * s.w * 0.09 - s.w * 0.5, s.h);
    }
    cairo_stroke(s.cr);
    for (int i = 0; i < 4; ++i) tree(s, s.dice.between(0.05, 0.95) * s.w, horizon + s.h * 0.06, s.h * 0.08);
}

void hills(Scene& s) {
    sky(s, s.h);
    ridge(s, s.h * 0.5, s.h * 0.08, mix(s.skyBottom, s.ground, 0.35));
    ridge(s, s.h * 0.64, s.h * 0.07, mix(s.skyBottom, s.ground, 0.7));
    ridge(s, s.h * 0.78, s.h * 0.05, s.ground);
    for (int i = 0; i < 6; ++i) tree(s, s.dice.between(0.03, 0.97) * s.w, s.h * s.dice.between(0.86, 0.94), s.h * 0.08);
}

void water(Scene& s, double top, double bottom) {
    Rgb deep = darker(mix(s.skyTop, s.skyBottom, 0.3), 0.2);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, top, 0, bottom);
    cairo_pattern_add_color_stop_rgb(p, 0, s.skyBottom.r, s.skyBottom.g, s.skyBottom.b);
    cairo_pattern_add_color_stop_rgb(p, 1, deep.r, deep.g, deep.b);
    cairo_set_source(s.cr, p);
    cairo_rectangle(s.cr, 0, top, s.w, bottom - top);
    cairo_fill(s.cr);
    cairo_pattern_destroy(p);
    setColour(s.cr, Rgb{1, 1, 1}, 0.35);
    for (int i = 0; i < 14; ++i) {
        double y = s.dice.between(top + 6, bottom - 6), x = s.dice.between(0, s.w), len = s.dice.between(20, 70);
        cairo_rectangle(s.cr, x, y, len, 2);
        cairo_fill(s.cr);
    }
}

void river(Scene& s) {
    sky(s, s.h * 0.6);
    ridge(s, s.h * 0.52, s.h * 0.07, mix(s.skyBottom, s.ground, 0.5));
    water(s, s.h * 0.6, s.h);
    // The near bank.
    cairo_move_to(s.cr, 0, s.h * 0.78);
    cairo_curve_to(s.cr, s.w * 0.3, s.h * 0.74, s.w * 0.5, s.h * 0.9, s.w, s.h * 0.86);
    cairo_line_to(s.cr, s.w, s.h);
    cairo_line_to(s.cr, 0, s.h);
    cairo_close_path(s.cr);
    setColour(s.cr, s.ground);
    cairo_fill(s.cr);
}

void bridge(Scene& s) {
    double deck = s.h * 0.5;
    sky(s, s.h * 0.62);
    ridge(s, s.h * 0.58, s.h * 0.05, mix(s.skyBottom, Rgb{0.3, 0.45, 0.35}, 0.6));
    water(s, s.h * 0.62, s.h);
    Rgb concrete{0.86, 0.85, 0.82};
    // Arches between the piers, then the piers and the deck over them.
    int spans = 4;
    double span = s.w / spans;
    cairo_set_line_width(s.cr, 6);
    setColour(s.cr, darker(concrete, 0.15));
    for (int i = 0; i < spans; ++i) {
        cairo_save(s.cr);
        cairo_translate(s.cr, span * (i + 0.5), deck + 8);
        cairo_scale(s.cr, span * 0.5, s.h * 0.14);
        cairo_arc(s.cr, 0, 0, 1, 0, kPi);
        cairo_restore(s.cr);
        cairo_stroke(s.cr);
    }
    setColour(s.cr, concrete);
    for (int i = 0; i <= spans; ++i) {
        cairo_rectangle(s.cr, span * i - 7, deck, 14, s.h * 0.62 - deck + 10);
        cairo_fill(s.cr);
    }
    cairo_rectangle(s.cr, 0, deck - 8, s.w, 16);
    cairo_fill(s.cr);
    setColour(s.cr, Rgb{0.85, 0.2, 0.2});
    cairo_rectangle(s.cr, 0, deck - 12, s.w, 4);
    cairo_fill(s.cr);
}

PangoLayout* captionLayout(cairo_t* cr, const std::string& text, double size, bool bold, double width) {
    ui::text::setUpFontconfig();
    PangoLayout* layout = pango_cairo_create_layout(cr);
    ui::text::configureContext(pango_layout_get_context(layout));
    PangoFontDescription* font =
        ui::text::newFontDescription(bold ? ui::Font::boldSystemFontOfSize(size) : ui::Font::systemFontOfSize(size));
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    if (width > 0) {
        pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    return layout;
}

void captionBand(Scene& s, const std::string& caption) {
    if (caption.empty()) return;
    double band = s.h * 0.16;
    cairo_set_source_rgba(s.cr, 0, 0, 0, 0.45);
    cairo_rectangle(s.cr, 0, s.h - band, s.w, band);
    cairo_fill(s.cr);
    PangoLayout* layout = captionLayout(s.cr, caption, band * 0.45, true, 0);
    int pw = 0, ph = 0;
    pango_layout_get_pixel_size(layout, &pw, &ph);
    cairo_set_source_rgb(s.cr, 1, 1, 1);
    cairo_move_to(s.cr, band * 0.4, s.h - band + (band - ph) / 2);
    pango_cairo_show_layout(s.cr, layout);
    g_object_unref(layout);
}

void book(Scene& s, const std::string& title) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, s.w, s.h);
    cairo_pattern_add_color_stop_rgb(p, 0, s.skyTop.r, s.skyTop.g, s.skyTop.b);
    cairo_pattern_add_color_stop_rgb(p, 1, s.skyBottom.r, s.skyBottom.g, s.skyBottom.b);
    cairo_set_source(s.cr, p);
    cairo_paint(s.cr);
    cairo_pattern_destroy(p);
    // The spine's shadow and a frame.
    cairo_set_source_rgba(s.cr, 0, 0, 0, 0.25);
    cairo_rectangle(s.cr, 0, 0, s.w * 0.06, s.h);
    cairo_fill(s.cr);
    setColour(s.cr, s.ground);
    cairo_set_line_width(s.cr, 3);
    cairo_rectangle(s.cr, s.w * 0.12, s.h * 0.06, s.w * 0.8, s.h * 0.88);
    cairo_stroke(s.cr);
    // An emblem: a star in a ring.
    double cx = s.w * 0.52, cy = s.h * 0.27, r = s.w * 0.13;
    cairo_arc(s.cr, cx, cy, r, 0, 2 * kPi);
    cairo_stroke(s.cr);
    for (int i = 0; i < 10; ++i) {
        double radius = i % 2 == 0 ? r * 0.75 : r * 0.3, a = -kPi / 2 + i * kPi / 5;
        if (i == 0) cairo_move_to(s.cr, cx + radius * std::cos(a), cy + radius * std::sin(a));
        else cairo_line_to(s.cr, cx + radius * std::cos(a), cy + radius * std::sin(a));
    }
    cairo_close_path(s.cr);
    cairo_fill(s.cr);
    PangoLayout* layout = captionLayout(s.cr, title, s.w * 0.11, true, s.w * 0.68);
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    int pw = 0, ph = 0;
    pango_layout_get_pixel_size(layout, &pw, &ph);
    cairo_move_to(s.cr, s.w * 0.18, s.h * 0.5);
    pango_cairo_show_layout(s.cr, layout);
    g_object_unref(layout);
}

// Head and shoulders against a backdrop: a member's photo.
void portrait(Scene& s) {
    sky(s, s.h);
    const double cx = s.w * s.dice.between(0.46, 0.54);
    setColour(s.cr, s.ground);
    cairo_move_to(s.cr, s.w * 0.1, s.h);
    cairo_curve_to(s.cr, s.w * 0.12, s.h * 0.68, cx - s.w * 0.12, s.h * 0.64, cx, s.h * 0.64);
    cairo_curve_to(s.cr, cx + s.w * 0.12, s.h * 0.64, s.w * 0.88, s.h * 0.68, s.w * 0.9, s.h);
    cairo_close_path(s.cr);
    cairo_fill(s.cr);
    setColour(s.cr, mix(s.ground, Rgb{0.96, 0.85, 0.74}, 0.75));
    cairo_arc(s.cr, cx, s.h * 0.42, s.w * 0.17, 0, 2 * kPi);
    cairo_fill(s.cr);
    setColour(s.cr, darker(s.ground, 0.5));
    cairo_arc(s.cr, cx, s.h * 0.38, s.w * 0.175, kPi, 2 * kPi);
    cairo_fill(s.cr);
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string drawPicture(const ns::Value& d) {
    long long w = d["width"].integerValue(), h = d["height"].integerValue();
    if (w <= 0 || h <= 0 || w > 4000 || h > 4000) return {};
    std::string scene = d["scene"].text();
    static const char* kScenes[] = {"city", "field", "bridge", "hills", "river", "book", "portrait"};
    if (std::none_of(std::begin(kScenes), std::end(kScenes), [&](const char* k) { return scene == k; })) return {};

    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(w), static_cast<int>(h)), cairo_surface_destroy);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), cairo_destroy);
    Scene s{cr.get(),
            static_cast<double>(w),
            static_cast<double>(h),
            parseColour(d["sky"].at(0).text(), Rgb{0.3, 0.55, 0.85}),
            parseColour(d["sky"].at(1).text(), Rgb{0.8, 0.9, 0.97}),
            parseColour(d["ground"].text(), Rgb{0.35, 0.55, 0.3}),
            Dice(d["name"].text())};
    std::string caption = d["caption"].text();
    if (scene == "book") {
        book(s, caption);
    } else if (scene == "portrait") {
        portrait(s);
    } else {
        if (scene == "city") city(s);
        else if (scene == "field") field(s);
        else if (scene == "bridge") bridge(s);
        else if (scene == "hills") hills(s);
        else river(s);
        captionBand(s, caption);
    }
    cairo_surface_flush(surface.get());
    std::string png;
    if (cairo_surface_write_to_png_stream(surface.get(), appendBytes, &png) != CAIRO_STATUS_SUCCESS) return {};
    return png;
}

}  // namespace demo
