// The party-school module: the home tile, the menu swapping its lists and
// the reading page by class, each list's request, rows and detail, and the
// pull-down that goes back to page "1".
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/RearviewCell.h"
#include "app/framework/Records.h"
#include "app/ShellTestSupport.h"
#include "app/widgets/ZCDYCell.h"
#include "channels/CWDSDetailViewController.h"
#include "channels/Module.h"
#include "channels/OnlineRead.h"
#include "channels/PartySchool.h"

using namespace moduletest;

namespace {

class PartySchoolTest : public moduletest::ModuleTest {
protected:
    std::shared_ptr<RevealController> openPartySchool() {
        front = ui::create<YDDXFrontViewController>();
        rear = ui::create<YDDXRearViewController>();
        return openModule(front, rear);
    }
    void touchRow(const std::shared_ptr<RevealController>& reveal, long row) {
        openMenu(reveal);
        ASSERT_TRUE(rear->rearTableView()->tapRowAtIndexPath(ui::IndexPath{0, row}));
        driver->advance(1.0);
    }
    std::string lastCategory() const {
        return svc.requests("GetArticleList").back().argument["parameters"]["category_code"].str();
    }

    std::shared_ptr<YDDXFrontViewController> front;
    std::shared_ptr<YDDXRearViewController> rear;
};

TEST_F(PartySchoolTest, TheoryStudyListsItsArticlesAndOpensThemOnTheWeb) {
    serveArticlePages();
    openPartySchool();
    ASSERT_TRUE(settle(front));
    EXPECT_EQ(front->title(), "理论学习");
    EXPECT_EQ(front->naview->titleLabel->text(), "理论学习");
    EXPECT_TRUE(front->naview->leftButton->isHidden());
    auto asked = svc.received("GetArticleList");
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["page_size"].integerValue(), 10);
    EXPECT_EQ(lastCategory(), "lilunxuexi");

    auto table = front->mtableview;
    EXPECT_EQ(table->rectForRowAtIndexPath(ui::IndexPath{0, 0}).size.height, 60);
    auto cell = std::dynamic_pointer_cast<ZCDYCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, 1}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->titleLabel->text(), "标题1-2");
    EXPECT_EQ(cell->timeLabel->text(), "时间: 2014-05-14");

    svc.reply("GetArticleRecord", LoopbackService::held());
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 1}));
    auto detail = std::dynamic_pointer_cast<CWDSDetailViewController>(front->navigationController()->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->article_id, "1-2");
    EXPECT_EQ(detail->titleStr, "理论学习");
    svc.release();
}

TEST_F(PartySchoolTest, MenuSwapsRegulationsHistoryAndReading) {
    serveArticlePages();
    auto reveal = openPartySchool();
    ASSERT_TRUE(settle(front));
    auto table = rear->rearTableView();
    std::vector<std::string> titles;
    for (long r = 0; r < table->numberOfRowsInSection(0); ++r) {
        auto cell = std::dynamic_pointer_cast<RearviewCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, r}));
        titles.push_back(cell->titleLabel->text());
        EXPECT_TRUE(cell->lineimagev->isHidden());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"理论学习", "党内法规", "重温党史", "在线阅读", "回到首页"}));

    touchRow(reveal, 1);
    auto rules = frontAs<ZCJDViewController>(reveal);
    ASSERT_TRUE(rules);
    ASSERT_TRUE(settle(rules));
    EXPECT_EQ(rules->category_code, "dangnafagui");
    EXPECT_EQ(lastCategory(), "dangnafagui");
    EXPECT_EQ(rules->naview->titleLabel->text(), "党内法规");
    ASSERT_TRUE(rules->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto rulesDetail =
        std::dynamic_pointer_cast<CWDSDetailViewController>(rules->navigationController()->topViewController());
    ASSERT_TRUE(rulesDetail);
    EXPECT_EQ(rulesDetail->titleStr, "党内法规");

    touchRow(reveal, 2);
    auto history = frontAs<CWDSViewController>(reveal);
    ASSERT_TRUE(history);
    ASSERT_TRUE(settle(history));
    EXPECT_EQ(lastCategory(), "zhongwendangshi");
    EXPECT_EQ(history->naview->titleLabel->text(), "重温党史");
    EXPECT_EQ(history->menuButton->frame(), (ui::Rect{10, 21, 22, 22}));
    ASSERT_TRUE(history->mtableview->tapRowAtIndexPath(ui::IndexPath{0, 0}));
    auto historyDetail =
        std::dynamic_pointer_cast<CWDSDetailViewController>(history->navigationController()->topViewController());
    ASSERT_TRUE(historyDetail);
    EXPECT_EQ(historyDetail->titleStr, "重温党史");

    touchRow(reveal, 3);
    auto reading = frontAs<OnlineReadViewController>(reveal);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->title(), "在线阅读");
    // The reading row again leaves the page as it is.
    openMenu(reveal);
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 3}));
    EXPECT_EQ(frontRoot(reveal), reading);
    EXPECT_EQ(rear->menu->highlightedRow(), 3);

    // Home at once.
    ASSERT_TRUE(table->tapRowAtIndexPath(ui::IndexPath{0, 4}));
    EXPECT_TRUE(ui::isKind<moduletest::HomeStub>(homeNav->topViewController()));
}

TEST_F(PartySchoolTest, TheShownListKeepsItsPagesAndAPullDownLeavesPageOne) {
    serveArticlePages();
    auto reveal = openPartySchool();
    ASSERT_TRUE(settle(front));
    for (std::size_t n : {20u, 30u}) {
        moduletest::pullUp(front->mtableview);
        driver->advance(2.0);
        ASSERT_TRUE(driver->waitUntil([&] { return front->mdataArray().count() == n; }));
    }
    touchRow(reveal, 0);
    EXPECT_EQ(frontRoot(reveal), front);
    EXPECT_EQ(front->mdataArray().count(), 30u);
    EXPECT_EQ(front->pageNo(), 3);

    reveal->revealToggle(nullptr);
    driver->advance(1.0);
    front->mtableview->setContentOffset(ui::Point{0, 0});
    pullDown(front->mtableview);
    driver->advance(2.0);
    ASSERT_TRUE(settle(front));
    ASSERT_EQ(front->mdataArray().count(), 10u);
    EXPECT_EQ(records::text(front->mdataArray().at(0), "id"), "1-1");
    EXPECT_EQ(pagesAsked(), (std::vector<int>{1, 2, 3, 1}));
}

// The home screen's "移动党校" tile.
class PartySchoolTileTest : public shelltest::ShellTest {};

TEST_F(PartySchoolTileTest, TileOpensTheTheoryStudyList) {
    svc.reply("GetArticleList", moduletest::listReply(moduletest::articlePage(1)));
    launchHome();
    registerChannelsModule(moduleRegistry());
    ASSERT_TRUE(moduleRegistry().yddx.isBuilt());
    tapTile(1003);
    driver->advance(1.0);
    auto reveal = std::dynamic_pointer_cast<RevealController>(top());
    ASSERT_TRUE(reveal);
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    ASSERT_TRUE(nav);
    auto list = std::dynamic_pointer_cast<YDDXFrontViewController>(nav->viewControllers().front());
    ASSERT_TRUE(list);
    EXPECT_TRUE(std::dynamic_pointer_cast<YDDXRearViewController>(reveal->rearViewController()));
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 10; }));
    EXPECT_EQ(svc.received("GetArticleList")["parameters"]["category_code"].str(), "lilunxuexi");
}

}  // namespace
