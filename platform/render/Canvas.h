// A picture of the screen (or any part of it) in memory: a cairo image
// surface in device pixels with a context whose user space is points.
//
//   render::Canvas canvas(ui::Size{320, 568}, 2);   // 640 x 1136 pixels
//   render::drawScreen(canvas.context());
//   canvas.writePNG("/tmp/home.png");
//   render::Pixel p = canvas.pixel(20, 40);          // device pixels
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "uikit/Color.h"
#include "uikit/Geometry.h"

namespace render {

// One device pixel, straight (not premultiplied) 8-bit components.
struct Pixel {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

class Canvas {
public:
    // A canvas of the size in points at the scale (pixels per point), cleared
    // to transparent black.
    Canvas(ui::Size points, double scale);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    ui::Size size() const { return size_; }
    double scale() const { return scale_; }
    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }

    // The context to draw with; its user space is points, origin top left.
    // Drawing code restores what it saves, so the transform stays.
    cairo_t* context() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }

    // Fills everything with the colour (replacing what was there).
    void clear(const ui::Color& color);

    // Pixels, after finishing any drawing in flight. Outside the canvas: {}.
    Pixel pixel(int x, int y) const;
    // The raw rows: cairo's ARGB32 (premultiplied, native byte order), `stride` bytes apart.
    const std::uint8_t* data() const;
    int stride() const;

    // Writes the canvas as a PNG file, whole or not at all (through a
    // temporary file beside it, as ns::writeFileAtomically writes): false
    // when it cannot be written, with the file and the reason in `why`
    // ("<path>: No space left on device"), and nothing of it left.
    bool writePNG(const std::string& path, std::string* why = nullptr) const;

private:
    ui::Size size_;
    double scale_;
    int width_;
    int height_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
};

}  // namespace render
