// What the demo tests share: a demo service over the source tree's data with
// a state folder in the test's home, and operations sent through the real
// service client.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "demo/DemoService.h"
#include "foundation/RunLoop.h"
#include "net/Http.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "service/VoVaClient.h"

namespace demotest {

// A state folder in the running test's home, named after the test unless
// `name` is given.
inline std::string stateFolder(const std::string& name = "") {
    std::string folder = name;
    if (folder.empty()) {
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        folder = "demo-state";
        if (test) folder += std::string("-") + test->test_suite_name() + "." + test->name();
    }
    return (std::filesystem::path(std::getenv("KL_HOME")) / folder).string();
}

// With `clock`, the service's date and time are held there.
inline std::unique_ptr<demo::DemoService> startService(const std::string& state = stateFolder(),
                                                       std::time_t clock = 0) {
    auto svc = std::make_unique<demo::DemoService>(demo::DemoService::Options{KL_DEMO_DATA_DIR, state, 0, clock});
    ServiceConfig::setEndpoint(svc->url());
    return svc;
}

struct Capture : PPClientDelegate {
    std::optional<std::string> result;
    ns::ErrorPtr error;
    void GetWebServerContent_success(const std::string& r) override { result = r; }
    void GetWebServerContent_Fail(const ns::ErrorPtr& e) override { error = e ? e : ns::makeError("test", 0); }
};

// Sends through a client of its own and answers the reply parsed (nil, after
// a test failure, when it did not come or is not a JSON object).
inline ns::Value call(const std::function<void(VoVaClient&)>& send) {
    auto capture = std::make_shared<Capture>();
    auto client = VoVaClient::create(capture);
    send(*client);
    bool answered = ns::RunLoop::main().runUntil([&] { return capture->result || capture->error; }, 20);
    EXPECT_TRUE(answered);
    EXPECT_FALSE(capture->error) << (capture->error ? capture->error->description() : "");
    if (!capture->result) return {};
    ns::Value reply = JSONParser().parse(*capture->result, false);
    EXPECT_TRUE(reply.isDictionary()) << *capture->result;
    return reply;
}

inline void expectSuccessful(const ns::Value& reply) {
    EXPECT_EQ(reply["state"].text(), "successful") << reply.description();
    EXPECT_TRUE(reply["message"].isString()) << reply.description();
}

inline void expectKeys(const ns::Value& record, std::initializer_list<const char*> keys) {
    ASSERT_TRUE(record.isDictionary()) << record.description();
    for (const char* k : keys) EXPECT_TRUE(record.has(k)) << k << " missing in " << record.description();
}

// At least `least` rows, each with the keys.
inline testing::AssertionResult rows(const ns::Value& list, std::size_t least,
                                     std::initializer_list<const char*> keys = {}) {
    if (list.count() < least) return testing::AssertionFailure() << list.count() << " rows: " << list.description();
    for (const auto& row : list.items()) expectKeys(row, keys);
    return testing::AssertionSuccess();
}

// Sends and expects the service to refuse.
inline void expectRefused(const std::function<void(VoVaClient&)>& send) {
    ns::Value reply = call(send);
    EXPECT_EQ(reply["state"].text(), "failed") << reply.description();
}


// The body at the address (a test failure when the status is not 200).
inline std::string fetch(const std::string& url, std::string* contentType = nullptr) {
    net::Request request;
    request.url = url;
    net::Response response = net::perform(request);
    EXPECT_EQ(response.status, 200) << url;
    if (contentType) *contentType = response.header("Content-Type");
    return response.body;
}

}  // namespace demotest
