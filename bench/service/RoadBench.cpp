// The whole road of one request (format the argument, wrap the envelope,
// POST over loopback on the transport queue, extract the result, parse it,
// deliver on the main run loop) against a bare libcurl POST of the same
// bytes to the same loopback service: one at a time, and four at once.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "service/SoapXmlParseHelper.h"
#include "service/VoVaClient.h"
#include "support/LoopbackService.h"

namespace {

// One page of ten articles, as the service answers a list request (about 4 KB).
std::string pageOfArticles() {
    ns::Value records = ns::Value::array();
    for (int i = 0; i < 10; ++i)
        records.push(ns::Value::dictionary({{"id", ns::Value(std::to_string(100 + i))},
                                            {"title", ns::Value("基层党组织建设工作推进会议召开（第" + std::to_string(i) + "期）")},
                                            {"add_time", ns::Value("2015-03-12 09:30:00")},
                                            {"img_url", ns::Value("/upload/201503/" + std::to_string(i) + ".jpg")},
                                            {"zhaiyao", ns::Value("会议强调，要深入学习贯彻党的精神，切实把各项工作落到实处，"
                                                                  "推动基层服务型党组织建设不断取得新成效。")},
                                            {"support_count", ns::Value(i)}}));
    return JSONRepresentation(ns::Value::dictionary(
        {{"state", ns::Value("successful")}, {"message", ns::Value("")}, {"records", records}}));
}

struct Fixture {
    LoopbackService svc;
    std::string envelope;
    Fixture() {
        svc.setRecording(false);
        svc.reply("GetArticleList", pageOfArticles());
        ServiceConfig::setEndpoint(svc.url());
        ServiceConfig::setServiceNamespace(svc.serviceNamespace());
        envelope = SoapXmlParseHelper::requestEnvelope(
            "GetArticleList", svc.serviceNamespace(),
            R"({"page_index":1,"page_size":10,"parameters":{"category_code":"szyw"},"orders":{"add_time":"desc"}})");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// A screen: parses each reply as the list screens do.
struct Screen : PPClientDelegate {
    int replies = 0;
    bool failed = false;
    void GetWebServerContent_success(const std::string& result) override {
        ns::Value v = JSONValue(result);
        if (v["records"].count() != 10) failed = true;
        ++replies;
    }
    void GetWebServerContent_Fail(const ns::ErrorPtr&) override {
        failed = true;
        ++replies;
    }
};

void road(benchmark::State& state, int atOnce) {
    Fixture& f = fixture();
    ns::LogCapture quiet;  // the client's debug lines
    auto screen = std::make_shared<Screen>();
    std::vector<std::shared_ptr<VoVaClient>> clients;
    for (int i = 0; i < atOnce; ++i) clients.push_back(VoVaClient::create(screen));
    for (auto _ : state) {
        screen->replies = 0;
        for (auto& c : clients) c->news_request("1", "10", "szyw");
        ns::RunLoop::main().runUntil([&] { return screen->replies == atOnce; }, 30);
        quiet.clear();
    }
    if (screen->failed) state.SkipWithError("a request failed");
    state.SetItemsProcessed(state.iterations() * atOnce);
    (void)f;
}

size_t discard(char*, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(static_cast<std::size_t>(size * n), '\0');
    return size * n;
}

void bareCurl(benchmark::State& state, int atOnce) {
    Fixture& f = fixture();
    std::string url = f.svc.url();
    std::string action = "SOAPAction: " + f.svc.serviceNamespace() + "GetArticleList";
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8");
    headers = curl_slist_append(headers, action.c_str());
    headers = curl_slist_append(headers, "Expect:");
    CURLM* multi = curl_multi_init();
    std::vector<CURL*> easies(static_cast<std::size_t>(atOnce));
    std::vector<std::string> bodies(easies.size());
    for (std::size_t i = 0; i < easies.size(); ++i) {
        easies[i] = curl_easy_init();
        curl_easy_setopt(easies[i], CURLOPT_URL, url.c_str());
        curl_easy_setopt(easies[i], CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easies[i], CURLOPT_POSTFIELDS, f.envelope.c_str());
        curl_easy_setopt(easies[i], CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(f.envelope.size()));
        curl_easy_setopt(easies[i], CURLOPT_WRITEFUNCTION, &discard);
        curl_easy_setopt(easies[i], CURLOPT_WRITEDATA, &bodies[i]);
        curl_easy_setopt(easies[i], CURLOPT_NOSIGNAL, 1L);
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < easies.size(); ++i) {
            bodies[i].clear();
            curl_multi_add_handle(multi, easies[i]);
        }
        int running = 1;
        while (running) {
            curl_multi_perform(multi, &running);
            if (running) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        for (auto* e : easies) curl_multi_remove_handle(multi, e);
        for (auto& b : bodies)
            if (b.empty()) state.SkipWithError("no reply");
    }
    for (auto* e : easies) curl_easy_cleanup(e);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    state.SetItemsProcessed(state.iterations() * atOnce);
}

void BM_Road_One(benchmark::State& s) { road(s, 1); }
void BM_BareCurl_One(benchmark::State& s) { bareCurl(s, 1); }
void BM_Road_FourAtOnce(benchmark::State& s) { road(s, 4); }
void BM_BareCurl_FourAtOnce(benchmark::State& s) { bareCurl(s, 4); }

BENCHMARK(BM_Road_One)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BareCurl_One)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Road_FourAtOnce)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BareCurl_FourAtOnce)->Unit(benchmark::kMicrosecond)->UseRealTime();

// ---- Parts of the road, to see where its time goes ----

void BM_Part_ExchangeOnCallingThread(benchmark::State& state) {
    Fixture& f = fixture();
    net::Request r;
    r.method = "POST";
    r.url = f.svc.url();
    r.headers = {{"Content-Type", "text/xml; charset=utf-8"},
                 {"SOAPAction", f.svc.serviceNamespace() + "GetArticleList"}};
    r.body = f.envelope;
    for (auto _ : state) {
        net::Response resp = net::perform(r);
        if (resp.status != 200) state.SkipWithError("failed");
    }
}
BENCHMARK(BM_Part_ExchangeOnCallingThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The transport queue: a worker thread runs the exchange, the main run loop hears of it.
void BM_Part_TransportQueue(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        auto r = HTTPRequest::requestWithURL(f.svc.url());
        r->setRequestMethod("POST");
        r->addRequestHeader("Content-Type", "text/xml; charset=utf-8");
        r->addRequestHeader("SOAPAction", f.svc.serviceNamespace() + "GetArticleList");
        r->setPostBody(f.envelope);
        bool done = false;
        r->setCompletionBlock([&] { done = true; });
        r->startAsynchronous();
        ns::RunLoop::main().runUntil([&] { return done; }, 30);
    }
}
BENCHMARK(BM_Part_TransportQueue)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Part_ExtractResult(benchmark::State& state) {
    Fixture& f = fixture();
    std::string reply =
        SoapXmlParseHelper::responseEnvelope("GetArticleList", f.svc.serviceNamespace(), pageOfArticles());
    for (auto _ : state) {
        std::string v = SoapXmlParseHelper::resultText(reply, "GetArticleList");
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_Part_ExtractResult)->Unit(benchmark::kMicrosecond);

void BM_Part_ParseResult(benchmark::State& state) {
    std::string text = pageOfArticles();
    for (auto _ : state) {
        ns::Value v = JSONValue(text);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_Part_ParseResult)->Unit(benchmark::kMicrosecond);

}  // namespace
