// The demo service's direct line, grid, activities, organisation tree and
// outside pages: every list a screen reaches has rows, and what is submitted
// shows where the screens list it, also after a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>

#include "DemoTestSupport.h"
#include "foundation/Data.h"
#include "support/FullDisk.h"

namespace {

using namespace demotest;
namespace fs = std::filesystem;

constexpr const char* kMember = "1001";     // the demo member, of 北岸镇党委 (11)
constexpr const char* kResident = "1002";   // of 溪口街道党工委 (21)

ns::Value petitions(const std::string& type, const std::string& who = "") {
    return call([&](VoVaClient& c) {
        if (type == "1") c.GetGroupVoice_page_size_type_user_tel("1", "10", type, who);
        else if (type == "4") c.GetGroupVoice_page_size_type_user_id("1", "10", type, who);
        else c.GetGroupVoice("1", "10", type);
    })["records"];
}
ns::Value petition(const std::string& id, const std::string& member) {
    return call([&](VoVaClient& c) { c.GetGroupVoiceRecord_user_id(id, member); });
}
ns::Value events(const std::string& type, const std::string& member = kMember) {
    return call([&](VoVaClient& c) { c.GetEventList("1", "10", type, member); })["records"];
}
ns::Value event(const std::string& id, const std::string& member = kMember) {
    return call([&](VoVaClient& c) { c.GetEventRecord(id, member); });
}
ns::Value activities(const std::string& org, const std::string& member = kMember) {
    return call([&](VoVaClient& c) { c.GetOrgActivity("1", "20", org, member); });
}
std::vector<std::string> titles(const ns::Value& list) {
    std::vector<std::string> out;
    for (const auto& r : list.items()) out.push_back(r["title"].text());
    return out;
}
bool lists(const ns::Value& list, const std::string& title) {
    auto t = titles(list);
    return std::find(t.begin(), t.end(), title) != t.end();
}

TEST(DemoCases, PetitionsAreListedByKindAndASubmittedOneIsHandledUpTheTree) {
    const std::string title = "小区垃圾分类点设置不合理";
    std::string id;
    {
        auto svc = startService();
        ns::Value all = petitions("3");
        ASSERT_TRUE(rows(all, 4, {"id", "title", "org_name", "content", "user_name"}));
        EXPECT_FALSE(lists(all, "反映低保评定的问题"));                     // not public ...
        EXPECT_TRUE(lists(petitions("1", "13800000002"), "反映低保评定的问题"));  // ... but found by its number
        EXPECT_EQ(petitions("1", "").count(), 0u);
        EXPECT_EQ(petitions("4", kMember).count(), 2u);  // those addressed to the member's organisation
        EXPECT_EQ(petitions("4", "no-one").count(), 0u);

        ns::Value replied = petition(all.at(0)["id"].text(), kMember);
        expectKeys(replied["records"], {"title", "type_name", "add_time", "content", "state", "add_org", "user_name",
                                        "feel_handle"});

        ns::Value sent = call([&](VoVaClient& c) {
            c.SubmitGroupVoice("居民甲", "51", title, "分类点离楼栋太远，建议调整。", "13900000001", "1", 1, "11");
        });
        expectSuccessful(sent);
        ns::Value listed = petitions("3");
        ASSERT_GE(listed.count(), 1u);
        EXPECT_EQ(listed.at(0)["title"].text(), title);
        EXPECT_EQ(listed.at(0)["org_name"].text(), "北岸镇党委");
        id = listed.at(0)["id"].text();
        EXPECT_TRUE(lists(petitions("1", "13900000001"), title));
        EXPECT_TRUE(lists(petitions("4", kMember), title));

        // Refused: no organisation, or nothing to say; neither is listed.
        expectRefused([](VoVaClient& c) { c.SubmitGroupVoice("乙", "51", "无单位", "内容", "1", "1", 1, "x"); });
        expectRefused([](VoVaClient& c) { c.SubmitGroupVoice("乙", "51", "", "", "1", "1", 1, "11"); });
        EXPECT_EQ(petitions("3").count(), listed.count());
    }
    // After a restart it is still there, and the member reports it up.
    auto again = startService();
    ns::Value record = petition(id, kMember);
    EXPECT_EQ(record["records"]["title"].text(), title);
    EXPECT_EQ(record["records"]["type_name"].text(), "意见建议");
    EXPECT_EQ(record["is_handle"].text(), "1");
    EXPECT_EQ(record["is_report"].text(), "1");
    expectRefused([&](VoVaClient& c) { c.SubmitGroupVoiceHandle(id, kResident, "回复", "不是我的"); });
    expectSuccessful(call([&](VoVaClient& c) { c.SubmitGroupVoiceHandle(id, kMember, "上报", "需县里协调"); }));
    record = petition(id, kMember);
    EXPECT_EQ(record["is_handle"].text(), "0");
    EXPECT_EQ(record["records"]["add_org"].text(), "北岸县委");
    ASSERT_EQ(record["records"]["feel_handle"].count(), 1u);
    expectKeys(record["records"]["feel_handle"].at(0), {"handle_user", "action", "handle_time", "handle_content"});
    EXPECT_EQ(record["records"]["feel_handle"].at(0)["handle_user"].text(), "北岸镇党委");
    EXPECT_FALSE(lists(petitions("4", kMember), title));
}

TEST(DemoCases, EventTypesEventsByKindAndTheirHandling) {
    auto svc = startService();
    ns::Value kinds = call([](VoVaClient& c) { c.GetEnumList("EventType"); })["records"];
    ASSERT_GE(kinds.count(), 4u);
    for (const auto& k : kinds.items()) EXPECT_FALSE(k["key"].text().empty());
    EXPECT_EQ(call([](VoVaClient& c) { c.GetEnumList("Other"); })["records"].count(), 0u);

    const ns::Value all = events("3");
    ASSERT_TRUE(rows(all, 3, {"id", "title", "category", "charge", "place"}));
    ASSERT_GE(events("1").count(), 1u);
    ASSERT_GE(events("2").count(), 1u);
    EXPECT_EQ(events("3", kResident).count(), 0u);  // another organisation's

    const std::string title = "滨江路路灯损坏";
    expectSuccessful(call([&](VoVaClient& c) {
        c.SubmitEvent(kMember, title, "滨江路三盏路灯不亮。", "安全隐患", "王建国", 1, "滨江路", "2999-01-01 08:00");
    }));
    expectRefused([](VoVaClient& c) { c.SubmitEvent("no-one", "t", "c", "其他", "", 0, "", ""); });
    ASSERT_EQ(events("3").at(0)["title"].text(), title);
    ASSERT_EQ(events("1").at(0)["title"].text(), title);
    EXPECT_FALSE(lists(events("2"), title));
    const std::string id = events("3").at(0)["id"].text();
    ns::Value record = event(id);
    expectKeys(record["records"], {"category", "charge", "datetime", "org_name", "place", "remark", "state", "tags",
                                   "title", "user_name", "event_handles"});
    EXPECT_EQ(record["records"]["tags"].text(), "是");
    EXPECT_EQ(record["records"]["user_name"].text(), "林晓明");
    EXPECT_EQ(record["is_handle"].text(), "1");
    EXPECT_EQ(event(id, kResident)["state"].text(), "failed");

    // Coordination lists it as such; once handled there is nothing more to do.
    expectSuccessful(call([&](VoVaClient& c) { c.SubmitEventHandle(id, kMember, 0, 0, 1, 0, "请电力公司协助"); }));
    EXPECT_TRUE(lists(events("2"), title));
    expectSuccessful(call([&](VoVaClient& c) { c.SubmitEventHandle(id, kMember, 0, 1, 0, 0, "已修复"); }));
    record = event(id);
    EXPECT_EQ(record["records"]["state"].text(), "已办结");
    EXPECT_EQ(record["records"]["remark"].text(), "已修复");
    ASSERT_EQ(record["records"]["event_handles"].count(), 2u);
    expectKeys(record["records"]["event_handles"].at(1), {"user_name", "remark", "state", "datetimes"});
    EXPECT_EQ(record["is_handle"].text(), "0");
    expectRefused([&](VoVaClient& c) { c.SubmitEventHandle(id, kMember, 1, 0, 0, 0, "再来"); });
}

TEST(DemoCases, ActivitiesShowTheirPicturesAndAPublishedOneKeepsItsUpload) {
    const std::string title = "柳湾社区党员义诊活动";
    {
        auto svc = startService();
        ns::Value list = activities("111");
        ASSERT_GE(list["records"].count(), 2u);
        EXPECT_EQ(list["is_power"].text(), "1");
        EXPECT_EQ(activities("111", kResident)["is_power"].text(), "0");
        ns::Value first = list["records"].at(0);
        expectKeys(first, {"title", "add_time", "content", "org_activity_attach"});
        ASSERT_GE(first["org_activity_attach"].count(), 1u);
        std::string type;
        fetch(first["org_activity_attach"].at(0)["thumb_path"].text(), &type);
        EXPECT_EQ(type, "image/png");

        // An upload is kept and served; what is not a picture is refused.
        std::string picture = fetch(first["org_activity_attach"].at(0)["thumb_path"].text());
        ns::Value upload = call([&](VoVaClient& c) { c.SubmitAttach(ns::base64Encode(picture)); });
        expectSuccessful(upload);
        EXPECT_EQ(fetch(upload["file_path"].text()), picture);
        expectRefused([](VoVaClient& c) { c.SubmitAttach(ns::base64Encode(std::string("not a picture"))); });

        expectSuccessful(call([&](VoVaClient& c) {
            c.SubmitOrgActivity("112", title, "为社区老人免费量血压。", upload["file_path"].text(), kMember);
        }));
        expectRefused([&](VoVaClient& c) { c.SubmitOrgActivity("112", "别人的", "", "", kResident); });
        EXPECT_EQ(activities("112")["records"].at(0)["title"].text(), title);
    }
    // On another port after a restart, with its picture.
    auto again = startService();
    ns::Value mine = activities("112")["records"].at(0);
    EXPECT_EQ(mine["title"].text(), title);
    ASSERT_EQ(mine["org_activity_attach"].count(), 1u);
    std::string url = mine["org_activity_attach"].at(0)["thumb_path"].text();
    EXPECT_EQ(url.rfind(again->baseURL(), 0), 0u) << url;
    EXPECT_FALSE(fetch(url).empty());
}

// A picture it cannot keep (a full disk, a folder in its file's place) is
// refused and said in one line naming the file with the reason, and leaves
// nothing of itself to be served; the next upload takes its number.
TEST(DemoCases, APictureThatCannotBeKeptIsRefusedAndLeavesNothing) {
    auto svc = startService();
    const std::string picture = fetch(activities("111")["records"].at(0)["org_activity_attach"].at(0)["thumb_path"].text());
    const fs::path folder = fs::path(svc->stateFolder()) / "attachments";
    fs::create_directories(folder);
    const fs::path file = folder / "1.png";
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "a full disk" : "a folder in its place");
        if (!full) fs::create_directory(file);
        ns::LogCapture log;
        {
            std::optional<testsupport::FullDisk> disk;
            if (full) disk.emplace();
            expectRefused([&](VoVaClient& c) { c.SubmitAttach(ns::base64Encode(picture)); });
        }
        EXPECT_TRUE(log.contains("kl-demo-service: cannot keep a picture: " + file.string() + ": " +
                                 std::strerror(full ? EFBIG : EISDIR)));
        EXPECT_FALSE(fs::is_regular_file(file));
        EXPECT_TRUE(testsupport::temporariesIn(folder).empty());
        fs::remove(file);
    }
    ns::Value upload = call([&](VoVaClient& c) { c.SubmitAttach(ns::base64Encode(picture)); });
    expectSuccessful(upload);
    EXPECT_EQ(fs::path(upload["file_path"].text()).filename(), "1.png");
    EXPECT_EQ(fetch(upload["file_path"].text()), picture);
}

