// Colours: RGBA components from 0 to 1, with the platform's named colours.
//   ui::Color::colorWithRed(0.89, 0.89, 0.89, 1)
//   ui::Color::colorWithWhite(0, 0.6)
//   ui::Color::lightGrayColor()
// A layer's colour (CGColor) is the same value: color.CGColor().
#pragma once

#include <string>

namespace ui {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    static constexpr Color colorWithRed(double r, double g, double b, double a) { return Color{r, g, b, a}; }
    static constexpr Color colorWithWhite(double w, double a) { return Color{w, w, w, a}; }

    static constexpr Color blackColor() { return Color{0, 0, 0, 1}; }
    static constexpr Color darkGrayColor() { return Color{1.0 / 3, 1.0 / 3, 1.0 / 3, 1}; }
    static constexpr Color lightGrayColor() { return Color{2.0 / 3, 2.0 / 3, 2.0 / 3, 1}; }
    static constexpr Color whiteColor() { return Color{1, 1, 1, 1}; }
    static constexpr Color grayColor() { return Color{0.5, 0.5, 0.5, 1}; }
    static constexpr Color redColor() { return Color{1, 0, 0, 1}; }
    static constexpr Color greenColor() { return Color{0, 1, 0, 1}; }
    static constexpr Color blueColor() { return Color{0, 0, 1, 1}; }
    static constexpr Color cyanColor() { return Color{0, 1, 1, 1}; }
    static constexpr Color yellowColor() { return Color{1, 1, 0, 1}; }
    static constexpr Color magentaColor() { return Color{1, 0, 1, 1}; }
    static constexpr Color orangeColor() { return Color{1, 0.5, 0, 1}; }
    static constexpr Color purpleColor() { return Color{0.5, 0, 0.5, 1}; }
    static constexpr Color brownColor() { return Color{0.6, 0.4, 0.2, 1}; }
    static constexpr Color clearColor() { return Color{0, 0, 0, 0}; }

    constexpr Color colorWithAlphaComponent(double a) const { return Color{red, green, blue, a}; }
    constexpr Color CGColor() const { return *this; }
    bool isClear() const { return alpha <= 0; }

    friend bool operator==(const Color&, const Color&) = default;
};

// "rgba(r,g,b,a)" for dumps.
std::string toString(const Color& c);

}  // namespace ui
