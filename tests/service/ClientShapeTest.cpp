// Every operation method of the client, against what goes over the wire: the
// operation, its SOAPAction, and the JSON argument text key by key, with
// each value quoted or bare as the operation defines it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ServiceTestSupport.h"
#include "foundation/Log.h"
#include "service/JSON.h"
#include "service/SoapXmlParseHelper.h"

namespace {

struct Shape {
    const char* selector;
    std::function<void(VoVaClient&)> call;
    const char* operation;
    std::optional<std::string> argument;  // the exact text; nothing: no jsonString
    const char* method = "POST";          // as the method was asked for (the wire always says POST)
};

const std::string kOrders = R"(,"orders":{"add_time":"desc"})";

std::string paged(const char* index, const char* size, const std::string& params, bool orders) {
    return std::string(R"({"page_index":)") + index + R"(,"page_size":)" + size + R"(,"parameters":{)" + params +
           "}" + (orders ? kOrders : "") + "}";
}

std::string plain(const std::string& params) { return R"({"parameters":{)" + params + "}}"; }

std::vector<Shape> shapes() {
    using C = VoVaClient&;
    return {
        // Articles, comments, links
        {"news_request:page_size:category_code:", [](C c) { c.news_request("1", "10", "szyw"); }, "GetArticleList",
         paged("1", "10", R"("category_code":"szyw")", true)},
        {"news_detail_request:", [](C c) { c.news_detail_request("88"); }, "GetArticleRecord", plain(R"("id":"88")"),
         "GET"},
        {"comment_request:page_size:article_id:", [](C c) { c.comment_request("2", "10", "88"); }, "GetCommentList",
         paged("2", "10", R"("article_id":"88")", true)},
        {"subitComment:user_name:article_id:user_id:channel_id:",
         [](C c) { c.subitComment("好文章", "张三", "88", "501", "7"); }, "SubmitComment",
         plain(R"("content":"好文章","user_name":"张三","article_id":"88","user_id":"501","channel_id":"7")")},
        {"OnlineRead:page_size:category_code:", [](C c) { c.OnlineRead("1", "10", "dxzx"); }, "GetOnlineRead",
         paged("1", "10", R"("category_code":"dxzx")", true)},
        {"getMinBinlink", [](C c) { c.getMinBinlink(); }, "GetLinkList", std::nullopt},
        // Voice of the masses
        {"GetGroupVoice:page_size:type:", [](C c) { c.GetGroupVoice("1", "10", "2"); }, "GetGroupVoice",
         paged("1", "10", R"("type":"2")", true)},
        {"GetGroupVoice:page_size:type:user_tel:",
         [](C c) { c.GetGroupVoice_page_size_type_user_tel("1", "10", "3", "13800000000"); }, "GetGroupVoice",
         paged("1", "10", R"("type":"3","user_tel":"13800000000")", true)},
        {"GetGroupVoice:page_size:type:user_id:",
         [](C c) { c.GetGroupVoice_page_size_type_user_id("3", "10", "4", "501"); }, "GetGroupVoice",
         paged("3", "10", R"("type":"4","user_id":"501")", true)},
        {"GetCategoryList:", [](C c) { c.GetCategoryList("qunzhongxinsheng"); }, "GetCategoryList",
         plain(R"("category_code":"qunzhongxinsheng")")},
        {"SubmitGroupVoice:category_id:title:content:user_tel:user_type:is_open:org_id:",
         [](C c) { c.SubmitGroupVoice("李四", "12", "标题", "内容", "13900000000", "1", 1, "33"); }, "SubmitGroupVoice",
         plain(R"("user_name":"李四","category_id":"12","title":"标题","content":"内容","user_tel":"13900000000",)"
               R"("user_type":"1","is_open":1,"org_id":"33")")},
        {"GetGroupVoiceRecord:", [](C c) { c.GetGroupVoiceRecord("901"); }, "GetGroupVoiceRecord",
         plain(R"("feel_id":"901")")},
        {"GetGroupVoiceRecord:user_id:", [](C c) { c.GetGroupVoiceRecord_user_id("901", "501"); },
         "GetGroupVoiceRecord", plain(R"("feel_id":"901","user_id":"501")")},
        {"SubmitGroupVoiceHandle:user_id:action:handle_content:",
         [](C c) { c.SubmitGroupVoiceHandle("901", "501", "reply", "已处理"); }, "SubmitGroupVoiceHandle",
         plain(R"("feel_id":"901","user_id":"501","action":"reply","handle_content":"已处理")")},
        // Party-building grid
        {"QueryEventPower:type:", [](C c) { c.QueryEventPower("501", "1"); }, "GetEventPower",
         plain(R"("user_id":501,"type":1)")},
        {"GetEnumList:", [](C c) { c.GetEnumList("event_category"); }, "GetEnumList",
         plain(R"("name":"event_category")")},
        {"SubmitEvent:title:content:category:charge:tag:place:date_time:",
         [](C c) { c.SubmitEvent("501", "路灯", "坏了", "设施", "王五", 1, "东街", "2015-03-02 10:30"); },
         "SubmitEvent",
         plain(R"("user_id":501,"title":"路灯","content":"坏了","category":"设施","charge":"王五","tag":1,)"
               R"("place":"东街","date_time":"2015-03-02 10:30")")},
        {"GetEventList:page_size:type:user_id:", [](C c) { c.GetEventList("1", "10", "2", "501"); }, "GetEventList",
         paged("1", "10", R"("type":2,"user_id":501)", true)},
        {"GetEventRecord:user_id:", [](C c) { c.GetEventRecord("77", "501"); }, "GetEventRecord",
         plain(R"("id":77,"user_id":501)")},
        {"SubmitEventHandle:user_id:is_handing:is_handled:is_coordination:is_report:remark:",
         [](C c) { c.SubmitEventHandle("77", "501", 1, 0, 0, 1, "上报"); }, "SubmitEventHandle",
         plain(R"("id":77,"user_id":501,"is_handing":1,"is_handled":0,"is_coordination":0,"is_report":1,)"
               R"("remark":"上报")")},
        {"GetOrgList:user_id:", [](C c) { c.GetOrgList_user_id("orgChildOrg", "501"); }, "GetOrgList",
         plain(R"("type":"orgChildOrg","user_id":"501")")},
        {"GetOrgList:", [](C c) { c.GetOrgList("countyandcity"); }, "GetOrgList", plain(R"("type":"countyandcity")")},
        {"GetOrgRecord:", [](C c) { c.GetOrgRecord("33"); }, "GetOrgRecord", plain(R"("id":"33")")},
        {"GetOrgActivity:page_size:org_id:user_id:", [](C c) { c.GetOrgActivity("1", "10", "33", "501"); },
         "GetOrgActivity", paged("1", "10", R"("org_id":"33","user_id":501)", true)},
        {"GetBasicActivity:page_size:org_id:title:", [](C c) { c.GetBasicActivity("1", "10", "33", "学习"); },
         "GetBasicActivity", paged("1", "10", R"("org_id":"33","title":"学习")", false)},
        {"GetMailList:page_size:org_id:keywords:", [](C c) { c.GetMailList("1", "20", "33", "张"); }, "GetMailList",
         paged("1", "20", R"("org_id":"33","keywords":"张")", false)},
        {"SubmitAttach:", [](C c) { c.SubmitAttach("/9j/4AAQSkZJRg+/="); }, "SubmitAttach",
         plain(R"("base":"/9j/4AAQSkZJRg+/=")")},
        {"SubmitOrgActivity:title:content:attach_list:user_id:",
         [](C c) { c.SubmitOrgActivity("33", "活动", "内容", "a.jpg,b.jpg", "501"); }, "SubmitOrgActivity",
         plain(R"("org_id":"33","title":"活动","content":"内容","attach_list":"a.jpg,b.jpg","user_id":"501")")},
        // Sign-in, SMS, organisation members
        {"GetSign:year_month:", [](C c) { c.GetSign("501", "2015-03"); }, "GetSign",
         plain(R"("user_id":"501","year_month":"2015-03")")},
        {"SubmitSign:", [](C c) { c.SubmitSign("501"); }, "SubmitSign", plain(R"("user_id":"501")"), "GET"},
        {"GetUserConfig", [](C c) { c.GetUserConfig(); }, "GetUserConfig", std::nullopt},
        {"SubmitMessage:content:number_list:send_type:",
         [](C c) { c.SubmitMessage("通知", "开会", "13800000000;13900000000", "1"); }, "SubmitMessage",
         plain(R"("title":"通知","content":"开会","number_list":"13800000000;13900000000","send_type":"1")")},
        {"GetOrgUser:", [](C c) { c.GetOrgUser("1,2,3"); }, "GetOrgUser", plain(R"("org_list":"1,2,3")")},
        // Floating party members' homes
        {"PalmHomeLogin:tel:type:", [](C c) { c.PalmHomeLogin("赵六", "13700000000", "2"); }, "PalmHomeLogin",
         plain(R"("real_name":"赵六","tel":"13700000000","type":2)")},
        {"GetOrgLifeList:page_size:org_id:", [](C c) { c.GetOrgLifeList("1", "10", "33"); }, "GetOrgLifeList",
         paged("1", "10", R"("org_id":"33")", true)},
        {"SubmitOnlineReg:age:sex:nation:party_time:tel:native:specialty:type:org_id:",
         [](C c) { c.SubmitOnlineReg("钱七", "35", "男", "汉", "2001-07-01", "13600000000", "江苏", "电工", "1", "33"); },
         "SubmitOnlineReg",
         plain(R"("real_name":"钱七","age":35,"sex":"男","nation":"汉","party_time":"2001-07-01",)"
               R"("tel":"13600000000","native":"江苏","specialty":"电工","type":1,"org_id":33)")},
        // Party representatives
        {"GetRepresentativeList:page_size:org_id:", [](C c) { c.GetRepresentativeList("1", "20", "33"); },
         "GetRepresentativeList", paged("1", "20", R"("org_id":"33")", true)},
        {"GetRepresentativeRecord:", [](C c) { c.GetRepresentativeRecord("601"); }, "GetRepresentativeRecord",
         plain(R"("user_id":"601")")},
        {"GetRepresentativeComment:current_user_id:", [](C c) { c.GetRepresentativeComment("601", "501"); },
         "GetRepresentativeComment", plain(R"("user_id":"601","current_user_id":"501")")},
        {"SubmitRepresentativeComment:parent_id:content:",
         [](C c) { c.SubmitRepresentativeComment("601", "", "建议"); }, "SubmitRepresentativeComment",
         plain(R"("user_id":"601","parent_id":"","content":"建议")")},
        {"SubmitRepCommentDel:", [](C c) { c.SubmitRepCommentDel("71"); }, "SubmitRepCommentDel",
         plain(R"("comment_id":"71")")},
        // Supply and demand
        {"GetRetailerLogin:real_name:", [](C c) { c.GetRetailerLogin("13500000000", "孙八"); }, "GetRetailerLogin",
         plain(R"("user_tel":"13500000000","real_name":"孙八")")},
        {"GetRetailerList:page_size:type:keywords:search_type:",
         [](C c) { c.GetRetailerList("1", "20", "1", "苹果", "0"); }, "GetRetailerList",
         paged("1", "20", R"("type":"1","keywords":"苹果","search_type":"0")", false)},
        {"GetRetailerList:page_size:type:keywords:search_type:user_id:user_type:",
         [](C c) {
             c.GetRetailerList_page_size_type_keywords_search_type_user_id_user_type("2", "20", "1", "", "1", "801",
                                                                                     "2");
         },
         "GetRetailerList",
         paged("2", "20", R"("type":"1","keywords":"","search_type":"1","user_id":"801","user_type":"2")", false)},
        {"GetRetailerRecord:", [](C c) { c.GetRetailerRecord("55"); }, "GetRetailerRecord", plain(R"("id":"55")")},
        {"GetRetailerComment:user_id:user_type:", [](C c) { c.GetRetailerComment("55", "801", "2"); },
         "GetRetailerComment", plain(R"("id":"55","user_id":"801","user_type":"2")")},
        {"SubmitRetailerContact:", [](C c) { c.SubmitRetailerContact("55"); }, "SubmitRetailerContact",
         plain(R"("id":"55")")},
        {"SubmitRetailerComment:id:parent_id:content:user_type:",
         [](C c) { c.SubmitRetailerComment("801", "55", "9", "好", "2"); }, "SubmitRetailerComment",
         plain(R"("user_id":"801","id":"55","parent_id":"9","content":"好","user_type":"2")")},
        {"SubmitRetCommentDel:", [](C c) { c.SubmitRetCommentDel("72"); }, "SubmitRetCommentDel",
         plain(R"("comment_id":"72")")},
    };
}

using ClientShapeTest = ServiceTest;

TEST_F(ClientShapeTest, EveryOperationMethodSendsItsArgumentShape) {
    auto table = shapes();
    std::set<std::string> selectors, operations;
    for (const auto& s : table) {
        selectors.insert(s.selector);
        operations.insert(s.operation);
    }
    EXPECT_EQ(selectors.size(), 49u);   // both lists, GetOrgList:user_id: counted once
    EXPECT_EQ(operations.size(), 44u);
    // The client's list of its operations (what a service it talks to must
    // have) is what its methods send: these, and the application shell's.
    const auto& listed = VoVaClient::operations();
    std::set<std::string> sent = operations;
    sent.insert({"AutoUpdate", "MemberLogin", "GetPower", "SubmitDevice"});
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), sent);
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));

    Screen screen;
    for (const auto& s : table) {
        SCOPED_TRACE(s.selector);
        svc.reply(s.operation, R"({"state":"successful"})");
        svc.clearRecords();
        std::size_t before = screen.delegate->outcomes.size();
        s.call(*screen.client);

        auto request = screen.client->runningRequest();
        ASSERT_TRUE(request);
        EXPECT_EQ(request->operationName(), s.operation);
        EXPECT_EQ(request->requestMethod(), s.method);
        ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() > before; }));

        auto received = svc.last(s.operation);
        ASSERT_TRUE(received);
        EXPECT_EQ(received->method, "POST");  // a "GET" with a body goes out as a POST
        EXPECT_EQ(received->path, "/AppDataSource/interface.asmx");
        EXPECT_EQ(received->header("Content-Type"), "text/xml; charset=utf-8");
        EXPECT_EQ(received->soapAction, svc.serviceNamespace() + s.operation);
        EXPECT_EQ(received->serviceNamespace, svc.serviceNamespace());
        EXPECT_EQ(received->jsonString, s.argument);
        if (s.argument) {
            EXPECT_TRUE(received->argument.isDictionary()) << *s.argument;  // valid JSON
        }
        const auto& outcome = screen.delegate->outcomes.back();
        EXPECT_TRUE(outcome.success);
        EXPECT_EQ(outcome.result, R"({"state":"successful"})");
        EXPECT_EQ(outcome.operation, s.operation);
    }
}