TEST(DemoCases, TheOrganisationTreeAndTheirPeopleInCharge) {
    auto svc = startService();
    ns::Value tree = call([](VoVaClient& c) { c.GetOrgList_user_id("all_org", ""); })["records"];
    ASSERT_EQ(tree.count(), 1u);
    // Down to the fourth level, each node with its level.
    ns::Value node = tree.at(0);
    for (int level = 1; level <= 4; ++level) {
        SCOPED_TRACE(level);
        expectKeys(node, {"id", "name", "level", "child_org"});
        EXPECT_EQ(node["level"].text(), std::to_string(level));
        if (level < 4) {
            ASSERT_GE(node["child_org"].count(), 1u);
            node = node["child_org"].at(0);
        }
    }
    EXPECT_EQ(node["child_org"].count(), 0u);

    ns::Value record = call([](VoVaClient& c) { c.GetOrgRecord("11"); })["records"];
    EXPECT_EQ(record["name"].text(), "王建国");  // the person in charge, not 北岸镇党委
}

TEST(DemoCases, OutsidePagesAreServedInChineseAndTheirLinksLeadToPages) {
    auto svc = startService();
    const std::vector<std::string> outside = {
        "/html/ganbugongzuo/ganbugongzuodongtai/2013/1009/28.html",  // the regional party-building tile
        "/GB/68294/index6.html",                                      // online reading
        "/Pages/Web/dqzt/CanvassWap.aspx",                            // the opinion survey
    };
    std::set<std::string> seen;
    std::vector<std::string> queue;
    for (const auto& path : outside) queue.push_back(svc->baseURL() + path);
    const std::regex link("href='([^']+)'");
    while (!queue.empty()) {
        std::string url = queue.back();
        queue.pop_back();
        if (!seen.insert(url).second) continue;
        SCOPED_TRACE(url);
        std::string type;
        std::string page = fetch(url, &type);
        EXPECT_NE(type.find("text/html"), std::string::npos);
        EXPECT_NE(page.find("<title>"), std::string::npos);
        EXPECT_TRUE(std::any_of(page.begin(), page.end(), [](char c) {  // Chinese text
            return static_cast<unsigned char>(c) >= 0xE4 && static_cast<unsigned char>(c) <= 0xE9;
        }));
        for (std::sregex_iterator m(page.begin(), page.end(), link), end; m != end; ++m) queue.push_back((*m)[1]);
    }
    EXPECT_GT(seen.size(), outside.size());
}

}  // namespace
