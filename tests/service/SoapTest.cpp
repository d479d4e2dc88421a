// SOAP envelopes, the request argument and the endpoint configuration.
#include <gtest/gtest.h>

#include <cstdlib>

#include "service/JSON.h"
#include "service/ServiceArgument.h"
#include "service/ServiceConfig.h"
#include "service/SoapXmlParseHelper.h"

namespace {

TEST(SoapEnvelope, CarriesAnyTextIntactThroughXMLAndJSON) {
    const std::string nasty = "He said \"hi\" \\ <b>&amp;</b> ]]> 'x'\r\nline2\t\x01 中文 \xF0\x9F\x98\x80";
    std::string argument = formatParameters({quoted("content", nasty)});
    std::string envelope = SoapXmlParseHelper::requestEnvelope("SubmitComment", "http://tempuri.org/", argument);
    auto request = SoapXmlParseHelper::parseRequest(envelope);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->operation, "SubmitComment");
    EXPECT_EQ(request->serviceNamespace, "http://tempuri.org/");
    ASSERT_TRUE(request->jsonString);
    EXPECT_EQ(*request->jsonString, argument);
    EXPECT_EQ(JSONValue(*request->jsonString)["parameters"]["content"].str(), nasty);
}

TEST(SoapEnvelope, OperationsWithoutArgumentHaveNoJsonStringElement) {
    std::string envelope = SoapXmlParseHelper::requestEnvelope("GetLinkList", "urn:x", std::nullopt);
    auto request = SoapXmlParseHelper::parseRequest(envelope);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->operation, "GetLinkList");
    EXPECT_FALSE(request->jsonString);
    EXPECT_EQ(envelope.find("jsonString"), std::string::npos);
}

TEST(SoapResult, ReadsTheResultElementUnderAnyPrefix) {
    const std::string result = R"({"state":"successful","message":"<ok> & \"fine\""})";
    EXPECT_EQ(SoapXmlParseHelper::resultText(
                  SoapXmlParseHelper::responseEnvelope("GetArticleList", "http://tempuri.org/", result),
                  "GetArticleList"),
              result);
    const char* prefixed =
        R"(<?xml version="1.0"?><s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>)"
        R"(<m:GetSignResponse xmlns:m="urn:a"><m:GetSignResult>{"sign_count":2}</m:GetSignResult>)"
        R"(</m:GetSignResponse></s:Body></s:Envelope>)";
    EXPECT_EQ(SoapXmlParseHelper::resultText(prefixed, "GetSign"), R"({"sign_count":2})");
    const char* cdata =
        R"(<Envelope><Body><GetSignResponse><GetSignResult><![CDATA[{"a":"<b>"}]]></GetSignResult>)"
        R"(</GetSignResponse></Body></Envelope>)";
    EXPECT_EQ(SoapXmlParseHelper::resultText(cdata, "GetSign"), R"({"a":"<b>"})");
}

