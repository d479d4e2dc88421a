// The server's configuration: what each SDK key does, replacement by
// version, keeping it across starts, the speed test it orders and the
// error events for content that is not an object.
#include <gtest/gtest.h>

#include "mervio/reporter/MVOMSADataConfigHolder.h"
#include "support/StatReporterTest.h"

namespace {

class HolderTest : public testsupport::StatReporterTest {
protected:
    // A reply of the server carrying the configuration of one type.
    static ns::Value reply(const char* type, const std::string& content, int version) {
        ns::Value cfg = ns::Value::dictionary(
            {{"c", JSONValue(content)}, {"v", ns::Value(version)}, {"m", ns::Value("d41d8cd9")}});
        return ns::Value::dictionary({{"ret", ns::Value(0)}, {"cfg", ns::Value::dictionary({{type, cfg}})}});
    }
    static ns::Value cfgOf(const std::shared_ptr<MVOMSADataConfigHolder>& holder) {
        ns::Value d = ns::Value::dictionary();
        holder->encode(d);
        return d["cfg"];
    }
};

TEST_F(HolderTest, TheSDKKeysChangeTheStrategyHibernateAndKill) {
    struct Case {
        std::string content;
        std::int32_t strategy;
        bool statEnable, tracking;
    } cases[] = {
        {R"({"rs":1})", 1, true, true},
        {R"({"rs":0})", 3, true, true},
        {R"({"rs":-1})", 3, true, true},
        {R"({"rs":"1"})", 3, true, true},
        {R"({"rs":2.9})", 2, true, true},
        {R"({"rs":0.5})", 3, true, true},
        {R"({"rs":2147483647})", 2147483647, true, true},
        // Past what the strategy holds, or not finite: ignored, never cut to another strategy.
        {R"({"rs":2147483648})", 3, true, true},
        {R"({"rs":4294967296})", 3, true, true},
        {R"({"rs":4294967297})", 3, true, true},
        {R"({"rs":-4294967295})", 3, true, true},
        {R"({"rs":18446744073709551615})", 3, true, true},
        {R"({"rs":1e300})", 3, true, true},
        {R"({"rs":-1e300})", 3, true, true},
        {R"({"rs":1e400})", 3, true, true},
        {R"({"__HIBERNATE__":"1.4.6"})", 3, false, true},
        {R"({"__HIBERNATE__":"1.10"})", 3, false, true},
        {R"({"__HIBERNATE__":"1.4.5"})", 3, true, true},
        {R"({"__HIBERNATE__":2})", 3, true, true},
        {R"({"__MSA_KILL__":{"av":"APP"}})", 3, true, false},
        {R"({"__MSA_KILL__":{"sv":"1.4.6"}})", 3, true, false},
        {R"({"__MSA_KILL__":{"av":"0.0.1","md":"no such model"}})", 3, true, true},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.content);
        relaunch();
        auto helper = MVOMSAHelper::getInstance();
        helper->setMSAEnableFlag(true);
        if (auto at = c.content.find("APP"); at != std::string::npos)
            c.content.replace(at, 3, helper->getEnv().app_version);
        MVOMSADataConfigHolder::initSingleton({})->setConfig(MVOMSADataConfig{1, c.content, "", 1});
        auto config = MVOMSAConfig::getInstance();
        EXPECT_EQ(config->reportStrategy(), c.strategy);
        EXPECT_EQ(config->statEnable(), c.statEnable);
        EXPECT_EQ(helper->checkMSAEnable(), c.tracking);
    }
}

TEST_F(HolderTest, ANewerVersionReplacesAndIsKeptForTheNextStartAnOlderOneOrAReplyWithMidIsIgnored) {
    auto holder = MVOMSADataConfigHolder::initSingleton({});
    EXPECT_EQ(JSONRepresentation(cfgOf(holder)), R"({"1":{},"2":{}})");
    auto config = MVOMSAConfig::getInstance();
    struct Step {
        ns::Value reply;
        std::int32_t strategy;
    } steps[] = {
        {reply("1", R"({"rs":2})", 2), 2},
        {reply("1", R"({"rs":4})", 3), 4},
        {reply("1", R"({"rs":5})", 3), 4},
        {reply("1", R"({"rs":6})", 1), 4},
        {[] { ns::Value r = reply("1", R"({"rs":6})", 9); r.set("mid", ns::Value("1")); return r; }(), 4},
        {ns::Value::dictionary({{"cfg", ns::Value::dictionary({{"1", ns::Value::dictionary({{"c", ns::Value::dictionary()},
                                                                                              {"v", ns::Value("9")},
                                                                                              {"m", ns::Value("")}})}})}}),
         4},
    };
    for (const Step& step : steps) {
        holder->updateOnlineConfig(step.reply);
        EXPECT_EQ(config->reportStrategy(), step.strategy) << step.reply.description();
    }
    holder->updateOnlineConfig(reply("2", R"({"greeting":"你好"})", 1));
    EXPECT_EQ(holder->getAppProperty("greeting").str(), "你好");
    EXPECT_EQ(config->getCustomProperty("missing", ns::Value("fallback")).str(), "fallback");
    EXPECT_EQ(JSONRepresentation(cfgOf(holder)), R"({"1":{"v":3},"2":{"v":1}})");

    settle();
    relaunch();
    holder = MVOMSADataConfigHolder::initSingleton({});
    EXPECT_EQ(MVOMSAConfig::getInstance()->reportStrategy(), 4);
    EXPECT_EQ(MVOMSAConfig::getInstance()->getCustomProperty("greeting", {}).str(), "你好");
    EXPECT_EQ(JSONRepresentation(cfgOf(holder)), R"({"1":{"v":3},"2":{"v":1}})");
}

