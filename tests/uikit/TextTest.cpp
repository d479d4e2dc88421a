#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "UITestSupport.h"
#include "demo/HostileData.h"
#include "uikit/TextLayout.h"

using namespace ui;

namespace {

bool whole(double v) { return v == std::floor(v); }

// The lines the text is laid out in within the width.
std::vector<uitest::LaidOutLine> wrappedLines(const std::string& str, const Font& f, double width, LineBreakMode mode,
                                              int* unknownGlyphs = nullptr) {
    PangoContext* context = text::newContext();
    PangoLayout* layout = text::newLayout(context, str, f, width, mode, 0, TextAlignmentLeft);
    auto lines = uitest::linesOf(layout);
    if (unknownGlyphs) *unknownGlyphs = pango_layout_get_unknown_glyphs_count(layout);
    g_object_unref(layout);
    g_object_unref(context);
    return lines;
}

std::string repeated(const std::string& part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += part;
    return out;
}

TEST(TextTest, SizesAreWholePointsAndGrowWithTheText) {
    Font f = Font::systemFontOfSize(14);
    Size shortText = sizeWithFont("新闻", f);
    Size longText = sizeWithFont("新闻新闻新闻", f);
    EXPECT_TRUE(whole(shortText.width) && whole(shortText.height));
    EXPECT_GT(shortText.width, 0);
    EXPECT_GT(longText.width, shortText.width * 2);
    EXPECT_EQ(longText.height, shortText.height);
    EXPECT_EQ(sizeWithFont("", f), (Size{0, 0}));

    // Bigger and bold faces need more room.
    EXPECT_GT(sizeWithFont("新闻", Font::systemFontOfSize(17)).width, shortText.width);
    EXPECT_GE(sizeWithFont("Kestrowline", Font::boldSystemFontOfSize(14)).width,
              sizeWithFont("Kestrowline", f).width);
    EXPECT_NEAR(shortText.height, std::ceil(f.lineHeight()), 1);
}

TEST(TextTest, WrappingWithinAWidthMakesTallerText) {
    Font f = Font::systemFontOfSize(12);
    std::string text;
    for (int i = 0; i < 40; ++i) text += "党建";
    Size oneLine = sizeWithFont(text, f);
    Size wrapped = sizeWithFont(text, f, Size{310, 10000}, LineBreakByCharWrapping);
    EXPECT_LE(wrapped.width, 310);
    EXPECT_GT(wrapped.height, oneLine.height * 2);
    int lines = numberOfLinesForText(text, f, 310, LineBreakByCharWrapping);
    EXPECT_GE(lines, 3);
    EXPECT_NEAR(wrapped.height, lines * f.lineHeight(), lines);

    // A narrower column needs more lines.
    EXPECT_GT(sizeWithFont(text, f, Size{150, 10000}, LineBreakByCharWrapping).height, wrapped.height);

    // The height limit keeps whole lines (at least one).
    Size limited = sizeWithFont(text, f, Size{310, 20}, LineBreakByCharWrapping);
    EXPECT_EQ(limited.height, sizeWithFont("党", f).height);
    Size tiny = sizeWithFont(text, f, Size{310, 5}, LineBreakByCharWrapping);
    EXPECT_EQ(tiny.height, limited.height);
}

TEST(TextTest, WordWrapKeepsWordsWholeWhereCharacterWrapSplitsThem) {
    Font f = Font::systemFontOfSize(14);
    std::string text = "alpha beta gamma delta epsilon zeta";
    double width = sizeWithFont("alpha beta gam", f).width;
    int byWord = numberOfLinesForText(text, f, width, LineBreakByWordWrapping);
    int byChar = numberOfLinesForText(text, f, width, LineBreakByCharWrapping);
    EXPECT_GE(byWord, byChar);
    // A word longer than the line is still broken.
    Size longWord = sizeWithFont("abcdefghijklmnopqrstuvwxyz", f, Size{40, 1000}, LineBreakByWordWrapping);
    EXPECT_LE(longWord.width, 40);
    EXPECT_GT(numberOfLinesForText("abcdefghijklmnopqrstuvwxyz", f, 40), 1);
}

// A line broken inside a word (a comment of 250 letters, a long Hebrew word)
// holds the text's own characters and nothing more: no hyphen is added, so
// each line is as wide as its characters on a line of their own.
TEST(TextTest, ALineBrokenInsideAWordGetsNoHyphen) {
    Font f = Font::systemFontOfSize(14);
    const std::string latin = repeated("abcdefghijklmnopqrstuvwxy", 10);
    const std::string hebrew = repeated("שלוםעולם", 12);
    for (const auto& str : {latin, hebrew}) {
        for (LineBreakMode mode : {LineBreakByCharWrapping, LineBreakByWordWrapping}) {
            SCOPED_TRACE(str.substr(0, 8) + (mode == LineBreakByCharWrapping ? " by character" : " by word"));
            auto lines = wrappedLines(str, f, 150, mode);
            ASSERT_GE(lines.size(), 3u);
            std::string joined;
            for (const auto& line : lines) {
                joined += line.text;
                EXPECT_LE(line.width, 150);
                // sizeWithFont rounds up to a whole point; a hyphen is 4.5 points wide.
                double own = sizeWithFont(line.text, f).width;
                EXPECT_LE(line.width, own) << line.text;
                EXPECT_GT(line.width, own - 1) << line.text;
            }
            EXPECT_EQ(joined, str);
            EXPECT_EQ(numberOfLinesForText(str, f, 150, mode), static_cast<int>(lines.size()));
        }
    }
}

// A NUL inside a text (a comment "NUL>\u0000after" from the service) shows as
// nothing: the text after it is measured, and wraps, as if it were not there.
TEST(TextTest, TextAfterANulIsMeasured) {
    using namespace std::string_literals;
    Font f = Font::systemFontOfSize(14);
    EXPECT_EQ(sizeWithFont("NUL>\0after"s, f), sizeWithFont("NUL>after", f));
    EXPECT_GT(sizeWithFont("NUL>\0after"s, f).width, sizeWithFont("NUL>", f).width + 20);
    EXPECT_EQ(sizeWithFont("\0\0x"s, f), sizeWithFont("x", f));
    const std::string para = repeated("社区便民服务", 10);
    const std::string withNuls = para.substr(0, 9) + "\0"s + para.substr(9, 60) + "\0"s + para.substr(69);
    EXPECT_EQ(sizeWithFont(withNuls, f, Size{150, 1000}, LineBreakByCharWrapping),
              sizeWithFont(para, f, Size{150, 1000}, LineBreakByCharWrapping));
    EXPECT_EQ(numberOfLinesForText(withNuls, f, 150), numberOfLinesForText(para, f, 150));
}

// Emoji come from a font that has them, whichever block they are in.
TEST(TextTest, EmojiHaveGlyphs) {
    int unknown = -1;
    wrappedLines("👍😀🙏🎉🔥💪🤝🥰❤️ ok 好", Font::systemFontOfSize(14), 0, LineBreakByWordWrapping, &unknown);
    EXPECT_EQ(unknown, 0);
}

TEST(TextTest, LabelsMeasureByTheirLines) {
    auto label = create<Label>(Rect{0, 0, 100, 20});
    label->setFont(Font::systemFontOfSize(12));
    label->setText("例如你可以将自己的感受，建议，真实的想法发给我们");
    Size one = label->sizeThatFits(Size{100, 1000});
    EXPECT_GT(one.width, 100);  // a one-line label measures its whole line
    label->setNumberOfLines(0);
    label->setLineBreakMode(LineBreakByCharWrapping);
    Size many = label->sizeThatFits(Size{100, 1000});
    EXPECT_LE(many.width, 100);
    EXPECT_GT(many.height, one.height);
    label->setNumberOfLines(2);
    Size two = label->sizeThatFits(Size{100, 1000});
    EXPECT_LT(two.height, many.height);
    EXPECT_EQ(label->frame(), (Rect{0, 0, 100, 20}));  // measuring never resizes
}

// A 10 MB title froze the screen for 18 s while all of it was measured.
// Measured now is only what its lines can show; a text just short enough to
// be measured whole, yet longer than the lines show, measures the same.
TEST(TextTest, AHugeTextIsMeasuredOnlyAsFarAsItsLinesCanShow) {
    const std::string huge = demo::hostileTitle();
    auto prefix = [&](std::size_t characters) { return huge.substr(0, characters * 3); };  // all 3-byte characters
    struct Case {
        const char* what;
        Font font;
        Size within;  // (0, 0): one line of any width
        LineBreakMode mode;
        std::size_t wholeCharacters;
    };
    const Case cases[] = {
        {"article title", Font::boldSystemFontOfSize(16), {310, 500}, LineBreakByCharWrapping, 5000},
        {"comment", Font::systemFontOfSize(14), {310, 10000}, LineBreakByWordWrapping, 100000},
        {"one line", Font::systemFontOfSize(17), {0, 0}, LineBreakByWordWrapping, 4000},
    };
    auto measure = [](const std::string& text, const Case& c) {
        return c.within.width > 0 ? sizeWithFont(text, c.font, c.within, c.mode) : sizeWithFont(text, c.font);
    };
    for (const auto& c : cases) {
        std::uint64_t before = text::laidOutBytes();
        Size all = measure(huge, c);
        EXPECT_LT(text::laidOutBytes() - before, 1'000'000u) << c.what;
        Size whole = measure(prefix(c.wholeCharacters), c);
        if (c.within.width > 0) {
            EXPECT_EQ(all, whole) << c.what;
        } else {
            // One line of any width: as wide as the text, or wider than a line can be.
            EXPECT_EQ(all.height, whole.height);
            EXPECT_GE(all.width, kWidestLine);
        }
    }
    // A label of two lines likewise.
    auto label = create<Label>(Rect{0, 0, 250, 40});
    label->setNumberOfLines(2);
    label->setText(huge);
    std::uint64_t before = text::laidOutBytes();
    Size two = label->sizeThatFits(Size{250, 0});
    EXPECT_LT(text::laidOutBytes() - before, 1'000'000u);
    label->setText(prefix(500));
    EXPECT_EQ(two, label->sizeThatFits(Size{250, 0}));
}

}  // namespace
