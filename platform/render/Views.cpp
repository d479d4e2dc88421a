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
#include "uikit/ScrollView.h"
#include "uikit/TableView.h"
#include "uikit/TableViewCell.h"

namespace render {

namespace {

// ---- Labels ----

struct LabelLines {
    PangoLayout* layout = nullptr;
    int lines = 0;        // lines shown (0: all of the layout)
    double x = 0;         // offset of the layout in the bounds
    double height = 0;    // of the lines shown
    bool truncated = false;  // the text ends in "…"
};

bool truncates(ui::LineBreakMode m) {
    return m == ui::LineBreakByTruncatingHead || m == ui::LineBreakByTruncatingMiddle ||
           m == ui::LineBreakByTruncatingTail;
}

// The text of the first `shown` lines of a wrapped layout, each line a
// paragraph of its own: laid out one line to a paragraph it shows the same
// lines (Pango limits lines per paragraph, not per layout). The last line
// runs on to the end of its paragraph, so that the "…" ends it where it was
// wrapped; where a line break ends it instead, the "…" is put after it.
std::string truncationText(const std::string& text, PangoLayout* wrapped, int shown, bool& ellipsisAdded) {
    std::string out;
    for (int i = 0; i < shown; ++i) {
        const PangoLayoutLine* line = pango_layout_get_line_readonly(wrapped, i);
        const auto start = static_cast<std::size_t>(line->start_index);
        const auto end = start + static_cast<std::size_t>(line->length);
        if (i + 1 < shown) {
            out.append(text, start, end - start);
            out += '\n';
        } else if (end < text.size() && (text[end] == '\n' || text[end] == '\r')) {
            out.append(text, start, end - start);
            out += "\u2026";
            ellipsisAdded = true;
        } else {
            out.append(text, start, text.find_first_of("\r\n", end) - start);
        }
    }
    return out;
}

// How the label's text is laid out in its bounds: one line, or wrapped in
// the width on as many lines as it allows and the height holds.
LabelLines layLabel(const ui::Label& label) {
    LabelLines out;
    const ui::Rect b = label.bounds();
    ui::Font font = label.font();
    // No more of the text than the label can show (at the smallest size it
    // may shrink to): a title of megabytes costs what two lines cost.
    int lines = label.numberOfLines();
    if (lines <= 0 && font.pointSize > 0 && b.height() < 1e6)
        lines = std::max(1, static_cast<int>(b.height() / font.pointSize) + 1);
    const std::string text(ui::showableText(label.text(), label.adjustsFontSizeToFitWidth() ? font.fontWithSize(4) : font,
                                            b.width(), lines));
    if (text.empty() || b.width() <= 0) return out;
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
            out.truncated = pango_layout_is_ellipsized(out.layout);
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
            bool ellipsisAdded = false;
            const std::string shownText = truncationText(text, all, shown, ellipsisAdded);
            out.layout = paint::layout(shownText, font, b.width(), mode, 1, align);
            out.lines = 0;
            out.truncated = ellipsisAdded || pango_layout_is_ellipsized(out.layout);
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

// ---- Lists ----

constexpr ui::Color kTint = ui::Color::colorWithRed(0, 122.0 / 255, 1, 1);

void drawChevron(cairo_t* cr, double x, double midY, const ui::Color& c, double size = 4.5) {
    cairo_save(cr);
    cairo_set_line_width(cr, 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    paint::setColor(cr, c);
    cairo_move_to(cr, x - size, midY - size * 1.6);
    cairo_line_to(cr, x, midY);
    cairo_line_to(cr, x - size, midY + size * 1.6);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void paintCell(cairo_t* cr, const ui::TableViewCell& cell) {
    const ui::Rect b = cell.bounds();
    const bool lit = (cell.isSelected() || cell.isHighlighted()) &&
                     cell.selectionStyle() != ui::TableViewCellSelectionStyleNone;
    if (lit) {
        if (auto sel = cell.selectedBackgroundView()) {
            sel->setFrame(b);
            drawView(cr, *sel);
        } else if (cell.selectionStyle() == ui::TableViewCellSelectionStyleBlue) {
            paint::fillRect(cr, b, ui::Color::colorWithRed(0.02, 0.45, 0.9, 1));
        } else {
            paint::fillRect(cr, b, ui::Color::colorWithWhite(0.85, 1));
        }
    }
    if (cell.accessoryView()) return;
    const double right = b.maxX() - 15, midY = b.midY();
    const ui::Color ink = lit ? ui::Color::whiteColor() : ui::Color::colorWithWhite(0.78, 1);
    switch (cell.accessoryType()) {
        case ui::TableViewCellAccessoryDisclosureIndicator: drawChevron(cr, right, midY, ink); break;
        case ui::TableViewCellAccessoryDetailDisclosureButton:
            paint::setColor(cr, kTint);
            cairo_arc(cr, right - 8, midY, 11, 0, 2 * M_PI);
            cairo_fill(cr);
            drawChevron(cr, right - 6, midY, ui::Color::whiteColor(), 3.5);
            break;
        case ui::TableViewCellAccessoryCheckmark:
            cairo_save(cr);
            paint::setColor(cr, lit ? ui::Color::whiteColor() : kTint);
            cairo_set_line_width(cr, 2.2);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            cairo_move_to(cr, right - 13, midY);
            cairo_line_to(cr, right - 8, midY + 5);
            cairo_line_to(cr, right, midY - 6);
            cairo_stroke(cr);
            cairo_restore(cr);
            break;
        default: break;
    }
}

void paintTableSeparators(cairo_t* cr, const ui::TableView& table) {
    if (table.separatorStyle() == ui::TableViewCellSeparatorStyleNone) return;
    const ui::Rect b = table.bounds();
    for (const auto& cell : table.visibleCells()) {
        if (cell->isHidden()) continue;
        const ui::Rect f = cell->frame();
        if (f.maxY() < b.minY() || f.minY() > b.maxY()) continue;
        paint::hairline(cr, f.minX() + 15, f.maxY() - 0.5, f.maxX(), f.maxY() - 0.5, table.separatorColor());
    }
}

// While a finger moves the content, a thin bar shows where the view is in it.
void paintScrollIndicator(cairo_t* cr, const ui::ScrollView& sv) {
    if (!(sv.isDragging() || sv.isDecelerating()) || !sv.showsVerticalScrollIndicator()) return;
    const ui::Rect b = sv.bounds();
    const ui::EdgeInsets in = sv.scrollIndicatorInsets();
    const double content = sv.contentSize().height;
    const double track = b.height() - in.top - in.bottom - 6;
    if (content <= b.height() || track <= 0) return;
    const double length = std::max(36.0, track * b.height() / content);
    const double range = content - b.height();
    const double pos = std::clamp(b.minY() / range, 0.0, 1.0);
    const ui::Color ink = sv.indicatorStyle() == ui::ScrollViewIndicatorStyleWhite ? ui::Color::colorWithWhite(1, 0.6)
                                                                                    : ui::Color::colorWithWhite(0, 0.4);
    paint::fillRect(cr, ui::Rect(b.maxX() - 5.5, b.minY() + in.top + 3 + (track - length) * pos, 3, length), ink, 1.5);
}

}  // namespace

ui::Rect labelTextRect(const ui::Label& label) {
    LabelLines l = layLabel(label);
    if (!l.layout) return ui::Rect{};
    const ui::Rect b = label.bounds();
    return ui::Rect(b.minX(), b.minY() + (b.height() - l.height) / 2, b.width(), l.height);
}

bool labelIsTruncated(const ui::Label& label) {
    return layLabel(label).truncated;
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
    } else if (auto* cell = dynamic_cast<const ui::TableViewCell*>(&view)) {
        paintCell(cr, *cell);
    } else {
        return paintInputContent(cr, view);
    }
    return true;
}

void paintBuiltInOverlay(cairo_t* cr, const ui::View& view) {
    auto* sv = dynamic_cast<const ui::ScrollView*>(&view);
    if (!sv) return;
    if (auto* table = dynamic_cast<const ui::TableView*>(sv)) paintTableSeparators(cr, *table);
    paintScrollIndicator(cr, *sv);
}

}  // namespace detail

}  // namespace render
