#include "uikit/Button.h"

#include <algorithm>

namespace ui {

void Button::init(const Rect& frame) {
    Control::init(frame);
    titleLabel_ = create<Label>();
    titleLabel_->setFont(Font::systemFontOfSize(15));
    titleLabel_->setTextAlignment(TextAlignmentCenter);
    titleLabel_->setLineBreakMode(LineBreakByTruncatingMiddle);
    imageView_ = create<ImageView>();
    imageView_->setContentMode(ViewContentModeCenter);
    addSubview(imageView_);
    addSubview(titleLabel_);
    refresh();
}

template <typename V>
V Button::lookup(const std::map<unsigned, V>& m, unsigned state, const V& fallback) {
    auto it = m.find(state);
    if (it != m.end()) return it->second;
    // Highlighted, disabled or selected alone before falling back to normal.
    for (unsigned single : {unsigned(ControlStateHighlighted), unsigned(ControlStateDisabled),
                            unsigned(ControlStateSelected)}) {
        if ((state & single) && state != single) {
            auto s = m.find(single);
            if (s != m.end()) return s->second;
        }
    }
    auto n = m.find(ControlStateNormal);
    return n != m.end() ? n->second : fallback;
}

void Button::setTitle(const std::string& title, unsigned state) {
    titles_[state] = title;
    refresh();
}

std::string Button::titleForState(unsigned state) const { return lookup<std::string>(titles_, state, {}); }

void Button::setTitleColor(const Color& color, unsigned state) {
    titleColors_[state] = color;
    refresh();
}

Color Button::titleColorForState(unsigned state) const {
    Color def = type_ == ButtonTypeCustom ? Color::whiteColor() : Color::colorWithRed(0, 122.0 / 255, 1, 1);
    if (type_ != ButtonTypeCustom && (state & ControlStateDisabled) && !titleColors_.count(state)) {
        if (!titleColors_.count(ControlStateDisabled)) return Color::colorWithWhite(0.56, 1);
    }
    return lookup<Color>(titleColors_, state, def);
}

void Button::setImage(const ImagePtr& image, unsigned state) {
    images_[state] = image;
    refresh();
}

ImagePtr Button::imageForState(unsigned state) const { return lookup<ImagePtr>(images_, state, nullptr); }

void Button::setBackgroundImage(const ImagePtr& image, unsigned state) {
    backgroundImages_[state] = image;
    refresh();
}

ImagePtr Button::backgroundImageForState(unsigned state) const {
    return lookup<ImagePtr>(backgroundImages_, state, nullptr);
}

void Button::refresh() {
    if (!titleLabel_) return;
    titleLabel_->setText(currentTitle());
    titleLabel_->setTextColor(currentTitleColor());
    imageView_->setImage(currentImage());
    setNeedsLayout();
}

void Button::layoutSubviews() {
    Rect content = insetRect(bounds(), contentInsets_);
    ImagePtr img = currentImage();
    Size imgSize = img ? img->size() : Size{};
    std::string title = currentTitle();
    Size textSize = title.empty() ? Size{} : sizeWithFont(title, titleLabel_->font());
    textSize.width = std::min(textSize.width, std::max(0.0, content.size.width - imgSize.width));
    textSize.height = std::min(textSize.height, content.size.height);
    double total = imgSize.width + textSize.width;
    double x;
    switch (contentHorizontalAlignment()) {
        case ControlContentHorizontalAlignmentLeft: x = content.origin.x; break;
        case ControlContentHorizontalAlignmentRight: x = content.maxX() - total; break;
        default: x = content.origin.x + (content.size.width - total) / 2; break;
    }
    auto vpos = [&](double h) {
        switch (contentVerticalAlignment()) {
            case ControlContentVerticalAlignmentTop: return content.origin.y;
            case ControlContentVerticalAlignmentBottom: return content.maxY() - h;
            default: return content.origin.y + (content.size.height - h) / 2;
        }
    };
    imageView_->setFrame(insetRect(Rect(x, vpos(imgSize.height), imgSize.width, imgSize.height), imageInsets_));
    titleLabel_->setFrame(
        insetRect(Rect(x + imgSize.width, vpos(textSize.height), textSize.width, textSize.height), titleInsets_));
}

Size Button::sizeThatFits(Size) const {
    ImagePtr img = currentImage();
    ImagePtr bg = currentBackgroundImage();
    Size imgSize = img ? img->size() : Size{};
    std::string title = currentTitle();
    Size textSize = title.empty() ? Size{} : sizeWithFont(title, titleLabel_->font());
    Size s{imgSize.width + textSize.width + contentInsets_.left + contentInsets_.right,
           std::max(imgSize.height, textSize.height) + contentInsets_.top + contentInsets_.bottom};
    if (bg) {
        s.width = std::max(s.width, bg->size().width);
        s.height = std::max(s.height, bg->size().height);
    }
    return s;
}

}  // namespace ui
