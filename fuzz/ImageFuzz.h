// The PNG and JPEG targets share their checks (they differ in their seeds
// and dictionaries): a picture is refused or decoded once, as the program
// decodes every picture, into no more pixels than the decoding limits allow,
// and keeps its own size in points.
#pragma once

#include "FuzzSupport.h"
#include "uikit/Image.h"

namespace fuzz {

inline void decodeImage(const std::uint8_t* data, std::size_t size) {
    ui::ImagePtr image = ui::Image::imageWithData(fuzz::bytes(data, size), 2);
    if (!image) return;
    int width = image->pixelWidth(), height = image->pixelHeight();
    FUZZ_CHECK(width > 0 && height > 0 && static_cast<std::int64_t>(width) * height <= ui::kMaxDecodedPixels);
    FUZZ_CHECK(image->pixels().size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    // In points, the picture's own size over the scale: never less than the
    // pixels decoded, never more than the limits.
    ui::Size points = image->size();
    FUZZ_CHECK(points.width * 2 >= width && points.height * 2 >= height);
    FUZZ_CHECK(points.width * 2 <= ui::kMaxSourceSide && points.height * 2 <= ui::kMaxSourceSide);
    FUZZ_CHECK(points.width * 2 * points.height * 2 <= static_cast<double>(ui::kMaxSourcePixels));
}

}  // namespace fuzz
