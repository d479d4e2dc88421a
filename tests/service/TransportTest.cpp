// The HTTP exchange and the transport queue over a real loopback connection.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <zlib.h>

#include "ServiceTestSupport.h"
#include "net/Gzip.h"
#include "net/Engine.h"
#include "net/Http.h"
#include "service/NetWebServiceRequest.h"
#include "service/SoapXmlParseHelper.h"

namespace {

using TransportTest = ServiceTest;

net::Request post(const std::string& url, const std::string& body = "x") {
    net::Request r;
    r.method = "POST";
    r.url = url;
    r.body = body;
    r.timeout = 10;
    return r;
}

TEST_F(TransportTest, ExchangeGivesStatusHeadersAndDecodedBody) {
    LoopbackService::Reply reply;
    reply.body = "压缩的内容 " + std::string(5000, 'z');
    reply.gzip = true;
    reply.contentType = "text/plain; charset=utf-8";
    reply.headers = {{"X-Test", "yes"}};
    svc.serve("/page", reply);
    net::Request r;
    r.url = svc.baseURL() + "/page";
    r.headers = {{"X-Bad", "a\r\nInjected: 1"}, {"X-Good", "1"}};
    net::Response response = net::perform(r);
    ASSERT_FALSE(response.failed()) << response.errorMessage;
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, reply.body);
    EXPECT_EQ(response.header("x-test"), "yes");
    EXPECT_EQ(response.header("Content-Encoding"), "gzip");
    auto got = svc.requests().back();
    EXPECT_EQ(got.method, "GET");
    EXPECT_EQ(got.header("X-Good"), "1");
    EXPECT_EQ(got.header("Injected"), "");  // a header that would split the message is dropped
    EXPECT_EQ(got.header("X-Bad"), "");
}

