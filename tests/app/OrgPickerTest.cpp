// The organisation picker against the loopback service: down, up, confirm.
#include <gtest/gtest.h>

#include "WidgetTestSupport.h"
#include "app/framework/OrgViewController.h"
#include "foundation/Log.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"

namespace {

class Host : public ui::ViewController, public OrgViewControllerDelegate {
public:
    void orgName(const ns::Value& name, const ns::Value& orgId) override {
        answers++;
        this->name = name;
        this->id = orgId;
    }
    int answers = 0;
    ns::Value name, id;
};

// Counts the answers that reach the picker.
class CountingPicker : public OrgViewController {
public:
    void GetWebServerContent_success(const std::string& result) override {
        answers++;
        OrgViewController::GetWebServerContent_success(result);
    }
    int answers = 0;
};

// A small tree: two counties; the first has two organisations, one of
// which has one below it.
std::string listFor(const ns::Value& parameters) {
    std::string type = parameters["type"].text();
    if (type == "county")
        return R"({"state":"successful","records":[{"id":"1","name":"东川县"},{"id":"2","name":"西岭县"}]})";
    std::string id = parameters["id"].text();
    if (type == "org" && id == "1")
        return R"({"state":"successful","records":[{"id":"11","name":"东川县委"},{"id":"12","name":"东川镇党委"}]})";
    if (type == "org" && id == "11")
        return R"({"state":"successful","records":[{"id":"111","name":"组织部"}]})";
    return R"({"state":"successful","records":[]})";
}

class OrgPickerTest : public widgettest::WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        ServiceConfig::setEndpoint(svc.url());
        svc.handle("GetOrgList", [this](const LoopbackService::Received& r) {
            return svc.result("GetOrgList", listFor(r.argument["parameters"]));
        });
        host = ui::create<Host>();
        nav = ui::create<ui::NavigationController>(host);
        showRoot(nav);
        picker = ui::create<CountingPicker>();
        picker->setDelegate(host);
        nav->pushViewController(picker, true);
    }
    void TearDown() override {
        ServiceConfig::reset();
        WidgetTest::TearDown();
    }
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        ns::Value records = picker->currentRecords();
        for (std::size_t i = 0; i < records.count(); i++) out.push_back(records.at(i)["name"].text());
        return out;
    }
    bool waitForRows(const std::vector<std::string>& expected) {
        return driver->waitUntil([&] { return rows() == expected; });
    }

    ns::LogCapture log;  // the client's request lines
    LoopbackService svc;
    std::shared_ptr<Host> host;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<CountingPicker> picker;
};

TEST_F(OrgPickerTest, WalksDownAndUpAndConfirmsTheLastOpened) {
    EXPECT_TRUE(driver->findViewWithText("选择组织机构"));
    EXPECT_TRUE(nav->isNavigationBarHidden());
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(waitForRows({"东川县", "西岭县"}));
    EXPECT_FALSE(ProgressHUD::isVisible());
    EXPECT_EQ(svc.received("GetOrgList")["parameters"]["type"].text(), "county");
    EXPECT_TRUE(driver->findViewWithText("西岭县"));  // shown in the table

    ASSERT_TRUE(driver->tapText("东川县"));
    ASSERT_TRUE(waitForRows({"东川县委", "东川镇党委"}));
    ns::Value sent = svc.received("GetOrgList")["parameters"];
    EXPECT_EQ(sent["type"].text(), "org");
    EXPECT_EQ(sent["id"].text(), "1");
    EXPECT_EQ(picker->depth(), 2u);
    EXPECT_EQ(picker->levelLabel->text(), "东川县");

    ASSERT_TRUE(driver->tapText("东川县委"));
    ASSERT_TRUE(waitForRows({"组织部"}));
    EXPECT_EQ(picker->depth(), 3u);

    std::size_t requests = svc.count("GetOrgList");
    driver->tapText("上一级");
    EXPECT_EQ(rows(), (std::vector<std::string>{"东川县委", "东川镇党委"}));
    driver->tapText("上一级");
    EXPECT_EQ(rows(), (std::vector<std::string>{"东川县", "西岭县"}));
    driver->tapText("上一级");  // already at the top
    EXPECT_EQ(picker->depth(), 1u);
    EXPECT_EQ(svc.count("GetOrgList"), requests);  // going up asks nothing

    driver->tapText("确定");
    EXPECT_EQ(host->answers, 1);
    EXPECT_EQ(host->name.text(), "东川县委");
    EXPECT_EQ(host->id.text(), "11");
    EXPECT_EQ(nav->topViewController(), host);
}

