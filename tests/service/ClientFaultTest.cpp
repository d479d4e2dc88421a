// The client against a misbehaving service: which delegate call comes, with
// which error and which alert, and that nothing comes after cancel or once
// the delegate has gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ServiceTestSupport.h"
#include "foundation/Log.h"
#include "net/Engine.h"
#include "net/Gzip.h"
#include "service/JSON.h"
#include "service/SoapXmlParseHelper.h"

namespace {

constexpr const char* kOk = R"({"state":"successful","message":"ok","records":[]})";

class ClientFaultTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        screen.delegate->alerts = &alerts;
    }

    // Sends GetSign and waits for the outcome (a failed one when none came).
    const RecordingDelegate::Outcome& sendAndWait(double limitSeconds = 30) {
        screen.delegate->outcomes.clear();
        screen.client->GetSign("501", "2015-03");
        EXPECT_TRUE(runUntil([&] { return !screen.delegate->outcomes.empty(); }, limitSeconds));
        EXPECT_EQ(screen.delegate->outcomes.size(), 1u);
        if (screen.delegate->outcomes.empty()) screen.delegate->outcomes.emplace_back();
        return screen.delegate->outcomes.back();
    }

    void expectFailure(const RecordingDelegate::Outcome& o, long code, const char* alert) {
        EXPECT_FALSE(o.success);
        ASSERT_TRUE(o.error);
        EXPECT_EQ(o.error->domain, "NetWebServiceRequestErrorDomain");
        EXPECT_EQ(o.error->code, code);
        EXPECT_TRUE(o.onMainThread);
        EXPECT_EQ(o.operation, "GetSign");
        if (!alert) {
            EXPECT_TRUE(alerts.empty());
            return;
        }
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].title, "温馨提示");
        EXPECT_EQ(alerts[0].message, alert);
        EXPECT_EQ(alerts[0].cancelButton, "确定");
        EXPECT_EQ(o.alertsBefore, 1u);  // the alert came first
    }

    // Sends GetSign and expects the result, unchanged.
    void expectResult(const std::string& result, double limitSeconds = 30) {
        auto o = sendAndWait(limitSeconds);
        EXPECT_TRUE(o.success);
        EXPECT_TRUE(o.result == result) << o.result.size() << " bytes";
    }

    // Waits until the transport has nothing left, then runs what it posted.
    void settle() {
        EXPECT_TRUE(runUntil([] { return HTTPRequest::queuedRequestCount() == 0; }));
        ns::RunLoop::main().drain();
    }

    Screen screen;
};

TEST_F(ClientFaultTest, ConnectionRefusedFailsWithCodeOneAfterTheNoNetworkAlert) {
    ServiceConfig::setEndpoint(LoopbackService::refusedURL());
    expectFailure(sendAndWait(), 1, "未连接网络");
}

TEST_F(ClientFaultTest, NetworkSwitchedOffFailsWithCodeOne) {
    net::Reachability::setReachable(false);
    expectFailure(sendAndWait(), 1, "未连接网络");
    EXPECT_EQ(svc.count(), 0u);
}

TEST_F(ClientFaultTest, ReplySlowerThanTheTimeOutFailsWithCodeTwoAfterTheTimeOutAlert) {
    ServiceConfig::setTimeOutSeconds(0.3);
    svc.reply("GetSign", LoopbackService::held(svc.result("GetSign", kOk)));
    expectFailure(sendAndWait(), 2, "网络连接超时");
    svc.release();
}

TEST_F(ClientFaultTest, StatusOtherThan200FailsWithTheStatusAsCode) {
    svc.reply("GetSign", LoopbackService::status(500));
    expectFailure(sendAndWait(), 500, nullptr);
    svc.reply("GetSign", svc.result("GetSign", kOk, 404));
    expectFailure(sendAndWait(), 404, nullptr);
}