TEST_F(HolderTest, StoredContentThatIsNotAnObjectIsReportedAsErrorsOnceTheReporterRuns) {
    auto store = MVOMSAStore::getInstance();
    store->storeConfig(MVOMSADataConfig{1, "[1]", "", 1});
    store->storeConfig(MVOMSADataConfig{2, "{", "", 1});
    settle();
    relaunch();
    pointAtServer();
    start(3);
    MVOMSA::trackCustomEvent("after", {});
    auto rows = storedEvents();
    EXPECT_EQ(names(rows), (std::vector<std::string>{"et2", "et3", "et3", "after"}));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].event["er"].str(), "Not NSDictionary for decoded response config object:NSArray");
    EXPECT_EQ(rows[2].event["er"].str().rfind("Decode response config JSON error :", 0), 0u);
}

TEST_F(HolderTest, ASpeedTestOrderedByTheServerWaitsInTheStoreAsAnEvent) {
    ui::Device::currentDevice().setCarrier(ui::CarrierCodes{"460", "01"});
    relaunch();
    auto holder = MVOMSADataConfigHolder::initSingleton({});
    holder->setConfig(MVOMSADataConfig{1, R"({"__MSA_TEST_SPEED__":""})", "", 1});
    std::string refused = LoopbackService::refusedURL();  // http://127.0.0.1:<port>/...
    std::string servers = "127.0.0.1," + std::to_string(server.port()) + ";127.0.0.1," +
                          refused.substr(17, refused.find('/', 17) - 17);
    holder->setConfig(MVOMSADataConfig{1, R"({"__MSA_TEST_SPEED__":")" + servers + R"("})", "", 2});
    auto rows = storedEvents();
    ASSERT_EQ(names(rows), (std::vector<std::string>{"et1004"}));
    EXPECT_EQ(rows[0].status, 1u);
    ns::Value results = JSONValue(rows[0].event["sp"].str());
    ASSERT_EQ(results.count(), 2u);
    EXPECT_EQ(results.at(0)["st"].intValue(), 0);
    EXPECT_EQ(results.at(1)["st"].intValue(), -1);
    EXPECT_EQ(rows[0].event["cn"].str(), "CellNetwork");
    EXPECT_EQ(rows[0].event["op"].str(), "46001");
}

TEST_F(HolderTest, TheUploadGoesWhereTheProgramsOptionOrEnvironmentSaysElseToTheBuiltInEndpoint) {
    struct Case {
        std::vector<std::string> arguments;
        const char* environment;
        std::string url;
    } cases[] = {
        {{}, nullptr, MVOMSAConfig::kBuiltInReportURL},
        {{"--stat-report", "http://127.0.0.1:9/"}, nullptr, "http://127.0.0.1:9/stat/report"},
        {{"--stat-report=http://h:1/x/y"}, "http://e:2", "http://h:1/x/y"},
        {{}, "http://e:2", "http://e:2/stat/report"},
    };
    for (const Case& c : cases) {
        relaunch();
        if (c.environment)
            setenv("KL_STAT_REPORT_URL", c.environment, 1);
        else
            unsetenv("KL_STAT_REPORT_URL");
        std::vector<std::string> all = {"kestrowline", "--service", "http://s/"};
        all.insert(all.begin() + 1, c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(all.size());
        ASSERT_TRUE(MVOMSAConfig::applyCommandLine(argc, argv.data()));
        EXPECT_EQ(MVOMSAConfig::getInstance()->reportURL(), c.url);
        ASSERT_EQ(argc, 3);
        EXPECT_STREQ(argv[1], "--service");
    }
    unsetenv("KL_STAT_REPORT_URL");
}

}  // namespace
