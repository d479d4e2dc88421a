// Bitmap contexts, stretched drawing and JPEG output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "foundation/Log.h"
#include "uikit/BitmapContext.h"
#include "uikit/Image.h"

namespace {

using ui::ImagePtr;

ImagePtr makeImage(int w, int h, const std::function<void(int, int, std::uint8_t*)>& pixel) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) pixel(x, y, &rgba[(static_cast<std::size_t>(y) * w + x) * 4]);
    }
    return ui::Image::imageWithPixels(w, h, std::move(rgba));
}

const std::uint8_t* at(const ImagePtr& img, int x, int y) {
    return &img->pixels()[(static_cast<std::size_t>(y) * img->pixelWidth() + x) * 4];
}

// A photo-like picture: smooth gradients plus deterministic noise, so the
// JPEG quality setting matters.
ImagePtr photo(int w, int h) {
    unsigned seed = 12345;
    return makeImage(w, h, [&](int x, int y, std::uint8_t* p) {
        seed = seed * 1103515245u + 12345u;
        int noise = static_cast<int>((seed >> 16) % 41) - 20;
        p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / w + noise, 0, 255));
        p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / h + noise, 0, 255));
        p[2] = static_cast<std::uint8_t>(std::clamp(((x + y) * 3) % 256 + noise, 0, 255));
        p[3] = 255;
    });
}

double meanAbsError(const ImagePtr& a, const ImagePtr& b) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a->pixels().size(); i += 4) {
        for (int c = 0; c < 3; ++c) sum += std::abs(int(a->pixels()[i + c]) - int(b->pixels()[i + c]));
        n += 3;
    }
    return sum / n;
}

ImagePtr stretched(const ImagePtr& src, ui::Size size) {
    ui::GraphicsBeginImageContextWithOptions(size, false, 1.0);
    ui::drawImageInRect(*src, ui::Rect(0, 0, size.width, size.height));
    ImagePtr out = ui::GraphicsGetImageFromCurrentImageContext();
    ui::GraphicsEndImageContext();
    return out;
}

TEST(JPEG, QualityChangesTheSizeAndBothDecodeBack) {
    ImagePtr src = photo(240, 240);
    auto low = ui::ImageJPEGRepresentation(src, 0.3);
    auto high = ui::ImageJPEGRepresentation(src, 0.9);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size() * 3 / 2, high->size()) << low->size() << " vs " << high->size();
    EXPECT_EQ((*low)[0], 0xFF);
    EXPECT_EQ((*low)[1], 0xD8);  // a JPEG stream

    ImagePtr lowBack = ui::Image::imageWithData(*low);
    ImagePtr highBack = ui::Image::imageWithData(*high);
    ASSERT_TRUE(lowBack && highBack);
    EXPECT_EQ(lowBack->pixelWidth(), 240);
    EXPECT_EQ(lowBack->pixelHeight(), 240);
    double lowErr = meanAbsError(src, lowBack), highErr = meanAbsError(src, highBack);
    EXPECT_LT(highErr, lowErr);
    EXPECT_LT(lowErr, 20);  // still the same picture
}

TEST(JPEG, QualityIsClampedAndTransparencyDropped) {
    ImagePtr src = photo(32, 32);
    auto zero = ui::ImageJPEGRepresentation(src, 0.0), tiny = ui::ImageJPEGRepresentation(src, 0.01);
    auto over = ui::ImageJPEGRepresentation(src, 7.0), full = ui::ImageJPEGRepresentation(src, 1.0);
    ASSERT_TRUE(zero && tiny && over && full);
    EXPECT_EQ(*zero, *tiny);  // quality 0 is libjpeg's 1
    EXPECT_EQ(*over, *full);
    EXPECT_FALSE(ui::ImageJPEGRepresentation(nullptr, 0.5));

    ImagePtr clear = makeImage(8, 8, [](int, int, std::uint8_t* p) { p[0] = 255, p[1] = 255, p[2] = 255, p[3] = 0; });
    ImagePtr back = ui::Image::imageWithData(*ui::ImageJPEGRepresentation(clear, 1.0));
    ASSERT_TRUE(back);
    EXPECT_LT(at(back, 4, 4)[0], 8);  // over black, as premultiplied pixels are
    EXPECT_EQ(at(back, 4, 4)[3], 255);
}

TEST(BitmapContext, ShrinkingAveragesInsteadOfPickingPixels) {
    // One-pixel black and white columns: any pixel-picking shrink gives pure
    // black or white columns; real resampling gives grey.
    ImagePtr stripes = makeImage(480, 240, [](int x, int, std::uint8_t* p) {
        std::uint8_t v = x % 2 ? 255 : 0;
        p[0] = p[1] = p[2] = v;
        p[3] = 255;
    });
    ImagePtr out = stretched(stripes, ui::Size{240, 240});
    ASSERT_TRUE(out);
    EXPECT_EQ(out->pixelWidth(), 240);
    EXPECT_EQ(out->pixelHeight(), 240);
    for (int x : {0, 1, 57, 120, 238, 239}) {
        const std::uint8_t* p = at(out, x, 100);
        EXPECT_NEAR(p[0], 128, 12) << "column " << x;
        EXPECT_EQ(p[3], 255);
    }
}