// A fault fails with its code and reason, whatever status it came with; the
// error's code is the status (500 for a fault that came with 200).
TEST_F(ClientFaultTest, SoapFaultsFailWithTheirCodeAndReasonWhateverTheStatus) {
    const struct {
        int status;
        const char* code;
        const char* reason;
        long errorCode;
    } cases[] = {
        {500, "soap:Receiver", "服务器内部错误：<b>数据库</b> & \"连接\"失败", 500},
        {200, "soap:Sender", "参数 user_id 无效 <br/>", 500},
        {400, "soap:Sender", "请求格式错误", 400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        svc.reply("GetSign", LoopbackService::fault(c.code, c.reason, c.status));
        auto o = sendAndWait();
        expectFailure(o, c.errorCode, nullptr);
        ASSERT_TRUE(o.error);
        EXPECT_EQ(o.error->localizedDescription(), c.reason);
        EXPECT_EQ(o.error->userInfo[kSoapFaultCodeKey].str(), c.code);
        EXPECT_EQ(o.error->userInfo[kSoapFaultReasonKey].str(), c.reason);
    }
}

TEST_F(ClientFaultTest, BodyCutShortIsAFailureNotAShortSuccess) {
    std::string big(20000, 'x');
    svc.reply("GetSign", svc.cutShort("GetSign", R"({"state":"successful","pad":")" + big + "\"}", 5000));
    expectFailure(sendAndWait(), 1, "未连接网络");
}

TEST_F(ClientFaultTest, ConnectionClosedWithoutReplyFailsWithCodeOne) {
    svc.reply("GetSign", LoopbackService::closeWithoutReply());
    expectFailure(sendAndWait(), 1, "未连接网络");
}

