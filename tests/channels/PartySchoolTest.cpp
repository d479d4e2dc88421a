// The party-school module: the home tile, the menu swapping its lists and
// the reading page by class, each list's request, rows and detail, and the
// pull-down that goes back to page "1".
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/ShellTestSupport.h"
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

    std::shared_ptr<YDDXFrontViewController> front;
    std::shared_ptr<YDDXRearViewController> rear;
};

TEST_F(PartySchoolTest, TheoryStudyListsItsArticlesAndOpensThemOnTheWeb) {
    serveArticlePages();
    openPartySchool();
    EXPECT_EQ(front->title(), "理论学习");
    EXPECT_TRUE(front->naview->leftButton->isHidden());
    auto detail = expectTitleAndTimeList<CWDSDetailViewController>(front, "lilunxuexi", "理论学习");
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->titleStr, "理论学习");
}

TEST_F(PartySchoolTest, MenuSwapsRegulationsHistoryAndReading) {
    serveArticlePages();
    auto reveal = openPartySchool();
    ASSERT_TRUE(settle(front));
    auto table = rear->rearTableView();
    EXPECT_EQ(menuTitles(table), (std::vector<std::string>{"理论学习", "党内法规", "重温党史", "在线阅读", "回到首页"}));

    // Regulations and history: lists of their own class, their articles titled by the list.
    struct Case {
        long row;
        std::string code, title;
    };
    for (const Case& c : {Case{1, "dangnafagui", "党内法规"}, Case{2, "zhongwendangshi", "重温党史"}}) {
        touchMenuRow(reveal, table, c.row);
        auto list = frontAs<ListScreen>(reveal);
        ASSERT_TRUE(list) << c.title;
        EXPECT_TRUE(c.row == 1 ? ui::isKind<ZCJDViewController>(list) : ui::isKind<CWDSViewController>(list));
        EXPECT_EQ(list->category_code, c.code);
        auto detail = expectTitleAndTimeList<CWDSDetailViewController>(list, c.code, c.title);
        ASSERT_TRUE(detail);
        EXPECT_EQ(detail->titleStr, c.title);
    }
    EXPECT_EQ(frontAs<ListScreen>(reveal)->menuButton->frame(), (ui::Rect{10, 21, 22, 22}));

    touchMenuRow(reveal, table, 3);
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
    auto list = frontAs<YDDXFrontViewController>(reveal);
    ASSERT_TRUE(list);
    EXPECT_TRUE(std::dynamic_pointer_cast<YDDXRearViewController>(reveal->rearViewController()));
    ASSERT_TRUE(driver->waitUntil([&] { return list->mdataArray().count() == 10; }));
    EXPECT_EQ(svc.received("GetArticleList")["parameters"]["category_code"].str(), "lilunxuexi");
}

}  // namespace
