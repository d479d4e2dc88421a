// The grid menu: its rows, the permission queries that guard registration
// and the event lists, the fronts they build, and the way home.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include <algorithm>

#include "app/framework/RearviewCell.h"
#include "cases/DJWGFrontViewController.h"
#include "cases/DJWGRearViewController.h"
#include "cases/EventListViewController.h"
#include "cases/Module.h"
#include "cases/TryingViewController.h"

using namespace moduletest;

namespace {

using moduletest::FrontStub;

class GridMenuTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember("77", "王五");
    }
    std::shared_ptr<RevealController> openGrid() {
        front = ui::create<FrontStub>();
        rear = ui::create<DJWGRearViewController>();
        return openModule(front, rear);
    }
    void tapRow(long row) {
        rear->rearTableView()->delegate()->tableView_didSelectRowAtIndexPath(rear->rearTableView(),
                                                                             ui::IndexPath{0, row});
    }
    std::string rowTitle(long row) {
        auto cell = std::dynamic_pointer_cast<RearviewCell>(
            rear->rearTableView()->cellForRowAtIndexPath(ui::IndexPath{0, row}));
        return cell ? cell->titleLabel->text() : "";
    }
    // Answers the next permission query with this top level.
    void power(const ns::Value& reply) { svc.replyOnce("GetEventPower", svc.result("GetEventPower", moduletest::json(reply))); }
    // Waits until the request's outcome has been handed over (the request is gone).
    bool settled(const std::weak_ptr<NetWebServiceRequest>& request) {
        return driver->waitUntil([&] { return request.expired(); });
    }

    std::shared_ptr<FrontStub> front;
    std::shared_ptr<DJWGRearViewController> rear;
};

TEST_F(GridMenuTest, SevenRowsNoneLitAndSixtyPointsEach) {
    auto reveal = openGrid();
    auto table = rear->rearTableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 7);
    const char* names[] = {"网格信息", "排查登记", "事件处理", "急件处理", "协调件处理", "通讯录", "回到首页"};
    for (long r = 0; r < 7; ++r) {
        EXPECT_EQ(rowTitle(r), names[r]);
        EXPECT_EQ(table->delegate()->tableView_heightForRowAtIndexPath(table, ui::IndexPath{0, r}), 60);
    }
    EXPECT_EQ(rear->menu->highlightedRow(), -1);
    EXPECT_EQ(table->frame(), (ui::Rect{0, 20, 320, 568 - 20}));
}

TEST_F(GridMenuTest, EventRowsAskPermissionTypeTwoAndBuildANewListPerGrant) {
    auto reveal = openGrid();
    power(ns::Value::dictionary({{"is_power", "1"}}));
    tapRow(2);
    ASSERT_TRUE(driver->waitUntil([&] { return std::dynamic_pointer_cast<EventListViewController>(frontRoot(reveal)) != nullptr; }));
    auto asked = svc.received("GetEventPower");
    EXPECT_EQ(asked["parameters"]["user_id"].integerValue(), 77);
    EXPECT_EQ(asked["parameters"]["type"].integerValue(), 2);
    auto events = std::dynamic_pointer_cast<EventListViewController>(frontRoot(reveal));
    EXPECT_EQ(events->eventType, "3");
    EXPECT_EQ(events->eventTitle, "事件处理");
    EXPECT_EQ(rear->menu->highlightedRow(), 2);

    // The number 1 grants as the text does.
    power(ns::Value::dictionary({{"is_power", 1}}));
    tapRow(3);
    ASSERT_TRUE(driver->waitUntil([&] { return frontRoot(reveal) != events; }));
    auto urgent = std::dynamic_pointer_cast<EventListViewController>(frontRoot(reveal));
    ASSERT_TRUE(urgent);
    EXPECT_EQ(urgent->eventType, "1");
    EXPECT_EQ(urgent->naview->titleLabel->text(), "急件处理");
    // The first list's page and this one's (they may arrive in either order).
    ASSERT_TRUE(waitForRequests("GetEventList", 2));
    std::vector<long long> types;
    for (const auto& r : svc.requests("GetEventList")) types.push_back(r.argument["parameters"]["type"].integerValue());
    EXPECT_EQ(std::count(types.begin(), types.end(), 1), 1);

    power(ns::Value::dictionary({{"is_power", "1"}}));
    tapRow(4);
    ASSERT_TRUE(driver->waitUntil([&] { return frontRoot(reveal) != urgent; }));
    auto coordination = std::dynamic_pointer_cast<EventListViewController>(frontRoot(reveal));
    ASSERT_TRUE(coordination);
    EXPECT_EQ(coordination->eventType, "2");
    EXPECT_EQ(coordination->title(), "协调件处理");
}

