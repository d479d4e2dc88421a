// Fonts: the system font and its bold face at a size in points. Every font is
// drawn with one CJK-capable family (WenQuanYi Micro Hei), so measuring and
// drawing agree; text measurement lives in Text.h.
#pragma once

#include <string>

namespace ui {

struct Font {
    std::string familyName;
    double pointSize = 17;
    bool bold = false;

    static Font systemFontOfSize(double size);
    static Font boldSystemFontOfSize(double size);
    // Any name gives the system family; a name containing "Bold" the bold face.
    static Font fontWithName(const std::string& name, double size);

    Font fontWithSize(double size) const { return Font{familyName, size, bold}; }

    // Line metrics in points, from the font system.
    double lineHeight() const;
    double ascender() const;
    double descender() const;  // negative, as the platform reports it

    friend bool operator==(const Font&, const Font&) = default;
};

// The family every system font uses.
inline constexpr const char* kSystemFontFamily = "WenQuanYi Micro Hei";

std::string toString(const Font& f);

}  // namespace ui