// A handle keeps its header list from one exchange to the next: whether the
// reply may come compressed is asked anew whenever that changes, and a
// request that names its own encodings is sent just those.
TEST_F(TransportTest, CompressedRepliesAreAskedForOnlyWhileTheyAreAccepted) {
    LoopbackService::Reply zipped;
    zipped.body = "plain text";
    zipped.gzip = true;
    svc.serve("/zipped", zipped);
    struct Case {
        bool accept;
        net::Headers headers;
        std::string asked, body;
    };
    const Case cases[] = {
        {true, {}, "gzip, deflate", "plain text"},
        {false, {}, "", net::gzip("plain text")},
        {true, {}, "gzip, deflate", "plain text"},
        {true, {{"Accept-Encoding", "identity"}}, "identity", "plain text"},
        {false, {{"Accept-Encoding", "gzip"}}, "gzip", net::gzip("plain text")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        net::Request r;
        r.url = svc.baseURL() + "/zipped";
        r.acceptCompressed = c.accept;
        r.headers = c.headers;
        net::Response response = net::perform(r);
        ASSERT_FALSE(response.failed()) << response.errorMessage;
        EXPECT_EQ(response.body, c.body);
        auto got = svc.requests().back();
        EXPECT_EQ(got.header("Accept-Encoding"), c.asked);
        int lines = 0;
        for (const auto& [name, value] : got.headers) lines += name == "Accept-Encoding";
        EXPECT_EQ(lines, c.asked.empty() ? 0 : 1);
    }
}

// A compressed body is decoded whole or not at all: one that stops before
// the end of its stream fails as a reply cut short, even when the bytes the
// server framed all came.
TEST_F(TransportTest, ACompressedBodyCutShortFailsEvenWhenItsFramingIsWhole) {
    const std::string text = "压缩的内容 " + std::string(200000, 'z') + " 完";
    const std::string packed = net::gzip(text);
    std::string zlibbed(compressBound(static_cast<uLong>(text.size())), '\0');
    uLongf zlibbedSize = static_cast<uLongf>(zlibbed.size());
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(zlibbed.data()), &zlibbedSize,
                       reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size())),
              Z_OK);
    zlibbed.resize(zlibbedSize);
    const std::string bare = zlibbed.substr(2, zlibbed.size() - 6);  // without the zlib wrapper
    // Five codings are undone; a reply naming more is refused before any is
    // set up (each is a stage of its own, and a header holds thousands).
    std::string fiveTimes = packed;
    for (int i = 1; i < 5; ++i) fiveTimes = net::gzip(fiveTimes);
    struct Case {
        const char* name;
        std::string coding, body;
        net::ErrorKind error;
    };
    const Case cases[] = {
        {"whole gzip", "gzip", packed, net::ErrorKind::None},
        {"gzip twice", "gzip, gzip", net::gzip(packed), net::ErrorKind::None},
        {"deflate", "deflate", zlibbed, net::ErrorKind::None},
        {"bare deflate", "deflate", bare, net::ErrorKind::None},
        {"zlib stream called gzip", "gzip", zlibbed, net::ErrorKind::None},
        {"gzip cut in half", "gzip", packed.substr(0, packed.size() / 2), net::ErrorKind::ConnectionFailure},
        {"gzip without its trailer", "gzip", packed.substr(0, packed.size() - 8), net::ErrorKind::ConnectionFailure},
        {"deflate cut short", "deflate", zlibbed.substr(0, zlibbed.size() - 10), net::ErrorKind::ConnectionFailure},
        {"gzip twice, inner cut", "gzip, gzip", net::gzip(packed.substr(0, packed.size() - 1)),
         net::ErrorKind::ConnectionFailure},
        {"five codings", "gzip,gzip, gzip,gzip,gzip", fiveTimes, net::ErrorKind::None},
        {"six codings", "gzip,gzip,gzip,gzip,gzip,gzip", net::gzip(fiveTimes), net::ErrorKind::Other},
        {"not gzip at all", "gzip", text, net::ErrorKind::Other},
        {"bytes after the stream", "gzip", packed + "junk", net::ErrorKind::Other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackService::Reply reply;
        reply.body = c.body;
        reply.contentType = "text/plain; charset=utf-8";
        reply.headers = {{"Content-Encoding", c.coding}};
        svc.serve("/coded", reply);
        net::Request r;
        r.url = svc.baseURL() + "/coded";
        net::Response response = net::perform(r);
        EXPECT_EQ(response.error, c.error) << response.errorMessage;
        EXPECT_TRUE(response.body == (c.error == net::ErrorKind::None ? text : std::string()))
            << response.body.size() << " bytes";
    }
}

// A body that says its length is received into room for all of it at once
// (grown piece by piece, a reply of megabytes was copied over and over and
// held twice while it was); a compressed one grows from its stated length.
TEST_F(TransportTest, ABodyOfAStatedLengthArrivesIntoRoomForItAll) {
    LoopbackService::Reply plain;
    plain.body = std::string(3'000'000, 'p');
    svc.serve("/plain", plain);
    LoopbackService::Reply packed = plain;
    packed.gzip = true;
    svc.serve("/packed", packed);
    for (const char* path : {"/plain", "/packed"}) {
        SCOPED_TRACE(path);
        net::Request r;
        r.url = svc.baseURL() + path;
        net::Response response = net::perform(r);
        ASSERT_FALSE(response.failed()) << response.errorMessage;
        EXPECT_EQ(response.body, plain.body);
        if (std::string(path) == "/plain") {
            EXPECT_EQ(response.body.capacity(), plain.body.size());
        }
    }
}

