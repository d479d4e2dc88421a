#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "support/LoopbackService.h"
#include "uikit/BitmapContext.h"
#include "uikit/Keyboard.h"
#include "uikit/PickerView.h"
#include "uikit/TextField.h"
#include "uikit/TextView.h"
#include "uikit/WebView.h"

using namespace ui;
using namespace rendertest;
using render::Pixel;

namespace {

class InputDrawTest : public RenderTest {
protected:
    void TearDown() override {
        Keyboard::shared().resetForTesting();
        RenderTest::TearDown();
    }
};

// The share of the rectangle's ink that is reddish, greyish or dark.
struct Inks {
    int dark = 0, grey = 0, blue = 0;
};
Inks inks(const render::Canvas& c, const Rect& r) {
    Inks k;
    for (double y = r.minY(); y < r.maxY(); y += 0.5) {
        for (double x = r.minX(); x < r.maxX(); x += 0.5) {
            Pixel p = at(c, x, y);
            if (p.b > 200 && p.r < 80 && p.g < 170) {
                k.blue++;
            } else if (p.r < 90 && p.g < 90 && p.b < 90) {
                k.dark++;
            } else if (std::abs(p.r - p.g) < 8 && p.r > 120 && p.r < 215) {
                k.grey++;
            }
        }
    }
    return k;
}

TEST_F(InputDrawTest, FieldsShowTextOrTheirPlaceholder) {
    auto placeholder = create<TextField>(Rect{20, 60, 280, 36});
    placeholder->setPlaceholder("请输入主题");
    placeholder->setBorderStyle(TextBorderStyleRoundedRect);
    auto filled = create<TextField>(Rect{20, 110, 280, 36});
    filled->setPlaceholder("请输入主题");
    filled->setText("社区活动");
    auto secret = create<TextField>(Rect{20, 160, 280, 36});
    secret->setSecureTextEntry(true);
    secret->setText("abc123");
    secret->setBorderStyle(TextBorderStyleLine);
    for (auto& f : {placeholder, filled, secret}) window->addSubview(f);
    auto c = shot("fields");
    Inks p = inks(*c, placeholder->frame().insetBy(4, 4)), t = inks(*c, filled->frame());
    EXPECT_GT(p.grey, 40);
    EXPECT_EQ(p.dark, 0);
    EXPECT_GT(t.dark, 40);
    // The secret shows dots, not the letters: far less ink than the text would take.
    auto plain = create<TextField>(Rect{20, 210, 280, 36});
    plain->setText("abc123");
    window->addSubview(plain);
    auto c2 = shot();
    int dots = inkCount(*c2, secret->frame().insetBy(4, 4), kWhite), letters = inkCount(*c2, plain->frame(), kWhite);
    EXPECT_GT(dots, 20);
    EXPECT_NE(dots, letters);
    // The rounded field's border is drawn, the borderless one has none.
    EXPECT_LT(at(*c, 160, 60.25).r, 250);
    EXPECT_EQ(at(*c, 160, 110.25), kWhite);

    // Editing: the caret (blue) stands after the text.
    ASSERT_TRUE(driver->typeText(filled, "！"));
    auto editing = shot("field-editing");
    EXPECT_GT(inks(*editing, filled->frame()).blue, 10);
    EXPECT_EQ(filled->text(), "社区活动！");
}

TEST_F(InputDrawTest, TextViewWrapsItsTextInsideItsInsetsAndScrolls) {
    auto tv = create<TextView>(Rect{20, 60, 200, 100});
    tv->setFont(Font::systemFontOfSize(14));
    std::string text;
    for (int i = 0; i < 12; ++i) text += "第" + std::to_string(i) + "行建议内容。";
    tv->setText(text);
    window->addSubview(tv);
    auto c = shot("textview");
    EXPECT_GT(inkCount(*c, Rect{28, 68, 184, 84}, kWhite), 200);
    EXPECT_EQ(inkCount(*c, Rect{20, 60, 200, 7}, kWhite), 0);   // the top inset
    EXPECT_EQ(inkCount(*c, Rect{20, 60, 7, 100}, kWhite), 0);   // the left inset
    EXPECT_EQ(inkCount(*c, Rect{20, 161, 200, 40}, kWhite), 0);  // clipped below
    ASSERT_GT(tv->contentSize().height, 100);
    tv->setContentOffset(Point{0, tv->contentSize().height - 100});
    auto scrolled = shot();
    EXPECT_GT(inkCount(*scrolled, Rect{28, 60, 184, 92}, kWhite), 200);
    EXPECT_NE(inkCount(*scrolled, Rect{28, 68, 184, 30}, kWhite), inkCount(*c, Rect{28, 68, 184, 30}, kWhite));
}

// A picture the service sends.
std::string jpeg(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < px.size(); i += 4) px[i] = r, px[i + 1] = g, px[i + 2] = b, px[i + 3] = 255;
    auto bytes = ImageJPEGRepresentation(Image::imageWithPixels(w, h, std::move(px)), 0.9);
    return std::string(bytes->begin(), bytes->end());
}

