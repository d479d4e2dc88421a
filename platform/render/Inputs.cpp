// Text fields, text views, pickers, the on-screen keyboard and web pages.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>

#include "render/Paint.h"
#include "render/Parts.h"
#include "render/Renderer.h"
#include "uikit/Keyboard.h"
#include "uikit/PickerView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"
#include "uikit/WebView.h"

namespace render {

namespace {

constexpr ui::Color kTint = ui::Color::colorWithRed(0, 122.0 / 255, 1, 1);
constexpr ui::Color kPlaceholder = ui::Color::colorWithWhite(0.7, 1);
constexpr ui::Color kFieldBorder = ui::Color::colorWithWhite(0.8, 1);

void drawCaret(cairo_t* cr, double x, double midY, double height) {
    paint::fillRect(cr, ui::Rect(x, midY - height / 2, 2, height), kTint, 1);
}

// ---- Text fields ----

std::string bullets(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) out += "\u2022";
    }
    return out;
}

void paintTextField(cairo_t* cr, const ui::TextField& f) {
    const ui::Rect b = f.bounds();
    double inset = 0;
    switch (f.borderStyle()) {
        case ui::TextBorderStyleLine:
            cairo_set_line_width(cr, 1);
            paint::setColor(cr, ui::Color::colorWithWhite(0.2, 1));
            cairo_rectangle(cr, b.minX() + 0.5, b.minY() + 0.5, b.width() - 1, b.height() - 1);
            cairo_stroke(cr);
            inset = 4;
            break;
        case ui::TextBorderStyleBezel:
            cairo_set_line_width(cr, 1);
            paint::setColor(cr, ui::Color::colorWithWhite(0.55, 1));
            cairo_rectangle(cr, b.minX() + 0.5, b.minY() + 0.5, b.width() - 1, b.height() - 1);
            cairo_stroke(cr);
            paint::hairline(cr, b.minX() + 1, b.minY() + 1, b.maxX() - 1, b.minY() + 1, ui::Color::colorWithWhite(0.75, 1));
            inset = 4;
            break;
        case ui::TextBorderStyleRoundedRect:
            if (!f.backgroundColor()) paint::fillRect(cr, b, ui::Color::whiteColor(), 5);
            cairo_set_line_width(cr, 1);
            paint::setColor(cr, kFieldBorder);
            paint::roundedRect(cr, b.insetBy(0.5, 0.5), 5);
            cairo_stroke(cr);
            inset = 7;
            break;
        default: break;
    }
    ui::Rect area(b.minX() + inset, b.minY(), std::max(0.0, b.width() - 2 * inset), b.height());
    if (f.isClearButtonVisible()) {
        const ui::Rect button = f.clearButtonRect();
        area.size.width = std::max(0.0, std::min(area.width(), button.minX() - inset / 2 - area.minX()));
        const double cx = button.midX() - 1, cy = button.midY(), r = 7;
        paint::setColor(cr, ui::Color::colorWithWhite(0.72, 1));
        cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_save(cr);
        paint::setColor(cr, ui::Color::whiteColor());
        cairo_set_line_width(cr, 1.5);
        cairo_move_to(cr, cx - 3, cy - 3);
        cairo_line_to(cr, cx + 3, cy + 3);
        cairo_move_to(cr, cx + 3, cy - 3);
        cairo_line_to(cr, cx - 3, cy + 3);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
    if (area.width() <= 0) return;

    const bool empty = f.text().empty();
    const std::string shown = empty ? f.placeholder() : (f.isSecureTextEntry() ? bullets(f.text()) : f.text());
    const ui::Font font = f.font();
    double width = 0, lineHeight = font.pointSize * 1.2;
    PangoLayout* l = nullptr;
    if (!shown.empty()) {
        l = paint::layout(shown, font, 0, ui::LineBreakByClipping, 0, ui::TextAlignmentLeft);
        width = paint::layoutWidth(l);
        lineHeight = paint::layoutHeight(l);
    }
    double x = area.minX();
    if (f.textAlignment() == ui::TextAlignmentCenter) x = area.midX() - width / 2;
    if (f.textAlignment() == ui::TextAlignmentRight) x = area.maxX() - width;
    // Too long: while editing the end (where typing goes) stays in view.
    if (width > area.width()) x = f.isEditing() && !empty ? area.maxX() - width : area.minX();
    cairo_save(cr);
    cairo_rectangle(cr, area.minX() - 1, area.minY(), area.width() + 3, area.height());
    cairo_clip(cr);
    if (l) paint::showLayout(cr, l, x, area.midY() - lineHeight / 2, empty ? kPlaceholder : f.textColor());
    if (f.isEditing()) {
        double caretX = empty ? (f.textAlignment() == ui::TextAlignmentCenter ? area.midX()
                                 : f.textAlignment() == ui::TextAlignmentRight ? area.maxX() - 2
                                                                                : area.minX())
                              : std::min(x + width, area.maxX() - 2);
        drawCaret(cr, caretX, area.midY(), std::min(area.height(), lineHeight));
    }
    cairo_restore(cr);
}

// ---- Text views ----

constexpr double kTextViewInset = 8;

void paintTextView(cairo_t* cr, const ui::TextView& tv) {
    const ui::Rect b = tv.bounds();
    const double width = std::max(1.0, b.width() - 2 * kTextViewInset);
    PangoLayout* l = nullptr;
    if (!tv.text().empty()) {
        l = paint::layout(tv.text(), tv.font(), width, ui::LineBreakByWordWrapping, 0, tv.textAlignment());
        paint::showLayout(cr, l, kTextViewInset, kTextViewInset, tv.textColor());
    }
    if (tv.isEditing()) {
        double x = 0, y = 0, h = tv.font().pointSize * 1.2;
        if (l) {
            PangoRectangle pos;
            pango_layout_index_to_pos(l, static_cast<int>(tv.text().size()), &pos);
            x = static_cast<double>(pos.x) / PANGO_SCALE;
            y = static_cast<double>(pos.y) / PANGO_SCALE;
            h = static_cast<double>(pos.height) / PANGO_SCALE;
        }
        drawCaret(cr, kTextViewInset + std::min(x, width - 2), kTextViewInset + y + h / 2, h);
    }
}

// ---- Pickers ----

constexpr int kPickerRowsEachSide = 3;
const ui::Font kPickerFont = ui::Font::systemFontOfSize(20);

struct Column {
    double x = 0, width = 0, rowHeight = 32;
};

std::vector<Column> pickerViewColumns(ui::PickerView& p) {
    std::vector<Column> out;
    const long n = p.numberOfComponents();
    auto self = p.sharedAs<ui::PickerView>();
    auto d = p.delegate();
    double total = 0;
    for (long c = 0; c < n; ++c) {
        Column col;
        col.width = d ? d->pickerView_widthForComponent(self, c) : p.bounds().width() / static_cast<double>(n);
        col.rowHeight = d ? d->pickerView_rowHeightForComponent(self, c) : 32;
        if (!(col.rowHeight > 0)) col.rowHeight = 32;
        total += col.width;
        out.push_back(col);
    }
    // Columns sit side by side, centred as a group.
    double x = p.bounds().minX() + (p.bounds().width() - total) / 2;
    for (auto& col : out) {
        col.x = x;
        x += col.width;
    }
    return out;
}

// The date picker's columns: what each shows and how far one row moves the date.
struct DateColumn {
    double share;  // of the width
    enum Unit { Year, Month, Day, Hour, Minute } unit;
};

std::vector<DateColumn> dateColumns(ui::DatePickerMode mode) {
    switch (mode) {
        case ui::DatePickerModeDate: return {{0.4, DateColumn::Year}, {0.3, DateColumn::Month}, {0.3, DateColumn::Day}};
        case ui::DatePickerModeTime:
        case ui::DatePickerModeCountDownTimer: return {{0.5, DateColumn::Hour}, {0.5, DateColumn::Minute}};
        default: return {{0.5, DateColumn::Day}, {0.25, DateColumn::Hour}, {0.25, DateColumn::Minute}};
    }
}

std::vector<Column> datePickerColumns(const ui::DatePicker& p) {
    std::vector<Column> out;
    const ui::Rect b = p.bounds();
    double x = b.minX();
    for (const auto& dc : dateColumns(p.datePickerMode())) {
        out.push_back(Column{x, b.width() * dc.share, 32});
        x += b.width() * dc.share;
    }
    return out;
}

// The date moved by a number of rows of a column (local time, calendar aware).
ns::Date stepDate(ns::Date d, DateColumn::Unit unit, int rows, int minuteInterval) {
    std::time_t t = static_cast<std::time_t>(std::floor(d.seconds));
    double frac = d.seconds - static_cast<double>(t);
    std::tm tm{};
    localtime_r(&t, &tm);
    switch (unit) {
        case DateColumn::Year: tm.tm_year += rows; break;
        case DateColumn::Month: tm.tm_mon += rows; break;
        case DateColumn::Day: tm.tm_mday += rows; break;
        case DateColumn::Hour: tm.tm_hour += rows; break;
        case DateColumn::Minute: tm.tm_min += rows * std::max(1, minuteInterval); break;
    }
    tm.tm_isdst = -1;
    return ns::Date{static_cast<double>(std::mktime(&tm)) + frac};
}

std::string dateLabel(ns::Date d, DateColumn::Unit unit, ui::DatePickerMode mode) {
    std::time_t t = static_cast<std::time_t>(std::floor(d.seconds));
    std::tm tm{};
    localtime_r(&t, &tm);
    static const char* weekdays[] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
    char buf[48];
    switch (unit) {
        case DateColumn::Year: std::snprintf(buf, sizeof buf, "%d年", tm.tm_year + 1900); break;
        case DateColumn::Month: std::snprintf(buf, sizeof buf, "%d月", tm.tm_mon + 1); break;
        case DateColumn::Day:
            if (mode == ui::DatePickerModeDate) {
                std::snprintf(buf, sizeof buf, "%d日", tm.tm_mday);
            } else {
                std::snprintf(buf, sizeof buf, "%d月%d日 %s", tm.tm_mon + 1, tm.tm_mday, weekdays[tm.tm_wday % 7]);
            }
            break;
        case DateColumn::Hour: std::snprintf(buf, sizeof buf, "%d", tm.tm_hour); break;
        case DateColumn::Minute: std::snprintf(buf, sizeof buf, "%02d", tm.tm_min); break;
    }
    return buf;
}

void paintWheel(cairo_t* cr, const ui::Rect& bounds, const Column& col, const std::function<std::string(int)>& title) {
    const double mid = bounds.midY();
    for (int k = -kPickerRowsEachSide; k <= kPickerRowsEachSide; ++k) {
        std::string t = title(k);
        if (t.empty()) continue;
        const double fade = 1 - 0.22 * std::abs(k);
        ui::Color ink = k == 0 ? ui::Color::blackColor() : ui::Color::colorWithWhite(0.45, fade);
        ui::Font font = kPickerFont.fontWithSize(kPickerFont.pointSize * (1 - 0.06 * std::abs(k)));
        paint::drawText(cr, t, font, ink, ui::Rect(col.x + 4, mid + k * col.rowHeight - col.rowHeight / 2, col.width - 8,
                                                   col.rowHeight),
                        ui::TextAlignmentCenter);
    }
}

void paintSelectionBand(cairo_t* cr, const ui::Rect& b, double rowHeight) {
    paint::hairline(cr, b.minX(), b.midY() - rowHeight / 2, b.maxX(), b.midY() - rowHeight / 2, kFieldBorder);
    paint::hairline(cr, b.minX(), b.midY() + rowHeight / 2, b.maxX(), b.midY() + rowHeight / 2, kFieldBorder);
}

void paintPickerView(cairo_t* cr, const ui::PickerView& cp) {
    // Asking for rows and titles goes to the data source; nothing on screen changes.
    auto& p = const_cast<ui::PickerView&>(cp);
    const ui::Rect b = p.bounds();
    cairo_save(cr);
    cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
    cairo_clip(cr);
    auto cols = pickerViewColumns(p);
    for (long c = 0; c < static_cast<long>(cols.size()); ++c) {
        const long selected = p.selectedRowInComponent(c), rows = p.numberOfRowsInComponent(c);
        paintWheel(cr, b, cols[static_cast<std::size_t>(c)], [&](int k) -> std::string {
            long row = selected + k;
            if (selected < 0 || row < 0 || row >= rows) return {};
            return p.titleForRow(row, c);
        });
    }
    if (!cols.empty()) paintSelectionBand(cr, b, cols.front().rowHeight);
    cairo_restore(cr);
}

void paintDatePicker(cairo_t* cr, const ui::DatePicker& p) {
    const ui::Rect b = p.bounds();
    cairo_save(cr);
    cairo_rectangle(cr, b.minX(), b.minY(), b.width(), b.height());
    cairo_clip(cr);
    auto cols = datePickerColumns(p);
    auto units = dateColumns(p.datePickerMode());
    for (std::size_t c = 0; c < cols.size(); ++c) {
        paintWheel(cr, b, cols[c], [&](int k) {
            return dateLabel(stepDate(p.date(), units[c].unit, k, p.minuteInterval()), units[c].unit,
                             p.datePickerMode());
        });
    }
    paintSelectionBand(cr, b, 32);
    cairo_restore(cr);
}

// ---- Web pages ----

void paintPage(cairo_t* cr, const ui::web::PageLayout& page, const ui::Rect& visible) {
    for (const auto& box : page.boxes()) {
        const ui::Rect& f = box.frame;
        if (f.maxY() < visible.minY() - 1 || f.minY() > visible.maxY() + 1) continue;
        switch (box.kind) {
            case ui::web::Box::Text:
                if (!box.layout) break;
                cairo_save(cr);
                cairo_set_source_rgb(cr, 0, 0, 0);
                cairo_move_to(cr, f.minX(), f.minY());
                pango_cairo_show_layout(cr, box.layout.get());
                cairo_restore(cr);
                break;
            case ui::web::Box::Picture:
                if (box.image) {
                    paint::drawImage(cr, box.image, f);
                } else if (!f.isEmpty()) {
                    // Not (yet) loaded: a light frame where it will go.
                    paint::fillRect(cr, f, ui::Color::colorWithWhite(0.94, 1));
                    cairo_save(cr);
                    cairo_set_line_width(cr, 1);
                    paint::setColor(cr, kFieldBorder);
                    cairo_rectangle(cr, f.minX() + 0.5, f.minY() + 0.5, f.width() - 1, f.height() - 1);
                    cairo_stroke(cr);
                    cairo_restore(cr);
                }
                break;
            case ui::web::Box::Rule:
                paint::fillRect(cr, ui::Rect(f.minX(), f.minY(), f.width(), std::max(1.0, f.height())),
                                ui::Color::colorWithWhite(0.75, 1));
                break;
        }
    }
}

// ---- The keyboard ----

// The standard keyboard's keys over its face; ⇧ lights up while on.
void paintKeys(cairo_t* cr, const ui::KeyboardView& keyboard) {
    const ui::Font font = ui::Font::systemFontOfSize(20);
    const ui::Font small = ui::Font::systemFontOfSize(15);
    for (const auto& k : keyboard.keys()) {
        using Key = ui::KeyboardView::Key;
        const bool dark = k.kind != Key::Character && k.kind != Key::Space &&
                          !(k.kind == Key::Shift && keyboard.isShifted());
        const bool word = k.kind == Key::SwitchLayout || k.kind == Key::Space || k.kind == Key::Return;
        paint::fillRect(cr, k.frame.offsetBy(0, 1), ui::Color::colorWithWhite(0.55, 1), 5);
        paint::fillRect(cr, k.frame, dark ? ui::Color::colorWithRed(0.68, 0.7, 0.74, 1) : ui::Color::whiteColor(), 5);
        paint::drawText(cr, k.label, word ? small : font, ui::Color::blackColor(), k.frame, ui::TextAlignmentCenter);
    }
}

}  // namespace

