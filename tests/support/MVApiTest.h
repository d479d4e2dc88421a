// Set-up for tests of the SDK's public API: StatReporterTest's device and
// statistics server, the app registered as kAppId, the app's own scheme
// handing every URL to MVApi::handleOpenURL with a recording delegate, and
// the fake Mervio app installed.
//
//   class ApiTest : public testsupport::MVApiTest {};
//   TEST_F(ApiTest, ...) {
//       MVApi::sendReq(req);
//       EXPECT_EQ(mervio.opened().back().action, "sendreq/");
//       mervio.replyRecord(kAppId, ...);
//       EXPECT_TRUE(mervio.returnTo(kAppId, "platformId=mervio"));
//       recorder->resps ...
//   }
#pragma once

#include <memory>
#include <vector>

#include "mervio/apps/MVApi.h"
#include "mervio/apps/WapAuthHandler.h"
#include "support/FakeMessenger.h"
#include "support/StatReporterTest.h"

namespace testsupport {

// A delegate that keeps what it hears.
class RecordingDelegate : public MVApiDelegate {
public:
    std::vector<BaseReqPtr> reqs;
    std::vector<BaseRespPtr> resps;
    void onReq(const BaseReqPtr& req) override { reqs.push_back(req); }
    void onResp(const BaseRespPtr& resp) override { resps.push_back(resp); }

    template <class T>
    std::shared_ptr<T> lastResp() const {
        return resps.empty() ? nullptr : mvRespAs<T>(resps.back());
    }
};

class MVApiTest : public StatReporterTest {
protected:
    FakeMessenger mervio{false};
    std::shared_ptr<RecordingDelegate> recorder = std::make_shared<RecordingDelegate>();

    void SetUp() override {
        StatReporterTest::SetUp();
        forget();
        ASSERT_TRUE(MVApi::registerApp(kAppId, ""));
        ui::Application::sharedApplication().registerURLScheme(kAppId, [this](const std::string& url) {
            return MVApi::handleOpenURL(url, recorder);
        });
        mervio.install();
    }
    void TearDown() override {
        mervio.uninstall();
        forget();
        StatReporterTest::TearDown();
    }

public:
    static void forget() {
        WapAuthHandler::resetForTesting();
        MVApi::resetForTesting();
    }
};

}  // namespace testsupport
