// Shared set-up for the renderer's tests: a fresh application with a white
// full-screen window, and pixel probes in points.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "render/Renderer.h"
#include "support/ScreenTest.h"
#include "uikit/TestDriver.h"
#include "uikit/UIKit.h"

namespace rendertest {

class RenderTest : public testsupport::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        window->setBackgroundColor(ui::Color::whiteColor());
        window->makeKeyAndVisible();
    }

    // The screen now, at 2x. With KL_RENDER_TEST_PNG set to a folder, it is
    // also written there under the name, for looking at.
    std::unique_ptr<render::Canvas> shot(const std::string& name = {}) {
        auto c = render::snapshot(2);
        if (const char* dir = std::getenv("KL_RENDER_TEST_PNG"); dir && !name.empty()) {
            c->writePNG(std::string(dir) + "/" + name + ".png");
        }
        return c;
    }

};

inline int colorDistance(render::Pixel a, render::Pixel b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) + std::abs(a.a - b.a);
}

// The pixel in the middle of a point.
inline render::Pixel at(const render::Canvas& c, double x, double y) {
    return c.pixel(static_cast<int>(std::floor(x * c.scale())), static_cast<int>(std::floor(y * c.scale())));
}

// Calls `ink(x, y)` for each device pixel within the rectangle (points) that
// differs clearly from `ground`, row by row; it answers false to skip the rest of the row.
template <class F>
void eachInk(const render::Canvas& c, const ui::Rect& r, render::Pixel ground, int threshold, F&& ink) {
    int x0 = static_cast<int>(std::floor(r.minX() * c.scale())), x1 = static_cast<int>(std::ceil(r.maxX() * c.scale()));
    int y0 = static_cast<int>(std::floor(r.minY() * c.scale())), y1 = static_cast<int>(std::ceil(r.maxY() * c.scale()));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (colorDistance(c.pixel(x, y), ground) > threshold && !ink(x, y)) break;
}

inline int inkCount(const render::Canvas& c, const ui::Rect& r, render::Pixel ground, int threshold = 60) {
    int n = 0;
    eachInk(c, r, ground, threshold, [&](int, int) { return ++n; });
    return n;
}

// The first and last pixel rows (device pixels) with ink in the rectangle; {-1, -1} for none.
inline std::pair<int, int> inkRows(const render::Canvas& c, const ui::Rect& r, render::Pixel ground,
                                   int threshold = 60) {
    std::pair<int, int> out{-1, -1};
    eachInk(c, r, ground, threshold, [&](int, int y) {
        if (out.first < 0) out.first = y;
        out.second = y;
        return false;
    });
    return out;
}

// Whether two pixels are the same colour within the tolerance.
inline bool near(render::Pixel p, render::Pixel q, int tolerance = 8) { return colorDistance(p, q) <= tolerance; }

inline constexpr render::Pixel kWhite{255, 255, 255, 255};
inline constexpr render::Pixel kBlack{0, 0, 0, 255};

// A picture of w x h pixels: the left half one colour, the right half another.
inline ui::ImagePtr twoToneImage(int w, int h, render::Pixel left, render::Pixel right, double scale = 1) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            render::Pixel p = x < w / 2 ? left : right;
            std::uint8_t* q = &px[(static_cast<std::size_t>(y) * w + x) * 4];
            q[0] = p.r, q[1] = p.g, q[2] = p.b, q[3] = p.a;
        }
    }
    return ui::Image::imageWithPixels(w, h, std::move(px), scale);
}

}  // namespace rendertest
