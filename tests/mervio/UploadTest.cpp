// The upload against the loopback statistics server, which deciphers,
// unpacks and reads every body, and the speed test.
#include <gtest/gtest.h>

#include <condition_variable>

#include "mervio/reporter/MVOMSADispatcher.h"
#include "net/Gzip.h"
#include "net/Http.h"
#include "support/StatReporterTest.h"

namespace {

class UploadTest : public testsupport::StatReporterTest {
protected:
    std::shared_ptr<MVOMSADispatcher> dispatcher;

    void SetUp() override {
        StatReporterTest::SetUp();
        dispatcher = MVOMSADispatcher::getInstance();
    }

    // Sends stored events with these contents; whether the upload succeeded.
    bool sendContents(const std::vector<std::string>& contents) {
        MVOMSAStoreEvents batch;
        for (const auto& c : contents) batch.push_back(std::make_shared<MVOMSAStoreEvent>(MVOMSAStoreEvent{0, c, 1, 0, 0}));
        std::optional<bool> outcome;
        std::mutex mutex;
        dispatcher->send(batch, [&](bool ok, const MVOMSAStoreEvents& sent) {
            EXPECT_EQ(sent, batch);
            std::lock_guard lock(mutex);
            outcome = ok;
        });
        EXPECT_TRUE(ns::RunLoop::main().runUntil([&] { std::lock_guard lock(mutex); return outcome.has_value(); }, 20));
        std::lock_guard lock(mutex);
        return outcome.value_or(false);
    }

