// The whole road of one request (format the argument, wrap the envelope,
// POST over loopback through the transport queue on the main run loop's
// network engine, extract the result, deliver it and parse it on the main
// thread) against a bare libcurl POST of the same bytes to the same loopback
// service: one at a time, and four at once.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <sys/resource.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ArticlePage.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "service/JSON.h"
#include "service/ServiceConfig.h"
#include "service/SoapXmlParseHelper.h"
#include "service/VoVaClient.h"
#include "support/LoopbackService.h"

namespace {

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

// The road: `atOnce` clients, each sending one list request per round.
class Road {
public:
    explicit Road(int atOnce) : atOnce_(atOnce) {
        fixture();
        for (int i = 0; i < atOnce; ++i) clients_.push_back(VoVaClient::create(screen_));
    }
    bool round() {
        screen_->replies = 0;
        for (auto& c : clients_) c->news_request("1", "10", "szyw");
        ns::RunLoop::main().runUntil([&] { return screen_->replies == atOnce_; }, 30);
        quiet_.clear();
        return !screen_->failed;
    }

private:
    int atOnce_;
    ns::LogCapture quiet_;  // the client's debug lines
    std::shared_ptr<Screen> screen_ = std::make_shared<Screen>();
    std::vector<std::shared_ptr<VoVaClient>> clients_;
};

size_t discard(char*, size_t size, size_t n, void* out) {
    static_cast<std::string*>(out)->append(static_cast<std::size_t>(size * n), '\0');
    return size * n;
}

// The bare side: the same envelope POSTed by `atOnce` libcurl handles at once
// on the calling thread; the reply is only collected.
class BareCurl {
public:
    explicit BareCurl(int atOnce) : easies_(static_cast<std::size_t>(atOnce)), bodies_(easies_.size()) {
        Fixture& f = fixture();
        url_ = f.svc.url();
        action_ = "SOAPAction: " + f.svc.serviceNamespace() + "GetArticleList";
        headers_ = curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8");
        headers_ = curl_slist_append(headers_, action_.c_str());
        headers_ = curl_slist_append(headers_, "Expect:");
        multi_ = curl_multi_init();
        for (std::size_t i = 0; i < easies_.size(); ++i) {
            easies_[i] = curl_easy_init();
            curl_easy_setopt(easies_[i], CURLOPT_URL, url_.c_str());
            curl_easy_setopt(easies_[i], CURLOPT_HTTPHEADER, headers_);
            curl_easy_setopt(easies_[i], CURLOPT_POSTFIELDS, f.envelope.c_str());
            curl_easy_setopt(easies_[i], CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(f.envelope.size()));
            curl_easy_setopt(easies_[i], CURLOPT_WRITEFUNCTION, &discard);
            curl_easy_setopt(easies_[i], CURLOPT_WRITEDATA, &bodies_[i]);
            curl_easy_setopt(easies_[i], CURLOPT_NOSIGNAL, 1L);
        }
    }
    ~BareCurl() {
        for (auto* e : easies_) curl_easy_cleanup(e);
        curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }
    bool round() {
        for (std::size_t i = 0; i < easies_.size(); ++i) {
            bodies_[i].clear();
            curl_multi_add_handle(multi_, easies_[i]);
        }
        int running = 1;
        while (running) {
            curl_multi_perform(multi_, &running);
            if (running) curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
        bool ok = true;
        for (std::size_t i = 0; i < easies_.size(); ++i) {
            curl_multi_remove_handle(multi_, easies_[i]);
            ok = ok && !bodies_[i].empty();
        }
        return ok;
    }

private:
    std::string url_, action_;
    curl_slist* headers_ = nullptr;
    CURLM* multi_ = nullptr;
    std::vector<CURL*> easies_;
    std::vector<std::string> bodies_;
};

template <typename Side>
void rounds(benchmark::State& state, int atOnce) {
    Side side(atOnce);
    for (auto _ : state)
        if (!side.round()) state.SkipWithError("a request failed");
    state.SetItemsProcessed(state.iterations() * atOnce);
}

// Context switches of the whole process so far (the loopback service's
// threads included: both sides share them).
long contextSwitches() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw + u.ru_nivcsw;
}

// Both sides in turn inside each iteration (which goes first alternates), so
// that both see the same load on a shared machine; the counters give each
// side's mean, their ratio, the context switches per round of each side, and
// the connections the service accepted during the timed rounds (0: both
// sides kept theirs open throughout).
void paired(benchmark::State& state, int atOnce) {
    Road road(atOnce);
    BareCurl bare(atOnce);
    bool ok = road.round() && bare.round();  // both open their connections before timing
    using Clock = std::chrono::steady_clock;
    double roadTime = 0, bareTime = 0;
    std::size_t connectionsBefore = fixture().svc.connectionCount();
    bool bareFirst = true;
    long roadSwitches = 0, bareSwitches = 0;
    for (auto _ : state) {
        const long s0 = contextSwitches();
        auto t0 = Clock::now();
        ok = (bareFirst ? bare.round() : road.round()) && ok;
        auto t1 = Clock::now();
        const long s1 = contextSwitches();
        ok = (bareFirst ? road.round() : bare.round()) && ok;
        auto t2 = Clock::now();
        const long s2 = contextSwitches();
        if (!ok) state.SkipWithError("a request failed");
        double first = std::chrono::duration<double, std::micro>(t1 - t0).count();
        double second = std::chrono::duration<double, std::micro>(t2 - t1).count();
        bareTime += bareFirst ? first : second;
        roadTime += bareFirst ? second : first;
        bareSwitches += bareFirst ? s1 - s0 : s2 - s1;
        roadSwitches += bareFirst ? s2 - s1 : s1 - s0;
        bareFirst = !bareFirst;
    }
    double n = static_cast<double>(state.iterations());
    state.counters["bare_us"] = bareTime / n;
    state.counters["road_us"] = roadTime / n;
    state.counters["ratio"] = bareTime > 0 ? roadTime / bareTime : 0;
    state.counters["road_cs"] = static_cast<double>(roadSwitches) / n;
    state.counters["bare_cs"] = static_cast<double>(bareSwitches) / n;
    state.counters["new_connections"] = static_cast<double>(fixture().svc.connectionCount() - connectionsBefore);
}

void BM_Road_One(benchmark::State& s) { rounds<Road>(s, 1); }
void BM_BareCurl_One(benchmark::State& s) { rounds<BareCurl>(s, 1); }
void BM_Road_FourAtOnce(benchmark::State& s) { rounds<Road>(s, 4); }
void BM_BareCurl_FourAtOnce(benchmark::State& s) { rounds<BareCurl>(s, 4); }
void BM_Paired_One(benchmark::State& s) { paired(s, 1); }
void BM_Paired_FourAtOnce(benchmark::State& s) { paired(s, 4); }

BENCHMARK(BM_Road_One)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BareCurl_One)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Road_FourAtOnce)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BareCurl_FourAtOnce)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Paired_One)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Paired_FourAtOnce)->Unit(benchmark::kMicrosecond)->UseRealTime();

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

// The transport queue: the main run loop's engine runs the exchange and hears of it.
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
