// The kl-soap tool against the loopback service, as a developer runs it.
#include <gtest/gtest.h>

#include <string>

#include "support/Command.h"
#include "support/LoopbackService.h"

namespace {

using ToolRun = testsupport::CommandResult;

ToolRun run(const std::string& arguments) {
    return testsupport::runCommand(std::string(KL_SOAP_PATH) + " --quiet " + arguments);
}

TEST(KlSoapTool, SendsAnOperationByNameAndPrintsTheResult) {
    LoopbackService svc;
    svc.reply("GetSign", R"({"state":"successful","sign_count":3})");
    ToolRun r = run("--service " + svc.url() + R"( GetSign '{"parameters":{"user_id":"501","year_month":"2015-03"}}')");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "{\"state\":\"successful\",\"sign_count\":3}\n");
    EXPECT_EQ(svc.received("GetSign")["parameters"]["year_month"].str(), "2015-03");
    EXPECT_EQ(svc.last("GetSign")->soapAction, "http://tempuri.org/GetSign");
}

TEST(KlSoapTool, CallsAClientMethodAndPrettyPrints) {
    LoopbackService svc;
    svc.reply("GetArticleList", R"({"records":[]})");
    ToolRun r = run("--service " + svc.url() + " --pretty --call news_request 2 10 szyw");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "{\n  \"records\": []\n}\n");
    EXPECT_EQ(svc.last("GetArticleList")->jsonString,
              R"({"page_index":2,"page_size":10,"parameters":{"category_code":"szyw"},"orders":{"add_time":"desc"}})");
}

TEST(KlSoapTool, ReportsFailuresAndUsageErrors) {
    LoopbackService svc;
    svc.reply("GetSign", LoopbackService::status(500));
    ToolRun failed = run("--service " + svc.url() + " GetSign '{}'");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.output.find("NetWebServiceRequestErrorDomain Code=500"), std::string::npos) << failed.output;

    ToolRun refused = run("--service " + LoopbackService::refusedURL() + " GetSign '{}'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("未连接网络"), std::string::npos) << refused.output;

    EXPECT_EQ(run("GetSign '{bad json'").status, 2);
    EXPECT_EQ(run("--call news_request 1").status, 2);
    EXPECT_EQ(svc.count(), 1u);
}

TEST(KlSoapTool, HelpGoesToStandardOutputAndUsageErrorsNameTheTool) {
    ToolRun help = testsupport::runCommand("(" + std::string(KL_SOAP_PATH) + " --help 2>/dev/null)");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: kl-soap", 0), 0u) << help.output;
    for (const char* arguments : {"--service", "--timeout", "", "--call no_such_method", "--service notaurl GetSign",
                                  "--service=ftp://h/x GetSign", "--timeout abc GetSign", "--timeout 0 GetSign",
                                  "--timeout -5 GetSign", "--timeout 0x10 GetSign", "--timeout inf GetSign",
                                  "--timeout nan GetSign", "--timeout 1e-400 GetSign", "--timeout ' 5' GetSign",
                                  "--bogus GetSign", "GetSign '{}' --prety"}) {
        ToolRun r = testsupport::runCommand(std::string(KL_SOAP_PATH) + " " + arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_EQ(r.output.rfind("kl-soap: ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find("usage: kl-soap"), std::string::npos) << r.output;
    }
}

// A time-out longer than the clock reaches waits as long as it can, one
// beyond what a number holds too: the request is answered as with any other.
TEST(KlSoapTool, ATimeOutBeyondTheClockStillWaitsForTheAnswer) {
    LoopbackService svc;
    svc.reply("GetSign", R"({"state":"successful","sign_count":3})");
    for (const char* timeout : {"1e10", "1e16", "1e300", "1e400"}) {
        ToolRun r = run("--service " + svc.url() + " --timeout " + timeout + " GetSign '{}'");
        EXPECT_EQ(r.status, 0) << timeout << ": " << r.output;
        EXPECT_EQ(r.output, "{\"state\":\"successful\",\"sign_count\":3}\n") << timeout;
    }
    EXPECT_EQ(svc.count(), 4u);
}

TEST(KlSoapTool, PrintsTheCodeAndReasonOfAFaultWhateverItsStatus) {
    LoopbackService svc;
    for (int status : {200, 500}) {
        svc.reply("GetSign", LoopbackService::fault("soap:Sender", "用户 <501> 不存在", status));
        ToolRun r = run("--service " + svc.url() + " GetSign '{}'");
        EXPECT_EQ(r.status, 1) << status;
        EXPECT_NE(r.output.find("用户 <501> 不存在"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("soap:Sender"), std::string::npos) << r.output;
    }
}

}  // namespace
