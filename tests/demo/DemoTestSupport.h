// What the demo tests share: a demo service over the source tree's data with
// a state folder in the test's home, and operations sent through the real
// service client.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "demo/DemoService.h"
#include "foundation/RunLoop.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "service/VoVaClient.h"

namespace demotest {

inline std::string stateFolder(const std::string& name = "demo-state") {
    return (std::filesystem::path(std::getenv("KL_HOME")) / name).string();
}

inline std::unique_ptr<demo::DemoService> startService(const std::string& state = stateFolder()) {
    auto svc = std::make_unique<demo::DemoService>(demo::DemoService::Options{KL_DEMO_DATA_DIR, state, 0});
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

}  // namespace demotest
