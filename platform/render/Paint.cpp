#include "render/Paint.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "uikit/TextLayout.h"

namespace render::paint {

void setColor(cairo_t* cr, const ui::Color& c) { cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha); }

void roundedRect(cairo_t* cr, const ui::Rect& r, double radius) {
    double x = r.minX(), y = r.minY(), w = r.width(), h = r.height();
    radius = std::min(radius, std::min(w, h) / 2);
    if (radius <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void fillRect(cairo_t* cr, const ui::Rect& r, const ui::Color& c, double radius) {
    if (c.isClear() || r.isEmpty()) return;
    setColor(cr, c);
    roundedRect(cr, r, radius);
    cairo_fill(cr);
}

void hairline(cairo_t* cr, double x0, double y0, double x1, double y1, const ui::Color& c) {
    // One device pixel wide, whatever the scale.
    double ux = 1, uy = 1;
    cairo_device_to_user_distance(cr, &ux, &uy);
    setColor(cr, c);
    if (y0 == y1) {
        cairo_rectangle(cr, std::min(x0, x1), y0, std::fabs(x1 - x0), std::fabs(uy));
    } else {
        cairo_rectangle(cr, x0, std::min(y0, y1), std::fabs(ux), std::fabs(y1 - y0));
    }
    cairo_fill(cr);
}

// ---- Pictures ----

namespace {

struct CachedImage {
    std::weak_ptr<ui::Image> image;
    cairo_surface_t* surface = nullptr;
};

// The caches live as long as the program (never destroyed, so what they
// hold stays reachable to the end). A picture's surfaces go with the
// picture, at the next frame.
std::unordered_map<const ui::Image*, CachedImage>& imageCache() {
    static auto* cache = new std::unordered_map<const ui::Image*, CachedImage>;
    return *cache;
}

cairo_surface_t* makeSurface(const ui::Image& image) {
    int w = image.pixelWidth(), h = image.pixelHeight();
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return s;
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    const auto& px = image.pixels();
    for (int y = 0; y < h; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(data + y * stride);
        const std::uint8_t* in = px.data() + static_cast<std::size_t>(y) * w * 4;
        for (int x = 0; x < w; ++x, in += 4) {
            std::uint32_t a = in[3];
            auto pm = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            out[x] = (a << 24) | (pm(in[0]) << 16) | (pm(in[1]) << 8) | pm(in[2]);
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

}  // namespace

cairo_surface_t* imageSurface(const ui::ImagePtr& image) {
    if (!image || image->pixelWidth() <= 0 || image->pixelHeight() <= 0) return nullptr;
    if (image->pixels().size() < static_cast<std::size_t>(image->pixelWidth()) * image->pixelHeight() * 4) return nullptr;
    auto& cache = imageCache();
    auto it = cache.find(image.get());
    if (it != cache.end()) {
        if (it->second.image.lock() == image) return it->second.surface;
        cairo_surface_destroy(it->second.surface);  // an earlier image at the same address
        cache.erase(it);
    }
    cairo_surface_t* s = makeSurface(*image);
    cache[image.get()] = CachedImage{image, s};
    return s;
}

ui::Rect imageRect(ui::Size img, const ui::Rect& box, ui::ViewContentMode mode) {
    double bx = box.origin.x, by = box.origin.y, bw = box.size.width, bh = box.size.height;
    switch (mode) {
        case ui::ViewContentModeScaleAspectFit:
        case ui::ViewContentModeScaleAspectFill: {
            if (img.width <= 0 || img.height <= 0) return box;
            double sx = bw / img.width, sy = bh / img.height;
            double s = mode == ui::ViewContentModeScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
            double w = img.width * s, h = img.height * s;
            return ui::Rect(bx + (bw - w) / 2, by + (bh - h) / 2, w, h);
        }
        case ui::ViewContentModeCenter: return ui::Rect(bx + (bw - img.width) / 2, by + (bh - img.height) / 2, img.width, img.height);
        case ui::ViewContentModeTop: return ui::Rect(bx + (bw - img.width) / 2, by, img.width, img.height);
        case ui::ViewContentModeBottom: return ui::Rect(bx + (bw - img.width) / 2, by + bh - img.height, img.width, img.height);
        case ui::ViewContentModeLeft: return ui::Rect(bx, by + (bh - img.height) / 2, img.width, img.height);
        case ui::ViewContentModeRight: return ui::Rect(bx + bw - img.width, by + (bh - img.height) / 2, img.width, img.height);
        case ui::ViewContentModeTopLeft: return ui::Rect(bx, by, img.width, img.height);
        case ui::ViewContentModeTopRight: return ui::Rect(bx + bw - img.width, by, img.width, img.height);
        case ui::ViewContentModeBottomLeft: return ui::Rect(bx, by + bh - img.height, img.width, img.height);
        case ui::ViewContentModeBottomRight: return ui::Rect(bx + bw - img.width, by + bh - img.height, img.width, img.height);
        default: return box;  // scale to fill, redraw
    }
}

namespace {

// Pictures shrunk to the size they are drawn at, made once: shrinking well
// (every source pixel counted) is far slower than drawing at the same size.
struct ScaledKey {
    const ui::Image* image;
    int width, height;
    bool operator==(const ScaledKey&) const = default;
};
struct ScaledKeyHash {
    std::size_t operator()(const ScaledKey& k) const {
        return std::hash<const void*>()(k.image) ^ (static_cast<std::size_t>(k.width) * 7919u) ^
               (static_cast<std::size_t>(k.height) << 20);
    }
};
struct CachedScaled {
    std::weak_ptr<ui::Image> image;
    cairo_surface_t* surface = nullptr;
    std::uint64_t lastFrame = 0;
};

std::unordered_map<ScaledKey, CachedScaled, ScaledKeyHash>& scaledCache() {
    static auto* cache = new std::unordered_map<ScaledKey, CachedScaled, ScaledKeyHash>;
    return *cache;
}

std::uint64_t g_frame = 1;

cairo_surface_t* scaledSurface(const ui::ImagePtr& image, int w, int h) {
    auto& cache = scaledCache();
    ScaledKey key{image.get(), w, h};
    auto it = cache.find(key);
    if (it != cache.end()) {
        if (it->second.image.lock() == image) {
            it->second.lastFrame = g_frame;
            return it->second.surface;
        }
        cairo_surface_destroy(it->second.surface);
        cache.erase(it);
    }
    cairo_surface_t* src = imageSurface(image);
    if (!src) return nullptr;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(out);
    cairo_scale(cr, static_cast<double>(w) / image->pixelWidth(), static_cast<double>(h) / image->pixelHeight());
    cairo_set_source_surface(cr, src, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cache[key] = CachedScaled{image, out, g_frame};
    return out;
}

// Sets the picture as the source, stretched onto the rectangle; false when
// there is nothing to draw.
bool setImageSource(cairo_t* cr, const ui::ImagePtr& image, const ui::Rect& rect) {
    cairo_surface_t* s = imageSurface(image);
    if (!s || rect.width() <= 0 || rect.height() <= 0) return false;
    double pw = image->pixelWidth(), ph = image->pixelHeight();
    // The size it takes on the device.
    double dx = rect.width(), dy = rect.height();
    cairo_user_to_device_distance(cr, &dx, &dy);
    dx = std::fabs(dx), dy = std::fabs(dy);
    bool shrinks = dx < pw * 0.99 || dy < ph * 0.99;
    if (shrinks) {
        int w = std::max(1, static_cast<int>(std::lround(dx))), h = std::max(1, static_cast<int>(std::lround(dy)));
        if (cairo_surface_t* scaled = scaledSurface(image, w, h)) {
            s = scaled;
            pw = w;
            ph = h;
        }
    }
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, rect.minX(), rect.minY());
    cairo_matrix_scale(&m, rect.width() / pw, rect.height() / ph);
    cairo_matrix_invert(&m);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(s);
    cairo_pattern_set_matrix(p, &m);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(p, CAIRO_FILTER_BILINEAR);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
    return true;
}

}  // namespace

void drawImage(cairo_t* cr, const ui::ImagePtr& image, const ui::Rect& rect, double alpha) {
    if (alpha <= 0) return;
    cairo_save(cr);
    if (setImageSource(cr, image, rect)) {
        cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
        if (alpha >= 1) {
            cairo_fill(cr);
        } else {
            cairo_clip(cr);
            cairo_paint_with_alpha(cr, alpha);
        }
    }
    cairo_restore(cr);
}

void darkenImage(cairo_t* cr, const ui::ImagePtr& image, const ui::Rect& rect, double amount) {
    cairo_save(cr);
    if (setImageSource(cr, image, rect)) {
        cairo_pattern_t* mask = cairo_pattern_reference(cairo_get_source(cr));
        cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
        cairo_clip(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, amount);
        cairo_mask(cr, mask);
        cairo_pattern_destroy(mask);
    }
    cairo_restore(cr);
}

// ---- Text ----

namespace {

PangoContext* drawingContext() {
    static PangoContext* ctx = ui::text::newContext();
    return ctx;
}

struct CachedLayout {
    PangoLayout* layout = nullptr;
    std::uint64_t lastFrame = 0;
};

std::unordered_map<std::string, CachedLayout>& layoutCache() {
    static auto* cache = new std::unordered_map<std::string, CachedLayout>;
    return *cache;
}

constexpr std::size_t kLayoutCacheLimit = 1500;
constexpr std::size_t kScaledCacheLimit = 64;

}  // namespace

PangoLayout* layout(std::string_view text, const ui::Font& font, double width, ui::LineBreakMode mode, int maxLines,
                    ui::TextAlignment alignment) {
    char head[160];
    std::snprintf(head, sizeof head, "%s|%d|%.4f|%.4f|%d|%d|%d|", font.familyName.c_str(), font.bold ? 1 : 0,
                  font.pointSize, width, static_cast<int>(mode), maxLines, static_cast<int>(alignment));
    std::string key = head;
    key.append(text);
    auto& cache = layoutCache();
    auto it = cache.find(key);
    if (it != cache.end()) {
        it->second.lastFrame = g_frame;
        return it->second.layout;
    }
    PangoLayout* l = ui::text::newLayout(drawingContext(), text, font, width, mode, maxLines, alignment);
    cache.emplace(std::move(key), CachedLayout{l, g_frame});
    return l;
}

double layoutHeight(PangoLayout* layout, int lines) {
    int count = pango_layout_get_line_count(layout);
    if (lines <= 0 || lines >= count) {
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        return static_cast<double>(logical.height) / PANGO_SCALE;
    }
    PangoLayoutIter* it = pango_layout_get_iter(layout);
    double top = 0, bottom = 0;
    for (int i = 0; i < lines; ++i) {
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(it, nullptr, &logical);
        if (i == 0) top = logical.y;
        bottom = logical.y + logical.height;
        if (!pango_layout_iter_next_line(it)) break;
    }
    pango_layout_iter_free(it);
    return (bottom - top) / PANGO_SCALE;
}

double layoutWidth(PangoLayout* layout) {
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return static_cast<double>(logical.x + logical.width) / PANGO_SCALE;
}

void showLayout(cairo_t* cr, PangoLayout* layout, double x, double y, const ui::Color& color, int lines) {
    if (color.isClear()) return;
    cairo_save(cr);
    setColor(cr, color);
    if (lines <= 0 || lines >= pango_layout_get_line_count(layout)) {
        cairo_move_to(cr, x, y);
        pango_cairo_show_layout(cr, layout);
    } else {
        PangoLayoutIter* it = pango_layout_get_iter(layout);
        for (int i = 0; i < lines; ++i) {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            double baseline = static_cast<double>(pango_layout_iter_get_baseline(it)) / PANGO_SCALE;
            cairo_move_to(cr, x + static_cast<double>(logical.x) / PANGO_SCALE, y + baseline);
            pango_cairo_show_layout_line(cr, pango_layout_iter_get_line_readonly(it));
            if (!pango_layout_iter_next_line(it)) break;
        }
        pango_layout_iter_free(it);
    }
    cairo_restore(cr);
}

void drawText(cairo_t* cr, std::string_view text, const ui::Font& font, const ui::Color& color, const ui::Rect& box,
              ui::TextAlignment alignment, int lines, ui::LineBreakMode mode) {
    if (text.empty() || box.width() <= 0 || box.height() <= 0) return;
    PangoLayout* l = layout(text, font, box.width(), mode, lines, alignment);
    double h = layoutHeight(l, lines);
    cairo_save(cr);
    cairo_rectangle(cr, box.minX(), box.minY(), box.width(), box.height());
    cairo_clip(cr);
    showLayout(cr, l, box.minX(), box.minY() + (box.height() - h) / 2, color, lines);
    cairo_restore(cr);
}

void beginFrame() {
    ++g_frame;
    // A picture that has gone takes its surfaces with it (one of a screen
    // is some megabytes); the shrunk ones not used last frame go too once
    // there are many.
    auto& images = imageCache();
    for (auto it = images.begin(); it != images.end();) {
        if (it->second.image.expired()) {
            cairo_surface_destroy(it->second.surface);
            it = images.erase(it);
        } else {
            ++it;
        }
    }
    auto& scaled = scaledCache();
    const bool many = scaled.size() > kScaledCacheLimit;
    for (auto it = scaled.begin(); it != scaled.end();) {
        if (it->second.image.expired() || (many && it->second.lastFrame + 1 < g_frame)) {
            cairo_surface_destroy(it->second.surface);
            it = scaled.erase(it);
        } else {
            ++it;
        }
    }
    auto& cache = layoutCache();
    if (cache.size() <= kLayoutCacheLimit) return;
    // Keep what the last frame used; a scrolling list reuses most of it.
    for (auto it = cache.begin(); it != cache.end();) {
        if (it->second.lastFrame + 1 < g_frame) {
            g_object_unref(it->second.layout);
            it = cache.erase(it);
        } else {
            ++it;
        }
    }
}

std::size_t cachedSurfaceCount() { return imageCache().size() + scaledCache().size(); }

void clearCaches() {
    for (auto& [key, l] : layoutCache()) g_object_unref(l.layout);
    layoutCache().clear();
    for (auto& [key, c] : imageCache()) cairo_surface_destroy(c.surface);
    imageCache().clear();
    for (auto& [key, c] : scaledCache()) cairo_surface_destroy(c.surface);
    scaledCache().clear();
}

}  // namespace render::paint
