// The activity list of an organisation, its permission for uploading, and
// the activity page with its pictures.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "cases/ActivityDetailViewController.h"
#include "cases/ActivityUploadViewController.h"
#include "cases/ActivityViewController.h"
#include "foundation/Log.h"

using namespace moduletest;

namespace {


ns::Value activities(int n) {
    ns::Value rows = ns::Value::array();
    for (int i = 1; i <= n; ++i) {
        rows.push(ns::Value::dictionary({{"title", ns::format("活动%d", i)}, {"add_time", "2014-06-0" + std::to_string(i)}}));
    }
    return rows;
}

class ActivityTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember("7", "李明");
    }
    std::shared_ptr<ActivityViewController> openList(const ns::Value& power, int rows = 2) {
        ns::Value r = ns::Value::dictionary({{"records", activities(rows)}});
        if (!power.isNil()) r.set("is_power", power);
        svc.reply("GetOrgActivity", json(r));
        auto list = ui::create<ActivityViewController>();
        list->setActivID("55");
        showPushed(list);
        EXPECT_TRUE(driver->waitUntil(
            [&] { return list->mtableview->numberOfRowsInSection(0) == static_cast<long>(rows); }));
        settle();
        return list;
    }
};

TEST_F(ActivityTest, EachAppearanceAsksForTheFirstPageWithoutOverlay) {
    auto list = openList(ns::Value("1"));
    EXPECT_FALSE(ProgressHUD::isVisible());
    auto sent = svc.received("GetOrgActivity");
    EXPECT_EQ(sent["page_index"].integerValue(), 1);
    EXPECT_EQ(sent["page_size"].integerValue(), 10);
    EXPECT_TRUE(sent["parameters"]["org_id"].isString());
    EXPECT_EQ(sent["parameters"]["org_id"].text(), "55");
    EXPECT_FALSE(sent["parameters"]["user_id"].isString());  // bare
    EXPECT_EQ(sent["parameters"]["user_id"].integerValue(), 7);
    EXPECT_EQ(sent["orders"]["add_time"].text(), "desc");
    EXPECT_EQ(list->mtableview->numberOfRowsInSection(0), 2);
    auto cell = list->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 1});
    EXPECT_EQ(cell->textLabel()->text(), "活动2");
    EXPECT_EQ(cell->detailTextLabel()->text(), "2014-06-02");

    // Back from the detail: asked again, rows not doubled.
    ASSERT_TRUE(driver->tapText("活动1"));
    driver->advance(1.0);
    ASSERT_TRUE(std::dynamic_pointer_cast<ActivityDetailViewController>(nav->topViewController()));
    nav->popViewControllerAnimated(false);
    ASSERT_TRUE(waitForRequests("GetOrgActivity", 2));
    ASSERT_TRUE(driver->waitUntil([&] { return list->mtableview->numberOfRowsInSection(0) == 2; }));
    settle();
    EXPECT_EQ(list->mtableview->numberOfRowsInSection(0), 2);
}

TEST_F(ActivityTest, PowerAsNumberGrantsUploadAndMissingPowerRefuses) {
    auto granted = openList(ns::Value(1));
    EXPECT_EQ(granted->is_power, "1");
    driver->tap(granted->uploadButton);
    driver->advance(1.0);
    auto presented = std::dynamic_pointer_cast<ui::NavigationController>(granted->presentedViewController());
    ASSERT_TRUE(presented);
    auto upload = std::dynamic_pointer_cast<ActivityUploadViewController>(presented->topViewController());
    ASSERT_TRUE(upload);
    EXPECT_EQ(upload->activID, "55");
    EXPECT_EQ(upload->modalTransitionStyle(), ui::ModalTransitionStyleFlipHorizontal);
    upload->back();
    driver->advance(1.0);

    auto refused = openList(ns::Value());
    driver->tap(refused->uploadButton);
    EXPECT_EQ(alertMessage(), "你没有权限使用该功能");
    EXPECT_FALSE(refused->presentedViewController());
}

