#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "RenderTestSupport.h"
#include "demo/HostileData.h"
#include "uikit/TextLayout.h"

using namespace ui;
using namespace rendertest;
using render::Pixel;

namespace {

using TextDrawTest = RenderTest;

LabelPtr addLabel(const WindowPtr& w, Rect frame, const std::string& text, int lines = 1,
                  LineBreakMode mode = LineBreakByTruncatingTail, double size = 15) {
    auto l = create<Label>(frame);
    l->setText(text);
    l->setFont(Font::systemFontOfSize(size));
    l->setNumberOfLines(lines);
    l->setLineBreakMode(mode);
    w->addSubview(l);
    return l;
}

// A 10 MB title in a list cell froze the screen while all of it was laid
// out. Labels lay out only what they can show; a text just short enough to
// be laid out whole, yet longer than the label shows, draws the same.
TEST_F(TextDrawTest, AHugeTextCostsWhatTheLabelShowsAndDrawsAsItsBeginning) {
    const std::string huge = demo::hostileTitle();
    struct Case {
        Rect frame;
        int lines;
        double size;
        bool shrinks;
        std::size_t wholeCharacters;
    };
    const Case cases[] = {
        {Rect{10, 30, 250, 20}, 1, 14, false, 300},   // a list cell's title
        {Rect{10, 60, 300, 40}, 2, 14, false, 550},
        {Rect{10, 110, 300, 100}, 0, 14, false, 1600},
        {Rect{10, 220, 250, 20}, 1, 17, true, 1000},  // shrinks to fit, down to 4 points
    };
    std::vector<LabelPtr> labels;
    for (const auto& c : cases) {
        labels.push_back(addLabel(window, c.frame, huge, c.lines, LineBreakByTruncatingTail, c.size));
        labels.back()->setAdjustsFontSizeToFitWidth(c.shrinks);
    }
    std::uint64_t before = text::laidOutBytes();
    auto all = shot("huge-title");
    EXPECT_LT(text::laidOutBytes() - before, 1'000'000u);
    for (std::size_t i = 0; i < labels.size(); ++i) labels[i]->setText(huge.substr(0, cases[i].wholeCharacters * 3));
    auto beginning = shot();
    for (const auto& c : cases) {
        SCOPED_TRACE(toString(c.frame));
        EXPECT_GT(inkCount(*all, c.frame, kWhite), 50);
        int differing = 0;
        for (int y = static_cast<int>(c.frame.minY() * 2); y < static_cast<int>(c.frame.maxY() * 2); ++y)
            for (int x = static_cast<int>(c.frame.minX() * 2); x < static_cast<int>(c.frame.maxX() * 2); ++x)
                differing += colorDistance(all->pixel(x, y), beginning->pixel(x, y)) > 0;
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(TextDrawTest, MeasuredAndDrawnHeightsAgree) {
    const std::string para = "社区将于本周六上午九点在文化广场举办便民服务活动，欢迎居民朋友们踊跃参加。Free checks for everyone.";
    struct Case {
        Rect frame;
        std::string text;
        int lines;
        LineBreakMode mode;
        double size;
    };
    std::vector<Case> cases = {
        {Rect{10, 30, 300, 40}, "时事直通", 1, LineBreakByTruncatingTail, 17},
        {Rect{10, 80, 300, 200}, para, 0, LineBreakByWordWrapping, 14},
        {Rect{10, 290, 200, 200}, para, 0, LineBreakByCharWrapping, 12},
        {Rect{10, 500, 300, 60}, para, 2, LineBreakByTruncatingTail, 14},
    };
    std::vector<LabelPtr> labels;
    for (const auto& k : cases) labels.push_back(addLabel(window, k.frame, k.text, k.lines, k.mode, k.size));
    auto c = shot("label-heights");
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const auto& l = *labels[i];
        SCOPED_TRACE(i);
        Size measured = l.sizeThatFits(Size{l.bounds().width(), 0});
        Rect drawn = render::labelTextRect(l);
        // The measure rounds up to whole points.
        EXPECT_NEAR(drawn.height(), measured.height, 1.0);
        EXPECT_LE(drawn.height(), measured.height);
        // The ink stays within the drawn lines and fills most of them.
        Rect onScreen = drawn.offsetBy(l.frame().minX(), l.frame().minY());
        auto rows = inkRows(*c, l.frame(), kWhite);
        ASSERT_GE(rows.first, 0);
        EXPECT_GE(rows.first, static_cast<int>(onScreen.minY() * 2) - 1);
        EXPECT_LE(rows.second, static_cast<int>(onScreen.maxY() * 2) + 1);
        EXPECT_GT(rows.second - rows.first, static_cast<int>(onScreen.height() * 2 * 0.6));
    }
    // Wrapping produced several lines, and two lines are the limit where set.
    EXPECT_GT(render::labelTextRect(*labels[1]).height(), 3 * Font::systemFontOfSize(14).lineHeight() - 0.5);
    EXPECT_NEAR(render::labelTextRect(*labels[3]).height(), 2 * Font::systemFontOfSize(14).lineHeight(), 0.5);
}

TEST_F(TextDrawTest, TallTextShowsTheLinesThatFit) {
    const std::string para = "一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十";
    auto l = addLabel(window, Rect{10, 40, 100, 40}, para, 0, LineBreakByTruncatingTail, 14);
    double line = Font::systemFontOfSize(14).lineHeight();
    Rect r = render::labelTextRect(*l);
    EXPECT_EQ(static_cast<int>(std::round(r.height() / line)), static_cast<int>(std::floor(40 / line)));
    auto c = shot();
    // Nothing outside the label.
    EXPECT_EQ(inkCount(*c, Rect{10, 80, 100, 40}, kWhite), 0);
    EXPECT_EQ(inkCount(*c, Rect{10, 20, 100, 20}, kWhite), 0);
}

TEST_F(TextDrawTest, AlignmentPlacesTheLine) {
    auto left = addLabel(window, Rect{10, 40, 300, 30}, "左对齐");
    auto centre = addLabel(window, Rect{10, 80, 300, 30}, "居中");
    centre->setTextAlignment(TextAlignmentCenter);
    auto right = addLabel(window, Rect{10, 120, 300, 30}, "右对齐");
    right->setTextAlignment(TextAlignmentRight);
    auto c = shot();
    auto columns = [&](const LabelPtr& l) {
        int first = -1, last = -1;
        eachInk(*c, l->frame(), kWhite, 60, [&](int x, int) {
            first = first < 0 ? x : std::min(first, x);
            last = std::max(last, x);
            return true;
        });
        return std::pair<double, double>{first / 2.0, last / 2.0};
    };
    auto [l0, l1] = columns(left);
    auto [c0, c1] = columns(centre);
    auto [r0, r1] = columns(right);
    EXPECT_NEAR(l0, 10, 3);
    EXPECT_NEAR((c0 + c1) / 2, 160, 3);
    EXPECT_NEAR(r1, 310, 3);
}

TEST_F(TextDrawTest, TruncationKeepsOneLineInsideTheLabel) {
    auto l = addLabel(window, Rect{10, 40, 80, 30},
                      "这是一条很长很长的新闻标题，一行放不下");
    auto c = shot("truncated");
    Rect r = render::labelTextRect(*l);
    EXPECT_NEAR(r.height(), Font::systemFontOfSize(15).lineHeight(), 0.5);
    EXPECT_GT(inkCount(*c, l->frame(), kWhite), 50);
    EXPECT_EQ(inkCount(*c, Rect{90, 40, 60, 30}, kWhite), 0);
}

TEST_F(TextDrawTest, TextThatDoesNotFitEndsInAnEllipsisUnlessTheLabelSetsAnotherMode) {
    const std::string para = "会议总结了去年全区党建工作，部署了今年的重点任务，要求把党建工作同发展任务结合起来。";
    struct Case {
        Rect frame;
        std::string text;
        int lines;
        std::optional<LineBreakMode> mode;  // none: the label's own
        bool truncated;
    };
    const std::vector<Case> cases = {
        {Rect{10, 30, 80, 30}, para, 1, std::nullopt, true},
        {Rect{10, 70, 230, 30}, para, 0, std::nullopt, true},
        {Rect{10, 110, 230, 60}, para, 2, std::nullopt, true},
        {Rect{10, 180, 230, 30}, "会议\n总结\n去年\n全区", 0, std::nullopt, true},
        {Rect{10, 220, 300, 80}, para, 0, std::nullopt, false},
        {Rect{10, 310, 300, 30}, "时事直通", 1, std::nullopt, false},
        {Rect{10, 350, 230, 30}, para, 0, LineBreakByCharWrapping, false},
        {Rect{10, 390, 230, 30}, para, 0, LineBreakByWordWrapping, false},
        {Rect{10, 430, 80, 30}, para, 1, LineBreakByClipping, false},
        {Rect{10, 470, 80, 30}, para, 1, LineBreakByTruncatingHead, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& k = cases[i];
        auto l = create<Label>(k.frame);
        l->setText(k.text);
        l->setFont(Font::systemFontOfSize(12));
        l->setNumberOfLines(k.lines);
        if (k.mode) l->setLineBreakMode(*k.mode);
        window->addSubview(l);
        EXPECT_EQ(render::labelIsTruncated(*l), k.truncated);
        EXPECT_LE(render::labelTextRect(*l).height(), k.frame.height() + 0.5);
    }
}

// A comment "NUL>\u0000after" from the service: the NUL shows as nothing and
// the rest of the text is drawn, on one line and wrapped.
TEST_F(TextDrawTest, TextAfterANulIsDrawn) {
    using namespace std::string_literals;
    const std::string para = "社区将于本周六上午九点在文化广场举办便民服务活动，欢迎居民朋友们踊跃参加。";
    struct Case {
        Rect frame;
        std::string withNul, without;
        int lines;
        LineBreakMode mode;
    };
    const Case cases[] = {
        {Rect{10, 30, 300, 30}, "NUL>\0after"s, "NUL>after", 1, LineBreakByTruncatingTail},
        {Rect{10, 70, 150, 120}, para.substr(0, 12) + "\0"s + para.substr(12), para, 0, LineBreakByCharWrapping},
    };
    for (const auto& k : cases) addLabel(window, k.frame, k.withNul, k.lines, k.mode);
    auto withNul = shot("nul");
    for (const auto& k : cases) {
        SCOPED_TRACE(k.without);
        auto label = addLabel(window, k.frame, k.without, k.lines, k.mode);
        label->setBackgroundColor(Color::whiteColor());
        auto without = shot();
        EXPECT_GT(inkCount(*without, k.frame, kWhite), 100);
        int differing = 0;
        eachInk(*withNul, k.frame, kWhite, -1, [&](int x, int y) {
            differing += colorDistance(withNul->pixel(x, y), without->pixel(x, y)) > 0;
            return true;
        });
        EXPECT_EQ(differing, 0);
    }
}

// Emoji draw from the emoji font, in its colours, where the font the
// screens ask for has none.
TEST_F(TextDrawTest, EmojiDrawInColour) {
    const char* emoji[] = {"👍", "😀", "🙏", "🎉"};
    for (std::size_t i = 0; i < std::size(emoji); ++i) addLabel(window, Rect{10 + 40.0 * i, 40, 36, 36}, emoji[i], 1,
                                                               LineBreakByClipping, 28);
    auto c = shot("emoji");
    for (std::size_t i = 0; i < std::size(emoji); ++i) {
        SCOPED_TRACE(emoji[i]);
        int coloured = 0;
        eachInk(*c, Rect{10 + 40.0 * i, 40, 36, 36}, kWhite, 60, [&](int x, int y) {
            Pixel p = c->pixel(x, y);
            coloured += std::max({p.r, p.g, p.b}) - std::min({p.r, p.g, p.b}) > 100;
            return true;
        });
        EXPECT_GT(coloured, 100);
    }
}

TEST_F(TextDrawTest, ColoursAndHighlight) {
    auto l = addLabel(window, Rect{10, 40, 300, 40}, "██████", 1, LineBreakByClipping, 30);
    l->setTextColor(Color::redColor());
    l->setHighlightedTextColor(Color::blueColor());
    auto c = shot();
    auto dominant = [&](const render::Canvas& cv) {
        long r = 0, b = 0;
        for (int y = 80; y < 160; ++y) {
            for (int x = 20; x < 600; ++x) {
                auto p = cv.pixel(x, y);
                if (colorDistance(p, kWhite) > 200) {
                    r += p.r;
                    b += p.b;
                }
            }
        }
        return r > b ? 'r' : (b > r ? 'b' : '-');
    };
    EXPECT_EQ(dominant(*c), 'r');
    l->setHighlighted(true);
    EXPECT_EQ(dominant(*shot()), 'b');
}

TEST_F(TextDrawTest, ButtonsShowTitleAndBackgroundOfTheirState) {
    const Pixel red{255, 0, 0, 255}, blue{0, 0, 255, 255};
    auto b = Button::buttonWithType(ButtonTypeCustom);
    b->setFrame(Rect{20, 40, 200, 50});
    b->setBackgroundImage(twoToneImage(4, 4, red, red), ControlStateNormal);
    b->setBackgroundImage(twoToneImage(4, 4, blue, blue), ControlStateSelected);
    b->setTitle("提交", ControlStateNormal);
    b->setTitleColor(Color::whiteColor(), ControlStateNormal);
    window->addSubview(b);
    auto c = shot("button");
    EXPECT_EQ(at(*c, 25, 45), red);
    EXPECT_GT(inkCount(*c, Rect{90, 50, 60, 30}, red), 50);  // the white title in the middle
    EXPECT_EQ(inkCount(*c, Rect{25, 45, 40, 40}, red), 0);
    b->setSelected(true);
    EXPECT_EQ(at(*shot(), 25, 45), blue);

    // Pressed, a custom button's own picture darkens.
    b->setSelected(false);
    b->setHighlighted(true);
    Pixel pressed = at(*shot(), 25, 45);
    EXPECT_LT(pressed.r, 200);
    EXPECT_EQ(pressed.b, 0);
}

}  // namespace
