// The grid's event list and event detail: the pages they request, the rows
// and fields they show, the handling panel and what a handling sends.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "cases/DJWGRearViewController.h"
#include "cases/EventCell.h"
#include "cases/EventDetailViewController.h"
#include "cases/EventListViewController.h"
#include "cases/ResultCell.h"
#include "uikit/Image.h"

using namespace moduletest;

namespace {

ns::Value eventPage(int page, int size = 10) {
    ns::Value rows = ns::Value::array();
    for (int i = 1; i <= size; ++i) {
        std::string id = ns::format("%d%02d", page, i);
        rows.push(ns::Value::dictionary(
            {{"id", id}, {"category", "治安"}, {"title", "事件" + id}, {"charge", "张三"}, {"place", "西街"}}));
    }
    return rows;
}

ns::Value eventRecord(const std::string& isHandle, const std::string& isReport, const ns::Value& handles) {
    ns::Value event = ns::Value::dictionary({{"category", "环境"},
                                             {"title", "河道污染"},
                                             {"org_name", "城关街道"},
                                             {"user_name", "王五"},
                                             {"tags", "是"},
                                             {"datetime", "2014-05-14 09:30"},
                                             {"place", "南河"},
                                             {"state", "办理中"},
                                             {"charge", "李四"}});
    if (!handles.isNil()) event.set("event_handles", handles);
    return ns::Value::dictionary({{"records", event}, {"is_handle", isHandle}, {"is_report", isReport}});
}

class EventListTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember("77", "王五");
    }
    std::shared_ptr<EventListViewController> openList(const std::string& type, const std::string& title) {
        list = ui::create<EventListViewController>();
        list->eventType = type;
        list->eventTitle = title;
        reveal = openModule(list, ui::create<DJWGRearViewController>());
        return list;
    }
    bool settle() { return driver->waitUntil([&] { return list->list && !list->list->isLoadingPage(); }); }
    void servePages(int pages) {
        svc.handle("GetEventList", [this, pages](const LoopbackService::Received& r) {
            int page = moduletest::requestedPage(r);
            return svc.result("GetEventList", moduletest::listReply(page <= pages ? eventPage(page) : ns::Value::array()));
        });
    }
    std::shared_ptr<EventCell> cell(long row) {
        return std::dynamic_pointer_cast<EventCell>(list->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, row}));
    }

    std::shared_ptr<EventListViewController> list;
    std::shared_ptr<RevealController> reveal;
};

TEST_F(EventListTest, LoadsTheMembersEventsOfItsTypeAndDrawsThreeLines) {
    svc.reply("GetEventList", moduletest::listReply(ns::Value::array(
                                  {ns::Value::dictionary({{"id", "9"}, {"category", "治安"}, {"title", "打架"},
                                                          {"charge", "张三"}, {"place", "西街"}}),
                                   ns::Value::dictionary({{"id", "10"}, {"category", ""}, {"title", "噪音"},
                                                          {"charge", ns::Value::null()}, {"place", 5}})})));
    openList("1", "急件处理");
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(settle());
    ns::Value asked = svc.received("GetEventList");
    EXPECT_EQ(asked["page_index"].integerValue(), 1);
    EXPECT_EQ(asked["page_size"].integerValue(), 10);
    EXPECT_EQ(asked["parameters"]["type"].integerValue(), 1);
    EXPECT_EQ(asked["parameters"]["user_id"].integerValue(), 77);
    EXPECT_EQ(asked["orders"]["add_time"].str(), "desc");

    EXPECT_EQ(list->naview->titleLabel->text(), "急件处理");
    EXPECT_TRUE(list->naview->leftButton->isHidden());
    EXPECT_EQ(list->mtableview->frame(), (ui::Rect{0, 64, 320, 568 - 64}));
    ASSERT_EQ(list->mtableview->numberOfRowsInSection(0), 2);
    EXPECT_EQ(list->mtableview->rectForRowAtIndexPath(ui::IndexPath{0, 1}), (ui::Rect{0, 80, 320, 80}));
    auto first = cell(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->titleLabel->text(), "[治安]打架");
    EXPECT_EQ(first->peopleLabel->text(), "负责人: 张三");
    EXPECT_EQ(first->addressLabel->text(), "事件地点: 西街");
    EXPECT_EQ(first->accessoryType(), ui::TableViewCellAccessoryDisclosureIndicator);
    EXPECT_EQ(first->peopleLabel->frame(), (ui::Rect{5, 30, 300, 20}));
    auto second = cell(1);
    EXPECT_EQ(second->titleLabel->text(), "[]噪音");
    EXPECT_EQ(second->peopleLabel->text(), "负责人: ");
    EXPECT_EQ(second->addressLabel->text(), "事件地点: 5");
    EXPECT_EQ(driver->findViewWithText("暂无数据！"), nullptr);
}

