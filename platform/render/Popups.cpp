// Alerts (a box in the middle of the screen) and action sheets (a group of
// buttons at the bottom with the cancel button apart).
#include <algorithm>
#include <cmath>

#include "render/Paint.h"
#include "render/Parts.h"
#include "render/Renderer.h"

namespace render {

namespace {

constexpr double kAlertWidth = 270;
constexpr double kAlertPadding = 16;
constexpr double kAlertMargin = 20;
constexpr double kRowHeight = 44;
constexpr double kSheetMargin = 8;
constexpr double kCorner = 7;

const ui::Font kTitleFont = ui::Font::boldSystemFontOfSize(17);
const ui::Font kMessageFont = ui::Font::systemFontOfSize(13);
const ui::Font kSheetTitleFont = ui::Font::systemFontOfSize(13);
const ui::Font kAlertButtonFont = ui::Font::systemFontOfSize(17);
const ui::Font kAlertCancelFont = ui::Font::boldSystemFontOfSize(17);
const ui::Font kSheetButtonFont = ui::Font::systemFontOfSize(20);
const ui::Font kSheetCancelFont = ui::Font::boldSystemFontOfSize(20);

constexpr ui::Color kTint = ui::Color::colorWithRed(0, 122.0 / 255, 1, 1);
constexpr ui::Color kDestructive = ui::Color::colorWithRed(1, 59.0 / 255, 48.0 / 255, 1);
constexpr ui::Color kPanel = ui::Color::colorWithWhite(0.97, 1);
constexpr ui::Color kPressed = ui::Color::colorWithWhite(0.85, 1);
constexpr ui::Color kSeparator = ui::Color::colorWithWhite(0.78, 1);
constexpr ui::Color kDim = ui::Color::colorWithWhite(0, 0.4);

const ui::Popup* g_pressedPopup = nullptr;
int g_pressedIndex = -1;

bool isSheet(const ui::Popup& p) { return p.kind() == "sheet"; }

double textHeight(const std::string& text, const ui::Font& font, double width) {
    if (text.empty()) return 0;
    return ui::sizeWithFont(text, font, ui::Size{width, 1e6}, ui::LineBreakByWordWrapping).height;
}

PopupLayout layoutAlert(const ui::Popup& p, ui::Size screen) {
    PopupLayout out;
    const double textW = kAlertWidth - 2 * kAlertPadding;
    double y = kAlertMargin;
    double th = textHeight(p.title(), kTitleFont, textW);
    if (th > 0) {
        out.title = ui::Rect(kAlertPadding, y, textW, th);
        y += th;
    }
    double mh = textHeight(p.messageText(), kMessageFont, textW);
    if (mh > 0) {
        if (th > 0) y += 4;
        out.message = ui::Rect(kAlertPadding, y, textW, mh);
        y += mh;
    }
    y += kAlertMargin;
    const int n = p.numberOfButtons();
    out.buttons.assign(static_cast<std::size_t>(std::max(0, n)), ui::Rect{});
    if (n == 2) {
        // Side by side, the cancel button on the left.
        int left = p.cancelButtonIndex() == 1 ? 1 : 0;
        out.buttons[static_cast<std::size_t>(left)] = ui::Rect(0, y, kAlertWidth / 2, kRowHeight);
        out.buttons[static_cast<std::size_t>(1 - left)] = ui::Rect(kAlertWidth / 2, y, kAlertWidth / 2, kRowHeight);
        y += kRowHeight;
    } else {
        // Stacked, the cancel button last.
        for (int i = 0; i < n; ++i) {
            if (i == p.cancelButtonIndex()) continue;
            out.buttons[static_cast<std::size_t>(i)] = ui::Rect(0, y, kAlertWidth, kRowHeight);
            y += kRowHeight;
        }
        if (p.cancelButtonIndex() >= 0 && p.cancelButtonIndex() < n) {
            out.buttons[static_cast<std::size_t>(p.cancelButtonIndex())] = ui::Rect(0, y, kAlertWidth, kRowHeight);
            y += kRowHeight;
        }
    }
    double x0 = std::round((screen.width - kAlertWidth) / 2);
    double y0 = std::round(std::max(kAlertMargin, (screen.height - y) / 2));
    out.panel = ui::Rect(x0, y0, kAlertWidth, y);
    auto move = [&](ui::Rect& r) {
        if (!r.isEmpty()) r = r.offsetBy(x0, y0);
    };
    move(out.title);
    move(out.message);
    for (auto& r : out.buttons) move(r);
    return out;
}

PopupLayout layoutSheet(const ui::Popup& p, ui::Size screen) {
    PopupLayout out;
    const double w = screen.width - 2 * kSheetMargin;
    const int n = p.numberOfButtons();
    const int cancel = p.cancelButtonIndex() >= 0 && p.cancelButtonIndex() < n ? p.cancelButtonIndex() : -1;
    out.buttons.assign(static_cast<std::size_t>(std::max(0, n)), ui::Rect{});

    double bottom = screen.height - kSheetMargin;
    if (cancel >= 0) {
        out.cancelPanel = ui::Rect(kSheetMargin, bottom - kRowHeight, w, kRowHeight);
        out.buttons[static_cast<std::size_t>(cancel)] = out.cancelPanel;
        bottom = out.cancelPanel.minY() - kSheetMargin;
    }
    const int rows = n - (cancel >= 0 ? 1 : 0);
    double titleArea = 0, th = textHeight(p.title(), kSheetTitleFont, w - 2 * kAlertPadding);
    if (th > 0) titleArea = th + 2 * 14;
    const double h = titleArea + rows * kRowHeight;
    if (h > 0) {
        out.panel = ui::Rect(kSheetMargin, bottom - h, w, h);
        if (th > 0) out.title = ui::Rect(kSheetMargin + kAlertPadding, out.panel.minY() + 14, w - 2 * kAlertPadding, th);
        double y = out.panel.minY() + titleArea;
        for (int i = 0; i < n; ++i) {
            if (i == cancel) continue;
            out.buttons[static_cast<std::size_t>(i)] = ui::Rect(kSheetMargin, y, w, kRowHeight);
            y += kRowHeight;
        }
    }
    return out;
}

void drawButtonRow(cairo_t* cr, const ui::Popup& p, int i, const ui::Rect& r, bool sheet) {
    const bool cancel = i == p.cancelButtonIndex();
    const bool destructive = sheet && i == static_cast<const ui::ActionSheet&>(p).destructiveButtonIndex();
    const ui::Font& font = sheet ? (cancel ? kSheetCancelFont : kSheetButtonFont)
                                 : (cancel ? kAlertCancelFont : kAlertButtonFont);
    paint::drawText(cr, p.buttonTitleAtIndex(i), font, destructive ? kDestructive : kTint, r.insetBy(8, 0),
                    ui::TextAlignmentCenter);
}

}  // namespace

PopupLayout layoutPopup(const ui::Popup& popup, ui::Size screen) {
    return isSheet(popup) ? layoutSheet(popup, screen) : layoutAlert(popup, screen);
}

int popupButtonAt(const ui::Popup& popup, ui::Point pt) {
    PopupLayout l = layoutPopup(popup, ui::Screen::mainScreen().bounds().size);
    for (std::size_t i = 0; i < l.buttons.size(); ++i) {
        if (l.buttons[i].contains(pt)) return static_cast<int>(i);
    }
    return -1;
}

void setPressedPopupButton(const ui::Popup* popup, int index) {
    g_pressedPopup = popup;
    g_pressedIndex = popup ? index : -1;
}

namespace detail {

void drawPopup(cairo_t* cr, const ui::Popup& p, ui::Size screen) {
    const bool sheet = isSheet(p);
    const PopupLayout l = layoutPopup(p, screen);
    cairo_save(cr);
    paint::fillRect(cr, ui::Rect(0, 0, screen.width, screen.height), kDim);

    const double radius = sheet ? 4 : kCorner;
    paint::fillRect(cr, l.panel, kPanel, radius);
    if (!l.cancelPanel.isEmpty()) paint::fillRect(cr, l.cancelPanel, ui::Color::whiteColor(), radius);

    // Pressed button, under its title; clipped to the rounded panels.
    if (g_pressedPopup == &p && g_pressedIndex >= 0 && g_pressedIndex < static_cast<int>(l.buttons.size())) {
        const ui::Rect& r = l.buttons[static_cast<std::size_t>(g_pressedIndex)];
        cairo_save(cr);
        paint::roundedRect(cr, r.intersects(l.cancelPanel) ? l.cancelPanel : l.panel, radius);
        cairo_clip(cr);
        paint::fillRect(cr, r, kPressed);
        cairo_restore(cr);
    }

    if (!l.title.isEmpty()) {
        paint::drawText(cr, p.title(), sheet ? kSheetTitleFont : kTitleFont,
                        sheet ? ui::Color::colorWithWhite(0.56, 1) : ui::Color::blackColor(), l.title,
                        ui::TextAlignmentCenter, 0, ui::LineBreakByWordWrapping);
    }
    if (!l.message.isEmpty()) {
        paint::drawText(cr, p.messageText(), kMessageFont, ui::Color::blackColor(), l.message, ui::TextAlignmentCenter,
                        0, ui::LineBreakByWordWrapping);
    }
    for (int i = 0; i < static_cast<int>(l.buttons.size()); ++i) {
        const ui::Rect& r = l.buttons[static_cast<std::size_t>(i)];
        if (r.isEmpty()) continue;
        // A line above each row that follows text or another row in its panel,
        // and between two buttons side by side.
        const bool panelTop = (sheet && (r.minY() == l.panel.minY() || r == l.cancelPanel));
        if (!panelTop) paint::hairline(cr, r.minX(), r.minY(), r.maxX(), r.minY(), kSeparator);
        if (!sheet && r.minX() > l.panel.minX()) paint::hairline(cr, r.minX(), r.minY(), r.minX(), r.maxY(), kSeparator);
        drawButtonRow(cr, p, i, r, sheet);
    }
    cairo_restore(cr);
}

}  // namespace detail

}  // namespace render
