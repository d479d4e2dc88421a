// The address book and the grassroots-activity search: the filters each
// page request carries, the rows, the no-data notice and the organisation
// picker.
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "cases/ActivitiesViewController.h"
#include "cases/ActivityDetailViewController.h"
#include "cases/AddressBookViewController.h"
#include "cases/EventCell.h"

using namespace moduletest;

namespace {


ns::Value members(int page, int n) {
    ns::Value rows = ns::Value::array();
    for (int i = 1; i <= n; ++i) {
        rows.push(ns::Value::dictionary(
            {{"real_name", ns::format("成员%d-%d", page, i)}, {"user_name", ns::format("1380000%d%02d", page, i)}}));
    }
    return rows;
}

class AddressBookTest : public moduletest::ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        storeMember("7", "李明");
        svc.handle("GetOrgList", [this](const LoopbackService::Received& r) {
            std::string type = r.argument["parameters"]["type"].text();
            if (type == "county")
                return svc.result("GetOrgList", R"({"records":[{"id":"1","name":"东川县"}]})");
            return svc.result("GetOrgList", R"({"records":[]})");
        });
    }
    // Pages up to `full` hold 20 members, later ones none.
    void serveMembers(int full) {
        svc.handle("GetMailList", [this, full](const LoopbackService::Received& r) {
            int page = static_cast<int>(r.argument["page_index"].integerValue());
            return svc.result("GetMailList", json(ns::Value::dictionary(
                                                 {{"records", members(page, page <= full ? 20 : 0)}})));
        });
    }
    std::shared_ptr<EventCell> row(const std::shared_ptr<ui::TableView>& table, long r) {
        return std::dynamic_pointer_cast<EventCell>(table->cellForRowAtIndexPath(ui::IndexPath{0, r}));
    }
    bool waitLoaded(const std::shared_ptr<FilteredListScreen>& s, std::size_t requests, const std::string& op) {
        return waitForRequests(op, requests) && driver->waitUntil([&] { return !s->list->isLoadingPage(); });
    }
};

TEST_F(AddressBookTest, FirstPageWithoutFiltersAndItsRows) {
    serveMembers(2);
    auto book = ui::create<AddressBookViewController>();
    showPushed(book);
    EXPECT_EQ(ProgressHUD::currentStatus(), "加载中...");
    ASSERT_TRUE(waitLoaded(book, 1, "GetMailList"));
    ns::Value sent = svc.received("GetMailList");
    EXPECT_EQ(sent["page_index"].integerValue(), 1);
    EXPECT_EQ(sent["page_size"].integerValue(), 20);
    EXPECT_EQ(sent["parameters"]["org_id"].text(), "");
    EXPECT_TRUE(sent["parameters"]["keywords"].isString());
    EXPECT_EQ(sent["parameters"]["keywords"].text(), "");
    EXPECT_TRUE(sent["orders"].isNil());
    EXPECT_EQ(book->naview->titleLabel->text(), "通讯录");

    ASSERT_EQ(book->mtableview->numberOfRowsInSection(0), 20);
    auto cell = row(book->mtableview, 2);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->titleLabel->text(), "姓名:成员1-3");
    EXPECT_EQ(cell->addressLabel->text(), "电话: 1380000103");
    EXPECT_EQ(cell->peopleLabel->text(), "所属机构:中共Velmarsh州委");
    EXPECT_EQ(cell->accessoryType(), ui::TableViewCellAccessoryDisclosureIndicator);
    EXPECT_EQ(book->mtableview->rowHeight(), 80);
    settle();
    EXPECT_FALSE(ProgressHUD::isVisible());

    // A later page without records: the list stays, no notice.
    book->list->beginToReloadData(PullRefreshFooter);
    driver->advance(2.0);
    ASSERT_TRUE(waitLoaded(book, 2, "GetMailList"));
    book->list->beginToReloadData(PullRefreshFooter);
    driver->advance(2.0);
    ASSERT_TRUE(waitLoaded(book, 3, "GetMailList"));
    EXPECT_EQ(book->mtableview->numberOfRowsInSection(0), 40);
    EXPECT_FALSE(book->alertView->isHidden() == false && book->alertLabel->text() == "暂无数据！");
}