TEST_F(EventListTest, PagingRefreshAndTheEmptyList) {
    servePages(2);
    openList("3", "事件处理");
    ASSERT_TRUE(settle());
    loadNextPage(list->mtableview);
    ASSERT_TRUE(settle());
    EXPECT_EQ(list->mdataArray().count(), 20u);
    // Past the last page: nothing added, the page number one higher.
    loadNextPage(list->mtableview);
    ASSERT_TRUE(settle());
    EXPECT_EQ(list->mdataArray().count(), 20u);
    EXPECT_EQ(list->pageNo(), 3);
    EXPECT_EQ(pagesAsked("GetEventList"), (std::vector<int>{1, 2, 3}));
    // A pull-down shows only the first page again.
    list->mtableview->setContentOffset(ui::Point{0, 0});
    pullDown(list->mtableview);
    driver->advance(2.0);
    ASSERT_TRUE(settle());
    EXPECT_EQ(pagesAsked("GetEventList").back(), 1);
    EXPECT_EQ(list->mdataArray().count(), 10u);
    for (const auto& r : svc.requests("GetEventList")) EXPECT_EQ(r.argument["parameters"]["type"].integerValue(), 3);
}

TEST_F(EventListTest, NoRecordsShowsTheToast) {
    svc.reply("GetEventList", R"({"state":"successful"})");
    openList("2", "协调件处理");
    ASSERT_TRUE(settle());
    EXPECT_EQ(list->mtableview->numberOfRowsInSection(0), 0);
    EXPECT_NE(driver->findViewWithText("暂无数据！"), nullptr);
}

TEST_F(EventListTest, ARowPushesItsDetailOverTheList) {
    servePages(1);
    svc.reply("GetEventRecord", moduletest::json(eventRecord("0", "0", ns::Value::array())));
    openList("3", "事件处理");
    ASSERT_TRUE(settle());
    list->mtableview->delegate()->tableView_didSelectRowAtIndexPath(list->mtableview, ui::IndexPath{0, 2});
    auto nav = list->navigationController();
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    auto detail = std::dynamic_pointer_cast<EventDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->eventID, "103");
    ASSERT_TRUE(waitForRequests("GetEventRecord", 1));
    ns::Value asked = svc.received("GetEventRecord")["parameters"];
    EXPECT_EQ(asked["id"].integerValue(), 103);
    EXPECT_EQ(asked["user_id"].integerValue(), 77);
    // Back: the list as it was, not reloaded.
    driver->advance(1);
    detail->back();
    driver->advance(1);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_EQ(svc.count("GetEventList"), 1u);
    EXPECT_EQ(list->mdataArray().count(), 10u);
}

class EventDetailTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember("77", "王五");
    }
    std::shared_ptr<EventDetailViewController> openDetail(const ns::Value& reply) {
        svc.replyOnce("GetEventRecord", svc.result("GetEventRecord", moduletest::json(reply)));
        detail = ui::create<EventDetailViewController>();
        detail->eventID = "5";
        showInNav(detail);
        EXPECT_TRUE(driver->waitUntil([&] { return !detail->resultLabel->text().empty(); }));
        return detail;
    }
    std::shared_ptr<ResultCell> historyCell(long row) {
        return std::dynamic_pointer_cast<ResultCell>(detail->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, row}));
    }
    // The panel lies below the screen's end: scrolled up, as while typing the opinion.
    void tapSubmit() {
        detail->mscrview->setContentOffset(ui::Point{0, 300});
        ASSERT_TRUE(driver->tap(detail->resview->submitButton));
    }
    void submitHandling(const std::string& reply) {
        svc.replyOnce("SubmitEventHandle", svc.result("SubmitEventHandle", reply));
        tapSubmit();
    }

    std::shared_ptr<EventDetailViewController> detail;
};

