#include "render/Renderer.h"

#include <unordered_map>

#include "render/Paint.h"
#include "render/Parts.h"
#include "uikit/Application.h"
#include "uikit/Window.h"

namespace render {

namespace {

std::unordered_map<std::type_index, ContentPainter>& painters() {
    static std::unordered_map<std::type_index, ContentPainter> map;
    return map;
}

void paintContent(cairo_t* cr, const ui::View& view) {
    auto& map = painters();
    if (!map.empty()) {
        auto it = map.find(std::type_index(typeid(view)));
        if (it != map.end()) {
            cairo_save(cr);
            it->second(cr, view);
            cairo_restore(cr);
            return;
        }
    }
    detail::paintBuiltInContent(cr, view);
}

// Whether the rectangle (user space) can show within the current clip.
bool visibleInClip(cairo_t* cr, const ui::Rect& r) {
    double x0, y0, x1, y1;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    return r.maxX() > x0 && r.minX() < x1 && r.maxY() > y0 && r.minY() < y1;
}

void drawTree(cairo_t* cr, const ui::View& view) {
    if (view.isHidden() || view.alpha() < 0.01) return;
    const ui::Rect frame = view.frame();
    const bool clips = view.clipsToBounds();
    // A view that keeps its drawing inside its frame is skipped when the
    // frame is out of sight; others may have subviews that reach out of it.
    if ((clips || view.subviewCount() == 0) && !visibleInClip(cr, frame)) return;
    if (clips && frame.isEmpty()) return;

    const ui::Layer& layer = view.layer();
    const ui::Rect local(0, 0, frame.width(), frame.height());
    const double radius = layer.cornerRadius();
    const bool fades = view.alpha() < 1;

    cairo_save(cr);
    cairo_translate(cr, frame.minX(), frame.minY());
    if (fades) cairo_push_group(cr);

    if (auto bg = view.backgroundColor()) paint::fillRect(cr, local, *bg, radius);

    cairo_save(cr);
    if (clips) {
        paint::roundedRect(cr, local, radius);
        cairo_clip(cr);
    }
    const ui::Point origin = view.bounds().origin;
    cairo_translate(cr, -origin.x, -origin.y);
    paintContent(cr, view);
    for (const auto& sub : view.subviews()) drawTree(cr, *sub);
    detail::paintBuiltInOverlay(cr, view);
    cairo_restore(cr);

    const double bw = layer.borderWidth();
    if (bw > 0 && !layer.borderColor().isClear() && !local.isEmpty()) {
        paint::roundedRect(cr, local.insetBy(bw / 2, bw / 2), std::max(0.0, radius - bw / 2));
        cairo_set_line_width(cr, bw);
        paint::setColor(cr, layer.borderColor());
        cairo_stroke(cr);
    }

    if (fades) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, view.alpha());
    }
    cairo_restore(cr);
}

}  // namespace

void drawView(cairo_t* cr, const ui::View& view) { drawTree(cr, view); }

void drawScreen(cairo_t* cr) {
    auto& app = ui::Application::sharedApplication();
    app.layoutIfNeeded();
    paint::beginFrame();
    const ui::Size screen = ui::Screen::mainScreen().bounds().size;

    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    bool barDrawn = false;
    for (const auto& w : app.windows()) {
        if (!barDrawn && w->windowLevel() >= ui::WindowLevelStatusBar) {
            detail::drawStatusBar(cr, app, screen);
            barDrawn = true;
        }
        drawTree(cr, *w);
    }
    if (!barDrawn) detail::drawStatusBar(cr, app, screen);
    for (const auto& p : app.visiblePopups()) detail::drawPopup(cr, *p, screen);
    cairo_restore(cr);
}

std::unique_ptr<Canvas> snapshot(double scale) {
    const auto& s = ui::Screen::mainScreen();
    auto canvas = std::make_unique<Canvas>(s.bounds().size, scale > 0 ? scale : s.scale());
    drawScreen(canvas->context());
    return canvas;
}

bool snapshotToPNG(const std::string& path, std::string* why) { return snapshot()->writePNG(path, why); }

void setContentPainter(std::type_index viewClass, ContentPainter painter) {
    if (painter) {
        painters()[viewClass] = std::move(painter);
    } else {
        painters().erase(viewClass);
    }
}

void clearCaches() { paint::clearCaches(); }

std::size_t cachedPictureSurfaces() { return paint::cachedSurfaceCount(); }

}  // namespace render
