// The members' homes: the tabs and panes, the identity check before the
// organisational-life list, the list's pages and detail page, and the menu.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "app/framework/RevealController.h"
#include "app/framework/RearviewCell.h"
#include "members/MobilePartyViewController.h"
#include "members/QuorvelPartViewController.h"
#include "members/VUDIRearViewController.h"

using namespace moduletest;

namespace {

constexpr const char* kPage =
    R"({"records":[{"title":"三月党课","date_time":"2015-03-01","user_name":"王五","add_time":"2015-03-02","content":"学习"},{"title":7,"date_time":"2015-02-01"}]})";

void store(const char* key, const std::string& value) {
    auto d = ns::UserDefaults::standardUserDefaults();
    d->setObject(ns::Value(value), key);
    d->synchronize();
}
std::string stored(const char* key) {
    return records::text(ns::UserDefaults::standardUserDefaults()->objectForKey(key));
}

class HomesTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        store(TextView::kMobileKey, "");
        store(TextView::kQuorvelKey, "");
        svc.reply("GetOrgLifeList", kPage);
    }
    template <typename T>
    std::shared_ptr<T> openHome() {
        auto home = push<T>();
        driver->runPending();
        return home;
    }
    void pass(const std::shared_ptr<PartyHomeViewController>& home, const std::string& orgId) {
        home->testview->userNameFiled->setText("张三");
        home->testview->passWordFiled->setText("13812345678");
        svc.reply("PalmHomeLogin", R"({"state":"successful","message":"ok","records":{"org_id":")" + orgId + R"("}})");
        driver->tap(home->testview->loginButton);
    }
    bool waitForRows(const std::shared_ptr<PartyHomeViewController>& home, std::size_t n) {
        return driver->waitUntil([&] { return home->orgLifeview->mdataArray().count() == n; });
    }
    std::string page(std::size_t i) {
        return records::text(svc.requests("GetOrgLifeList").at(i).argument["page_index"]);
    }
};

TEST_F(HomesTest, AHomeOpensOnItsFirstTab) {
    auto home = openHome<MobilePartyViewController>();
    EXPECT_EQ(home->naview->titleLabel->text(), "流动党员之家");
    EXPECT_TRUE(home->naview->leftButton->isHidden());
    EXPECT_TRUE(ui::TestDriver::isOnScreen(*home->buildingLabel));
    EXPECT_EQ(home->guanxiBt->titleColorForState(ui::ControlStateNormal), ui::Color::redColor());
    EXPECT_EQ(home->shenghuoBt->titleColorForState(ui::ControlStateNormal), ui::Color::blackColor());
    EXPECT_TRUE(home->regview->isHidden());
    EXPECT_TRUE(home->orgLifeview->isHidden());
    EXPECT_TRUE(home->testview->isHidden());
    driver->tap(home->guanxiBt);
    EXPECT_EQ(home->scrview->frame().origin.x, 0);
    EXPECT_TRUE(home->orgLifeview->isHidden());
    EXPECT_EQ(svc.count("GetOrgLifeList"), 0u);
}

TEST_F(HomesTest, TheCheckComesFirstThenTheListLoadsByItself) {
    auto home = openHome<MobilePartyViewController>();
    driver->tap(home->shenghuoBt);
    EXPECT_FALSE(home->testview->isHidden());
    EXPECT_FALSE(home->orgLifeview->isHidden());
    EXPECT_EQ(home->shenghuoBt->titleColorForState(ui::ControlStateNormal), ui::Color::redColor());
    EXPECT_DOUBLE_EQ(home->scrview->frame().origin.x, home->scrview->frame().size.width);
    pass(home, "42");
    ASSERT_TRUE(waitForRows(home, 2));
    EXPECT_TRUE(home->testview->isHidden());
    auto sent = svc.received("GetOrgLifeList");
    EXPECT_EQ(sent.keys(), (std::vector<std::string>{"page_index", "page_size", "parameters", "orders"}));
    EXPECT_EQ(records::text(sent["page_index"]), "1");
    EXPECT_EQ(records::text(sent["page_size"]), "20");
    EXPECT_EQ(sent["parameters"]["org_id"].str(), "42");
    EXPECT_EQ(sent["orders"]["add_time"].str(), "desc");
    EXPECT_EQ(stored(TextView::kMobileKey), "42");

    // The other home keeps its own id and still asks.
    auto other = openHome<QuorvelPartViewController>();
    EXPECT_EQ(other->naview->titleLabel->text(), "Quorvel党员之家");
    driver->tap(other->shenghuoBt);
    EXPECT_FALSE(other->testview->isHidden());
    EXPECT_EQ(other->testview->type(), "3");
}

