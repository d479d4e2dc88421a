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
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/Geometry.h"

namespace ui {

class Image;
using ImagePtr = std::shared_ptr<Image>;

// Decoding limits. A picture whose header claims a side over kMaxSourceSide
// or more than kMaxSourcePixels pixels is refused before anything is
// allocated for its pixels. One with more than kMaxDecodedPixels pixels is
// decoded scaled down evenly to fit in them, keeping its size in points:
// 640 x 1136, the whole screen of a 320-point phone at 2x, 2.8 MiB of RGBA
// (a 4000 x 3000 photograph comes out at 984 x 738).
inline constexpr int kMaxSourceSide = 16384;
inline constexpr std::int64_t kMaxSourcePixels = std::int64_t{1} << 25;  // 33.5 million, 8192 x 4096
inline constexpr std::int64_t kMaxDecodedPixels = 640 * 1136;

class Image {
public:
    // A resource image by exact name, or, for a name without an extension
    // that is not a file, "<name>.png"; on a 2x screen "<name>@2x.<ext>" is
    // preferred when present. nullptr when
    // missing or unreadable. Loaded images are cached by name.
    static ImagePtr imageNamed(const std::string& name);
    // PNG or JPEG bytes, within the decoding limits above; nullptr for anything else.
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

    // In points: the picture's own pixels over its scale (also when it was
    // decoded with fewer pixels).
    Size size() const { return size_; }
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
    Size size_;
    std::vector<std::uint8_t> pixels_;
    std::string name_;
};

// A picture as decoded: its pixels, and its size as its header gives it.
struct DecodedPicture {
    int width = 0, height = 0;
    int sourceWidth = 0, sourceHeight = 0;
    std::vector<std::uint8_t> rgba;  // RGBA, 4 * width * height bytes
};

// PNG or JPEG bytes within the decoding limits; nullopt otherwise.
std::optional<DecodedPicture> decodePicture(const ns::Bytes& data);
// Decoders of one format: true and the pixels (as decoded) on success.
bool decodePNG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba);
bool decodeJPEG(const ns::Bytes& data, int* width, int* height, std::vector<std::uint8_t>* rgba);

}  // namespace ui
