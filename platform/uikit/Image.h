// Images: a size in points, a scale and the decoded pixels, kept for the
// renderer.
//
//   auto menu = ui::Image::imageNamed("menu.png");     // from the app's resources
//   auto pic  = ui::Image::imageWithData(bytes);       // PNG or JPEG bytes
//
// Pixels are 8-bit RGBA, not premultiplied, rows top to bottom, 4 * width
// bytes per row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Geometry.h"

namespace ui {

class Image;
using ImagePtr = std::shared_ptr<Image>;

class Image {
public:
    // A resource image by exact name, or, for a name without an extension
    // that is not a file, "<name>.png"; on a 2x screen "<name>@2x.<ext>" is
    // preferred when present. nullptr when
    // missing or unreadable. Loaded images are cached by name.
    static ImagePtr imageNamed(const std::string& name);
    // PNG or JPEG bytes; nullptr for anything else.
    static ImagePtr imageWithData(const ns::Bytes& data, double scale = 1);
    static ImagePtr imageWithContentsOfFile(const std::string& path);
    // An image of the given pixels (RGBA, 4 * width * height bytes); nullptr
    // when the size and the bytes disagree.
    static ImagePtr imageWithPixels(int pixelWidth, int pixelHeight, std::vector<std::uint8_t> rgba,
                                    double scale = 1);

    // The folder resource images are looked up in: the main bundle's
    // resources unless set otherwise (tests); "" resets it to the bundle's.
    static std::string resourceDirectory();
    static void setResourceDirectory(const std::string& dir);
    static void clearCache();

    Size size() const { return Size{pixelWidth_ / scale_, pixelHeight_ / scale_}; }
    double scale() const { return scale_; }
    int pixelWidth() const { return pixelWidth_; }
    int pixelHeight() const { return pixelHeight_; }
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }
    // The resource name it was loaded by, or "".
    const std::string& name() const { return name_; }
    // Draws the image stretched into the rectangle of the current bitmap
    // context (BitmapContext.h).
    void drawInRect(const Rect& rect) const;

    struct Private {};
    Image(Private, int w, int h, std::vector<std::uint8_t> rgba, double scale);

private:
    int pixelWidth_ = 0;
    int pixelHeight_ = 0;
    double scale_ = 1;
    std::vector<std::uint8_t> pixels_;
    std::string name_;
};

// Decoders: true and the pixels on success.
bool decodePNG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba);
bool decodeJPEG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba);

}  // namespace ui
