// The web page model: parsing, block layout, pictures, hit-testing, scripts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "UITestSupport.h"
#include "uikit/Image.h"
#include "uikit/Text.h"
#include "uikit/WebDocument.h"

namespace {

using ui::web::Document;

ui::ImagePtr picture(int w, int h) {
    return ui::Image::imageWithPixels(w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 4, 200));
}

TEST(WebDocument, TextBlocksWhitespaceAndHiddenParts) {
    auto doc = Document::parseHTML(
        "<html><head><title> 标题 </title><style>p{color:red}</style><script>var x = '<p>no</p>';</script></head>"
        "<body><h1>Title</h1><p>a   b\n  c <b>bold</b>!</p><p>x<br>y<br></p>"
        "<ul><li>one</li><li>two</li></ul><ol><li>first</li></ol>"
        "<div style=\"display:none\">hidden</div><table><tr><td>c1</td><td>c2</td></tr></table></body></html>",
        "");
    EXPECT_EQ(doc->title(), "标题");
    EXPECT_EQ(doc->textContent(), "Title\na b c bold!\nx\ny\n\u2022 one\n\u2022 two\n1. first\nc1 c2");
}

TEST(WebDocument, PicturesSizeThePage) {
    // Without margins the page is exactly its pictures.
    auto bare = Document::parseHTML(
        "<body style='margin:0'><img src='a.png' width='100' height='200'><img src='b.png' width=50 height=30></body>",
        "");
    auto page = bare->layout(320, 0);
    EXPECT_EQ(page.scrollHeight(), 230);
    EXPECT_EQ(page.scrollWidth(), 320);  // at least the view
    ASSERT_EQ(page.boxes().size(), 2u);
    EXPECT_EQ(page.boxes()[1].frame, ui::Rect(0, 200, 50, 30));

    // Default body margins: 8 around; a page shorter than the view reports the view.
    auto margins = Document::parseHTML("<img src='a.png' width='100' height='200'>", "");
    EXPECT_EQ(margins->layout(320, 0).scrollHeight(), 216);
    EXPECT_EQ(margins->layout(320, 480).scrollHeight(), 480);

    // A picture wider than the view widens the page.
    auto wide = Document::parseHTML("<p><img src='w.png' width=600 height=10></p>", "");
    EXPECT_EQ(wide->layout(320, 0).scrollWidth(), 616);
}

TEST(WebDocument, ScrollWidthIsTheWidthTheContentTakes) {
    struct Case {
        const char* html;
        long atLeast, atMost;  // scrollWidth at a 320-point view
    };
    const std::string longWord(60, 'x');
    const std::vector<Case> cases = {
        {"<p>社区将于本周六上午九点在文化广场举办便民服务活动，欢迎居民朋友们踊跃参加，共建美好家园。</p>", 320, 320},
        {"<p>many short words that wrap at the edge of the page many short words that wrap</p>", 320, 320},
        {"<table width='600'><tr><td>一</td><td>二</td></tr></table>", 616, 616},
        {"<table width='50%'><tr><td>一</td></tr></table>", 320, 320},
        {"<div style='width:500px;padding:0 10px'>宽</div>", 536, 536},
        {"<style>table { max-width: 100% }</style><table width='600'><tr><td>一</td></tr></table>", 320, 320},
        {"<table width='600'><tr><td><img src='p.png' width='700' height='10'></td></tr></table>", 708, 716},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].html);
        auto page = Document::parseHTML(cases[i].html, "")->layout(320, 0);
        EXPECT_GE(page.scrollWidth(), cases[i].atLeast);
        EXPECT_LE(page.scrollWidth(), cases[i].atMost);
    }
    // A word longer than the line is not broken: it runs on and widens the page.
    auto word = Document::parseHTML("<p>see " + longWord + " here</p>", "")->layout(100, 0);
    ASSERT_EQ(word.boxes().size(), 1u);
    EXPECT_EQ(word.boxes()[0].text, "see " + longWord + " here");
    EXPECT_GT(word.scrollWidth(), 200);
    EXPECT_EQ(word.scrollWidth(), static_cast<long>(std::ceil(word.contentSize().width - 1e-6)));
    // Unless the page lets words break, which adds no hyphen: each line is
    // as wide as its own characters.
    for (const char* rule : {"word-wrap: break-word", "overflow-wrap: anywhere", "word-break: break-all"}) {
        auto broken = Document::parseHTML(std::string("<body style='") + rule + "'><p>see " + longWord + "</p></body>", "");
        auto page = broken->layout(100, 0);
        EXPECT_EQ(page.scrollWidth(), 100) << rule;
        ASSERT_EQ(page.boxes().size(), 1u);
        auto lines = uitest::linesOf(page.boxes()[0].layout.get());
        ASSERT_GE(lines.size(), 3u);
        for (const auto& line : lines) {
            if (line.text.find(' ') != std::string::npos) continue;
            EXPECT_LE(line.width, ui::sizeWithFont(line.text, ui::Font::systemFontOfSize(16)).width) << rule;
        }
    }
}

