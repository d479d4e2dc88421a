// Bitmap drawing and image encoding: the offscreen image context, drawing an
// image stretched into a rectangle with real resampling, and JPEG output.
//
//   ui::GraphicsBeginImageContextWithOptions(ui::Size{240, 240}, false, 1.0);
//   picked->drawInRect(ui::Rect{0, 0, 240, 240});          // stretched, resampled
//   ui::ImagePtr square = ui::GraphicsGetImageFromCurrentImageContext();
//   ui::GraphicsEndImageContext();
//   ns::Bytes jpeg = ui::ImageJPEGRepresentation(square, 0.3);   // libjpeg quality 30
//
// Contexts form a stack on the calling thread; drawing goes to the top one.
// Pixels are kept premultiplied in floating point while drawing, so repeated
// drawing and stretching do not lose precision or darken edges.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Color.h"
#include "uikit/Geometry.h"
#include "uikit/Image.h"

namespace ui {

// An RGBA bitmap being drawn into. Coordinates are points; one point is
// `scale` pixels; the origin is the top-left corner.
class BitmapContext {
public:
    // Opaque contexts start black, others transparent. A scale of 0 or less
    // means the main screen's scale. Sizes are rounded up to whole pixels.
    BitmapContext(Size size, bool opaque, double scale);

    Size size() const { return size_; }
    double scale() const { return scale_; }
    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }
    bool isOpaque() const { return opaque_; }

    // Draws the image stretched to fill the rectangle (aspect ratio not kept),
    // resampled: averaged by area when shrinking (every source pixel counts by
    // how much of an output pixel it covers), bilinear when enlarging. Source-over
    // compositing with the given opacity; parts outside the bitmap are clipped.
    void drawImage(const Image& image, const Rect& rect, double alpha = 1);
    // Fills the rectangle with the colour (source-over).
    void fillRect(const Rect& rect, const Color& color);

    // The pixels so far as an image (straight RGBA, the context's scale).
    ImagePtr makeImage() const;

private:
    Size size_;
    double scale_;
    bool opaque_;
    int width_;
    int height_;
    std::vector<float> px_;  // premultiplied RGBA, 0..1
};

// UIGraphicsBeginImageContextWithOptions: pushes a new context.
void GraphicsBeginImageContextWithOptions(Size size, bool opaque, double scale);
// UIGraphicsBeginImageContext: opaque NO at scale 1.
void GraphicsBeginImageContext(Size size);
// The top context of this thread, or nullptr.
BitmapContext* GraphicsGetCurrentContext();
// The top context's pixels as an image; nullptr without a context.
ImagePtr GraphicsGetImageFromCurrentImageContext();
// Pops the top context (nothing when there is none).
void GraphicsEndImageContext();

// Draws the image into the current context (Image::drawInRect). Without a
// current context nothing is drawn and a line is logged, as the platform does.
void drawImageInRect(const Image& image, const Rect& rect, double alpha = 1);

// Stretches straight RGBA pixels (4 * sw * sh bytes) to dw x dh with the same
// filter as drawImage. Empty when a size is not positive or the bytes disagree.
std::vector<std::uint8_t> resampleRGBA(const std::vector<std::uint8_t>& rgba, int sw, int sh, int dw, int dh);

// JPEG at a compression quality from 0 (smallest) to 1 (best), as the
// platform's UIImageJPEGRepresentation: libjpeg quality round(q * 100),
// clamped to 1..100. Transparency is dropped (pixels are composited over
// black, as premultiplied pixels are). nullopt for no image.
std::optional<ns::Bytes> ImageJPEGRepresentation(const ImagePtr& image, double compressionQuality);
// The encoder on straight RGBA pixels; libjpeg quality 1..100.
bool encodeJPEG(int width, int height, const std::vector<std::uint8_t>& rgba, int quality, ns::Bytes* out);

}  // namespace ui
