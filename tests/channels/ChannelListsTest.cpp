// The current-affairs channel lists as the module's menu swaps them in: the
// request each asks with, its rows, the detail a row opens, and the refresh.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "channels/ChannelDetailScreen.h"
#include "channels/ChannelLists.h"
#include "channels/SSXWCell.h"
#include "channels/SSZTFrontViewController.h"
#include "channels/SSZTRearViewController.h"

using namespace moduletest;

namespace {

class ChannelListsTest : public moduletest::ModuleTest {
protected:
    std::shared_ptr<RevealController> openCurrentAffairs() {
        rear = ui::create<SSZTRearViewController>();
        auto news = ui::create<SSZTFrontViewController>();
        auto reveal = openModule(news, rear);
        // The news list's first page is in before a channel is chosen.
        EXPECT_TRUE(settle(news));
        return reveal;
    }
    void touchRow(const std::shared_ptr<RevealController>& reveal, long row) {
        touchMenuRow(reveal, rear->rearTableView(), row);
    }

    std::shared_ptr<SSZTRearViewController> rear;
};

TEST_F(ChannelListsTest, RegionalNewsFromTheMenuShowsThumbnailRows) {
    serveArticlePages();
    auto reveal = openCurrentAffairs();
    svc.reply("GetArticleList", R"({"records":[)"
                                R"({"id":"7","title":"动态一","zhaiyao":"摘要","img_url":null},)"
                                R"({"id":"8","title":"动态二","zhaiyao":null,"img_url":""},)"
                                R"("not a record"]})");
    touchRow(reveal, 1);
    auto list = frontAs<VLDTViewController>(reveal);
    ASSERT_TRUE(list);
    ASSERT_TRUE(settle(list));
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionLeft);
    EXPECT_EQ(list->title(), "Velmarsh动态");
    EXPECT_EQ(list->naview->titleLabel->text(), "Velmarsh动态");
    EXPECT_TRUE(list->naview->leftButton->isHidden());
    EXPECT_EQ(list->menuButton->frame(), (ui::Rect{10, 25, 22, 22}));
    EXPECT_EQ(list->mtableview->frame(), (ui::Rect{0, 64, 320, 568 - 64}));

    auto asked = svc.requests("GetArticleList").back().argument;
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["page_size"].integerValue(), 10);
    EXPECT_EQ(asked["parameters"]["category_code"].str(), "velmarshdongtai");

    auto table = list->mtableview;
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 1}).size.height, 70);
    auto first = std::dynamic_pointer_cast<SSXWCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    auto second = std::dynamic_pointer_cast<SSXWCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 1}));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->headimagev->image(), ui::Image::imageNamed("icon_empty.png"));
    EXPECT_EQ(first->subLabel->text(), "摘要");
    EXPECT_EQ(second->titleLabel->text(), "动态二");
    EXPECT_EQ(second->subLabel->text(), "");
    EXPECT_EQ(second->accessoryType(), ui::TableViewCellAccessoryDisclosureIndicator);

    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    auto detail = pushedOver<VLDTDetailViewController>(list);
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->article_id, "8");
}

TEST_F(ChannelListsTest, SpeechAndAppointmentRowsShowTitleAndTime) {
    serveArticlePages();
    auto reveal = openCurrentAffairs();
    touchRow(reveal, 3);
    auto cadre = frontAs<GBRMViewController>(reveal);
    ASSERT_TRUE(cadre);
    EXPECT_EQ(cadre->title(), "干部任免");
    expectTitleAndTimeList<GBRMDetailViewController>(cadre, "ganburenmian", "干部任免");
    EXPECT_EQ(cadre->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 0})->reuseIdentifier(), "cell");

    touchRow(reveal, 2);
    auto speeches = frontAs<LDYLViewController>(reveal);
    ASSERT_TRUE(speeches);
    expectTitleAndTimeList<LDYLDetailViewController>(speeches, "lingdaoyanlun", "领导言论");
}

TEST_F(ChannelListsTest, TheShownChannelStaysAndAnotherVisitStartsAfresh) {
    serveArticlePages();
    auto reveal = openCurrentAffairs();
    touchRow(reveal, 1);
    auto list = frontAs<VLDTViewController>(reveal);
    ASSERT_TRUE(settle(list));
    loadNextPage(list->mtableview);
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 20; }));
    const std::size_t asked = svc.count("GetArticleList");

    // Its own row again: only the highlight, the menu stays open.
    touchRow(reveal, 1);
    EXPECT_EQ(frontRoot(reveal), list);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    EXPECT_EQ(svc.count("GetArticleList"), asked);

    // Away and back: a new list from page "1".
    ASSERT_TRUE(rear->rearTableView()->tapRowAtIndexPath(ui::IndexPath{0, 2}));
    driver->advance(1.0);
    touchRow(reveal, 1);
    auto again = frontAs<VLDTViewController>(reveal);
    ASSERT_TRUE(again);
    EXPECT_NE(again, list);
    ASSERT_TRUE(settle(again));
    EXPECT_EQ(again->mdataArray().count(), 10u);
    EXPECT_EQ(pagesAsked().back(), 1);
}

TEST_F(ChannelListsTest, AFailedFirstLoadLeavesTheListEmptyAndAPullStartsAgain) {
    auto list = ui::create<LDYLViewController>();
    list->category_code = "lingdaoyanlun";
    svc.replyOnce("GetArticleList", LoopbackService::status(500));
    openModule(list, ui::create<SSZTRearViewController>());
    ASSERT_TRUE(settle(list));
    EXPECT_EQ(list->mtableview->numberOfRowsInSection(0), 0);
    EXPECT_EQ(list->naview->titleLabel->text(), "");  // nobody titled it

    serveArticlePages();
    pullDown(list->mtableview);
    driver->advance(2.0);
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 10; }));
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 1}));
}

}  // namespace
