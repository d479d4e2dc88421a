// Pictures as text for the service: a photo goes out as Base64 JPEG.
//
//   std::string base64Str = Photo::image2String(scaled);
#pragma once

#include <string>

#include "uikit/Image.h"

class Photo {
public:
    static constexpr double kJPEGQuality = 0.3;

    // The image's JPEG at quality 0.3 as standard Base64 on one line; "" for
    // no image.
    static std::string image2String(const ui::ImagePtr& image);
};
