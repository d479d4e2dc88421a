// The content of the UI layer's view classes.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "render/Paint.h"
#include "render/Parts.h"
#include "render/Renderer.h"
#include "uikit/Button.h"
#include "uikit/ImageView.h"
#include "uikit/Label.h"
#include "uikit/NavigationController.h"
#include "uikit/PageControl.h"

namespace render {

namespace {

// ---- Labels ----

struct LabelLines {
    PangoLayout* layout = nullptr;
    int lines = 0;        // lines shown (0: all of the layout)
    double x = 0;         // offset of the layout in the bounds
    double height = 0;    // of the lines shown
};

bool truncates(ui::LineBreakMode m) {
    return m == ui::LineBreakByTruncatingHead || m == ui::LineBreakByTruncatingMiddle ||
           m == ui::LineBreakByTruncatingTail;
}

// How the label's text is laid out in its bounds: one line, or wrapped in
// the width on as many lines as it allows and the height holds.
LabelLines layLabel(const ui::Label& label) {
    LabelLines out;
    const std::string& text = label.text();
    const ui::Rect b = label.bounds();
    if (text.empty() || b.width() <= 0) return out;
    ui::Font font = label.font();
    const ui::LineBreakMode mode = label.lineBreakMode();
    const ui::TextAlignment align = label.textAlignment();

    if (label.numberOfLines() == 1) {
        if (label.adjustsFontSizeToFitWidth()) {
            double w = paint::layoutWidth(paint::layout(text, font, 0, ui::LineBreakByClipping, 0, ui::TextAlignmentLeft));
            if (w > b.width()) font = font.fontWithSize(std::max(4.0, font.pointSize * b.width() / w));
        }
        double natural = paint::layoutWidth(paint::layout(text, font, 0, ui::LineBreakByClipping, 0, ui::TextAlignmentLeft));
        if (truncates(mode) && natural > b.width()) {
            out.layout = paint::layout(text, font, b.width(), mode, 1, align);
        } else {
            // Unwrapped; placed by hand so a line wider than the label starts at its left edge.
            out.layout = paint::layout(text, font, 0, ui::LineBreakByClipping, 0, ui::TextAlignmentLeft);
            double room = b.width() - natural;
            if (room > 0 && align == ui::TextAlignmentCenter) out.x = room / 2;
            if (room > 0 && align == ui::TextAlignmentRight) out.x = room;
        }
        out.lines = 1;
    } else {
        const ui::LineBreakMode wrap =
            mode == ui::LineBreakByCharWrapping ? ui::LineBreakByCharWrapping : ui::LineBreakByWordWrapping;
        PangoLayout* all = paint::layout(text, font, b.width(), wrap, 0, align);
        const int total = pango_layout_get_line_count(all);
        int limit = label.numberOfLines() > 0 ? std::min(label.numberOfLines(), total) : total;
        // As many whole lines as the height holds (at least one).
        int fit = 0;
        PangoLayoutIter* it = pango_layout_get_iter(all);
        do {
            PangoRectangle logical;
            pango_layout_iter_get_line_extents(it, nullptr, &logical);
            if (fit > 0 && static_cast<double>(logical.y + logical.height) / PANGO_SCALE > b.height() + 0.5) break;
            ++fit;
        } while (fit < limit && pango_layout_iter_next_line(it));
        pango_layout_iter_free(it);
        const int shown = std::min(limit, fit);
        if (truncates(mode) && shown < total) {
            out.layout = paint::layout(text, font, b.width(), mode, shown, align);
            out.lines = 0;
        } else {
            out.layout = all;
            out.lines = shown;
        }
    }
    out.height = paint::layoutHeight(out.layout, out.lines);
    return out;
}

std::shared_ptr<ui::Button> buttonOf(const ui::View& part) {
    return std::dynamic_pointer_cast<ui::Button>(part.superview());
}

// A pressed custom button darkens its pictures unless it has its own for the state.
bool darkensWhenPressed(const ui::Button& b) {
    return b.isHighlighted() && b.adjustsImageWhenHighlighted() && b.buttonType() == ui::ButtonTypeCustom;
}

void paintLabel(cairo_t* cr, const ui::Label& label) {
    LabelLines l = layLabel(label);
    if (!l.layout) return;
    ui::Color color = label.isHighlighted() ? label.highlightedTextColor() : label.textColor();
    if (!label.isEnabled()) color.alpha *= 0.45;
    // A system button's title fades while pressed.
    if (auto b = buttonOf(label); b && b->titleLabel().get() == &label && b->isHighlighted() &&
                                  b->buttonType() != ui::ButtonTypeCustom) {
        color.alpha *= 0.25;
    }
    const ui::Rect b = label.bounds();
    cairo_save(cr);
    cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
    cairo_clip(cr);
    paint::showLayout(cr, l.layout, b.minX() + l.x, b.minY() + (b.height() - l.height) / 2, color, l.lines);
    cairo_restore(cr);
}

void paintImageView(cairo_t* cr, const ui::ImageView& v) {
    ui::ImagePtr img = v.isHighlighted() && v.highlightedImage() ? v.highlightedImage() : v.image();
    if (!img) return;
    ui::Rect r = paint::imageRect(img->size(), v.bounds(), v.contentMode());
    paint::drawImage(cr, img, r);
    if (auto b = buttonOf(v); b && b->imageView().get() == &v && darkensWhenPressed(*b) &&
                              b->imageForState(ui::ControlStateHighlighted) == b->imageForState(ui::ControlStateNormal)) {
        paint::darkenImage(cr, img, r, 0.35);
    }
}

void paintButton(cairo_t* cr, const ui::Button& b) {
    ui::ImagePtr bg = b.currentBackgroundImage();
    if (!bg) return;
    paint::drawImage(cr, bg, b.bounds());
    if (darkensWhenPressed(b) &&
        b.backgroundImageForState(ui::ControlStateHighlighted) == b.backgroundImageForState(ui::ControlStateNormal)) {
        paint::darkenImage(cr, bg, b.bounds(), 0.35);
    }
}

void paintPageControl(cairo_t* cr, const ui::PageControl& pc) {
    const int pages = pc.numberOfPages();
    if (pages <= 0 || (pages == 1 && pc.hidesForSinglePage())) return;
    const ui::Rect b = pc.bounds();
    const double d = ui::PageControl::kDotSize, gap = ui::PageControl::kDotSpacing;
    const double total = pages * d + (pages - 1) * gap;
    double x = b.midX() - total / 2;
    for (int i = 0; i < pages; ++i, x += d + gap) {
        paint::setColor(cr, i == pc.currentPage() ? pc.currentPageIndicatorTintColor() : pc.pageIndicatorTintColor());
        cairo_arc(cr, x + d / 2, b.midY(), d / 2, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

void paintNavigationBar(cairo_t* cr, const ui::NavigationBar& bar) {
    const ui::Rect b = bar.bounds();
    paint::hairline(cr, b.minX(), b.maxY() - 0.5, b.maxX(), b.maxY() - 0.5, ui::Color::colorWithWhite(0.7, 1));
}

}  // namespace

ui::Rect labelTextRect(const ui::Label& label) {
    LabelLines l = layLabel(label);
    if (!l.layout) return ui::Rect{};
    const ui::Rect b = label.bounds();
    return ui::Rect(b.minX(), b.minY() + (b.height() - l.height) / 2, b.width(), l.height);
}

namespace detail {

bool paintBuiltInContent(cairo_t* cr, const ui::View& view) {
    if (auto* label = dynamic_cast<const ui::Label*>(&view)) {
        paintLabel(cr, *label);
    } else if (auto* iv = dynamic_cast<const ui::ImageView*>(&view)) {
        paintImageView(cr, *iv);
    } else if (auto* button = dynamic_cast<const ui::Button*>(&view)) {
        paintButton(cr, *button);
    } else if (auto* pc = dynamic_cast<const ui::PageControl*>(&view)) {
        paintPageControl(cr, *pc);
    } else if (auto* bar = dynamic_cast<const ui::NavigationBar*>(&view)) {
        paintNavigationBar(cr, *bar);
    } else {
        return false;
    }
    return true;
}

}  // namespace detail

}  // namespace render