TEST(SoapResult, GivesEmptyTextWhenTheEnvelopeCannotBeRead) {
    const std::string good = SoapXmlParseHelper::responseEnvelope("GetSign", "urn:a", "{}");
    struct {
        const char* name;
        std::string xml;
    } cases[] = {
        {"empty", ""},
        {"not XML", "{\"state\":\"successful\"}"},
        {"cut short", good.substr(0, good.size() - 20)},
        {"another operation's result", SoapXmlParseHelper::responseEnvelope("GetOrgList", "urn:a", "{}")},
        {"result for a longer name only", SoapXmlParseHelper::responseEnvelope("GetSignX", "urn:a", "{}")},
        {"document type declaration",
         R"(<?xml version="1.0"?><!DOCTYPE x [<!ENTITY a "aaaaaaaa"><!ENTITY b "&a;&a;&a;&a;">]>)"
         R"(<Envelope><Body><GetSignResult>&b;</GetSignResult></Body></Envelope>)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SoapXmlParseHelper::resultText(c.xml, "GetSign"), "") << c.name;
        EXPECT_FALSE(SoapXmlParseHelper::findResultText(c.xml, "GetSign")) << c.name;
    }
    EXPECT_EQ(SoapXmlParseHelper::findResultText(SoapXmlParseHelper::responseEnvelope("GetSign", "urn:a", ""),
                                                 "GetSign"),
              std::optional<std::string>(""));
}

TEST(ServiceArgumentText, QuotedBarePagedAndOrders) {
    EXPECT_EQ(formatParameters({quoted("id", "7")}), R"({"parameters":{"id":"7"}})");
    EXPECT_EQ(formatParameters({bare("user_id", "12"), bare("type", "-1.5"), bare("tag", 1)}),
              R"({"parameters":{"user_id":12,"type":-1.5,"tag":1}})");
    EXPECT_EQ(formatPagedParameters("2", "10", {quoted("category_code", "x")}, true),
              R"({"page_index":2,"page_size":10,"parameters":{"category_code":"x"},"orders":{"add_time":"desc"}})");
    EXPECT_EQ(formatPagedParameters("1", "20", {}, false), R"({"page_index":1,"page_size":20,"parameters":{}})");
}

TEST(ServiceArgumentText, BareValuesThatAreNotNumbersStillMakeValidJSON) {
    struct {
        std::string text;
        ns::Value expected;
    } cases[] = {
        {"", ns::Value("")},                          // a missing value is never "(null)" or nothing
        {"12 OR 1=1", ns::Value("12 OR 1=1")},
        {"1,\"type\":9", ns::Value("1,\"type\":9")},  // cannot add keys
        {"007", ns::Value("007")},
        {"true", ns::Value("true")},
        {"42", ns::Value(42)},
    };
    for (const auto& c : cases) {
        std::string text = formatPagedParameters(c.text, c.text, {bare("user_id", c.text)}, false);
        ns::Value v = JSONValue(text);
        ASSERT_TRUE(v.isDictionary()) << text;
        EXPECT_EQ(v.keys(), (std::vector<std::string>{"page_index", "page_size", "parameters"})) << text;
        EXPECT_EQ(v["parameters"].keys(), (std::vector<std::string>{"user_id"})) << text;
        EXPECT_EQ(v["parameters"]["user_id"], c.expected) << text;
        EXPECT_EQ(v["page_index"], c.expected) << text;
    }
}

class ServiceConfigTest : public testing::Test {
protected:
    void SetUp() override {
        unsetenv("KL_SERVICE_URL");
        unsetenv("KL_SERVICE_NAMESPACE");
        ServiceConfig::reset();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ServiceConfigTest, DefaultsEnvironmentAndSettersInThatOrder) {
    EXPECT_EQ(ServiceConfig::endpoint(), "http://127.0.0.1:8735/AppDataSource/interface.asmx");
    EXPECT_EQ(ServiceConfig::serviceNamespace(), "http://tempuri.org/");
    EXPECT_EQ(ServiceConfig::timeOutSeconds(), 60);
    setenv("KL_SERVICE_URL", "http://10.1.2.3:8080", 1);
    setenv("KL_SERVICE_NAMESPACE", "urn:kestrowline", 1);
    EXPECT_EQ(ServiceConfig::endpoint(), "http://10.1.2.3:8080/AppDataSource/interface.asmx");
    EXPECT_EQ(ServiceConfig::serviceNamespace(), "urn:kestrowline");
    ServiceConfig::setEndpoint("https://example.test/svc.asmx");
    EXPECT_EQ(ServiceConfig::endpoint(), "https://example.test/svc.asmx");
    ServiceConfig::setEndpoint("");
    EXPECT_EQ(ServiceConfig::endpoint(), "http://10.1.2.3:8080/AppDataSource/interface.asmx");
    ServiceConfig::setTimeOutSeconds(0.5);
    EXPECT_EQ(ServiceConfig::timeOutSeconds(), 0.5);
}

TEST_F(ServiceConfigTest, CommandLineOptionsAreTakenOut) {
    std::string a0 = "prog", a1 = "--service", a2 = "http://h:1/", a3 = "keep", a4 = "--service-namespace=urn:n";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
    int argc = 5;
    ASSERT_TRUE(ServiceConfig::applyCommandLine(argc, argv));
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[1], "keep");
    EXPECT_EQ(argv[2], nullptr);
    EXPECT_EQ(ServiceConfig::endpoint(), "http://h:1/AppDataSource/interface.asmx");
    EXPECT_EQ(ServiceConfig::serviceNamespace(), "urn:n");

    std::string b1 = "--service";
    char* bad[] = {a0.data(), b1.data(), nullptr};
    int badc = 2;
    std::string error;
    EXPECT_FALSE(ServiceConfig::applyCommandLine(badc, bad, &error));
    EXPECT_NE(error.find("--service"), std::string::npos);
}

}  // namespace