TEST_F(ClientShapeTest, LogsTheArgumentAsTheOperationsDo) {
    ns::LogCapture log;
    Screen screen;
    screen.client->GetSign("501", "2015-03");
    EXPECT_TRUE(log.contains(R"(content==={"parameters":{"user_id":"501","year_month":"2015-03"}})"));
    screen.client->SubmitOnlineReg("a", "1", "b", "c", "d", "e", "f", "g", "1", "2");
    EXPECT_TRUE(log.contains("contents==={\"parameters\":{\"real_name\":\"a\""));
    ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() == 2; }));
}

TEST_F(ClientShapeTest, TextsAUserTypesReachTheServiceIntact) {
    const std::string nasty = "He said \"hi\" \\ <b>&amp;</b> ]]>\r\nnext line\t\x01 中文 \xF0\x9F\x98\x80 (null)";
    Screen screen;
    svc.reply("SubmitComment", R"({"state":"successful"})");
    screen.client->subitComment(nasty, "O'Brien <admin>", "88", "", "7");
    ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() == 1; }));
    ns::Value p = svc.received("SubmitComment")["parameters"];
    EXPECT_EQ(p["content"].str(), nasty);
    EXPECT_EQ(p["user_name"].str(), "O'Brien <admin>");
    EXPECT_EQ(p["user_id"].str(), "");  // an empty value stays empty, never "(null)"
}

