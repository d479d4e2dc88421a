#include "uikit/ImageView.h"

namespace ui {

void ImageView::init(const Rect& frame) {
    View::init(frame);
    setUserInteractionEnabled(false);
}

void ImageView::init(const ImagePtr& image) {
    Size s = image ? image->size() : Size{};
    init(Rect(0, 0, s.width, s.height));
    image_ = image;
}

void ImageView::setImage(const ImagePtr& image) { image_ = image; }

Size ImageView::sizeThatFits(Size) const { return image_ ? image_->size() : Size{}; }

std::string ImageView::debugText() const {
    if (!image_) return {};
    if (!image_->name().empty()) return "image:" + image_->name();
    return "image:" + toString(image_->size());
}

}  // namespace ui