namespace detail {

bool paintInputContent(cairo_t* cr, const ui::View& view) {
    if (auto* f = dynamic_cast<const ui::TextField*>(&view)) {
        paintTextField(cr, *f);
    } else if (auto* tv = dynamic_cast<const ui::TextView*>(&view)) {
        paintTextView(cr, *tv);
    } else if (auto* p = dynamic_cast<const ui::PickerView*>(&view)) {
        paintPickerView(cr, *p);
    } else if (auto* d = dynamic_cast<const ui::DatePicker*>(&view)) {
        paintDatePicker(cr, *d);
    } else if (auto* sv = dynamic_cast<const ui::ScrollView*>(&view)) {
        auto web = std::dynamic_pointer_cast<ui::WebView>(sv->superview());
        if (!web || web->scrollView().get() != sv || !web->pageLayout()) return false;
        paintPage(cr, *web->pageLayout(), sv->bounds());
    } else if (auto* kb = dynamic_cast<const ui::KeyboardView*>(&view)) {
        paintKeys(cr, *kb);
    } else {
        return false;
    }
    return true;
}

}  // namespace detail

// ---- Pickers for the window host ----

int pickerColumnAt(const ui::View& picker, double x) {
    std::vector<Column> cols;
    if (auto* p = dynamic_cast<const ui::PickerView*>(&picker)) {
        cols = pickerViewColumns(const_cast<ui::PickerView&>(*p));
    } else if (auto* d = dynamic_cast<const ui::DatePicker*>(&picker)) {
        cols = datePickerColumns(*d);
    }
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (x >= cols[i].x && x < cols[i].x + cols[i].width) return static_cast<int>(i);
    }
    return -1;
}

