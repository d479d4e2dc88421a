#include <gtest/gtest.h>

#include <cairo.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "DemoTestSupport.h"
#include "support/ChildProcess.h"
#include "support/Command.h"
#include "support/UnusableTmpdir.h"
#include "demo/DemoPictures.h"
#include "foundation/Log.h"
#include "mervio/reporter/MVOMSA.h"
#include "mervio/reporter/MVOMSAConfig.h"
#include "mervio/reporter/MVOMSADispatcher.h"
#include "net/Http.h"
#include "service/SoapXmlParseHelper.h"

namespace {

namespace fs = std::filesystem;
using namespace demotest;

// The category codes the article lists of the built screens ask for.
const char* const kCategories[] = {"shishixinwen", "velmarshdongtai", "lingdaoyanlun", "ganburenmian",
                                   "lilunxuexi",   "dangnafagui",     "zhongwendangshi", "zhengcedayi",
                                   "qunzhongluxian", "zugongyaowen",  "jicengdongtai",  "xianjindianxing"};

ns::Value articles(const std::string& category, int page = 1, int size = 10) {
    return call([&](VoVaClient& c) { c.news_request(std::to_string(page), std::to_string(size), category); });
}

ns::Value commentsOf(const std::string& article, int page = 1) {
    return call([&](VoVaClient& c) { c.comment_request(std::to_string(page), "10", article); });
}

// PNG bytes decoded: width and height, or 0 x 0.
std::pair<int, int> pngSize(const std::string& png) {
    struct Reader {
        const std::string& bytes;
        std::size_t at = 0;
    } reader{png};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* data, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (r->bytes.size() - r->at < length) return CAIRO_STATUS_READ_ERROR;
            std::copy_n(r->bytes.data() + r->at, length, data);
            r->at += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    std::pair<int, int> size{0, 0};
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS)
        size = {cairo_image_surface_get_width(s), cairo_image_surface_get_height(s)};
    cairo_surface_destroy(s);
    return size;
}