TEST_F(TransportTest, ErrorKinds) {
    EXPECT_EQ(net::perform(post(LoopbackService::refusedURL())).error, net::ErrorKind::ConnectionFailure);
    EXPECT_EQ(net::perform(post("not a url")).error, net::ErrorKind::Other);

    svc.serve("/big", LoopbackService::status(200, std::string(100000, 'b')));
    net::Request big = post(svc.baseURL() + "/big");
    big.maxResponseBytes = 1000;
    net::Response r = net::perform(big);
    EXPECT_EQ(r.error, net::ErrorKind::Other);
    EXPECT_NE(r.errorMessage.find("too large"), std::string::npos);

    svc.serve("/slow", LoopbackService::held());
    net::Request slow = post(svc.baseURL() + "/slow");
    slow.timeout = 0.2;
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(net::perform(slow).error, net::ErrorKind::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    svc.release();
}

// Redirects lead only to http and https, and never take a request body to
// another host: a 307 or 308 that would fails; a 302 after a POST goes on as
// a GET without it. Both the blocking exchange and the transport queue.
TEST_F(TransportTest, RedirectsGoOnlyToHttpAndNeverTakeTheBodyToAnotherHost) {
    LoopbackService other;  // reached as "localhost": another host name
    other.serve("/landing", LoopbackService::status(200, "landed elsewhere"));
    svc.serve("/landing", LoopbackService::status(200, "landed here"));
    auto redirect = [&](const std::string& path, int status, const std::string& location) {
        LoopbackService::Reply r = LoopbackService::status(status, "moved");
        r.headers = {{"Location", location}};
        svc.serve(path, r);
    };
    const std::string elsewhere = "http://localhost:" + std::to_string(other.port()) + "/landing";
    redirect("/to-ftp", 302, "ftp://127.0.0.1:" + std::to_string(other.port()) + "/x");
    redirect("/to-file", 301, "file:///etc/passwd");
    redirect("/307-away", 307, elsewhere);
    redirect("/308-away", 308, elsewhere);
    redirect("/307-here", 307, "/landing");
    redirect("/302-away", 302, elsewhere);
    const struct {
        const char* path;
        const char* method;
        const char* body;   // the reply's, "" when the exchange must fail
        const char* other;  // what reached the other host: "" for nothing, else method and body
    } cases[] = {
        {"/to-ftp", "POST", "", ""},
        {"/to-ftp", "GET", "", ""},
        {"/to-file", "GET", "", ""},
        {"/307-away", "POST", "", ""},
        {"/308-away", "POST", "", ""},
        {"/307-here", "POST", "landed here", ""},
        {"/302-away", "POST", "landed elsewhere", "GET "},
        {"/307-away", "GET", "landed elsewhere", "GET "},
    };
    const std::string secret = "<password>secret</password>";
    for (bool queued : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.method) + " " + c.path + (queued ? " queued" : " blocking"));
            other.clearRecords();
            svc.clearRecords();
            std::size_t connectionsBefore = other.connectionCount();
            bool post = std::string(c.method) == "POST";
            int status = 0;
            bool failed = false;
            std::string body;
            if (queued) {
                auto r = HTTPRequest::requestWithURL(svc.baseURL() + c.path);
                r->setRequestMethod(c.method);
                if (post) r->setPostBody(secret);
                r->startAsynchronous();
                ASSERT_TRUE(runUntil([&] { return r->isFinished(); }));
                failed = r->error() != nullptr;
                status = r->responseStatusCode();
                body = r->responseString();
            } else {
                net::Request r = ::post(svc.baseURL() + c.path, post ? secret : "");
                r.method = c.method;
                net::Response response = net::perform(r);
                failed = response.failed();
                status = response.status;
                body = response.body;
            }
            EXPECT_EQ(failed, std::string(c.body).empty()) << status;
            if (!failed) {
                EXPECT_EQ(body, c.body);
            }
            std::string reached;
            for (const auto& got : other.requests()) reached += got.method + " " + got.body;
            EXPECT_EQ(reached, c.other);
            if (std::string(c.other).empty()) {
                EXPECT_EQ(other.connectionCount(), connectionsBefore);
            }
            if (std::string(c.path) == "/307-here") {
                EXPECT_EQ(svc.requests().back().body, secret);
            }
        }
    }
}

TEST_F(TransportTest, CancellationFromAnotherThreadStopsTheExchangeAtOnce) {
    svc.serve("/held", LoopbackService::held());
    net::Cancellation cancellation;
    net::Response response;
    std::thread worker([&] { response = net::perform(post(svc.baseURL() + "/held"), &cancellation); });
    ASSERT_TRUE(runUntil([&] { return svc.count() == 1; }));
    cancellation.cancel();
    worker.join();  // would wait for the 10 s time-out if cancel did not wake it
    EXPECT_EQ(response.error, net::ErrorKind::Cancelled);
    // A cancelled Cancellation stops the next exchange before it starts.
    EXPECT_EQ(net::perform(post(svc.baseURL() + "/held"), &cancellation).error, net::ErrorKind::Cancelled);
    EXPECT_EQ(svc.count(), 1u);
    svc.release();
}