TEST_F(ClientFaultTest, UnreadableEnvelopesGiveTheEmptyText) {
    for (const auto& reply : {svc.malformedXML("GetSign"), svc.withoutResult("GetSign")}) {
        svc.reply("GetSign", reply);
        expectResult("");
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(ClientFaultTest, ResultThatIsNotJSONReachesTheScreenWhichGetsNil) {
    svc.reply("GetSign", "服务器内部错误 <not json>");
    expectResult("服务器内部错误 <not json>");
    ns::LogCapture log;
    EXPECT_TRUE(JSONValue("服务器内部错误 <not json>").isNil());
    EXPECT_TRUE(log.contains("-JSONValue failed. Error trace is:"));
}

// A result whose envelope comes within the cap of a service reply, its
// escapes included, arrives whole; one byte more and the reply fails.
TEST_F(ClientFaultTest, AResultUpToTheServiceCapArrivesWhole) {
    std::string record = R"({"id":"1","title":"党建网格化管理","content":"内容 & <细节>"},)";
    std::string result = R"({"state":"successful","records":[)";
    // In the envelope each record's "&", "<" and ">" take ten bytes more.
    std::size_t bodySize = svc.result("GetSign", "").body.size() + result.size() + 2;
    while (bodySize + record.size() + 10 <= net::kServiceReplyLimit) {
        result += record;
        bodySize += record.size() + 10;
    }
    result.back() = ']';
    result += '}';
    auto reply = svc.result("GetSign", result);
    ASSERT_LE(reply.body.size(), net::kServiceReplyLimit);
    reply.body.append(net::kServiceReplyLimit - reply.body.size(), ' ');  // white space after the envelope
    svc.reply("GetSign", reply);
    // Thirty-two megabytes through the sanitized reader take long on a busy machine.
    expectResult(result, 240);

    reply.body += ' ';
    svc.reply("GetSign", reply);
    const auto& o = sendAndWait();
    expectFailure(o, HTTPInternalErrorType, nullptr);
    EXPECT_NE(o.error->localizedDescription().find("too large"), std::string::npos) << o.error->description();
}

TEST_F(ClientFaultTest, SlowDripWithinTheTimeOutArrivesIntact) {
    ServiceConfig::setTimeOutSeconds(2);
    std::string result = std::string(R"({"state":"successful","message":")") + std::string(3000, 'a') + "中文\"}";
    svc.reply("GetSign", svc.dripping("GetSign", result, 200, 0.01));
    expectResult(result);
}

TEST_F(ClientFaultTest, DripSlowerThanTheTimeOutTimesOut) {
    ServiceConfig::setTimeOutSeconds(0.2);
    svc.reply("GetSign", svc.dripping("GetSign", kOk, 10, 5.0));
    expectFailure(sendAndWait(), 2, "网络连接超时");
}

// A reply that keeps coming, a byte now and then, each within the time-out,
// still ends at the limit on the whole exchange.
TEST_F(ClientFaultTest, ADripWithinTheTimeOutEndsAtTheExchangeLimit) {
    ServiceConfig::setTimeOutSeconds(5);
    ServiceConfig::setExchangeLimitSeconds(0.5);
    svc.reply("GetSign", svc.dripping("GetSign", kOk, 1, 0.05));  // about 20 s in all
    expectFailure(sendAndWait(), 2, "网络连接超时");
}

// The decoded size counts: a small gzip body that inflates past what a service
// reply may hold (32 MiB) fails, and no alert is raised for it.
TEST_F(ClientFaultTest, AReplyInflatingPastTheServiceCapFails) {
    auto reply = svc.result("GetSign", std::string(net::kServiceReplyLimit + 1, ' ') + kOk);
    reply.body = net::gzip(reply.body);
    reply.headers = {{"Content-Encoding", "gzip"}};
    ASSERT_LT(reply.body.size(), 1024u * 1024);
    svc.reply("GetSign", reply);
    const auto& o = sendAndWait();
    expectFailure(o, HTTPInternalErrorType, nullptr);
    EXPECT_NE(o.error->localizedDescription().find("too large"), std::string::npos) << o.error->description();
}

TEST_F(ClientFaultTest, GzipRepliesAreDecoded) {
    auto reply = svc.result("GetSign", kOk);
    reply.gzip = true;
    svc.reply("GetSign", reply);
    expectResult(kOk);
}

TEST_F(ClientFaultTest, NothingAfterCancelWhileTheServiceHoldsTheReply) {
    ServiceConfig::setTimeOutSeconds(0.5);
    svc.reply("GetSign", LoopbackService::held(svc.result("GetSign", kOk)));
    screen.client->GetSign("501", "2015-03");
    ASSERT_TRUE(runUntil([&] { return svc.count("GetSign") == 1; }));
    EXPECT_EQ(net::NetworkActivity::count(), 1);
    screen.client->runningRequest()->cancel();
    EXPECT_EQ(net::NetworkActivity::count(), 0);  // the indicator goes off at once
    EXPECT_FALSE(screen.client->runningRequest()->httpRequest());
    svc.release();
    settle();  // the exchange is over: nothing more can come
    EXPECT_TRUE(screen.delegate->outcomes.empty());
    EXPECT_TRUE(alerts.empty());
}

// A large reply is read off the main thread once its exchange is over: a
// cancel while it is read, or while its outcome waits to be told, stops it.
TEST_F(ClientFaultTest, NothingAfterCancelWhenTheReplyIsAlreadyOnItsWay) {
    std::string result = R"({"state":"successful","pad":")" + std::string(300 * 1024, 'p') + "\"}";
    svc.reply("GetSign", result);
    screen.client->GetSign("501", "2015-03");
    auto request = screen.client->runningRequest();
    auto http = request->httpRequest();
    ASSERT_TRUE(http);
    // The exchange is over; the reply is with the reader or its outcome is posted.
    ASSERT_TRUE(runUntil([&] { return svc.count("GetSign") == 1 && net::runningExchanges() == 0; }));
    EXPECT_EQ(HTTPRequest::queuedRequestCount(), 1u);
    EXPECT_TRUE(screen.delegate->outcomes.empty());
    request->cancel();
    settle();
    EXPECT_TRUE(screen.delegate->outcomes.empty());
    EXPECT_EQ(net::NetworkActivity::count(), 0);

    // Not cancelled, the same reply arrives whole.
    expectResult(result);
}

TEST_F(ClientFaultTest, NothingReachesADelegateThatHasGone) {
    svc.reply("GetSign", LoopbackService::held(svc.result("GetSign", kOk)));
    auto counter = std::make_shared<int>(0);
    struct Counting : PPClientDelegate {
        std::shared_ptr<int> n;
        void GetWebServerContent_success(const std::string&) override { ++*n; }
        void GetWebServerContent_Fail(const ns::ErrorPtr&) override { ++*n; }
    };
    auto delegate = std::make_shared<Counting>();
    delegate->n = counter;
    auto client = VoVaClient::create(delegate);
    client->GetSign("501", "2015-03");
    auto http = client->runningRequest()->httpRequest();
    ASSERT_TRUE(runUntil([&] { return svc.count("GetSign") == 1; }));
    delegate.reset();  // the screen goes away
    svc.release();
    ASSERT_TRUE(runUntil([&] { return http->isFinished(); }));
    settle();
    EXPECT_EQ(*counter, 0);
    EXPECT_EQ(net::NetworkActivity::count(), 0);
}

TEST_F(ClientFaultTest, AClientThatHasGoneIsNoTrouble) {
    svc.reply("GetSign", LoopbackService::held(LoopbackService::status(500)));
    std::weak_ptr<NetWebServiceRequest> request;
    {
        Screen gone;
        gone.client->GetSign("501", "2015-03");
        request = gone.client->runningRequest();
        ASSERT_TRUE(runUntil([&] { return svc.count("GetSign") == 1; }));
    }
    EXPECT_FALSE(request.expired());  // a running request keeps itself alive
    svc.release();
    ASSERT_TRUE(runUntil([&] { return request.expired(); }));
    settle();
}

TEST_F(ClientFaultTest, CancelLetsGoOfARunningRequestsHoldOnItself) {
    svc.reply("GetSign", LoopbackService::held(svc.result("GetSign", kOk)));
    NetWebServiceRequest* raw = nullptr;
    std::weak_ptr<NetWebServiceRequest> weak;
    {
        auto request = NetWebServiceRequest::serviceRequestUrl(
            svc.url(), svc.serviceNamespace() + "GetSign",
            SoapXmlParseHelper::requestEnvelope("GetSign", svc.serviceNamespace(), std::string("{}")));
        request->startAsynchronous();
        raw = request.get();
        weak = request;
    }
    ASSERT_FALSE(weak.expired());
    raw->cancel();  // lets go of the last reference while inside
    EXPECT_TRUE(weak.expired());
    svc.release();
    settle();
}

TEST_F(ClientFaultTest, SeveralRequestsOutAtOnceEachReplyTellsItsOperation) {
    svc.reply("GetArticleList", LoopbackService::held(svc.result("GetArticleList", R"({"records":["article"]})")));
    svc.reply("GetCommentList", R"({"records":["comment"]})");
    screen.client->news_request("1", "10", "szyw");
    auto first = screen.client->runningRequest();
    screen.client->comment_request("1", "10", "88");
    auto second = screen.client->runningRequest();
    EXPECT_NE(first, second);
    EXPECT_FALSE(first->isCancelled());  // the previous one keeps running
    ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() == 1; }));
    svc.release();
    ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() == 2; }));
    const auto& o = screen.delegate->outcomes;
    EXPECT_EQ(o[0].operation, "GetCommentList");
    EXPECT_EQ(o[0].request, second);
    EXPECT_EQ(o[0].result, R"({"records":["comment"]})");
    EXPECT_EQ(o[1].operation, "GetArticleList");
    EXPECT_EQ(o[1].request, first);
    EXPECT_EQ(o[1].result, R"({"records":["article"]})");
    EXPECT_EQ(screen.client->replyOperation(), "");  // only during a callback
    EXPECT_FALSE(screen.client->replyRequest());
}