TEST_F(ActivityTest, EmptyReplyAfterPullDownHidesTheTable) {
    auto list = openList(ns::Value("0"));
    ASSERT_EQ(list->mtableview->numberOfRowsInSection(0), 2);
    svc.reply("GetOrgActivity", R"({"records":[],"is_power":"0"})");
    list->mtableview->simulateDrag(ui::Point{0, 80});
    EXPECT_TRUE(list->_reloading);
    driver->advance(2.0);
    ASSERT_TRUE(waitForRequests("GetOrgActivity", 2));
    ASSERT_TRUE(driver->waitUntil([&] { return list->mtableview->isHidden(); }));
    EXPECT_EQ(list->mtableview->numberOfRowsInSection(0), 0);
    EXPECT_EQ(list->alertLabel->text(), "暂无数据！");
    EXPECT_FALSE(list->_reloading);
}

TEST_F(ActivityTest, ReplyOfAnEarlierAppearanceIsDropped) {
    svc.reply("GetOrgActivity", LoopbackService::held(svc.result("GetOrgActivity", json(ns::Value::dictionary(
                                                                                       {{"records", activities(3)}})))));
    auto list = ui::create<ActivityViewController>();
    showPushed(list);
    ASSERT_TRUE(waitForRequests("GetOrgActivity", 1));
    list->viewWillAppear(false);  // appears again while the first page is out
    ASSERT_TRUE(waitForRequests("GetOrgActivity", 2));
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return list->mtableview->numberOfRowsInSection(0) > 0; }));
    settle();
    EXPECT_EQ(list->mtableview->numberOfRowsInSection(0), 3);
}

TEST_F(ActivityTest, DetailStacksPicturesAndShowsOneFullScreen) {
    ns::Value attach = ns::Value::array({ns::Value::dictionary({{"thumb_path", "http://127.0.0.1:1/a.jpg"}}),
                                         ns::Value::dictionary({{"thumb_path", "http://127.0.0.1:1/b.jpg"}}),
                                         ns::Value::dictionary({{"thumb_path", ns::Value::null()}})});
    auto detail = ui::create<ActivityDetailViewController>();
    detail->setMsgDit(ns::Value::dictionary(
        {{"title", "植树"}, {"add_time", "2014-03-12"}, {"content", "全体党员参加"}, {"org_activity_attach", attach}}));
    showPushed(detail);
    EXPECT_EQ(detail->naview->titleLabel->text(), "活动详情");
    EXPECT_EQ(detail->titleLabel->text(), "植树");
    EXPECT_EQ(detail->timeLabel->text(), "发布时间:2014-03-12");
    ASSERT_EQ(detail->photoViews.size(), 3u);
    const double w = detail->view()->frame().size.width;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(detail->photoViews[i]->tag(), 2000 + i);
        EXPECT_EQ(detail->photoViews[i]->frame(), (ui::Rect{(w - 240) / 2, 78.0 + 250 * i, 240, 240}));
    }
    EXPECT_EQ(detail->contentLabel->frame().origin.y, 828);
    EXPECT_EQ(detail->msrview->contentSize().height, 828 + detail->contentLabel->frame().size.height + 30);

    ns::LogCapture log;
    driver->tap(detail->photoViews[1]);
    EXPECT_TRUE(log.contains("image url=http://127.0.0.1:1/b.jpg"));
    ASSERT_TRUE(detail->bigImageView);
    EXPECT_EQ(detail->bigImageView->frame(), (ui::Rect{0, 64, w, detail->view()->frame().size.height - 64}));
    auto big = detail->bigImageView;
    driver->tap(big);
    EXPECT_FALSE(big->superview());

    // A picture without an address opens nothing.
    driver->tap(detail->photoViews[2]);
    EXPECT_FALSE(detail->bigImageView);
}

TEST_F(ActivityTest, DetailWithoutPicturesPutsTheTextUnderTheTime) {
    auto detail = ui::create<ActivityDetailViewController>();
    detail->setMsgDit(ns::Value::dictionary({{"title", 12}, {"content", ns::Value::null()}, {"org_activity_attach", "x"}}));
    showPushed(detail);
    EXPECT_TRUE(detail->photoViews.empty());
    EXPECT_EQ(detail->contentLabel->frame().origin.y, 78);
    EXPECT_EQ(detail->titleLabel->text(), "12");
}

}  // namespace
