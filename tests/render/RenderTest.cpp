#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "RenderTestSupport.h"

using namespace ui;
using namespace rendertest;
using render::Pixel;

namespace {

using ScreenTest = RenderTest;

// A screen as the home screen lays itself out: a bar picture on top and
// twelve tiles (a picture button with a caption under it) in three columns.
struct TileScreen {
    std::vector<ButtonPtr> tiles;
    std::vector<LabelPtr> captions;
    ViewPtr root;
};

TileScreen buildTiles(const WindowPtr& window) {
    static const char* names[] = {"时事直通", "文明创建", "党建网格", "便民服务", "社区动态", "政策解读",
                                  "诉求受理", "在线阅读", "通讯录", "活动报名", "民意调查", "关于我们"};
    TileScreen s;
    s.root = create<View>(Screen::mainScreen().bounds());
    s.root->setBackgroundColor(Color::colorWithRed(0.93, 0.95, 0.97, 1));
    auto bar = create<ImageView>(Image::imageNamed("navbar.png"));
    s.root->addSubview(bar);
    auto title = create<Label>(Rect{60, 20, 200, 44});
    title->setText("智慧社区");
    title->setTextAlignment(TextAlignmentCenter);
    title->setTextColor(Color::whiteColor());
    title->setBackgroundColor(Color::clearColor());
    title->setFont(Font::boldSystemFontOfSize(18));
    s.root->addSubview(title);
    for (int i = 0; i < 12; ++i) {
        double x = 15 + (i % 3) * 100, y = 84 + (i / 3) * 118;
        auto b = Button::buttonWithType(ButtonTypeCustom);
        b->setFrame(Rect{x, y, 90, 80});
        b->setBackgroundImage(Image::imageNamed("icon_empty.png"), ControlStateNormal);
        b->setTag(100 + i);
        s.root->addSubview(b);
        auto caption = create<Label>(Rect{x, y + 84, 90, 20});
        caption->setText(names[i]);
        caption->setFont(Font::systemFontOfSize(14));
        caption->setTextAlignment(TextAlignmentCenter);
        caption->setTextColor(Color::darkGrayColor());
        caption->setBackgroundColor(Color::clearColor());
        s.root->addSubview(caption);
        s.tiles.push_back(b);
        s.captions.push_back(caption);
    }
    window->addSubview(s.root);
    return s;
}

TEST_F(ScreenTest, SnapshotIsTheScreenAtTwiceItsPoints) {
    auto c = shot();
    EXPECT_EQ(c->pixelWidth(), 640);
    EXPECT_EQ(c->pixelHeight(), 1136);
    EXPECT_EQ(at(*c, 100, 300), kWhite);  // the window's background

    // The PNG file has the same size (width and height sit at bytes 16..23).
    std::string path = std::string(std::getenv("KL_HOME")) + "/screen.png";
    ASSERT_TRUE(render::snapshotToPNG(path));
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto be32 = [&](std::size_t o) {
        return (static_cast<unsigned char>(bytes[o]) << 24) | (static_cast<unsigned char>(bytes[o + 1]) << 16) |
               (static_cast<unsigned char>(bytes[o + 2]) << 8) | static_cast<unsigned char>(bytes[o + 3]);
    };
    EXPECT_EQ(be32(16), 640u);
    EXPECT_EQ(be32(20), 1136u);
    // A picture that cannot be written says which and why, and leaves nothing.
    std::string why;
    EXPECT_FALSE(render::snapshotToPNG("/nonexistent-folder/x.png", &why));
    EXPECT_EQ(why, std::string("/nonexistent-folder/x.png: ") + std::strerror(ENOENT));
    const std::string taken = std::string(std::getenv("KL_HOME")) + "/taken.png";
    std::filesystem::create_directories(taken);  // a folder in its place
    EXPECT_FALSE(render::snapshotToPNG(taken, &why));
    EXPECT_EQ(why, taken + ": " + std::strerror(EISDIR));
    for (const auto& entry : std::filesystem::directory_iterator(std::getenv("KL_HOME")))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(ScreenTest, TileScreenHasPicturesAndTextInEveryTile) {
    auto s = buildTiles(window);
    auto c = shot("tiles");
    // Not blank: many colours across the screen.
    std::set<std::uint32_t> colours;
    for (int y = 0; y < c->pixelHeight(); y += 7) {
        for (int x = 0; x < c->pixelWidth(); x += 7) {
            auto p = c->pixel(x, y);
            colours.insert((p.r << 16) | (p.g << 8) | p.b);
        }
    }
    EXPECT_GT(colours.size(), 20u);
    const Pixel ground = at(*c, 5, 300);
    for (std::size_t i = 0; i < s.captions.size(); ++i) {
        Rect f = s.captions[i]->frame();
        EXPECT_GT(inkCount(*c, f, ground), 40) << s.captions[i]->text();
        // The (light grey) picture fills the tile's button.
        EXPECT_GT(inkCount(*c, s.tiles[i]->frame(), ground, 10), 90 * 80 * 4 * 9 / 10) << i;
    }
    // The bar's title is white on the bar's picture.
    EXPECT_GT(inkCount(*c, Rect{60, 20, 200, 44}, at(*c, 62, 22)), 40);
}

TEST_F(ScreenTest, HiddenViewsLeaveTheirRegionUntouched) {
    auto s = buildTiles(window);
    auto before = shot();
    auto cover = create<View>(Rect{10, 80, 300, 240});
    cover->setBackgroundColor(Color::redColor());
    auto inner = create<Label>(Rect{10, 10, 200, 30});
    inner->setText("看不见的标签");
    cover->addSubview(inner);
    cover->setHidden(true);
    s.root->addSubview(cover);
    s.tiles[4]->setHidden(true);
    auto after = shot("hidden");
    const Pixel ground = at(*after, 5, 300);
    int changed = 0;
    for (int y = 160; y < 640; ++y) {
        for (int x = 20; x < 620; ++x) {
            if (!(before->pixel(x, y) == after->pixel(x, y))) ++changed;
        }
    }
    // Only the hidden tile's picture went; the hidden cover drew nothing.
    Rect tile = s.tiles[4]->frame();
    EXPECT_EQ(inkCount(*after, tile, ground, 8), 0);
    EXPECT_LE(changed, static_cast<int>(tile.width() * tile.height() * 4));
    EXPECT_GT(changed, 0);

    // Fully transparent views draw nothing either; visible again, it draws.
    cover->setHidden(false);
    cover->setAlpha(0);
    EXPECT_EQ(at(*shot(), 160, 200), at(*after, 160, 200));
    cover->setAlpha(1);
    EXPECT_EQ(at(*shot(), 160, 300), (Pixel{255, 0, 0, 255}));
}

TEST_F(ScreenTest, BackgroundsAlphaClippingCornersAndBorders) {
    auto faded = create<View>(Rect{0, 40, 100, 100});
    faded->setBackgroundColor(Color::blueColor());
    faded->setAlpha(0.5);
    auto child = create<View>(Rect{50, 0, 50, 50});  // faded with its parent
    child->setBackgroundColor(Color::redColor());
    faded->addSubview(child);
    window->addSubview(faded);

    auto clipper = create<View>(Rect{120, 40, 80, 80});
    clipper->setClipsToBounds(true);
    clipper->setBackgroundColor(Color::greenColor());
    auto overflow = create<View>(Rect{40, 40, 100, 100});
    overflow->setBackgroundColor(Color::blackColor());
    clipper->addSubview(overflow);
    window->addSubview(clipper);

    auto loose = create<View>(Rect{220, 40, 40, 40});
    auto outside = create<View>(Rect{50, 0, 30, 30});  // beyond its superview, which does not clip
    outside->setBackgroundColor(Color::blackColor());
    loose->addSubview(outside);
    window->addSubview(loose);

    auto rounded = create<View>(Rect{20, 200, 120, 80});
    rounded->setBackgroundColor(Color::blueColor());
    rounded->layer().setCornerRadius(20);
    rounded->layer().setBorderWidth(3);
    rounded->layer().setBorderColor(Color::redColor());
    window->addSubview(rounded);

    auto c = shot("shapes");
    EXPECT_TRUE(near(at(*c, 20, 60), (Pixel{127, 127, 255, 255})));   // half blue over white
    EXPECT_TRUE(near(at(*c, 75, 60), (Pixel{255, 127, 127, 255})));   // the red child faded too
    EXPECT_TRUE(near(at(*c, 150, 60), (Pixel{0, 255, 0, 255})));
    EXPECT_TRUE(near(at(*c, 190, 110), kBlack));                      // inside the clipper
    EXPECT_TRUE(near(at(*c, 205, 125), kWhite));                      // clipped away
    EXPECT_TRUE(near(at(*c, 285, 55), kBlack));                       // not clipped
    EXPECT_TRUE(near(at(*c, 21, 201), kWhite));                       // the rounded corner is cut
    EXPECT_TRUE(near(at(*c, 80, 240), (Pixel{0, 0, 255, 255})));      // the middle
    EXPECT_TRUE(near(at(*c, 80, 201), (Pixel{255, 0, 0, 255})));      // the border, inside the edge
    EXPECT_TRUE(near(at(*c, 20.5, 240), (Pixel{255, 0, 0, 255})));
    EXPECT_TRUE(near(at(*c, 80, 199.5), kWhite));                     // and not outside it
}

TEST_F(ScreenTest, ImagesFollowTheirContentMode) {
    const Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255};
    auto wide = twoToneImage(40, 20, red, green);  // 2:1, red left, green right
    auto make = [&](Rect frame, ViewContentMode mode) {
        auto v = create<ImageView>(frame);
        v->setImage(wide);
        v->setContentMode(mode);
        window->addSubview(v);
        return v;
    };
    make(Rect{10, 30, 100, 100}, ViewContentModeScaleToFill);
    make(Rect{120, 30, 100, 100}, ViewContentModeScaleAspectFit);
    auto fill = make(Rect{230, 30, 80, 80}, ViewContentModeScaleAspectFill);
    fill->setClipsToBounds(true);
    make(Rect{10, 150, 100, 100}, ViewContentModeCenter);
    make(Rect{120, 150, 100, 100}, ViewContentModeTopLeft);
    auto c = shot("images");
    auto near = [](Pixel p, Pixel q) { return rendertest::near(p, q, 12); };
    // Stretched: top to bottom, half and half.
    EXPECT_TRUE(near(at(*c, 12, 32), red));
    EXPECT_TRUE(near(at(*c, 108, 128), green));
    // Fitted: a 100 x 50 band in the middle, white above and below.
    EXPECT_TRUE(near(at(*c, 170, 40), kWhite));
    EXPECT_TRUE(near(at(*c, 125, 80), red));
    EXPECT_TRUE(near(at(*c, 215, 80), green));
    EXPECT_TRUE(near(at(*c, 170, 125), kWhite));
    // Filled and clipped: 160 x 80 centred, so the edges show the middle part.
    EXPECT_TRUE(near(at(*c, 232, 32), red));
    EXPECT_TRUE(near(at(*c, 308, 108), green));
    EXPECT_TRUE(near(at(*c, 225, 70), kWhite));
    EXPECT_TRUE(near(at(*c, 315, 70), kWhite));
    // Natural size (40 x 20 points at scale 1), centred or in the corner.
    EXPECT_TRUE(near(at(*c, 41, 200), red));
    EXPECT_TRUE(near(at(*c, 39, 200), kWhite));
    EXPECT_TRUE(near(at(*c, 79, 200), green));
    EXPECT_TRUE(near(at(*c, 81, 200), kWhite));
    EXPECT_TRUE(near(at(*c, 60, 189), kWhite));
    EXPECT_TRUE(near(at(*c, 121, 151), red));
    EXPECT_TRUE(near(at(*c, 121, 172), kWhite));

    // A 2x picture is drawn at half its pixels in points.
    auto sharp = create<ImageView>(twoToneImage(40, 20, red, green, 2));
    sharp->setFrame(Rect{240, 150, 20, 10});
    window->addSubview(sharp);
    auto c2 = shot();
    EXPECT_TRUE(near(at(*c2, 241, 151), red));
    EXPECT_TRUE(near(at(*c2, 259, 159), green));
}

// The surfaces a picture is drawn from (whole, and shrunk to a smaller
// frame) are held while it lives and go with it at the next frame.
TEST_F(ScreenTest, APicturesSurfacesGoWithIt) {
    const Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255};
    shot();
    const std::size_t before = render::cachedPictureSurfaces();
    {
        auto whole = create<ImageView>(Rect{10, 30, 40, 20});
        whole->setImage(twoToneImage(40, 20, red, green));
        auto shrunk = create<ImageView>(Rect{10, 60, 20, 10});
        shrunk->setImage(twoToneImage(200, 100, red, green));
        window->addSubview(whole);
        window->addSubview(shrunk);
        shot();
        EXPECT_EQ(render::cachedPictureSurfaces(), before + 3);
        shot();
        EXPECT_EQ(render::cachedPictureSurfaces(), before + 3);  // drawn again from them
        whole->removeFromSuperview();
        shrunk->removeFromSuperview();
    }
    shot();
    EXPECT_EQ(render::cachedPictureSurfaces(), before);
}