class Pages : public WebViewDelegate {
public:
    void webViewDidFinishLoad(const std::shared_ptr<WebView>&) override { done = true; }
    void webView_didFailLoadWithError(const std::shared_ptr<WebView>&, const ns::ErrorPtr&) override { done = true; }
    bool done = false;
};

TEST_F(InputDrawTest, WebViewDrawsThePageWithHeadingsLinksAndPictures) {
    LoopbackService svc;
    auto pic = LoopbackService::status(200, jpeg(120, 60, 0, 160, 0));
    pic.contentType = "image/jpeg";
    svc.serve("/pic.jpg", pic);
    auto page = LoopbackService::status(
        200, "<html><body style='margin:8px'><h1>社区新闻</h1>"
        "<p>本周六上午九点，文化广场举办便民服务活动。<a href='/more.html'>详情</a></p>"
        "<img src='/pic.jpg' width='240' height='120'><p>欢迎参加。</p><hr></body></html>");
    page.contentType = "text/html; charset=utf-8";
    svc.serve("/page.html", page);

    auto pages = std::make_shared<Pages>();
    auto web = create<WebView>(Rect{0, 64, 320, 504});
    web->setDelegate(pages);
    window->addSubview(web);
    web->loadRequest(URLRequest::requestWithURL(svc.baseURL() + "/page.html"));
    ASSERT_TRUE(driver->waitUntil([&] { return pages->done; }));
    auto c = shot("web");
    const auto* layout = web->pageLayout();
    ASSERT_TRUE(layout);
    int texts = 0;
    bool sawPicture = false;
    for (const auto& box : layout->boxes()) {
        Rect onScreen = box.frame.offsetBy(0, 64);
        if (box.kind == web::Box::Text) {
            EXPECT_GT(inkCount(*c, onScreen, kWhite), 20) << box.text;
            ++texts;
        } else if (box.kind == web::Box::Picture) {
            sawPicture = true;
            Pixel mid = at(*c, onScreen.midX(), onScreen.midY());
            EXPECT_LT(mid.r, 40);
            EXPECT_GT(mid.g, 130);
            EXPECT_NEAR(onScreen.width(), 240, 0.5);
        }
    }
    EXPECT_GE(texts, 3);
    EXPECT_TRUE(sawPicture);
    // The link is blue.
    auto link = layout->frameOfLink(svc.baseURL() + "/more.html");
    ASSERT_TRUE(link.has_value());
    EXPECT_GT(inks(*c, link->offsetBy(0, 64)).blue, 10);
    // The heading's text is bigger than the paragraph's.
    EXPECT_GT(layout->boxes().front().frame.height(), layout->boxes()[1].frame.height() / 2);

    // Scrolled, the page moves up under the view's top.
    Rect first = layout->boxes().front().frame.offsetBy(0, 64);
    web->scrollView()->setContentSize(Size{320, 2000});
    web->scrollView()->setContentOffset(Point{0, 40});
    auto moved = shot();
    EXPECT_EQ(inkCount(*moved, Rect{0, 20, 320, 44}, kWhite), 0);
    EXPECT_LT(inkCount(*moved, first, kWhite), inkCount(*c, first, kWhite));
}