TEST_F(TransportTest, OneCancellationServesExchangesOneAfterAnother) {
    svc.serve("/held", LoopbackService::held());
    svc.serve("/ok", LoopbackService::status(200, "fine"));
    net::Cancellation cancellation;
    for (int i = 0; i < 2; ++i) EXPECT_EQ(net::perform(post(svc.baseURL() + "/ok"), &cancellation).body, "fine");
    net::Response response;
    std::thread worker([&] { response = net::perform(post(svc.baseURL() + "/held"), &cancellation); });
    ASSERT_TRUE(runUntil([&] { return svc.count() == 3; }));
    // Reaches the exchange under way, not one that has ended.
    cancellation.cancel();
    worker.join();
    EXPECT_EQ(response.error, net::ErrorKind::Cancelled);
    svc.release();
}

TEST_F(TransportTest, ReachabilitySwitch) {
    std::vector<std::uint32_t> seen;
    int token = net::Reachability::addObserver([&](std::uint32_t f) { seen.push_back(f); });
    net::Reachability::setReachable(false);
    EXPECT_FALSE(net::Reachability::isReachable());
    net::Response r = net::perform(post(svc.url()));
    EXPECT_EQ(r.error, net::ErrorKind::ConnectionFailure);
    EXPECT_EQ(svc.count(), 0u);
    net::Reachability::setReachable(true, true);
    EXPECT_TRUE(net::Reachability::isWWAN());
    net::Reachability::setReachable(true, true);  // no change, no call
    net::Reachability::removeObserver(token);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0u, net::kReachabilityReachable | net::kReachabilityIsWWAN}));
}

TEST_F(TransportTest, GzipHelpersRefuseCutStreams) {
    std::string text = "中文 " + std::string(10000, 'q');
    std::string packed = net::gzip(text);
    EXPECT_EQ(net::gunzip(packed), text);
    EXPECT_FALSE(net::gunzip(packed.substr(0, packed.size() / 2)));
    EXPECT_FALSE(net::gunzip("not gzip"));
    EXPECT_FALSE(net::gunzip(packed, 100));  // larger than allowed
}

// A queued request for the path with the delegate, started.
HTTPRequestPtr started(const std::string& url, const std::shared_ptr<HTTPRequestDelegate>& delegate) {
    auto r = HTTPRequest::requestWithURL(url);
    r->setDelegate(delegate);
    r->startAsynchronous();
    return r;
}

TEST_F(TransportTest, AtMostFourRunAtOnceAndTheRestWait) {
    svc.serve("/held", LoopbackService::held(LoopbackService::status(200, "done")));
    auto recorder = std::make_shared<Recorder>();
    std::vector<HTTPRequestPtr> requests;
    for (int i = 0; i < 6; ++i) requests.push_back(started(svc.baseURL() + "/held", recorder));
    EXPECT_EQ(net::NetworkActivity::count(), 6);
    ASSERT_TRUE(runUntil([&] { return svc.count() == 4; }));
    // Four are with the server and blocked there, so nothing else can have started.
    EXPECT_EQ(HTTPRequest::queuedRequestCount(), 6u);
    EXPECT_EQ(svc.count(), 4u);

    // One still waiting is cancelled: it reports the cancellation and never a start.
    auto waitingRecorder = std::make_shared<Recorder>();
    started(svc.baseURL() + "/held", waitingRecorder)->cancel();
    EXPECT_EQ(HTTPRequest::queuedRequestCount(), 6u);

    svc.release();
    ASSERT_TRUE(runUntil([&] { return recorder->calls.size() == 12; }));
    EXPECT_EQ(svc.count(), 6u);
    EXPECT_EQ(std::count(recorder->calls.begin(), recorder->calls.end(), "finished 200"), 6);
    EXPECT_EQ(requests[0]->responseString(), "done");
    EXPECT_EQ(net::NetworkActivity::count(), 0);
    EXPECT_EQ(waitingRecorder->calls, (std::vector<std::string>{"failed 4"}));
}

