#include "uikit/Label.h"

#include <algorithm>

namespace ui {

void Label::init(const Rect& frame) {
    View::init(frame);
    setUserInteractionEnabled(false);
}

Size Label::sizeThatFits(Size size) const {
    if (text_.empty()) return Size{0, 0};
    if (numberOfLines_ == 1) return sizeWithFont(text_, font_);
    double width = size.width > 0 ? size.width : 1e6;
    double maxHeight = 1e9;
    if (numberOfLines_ > 1) maxHeight = font_.lineHeight() * numberOfLines_ + 0.5;
    LineBreakMode mode = lineBreakMode_ == LineBreakByCharWrapping ? LineBreakByCharWrapping : LineBreakByWordWrapping;
    return sizeWithFont(text_, font_, Size{width, maxHeight}, mode);
}

}  // namespace ui
