#include "mervio/apps/MVMediaMessage.h"

#include "uikit/BitmapContext.h"

void MVMediaMessage::setThumbImage(const ui::ImagePtr& image) {
    if (!image) return;
    if (auto jpeg = ui::ImageJPEGRepresentation(image, 0.6)) thumbData = std::move(*jpeg);
}