// A state file of the service, parsed.
ns::Value stateFile(const std::unique_ptr<demo::DemoService>& svc, const char* name) {
    std::ifstream in(fs::path(svc->stateFolder()) / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return JSONValue(s.str());
}

// ---- The operations of the application shell ----

TEST(DemoService, ShellOperationsAnswerAsTheShellReadsThem) {
    auto svc = startService();
    auto member = svc->demoMember();
    EXPECT_FALSE(member.userName.empty());
    EXPECT_FALSE(member.password.empty());

    ns::Value version = call([](VoVaClient& c) { c.AutoUpdate(); });
    expectSuccessful(version);
    EXPECT_TRUE(version["ios_version"].isString());

    expectSuccessful(call([](VoVaClient& c) { c.SubmitDevice("device-1"); }));
    expectSuccessful(call([](VoVaClient& c) { c.SubmitDevice("device-1"); }));  // again: still fine, kept once
    ns::Value devices = stateFile(svc, "devices.json")["devices"];
    ASSERT_EQ(devices.count(), 1u);
    EXPECT_EQ(devices.at(0)["device_id"].text(), "device-1");

    ns::Value login = call([&](VoVaClient& c) { c.MemberLogin(member.userName, member.password); });
    expectSuccessful(login);
    expectKeys(login["records"], {"member_id", "uname", "user_name", "password", "real_name", "type", "area_id"});
    EXPECT_EQ(login["records"]["real_name"].text(), member.realName);
    std::string id = login["records"]["member_id"].text();

    ns::Value refused = call([&](VoVaClient& c) { c.MemberLogin(member.userName, member.password + "x"); });
    EXPECT_EQ(refused["state"].text(), "failed");
    EXPECT_FALSE(refused.has("records"));
    expectRefused([](VoVaClient& c) { c.MemberLogin("", ""); });

    // The demo member may use the SMS platform and the grid; nobody else.
    EXPECT_EQ(call([&](VoVaClient& c) { c.GetPower(id, "1", "sms_platform"); })["is_power"].text(), "1");
    EXPECT_EQ(call([&](VoVaClient& c) { c.GetPower(id, "1", "other"); })["is_power"].text(), "0");
    EXPECT_EQ(call([](VoVaClient& c) { c.GetPower("999", "1", "sms_platform"); })["is_power"].text(), "0");
    EXPECT_EQ(call([&](VoVaClient& c) { c.QueryEventPower(id, "1"); })["is_power"].text(), "1");
    EXPECT_EQ(call([](VoVaClient& c) { c.QueryEventPower("1002", "1"); })["is_power"].text(), "0");
}

TEST(DemoService, OrganisationsCategoriesBooksAndLinks) {
    auto svc = startService();
    ns::Value counties = call([](VoVaClient& c) { c.GetOrgList("county"); });
    expectSuccessful(counties);
    ASSERT_TRUE(rows(counties["records"], 2, {"id", "name"}));
    // One level down, and the member's own organisations.
    std::string county = counties["records"].at(0)["id"].text();
    ns::Value below = call([&](VoVaClient& c) { c.GetOrgList_id("org", county); })["records"];
    ASSERT_GE(below.count(), 1u);
    EXPECT_NE(below.at(0)["id"].text(), county);
    EXPECT_GE(call([](VoVaClient& c) { c.GetOrgList_user_id("orgChildOrg", "1001"); })["records"].count(), 1u);
    EXPECT_EQ(call([](VoVaClient& c) { c.GetOrgList_id("org", "no-such"); })["records"].count(), 0u);

    ns::Value record = call([&](VoVaClient& c) { c.GetOrgRecord(county); });
    expectSuccessful(record);
    expectKeys(record["records"], {"name", "mobile", "address", "member_count", "head_portrait", "org_id", "child_org"});

    ns::Value kinds = call([](VoVaClient& c) { c.GetCategoryList("qunzhongxinsheng"); })["records"];
    ASSERT_TRUE(rows(kinds, 1, {"category_title", "channel_id", "category_id"}));

    ns::Value books = call([](VoVaClient& c) { c.OnlineRead("1", "20", "zaixianyuedu"); })["records"];
    ASSERT_TRUE(rows(books, 1, {"title", "img_url", "file_path"}));
    for (const auto& b : books.items()) {
        EXPECT_GT(pngSize(fetch(b["img_url"].text())).first, 0);
        EXPECT_NE(fetch(b["file_path"].text()).find(b["title"].text()), std::string::npos);
    }

    ns::Value groups = call([](VoVaClient& c) { c.getMinBinlink(); })["records"];
    ASSERT_TRUE(rows(groups, 1, {"title", "links"}));
    for (const auto& g : groups.items()) {
        for (const auto& l : g["links"].items()) {
            expectKeys(l, {"title", "site_url"});
            std::string type;
            fetch(l["site_url"].text(), &type);
            EXPECT_NE(type.find("text/html"), std::string::npos);
        }
    }
}

// ---- Articles ----

TEST(DemoService, EveryCategoryListsArticlesNewestFirstThatOpenWithTheirPictures) {
    auto svc = startService();
    std::set<std::string> seen;
    for (const char* category : kCategories) {
        ns::Value reply = articles(category, 1, 100);
        expectSuccessful(reply);
        ns::Value list = reply["records"];
        ASSERT_GE(list.count(), 1u) << category;
        std::string previous = "9999";
        for (const auto& a : list.items()) {
            expectKeys(a, {"id", "title", "add_time", "img_url", "zhaiyao", "support_count"});
            EXPECT_TRUE(a["img_url"].isString() || a["img_url"].isNull());
            EXPECT_LE(a["add_time"].text(), previous) << category;
            previous = a["add_time"].text();
            EXPECT_TRUE(seen.insert(a["id"].text()).second) << "article " << a["id"].text() << " listed twice";

            ns::Value detail = call([&](VoVaClient& c) { c.news_detail_request(a["id"].text()); });
            expectSuccessful(detail);
            ns::Value article = detail["records"];
            expectKeys(article, {"title", "user_name", "add_time", "img_url", "content", "channel_id", "attachs"});
            EXPECT_EQ(article["title"], a["title"]);
            EXPECT_NE(article["content"].text().find("<p>"), std::string::npos);
            EXPECT_EQ(article["content"].text().find("$BASE"), std::string::npos);
            // Every picture of the list and the body is served.
            if (a["img_url"].isString()) {
                EXPECT_GT(pngSize(fetch(a["img_url"].text())).first, 0);
            }
            std::string body = article["content"].text();
            static const std::regex kImage("<img src='([^']+)'");
            for (std::sregex_iterator m(body.begin(), body.end(), kImage), end; m != end; ++m)
                EXPECT_GT(pngSize(fetch((*m)[1])).first, 0) << (*m)[1];
            for (const auto& f : article["attachs"].items()) {
                expectKeys(f, {"file_name", "file_ext", "file_path"});
                fetch(f["file_path"].text());
            }
        }
    }
    EXPECT_EQ(articles("no-such-category")["records"].count(), 0u);
    ns::Value missing = call([](VoVaClient& c) { c.news_detail_request("no-such-article"); });
    EXPECT_EQ(missing["state"].text(), "failed");
    EXPECT_FALSE(missing.has("records"));
}

TEST(DemoService, ArticleListsPageByTen) {
    auto svc = startService();
    ns::Value all = articles("shishixinwen", 1, 100)["records"];
    ASSERT_GT(all.count(), 10u) << "the news list needs a second page";
    ns::Value first = articles("shishixinwen", 1)["records"];
    ns::Value second = articles("shishixinwen", 2)["records"];
    ASSERT_EQ(first.count(), 10u);
    EXPECT_EQ(second.count(), all.count() - 10);
    EXPECT_EQ(first.at(0)["id"], all.at(0)["id"]);
    EXPECT_EQ(second.at(0)["id"], all.at(10)["id"]);
    EXPECT_EQ(articles("shishixinwen", 3)["records"].count(), 0u);
    // Nonsense page numbers read as the first page.
    EXPECT_EQ(articles("shishixinwen", 0)["records"].at(0)["id"], all.at(0)["id"]);
}

// ---- Comments ----

TEST(DemoService, ACommentShowsFirstInTheNextListAndSurvivesARestart) {
    std::string posted = "第一次发言，\"引号\"和<尖括号>也要原样保存";
    {
        auto svc = startService();
        ns::Value before = commentsOf("101")["records"];
        ASSERT_TRUE(rows(before, 1, {"user_name", "add_time", "support_count", "content"}));

        ns::Value sent = call([&](VoVaClient& c) { c.subitComment(posted, "林晓明", "101", "1001", "1"); });
        expectSuccessful(sent);
        ns::Value after = commentsOf("101")["records"];
        ASSERT_EQ(after.count(), std::min<std::size_t>(before.count() + 1, 10));
        EXPECT_EQ(after.at(0)["content"].text(), posted);
        EXPECT_EQ(after.at(0)["user_name"].text(), "林晓明");
        EXPECT_EQ(after.at(1)["content"], before.at(0)["content"]);
        // Only its own article's list shows it.
        ns::Value other = commentsOf("102")["records"];
        for (const auto& c : other.items()) EXPECT_NE(c["content"].text(), posted);
    }
    // A new service on the same state folder (another port).
    auto again = startService();
    ns::Value list = commentsOf("101")["records"];
    ASSERT_GE(list.count(), 1u);
    EXPECT_EQ(list.at(0)["content"].text(), posted);
    // Later comments go on top of it.
    expectSuccessful(call([](VoVaClient& c) { c.subitComment("第二次发言", "林晓明", "101", "1001", "1"); }));
    list = commentsOf("101")["records"];
    EXPECT_EQ(list.at(0)["content"].text(), "第二次发言");
    EXPECT_EQ(list.at(1)["content"].text(), posted);
    EXPECT_NE(list.at(0)["id"], list.at(1)["id"]);
}

TEST(DemoService, CommentsArePagedAndArticlesWithoutCommentsListNone) {
    auto svc = startService();
    for (int i = 1; i <= 12; ++i)
        expectSuccessful(call([&](VoVaClient& c) { c.subitComment("留言" + std::to_string(i), "网友", "108", "", "1"); }));
    EXPECT_EQ(commentsOf("108", 1)["records"].count(), 10u);
    ns::Value second = commentsOf("108", 2)["records"];
    ASSERT_EQ(second.count(), 2u);
    EXPECT_EQ(second.at(1)["content"].text(), "留言1");  // the oldest last
    EXPECT_EQ(commentsOf("113")["records"].count(), 0u);
}

TEST(DemoService, CommentsThatCannotBeKeptAreRefusedAndNotListed) {
    auto svc = startService();
    std::size_t count = commentsOf("101")["records"].count();
    ns::Value empty = call([](VoVaClient& c) { c.subitComment("", "林晓明", "101", "1001", "1"); });
    EXPECT_EQ(empty["state"].text(), "failed");
    EXPECT_FALSE(empty["message"].text().empty());
    expectRefused([](VoVaClient& c) { c.subitComment("内容", "林晓明", "no-such", "1001", "1"); });
    std::string tooLong;
    for (int i = 0; i < 1001; ++i) tooLong += "长";
    expectRefused([&](VoVaClient& c) { c.subitComment(tooLong, "林晓明", "101", "1001", "1"); });
    EXPECT_EQ(commentsOf("101")["records"].count(), count);

    // A state folder that cannot be written: the comment is refused, not lost
    // quietly, and nothing half written is left beside the file.
    fs::path comments = fs::path(svc->stateFolder()) / "comments.json";
    fs::create_directories(comments);  // the file's place is taken
    {
        ns::LogCapture log;
        expectRefused([](VoVaClient& c) { c.subitComment("内容", "林晓明", "101", "1001", "1"); });
        EXPECT_TRUE(log.contains("cannot keep a submission: " + comments.string() + ": " + std::strerror(EISDIR)))
            << log.lines().size();
    }
    EXPECT_EQ(commentsOf("101")["records"].count(), count);
    for (const auto& entry : fs::directory_iterator(svc->stateFolder()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

// ---- Everything else ----

TEST(DemoService, OtherSubmissionsAreKeptAndOtherListsAreEmpty) {
    {
        auto svc = startService();
        expectSuccessful(call([](VoVaClient& c) { c.SubmitMessage("通知", "明天上午开会", "13800000011", "1"); }));
        ns::Value other = call([](VoVaClient& c) { c.GetRepresentativeList("1", "10", "11"); });
        expectSuccessful(other);
        EXPECT_TRUE(other["records"].isArray());
        EXPECT_EQ(other["records"].count(), 0u);
    }
    auto again = startService();
    expectSuccessful(call([](VoVaClient& c) { c.SubmitMessage("通知", "改到下午", "13800000012", "1"); }));
    ns::Value kept = stateFile(again, "submissions.json")["submissions"];
    ASSERT_EQ(kept.count(), 2u);
    EXPECT_EQ(kept.at(0)["operation"].text(), "SubmitMessage");
    EXPECT_EQ(kept.at(0)["argument"]["parameters"]["content"].text(), "明天上午开会");
    EXPECT_EQ(kept.at(1)["argument"]["parameters"]["number_list"].text(), "13800000012");
}

// An operation the client does not have (kl-soap --list names those it
// has), or one in another namespace than the service's, is one the service
// does not have: SOAP 1.2 answers it with a Sender fault and 400 Bad
// Request, the service keeps nothing of it, and kl-soap fails saying so.
// One of the client's operations that has no sample data is still answered
// as an empty success, which the screens rely on.
#ifdef KL_SOAP_PATH
TEST(DemoService, AnOperationItDoesNotHaveIsTheSendersFaultAndNothingOfItIsKept) {
    auto svc = startService();
    const std::string soap = std::string(KL_SOAP_PATH) + " --quiet --service " + svc->url() + " ";
    const std::string other = "--service-namespace http://other.example/ ";
    const std::string message = R"('{"parameters":{"title":"t","content":"c","number_list":"1","send_type":"1"}}')";
    struct Case {
        std::string arguments;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {"NoSuchOperation '{}'", 1, "NoSuchOperation"},
        {"SubmitNoSuchThing " + message, 1, "SubmitNoSuchThing"},
        {"--call news_request 1 10 shishixinwen", 0, "\"records\""},  // its operation is the client's
        {"news_request '{}'", 1, "news_request"},                     // a method's name is no operation
        {other + "GetSign '{}'", 1, "http://other.example/"},
        {other + "SubmitMessage " + message, 1, "http://other.example/"},
        {"GetRetailerList '{}'", 0, "\"records\":[]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        auto r = testsupport::runCommand(soap + c.arguments);
        EXPECT_EQ(r.status, c.status) << r.output;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
        if (c.status != 0) {
            EXPECT_NE(r.output.find("Code=400"), std::string::npos) << r.output;
            EXPECT_NE(r.output.find("soap:Sender"), std::string::npos) << r.output;
        }
    }
    EXPECT_FALSE(fs::exists(fs::path(svc->stateFolder()) / "submissions.json"));

    // On the wire, as any SOAP 1.2 client reads it.
    net::Request request;
    request.method = "POST";
    request.url = svc->url();
    request.headers = {{"Content-Type", "application/soap+xml; charset=utf-8"}};
    request.body = SoapXmlParseHelper::requestEnvelope("NoSuchOperation", "http://tempuri.org/", "{}");
    net::Response reply = net::perform(request);
    EXPECT_EQ(reply.status, 400);
    auto fault = SoapXmlParseHelper::findFault(reply.body);
    ASSERT_TRUE(fault) << reply.body;
    EXPECT_EQ(fault->code, "soap:Sender");
}
#endif

// ---- Members: sign-in, people ----

// 09:41 on the day, in local time.
std::time_t morningOf(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 9;
    tm.tm_min = 41;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// The days of a month's sign-ins ("01" ...), newest first.
std::vector<std::string> signedDays(const std::string& member, const std::string& month) {
    ns::Value reply = call([&](VoVaClient& c) { c.GetSign(member, month); });
    expectSuccessful(reply);
    EXPECT_EQ(reply["sign_count"].integerValue(), static_cast<long long>(reply["records"].count()));
    std::vector<std::string> days;
    for (const auto& s : reply["records"].items()) {
        EXPECT_EQ(s["add_time"].text().substr(0, 8), month + "-") << s.description();
        days.push_back(s["add_time"].text().substr(8, 2));
    }
    return days;
}

// The sample sign-ins fall on the same days of this month and the last
// whatever day the service starts on (the calendar looks the same all
// month), a day that the last month does not have left out. The member signs
// in once a day, which a restart keeps; on a day with a sample, the member
// has signed in already.
TEST(DemoService, SignInsFallOnTheSameDaysAllMonthAndTheMembersOwnAreKept) {
    const std::vector<std::string> thisMonth = {"06", "05", "04", "02", "01"};
    const std::vector<std::string> lastMonth = {"28", "27", "24", "22", "21", "17", "14", "10", "07", "06", "03"};
    for (int day : {1, 3, 15, 31}) {
        SCOPED_TRACE(day);
        auto svc = startService(stateFolder("signs-" + std::to_string(day)), morningOf(2027, 3, day));
        EXPECT_EQ(signedDays("1001", "2027-03"), thisMonth);
        EXPECT_EQ(signedDays("1001", "2027-02"), lastMonth);  // no 29 February 2027
        EXPECT_EQ(signedDays("1001", "2027-01"), std::vector<std::string>{});
        if (day == 1) expectRefused([](VoVaClient& c) { c.SubmitSign("1001"); });
    }

    const std::string state = stateFolder("own");
    {
        auto svc = startService(state, morningOf(2027, 3, 3));
        ns::Value signed_ = call([](VoVaClient& c) { c.SubmitSign("1001"); });
        expectSuccessful(signed_);
        EXPECT_FALSE(signed_["message"].text().empty());
        expectRefused([](VoVaClient& c) { c.SubmitSign("1001"); });  // once a day
        expectRefused([](VoVaClient& c) { c.SubmitSign("no-such"); });
    }
    auto again = startService(state, morningOf(2027, 3, 3));
    EXPECT_EQ(signedDays("1001", "2027-03"), (std::vector<std::string>{"06", "05", "04", "03", "02", "01"}));
    ns::Value reply = call([](VoVaClient& c) { c.GetSign("1001", "2027-03"); });
    EXPECT_EQ(reply["records"].at(3)["add_time"].text(), "2027-03-03 09:41:00");  // at the time it came
    EXPECT_EQ(signedDays("1002", "2027-03"), std::vector<std::string>{});
    EXPECT_EQ(call([](VoVaClient& c) { c.GetSign("1001", "1999-01"); })["records"].count(), 0u);

    ns::Value config = call([](VoVaClient& c) { c.GetUserConfig(); });
    expectSuccessful(config);
    EXPECT_NE(config["records"]["activity_rule"].text().find("<p>"), std::string::npos);
    EXPECT_TRUE(config["records"]["disclaimer"].isString());
}

TEST(DemoService, PeopleOfOrganisationsAndTheAddressBook) {
    auto svc = startService();
    ns::Value people = call([](VoVaClient& c) { c.GetOrgUser("11,12"); })["records"];
    ASSERT_TRUE(rows(people, 2, {"real_name", "user_name"}));
    EXPECT_GT(people.count(), call([](VoVaClient& c) { c.GetOrgUser("11"); })["records"].count());
    EXPECT_EQ(call([](VoVaClient& c) { c.GetOrgUser(""); })["records"].count(), 0u);

    ns::Value book = call([](VoVaClient& c) { c.GetMailList("1", "20", "11", ""); })["records"];
    ASSERT_GE(book.count(), 2u);
    ns::Value found = call([](VoVaClient& c) { c.GetMailList("1", "20", "11", "晓"); })["records"];
    ASSERT_GE(found.count(), 1u);
    for (const auto& p : found.items()) EXPECT_NE(p["real_name"].text().find("晓"), std::string::npos);
}

TEST(DemoService, DamagedStateIsSetAsideAndMissingDataNamed) {
    std::string state = demotest::stateFolder();
    fs::create_directories(state);
    std::ofstream(fs::path(state) / "comments.json") << "{\"comments\": [";
    {
        ns::LogCapture log;
        auto svc = startService(state);
        EXPECT_TRUE(fs::exists(fs::path(state) / "comments.json.damaged"));
        // Said, not done silently.
        EXPECT_TRUE(log.contains("comments.json is damaged; set aside as " + state + "/comments.json.damaged"))
            << log.lines().size();
        expectSuccessful(call([](VoVaClient& c) { c.subitComment("重新开始", "林晓明", "101", "1001", "1"); }));
        EXPECT_EQ(commentsOf("101")["records"].at(0)["content"].text(), "重新开始");
    }
    fs::path data = fs::path(std::getenv("KL_HOME")) / "data";
    fs::copy(KL_DEMO_DATA_DIR, data, fs::copy_options::recursive);
    std::ofstream(data / "articles.json") << "{\"categories\": [";
    try {
        demo::DemoService svc({data.string(), state, 0});
        ADD_FAILURE() << "damaged data accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("articles.json"), std::string::npos) << e.what();
    }
}

// ---- Party representatives ----

TEST(DemoService, RepresentativesWithPhotosProposalsAndMessagesThatAreKept) {
    auto messagesOf = [](const char* rep) {
        return call([&](VoVaClient& c) { c.GetRepresentativeComment(rep, "1001"); });
    };
    std::string mine;
    {
        auto svc = startService();
        ns::Value counties = call([](VoVaClient& c) { c.GetOrgList("countyandcity"); })["records"];
        ASSERT_TRUE(rows(counties, 6, {"id", "name", "img_url"}));
        for (const auto& county : counties.items()) {
            EXPECT_EQ(pngSize(fetch(county["img_url"].text())), std::make_pair(180, 180));
        }
        ns::Value reps =
            call([&](VoVaClient& c) { c.GetRepresentativeList("1", "20", counties.at(0)["id"].text()); })["records"];
        ASSERT_TRUE(rows(reps, 4, {"id", "real_name", "head_portrait"}));
        for (const auto& r : reps.items()) {
            EXPECT_EQ(pngSize(fetch(r["head_portrait"].text())), std::make_pair(180, 210));
        }
        EXPECT_EQ(call([](VoVaClient& c) { c.GetRepresentativeList("2", "20", "10"); })["records"].count(), 0u);

        ns::Value record = call([](VoVaClient& c) { c.GetRepresentativeRecord("1001"); });
        expectSuccessful(record);
        expectKeys(record["records"], {"real_name", "head_portrait", "org_name", "mobile", "comment_count", "proposals"});
        EXPECT_EQ(record["records"]["org_name"].text(), "北岸县");
        ASSERT_GE(record["records"]["proposals"].count(), 1u);
        expectKeys(record["records"]["proposals"].at(0), {"title", "add_time", "content"});

        // The member who logged in last leaves a message and a reply to a
        // sample reply; they count, and are that member's to delete.
        ns::Value before = messagesOf("1001");
        expectSuccessful(call([](VoVaClient& c) { c.MemberLogin("demo", "demo123"); }));
        expectSuccessful(call([](VoVaClient& c) { c.SubmitRepresentativeComment("1001", "", "请关注村道"); }));
        expectSuccessful(call([](VoVaClient& c) { c.SubmitRepresentativeComment("1001", "2", "同意"); }));
        expectRefused([](VoVaClient& c) { c.SubmitRepresentativeComment("1001", "none", "?"); });
        ns::Value after = messagesOf("1001");
        EXPECT_EQ(after["comment_count"].integerValue(), before["comment_count"].integerValue() + 2);
        ns::Value first = after["records"].at(0);
        EXPECT_EQ(first["comment_content"].text(), "请关注村道");
        EXPECT_EQ(first["comment_user_name"].text(), "林晓明");
        EXPECT_EQ(first["is_del_permission"].text(), "1");
        EXPECT_EQ(call([](VoVaClient& c) { c.GetRepresentativeComment("1001", "1002"); })["records"].at(0)
                      ["is_del_permission"].text(),
                  "0");
        ns::Value sampleReply = after["records"].at(1)["childrens"].at(0);
        ASSERT_EQ(sampleReply["id"].text(), "2");
        EXPECT_EQ(sampleReply["childrens"].last()["comment_content"].text(), "同意");
        mine = first["id"].text();
        expectRefused([](VoVaClient& c) { c.SubmitRepCommentDel("1"); });
    }
    // Kept over a restart, then deleted.
    auto again = startService();
    EXPECT_EQ(messagesOf("1001")["records"].at(0)["id"].text(), mine);
    expectSuccessful(call([&](VoVaClient& c) { c.SubmitRepCommentDel(mine); }));
    EXPECT_NE(messagesOf("1001")["records"].at(0)["id"].text(), mine);
}

TEST(DemoService, TakesTheReportersUploadsAndCountsThemInItsLog) {
    auto svc = startService();
    ns::LogCapture log;
    MVOMSAConfig::getInstance()->setStatReportURL(svc->statReportURL());
    MVOMSAStoreEvents batch;
    for (const char* id : {"a", "b"})
        batch.push_back(std::make_shared<MVOMSAStoreEvent>(
            MVOMSAStoreEvent{0, std::string("{\"et\":1000,\"ei\":\"") + id + "\"}", 1, 0, 0}));
    std::atomic<int> delivered{-1};
    MVOMSADispatcher::getInstance()->send(batch, [&](bool ok, const MVOMSAStoreEvents&) { delivered = ok; });
    ASSERT_TRUE(ns::RunLoop::main().runUntil([&] { return delivered.load() >= 0; }, 20));
    EXPECT_EQ(delivered.load(), 1);
    ASSERT_EQ(svc->statistics().eventCount(), 2u);
    EXPECT_EQ(svc->statistics().events()[1]["ei"].str(), "b");
    EXPECT_TRUE(log.contains("statistics report with 2 events (2 in all)"));
    MVOMSA::resetForTesting();  // the upload's thread ends with the test
}

TEST(DemoPictures, DrawsEachSceneAtItsSizeAndRefusesTheRest) {
    for (const char* scene : {"city", "field", "bridge", "hills", "river", "book", "portrait"}) {
        ns::Value d = ns::Value::dictionary(
            {{"name", "x.png"}, {"width", 120}, {"height", 80}, {"scene", scene}, {"caption", "标题"}});
        EXPECT_EQ(pngSize(demo::drawPicture(d)), std::make_pair(120, 80)) << scene;
    }
    EXPECT_TRUE(demo::drawPicture(ns::Value::dictionary({{"width", 10}, {"height", 10}, {"scene", "moon"}})).empty());
    EXPECT_TRUE(demo::drawPicture(ns::Value::dictionary({{"width", 0}, {"height", 10}, {"scene", "city"}})).empty());
    EXPECT_TRUE(
        demo::drawPicture(ns::Value::dictionary({{"width", 5000}, {"height", 10}, {"scene", "city"}})).empty());
}

#ifdef KL_DEMO_SERVICE_PATH
// Asked for help it says how to call it and ends well; a wrong call says what
// was wrong, then the same usage, and ends with status 2.
TEST(DemoService, ItsCommandLineAnswersWrongCallsWithTheUsage) {
    const std::string program = KL_DEMO_SERVICE_PATH;
    const std::string usage = "usage: kl-demo-service [--port N]";
    auto help = testsupport::runCommand(program + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind(usage, 0), 0u) << help.output;
    for (const char* wrong : {"--port abc", "--port 70000", "--port", "--bogus"}) {
        auto r = testsupport::runCommand(program + " " + wrong);
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_NE(r.output.find(usage), std::string::npos) << wrong << ": " << r.output;
    }
}

// However it ends (Ctrl+C, SIGTERM, a closed terminal, output nobody reads
// from the start as in `kl-demo-service | true`), the temporary folder it
// keeps submissions in goes with it. A port it cannot listen on is named,
// with the reason.
TEST(DemoService, HoweverTheProgramEndsItsTemporaryStateGoes) {
    const fs::path home = std::getenv("KL_HOME");
    auto temporaryFolder = [&](const std::string& name) {
        fs::path folder = home / ("tmp-" + name);
        fs::create_directories(folder);
        return folder;
    };
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        const fs::path temporary = temporaryFolder(std::to_string(sig));
        testsupport::ChildProcess service(KL_DEMO_SERVICE_PATH, {}, {{"TMPDIR", temporary.string()}});
        ASSERT_TRUE(service.waitForOutput("Stop with Ctrl+C.")) << service.output;
        EXPECT_NE(service.output.find(temporary.string() + "/kl-demo-"), std::string::npos) << service.output;
        service.signal(sig);
        ASSERT_TRUE(service.waitForExit(60)) << service.output;
        EXPECT_EQ(service.status, 0) << service.output;
        EXPECT_TRUE(fs::is_empty(temporary)) << service.output;
    }

    const fs::path unread = temporaryFolder("unread");
    testsupport::ChildProcess service(KL_DEMO_SERVICE_PATH, {}, {{"TMPDIR", unread.string()}},
                                      testsupport::ChildProcess::Output::Unread);
    ASSERT_TRUE(service.waitForExit(60));
    EXPECT_EQ(service.status, 1);
    EXPECT_TRUE(fs::is_empty(unread));

    SoapServer taken;  // the port is in use
    const fs::path refused = temporaryFolder("refused");
    const std::string port = std::to_string(taken.port());
    auto r = testsupport::runCommand("TMPDIR=" + refused.string() + " " + KL_DEMO_SERVICE_PATH + " --port " + port);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("kl-demo-service: soap server: cannot listen on port " + port + ": " +
                            std::strerror(EADDRINUSE)),
              std::string::npos)
        << r.output;
    EXPECT_TRUE(fs::is_empty(refused));
}

// A TMPDIR that names no usable folder (none there, a file, empty): the
// service cannot make its temporary state folder and ends with 1, saying so
// in one line that names TMPDIR and why; so does a tour, which cannot make
// its temporary home. Neither writes anything.
TEST(DemoService, ItAndATourEndSayingWhyWhenTMPDIRNamesNoUsableFolder) {
    const fs::path home = std::getenv("KL_HOME");
    struct Program {
        std::string path;
        std::vector<std::string> arguments;
        std::string says;  // the start of its message
    };
    std::vector<Program> programs = {
        {KL_DEMO_SERVICE_PATH, {}, "kl-demo-service: cannot make a temporary state folder: "}};
#ifdef KL_PROGRAM_PATH
    programs.push_back({KL_PROGRAM_PATH,
                        {"--service", SoapServer::refusedURL(), "--tour", (home / "tour-never-made").string()},
                        "kestrowline: cannot make a temporary home for the tour: "});
#endif
    for (const auto& tmpdir : testsupport::unusableTmpdirs(home / "tmpdirs")) {
        for (const Program& program : programs) {
            SCOPED_TRACE(program.path + " with TMPDIR=" + tmpdir.value);
            testsupport::ChildProcess run(program.path, program.arguments, {{"TMPDIR", tmpdir.value}});
            ASSERT_TRUE(run.waitForExit(60)) << run.output;
            EXPECT_EQ(run.status, 1) << run.output;
            EXPECT_EQ(run.output.rfind(program.says + "TMPDIR", 0), 0u) << run.output;
            const std::string line = run.output.substr(0, run.output.find('\n'));
            EXPECT_NE(line.find(tmpdir.reason), std::string::npos) << run.output;
        }
    }
    EXPECT_FALSE(fs::exists(home / "tour-never-made"));
}

// What it cannot write ends it with 1, saying which file or folder and why:
// the state folder it is given, and the info file on a disk that takes no
// more or with a folder in its place. No info file is left, and nothing
// half written beside it.
TEST(DemoService, WhatItCannotWriteEndsItSayingWhyAndLeavesNothingHalfWritten) {
    const fs::path home = std::getenv("KL_HOME");
    const fs::path folder = home / "written";
    const fs::path info = folder / "demo.info";
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        long diskBytes;              // the largest file it may write; -1: any
        std::string says;            // in its message
        std::set<std::string> left;  // in the folder afterwards
    };
    const Case cases[] = {
        {"a state folder inside a file",
         {"--state", (info / "state").string(), "--info-file", (folder / "other.info").string()},
         -1,
         "kl-demo-service: cannot make the state folder " + (info / "state").string() + ": " + std::strerror(ENOTDIR),
         {"demo.info"}},
        {"a full disk",
         {"--state", (folder / "state").string(), "--info-file", info.string()},
         0,
         "kl-demo-service: cannot write its info file " + info.string() + ": " + std::strerror(EFBIG),
         {"state"}},
        {"a folder where the info file goes",
         {"--state", (folder / "state").string(), "--info-file", (folder / "state").string()},
         -1,
         "kl-demo-service: cannot write its info file " + (folder / "state").string() + ": " + std::strerror(EISDIR),
         {"state"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        fs::create_directories(folder);
        if (c.left.count("demo.info")) std::ofstream(info) << "in the state folder's way";
        std::string command = std::string("exec ") + KL_DEMO_SERVICE_PATH;
        for (const auto& argument : c.arguments) command += " '" + argument + "'";
        auto r = testsupport::runCommand(c.diskBytes < 0 ? command : testsupport::onADiskOf(c.diskBytes, command));
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(c.says + "\n"), std::string::npos) << r.output;
        std::set<std::string> left;
        for (const auto& entry : fs::directory_iterator(folder)) left.insert(entry.path().filename().string());
        EXPECT_EQ(left, c.left);
    }
    fs::remove_all(folder);
}

// The program reads its data before it takes a connection: a client asking
// from before it starts until it writes its info file is refused, then
// answered from the data, never with a fault for an operation it has not
// set up yet.
TEST(DemoService, TheProgramTakesNoRequestBeforeItIsReady) {
    const fs::path home = std::getenv("KL_HOME");
    const fs::path info = home / "service.info";
    fs::remove(info);
    fs::remove_all(stateFolder());
    const std::string url = SoapServer::refusedURL();  // on a port nobody listens on yet
    const std::size_t colon = url.rfind(':');
    const std::string port = url.substr(colon + 1, url.find('/', colon) - colon - 1);
    testsupport::ChildProcess service(KL_DEMO_SERVICE_PATH,
                                      {"--port", port, "--state", stateFolder(), "--info-file", info.string()});
    ASSERT_TRUE(service.started());
    net::Request request;
    request.method = "POST";
    request.url = url;
    request.headers = {{"Content-Type", "application/soap+xml; charset=utf-8"}};
    request.body = SoapXmlParseHelper::requestEnvelope("AutoUpdate", "http://tempuri.org/", "{}");
    request.timeout = 30;
    int refused = 0, faults = 0;
    std::string firstFault;
    // Whether it answered, and with the version record.
    auto ask = [&] {
        net::Response reply = net::perform(request);
        if (reply.error == net::ErrorKind::ConnectionFailure && reply.status == 0) {
            ++refused;
            return false;
        }
        if ((reply.status != 200 || reply.body.find("AutoUpdateResult") == std::string::npos) && faults++ == 0)
            firstFault = std::to_string(reply.status) + " " + reply.body;
        return true;
    };
    // A bound, should it never get ready.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!fs::exists(info) && std::chrono::steady_clock::now() < limit) ask();
    ASSERT_TRUE(fs::exists(info)) << service.output;
    EXPECT_TRUE(ask()) << "refused once ready";
    EXPECT_EQ(faults, 0) << "the first: " << firstFault << "\n(" << refused << " refused before)";
    service.signal(SIGTERM);
    EXPECT_TRUE(service.waitForExit(60)) << service.output;
    EXPECT_EQ(service.status, 0) << service.output;
}
#endif

}  // namespace