    // An object whose JSON text has exactly n bytes.
    static std::string content(std::size_t n) { return "{\"p\":\"" + std::string(n - 8, 'x') + "\"}"; }
};

TEST_F(UploadTest, ArraysFrom256BytesGoCompressedBehindTheirLengthAndEveryBodyEnciphered) {
    for (std::size_t plain : {255u, 256u}) {
        SCOPED_TRACE(plain);
        stats.clear();
        ASSERT_TRUE(sendContents({content(plain - 2)}));
        auto upload = stats.uploads().at(0);
        EXPECT_EQ(upload.plain.size(), plain);
        EXPECT_EQ(upload.prefixed, plain == 256);
        EXPECT_EQ(upload.request.header("Content-Encoding"), plain == 256 ? "rc4,gzip" : "rc4");
        EXPECT_EQ(upload.declaredLength, plain == 256 ? 256u : 0u);  // 00 00 01 00
        EXPECT_EQ(upload.request.body.find("\"p\""), std::string::npos);  // nothing readable without the key
        EXPECT_EQ(upload.request.method, "POST");
        EXPECT_EQ(upload.request.path, "/stat/report");
        EXPECT_EQ(upload.request.header("Connection"), "keep-alive");
        EXPECT_EQ(upload.request.header("Content-Type"), "json");
    }
    ASSERT_TRUE(sendContents({"{\"a\":1}", "{\"b\":2}"}));
    EXPECT_EQ(stats.uploads().back().plain, R"([{"a":1},{"b":2}])");
}

TEST_F(UploadTest, SuccessIsStatus200AndARetThatReadsZero) {
    using Answer = StatReportReceiver::Answer;
    struct Case {
        Answer answer;
        bool success;
    } cases[] = {
        {{.body = R"({"ret":0})"}, true},
        {{.body = R"({"ret":"0"})"}, true},
        {{.body = R"({"ret":0})", .contentEncoding = "RC4"}, true},
        {{.body = R"({"ret":0})", .contentEncoding = std::nullopt, .encipher = false}, true},
        {{.body = R"({"ret":1})"}, false},
        {{.body = R"({"mid":"7"})"}, false},
        {{.body = ""}, false},
        {{.body = R"([0])"}, false},
        {{.status = 500}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.body + " " + c.answer.contentEncoding.value_or("-"));
        stats.answerOnce(c.answer);
        EXPECT_EQ(sendContents({"{\"a\":1}"}), c.success);
    }
    MVOMSAConfig::getInstance()->setStatReportURL(LoopbackService::refusedURL());
    EXPECT_FALSE(sendContents({"{\"a\":1}"}));
}

TEST_F(UploadTest, AnOverLongEventIsDroppedAsDeliveredUnlessItIsAnError) {
    auto custom = std::make_shared<MVOMSACustomEvent>();
    custom->eventID = "";
    custom->eventID = std::string(4097 - custom->toJsonString().size(), 'x');
    ASSERT_EQ(custom->toJsonString().size(), 4097u);
    int calls = 0;
    dispatcher->sendEvent(custom, [&](bool ok, const std::shared_ptr<MVOMSAEvent>& sent) {
        ++calls;
        EXPECT_TRUE(ok);
        EXPECT_FALSE(sent);
    });
    EXPECT_EQ(calls, 1);  // at once, on this thread

    auto error = std::make_shared<MVOMSAErrorEvent>();
    error->error = std::string(5000, 'e');
    std::atomic<bool> delivered{false};
    dispatcher->sendEvent(error, [&](bool ok, const std::shared_ptr<MVOMSAEvent>& sent) { delivered = ok && sent == error; });
    ASSERT_TRUE(received(1));
    EXPECT_TRUE(delivered.load());
    EXPECT_EQ(names(stats.events()), (std::vector<std::string>{"et3"}));
}

TEST_F(UploadTest, TheHttpLayerHandsAnEncodedReplyOverAsItCame) {
    SoapServer::Reply zipped;
    zipped.body = "plain text";
    zipped.gzip = true;
    server.serve("/zipped", zipped);
    net::Request request;
    request.url = server.baseURL() + "/zipped";
    request.acceptCompressed = false;
    net::Response response = net::perform(request);
    EXPECT_EQ(response.header("Content-Encoding"), "gzip");
    EXPECT_EQ(response.body, net::gzip("plain text"));
}

TEST_F(UploadTest, TheSpeedTestTimesEachServerAndKeepsItsResultsInTheSettings) {
    EXPECT_EQ(MVOMSADispatcher::splitSpeedString("a,1;;b,2;"), (std::vector<std::string>{"http://a:1", "http://b:2"}));

    MVOMSATestSpeed listening = dispatcher->taSocket("http://127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(listening.st, 0);
    EXPECT_EQ(listening.rip, "127.0.0.1");
    EXPECT_EQ(listening.ts, static_cast<long long>(kStart));
    EXPECT_GE(listening.tm.value_or(-1), 0);

    MVOMSATestSpeed refused = dispatcher->taSocket(LoopbackService::refusedURL());
    EXPECT_EQ(refused.st, -1);
    EXPECT_EQ(refused.rip, "127.0.0.1");
    EXPECT_FALSE(refused.tm);

    // A resolver that answers only when the test lets it: given up at the limit.
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    auto gate = std::make_shared<Gate>();
    MVOMSADispatcher::setLookupForTesting(
        [gate](const std::string&) -> std::optional<std::string> {
            std::unique_lock lock(gate->mutex);
            gate->opened.wait(lock, [&] { return gate->open; });
            return "127.0.0.1";
        },
        0.2);
    MVOMSATestSpeed slow = dispatcher->taSocket("http://stat.velmarsh.gov");
    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    EXPECT_EQ(slow.dm, "stat.velmarsh.gov");
    EXPECT_EQ(slow.pt, 80);
    EXPECT_EQ(slow.st, -1);
    EXPECT_FALSE(slow.rip);
    EXPECT_EQ(slow.toJsonString(), R"({"dm":"stat.velmarsh.gov","pt":80,"st":-1})");
    EXPECT_EQ(slow.description(),
              "MSATestSpeed info is dm:stat.velmarsh.gov , pt:80 , rip:(null) , st:-1 , ts:(null) , tm:(null) ");

    MVOMSADispatcher::setLookupForTesting(nullptr, MVOMSADispatcher::kResolveLimitSeconds);
    ui::Device::currentDevice().setCarrier(ui::CarrierCodes{"460", "01"});
    relaunch();
    dispatcher = MVOMSADispatcher::getInstance();
    dispatcher->speedTest("127.0.0.1," + std::to_string(server.port()) + ";;");
    MVOMSASettings settings = MVOMSAConfig::getInstance()->settings();
    ns::Value results = JSONValue(settings.sp.value_or(""));
    ASSERT_EQ(results.count(), 1u);
    EXPECT_EQ(results.at(0)["st"].intValue(), 0);
    EXPECT_EQ(settings.cn, "CellNetwork");
    EXPECT_EQ(settings.op, "46001");
}

}  // namespace