TEST(WebDocument, PicturesWithoutSizesUseTheirOwnOnceKnown) {
    auto doc = Document::parseHTML(
        "<body style='margin:0'><img src='pics/one.png'><img src='/two.png' width='60'>"
        "<img src='pics/one.png' style='width:50%'></body>",
        "http://127.0.0.1:8080/news/item.html");
    EXPECT_EQ(doc->imageSources(),
              (std::vector<std::string>{"http://127.0.0.1:8080/news/pics/one.png", "http://127.0.0.1:8080/two.png"}));
    // Unknown pictures take no room.
    EXPECT_EQ(doc->layout(200, 0).scrollHeight(), 0);

    doc->setImage("http://127.0.0.1:8080/news/pics/one.png", picture(120, 80));
    doc->setImage("http://127.0.0.1:8080/two.png", picture(30, 90));
    auto page = doc->layout(200, 0);
    ASSERT_EQ(page.boxes().size(), 3u);
    EXPECT_EQ(page.boxes()[0].frame.size, (ui::Size{120, 80}));
    EXPECT_EQ(page.boxes()[1].frame.size, (ui::Size{60, 180}));   // width given: height keeps the aspect
    EXPECT_EQ(page.boxes()[2].frame.size, (ui::Size{100, 200.0 / 3}));  // 50% of 200
    EXPECT_EQ(page.scrollHeight(), 80 + 180 + 67);
    EXPECT_TRUE(page.boxes()[0].image);
}

TEST(WebDocument, StyleSheetLimitsPictureWidthAndViewportSetsLayoutWidth) {
    auto doc = Document::parseHTML(
        "<html><head><style>/* fit */ img { max-width: 100%; } @media print { img { display:none } }</style></head>"
        "<body><img src='p.png'></body></html>",
        "http://h/");
    doc->setImage("http://h/p.png", picture(300, 150));
    auto page = doc->layout(100, 0);
    ASSERT_EQ(page.boxes().size(), 1u);
    EXPECT_EQ(page.boxes()[0].frame, ui::Rect(8, 8, 84, 42));
    EXPECT_EQ(page.scrollWidth(), 100);

    auto desktop = Document::parseHTML(
        "<meta name='viewport' content='initial-scale=1, width=980'><p>text</p>", "");
    EXPECT_EQ(desktop->viewportWidth(), 980);
    EXPECT_EQ(desktop->layout(320, 0).layoutWidth(), 980);
    EXPECT_EQ(desktop->layout(320, 0).scrollWidth(), 980);
    auto device = Document::parseHTML("<meta name='viewport' content='width=device-width'><p>text</p>", "");
    EXPECT_FALSE(device->viewportWidth());
}

