// The grid organisation screens: the front list, the organisation record
// with its child levels, the child-name list and the way to the activities.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/RevealController.h"
#include "cases/ActivityViewController.h"
#include "cases/AddressBookViewController.h"
#include "cases/DJWGRearViewController.h"
#include "cases/Module.h"
#include "cases/DJWGDetailViewController.h"
#include "cases/DJWGFrontViewController.h"
#include "cases/GroupDetailViewController.h"

using namespace moduletest;

namespace {


ns::Value org(const std::string& id, const std::string& name) {
    return ns::Value::dictionary({{"id", id}, {"name", name}});
}

class GridOrgTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember("7", "李明");
        svc.reply("GetOrgList", json(ns::Value::dictionary(
                                    {{"state", "successful"},
                                     {"records", ns::Value::array({org("10", "第一支部"), org("20", "第二支部")})}})));
        // Record "10" has a child "11", which has a child "12".
        svc.handle("GetOrgRecord", [this](const LoopbackService::Received& r) {
            std::string id = r.argument["parameters"]["id"].text();
            ns::Value record = ns::Value::dictionary({{"name", "王书记"},
                                                      {"mobile", "0871-1234"},
                                                      {"address", ns::Value::null()},
                                                      {"member_count", 35},
                                                      {"head_portrait", ns::Value::null()},
                                                      {"org_id", 100 + std::stoi(id)},
                                                      {"child_org", ns::Value::array()}});
            if (id == "10") record.set("child_org", ns::Value::array({org("11", "一组")}));
            if (id == "11") record.set("child_org", ns::Value::array({org("12", "一组一班")}));
            return svc.result("GetOrgRecord", json(ns::Value::dictionary({{"records", record}})));
        });
    }
    std::shared_ptr<DJWGDetailViewController> top() const {
        return std::dynamic_pointer_cast<DJWGDetailViewController>(nav->topViewController());
    }
    bool waitForCard(const std::shared_ptr<DJWGDetailViewController>& d) {
        return driver->waitUntil([&] { return !d->PeopleLabel->text().empty(); });
    }
};

TEST_F(GridOrgTest, FrontListsTheMembersOrganisationsInAContainer) {
    auto front = ui::create<DJWGFrontViewController>();
    front->setChannel_code("djwg");
    auto home = ui::create<ui::NavigationController>(ui::create<moduletest::HomeStub>());
    home->setNavigationBarHidden(true, false);  // as the home screen keeps it
    window->setRootViewController(home);
    ui::Application::sharedApplication().layoutIfNeeded();
    auto frontNav = ui::create<ui::NavigationController>(front);
    auto reveal = ui::create<RevealController>(frontNav, ui::create<ui::ViewController>());
    home->pushViewController(reveal, false);
    ui::Application::sharedApplication().layoutIfNeeded();

    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(driver->waitUntil([&] { return front->mtableview->numberOfRowsInSection(0) == 2; }));
    ns::Value sent = svc.received("GetOrgList")["parameters"];
    EXPECT_EQ(sent["type"].text(), "orgChildOrg");
    EXPECT_EQ(sent["user_id"].text(), "7");
    EXPECT_TRUE(sent["user_id"].isString());
    EXPECT_EQ(front->naview->titleLabel->text(), "党建网格");
    EXPECT_TRUE(front->naview->leftButton->isHidden());
    EXPECT_TRUE(front->navigationBarPanGestureRecognizer);
    settle();
    EXPECT_FALSE(ProgressHUD::isVisible());

    // The menu button slides the front aside.
    driver->tap(front->menuButton);
    driver->advance(1.0);
    EXPECT_EQ(reveal->currentFrontViewPosition(), FrontViewPositionRight);
    reveal->revealToggle(nullptr);
    driver->advance(1.0);

    ASSERT_TRUE(driver->tapText("第二支部"));
    driver->advance(1.0);
    auto detail = std::dynamic_pointer_cast<DJWGDetailViewController>(frontNav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->msgDit["id"].text(), "20");
}