TEST_F(HomesTest, AStoredIdSkipsTheCheckAndReloadsPageOne) {
    store(TextView::kQuorvelKey, "9");
    auto home = openHome<QuorvelPartViewController>();
    driver->tap(home->shenghuoBt);
    EXPECT_TRUE(home->testview->isHidden());
    ASSERT_TRUE(waitForRows(home, 2));
    auto table = home->orgLifeview->mtableview;
    auto cell = table->cellForRowAtIndexPath(ui::IndexPath{0, 1});
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->textLabel()->text(), "7");

    // Two more pages, then the tab again: page "1" of an emptied list.
    loadNextPage(home->orgLifeview->mtableview);
    ASSERT_TRUE(waitForRows(home, 4));
    EXPECT_EQ(ProgressHUD::state(), ProgressHUD::State::Hidden);
    loadNextPage(home->orgLifeview->mtableview);
    ASSERT_TRUE(waitForRows(home, 6));
    EXPECT_EQ(page(2), "3");
    driver->tap(home->guanxiBt);
    driver->tap(home->shenghuoBt);
    // Six rows become the two of page "1": the list was emptied, not appended to
    // (page 1 may already be back by the time the tap returns).
    ASSERT_TRUE(waitForRows(home, 2));
    EXPECT_EQ(page(3), "1");
    loadNextPage(home->orgLifeview->mtableview);
    ASSERT_TRUE(waitForRows(home, 4));
    EXPECT_EQ(page(4), "2");
}

TEST_F(HomesTest, ARowOpensItsDetailOnTheHomesNavigation) {
    store(TextView::kQuorvelKey, "9");
    auto home = openHome<QuorvelPartViewController>();
    driver->tap(home->shenghuoBt);
    ASSERT_TRUE(waitForRows(home, 2));
    EXPECT_EQ(home->orgLifeview->QuorvelviewController(), home);
    EXPECT_EQ(home->orgLifeview->viewController(), nullptr);
    driver->tap(home->orgLifeview->mtableview->cellForRowAtIndexPath(ui::IndexPath{0, 0}));
    driver->runPending();
    auto detail = std::dynamic_pointer_cast<ZuZhiDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    ui::Application::sharedApplication().layoutIfNeeded();
    EXPECT_EQ(detail->naview->titleLabel->text(), "组织生活");
    EXPECT_EQ(detail->headingLabel->text(), "三月党课");
    EXPECT_EQ(detail->lineLabel->text(), "王五:2015-03-02");
    EXPECT_EQ(detail->bodyLabel->text(), "学习");
    EXPECT_EQ(detail->bodyLabel->frame().size.height, 40);
}

TEST_F(HomesTest, AnEmptyOrganisationHidesTheList) {
    store(TextView::kMobileKey, "5");
    svc.reply("GetOrgLifeList", R"({"state":"failed"})");
    auto home = openHome<MobilePartyViewController>();
    driver->tap(home->shenghuoBt);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "暂无相关数据！");
    EXPECT_TRUE(home->orgLifeview->mtableview->isHidden());
}

TEST_F(HomesTest, AnEmptyOrFailedLaterPageKeepsTheList) {
    store(TextView::kMobileKey, "5");
    auto home = openHome<MobilePartyViewController>();
    driver->tap(home->shenghuoBt);
    ASSERT_TRUE(waitForRows(home, 2));
    svc.reply("GetOrgLifeList", R"({"records":[]})");
    loadNextPage(home->orgLifeview->mtableview);
    ASSERT_TRUE(waitForRequests("GetOrgLifeList", 2));
    ASSERT_TRUE(driver->waitUntil([&] { return !home->orgLifeview->list->isLoadingPage(); }));
    driver->runPending();
    EXPECT_EQ(home->orgLifeview->mdataArray().count(), 2u);
    EXPECT_FALSE(home->orgLifeview->mtableview->isHidden());
    EXPECT_EQ(driver->topPopup(), nullptr);
    // A page that fails is asked for again.
    svc.reply("GetOrgLifeList", LoopbackService::status(500));
    loadNextPage(home->orgLifeview->mtableview);
    ASSERT_TRUE(waitForRequests("GetOrgLifeList", 3));
    ASSERT_TRUE(driver->waitUntil([&] { return !home->orgLifeview->list->isLoadingPage(); }));
    driver->runPending();
    EXPECT_FALSE(home->orgLifeview->list->isReloading());
    svc.reply("GetOrgLifeList", kPage);
    loadNextPage(home->orgLifeview->mtableview);
    ASSERT_TRUE(waitForRows(home, 4));
    EXPECT_EQ(page(3), "3");
}

