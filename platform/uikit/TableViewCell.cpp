#include "uikit/TableViewCell.h"

#include <atomic>

namespace ui {

namespace {

std::atomic<std::size_t>& live() {
    static std::atomic<std::size_t> n{0};
    return n;
}

}  // namespace

TableViewCell::TableViewCell() { ++live(); }

TableViewCell::~TableViewCell() { --live(); }

std::size_t TableViewCell::liveCount() { return live().load(); }

void TableViewCell::init(const Rect& frame) {
    init(TableViewCellStyleDefault, std::string());
    setFrame(frame);
}

void TableViewCell::init(TableViewCellStyle style, const std::string& reuseIdentifier) {
    View::init(Rect(0, 0, 320, 44));
    style_ = style;
    reuseIdentifier_ = reuseIdentifier;
    setBackgroundColor(Color::whiteColor());
    contentView_ = create<View>(Rect(0, 0, 320, 44));
    contentView_->setBackgroundColor(Color::clearColor());
    addSubview(contentView_);

    imageView_ = create<ImageView>(Rect());
    contentView_->addSubview(imageView_);

    textLabel_ = create<Label>(Rect());
    textLabel_->setBackgroundColor(Color::clearColor());
    textLabel_->setFont(Font::systemFontOfSize(18));
    contentView_->addSubview(textLabel_);
    if (style != TableViewCellStyleDefault) {
        detailTextLabel_ = create<Label>(Rect());
        detailTextLabel_->setBackgroundColor(Color::clearColor());
        if (style == TableViewCellStyleSubtitle) {
            detailTextLabel_->setFont(Font::systemFontOfSize(12));
        } else {
            detailTextLabel_->setFont(Font::systemFontOfSize(17));
            detailTextLabel_->setTextColor(Color::colorWithRed(0.56, 0.56, 0.58, 1));
        }
        contentView_->addSubview(detailTextLabel_);
    }
    layoutSubviews();
}

void TableViewCell::setAccessoryView(const std::shared_ptr<View>& v) {
    if (accessoryView_) accessoryView_->removeFromSuperview();
    accessoryView_ = v;
    if (v) addSubview(v);
    setNeedsLayout();
}

void TableViewCell::setSelected(bool selected, bool) {
    selected_ = selected;
    bool lit = selected && selectionStyle_ != TableViewCellSelectionStyleNone;
    textLabel_->setHighlighted(lit);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(lit);
}

void TableViewCell::setHighlighted(bool highlighted, bool) {
    highlighted_ = highlighted;
    bool lit = (highlighted || selected_) && selectionStyle_ != TableViewCellSelectionStyleNone;
    textLabel_->setHighlighted(lit);
    if (detailTextLabel_) detailTextLabel_->setHighlighted(lit);
}

void TableViewCell::prepareForReuse() {
    setSelected(false, false);
    setHighlighted(false, false);
}

void TableViewCell::setFrame(const Rect& frame) {
    bool resized = frame.size != this->frame().size;
    View::setFrame(frame);
    if (resized) layoutSubviews();
}

void TableViewCell::layoutSubviews() {
    Size size = bounds().size;
    bool accessory = accessoryView_ || accessoryType_ != TableViewCellAccessoryNone;
    double contentWidth = accessory ? std::max(0.0, size.width - kAccessoryWidth) : size.width;
    contentView_->setFrame(Rect(0, 0, contentWidth, size.height));
    if (accessoryView_) {
        Size a = accessoryView_->frame().size;
        accessoryView_->setFrame(Rect(size.width - a.width - 10, (size.height - a.height) / 2, a.width, a.height));
    }
    double x = 15;
    if (auto img = imageView_->image()) {
        Size s = img->size();
        imageView_->setFrame(Rect(15, (size.height - s.height) / 2, s.width, s.height));
        x = 15 + s.width + 15;
    } else {
        imageView_->setFrame(Rect());
    }
    double w = std::max(0.0, contentWidth - x - 15);
    switch (style_) {
        case TableViewCellStyleSubtitle:
            textLabel_->setFrame(Rect(x, 4, w, size.height * 0.55 - 4));
            detailTextLabel_->setFrame(Rect(x, size.height * 0.55, w, size.height * 0.45 - 4));
            break;
        case TableViewCellStyleValue1:
        case TableViewCellStyleValue2:
            textLabel_->setFrame(Rect(x, 0, w / 2, size.height));
            detailTextLabel_->setFrame(Rect(x + w / 2, 0, w / 2, size.height));
            detailTextLabel_->setTextAlignment(style_ == TableViewCellStyleValue1 ? TextAlignmentRight : TextAlignmentLeft);
            break;
        default: textLabel_->setFrame(Rect(x, 0, w, size.height)); break;
    }
}

}  // namespace ui