// U+FFFE and U+FFFF are no XML characters: sent raw, they would leave the
// envelope not well-formed and the request would fail. Bytes that are not
// UTF-8 (a lone surrogate among them) arrive as U+FFFD.
TEST_F(ClientShapeTest, TextsXMLCannotCarryArriveIntactInAWellFormedEnvelope) {
    const std::string kFFFD = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::string typed;
        std::string arrives;
    } cases[] = {
        {"U+FFFE", "\xEF\xBF\xBE", "\xEF\xBF\xBE"},
        {"U+FFFF", "a\xEF\xBF\xBF" "b", "a\xEF\xBF\xBF" "b"},
        {"mixed", "评论\xEF\xBF\xBE\xEF\xBF\xBF\x01<&>\"\\\r\xEF\xBF\xBD\xF0\x9F\xBF\xBF完",
         "评论\xEF\xBF\xBE\xEF\xBF\xBF\x01<&>\"\\\r\xEF\xBF\xBD\xF0\x9F\xBF\xBF完"},
        {"not UTF-8", "caf\xE9 \xED\xA0\x80!", "caf" + kFFFD + " " + kFFFD + kFFFD + kFFFD + "!"},
    };
    Screen screen;
    svc.reply("SubmitComment", R"({"state":"successful"})");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearRecords();
        std::size_t before = screen.delegate->outcomes.size();
        screen.client->subitComment(c.typed, "张三", "88", "501", "7");
        ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() > before; }));
        EXPECT_TRUE(screen.delegate->outcomes.back().success);
        auto received = svc.last("SubmitComment");
        ASSERT_TRUE(received);
        EXPECT_TRUE(SoapXmlParseHelper::parseRequest(received->body));  // well-formed: libxml2 reads it strictly
        EXPECT_EQ(received->body.find("\xEF\xBF\xBE"), std::string::npos);
        EXPECT_EQ(received->body.find("\xEF\xBF\xBF"), std::string::npos);
        EXPECT_EQ(received->argument["parameters"]["content"].str(), c.arrives);
    }
}

TEST_F(ClientShapeTest, BareValuesThatAreNotNumbersGoAsStrings) {
    Screen screen;
    svc.reply("GetEventRecord", R"({"state":"successful"})");
    screen.client->GetEventRecord("77,\"is_handle\":1", "");
    ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() == 1; }));
    auto received = svc.last("GetEventRecord");
    ASSERT_TRUE(received);
    EXPECT_EQ(*received->jsonString, R"({"parameters":{"id":"77,\"is_handle\":1","user_id":""}})");
    EXPECT_EQ(received->argument["parameters"].count(), 2u);  // no key smuggled in
}

}  // namespace