TEST(BitmapContext, EnlargingInterpolatesAndTheWholeRectangleIsFilled) {
    // 2 x 1: black then white, stretched to 240 x 240 — a smooth ramp that
    // fills the square top to bottom (no cropping, no letterbox).
    ImagePtr two = makeImage(2, 1, [](int x, int, std::uint8_t* p) {
        p[0] = p[1] = p[2] = x ? 255 : 0;
        p[3] = 255;
    });
    ImagePtr out = stretched(two, ui::Size{240, 240});
    ASSERT_TRUE(out);
    for (int y : {0, 120, 239}) {
        EXPECT_EQ(at(out, 0, y)[0], 0);
        EXPECT_EQ(at(out, 239, y)[0], 255);
        EXPECT_NEAR(at(out, 120, y)[0], 128, 4);
        EXPECT_EQ(at(out, 120, y)[3], 255);
        int previous = -1;
        for (int x = 0; x < 240; ++x) {  // monotonic ramp
            EXPECT_GE(at(out, x, y)[0], previous);
            previous = at(out, x, y)[0];
        }
    }
}

TEST(BitmapContext, AspectIsNotKeptAndColoursStayPut) {
    // Wide picture, left half red, right half blue, into a square.
    ImagePtr wide = makeImage(400, 100, [](int x, int, std::uint8_t* p) {
        p[0] = x < 200 ? 255 : 0;
        p[1] = 0;
        p[2] = x < 200 ? 0 : 255;
        p[3] = 255;
    });
    ImagePtr out = stretched(wide, ui::Size{240, 240});
    for (int y : {0, 239}) {
        EXPECT_EQ(at(out, 10, y)[0], 255);
        EXPECT_EQ(at(out, 10, y)[2], 0);
        EXPECT_EQ(at(out, 230, y)[2], 255);
        EXPECT_EQ(at(out, 230, y)[0], 0);
    }
}

TEST(BitmapContext, BackgroundsScaleClippingAndStack) {
    ui::GraphicsBeginImageContextWithOptions(ui::Size{10, 10}, true, 2.0);
    ImagePtr opaque = ui::GraphicsGetImageFromCurrentImageContext();
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->pixelWidth(), 20);
    EXPECT_DOUBLE_EQ(opaque->size().width, 10);
    EXPECT_EQ(at(opaque, 5, 5)[3], 255);
    EXPECT_EQ(at(opaque, 5, 5)[0], 0);

    // A nested context is drawn into until it ends.
    ui::GraphicsBeginImageContext(ui::Size{4, 4});
    ImagePtr red = makeImage(1, 1, [](int, int, std::uint8_t* p) { p[0] = 255, p[1] = 0, p[2] = 0, p[3] = 255; });
    ui::drawImageInRect(*red, ui::Rect(2, 2, 10, 10));  // partly outside: clipped
    ImagePtr inner = ui::GraphicsGetImageFromCurrentImageContext();
    EXPECT_EQ(at(inner, 0, 0)[3], 0);  // untouched: transparent
    EXPECT_EQ(at(inner, 3, 3)[0], 255);
    EXPECT_EQ(at(inner, 3, 3)[3], 255);
    ui::GraphicsEndImageContext();
    EXPECT_EQ(ui::GraphicsGetCurrentContext()->pixelWidth(), 20);
    ui::GraphicsEndImageContext();

    EXPECT_EQ(ui::GraphicsGetCurrentContext(), nullptr);
    EXPECT_EQ(ui::GraphicsGetImageFromCurrentImageContext(), nullptr);
    ns::LogCapture log;
    ui::drawImageInRect(*red, ui::Rect(0, 0, 1, 1));
    EXPECT_TRUE(log.contains("invalid context"));
    ui::GraphicsEndImageContext();  // nothing to end: harmless
}

TEST(BitmapContext, HalfTransparentEdgesDoNotDarken) {
    // White pixels next to transparent black ones: premultiplied filtering
    // keeps the colour white where coverage fades.
    ImagePtr half = makeImage(2, 1, [](int x, int, std::uint8_t* p) {
        p[0] = p[1] = p[2] = x ? 0 : 255;
        p[3] = x ? 0 : 255;
    });
    std::vector<std::uint8_t> out = ui::resampleRGBA(half->pixels(), 2, 1, 8, 1);
    ASSERT_EQ(out.size(), 32u);
    for (int x = 0; x < 8; ++x) {
        if (out[x * 4 + 3] > 0) {
            EXPECT_EQ(out[x * 4], 255) << x;
        }
    }
    EXPECT_GT(out[3], out[7 * 4 + 3]);
    EXPECT_TRUE(ui::resampleRGBA(half->pixels(), 3, 1, 8, 1).empty());
}

}  // namespace