double pickerRowHeight(const ui::View& picker, int column) {
    if (auto* p = dynamic_cast<const ui::PickerView*>(&picker)) {
        auto cols = pickerViewColumns(const_cast<ui::PickerView&>(*p));
        if (column >= 0 && column < static_cast<int>(cols.size())) return cols[static_cast<std::size_t>(column)].rowHeight;
    }
    return 32;
}

bool spinPicker(ui::View& picker, int column, int rows) {
    if (column < 0 || rows == 0) return false;
    if (auto* p = dynamic_cast<ui::PickerView*>(&picker)) {
        if (column >= p->numberOfComponents()) return false;
        const long count = p->numberOfRowsInComponent(column);
        const long from = p->selectedRowInComponent(column);
        if (count <= 0) return false;
        const long to = std::clamp(from + rows, 0L, count - 1);
        return to != from && p->spinToRow(to, column);
    }
    if (auto* d = dynamic_cast<ui::DatePicker*>(&picker)) {
        auto units = dateColumns(d->datePickerMode());
        if (column >= static_cast<int>(units.size())) return false;
        ns::Date before = d->date();
        d->spinToDate(stepDate(before, units[static_cast<std::size_t>(column)].unit, rows, d->minuteInterval()));
        return !(d->date() == before);
    }
    return false;
}

}  // namespace render
