// Pictures and pages for the loopback service's plain GET paths (serve()).
//
//   svc.serve("/a.jpg", testsupport::content(testsupport::jpegPicture(200, 150), "image/jpeg"));
//   svc.serve("/p.html", testsupport::content("<p>text</p>", "text/html"));
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/LoopbackService.h"
#include "uikit/BitmapContext.h"
#include "uikit/Image.h"

namespace testsupport {

// A JPEG picture of the size in one shade of grey, as a server would send it.
inline std::string jpegPicture(int width, int height, std::uint8_t grey = 180) {
    auto image = ui::Image::imageWithPixels(
        width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4, grey));
    auto bytes = ui::ImageJPEGRepresentation(image, 0.8);
    return std::string(bytes->begin(), bytes->end());
}

// A reply with the body as the given content type.
inline LoopbackService::Reply content(std::string body, std::string contentType) {
    LoopbackService::Reply reply;
    reply.body = std::move(body);
    reply.contentType = std::move(contentType);
    return reply;
}

}  // namespace testsupport
