// The organisation-tree pickers: the people picker (the tree as it arrives,
// expanding and collapsing, ticking, asking for members, dropping and
// confirming them) and the single picker (one tick in the whole tree).
#include <gtest/gtest.h>

#include "support/ModuleTest.h"

#include "members/OrgTreeView.h"
#include "members/OrganizeTreeView.h"
#include "uikit/Label.h"

using namespace moduletest;

namespace {

ns::Value org(const std::string& id, int level, std::initializer_list<ns::Value> kids = {}) {
    return ns::Value::dictionary(
        {{"id", id}, {"name", "机构" + id}, {"level", level}, {"child_org", ns::Value::array(kids)}});
}

// 1 ─┬ 11 ─┬ 111 ── 1111
//    │     └ 112
//    └ 12 ── 121 ── 1211
std::string treeReply() {
    ns::Value top = org("1", 1,
                        {org("11", 2, {org("111", 3, {org("1111", 4)}), org("112", 3)}),
                         org("12", 2, {org("121", 3, {org("1211", 4)})})});
    return JSONRepresentation(ns::Value::dictionary({{"records", ns::Value::array({top})}}));
}

struct Owner : OrganizeTreeViewDelegate {
    std::vector<std::vector<std::string>> handed;
    void phoneArray(const ns::Value& members) override {
        std::vector<std::string> numbers;
        for (auto& m : members.items()) numbers.push_back(m["user_name"].str());
        handed.push_back(numbers);
    }
};

class OrganizeTreeTest : public MemberTest {
protected:
    void SetUp() override {
        MemberTest::SetUp();
        nav->setNavigationBarHidden(true);
        svc.reply("GetOrgList", treeReply());
        svc.reply("GetOrgUser", R"({"records":[{"real_name":"张三","user_name":"13800000001"},)"
                                R"({"real_name":"李四","user_name":"13800000002"}]})");
    }
    std::shared_ptr<OrganizeTreeView> open() {
        auto tree = ui::create<OrganizeTreeView>(ui::Rect{0, 0, 320, 400});
        tree->setDelegate(owner);
        root->view()->addSubview(tree);
        EXPECT_TRUE(driver->waitUntil([&] { return tree->mdataArray.count() > 0; }));
        return tree;
    }
    // Each listed row as "<id><arrow><tick>": arrow "v" open / ">" closed /
    // " " none, tick "+" / "-".
    static std::vector<std::string> rows(const OrgTreePane& tree) {
        std::vector<std::string> out;
        for (auto& row : tree.treeViewArray) {
            std::string id = row->nameLabel->text().substr(std::string("机构").size());
            auto arrow = row->signimagev->image();
            id += !arrow ? " " : arrow->name() == "xia.png" ? "v" : ">";
            id += row->selectimagev->image()->name() == "have_shangji.png" ? "+" : "-";
            out.push_back(id);
        }
        return out;
    }
    void tapArrow(const std::shared_ptr<OrgTreePane>& tree, std::size_t i) {
        driver->fireGesture<ui::TapGestureRecognizer>(tree->treeViewArray.at(i)->signimagev);
    }
    void tapTick(const std::shared_ptr<OrgTreePane>& tree, std::size_t i) {
        driver->fireGesture<ui::TapGestureRecognizer>(tree->treeViewArray.at(i)->selectimagev);
    }
    std::shared_ptr<Owner> owner = std::make_shared<Owner>();
};

using Rows = std::vector<std::string>;

TEST_F(OrganizeTreeTest, ArrivesWithTheTopOpenAndItsChildrenClosed) {
    auto tree = open();
    auto sent = svc.received("GetOrgList")["parameters"];
    EXPECT_EQ(sent["type"].str(), "all_org");
    EXPECT_EQ(sent["user_id"].str(), "");
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11>-", "12>-"}));
    EXPECT_EQ(tree->treeViewArray[1]->frame().origin, (ui::Point{10, 30}));
    EXPECT_EQ(tree->mscrview->contentSize().height, 90);
}

TEST_F(OrganizeTreeTest, ExpandingAndCollapsing) {
    auto tree = open();
    tapArrow(tree, 1);  // 11 open
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111>-", "112>-", "12>-"}));
    tapArrow(tree, 2);  // 111 open
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111v-", "1111>-", "112>-", "12>-"}));
    EXPECT_EQ(tree->treeViewArray[3]->frame().origin.x, 30);
    tapArrow(tree, 3);  // the deepest level does nothing
    EXPECT_EQ(rows(*tree).size(), 6u);
    tapArrow(tree, 5);  // 12 open
    tapArrow(tree, 6);  // 121 open
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111v-", "1111>-", "112>-", "12v-", "121v-", "1211>-"}));

    // Closing 12 takes its children and every deepest row, also 1111.
    tapArrow(tree, 5);
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111v-", "112>-", "12>-"}));
    tapArrow(tree, 2);  // 111 closes (its children are gone already)
    tapArrow(tree, 2);  // and opens with them again
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111v-", "1111>-", "112>-", "12>-"}));

    // The top row: closed shows the top alone, open the list as it was.
    tapArrow(tree, 0);
    EXPECT_EQ(rows(*tree), (Rows{"1>-"}));
    tapArrow(tree, 0);
    EXPECT_EQ(rows(*tree).size(), 6u);
}

// An organisation of many children opens with them in order right after it
// and closes with every one of them and every deepest row gone, each row
// shown once in the pane. Its reply lists millions of other entries among
// the children, which are no organisations: they show nowhere, and closing
// costs nothing for each of them.
TEST_F(OrganizeTreeTest, AnOrganisationOfManyChildrenOpensAndClosesInOrder) {
    constexpr int kChildren = 10000;
    constexpr int kOthers = 1000000;
    ns::Value kids = ns::Value::array();
    for (int i = 0; i < kOthers; ++i) kids.push(0);
    for (int i = 0; i < kChildren; ++i) kids.push(org(ns::format("x%d", i), 3, {org(ns::format("y%d", i), 4)}));
    ns::Value many = org("11", 2);
    many.set("child_org", kids);
    svc.reply("GetOrgList", JSONRepresentation(ns::Value::dictionary(
                                {{"records", ns::Value::array({org("1", 1, {many, org("12", 2)})})}})));
    auto tree = open();
    const std::size_t besideRows = tree->mscrview->subviewCount() - tree->treeViewArray.size();
    auto shown = [&](const Rows& expected) {
        EXPECT_EQ(rows(*tree), expected);
        EXPECT_EQ(tree->mscrview->subviewCount(), besideRows + expected.size());
        EXPECT_EQ(tree->treeViewArray.back()->frame().origin.y, 30.0 * static_cast<double>(expected.size() - 1));
    };

    tapArrow(tree, 1);
    Rows open{"1v-", "11v-"};
    for (int i = 0; i < kChildren; ++i) open.push_back(ns::format("x%d>-", i));
    open.push_back("12>-");
    shown(open);

    // The last child opens: its level-4 row comes after it.
    tapArrow(tree, kChildren + 1);
    open[kChildren + 1] = ns::format("x%dv-", kChildren - 1);
    open.insert(open.begin() + kChildren + 2, ns::format("y%d>-", kChildren - 1));
    shown(open);

    tapArrow(tree, 1);
    shown(Rows{"1v-", "11>-", "12>-"});
}

TEST_F(OrganizeTreeTest, TickingSpreadsByLevel) {
    auto tree = open();
    tapTick(tree, 1);  // 11 and its unlisted descendants
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11>+", "12>-"}));
    tapArrow(tree, 1);
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v+", "111>+", "112>+", "12>-"}));
    tapTick(tree, 2);  // a closed level-3 row alone
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v+", "111>-", "112>+", "12>-"}));
    tapArrow(tree, 2);  // opens with its own tick
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v+", "111v-", "1111>-", "112>+", "12>-"}));

    // The top row ticks every listed row, also after it was collapsed.
    tapArrow(tree, 0);
    tapTick(tree, 0);
    EXPECT_EQ(rows(*tree), (Rows{"1>+", "11v+", "111v+", "1111>+", "112>+", "12>+"}));
}

TEST_F(OrganizeTreeTest, AddsTheMembersOfTheTickedOrganisations) {
    auto tree = open();
    driver->tap(tree->addButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "请先选择机构");
    EXPECT_EQ(svc.count("GetOrgUser"), 0u);

    tapTick(tree, 1);
    tapTick(tree, 2);
    driver->tap(tree->addButton);
    ASSERT_TRUE(driver->waitUntil([&] { return tree->peopleTicks.size() == 2; }));
    EXPECT_EQ(svc.received("GetOrgUser")["parameters"]["org_list"].str(), "11,12");
    EXPECT_EQ(tree->peoplescrview->contentSize().height, 90);
    EXPECT_TRUE(driver->findViewWithText("张三"));

    // Dropped members stay behind; confirming again adds no number twice.
    driver->fireGesture<ui::TapGestureRecognizer>(tree->peopleTicks[0]);
    EXPECT_EQ(tree->peopleTicks[0]->image()->name(), "no_shangji.png");
    driver->tap(tree->okButton);
    driver->fireGesture<ui::TapGestureRecognizer>(tree->peopleTicks[0]);
    driver->tap(tree->okButton);
    ASSERT_EQ(owner->handed.size(), 2u);
    EXPECT_EQ(owner->handed[0], (std::vector<std::string>{"13800000002"}));
    EXPECT_EQ(owner->handed[1], (std::vector<std::string>{"13800000002", "13800000001"}));

    driver->tap(tree->cancelButton);
    EXPECT_TRUE(tree->isHidden());
}

// Confirming a hundred thousand members hands each number once, at once.
TEST_F(OrganizeTreeTest, ConfirmingAHundredThousandMembersHandsEachNumberOnce) {
    auto tree = open();
    auto number = [](int i) { return ns::format("138%08d", i); };
    ns::Value people = ns::Value::array();
    for (int i = 0; i < 100000; ++i)
        people.push(ns::Value::dictionary({{"user_name", number(i % 50000)}, {"delete", i == 7 ? "1" : "0"}}));
    tree->peopleArray = people;
    tree->subit();
    ASSERT_EQ(owner->handed.size(), 1u);
    ASSERT_EQ(owner->handed[0].size(), 50000u);
    EXPECT_EQ(owner->handed[0][0], number(0));
    EXPECT_EQ(owner->handed[0][7], number(8));        // the dropped one comes again later
    EXPECT_EQ(owner->handed[0].back(), number(7));
}

// Thousands of members fill the pane in order, a name and a tick a row;
// the next "添加" shows its own members alone.
TEST_F(OrganizeTreeTest, ThousandsOfMembersFillThePaneAndTheNextAddReplacesThem) {
    auto members = [](int n, const std::string& prefix) {
        ns::Value rows = ns::Value::array();
        for (int i = 0; i < n; ++i) {
            rows.push(ns::Value::dictionary(
                {{"real_name", ns::format("%@%d", prefix, i)}, {"user_name", ns::format("%@-%d", prefix, i)}}));
        }
        return JSONRepresentation(ns::Value::dictionary({{"records", rows}}));
    };
    // The pane's rows, top to bottom: the name and whether a tick follows it.
    auto pane = [](const OrganizeTreeView& tree) {
        std::vector<std::string> out;
        auto views = tree.peoplescrview->subviews();
        for (std::size_t i = 0; i < views.size(); ++i) {
            auto name = std::dynamic_pointer_cast<ui::Label>(views[i]);
            if (!name) continue;
            const bool ticked = i + 1 < views.size() && views[i + 1] == tree.peopleTicks.at(out.size());
            out.push_back(name->text() + (ticked ? "+" : "?"));
        }
        return out;
    };
    constexpr int kMembers = 10000;
    svc.reply("GetOrgUser", members(kMembers, "甲"));
    auto tree = open();
    const std::size_t besides = tree->peoplescrview->subviewCount();
    tapTick(tree, 1);
    driver->tap(tree->addButton);
    ASSERT_TRUE(driver->waitUntil([&] { return tree->peopleTicks.size() == kMembers; }));
    std::vector<std::string> expected;
    for (int i = 0; i < kMembers; ++i) expected.push_back(ns::format("甲%d+", i));
    EXPECT_EQ(pane(*tree), expected);
    EXPECT_EQ(tree->peopleTicks.back()->frame().origin.y, 30.0 * (kMembers - 1) + 5);

    svc.reply("GetOrgUser", members(2, "乙"));
    driver->tap(tree->addButton);
    ASSERT_TRUE(driver->waitUntil([&] { return tree->peopleTicks.size() == 2; }));
    EXPECT_EQ(pane(*tree), (std::vector<std::string>{"乙0+", "乙1+"}));
    EXPECT_EQ(tree->peoplescrview->subviewCount(), besides + 4);
    driver->tap(tree->okButton);
    ASSERT_EQ(owner->handed.size(), 1u);
    EXPECT_EQ(owner->handed[0], (std::vector<std::string>{"乙-0", "乙-1"}));
}

TEST_F(OrganizeTreeTest, ConfirmingWithoutMembersAsksForThem) {
    auto tree = open();
    driver->tap(tree->okButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "请添加人员");
    EXPECT_TRUE(owner->handed.empty());
}

TEST_F(OrganizeTreeTest, TreeRepliesOfOddShapesLeaveAnEmptyPane) {
    svc.reply("GetOrgList", R"({"records":"none"})");
    auto tree = ui::create<OrganizeTreeView>(ui::Rect{0, 0, 320, 400});
    root->view()->addSubview(tree);
    ASSERT_TRUE(waitForRequests("GetOrgList", 1));
    settleService();
    EXPECT_TRUE(tree->treeViewArray.empty());
    driver->tap(tree->addButton);
    ASSERT_TRUE(waitForAlert());
    EXPECT_EQ(takeAlert(), "请先选择机构");
}

TEST_F(OrganizeTreeTest, TheTreeStillArrivesAfterAnEarlyAdd) {
    svc.reply("GetOrgList", LoopbackService::held(svc.result("GetOrgList", treeReply())));
    auto tree = ui::create<OrganizeTreeView>(ui::Rect{0, 0, 320, 400});
    root->view()->addSubview(tree);
    ASSERT_TRUE(waitForRequests("GetOrgList", 1));
    driver->tap(tree->addButton);
    ASSERT_TRUE(waitForAlert());
    takeAlert();
    svc.release();
    ASSERT_TRUE(driver->waitUntil([&] { return tree->treeViewArray.size() == 3; }));
}

// ---- The single picker ----

struct Picker : OrgTreeViewDelegate {
    std::vector<ns::Value> handed;
    void OrgTreeViewDit(const ns::Value& organisation) override { handed.push_back(organisation); }
};

class OrgTreeViewTest : public OrganizeTreeTest {
protected:
    std::shared_ptr<OrgTreeView> openPicker() {
        auto tree = ui::create<OrgTreeView>(ui::Rect{0, 64, 320, 360});
        tree->setDelegate(picker);
        root->view()->addSubview(tree);
        EXPECT_TRUE(driver->waitUntil([&] { return tree->mdataArray.count() > 0; }));
        return tree;
    }
    std::shared_ptr<Picker> picker = std::make_shared<Picker>();
};

TEST_F(OrgTreeViewTest, ConfirmsNilUntilAPickAndHidesOnCancel) {
    auto tree = openPicker();
    EXPECT_EQ(tree->mscrview->frame(), (ui::Rect{10, 0, 300, 280}));
    EXPECT_EQ(tree->okButton->frame(), (ui::Rect{60, 310, 70, 40}));
    EXPECT_EQ(tree->cancelButton->frame(), (ui::Rect{190, 310, 70, 40}));
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11>-", "12>-"}));
    driver->tap(tree->okButton);
    ASSERT_EQ(picker->handed.size(), 1u);
    EXPECT_TRUE(picker->handed[0].isNil());
    EXPECT_EQ(driver->topPopup(), nullptr);
    EXPECT_FALSE(tree->isHidden());  // "确定" leaves the panel to its owner

    tapTick(tree, 2);
    driver->tap(tree->okButton);
    ASSERT_EQ(picker->handed.size(), 2u);
    EXPECT_EQ(picker->handed[1]["id"].str(), "12");
    driver->tap(tree->cancelButton);
    EXPECT_TRUE(tree->isHidden());
    EXPECT_EQ(picker->handed.size(), 2u);
}

TEST_F(OrgTreeViewTest, OneTickInTheWholeTreeAcrossClosedBranches) {
    auto tree = openPicker();
    tapArrow(tree, 1);  // 11 open: its children keep their own ticks
    tapTick(tree, 1);
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v+", "111>-", "112>-", "12>-"}));
    tapTick(tree, 2);  // 111: a radio choice
    tapTick(tree, 2);  // again: still picked
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111>+", "112>-", "12>-"}));

    // 111's branch is closed, 12 is picked, the branch opened again: 111
    // shows no second tick.
    tapArrow(tree, 1);
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11>-", "12>-"}));
    tapTick(tree, 2);
    tapArrow(tree, 1);
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111>-", "112>-", "12>+"}));
    tapArrow(tree, 4);  // a ticked row opens with its children unticked
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11v-", "111>-", "112>-", "12v+", "121>-"}));
    driver->tap(tree->okButton);
    ASSERT_EQ(picker->handed.size(), 1u);
    EXPECT_EQ(picker->handed[0]["name"].str(), "机构12");
}

TEST_F(OrgTreeViewTest, RowsOfAnUnknownLevelShowNoArrow) {
    ns::Value top = org("1", 1, {org("11", 2), org("19", 7)});
    svc.reply("GetOrgList", JSONRepresentation(ns::Value::dictionary({{"records", ns::Value::array({top})}})));
    auto tree = openPicker();
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11>-", "19 -"}));
    EXPECT_EQ(tree->treeViewArray[2]->frame().origin.x, 0);
    tapArrow(tree, 2);
    tapTick(tree, 2);
    EXPECT_EQ(rows(*tree), (Rows{"1v-", "11>-", "19 +"}));
}

}  // namespace