TEST(WebDocument, TextWrapsToTheWidthAndHeadingsAreLarger) {
    std::string words;
    for (int i = 0; i < 60; ++i) words += "党建 word ";
    auto doc = Document::parseHTML("<p>" + words + "</p>", "");
    long narrow = doc->layout(150, 0).scrollHeight();
    long wide = doc->layout(600, 0).scrollHeight();
    EXPECT_GT(narrow, wide * 2);
    EXPECT_LE(doc->layout(150, 0).scrollWidth(), 150);  // wrapped, not overflowing

    auto p = Document::parseHTML("<p>Same</p>", "")->layout(320, 0);
    auto h1 = Document::parseHTML("<h1>Same</h1>", "")->layout(320, 0);
    ASSERT_EQ(p.boxes().size(), 1u);
    ASSERT_EQ(h1.boxes().size(), 1u);
    EXPECT_GT(h1.boxes()[0].frame.size.height, p.boxes()[0].frame.size.height * 1.5);
    // Margins collapse: p's 16 with body's 8 gives 16 above the text.
    EXPECT_DOUBLE_EQ(p.boxes()[0].frame.origin.y, 16);
    EXPECT_DOUBLE_EQ(p.boxes()[0].frame.origin.x, 8);
    EXPECT_DOUBLE_EQ(p.contentSize().height, 16 + p.boxes()[0].frame.size.height + 16);

    // A lone line break still makes a line.
    auto br = Document::parseHTML("<body style='margin:0'><br></body>", "")->layout(320, 0);
    EXPECT_GT(br.scrollHeight(), 10);
}

TEST(WebDocument, HitTestingLinksAndPictures) {
    auto doc = Document::parseHTML(
        "<p>Before <a href='next.html?id=3'>the link</a> and after.</p>"
        "<p><a href='/big.html'><img src='pic.jpg' width=100 height=100></a></p>"
        "<p><img src='plain.jpg' width=50 height=50></p>",
        "http://host/dir/page.html");
    auto page = doc->layout(320, 0);
    auto link = page.frameOfLink("http://host/dir/next.html?id=3");
    ASSERT_TRUE(link);
    auto hit = page.hitTest(ui::Point{link->midX(), link->midY()});
    EXPECT_EQ(hit.linkURL, "http://host/dir/next.html?id=3");
    EXPECT_FALSE(hit.isImage());

    // The text before the link is not the link.
    auto text = page.boxes()[0].frame;
    EXPECT_TRUE(page.hitTest(ui::Point{text.origin.x + 2, text.midY()}).isNothing());

    const auto& linked = page.boxes()[1];
    auto both = page.hitTest(ui::Point{linked.frame.midX(), linked.frame.midY()});
    EXPECT_EQ(both.imageURL, "http://host/dir/pic.jpg");
    EXPECT_EQ(both.linkURL, "http://host/big.html");

    const auto& plain = page.boxes()[2];
    auto pic = page.hitTest(ui::Point{plain.frame.midX(), plain.frame.midY()});
    EXPECT_EQ(pic.imageURL, "http://host/dir/plain.jpg");
    EXPECT_FALSE(pic.isLink());
    EXPECT_TRUE(page.hitTest(ui::Point{300, plain.frame.midY()}).isNothing());  // beside the picture
    EXPECT_TRUE(page.hitTest(ui::Point{2, 2}).isNothing());                     // the margin
}

TEST(WebDocument, Scripts) {
    auto doc = Document::parseHTML("<title>T</title><body style='margin:0'><img width=10 height=700></body>", "");
    auto page = doc->layout(300, 400);
    EXPECT_EQ(ui::web::evaluateScript("document.body.scrollHeight", doc.get(), &page, "about:blank"), "700");
    EXPECT_EQ(ui::web::evaluateScript("document.body.scrollWidth ", doc.get(), &page, "about:blank"), "300");
    EXPECT_EQ(ui::web::evaluateScript(" document.body.scrollHeight; ", doc.get(), &page, ""), "700");
    EXPECT_EQ(ui::web::evaluateScript("document.title", doc.get(), &page, ""), "T");
    EXPECT_EQ(ui::web::evaluateScript("window.location.href", doc.get(), &page, "http://a/b"), "http://a/b");
    EXPECT_EQ(ui::web::evaluateScript("alert('x')", doc.get(), &page, ""), "");
    EXPECT_EQ(ui::web::evaluateScript("document.body.scrollHeight", nullptr, nullptr, ""), "");
}