TEST_F(TransportTest, GetWithABodyGoesOutAsPost) {
    svc.serve("/echo", LoopbackService::status(200, "ok"));
    auto r = HTTPRequest::requestWithURL(svc.baseURL() + "/echo");
    r->setRequestMethod("GET");
    r->setPostBody("body");
    r->startSynchronous();
    EXPECT_EQ(r->responseStatusCode(), 200);
    EXPECT_EQ(svc.requests().back().method, "POST");
    EXPECT_EQ(svc.requests().back().body, "body");
}

TEST_F(TransportTest, CancelReportsCancelledUnlessTheDelegatesWereCleared) {
    svc.serve("/held", LoopbackService::held());
    auto recorder = std::make_shared<Recorder>();
    auto a = started(svc.baseURL() + "/held", recorder);
    ASSERT_TRUE(runUntil([&] { return svc.count() == 1; }));
    a->cancel();
    EXPECT_TRUE(a->isCancelled());
    ASSERT_TRUE(runUntil([&] { return recorder->calls.size() == 2; }));
    EXPECT_EQ(recorder->calls, (std::vector<std::string>{"started", "failed 4"}));
    EXPECT_EQ(a->error()->domain, "HTTPRequestErrorDomain");

    auto silent = std::make_shared<Recorder>();
    auto b = HTTPRequest::requestWithURL(svc.baseURL() + "/held");
    bool blockRan = false;
    b->setDelegate(silent);
    b->setFailedBlock([&] { blockRan = true; });
    b->startAsynchronous();
    b->clearDelegatesAndCancel();
    ASSERT_TRUE(runUntil([] { return HTTPRequest::queuedRequestCount() == 0; }));
    ns::RunLoop::main().drain();
    EXPECT_TRUE(silent->calls.empty());
    EXPECT_FALSE(blockRan);
    svc.release();
}

TEST_F(TransportTest, ErrorCodesOfTheTransport) {
    auto recorder = std::make_shared<Recorder>();
    svc.serve("/held", LoopbackService::held());
    auto slow = HTTPRequest::requestWithURL(svc.baseURL() + "/held");
    slow->setTimeOutSeconds(0.2);
    slow->setDelegate(recorder);
    slow->startAsynchronous();
    auto refused = started(LoopbackService::refusedURL(), recorder), badURL = started("ftp://127.0.0.1/x", recorder);
    ASSERT_TRUE(runUntil([&] { return refused->isFinished() && badURL->isFinished() && slow->isFinished(); }));
    EXPECT_EQ(refused->error()->code, 1);
    EXPECT_EQ(slow->error()->code, 2);
    EXPECT_EQ(badURL->error()->code, 5);
    svc.release();
}

struct ServiceRecorder : NetWebServiceRequestDelegate {
    int calls = 0;
    void netRequestStarted(NetWebServiceRequest&) override { calls++; }
    void netRequestFinished(NetWebServiceRequest&, const std::string&) override { calls++; }
    void netRequestFailed(NetWebServiceRequest&, const ns::ErrorPtr&) override { calls++; }
};