class Columns : public PickerViewDataSource, public PickerViewDelegate {
public:
    long numberOfComponentsInPickerView(const std::shared_ptr<PickerView>&) override { return 2; }
    long pickerView_numberOfRowsInComponent(const std::shared_ptr<PickerView>&, long c) override {
        return c == 0 ? 5 : 3;
    }
    std::string pickerView_titleForRow_forComponent(const std::shared_ptr<PickerView>&, long row, long c) override {
        static const char* provinces[] = {"北京", "上海", "天津", "重庆", "河北"};
        static const char* kinds[] = {"建议", "诉求", "咨询"};
        return c == 0 ? provinces[row] : kinds[row];
    }
    void pickerView_didSelectRow_inComponent(const std::shared_ptr<PickerView>&, long row, long c) override {
        picked = {row, c};
    }
    std::pair<long, long> picked{-1, -1};
};

TEST_F(InputDrawTest, PickersShowTheSelectedRowsInTheMiddleAndTurn) {
    auto cols = std::make_shared<Columns>();
    auto picker = create<PickerView>(Rect{0, 300, 320, 216});
    picker->setDataSource(cols);
    picker->setDelegate(cols);
    window->addSubview(picker);
    auto c = shot("picker");
    // Selected rows (black) on the middle line, the next rows below (grey).
    Inks middle = inks(*c, Rect{0, 300 + 108 - 14, 320, 28});
    Inks below = inks(*c, Rect{0, 300 + 108 + 18, 320, 28});
    EXPECT_GT(middle.dark, 40);
    EXPECT_GT(below.grey, 20);
    EXPECT_EQ(below.dark, 0);
    // Nothing above the first row.
    EXPECT_EQ(inkCount(*c, Rect{0, 300 + 108 - 50, 160, 28}, kWhite), 0);

    EXPECT_EQ(render::pickerColumnAt(*picker, 40), 0);
    EXPECT_EQ(render::pickerColumnAt(*picker, 300), 1);
    EXPECT_TRUE(render::spinPicker(*picker, 1, 2));
    EXPECT_EQ(picker->selectedRowInComponent(1), 2);
    EXPECT_EQ(cols->picked, (std::pair<long, long>{2, 1}));
    EXPECT_FALSE(render::spinPicker(*picker, 1, 5));  // already the last row
    EXPECT_TRUE(render::spinPicker(*picker, 0, 10));
    EXPECT_EQ(picker->selectedRowInComponent(0), 4);
    EXPECT_NE(inkCount(*shot(), Rect{0, 300 + 108 - 50, 160, 28}, kWhite), 0);

    auto dates = create<DatePicker>(Rect{0, 64, 320, 216});
    dates->setDatePickerMode(DatePickerModeDate);
    dates->setDate(ns::Date{1420070400});  // 2015-01-01 08:00 in Shanghai
    window->addSubview(dates);
    EXPECT_GT(inks(*shot("datepicker"), Rect{0, 64 + 108 - 14, 320, 28}).dark, 40);
    EXPECT_TRUE(render::spinPicker(*dates, 1, 1));  // the month column
    EXPECT_NEAR(dates->date().seconds, 1420070400 + 31 * 86400, 1);
}

TEST_F(InputDrawTest, KeyboardShowsItsKeysWhileAFieldIsEdited) {
    auto field = create<TextField>(Rect{20, 60, 280, 36});
    window->addSubview(field);
    EXPECT_EQ(inkCount(*shot(), Rect{0, 352, 320, 216}, kWhite), 0);
    ASSERT_TRUE(field->becomeFirstResponder());
    auto c = shot("keyboard");
    Rect kb = Keyboard::shared().frame();
    EXPECT_EQ(kb, (Rect{0, 352, 320, 216}));
    EXPECT_GT(inkCount(*c, kb, at(*c, 1, 353), 40), 2000);  // white keys on the grey face
}

}  // namespace
