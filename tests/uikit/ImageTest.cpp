#include <gtest/gtest.h>

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "UITestSupport.h"
#include "uikit/BitmapContext.h"
#include "demo/HostileData.h"

using namespace ui;

namespace {

ns::Bytes makePNG(int w, int h, std::uint8_t r) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = static_cast<png_uint_32>(w);
    img.height = static_cast<png_uint_32>(h);
    img.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w * h * 4));
    for (int i = 0; i < w * h; ++i) {
        px[static_cast<std::size_t>(i * 4)] = r;
        px[static_cast<std::size_t>(i * 4 + 3)] = 128;
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&img, nullptr, &size, 0, px.data(), 0, nullptr);
    ns::Bytes out(size);
    png_image_write_to_memory(&img, out.data(), &size, 0, px.data(), 0, nullptr);
    out.resize(size);
    return out;
}

ns::Bytes makeJPEG(int w, int h) {
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(w * h * 4), 200);
    for (std::size_t i = 3; i < grey.size(); i += 4) grey[i] = 255;
    ns::Bytes out;
    EXPECT_TRUE(ui::encodeJPEG(w, h, grey, 75, &out));
    return out;
}

class ImageTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::resetForTesting();
        dir = std::filesystem::path(std::getenv("KL_HOME")) / "res";
        std::filesystem::create_directories(dir);
        Image::setResourceDirectory(dir.string());
    }
    void TearDown() override { Image::setResourceDirectory(""); }
    void write(const std::string& name, const ns::Bytes& b) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                          static_cast<std::streamsize>(b.size()));
    }
    std::filesystem::path dir;
};

TEST_F(ImageTest, DecodesPNGAndJPEGBytes) {
    auto png = Image::imageWithData(makePNG(3, 2, 250));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->size(), (Size{3, 2}));
    EXPECT_EQ(png->pixels().size(), 24u);
    EXPECT_EQ(png->pixels()[0], 250);
    EXPECT_EQ(png->pixels()[3], 128);  // alpha kept, not premultiplied

    auto jpg = Image::imageWithData(makeJPEG(16, 8));
    ASSERT_TRUE(jpg);
    EXPECT_EQ(jpg->pixelWidth(), 16);
    EXPECT_EQ(jpg->pixelHeight(), 8);
    EXPECT_NEAR(jpg->pixels()[0], 200, 3);
    EXPECT_EQ(jpg->pixels()[3], 255);

    EXPECT_EQ(Image::imageWithData(ns::Bytes{'G', 'I', 'F', '8', '9', 'a'}), nullptr);
    EXPECT_EQ(Image::imageWithData({}), nullptr);
    auto truncated = makeJPEG(16, 8);
    truncated.resize(truncated.size() / 3);
    auto t = Image::imageWithData(truncated);  // a cut-off JPEG is refused or partly decoded, never a crash
    if (t) {
        EXPECT_EQ(t->pixelWidth(), 16);
    }
    auto badPng = makePNG(4, 4, 1);
    badPng.resize(40);
    EXPECT_EQ(Image::imageWithData(badPng), nullptr);
}

TEST_F(ImageTest, PNGChunksAreCheckedOnlyBeforeTheImageData) {
    auto png = makePNG(4, 3, 9);
    ns::Bytes ending(png.end() - 12, png.end());  // IEND
    ns::Bytes body(png.begin(), png.end() - 12);
    auto chunk = [](std::uint32_t declared, const char* type) {
        ns::Bytes c = {static_cast<std::uint8_t>(declared >> 24), static_cast<std::uint8_t>(declared >> 16),
                       static_cast<std::uint8_t>(declared >> 8), static_cast<std::uint8_t>(declared)};
        c.insert(c.end(), type, type + 4);
        c.insert(c.end(), {'a', 'b', 'c'});
        return c;
    };
    // After the image data nothing is read: a cut chunk or no IEND is fine.
    for (const ns::Bytes& tail : {ending, chunk(0x7fffff00, "tEXt"), chunk(100, "zTXt"), ns::Bytes{}}) {
        ns::Bytes in = body;
        in.insert(in.end(), tail.begin(), tail.end());
        auto image = Image::imageWithData(in);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), (Size{4, 3}));
    }
    // Before it, a chunk longer than the bytes is refused without being read.
    ns::Bytes early(png.begin(), png.begin() + 33);  // signature and IHDR
    auto huge = chunk(0x7fffff00, "zTXt");
    early.insert(early.end(), huge.begin(), huge.end());
    early.insert(early.end(), png.begin() + 33, png.end());
    EXPECT_EQ(Image::imageWithData(early), nullptr);
}

TEST_F(ImageTest, PicturesBeyondTheLimitsAreRefusedByTheirHeader) {
    auto bytes = [](const std::string& s) { return ns::Bytes(s.begin(), s.end()); };
    ns::Bytes truncated = bytes(demo::blackPNG(4000, 3000));
    truncated.resize(truncated.size() / 2);
    // What allocated gigabytes: a 33 KB PNG and a 600-byte JPEG of 16384 x 16384.
    const std::pair<const char*, ns::Bytes> refused[] = {
        {"PNG 16384 x 16384", bytes(demo::blackPNG(16384, 16384))},
        {"JPEG claiming 16384 x 16384", bytes(demo::jpegClaiming(16384, 16384))},
        {"PNG of 8193 x 4096, one row over the pixels", bytes(demo::blackPNG(8193, 4096))},
        {"JPEG claiming a side over 16384", bytes(demo::jpegClaiming(16385, 16))},
        {"truncated PNG", truncated},
        {"interlaced PNG of 2000 x 2000", bytes(demo::blackPNG(2000, 2000, true))},
    };
    for (const auto& [what, data] : refused) EXPECT_EQ(Image::imageWithData(data), nullptr) << what;
}

