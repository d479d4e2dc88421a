// The kl-soap tool against the loopback service, as a developer runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/LoopbackService.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun run(const std::string& arguments) {
    ToolRun r;
    std::string command = std::string(KL_SOAP_PATH) + " --quiet " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
    int rc = pclose(pipe);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

TEST(KlSoapTool, SendsAnOperationByNameAndPrintsTheResult) {
    LoopbackService svc;
    svc.reply("GetSign", R"({"state":"successful","sign_count":3})");
    ToolRun r = run("--service " + svc.url() + R"( GetSign '{"parameters":{"user_id":"501","year_month":"2015-03"}}')");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "{\"state\":\"successful\",\"sign_count\":3}\n");
    EXPECT_EQ(svc.received("GetSign")["parameters"]["year_month"].str(), "2015-03");
    EXPECT_EQ(svc.last("GetSign")->soapAction, "http://tempuri.org/GetSign");
}

TEST(KlSoapTool, CallsAClientMethodAndPrettyPrints) {
    LoopbackService svc;
    svc.reply("GetArticleList", R"({"records":[]})");
    ToolRun r = run("--service " + svc.url() + " --pretty --call news_request 2 10 szyw");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "{\n  \"records\": []\n}\n");
    EXPECT_EQ(svc.last("GetArticleList")->jsonString,
              R"({"page_index":2,"page_size":10,"parameters":{"category_code":"szyw"},"orders":{"add_time":"desc"}})");
}

TEST(KlSoapTool, ReportsFailuresAndUsageErrors) {
    LoopbackService svc;
    svc.reply("GetSign", LoopbackService::status(500));
    ToolRun failed = run("--service " + svc.url() + " GetSign '{}'");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.out.find("NetWebServiceRequestErrorDomain Code=500"), std::string::npos) << failed.out;

    ToolRun refused = run("--service " + LoopbackService::refusedURL() + " GetSign '{}'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("未连接网络"), std::string::npos) << refused.out;

    EXPECT_EQ(run("GetSign '{bad json'").status, 2);
    EXPECT_EQ(run("--call news_request 1").status, 2);
    EXPECT_EQ(svc.count(), 1u);
}

}  // namespace
