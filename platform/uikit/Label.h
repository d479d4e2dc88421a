// Labels: text in a font and colour, aligned, on a number of lines. A label
// never grows by itself: text that does not fit is clipped when drawn.
//
//   auto title = ui::create<ui::Label>(ui::Rect{68, 5, 250, 20});
//   title->setFont(ui::Font::boldSystemFontOfSize(14));
//   title->setBackgroundColor(ui::Color::clearColor());
//   title->setText(record["title"].text());
//
// Labels do not take touches unless user interaction is switched on.
#pragma once

#include <string>

#include "foundation/SharedText.h"
#include "uikit/Color.h"
#include "uikit/Font.h"
#include "uikit/Text.h"
#include "uikit/View.h"

namespace ui {

class Label : public View {
public:
    void init(const Rect& frame) override;

    const std::string& text() const { return text_.str(); }
    // Text given as a std::string is copied; shared text is shared
    // (records::sharedText: a record's title is then held once).
    virtual void setText(ns::SharedText text) { text_ = std::move(text); }
    const Font& font() const { return font_; }
    void setFont(const Font& font) { font_ = font; }
    Color textColor() const { return textColor_; }
    void setTextColor(const Color& c) { textColor_ = c; }
    Color highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(const Color& c) { highlightedTextColor_ = c; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h) { highlighted_ = h; }
    TextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(TextAlignment a) { alignment_ = a; }
    // 0: as many as fit.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int n) { numberOfLines_ = n; }
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode m) { lineBreakMode_ = m; }
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
    void setAdjustsFontSizeToFitWidth(bool a) { adjustsFontSize_ = a; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }

    // The text's size: one line for numberOfLines 1, else wrapped within the
    // given width (and at most numberOfLines lines).
    Size sizeThatFits(Size size) const override;
    std::string debugText() const override { return text_.str(); }

private:
    ns::SharedText text_;
    Font font_ = Font::systemFontOfSize(17);
    Color textColor_ = Color::blackColor();
    Color highlightedTextColor_ = Color::whiteColor();
    bool highlighted_ = false;
    TextAlignment alignment_ = TextAlignmentLeft;
    int numberOfLines_ = 1;
    LineBreakMode lineBreakMode_ = LineBreakByTruncatingTail;
    bool adjustsFontSize_ = false;
    bool enabled_ = true;
};

using LabelPtr = std::shared_ptr<Label>;

}  // namespace ui