TEST_F(EventDetailTest, ShowsTheEventAndItsHistory) {
    openDetail(eventRecord("0", "0", ns::Value::array({ns::Value::dictionary({{"user_name", "赵六"},
                                                                             {"remark", "已派人"},
                                                                             {"state", "办结中"},
                                                                             {"datetimes", "2014-05-15"}}),
                                                       "junk"})));
    EXPECT_EQ(detail->naview->titleLabel->text(), "事件详细");
    EXPECT_FALSE(detail->naview->leftButton->isHidden());
    EXPECT_EQ(detail->titleLabel->text(), "[环境]河道污染");
    EXPECT_EQ(detail->gavLabel->text(), "发起部门:城关街道");
    EXPECT_EQ(detail->peopleLabel->text(), "发起人:王五");
    EXPECT_EQ(detail->tagLabel->text(), "是否紧急:是");
    EXPECT_EQ(detail->timeLabel->text(), "事件时间:2014-05-14 09:30");
    EXPECT_EQ(detail->addressLabel->text(), "事件地点:南河");
    EXPECT_EQ(detail->stateLabel->text(), "状态:办理中");
    EXPECT_EQ(detail->tagPeopleLabel->text(), "负责人:李四");
    EXPECT_EQ(detail->resultLabel->text(), "处理结果:");
    EXPECT_EQ(detail->tagPeopleLabel->frame(), (ui::Rect{5, 175, 310, 20}));
    EXPECT_EQ(detail->mscrview->contentSize(), (ui::Size{320, 715}));
    // No permission: no panel, the history still listed.
    EXPECT_TRUE(detail->resview->isHidden());
    ASSERT_EQ(detail->mtableview->numberOfRowsInSection(0), 2);
    auto row = historyCell(0);
    EXPECT_EQ(row->peopleLabel->text(), "处理人:赵六");
    EXPECT_EQ(row->contentLabel->text(), "处理内容: 已派人");
    EXPECT_EQ(row->stateLabel->text(), "状态:办结中 时间:2014-05-15");
    // A handling record of the wrong kind shows empty fields.
    EXPECT_EQ(historyCell(1)->peopleLabel->text(), "处理人:");
    EXPECT_TRUE(hudClosed());
}

TEST_F(EventDetailTest, PanelFollowsThePermissionsAndItsChoicesExcludeEachOther) {
    openDetail(eventRecord("1", "0", ns::Value()));
    EXPECT_EQ(detail->mtableview->numberOfRowsInSection(0), 0);
    auto panel = detail->resview;
    EXPECT_FALSE(panel->isHidden());
    EXPECT_TRUE(panel->shangBaoBt->isHidden());
    EXPECT_TRUE(panel->shangBaoLabel->isHidden());
    EXPECT_FALSE(panel->xietiaoBt->isHidden());
    EXPECT_TRUE(panel->is_handing);

    auto mark = [](const std::shared_ptr<ui::Button>& b) {
        return b->backgroundImageForState(ui::ControlStateNormal) == ui::Image::imageNamed("have_shangji.png");
    };
    driver->tap(panel->xietiaoBt);
    EXPECT_TRUE(panel->is_coordination);
    EXPECT_FALSE(panel->is_handing || panel->is_handled || panel->is_report);
    EXPECT_TRUE(mark(panel->xietiaoBt));
    EXPECT_FALSE(mark(panel->banjieBt) || mark(panel->DoneBt) || mark(panel->shangBaoBt));
    panel->DoneBtPress();
    EXPECT_TRUE(panel->is_handled);
    EXPECT_FALSE(panel->is_coordination);
    EXPECT_TRUE(mark(panel->DoneBt));
    EXPECT_FALSE(mark(panel->xietiaoBt));
}