TEST_F(GridOrgTest, ModuleOpensTheFrontAndTheMenuRebuildsItOrPushesTheAddressBook) {
    ModuleRegistry registry;
    registerCasesModule(registry);
    ASSERT_TRUE(registry.djwg.isBuilt());
    auto front = std::dynamic_pointer_cast<DJWGFrontViewController>(registry.djwg.front());
    ASSERT_TRUE(front);
    EXPECT_EQ(front->channel_code, "djwg");
    auto rear = std::dynamic_pointer_cast<DJWGRearViewController>(registry.djwg.rear());
    auto home = ui::create<ui::NavigationController>(ui::create<moduletest::HomeStub>());
    home->setNavigationBarHidden(true, false);
    window->setRootViewController(home);
    ui::Application::sharedApplication().layoutIfNeeded();
    auto reveal = ui::create<RevealController>(ui::create<ui::NavigationController>(front), rear);
    home->pushViewController(reveal, false);
    ui::Application::sharedApplication().layoutIfNeeded();
    ASSERT_TRUE(waitForRequests("GetOrgList", 1));

    rear->menu->selectRow(0);  // "网格信息": a fresh front
    auto rebuilt = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
    ASSERT_TRUE(rebuilt);
    auto fresh = std::dynamic_pointer_cast<DJWGFrontViewController>(rebuilt->viewControllers().front());
    ASSERT_TRUE(fresh && fresh != front);
    EXPECT_EQ(fresh->channel_code, "");
    ASSERT_TRUE(waitForRequests("GetOrgList", 2));

    svc.reply("GetMailList", R"({"records":[]})");
    rear->menu->selectRow(5);  // "通讯录": over the whole module
    driver->advance(1.0);
    auto book = std::dynamic_pointer_cast<AddressBookViewController>(home->topViewController());
    ASSERT_TRUE(book);
    ASSERT_TRUE(waitForRequests("GetMailList", 1));
    driver->waitUntil([&] { return !book->list->isLoadingPage(); });
    driver->tap(book->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(home->topViewController(), reveal);
    EXPECT_EQ(reveal->frontViewController(), rebuilt);
}

TEST_F(GridOrgTest, EmptyOrFailedFrontListStaysEmpty) {
    svc.reply("GetOrgList", R"({"state":"successful","records":[]})");
    auto front = ui::create<DJWGFrontViewController>();
    showRoot(front);
    ASSERT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));
    EXPECT_EQ(front->mtableview->numberOfRowsInSection(0), 0);

    svc.reply("GetOrgList", LoopbackService::status(500));
    auto failed = ui::create<DJWGFrontViewController>();
    showRoot(failed);
    ASSERT_TRUE(waitForRequests("GetOrgList", 2));
    ASSERT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));
    EXPECT_EQ(failed->mtableview->numberOfRowsInSection(0), 0);
    EXPECT_FALSE(ProgressHUD::isVisible());
}

TEST_F(GridOrgTest, RecordCardShowsCaptionsForNullsAndTheTappedName) {
    auto detail = ui::create<DJWGDetailViewController>();
    detail->setMsgDit(org("10", "第一支部"));
    showPushed(detail);
    // The card is empty until the reply.
    EXPECT_EQ(detail->PeopleLabel->text(), "");
    EXPECT_EQ(detail->nameLabel->text(), "第一支部");
    ASSERT_TRUE(waitForCard(detail));
    EXPECT_EQ(svc.received("GetOrgRecord")["parameters"]["id"].text(), "10");
    EXPECT_EQ(detail->PeopleLabel->text(), "负责人:王书记");
    EXPECT_EQ(detail->phoneLabel->text(), "联系电话:0871-1234");
    EXPECT_EQ(detail->addressLabel->text(), "单位地址:");
    EXPECT_EQ(detail->countLabel->text(), "党员数量:35");
    EXPECT_EQ(detail->nameLabel->text(), "第一支部");  // not the leader
    ASSERT_TRUE(detail->headimagev->image());
    EXPECT_EQ(detail->headimagev->image()->name(), "icon_empty.png");
    EXPECT_EQ(detail->orgID, "110");
    EXPECT_EQ(detail->mtableview->numberOfRowsInSection(0), 1);
    EXPECT_EQ(detail->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 0})->accessoryType(),
              ui::TableViewCellAccessoryDisclosureIndicator);
}

