// The PNG and JPEG targets share their checks: a decoder either refuses the
// bytes or gives pixels of the size it says, within the decoding limits, and
// the image made from them keeps the picture's own size in points.
#pragma once

#include "FuzzSupport.h"
#include "uikit/Image.h"

namespace fuzz {

using Decoder = bool (*)(const ns::Bytes&, int*, int*, std::vector<std::uint8_t>*);

inline void decodeImage(Decoder decode, const std::uint8_t* data, std::size_t size) {
    ns::Bytes bytes = fuzz::bytes(data, size);
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    if (!decode(bytes, &width, &height, &rgba)) return;
    FUZZ_CHECK(width > 0 && height > 0 && static_cast<std::int64_t>(width) * height <= ui::kMaxDecodedPixels);
    FUZZ_CHECK(rgba.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    auto picture = ui::decodePicture(bytes);
    FUZZ_CHECK(picture && picture->width == width && picture->height == height);
    FUZZ_CHECK(picture->sourceWidth >= width && picture->sourceHeight >= height);
    ui::ImagePtr image = ui::Image::imageWithData(bytes, 2);
    FUZZ_CHECK(image && image->pixelWidth() == width && image->pixelHeight() == height);
    FUZZ_CHECK(image->size().width == picture->sourceWidth / 2.0 && image->size().height == picture->sourceHeight / 2.0);
}

}  // namespace fuzz