TEST_F(ImageTest, LargePicturesAreDecodedScaledDownKeepingTheirSizeInPoints) {
    struct Case {
        const char* what;
        ns::Bytes data;
        double scale;
        Size size;
        int pixelWidth, pixelHeight;
    };
    auto bytes = [](const std::string& s) { return ns::Bytes(s.begin(), s.end()); };
    const Case cases[] = {
        {"photograph", makeJPEG(4000, 3000), 1, {4000, 3000}, 984, 738},
        {"translucent PNG at 2x", makePNG(2000, 1500, 250), 2, {1000, 750}, 984, 738},
        {"as large as allowed", bytes(demo::blackPNG(8192, 4096)), 1, {8192, 4096}, 1205, 602},
        {"interlaced", bytes(demo::blackPNG(1000, 800, true)), 1, {1000, 800}, 953, 762},
        {"a screenful", makePNG(640, 1136, 7), 1, {640, 1136}, 640, 1136},
    };
    for (const auto& c : cases) {
        auto image = Image::imageWithData(c.data, c.scale);
        ASSERT_TRUE(image) << c.what;
        EXPECT_EQ(image->size(), c.size) << c.what;
        EXPECT_EQ(image->pixelWidth(), c.pixelWidth) << c.what;
        EXPECT_EQ(image->pixelHeight(), c.pixelHeight) << c.what;
        EXPECT_LE(static_cast<std::int64_t>(image->pixelWidth()) * image->pixelHeight(), kMaxDecodedPixels);
    }
    // The colours come through the averaging: the photo's grey, the PNG's
    // red at half alpha.
    auto photo = Image::imageWithData(cases[0].data);
    EXPECT_NEAR(photo->pixels()[0], 200, 3);
    EXPECT_EQ(photo->pixels()[3], 255);
    auto translucent = Image::imageWithData(cases[1].data);
    const auto& px = translucent->pixels();
    std::size_t middle = (px.size() / 8) * 4;
    EXPECT_EQ(std::vector<int>(px.begin() + static_cast<long>(middle), px.begin() + static_cast<long>(middle) + 4),
              (std::vector<int>{250, 0, 0, 128}));
}

TEST_F(ImageTest, NamedImagesComeFromTheResourcesAndPreferTwoX) {
    write("menu.png", makePNG(22, 22, 1));
    write("navbar.png", makePNG(320, 64, 1));
    write("navbar@2x.png", makePNG(640, 128, 2));
    auto menu = Image::imageNamed("menu");  // no such file: menu.png
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->name(), "menu");
    EXPECT_EQ(menu->size(), (Size{22, 22}));
    write("arrow", makePNG(24, 20, 1));  // an exact name wins
    EXPECT_EQ(Image::imageNamed("arrow")->size(), (Size{24, 20}));
    EXPECT_EQ(Image::imageNamed("menu.png")->size(), (Size{22, 22}));
    EXPECT_EQ(Image::imageNamed("menu.png"), Image::imageNamed("menu.png"));  // cached

    Screen::mainScreen().setScale(2);
    auto bar = Image::imageNamed("navbar.png");
    EXPECT_EQ(bar->scale(), 2);
    EXPECT_EQ(bar->size(), (Size{320, 64}));
    Image::clearCache();
    Screen::mainScreen().setScale(1);
    EXPECT_EQ(Image::imageNamed("navbar.png")->scale(), 1);

    EXPECT_EQ(Image::imageNamed("missing.png"), nullptr);
    EXPECT_EQ(Image::imageNamed(""), nullptr);

    auto view = create<ImageView>(Image::imageNamed("menu.png"));
    EXPECT_EQ(view->frame(), (Rect{0, 0, 22, 22}));
    EXPECT_FALSE(view->isUserInteractionEnabled());
    EXPECT_EQ(view->debugText(), "image:menu.png");
}

TEST_F(ImageTest, TheBundlesPicturesLoad) {
    Image::setResourceDirectory("");
    for (const char* name : {"menu.png", "menu", "navbar.png", "icon_empty.png", "test_adv_item.jpg"}) {
        auto img = Image::imageNamed(name);
        ASSERT_TRUE(img) << name;
        EXPECT_GT(img->size().width, 0) << name;
    }
    EXPECT_EQ(Image::imageNamed("menu")->size(), (Size{24, 20}));
}

TEST_F(ImageTest, PixelImagesCheckTheirSize) {
    EXPECT_TRUE(Image::imageWithPixels(2, 2, std::vector<std::uint8_t>(16)));
    EXPECT_EQ(Image::imageWithPixels(2, 2, std::vector<std::uint8_t>(15)), nullptr);
    EXPECT_EQ(Image::imageWithPixels(0, 2, {}), nullptr);
    EXPECT_EQ(Image::imageWithPixels(4, 4, std::vector<std::uint8_t>(64), 2)->size(), (Size{2, 2}));
}

}  // namespace