TEST_F(EventDetailTest, HandlingSendsTheChoiceAndReloadsTheEvent) {
    openDetail(eventRecord("1", "1", ns::Value::array()));
    EXPECT_FALSE(detail->resview->shangBaoBt->isHidden());

    // An empty opinion sends nothing.
    tapSubmit();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "请输入处理意见");
    driver->pressAlertButton("确定");
    EXPECT_EQ(svc.count("SubmitEventHandle"), 0u);

    detail->resview->contentTextview->setText("已处理完毕");
    svc.replyOnce("GetEventRecord", svc.result("GetEventRecord", moduletest::json(eventRecord(
                                                                     "0", "0", ns::Value::array({ns::Value::dictionary(
                                                                                   {{"user_name", "王五"}})})))));
    submitHandling(R"({"state":"successful","message":"处理成功"})");
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "处理成功");
    ns::Value p = svc.received("SubmitEventHandle")["parameters"];
    EXPECT_EQ(p.keys(), (std::vector<std::string>{"id", "user_id", "is_handing", "is_handled", "is_coordination",
                                                  "is_report", "remark"}));
    EXPECT_EQ(p["id"].integerValue(), 5);
    EXPECT_EQ(p["user_id"].integerValue(), 77);
    EXPECT_EQ(p["is_handing"].integerValue(), 1);
    EXPECT_EQ(p["is_handled"].integerValue(), 0);
    EXPECT_EQ(p["is_coordination"].integerValue(), 0);
    EXPECT_EQ(p["is_report"].integerValue(), 0);
    EXPECT_EQ(p["remark"].str(), "已处理完毕");
    // The record again: the history grows, the panel goes with the permission.
    ASSERT_TRUE(driver->waitUntil([&] { return detail->resview->isHidden(); }));
    EXPECT_EQ(svc.count("GetEventRecord"), 2u);
    EXPECT_EQ(detail->mtableview->numberOfRowsInSection(0), 1);
    EXPECT_EQ(detail->resview->contentTextview->text(), "已处理完毕");
    EXPECT_TRUE(hudClosed());
}

TEST_F(EventDetailTest, RefusedHandlingSaysWhyAndKeepsThePanel) {
    openDetail(eventRecord("1", "1", ns::Value::array()));
    detail->resview->shangBaoBtPress();
    detail->resview->contentTextview->setText("上报县里");
    submitHandling(R"({"state":"failed","message":"无权上报"})");
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "无权上报");
    EXPECT_EQ(svc.received("SubmitEventHandle")["parameters"]["is_report"].integerValue(), 1);
    EXPECT_TRUE(hudClosed());
    EXPECT_EQ(svc.count("GetEventRecord"), 1u);
    EXPECT_FALSE(detail->resview->isHidden());
    EXPECT_TRUE(detail->resview->is_report);
    EXPECT_EQ(detail->resview->contentTextview->text(), "上报县里");
}

TEST_F(EventDetailTest, SubmitTouchedAgainWhileTheHandlingIsOnItsWaySendsItOnce) {
    openDetail(eventRecord("1", "1", ns::Value::array()));
    detail->resview->contentTextview->setText("已处理完毕");
    ASSERT_NO_FATAL_FAILURE(
        touchTwiceWhileHeld("SubmitEventHandle", LoopbackService::status(500), [&] { tapSubmit(); }));

    // Once the first has failed, the panel sends again.
    EXPECT_TRUE(hudClosed());
    svc.reply("SubmitEventHandle", svc.result("SubmitEventHandle", R"({"state":"failed","message":"无权上报"})"));
    tapSubmit();
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(svc.count("SubmitEventHandle"), 2u);
}

TEST_F(EventDetailTest, FailedLoadLeavesTheScreenEmpty) {
    svc.replyOnce("GetEventRecord", LoopbackService::status(500));
    detail = ui::create<EventDetailViewController>();
    detail->eventID = "5";
    showInNav(detail);
    ASSERT_TRUE(hudClosed());
    EXPECT_EQ(detail->titleLabel->text(), "");
    EXPECT_TRUE(detail->resview->isHidden());
}

}  // namespace