TEST_F(OrgPickerTest, ConfirmWithoutChoiceSendsNilAndBackSendsNothing) {
    ASSERT_TRUE(waitForRows({"东川县", "西岭县"}));
    driver->tapText("确定");
    EXPECT_EQ(host->answers, 1);
    EXPECT_TRUE(host->name.isNil());
    EXPECT_TRUE(host->id.isNil());
    EXPECT_EQ(nav->topViewController(), host);

    auto second = ui::create<OrgViewController>();
    second->setDelegate(host);
    nav->pushViewController(second, true);
    std::weak_ptr<NetWebServiceRequest> request = second->pp->runningRequest();
    driver->tap(second->naview->leftButton);
    EXPECT_EQ(nav->topViewController(), host);
    second.reset();
    // The list's answer still arrives, to nobody.
    ASSERT_TRUE(driver->waitUntil([&] { return request.expired(); }));
    EXPECT_EQ(host->answers, 1);
}

TEST_F(OrgPickerTest, AnAnswerForALevelLeftBeforeItCameIsIgnored) {
    ASSERT_TRUE(waitForRows({"东川县", "西岭县"}));
    svc.handle("GetOrgList", [this](const LoopbackService::Received& r) {
        auto reply = svc.result("GetOrgList", listFor(r.argument["parameters"]));
        reply.hold = true;
        return reply;
    });
    driver->tapText("东川县");
    ASSERT_TRUE(driver->waitUntil([&] { return svc.count("GetOrgList") == 2; }));
    driver->tapText("上一级");
    EXPECT_FALSE(ProgressHUD::isVisible());
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return picker->answers == 2; }));  // the counties, then the late one
    EXPECT_EQ(rows(), (std::vector<std::string>{"东川县", "西岭县"}));
    EXPECT_EQ(picker->depth(), 1u);
}

TEST_F(OrgPickerTest, AFailedListLeavesTheLevelEmptyAndUpStillWorks) {
    ASSERT_TRUE(waitForRows({"东川县", "西岭县"}));
    svc.handle("GetOrgList", [](const LoopbackService::Received&) { return LoopbackService::status(500); });
    driver->tapText("西岭县");
    ASSERT_TRUE(driver->waitUntil([&] { return ProgressHUD::state() == ProgressHUD::State::Error; }));
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载失败！");
    EXPECT_TRUE(rows().empty());
    driver->tapText("上一级");
    EXPECT_EQ(rows(), (std::vector<std::string>{"东川县", "西岭县"}));
    driver->tapText("确定");
    EXPECT_EQ(host->name.text(), "西岭县");  // opened last, even though its list failed
}

TEST(OrgListRequestTest, OrgListOfOneOrganisationSendsTypeAndIdQuoted) {
    ui::TestDriver driver;
    LoopbackService svc;
    ServiceConfig::setEndpoint(svc.url());
    svc.reply("GetOrgList", R"({"state":"successful","records":[]})");
    auto client = VoVaClient::create();
    client->GetOrgList_id("org", "42");
    std::weak_ptr<NetWebServiceRequest> request = client->runningRequest();
    client.reset();
    ASSERT_TRUE(driver.waitUntil([&] { return request.expired(); }));
    auto last = svc.last("GetOrgList");
    ASSERT_TRUE(last && last->jsonString);
    EXPECT_EQ(*last->jsonString, R"({"parameters":{"type":"org","id":"42"}})");
    ServiceConfig::reset();
}

}  // namespace
