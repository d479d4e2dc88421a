// Points, sizes, rectangles and edge insets, in points (floating point), as
// the screens lay themselves out: Rect{x, y, width, height}, r.origin.y,
// r.size.width, ui::maxY(r) for chaining one element under another.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

namespace ui {

using Float = double;

struct Point {
    Float x = 0;
    Float y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    Float width = 0;
    Float height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Float x, Float y, Float width, Float height) : origin{x, y}, size{width, height} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    Float minX() const { return std::min(origin.x, origin.x + size.width); }
    Float minY() const { return std::min(origin.y, origin.y + size.height); }
    Float maxX() const { return std::max(origin.x, origin.x + size.width); }
    Float maxY() const { return std::max(origin.y, origin.y + size.height); }
    Float midX() const { return origin.x + size.width / 2; }
    Float midY() const { return origin.y + size.height / 2; }
    Float width() const { return std::fabs(size.width); }
    Float height() const { return std::fabs(size.height); }
    bool isEmpty() const { return size.width == 0 || size.height == 0; }

    // The point lies inside: left and top edges included, right and bottom not.
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
    bool containsRect(const Rect& r) const {
        return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
    }
    bool intersects(const Rect& r) const {
        return r.minX() < maxX() && minX() < r.maxX() && r.minY() < maxY() && minY() < r.maxY();
    }
    Rect intersection(const Rect& r) const;  // empty Rect{} when they do not meet
    Rect offsetBy(Float dx, Float dy) const { return Rect(origin.x + dx, origin.y + dy, size.width, size.height); }
    Rect insetBy(Float dx, Float dy) const {
        return Rect(origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy);
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect Rect::intersection(const Rect& r) const {
    if (!intersects(r)) return Rect{};
    Float x0 = std::max(minX(), r.minX()), y0 = std::max(minY(), r.minY());
    Float x1 = std::min(maxX(), r.maxX()), y1 = std::min(maxY(), r.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

// The free functions screens chain layouts with.
inline Float minX(const Rect& r) { return r.minX(); }
inline Float minY(const Rect& r) { return r.minY(); }
inline Float maxX(const Rect& r) { return r.maxX(); }
inline Float maxY(const Rect& r) { return r.maxY(); }
inline Float midX(const Rect& r) { return r.midX(); }
inline Float midY(const Rect& r) { return r.midY(); }
inline Float width(const Rect& r) { return r.width(); }
inline Float height(const Rect& r) { return r.height(); }

struct EdgeInsets {
    Float top = 0;
    Float left = 0;
    Float bottom = 0;
    Float right = 0;
    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

inline Rect insetRect(const Rect& r, const EdgeInsets& e) {
    return Rect(r.origin.x + e.left, r.origin.y + e.top, r.size.width - e.left - e.right,
                r.size.height - e.top - e.bottom);
}

// "(x, y, w, h)" with numbers as "%g" gives them; for dumps and messages.
std::string toString(const Point& p);
std::string toString(const Size& s);
std::string toString(const Rect& r);

}  // namespace ui
