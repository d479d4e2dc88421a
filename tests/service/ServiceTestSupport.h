// What the service tests share: a loopback service the configuration points
// at, the alerts raised, delegates that record outcomes, and waiting on
// the main run loop for real background work.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/RunLoop.h"
#include "net/Alert.h"
#include "net/NetworkActivity.h"
#include "net/Reachability.h"
#include "service/HTTPRequest.h"
#include "service/ServiceConfig.h"
#include "service/VoVaClient.h"
#include "support/LoopbackService.h"

class ServiceTest : public testing::Test {
protected:
    void SetUp() override {
        ns::RunLoop::resetForTesting();
        ServiceConfig::reset();
        ServiceConfig::setEndpoint(svc.url());
        ServiceConfig::setServiceNamespace(svc.serviceNamespace());
        previousPresenter_ = net::setAlertPresenter([this](const net::Alert& a) {
            EXPECT_TRUE(ns::isMainThread());
            alerts.push_back(a);
        });
    }
    void TearDown() override {
        net::setAlertPresenter(previousPresenter_);
        net::Reachability::clearOverride();
        ServiceConfig::reset();
        ns::RunLoop::resetForTesting();
    }

    // Runs the main run loop until the condition holds (real background work).
    static bool runUntil(const std::function<bool()>& condition, double limitSeconds = 30) {
        return ns::RunLoop::main().runUntil(condition, limitSeconds);
    }

    LoopbackService svc;
    std::vector<net::Alert> alerts;

private:
    net::AlertPresenter previousPresenter_;
};

// Records HTTPRequest callbacks ("started", "finished <status>", "failed <code>").
struct Recorder : HTTPRequestDelegate {
    std::vector<std::string> calls;
    void requestStarted(HTTPRequest&) override { calls.push_back("started"); }
    void requestFinished(HTTPRequest& r) override {
        EXPECT_TRUE(ns::isMainThread());
        calls.push_back("finished " + std::to_string(r.responseStatusCode()));
    }
    void requestFailed(HTTPRequest& r) override {
        EXPECT_TRUE(ns::isMainThread());
        calls.push_back("failed " + std::to_string(r.error()->code));
    }
};

// A recorder that does not listen for the start, so it hears only outcomes.
struct DeafRecorder : Recorder {
    bool respondsToRequestStarted() const override { return false; }
};

// A screen stand-in: records every outcome with the operation it belongs to.
struct RecordingDelegate : PPClientDelegate {
    struct Outcome {
        bool success = false;
        std::string result;
        ns::ErrorPtr error;
        std::string operation;  // the client's replyOperation() during the call
        std::shared_ptr<NetWebServiceRequest> request;
        bool onMainThread = false;
        std::size_t alertsBefore = 0;  // alerts raised before this call
    };

    std::weak_ptr<VoVaClient> client;
    const std::vector<net::Alert>* alerts = nullptr;
    std::vector<Outcome> outcomes;

    void GetWebServerContent_success(const std::string& result) override { record(true, result, nullptr); }
    void GetWebServerContent_Fail(const ns::ErrorPtr& error) override { record(false, {}, error); }

    std::size_t successes() const {
        std::size_t n = 0;
        for (const auto& o : outcomes) n += o.success;
        return n;
    }

private:
    void record(bool success, const std::string& result, ns::ErrorPtr error) {
        Outcome o;
        o.success = success;
        o.result = result;
        o.error = std::move(error);
        if (auto c = client.lock()) {
            o.operation = c->replyOperation();
            o.request = c->replyRequest();
        }
        o.onMainThread = ns::isMainThread();
        if (alerts) o.alertsBefore = alerts->size();
        outcomes.push_back(std::move(o));
    }
};

// A client with a recording delegate, as a screen would set them up.
struct Screen {
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<VoVaClient> client = VoVaClient::create(delegate);
    Screen() { delegate->client = client; }
};
