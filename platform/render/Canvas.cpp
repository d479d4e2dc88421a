#include "render/Canvas.h"

#include <algorithm>
#include <cmath>

#include "foundation/Data.h"

namespace render {

Canvas::Canvas(ui::Size points, double scale)
    : size_(points),
      scale_(scale > 0 ? scale : 1),
      width_(std::max(1, static_cast<int>(std::ceil(points.width * scale_ - 1e-6)))),
      height_(std::max(1, static_cast<int>(std::ceil(points.height * scale_ - 1e-6)))) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
    cr_ = cairo_create(surface_);
    cairo_scale(cr_, scale_, scale_);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void Canvas::clear(const ui::Color& color) {
    cairo_save(cr_);
    cairo_reset_clip(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr_, color.red, color.green, color.blue, color.alpha);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

Pixel Canvas::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    cairo_surface_flush(surface_);
    const unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    std::uint32_t v = reinterpret_cast<const std::uint32_t*>(row)[x];
    Pixel p;
    p.a = static_cast<std::uint8_t>(v >> 24);
    auto unpremultiply = [&](std::uint32_t c) -> std::uint8_t {
        if (p.a == 0) return 0;
        return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + p.a / 2) / p.a));
    };
    p.r = unpremultiply((v >> 16) & 0xff);
    p.g = unpremultiply((v >> 8) & 0xff);
    p.b = unpremultiply(v & 0xff);
    return p;
}

const std::uint8_t* Canvas::data() const {
    cairo_surface_flush(surface_);
    return cairo_image_surface_get_data(surface_);
}

int Canvas::stride() const { return cairo_image_surface_get_stride(surface_); }

bool Canvas::writePNG(const std::string& path, std::string* why) const {
    cairo_surface_flush(surface_);
    std::string png;
    auto append = [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_status_t status = cairo_surface_write_to_png_stream(surface_, append, &png);
        status != CAIRO_STATUS_SUCCESS) {
        if (why) *why = path + ": " + cairo_status_to_string(status);
        return false;
    }
    ns::ErrorPtr error;
    if (ns::writeFileAtomically(path, png, &error)) return true;
    if (why) *why = error->localizedDescription();
    return false;
}

}  // namespace render