TEST_F(GridOrgTest, ChildLevelsOpenOneByOneAndBackReturnsOneLevel) {
    auto detail = ui::create<DJWGDetailViewController>();
    detail->setMsgDit(org("10", "第一支部"));
    showPushed(detail);
    ASSERT_TRUE(waitForCard(detail));
    settle();

    ASSERT_TRUE(driver->tapText("一组"));
    driver->advance(1.0);
    auto second = top();
    ASSERT_TRUE(second && second != detail);
    ASSERT_TRUE(waitForCard(second));
    settle();
    EXPECT_EQ(svc.received("GetOrgRecord")["parameters"]["id"].text(), "11");
    EXPECT_EQ(second->orgID, "111");

    ASSERT_TRUE(driver->tapText("一组一班"));
    driver->advance(1.0);
    auto third = top();
    ASSERT_TRUE(waitForCard(third));
    EXPECT_EQ(svc.count("GetOrgRecord"), 3u);
    EXPECT_EQ(third->mtableview->numberOfRowsInSection(0), 0);

    driver->tap(third->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(top(), second);
    driver->tap(second->naview->leftButton);
    driver->advance(1.0);
    EXPECT_EQ(top(), detail);
    EXPECT_EQ(svc.count("GetOrgRecord"), 3u);  // going back asks nothing
}

TEST_F(GridOrgTest, ActivityButtonOpensTheListOfTheRepliedOrganisation) {
    svc.reply("GetOrgActivity", R"({"records":[],"is_power":"0"})");
    auto detail = ui::create<DJWGDetailViewController>();
    detail->setMsgDit(org("10", "第一支部"));
    showPushed(detail);

    // Before the reply there is no id: the list asks with the empty one.
    svc.reply("GetOrgRecord", LoopbackService::held(LoopbackService::status(500)));
    ASSERT_TRUE(driver->tapText("活动开展"));
    driver->advance(1.0);
    auto early = std::dynamic_pointer_cast<ActivityViewController>(nav->topViewController());
    ASSERT_TRUE(early);
    EXPECT_EQ(early->activID, "");
    driver->tap(early->naview->leftButton);
    driver->advance(1.0);
    svc.release();

    auto second = ui::create<DJWGDetailViewController>();
    svc.clearReplies();
    svc.reply("GetOrgActivity", R"({"records":[],"is_power":"0"})");
    svc.reply("GetOrgRecord", R"({"records":{"org_id":"A7","name":"赵"}})");
    second->setMsgDit(org("30", "第三支部"));
    nav->pushViewController(second, false);
    ASSERT_TRUE(waitForCard(second));
    ASSERT_TRUE(driver->tapText("活动开展"));
    driver->advance(1.0);
    auto list = std::dynamic_pointer_cast<ActivityViewController>(nav->topViewController());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->activID, "A7");  // a text id is used unchanged
}

TEST_F(GridOrgTest, RecordFailureKeepsTheCardEmpty) {
    svc.reply("GetOrgRecord", LoopbackService::status(500));
    auto detail = ui::create<DJWGDetailViewController>();
    detail->setMsgDit(org("10", "第一支部"));
    showPushed(detail);
    ASSERT_TRUE(driver->waitUntil([] { return !ProgressHUD::isVisible(); }));
    EXPECT_EQ(detail->PeopleLabel->text(), "");
    EXPECT_EQ(detail->orgID, "");
    EXPECT_EQ(detail->mtableview->numberOfRowsInSection(0), 0);
}

TEST_F(GridOrgTest, GroupDetailListsTheChildNamesWithoutAsking) {
    auto group = ui::create<GroupDetailViewController>();
    group->setMsgDit(ns::Value::dictionary(
        {{"child_org", ns::Value::array({org("1", "甲"), org("2", "乙"), ns::Value("bad")})}}));
    showPushed(group);
    EXPECT_EQ(group->naview->titleLabel->text(), "党建网格");
    EXPECT_EQ(group->mtableview->numberOfRowsInSection(0), 3);
    EXPECT_TRUE(driver->findViewWithText("乙"));
    driver->tapText("甲");
    driver->advance(1.0);
    EXPECT_EQ(nav->topViewController(), group);
    EXPECT_EQ(svc.count(), 0u);
    driver->tap(group->naview->leftButton);
    driver->advance(1.0);
    EXPECT_NE(nav->topViewController(), group);
}

}  // namespace