TEST_F(GridMenuTest, RegistrationRefusedKeepsTheFrontAndTheHighlight) {
    auto reveal = openGrid();
    const ns::Value refusals[] = {ns::Value::dictionary({{"is_power", "0"}}), ns::Value::dictionary({{"is_power", ""}}),
                                  ns::Value::dictionary({{"state", "successful"}}),
                                  ns::Value::dictionary({{"is_power", ns::Value::null()}})};
    std::size_t n = 0;
    for (const auto& refusal : refusals) {
        power(refusal);
        tapRow(1);
        ASSERT_TRUE(waitForAlert()) << refusal.description();
        EXPECT_EQ(alertMessage(), "你没有权限上报");
        EXPECT_EQ(driver->lastAlert()->title(), "温馨提示");
        driver->pressAlertButton("确定");
        EXPECT_EQ(svc.received("GetEventPower")["parameters"]["type"].integerValue(), 1);
        EXPECT_EQ(svc.count("GetEventPower"), ++n);
        EXPECT_EQ(frontRoot(reveal), front);
        EXPECT_EQ(rear->menu->highlightedRow(), 1);
    }

    power(ns::Value::dictionary({{"is_power", "0"}}));
    tapRow(3);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(alertMessage(), "你没有权限查看");
    EXPECT_EQ(frontRoot(reveal), front);
}

TEST_F(GridMenuTest, RegistrationGrantedShowsTheForm) {
    auto reveal = openGrid();
    power(ns::Value::dictionary({{"is_power", "1"}}));
    tapRow(1);
    ASSERT_TRUE(driver->waitUntil([&] { return std::dynamic_pointer_cast<TryingViewController>(frontRoot(reveal)) != nullptr; }));
    EXPECT_EQ(driver->findViewWithText("登记排查") != nullptr, true);
}

TEST_F(GridMenuTest, OnlyTheAnswerToTheLastTapCounts) {
    auto reveal = openGrid();
    // The registration grant is held back until the event-list grant has come.
    svc.replyOnce("GetEventPower", LoopbackService::held(svc.result("GetEventPower", R"({"is_power":"1"})")));
    tapRow(1);
    std::weak_ptr<NetWebServiceRequest> firstQuery = rear->pp->runningRequest();
    ASSERT_TRUE(waitForRequests("GetEventPower", 1));
    power(ns::Value::dictionary({{"is_power", "1"}}));
    tapRow(4);
    ASSERT_TRUE(driver->waitUntil([&] { return std::dynamic_pointer_cast<EventListViewController>(frontRoot(reveal)) != nullptr; }));
    auto list = frontRoot(reveal);
    svc.release();
    ASSERT_TRUE(settled(firstQuery));
    EXPECT_EQ(frontRoot(reveal), list);
    EXPECT_EQ(std::dynamic_pointer_cast<EventListViewController>(list)->eventType, "2");
    EXPECT_EQ(driver->topPopup(), nullptr);
}

TEST_F(GridMenuTest, AnotherRowTouchedBeforeTheAnswerDropsTheGrant) {
    auto reveal = openGrid();
    svc.replyOnce("GetEventPower", LoopbackService::held(svc.result("GetEventPower", R"({"is_power":"1"})")));
    tapRow(2);  // "事件处理" asks
    ASSERT_TRUE(waitForRequests("GetEventPower", 1));
    tapRow(0);  // "网格信息" before the answer: its front comes at once
    auto grid = std::dynamic_pointer_cast<DJWGFrontViewController>(frontRoot(reveal));
    ASSERT_TRUE(grid);
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return !rear->isQueryingPower(); }));
    EXPECT_EQ(frontRoot(reveal), grid);
    EXPECT_EQ(svc.count("GetEventList"), 0u);
    EXPECT_EQ(rear->menu->highlightedRow(), 0);
}

TEST_F(GridMenuTest, TransportFailureChangesNothing) {
    auto reveal = openGrid();
    svc.replyOnce("GetEventPower", LoopbackService::status(500));
    tapRow(2);
    ASSERT_TRUE(rear->isQueryingPower());
    ASSERT_TRUE(driver->waitUntil([&] { return !rear->isQueryingPower(); }));
    EXPECT_EQ(frontRoot(reveal), front);
    EXPECT_EQ(driver->topPopup(), nullptr);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(GridMenuTest, HomeRowLeavesTheModule) {
    auto reveal = openGrid();
    tapRow(6);
    ASSERT_EQ(homeNav->viewControllers().size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<moduletest::HomeStub>(homeNav->viewControllers().front()));
    EXPECT_EQ(svc.count("GetEventPower"), 0u);
}

TEST_F(GridMenuTest, RegistryFillsTheGridMenu) {
    ModuleRegistry registry;
    registerCasesModule(registry);
    ASSERT_TRUE(registry.djwg.rear);
    EXPECT_TRUE(std::dynamic_pointer_cast<DJWGRearViewController>(registry.djwg.rear()));
}

}  // namespace