TEST_F(AddressBookTest, EmptyFirstPageShowsTheNotice) {
    serveMembers(0);
    auto book = ui::create<AddressBookViewController>();
    showPushed(book);
    ASSERT_TRUE(waitLoaded(book, 1, "GetMailList"));
    EXPECT_EQ(book->mtableview->numberOfRowsInSection(0), 0);
    EXPECT_EQ(book->alertLabel->text(), "暂无数据！");
    EXPECT_FALSE(book->alertView->isHidden());
}

TEST_F(AddressBookTest, ChosenOrganisationAndKeywordGoTogether) {
    serveMembers(1);
    auto book = ui::create<AddressBookViewController>();
    showPushed(book);
    ASSERT_TRUE(waitLoaded(book, 1, "GetMailList"));
    settle();

    driver->tap(book->institutionsLabel);
    driver->advance(1.0);
    ASSERT_TRUE(std::dynamic_pointer_cast<OrgViewController>(nav->topViewController()));
    ASSERT_TRUE(driver->waitUntil([&] { return driver->findViewWithText("东川县") != nullptr; }));
    settle();
    ASSERT_TRUE(driver->tapText("东川县"));
    ASSERT_TRUE(waitForRequests("GetOrgList", 2));
    settle();
    ASSERT_TRUE(driver->tapText("确定"));
    driver->advance(1.0);
    EXPECT_EQ(nav->topViewController(), book);
    EXPECT_EQ(book->institutionsLabel->text(), "东川县");
    EXPECT_EQ(book->org_id, "1");
    ASSERT_TRUE(waitLoaded(book, 2, "GetMailList"));
    EXPECT_EQ(svc.received("GetMailList")["parameters"]["org_id"].text(), "1");

    book->keywordField()->setText("138");
    driver->tap(book->searchButton);
    ASSERT_TRUE(waitLoaded(book, 3, "GetMailList"));
    ns::Value sent = svc.received("GetMailList");
    EXPECT_EQ(sent["page_index"].integerValue(), 1);
    EXPECT_EQ(sent["parameters"]["org_id"].text(), "1");
    EXPECT_EQ(sent["parameters"]["keywords"].text(), "138");
    EXPECT_EQ(book->mtableview->numberOfRowsInSection(0), 20);  // page 1 again, not appended
    EXPECT_EQ(row(book->mtableview, 0)->peopleLabel->text(), "所属机构:东川县");

    // Confirmed without a choice: no organisation again.
    book->orgName(ns::Value(), ns::Value());
    ASSERT_TRUE(waitLoaded(book, 4, "GetMailList"));
    EXPECT_EQ(svc.received("GetMailList")["parameters"]["org_id"].text(), "");
    EXPECT_EQ(row(book->mtableview, 0)->peopleLabel->text(), "所属机构:中共Velmarsh州委");
}

TEST_F(AddressBookTest, GrassrootsActivitiesSearchByTitleAndOpenTheActivity) {
    svc.reply("GetBasicActivity", R"({"records":[{"title":"义诊","content":"社区义诊"},{"title":null}]})");
    auto acts = ui::create<ActivitiesViewController>();
    showPushed(acts);
    ASSERT_TRUE(waitLoaded(acts, 1, "GetBasicActivity"));
    EXPECT_EQ(acts->naview->titleLabel->text(), "基层活动");
    EXPECT_TRUE(driver->findViewWithText("机构:"));
    EXPECT_TRUE(driver->findViewWithText("标题:"));
    EXPECT_EQ(acts->mtableview->rowHeight(), 30);
    acts->titleField()->setText("义");
    driver->tap(acts->searchButton);
    ASSERT_TRUE(waitLoaded(acts, 2, "GetBasicActivity"));
    ns::Value sent = svc.received("GetBasicActivity");
    EXPECT_EQ(sent["page_size"].integerValue(), 20);
    EXPECT_EQ(sent["parameters"]["title"].text(), "义");
    EXPECT_EQ(sent["parameters"]["org_id"].text(), "");
    EXPECT_TRUE(sent["orders"].isNil());
    settle();

    ASSERT_EQ(acts->mtableview->numberOfRowsInSection(0), 2);
    ASSERT_TRUE(driver->tapText("义诊"));
    driver->advance(1.0);
    auto detail = std::dynamic_pointer_cast<ActivityDetailViewController>(nav->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->contentLabel->text(), "社区义诊");
}

}  // namespace
