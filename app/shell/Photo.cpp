#include "app/shell/Photo.h"

#include "foundation/Data.h"
#include "uikit/BitmapContext.h"

std::string Photo::image2String(const ui::ImagePtr& image) {
    auto jpeg = ui::ImageJPEGRepresentation(image, kJPEGQuality);
    if (!jpeg) return {};
    return ns::base64Encode(*jpeg);
}