// No lock of the request is held while its delegate runs: another thread
// that holds a lock the delegate takes and calls into the request meanwhile
// is not stuck behind the callback.
TEST_F(ClientFaultTest, TheRequestIsFreeWhileItsDelegateRuns) {
    struct Delegate : PPClientDelegate {
        std::weak_ptr<VoVaClient> client;
        std::mutex mutex;
        std::condition_variable changed;
        bool reached = false;
        bool reachedDuringTheCallback = false;
        std::thread other;
        void GetWebServerContent_success(const std::string&) override {
            auto request = client.lock()->replyRequest();
            other = std::thread([this, request] {
                request->setDelegate({});
                std::lock_guard lock(mutex);
                reached = true;
                changed.notify_all();
            });
            std::unique_lock lock(mutex);
            reachedDuringTheCallback = changed.wait_for(lock, std::chrono::seconds(20), [&] { return reached; });
        }
    };
    svc.reply("GetSign", kOk);
    auto delegate = std::make_shared<Delegate>();
    auto client = VoVaClient::create(delegate);
    delegate->client = client;
    client->GetSign("501", "2015-03");
    ASSERT_TRUE(runUntil([&] { return delegate->other.joinable(); }));
    delegate->other.join();
    EXPECT_TRUE(delegate->reachedDuringTheCallback);
}

