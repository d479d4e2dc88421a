// Image views: an image drawn in the view's rectangle by its content mode
// (scale to fill by default). They take no touches unless user interaction
// is switched on.
//
//   auto head = ui::create<ui::ImageView>(ui::Rect{5, 5, 60, 60});   // initWithFrame:
//   auto mark = ui::create<ui::ImageView>(ui::Image::imageNamed("line.png"));  // initWithImage:
#pragma once

#include "uikit/Image.h"
#include "uikit/View.h"

namespace ui {

class ImageView : public View {
public:
    void init(const Rect& frame) override;
    // initWithImage: (the frame takes the image's size at the origin).
    virtual void init(const ImagePtr& image);

    ImagePtr image() const { return image_; }
    virtual void setImage(const ImagePtr& image);
    ImagePtr highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(const ImagePtr& image) { highlightedImage_ = image; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h) { highlighted_ = h; }

    Size sizeThatFits(Size size) const override;
    std::string debugText() const override;

private:
    ImagePtr image_;
    ImagePtr highlightedImage_;
    bool highlighted_ = false;
};

using ImageViewPtr = std::shared_ptr<ImageView>;

}  // namespace ui
