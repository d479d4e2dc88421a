#include <gtest/gtest.h>

#include <cmath>

#include "UITestSupport.h"

using namespace ui;

namespace {

bool whole(double v) { return v == std::floor(v); }

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

}  // namespace