TEST_F(ScreenTest, StatusBarSitsOverTheTopOfTheWindow) {
    auto with = shot("statusbar");
    EXPECT_GT(inkCount(*with, Rect{0, 0, 320, 20}, kWhite), 100);
    EXPECT_EQ(inkCount(*with, Rect{0, 20, 320, 20}, kWhite), 0);
    Application::sharedApplication().setStatusBarHidden(true);
    EXPECT_EQ(inkCount(*shot(), Rect{0, 0, 320, 20}, kWhite), 0);
    // Light content: white marks on a dark bar.
    Application::sharedApplication().setStatusBarHidden(false);
    Application::sharedApplication().setStatusBarStyle(StatusBarStyleLightContent);
    window->setBackgroundColor(Color::blackColor());
    EXPECT_GT(inkCount(*shot(), Rect{0, 0, 320, 20}, kBlack), 100);
}

// A view class of the program's own that draws itself: a cross.
class Cross : public View {};

TEST_F(ScreenTest, ContentPaintersDrawClassesTheRendererDoesNotKnow) {
    auto cross = create<Cross>(Rect{100, 100, 50, 50});
    cross->setBackgroundColor(Color::greenColor());
    window->addSubview(cross);
    render::setContentPainter<Cross>([](cairo_t* cr, const View& v) {
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_rectangle(cr, v.bounds().midX() - 2, 0, 4, v.bounds().height());
        cairo_fill(cr);
    });
    auto c = shot();
    render::setContentPainter<Cross>(nullptr);
    EXPECT_EQ(at(*c, 125, 110), (Pixel{0, 0, 255, 255}));  // painted over the background
    EXPECT_EQ(at(*c, 105, 110), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(at(*shot(), 125, 110), (Pixel{0, 255, 0, 255}));  // removed again
}

TEST_F(ScreenTest, WindowsDrawInLevelOrder) {
    auto top = create<Window>(Rect{0, 300, 320, 100});
    top->setWindowLevel(WindowLevelAlert);
    top->setBackgroundColor(Color::blueColor());
    top->makeKeyAndVisible();
    auto c = shot();
    EXPECT_EQ(at(*c, 100, 350), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(at(*c, 100, 290), kWhite);
    top->setHidden(true);
    EXPECT_EQ(at(*shot(), 100, 350), kWhite);
}

}  // namespace
