// The single-choice panel and the photo codec.
#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/shell/Photo.h"
#include "app/widgets/TypeView.h"
#include "foundation/Data.h"
#include "uikit/BitmapContext.h"

namespace {

class Owner : public TypeViewDelegate {
public:
    void TypeContent(const std::string& text, long tag) override { choices.emplace_back(text, tag); }
    std::vector<std::pair<std::string, long>> choices;
};

class TypeViewTest : public widgettest::WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        screen = ui::create<ui::ViewController>();
        showRoot(screen);
        panel = ui::create<TypeView>(ui::Rect{20, 64, 280, 400});
        panel->setDelegate(owner);
        screen->view()->addSubview(panel);
    }
    std::shared_ptr<ui::ViewController> screen;
    std::shared_ptr<TypeView> panel;
    std::shared_ptr<Owner> owner = std::make_shared<Owner>();
};

TEST_F(TypeViewTest, RowsFiftyApartAndATouchOnTextOrMarkChoosesWithoutHiding) {
    ns::Value types = ns::Value::array({"政治问候", "生日问候", "一般短信"});
    panel->setTitleStr("请选择短信类型");
    panel->LoadingWithData(types);
    EXPECT_TRUE(driver->findViewWithText("请选择短信类型"));
    ASSERT_EQ(panel->rowLabels.size(), 3u);
    for (std::size_t i = 0; i < 3; i++) {
        EXPECT_EQ(panel->rowLabels[i]->frame().origin.y, 50.0 * static_cast<double>(i));
        EXPECT_EQ(panel->rowButtons[i]->imageForState(ui::ControlStateNormal)->name(), "title_unselected.png");
    }
    EXPECT_EQ(panel->scrollView->contentSize().height, 150);

    driver->tapText("生日问候");
    ASSERT_EQ(owner->choices.size(), 1u);
    EXPECT_EQ(owner->choices[0], std::make_pair(std::string("生日问候"), 1L));
    EXPECT_EQ(panel->rowButtons[1]->imageForState(ui::ControlStateNormal)->name(), "title_seledted.png");
    EXPECT_FALSE(panel->isHidden());  // the owner hides it

    driver->tap(panel->rowButtons[2]);
    ASSERT_EQ(owner->choices.size(), 2u);
    EXPECT_EQ(owner->choices[1], std::make_pair(std::string("一般短信"), 2L));
    EXPECT_EQ(panel->rowButtons[1]->imageForState(ui::ControlStateNormal)->name(), "title_unselected.png");
    EXPECT_EQ(panel->rowButtons[2]->imageForState(ui::ControlStateNormal)->name(), "title_seledted.png");
}

TEST_F(TypeViewTest, KeepsTheOwnersArrayAndSendsWhatTheRowShowsAfterTheOwnerEmptiedIt) {
    ns::Value dataArray = ns::Value::array({"治安", "消防"});
    panel->LoadingWithData(dataArray);
    EXPECT_TRUE(panel->dataArray().isSame(dataArray));

    // The owner empties its array for a new request while the old rows show.
    dataArray.removeAll();
    driver->tapText("消防");
    ASSERT_EQ(owner->choices.size(), 1u);
    EXPECT_EQ(owner->choices[0], std::make_pair(std::string("消防"), 1L));

    // The reply refills the same array and hands it in again: new rows.
    dataArray.push("环境");
    panel->LoadingWithData(dataArray);
    EXPECT_EQ(panel->rowLabels.size(), 1u);
    EXPECT_FALSE(driver->findViewWithText("治安"));
    EXPECT_EQ(panel->selectedIndex(), -1);
    EXPECT_EQ(panel->rowButtons[0]->imageForState(ui::ControlStateNormal)->name(), "title_unselected.png");
}

TEST_F(TypeViewTest, CancelHidesWithoutAChoice) {
    panel->LoadingWithData(ns::Value::array({"党员", "普通群众"}));
    driver->tapText("取消");
    EXPECT_TRUE(panel->isHidden());
    EXPECT_TRUE(owner->choices.empty());
    panel->LoadingWithData(ns::Value::array());
    EXPECT_TRUE(panel->rowLabels.empty());
}

TEST(PhotoTest, Image2StringIsOneLineOfBase64OfAQualityThirtyJPEG) {
    // A 240 x 240 picture with detail, so the quality shows in the size.
    std::vector<std::uint8_t> rgba(240 * 240 * 4);
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 240; x++) {
            auto* p = &rgba[static_cast<std::size_t>((y * 240 + x) * 4)];
            p[0] = static_cast<std::uint8_t>((x * 7) ^ (y * 3));
            p[1] = static_cast<std::uint8_t>(x + y);
            p[2] = static_cast<std::uint8_t>((x * y) >> 4);
            p[3] = 255;
        }
    auto image = ui::Image::imageWithPixels(240, 240, rgba);
    ASSERT_TRUE(image);
    std::string text = Photo::image2String(image);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n "), std::string::npos);
    auto bytes = ns::base64Decode(text);  // strict: standard alphabet, padded
    ASSERT_TRUE(bytes);
    ASSERT_GT(bytes->size(), 3u);
    EXPECT_EQ((*bytes)[0], 0xFF);
    EXPECT_EQ((*bytes)[1], 0xD8);
    int w = 0, h = 0;
    std::vector<std::uint8_t> decoded;
    ASSERT_TRUE(ui::decodeJPEG(*bytes, &w, &h, &decoded));
    EXPECT_EQ(w, 240);
    EXPECT_EQ(h, 240);
    auto best = ui::ImageJPEGRepresentation(image, 1.0);
    ASSERT_TRUE(best);
    EXPECT_LT(bytes->size(), best->size());
    EXPECT_EQ(*bytes, *ui::ImageJPEGRepresentation(image, 0.3));

    EXPECT_EQ(Photo::image2String(nullptr), "");
}

}  // namespace
