// The status bar: signal strength and the network activity indicator on the
// left, the time of the program's clock in the middle, the battery on the
// right; dark on light screens, white with the light-content style.
#include <cmath>
#include <ctime>

#include "foundation/RunLoop.h"
#include "render/Paint.h"
#include "render/Parts.h"

namespace render::detail {

namespace {

std::string clockText() {
    std::time_t t = static_cast<std::time_t>(std::floor(ns::now().seconds));
    std::tm local{};
    localtime_r(&t, &local);
    char buf[16];
    std::strftime(buf, sizeof buf, "%H:%M", &local);
    return buf;
}

void drawSpinner(cairo_t* cr, double cx, double cy, double radius, const ui::Color& c) {
    cairo_save(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 8; ++i) {
        double a = i * M_PI / 4;
        paint::setColor(cr, c.colorWithAlphaComponent(c.alpha * (0.25 + 0.75 * i / 7.0)));
        cairo_move_to(cr, cx + std::cos(a) * radius * 0.45, cy + std::sin(a) * radius * 0.45);
        cairo_line_to(cr, cx + std::cos(a) * radius, cy + std::sin(a) * radius);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

}  // namespace

void drawStatusBar(cairo_t* cr, const ui::Application& app, ui::Size screen) {
    if (app.isStatusBarHidden()) return;
    const double h = ui::Screen::kStatusBarHeight;
    const ui::Color ink =
        app.statusBarStyle() == ui::StatusBarStyleLightContent ? ui::Color::whiteColor() : ui::Color::blackColor();
    cairo_save(cr);
    cairo_rectangle(cr, 0, 0, screen.width, h);
    cairo_clip(cr);

    // Five dots of signal.
    double x = 7;
    paint::setColor(cr, ink);
    for (int i = 0; i < 5; ++i, x += 6.5) {
        cairo_arc(cr, x, h / 2, 2.75, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    // Wi-Fi: three arcs over a point.
    double wx = x + 8, wy = h / 2 + 4.5;
    cairo_set_line_width(cr, 1.5);
    for (int i = 1; i <= 3; ++i) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, wx, wy, i * 3.2, -3 * M_PI / 4, -M_PI / 4);
        cairo_stroke(cr);
    }
    cairo_arc(cr, wx, wy - 0.5, 1.2, 0, 2 * M_PI);
    cairo_fill(cr);
    if (app.isNetworkActivityIndicatorVisible()) drawSpinner(cr, wx + 17, h / 2, 5.5, ink);

    paint::drawText(cr, clockText(), ui::Font::boldSystemFontOfSize(12), ink, ui::Rect(0, 0, screen.width, h),
                    ui::TextAlignmentCenter);

    // Battery: an outline, its knob and a full charge.
    const double bw = 23, bh = 10.5, bx = screen.width - 7 - bw - 2, by = (h - bh) / 2;
    cairo_set_line_width(cr, 1);
    paint::setColor(cr, ink);
    paint::roundedRect(cr, ui::Rect(bx + 0.5, by + 0.5, bw - 1, bh - 1), 2);
    cairo_stroke(cr);
    paint::fillRect(cr, ui::Rect(bx + bw + 0.5, by + 3.25, 1.5, 4), ink, 0.75);
    paint::fillRect(cr, ui::Rect(bx + 2, by + 2, bw - 4, bh - 4), ink, 1);
    cairo_restore(cr);
}

}  // namespace render::detail