TEST(WebDocument, CharsetAndBrokenMarkup) {
    // "中文" in GBK, declared by the page.
    std::string gbk = "<html><head><meta http-equiv='Content-Type' content='text/html; charset=gbk'></head><body><p>";
    gbk += "\xD6\xD0\xCE\xC4";
    gbk += "</p></body></html>";
    EXPECT_EQ(Document::parseHTML(gbk, "")->textContent(), "中文");
    // Unclosed tags and stray text recover; no crash on empty input.
    EXPECT_EQ(Document::parseHTML("<p>one<p>two<div>three", "")->textContent(), "one\ntwo\nthree");
    EXPECT_EQ(Document::parseHTML("", "")->layout(320, 0).scrollHeight(), 0);
    EXPECT_EQ(Document::parseHTML("plain words", "")->textContent(), "plain words");
}

TEST(WebDocument, AbsurdSizesAreCapped) {
    // Each page asks for something the screen cannot hold; the layout caps it
    // and stays finite.
    const std::string deepBig = [] {
        std::string s;
        for (int i = 0; i < 4000; ++i) s += "<big>";
        return s + "x";
    }();
    struct {
        std::string html;
        double tallest;  // most the page may be, in points
    } cases[] = {
        {"<p style='font-size:1e308px'>huge</p>", 1e5},
        {"<p style='font-size:100000px'>huge</p>", 1e5},
        {"<p style='font-size:1e300%'>huge</p>", 1e5},
        {"<h1><h1><h1><h1><h1><h1><h1><h1><h1><h1><h1><h1><h1><h1><h1><h1>deep</h1></h1></h1>", 1e5},
        {deepBig, 1e5},
        {"<p style='margin:1e300px 0'>far</p>", 3e6},
        {"<img src='a.png' style='width:1e300%;height:1e308px'>", 3e6},
    };
    for (const auto& c : cases) {
        auto page = Document::parseHTML(c.html, "")->layout(320, 0);
        EXPECT_TRUE(std::isfinite(page.contentSize().height)) << c.html.substr(0, 60);
        EXPECT_LE(page.contentSize().height, c.tallest) << c.html.substr(0, 60);
    }
    auto wide = Document::parseHTML("<meta name='viewport' content='width=1e9'><p>x</p>", "");
    EXPECT_EQ(wide->viewportWidth(), 10000);

    // 300 lines of the largest type: more than pango's own total can count.
    std::string words;
    for (int i = 0; i < 300; ++i) words += "W<br>";
    auto tall = Document::parseHTML("<p style='font-size:10000px;margin:0'>" + words + "</p>", "");
    auto page = tall->layout(320, 0);
    ASSERT_EQ(page.boxes().size(), 1u);
    EXPECT_GT(page.boxes()[0].frame.size.height, 300 * 10000.0);
}

TEST(WebDocument, BytesThatAreNotUTF8ReadAsReplacementCharacters) {
    auto doc = Document::parseHTML("<p>a\xff\xfe b \xe4\xb8</p><p>\xe4\xb8\xad</p>", "");
    EXPECT_EQ(doc->textContent(), "a\uFFFD\uFFFD b \uFFFD\uFFFD\n\u4E2D");
}

TEST(WebDocument, ResolvingAddresses) {
    using ui::web::resolveURL;
    const std::string base = "http://a.b:5008/x/y/page.aspx?q=1#f";
    EXPECT_EQ(resolveURL(base, "z.html"), "http://a.b:5008/x/y/z.html");
    EXPECT_EQ(resolveURL(base, "../z.html"), "http://a.b:5008/x/z.html");
    EXPECT_EQ(resolveURL(base, "/root.png"), "http://a.b:5008/root.png");
    EXPECT_EQ(resolveURL(base, "//other/p"), "http://other/p");
    EXPECT_EQ(resolveURL(base, "?r=2"), "http://a.b:5008/x/y/page.aspx?r=2");
    EXPECT_EQ(resolveURL(base, "#top"), "http://a.b:5008/x/y/page.aspx?q=1#top");
    EXPECT_EQ(resolveURL(base, "https://s/p"), "https://s/p");
    EXPECT_EQ(resolveURL(base, "telprompt://123"), "telprompt://123");
    EXPECT_EQ(resolveURL("", "rel.html"), "rel.html");
    EXPECT_EQ(resolveURL("http://h", "a/./b/../c"), "http://h/a/c");
}

}  // namespace