// An exchange still in flight when the main run loop is reset (between
// tests) is ended unheard: the request and its transport go with it.
TEST_F(TransportTest, AnExchangeEndedByALoopResetTakesTheRequestAndItsTransportWithIt) {
    svc.reply("GetSign", LoopbackService::held(svc.result("GetSign", R"({"state":"successful"})")));
    auto recorder = std::make_shared<ServiceRecorder>();
    std::weak_ptr<NetWebServiceRequest> service;
    std::weak_ptr<HTTPRequest> transport;
    {
        auto request = NetWebServiceRequest::serviceRequestUrl(
            svc.url(), svc.serviceNamespace() + "GetSign",
            SoapXmlParseHelper::requestEnvelope("GetSign", svc.serviceNamespace(), std::string("{}")));
        request->setOperationName("GetSign");
        request->setDelegate(recorder);
        request->startAsynchronous();
        service = request;
        transport = request->httpRequest();
    }
    ASSERT_FALSE(transport.expired());
    ASSERT_TRUE(runUntil([&] { return svc.count() == 1; }));
    EXPECT_FALSE(service.expired());  // the running exchange holds them
    EXPECT_FALSE(transport.expired());
    const int heard = recorder->calls;  // "started" at most

    ns::RunLoop::resetForTesting();
    EXPECT_TRUE(service.expired());
    EXPECT_TRUE(transport.expired());
    EXPECT_EQ(net::runningExchanges(), 0u);
    EXPECT_EQ(HTTPRequest::queuedRequestCount(), 0u);
    svc.release();
    ns::RunLoop::main().drain();
    EXPECT_EQ(recorder->calls, heard);
    EXPECT_LE(heard, 1);
    EXPECT_EQ(net::NetworkActivity::count(), 0);
}

// Blocks may hold their own request: once the last callback has run, or was
// dropped, the request lets go of them, whether it finished, failed or was
// cancelled.
TEST_F(TransportTest, BlocksHoldingTheirRequestLetGoWhenItEnds) {
    svc.serve("/ok", LoopbackService::status(200, "ok"));
    svc.serve("/held", LoopbackService::held());
    auto holdingItself = [&](const std::string& path, int* ran) {
        auto r = HTTPRequest::requestWithURL(svc.baseURL() + path);
        r->setCompletionBlock([r, ran] { ++*ran; });
        r->setFailedBlock([r, ran] { ++*ran; });
        r->startAsynchronous();
        return std::weak_ptr<HTTPRequest>(r);
    };
    int finishedRan = 0, cancelledRan = 0, droppedRan = 0;
    auto finished = holdingItself("/ok", &finishedRan);
    auto cancelled = holdingItself("/held", &cancelledRan);
    ASSERT_TRUE(runUntil([&] { return finishedRan == 1 && svc.count() == 2; }));
    cancelled.lock()->cancel();
    ASSERT_TRUE(runUntil([&] { return cancelledRan == 1 && HTTPRequest::queuedRequestCount() == 0; }));
    ns::RunLoop::main().drain();
    EXPECT_TRUE(finished.expired());
    EXPECT_TRUE(cancelled.expired());

    auto dropped = holdingItself("/held", &droppedRan);
    ASSERT_TRUE(runUntil([&] { return svc.count() == 3; }));
    ns::RunLoop::resetForTesting();  // ends the exchange unheard
    EXPECT_TRUE(dropped.expired());
    EXPECT_EQ(droppedRan, 0);
    svc.release();
}

// A delegate that does not listen for the start gets no "started" post:
// nothing is posted to the main run loop at all, the outcome is told as the
// reply is read. A started block is still heard, before the outcome.
TEST_F(TransportTest, NoStartedIsPostedWhenNobodyListensForIt) {
    svc.serve("/ok", LoopbackService::status(200, "ok"));
    auto deaf = std::make_shared<DeafRecorder>();
    auto r = started(svc.baseURL() + "/ok", deaf);
    EXPECT_EQ(ns::RunLoop::main().pendingPosts(), 0u);
    ASSERT_TRUE(runUntil([&] { return r->isFinished(); }));
    EXPECT_EQ(deaf->calls, (std::vector<std::string>{"finished 200"}));
    EXPECT_EQ(ns::RunLoop::main().pendingPosts(), 0u);

    auto withBlock = HTTPRequest::requestWithURL(svc.baseURL() + "/ok");
    withBlock->setDelegate(deaf);
    std::vector<std::string> order;
    withBlock->setStartedBlock([&] { order.push_back("started"); });
    withBlock->setCompletionBlock([&] { order.push_back("finished"); });
    withBlock->startAsynchronous();
    EXPECT_EQ(ns::RunLoop::main().pendingPosts(), 1u);
    ASSERT_TRUE(runUntil([&] { return withBlock->isFinished() && order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"started", "finished"}));
}

}  // namespace