// The start-up sends its version check from a background queue, and the
// reply may be told on the main thread before that call has returned. Here
// the sending thread is held as its request joins the network queue (whose
// post to the main run loop calls the loop's wake-up handler on that thread)
// until the main thread has heard the reply; then the main thread reads the
// client's account while the sender finishes. The flags are relaxed, so
// ThreadSanitizer sees no order between the two threads that the client does
// not make itself.
TEST_F(ClientFaultTest, AnOperationSentFromAnotherThreadIsAccountedForLikeAnyOther) {
    svc.reply("AutoUpdate", kOk);
    std::atomic<bool> heard{false}, returned{false};
    ns::RunLoop::main().setWakeUpHandler([&] {
        while (!ns::isMainThread() && !heard.load(std::memory_order_relaxed)) std::this_thread::yield();
    });
    std::thread sender([&] {
        screen.client->AutoUpdate();
        returned.store(true, std::memory_order_relaxed);
    });
    bool answered = runUntil([&] { return !screen.delegate->outcomes.empty(); });
    heard.store(true, std::memory_order_relaxed);
    bool sendingMeanwhile = false;
    while (!returned.load(std::memory_order_relaxed)) sendingMeanwhile |= screen.client->isSending("AutoUpdate");
    sender.join();
    ns::RunLoop::main().setWakeUpHandler({});
    ASSERT_TRUE(answered);
    EXPECT_FALSE(sendingMeanwhile);
    EXPECT_FALSE(screen.client->isSending("AutoUpdate"));  // answered, not on its way for ever
    const auto& o = screen.delegate->outcomes[0];
    EXPECT_TRUE(o.success);
    EXPECT_TRUE(o.onMainThread);
    EXPECT_EQ(o.operation, "AutoUpdate");
    EXPECT_EQ(screen.client->runningRequest(), o.request);
}

// A reply may be megabytes: once the delegate has heard, neither the request
// nor its client holds on to it (the client's running request stays), and a
// request told its outcome is not sent again.
TEST_F(ClientFaultTest, OnceHandedOverTheReplyIsLetGoAndTheRequestIsNotSentAgain) {
    const std::pair<const char*, LoopbackService::Reply> cases[] = {
        {"a result", svc.result("GetSign", kOk)},
        {"a failure", LoopbackService::status(500)},
    };
    for (const auto& [what, reply] : cases) {
        SCOPED_TRACE(what);
        svc.reply("GetSign", reply);
        const int sent = svc.count("GetSign");
        screen.delegate->outcomes.clear();
        screen.client->GetSign("501", "2015-03");
        auto request = screen.client->runningRequest();
        std::weak_ptr<HTTPRequest> transport = request->httpRequest();
        ASSERT_FALSE(transport.expired());
        ASSERT_TRUE(runUntil([&] { return !screen.delegate->outcomes.empty(); }));
        settle();
        EXPECT_EQ(screen.client->runningRequest(), request);
        EXPECT_FALSE(request->httpRequest());
        EXPECT_TRUE(transport.expired());       // and the body with it
        EXPECT_FALSE(request->resultText());    // the client took the result
        request->startAsynchronous();
        settle();
        EXPECT_EQ(svc.count("GetSign"), sent + 1);
        EXPECT_EQ(screen.delegate->outcomes.size(), 1u);
    }
}

TEST_F(ClientFaultTest, NetworkActivityCountsRequestsInFlight) {
    svc.reply("GetSign", LoopbackService::held(svc.result("GetSign", kOk)));
    screen.client->GetSign("1", "2015-03");
    screen.client->GetSign("2", "2015-03");
    EXPECT_EQ(net::NetworkActivity::count(), 2);
    ASSERT_TRUE(runUntil([&] { return svc.count("GetSign") == 2; }));
    EXPECT_EQ(net::NetworkActivity::count(), 2);
    svc.release();
    // Each counts until its outcome is told.
    ASSERT_TRUE(runUntil([&] { return !screen.delegate->outcomes.empty(); }));
    EXPECT_EQ(net::NetworkActivity::count(), 2 - static_cast<int>(screen.delegate->outcomes.size()));
    ASSERT_TRUE(runUntil([&] { return screen.delegate->outcomes.size() == 2; }));
    EXPECT_EQ(net::NetworkActivity::count(), 0);
}

}  // namespace