TEST_F(HomesTest, AnOverTakenPageIsDropped) {
    store(TextView::kMobileKey, "5");
    auto home = openHome<MobilePartyViewController>();
    svc.reply("GetOrgLifeList", LoopbackService::held(svc.result("GetOrgLifeList", kPage)));
    driver->tap(home->shenghuoBt);
    ASSERT_TRUE(waitForRequests("GetOrgLifeList", 1));
    svc.reply("GetOrgLifeList", R"({"records":[{"title":"新"}]})");
    driver->tap(home->shenghuoBt);
    ASSERT_TRUE(waitForRows(home, 1));
    svc.release();
    settleService();
    EXPECT_EQ(home->orgLifeview->mdataArray().count(), 1u);
}

TEST_F(HomesTest, RegistrationNeedsNoCheck) {
    auto home = openHome<QuorvelPartViewController>();
    driver->tap(home->dengjiBt);
    EXPECT_FALSE(home->regview->isHidden());
    EXPECT_TRUE(home->testview->isHidden());
    EXPECT_TRUE(home->orgLifeview->isHidden());
    EXPECT_EQ(home->regview->type(), "3");
}

class HomesMenuTest : public HomesTest {
protected:
    std::shared_ptr<RevealController> openModule() {
        homeNav = ui::create<ui::NavigationController>(ui::create<ui::ViewController>());
        window->setRootViewController(homeNav);
        rear = ui::create<VUDIRearViewController>();
        reveal = ui::create<RevealController>(
            ui::create<ui::NavigationController>(ui::create<MobilePartyViewController>()), rear);
        homeNav->pushViewController(reveal, false);
        ui::Application::sharedApplication().layoutIfNeeded();
        return reveal;
    }
    std::shared_ptr<ui::ViewController> frontRoot() {
        auto n = std::dynamic_pointer_cast<ui::NavigationController>(reveal->frontViewController());
        return n && !n->viewControllers().empty() ? n->viewControllers().front() : nullptr;
    }
    void touch(long row) {
        rear->rearTableView()->delegate()->tableView_didSelectRowAtIndexPath(rear->rearTableView(),
                                                                             ui::IndexPath{0, row});
        driver->runPending();
    }
    std::shared_ptr<ui::NavigationController> homeNav;
    std::shared_ptr<VUDIRearViewController> rear;
    std::shared_ptr<RevealController> reveal;
};

TEST_F(HomesMenuTest, RowsSwapTheHomeByClass) {
    openModule();
    ASSERT_EQ(rear->mdataArray().count(), 3u);
    EXPECT_EQ(records::text(rear->mdataArray().at(1), "title"), "Quorvel党员之家");
    auto first = frontRoot();
    touch(0);
    EXPECT_EQ(frontRoot(), first);
    EXPECT_EQ(records::text(rear->mdataArray().at(0), "state"), "1");
    touch(1);
    auto quorvel = std::dynamic_pointer_cast<QuorvelPartViewController>(frontRoot());
    ASSERT_TRUE(quorvel);
    ui::Application::sharedApplication().layoutIfNeeded();
    EXPECT_TRUE(quorvel->orgLifeview->isHidden());
    EXPECT_EQ(records::text(rear->mdataArray().at(0), "state"), "0");
    touch(2);
    EXPECT_EQ(homeNav->viewControllers().size(), 1u);
}

TEST_F(HomesMenuTest, OutsideAContainerRowsOnlyHighlight) {
    auto menu = push<VUDIRearViewController>();
    menu->menu->selectRow(1);
    EXPECT_EQ(records::text(menu->mdataArray().at(1), "state"), "1");
    EXPECT_EQ(nav->topViewController(), menu);
}

}  // namespace
