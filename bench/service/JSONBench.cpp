// Reading a 1 MB reply of article records with Chinese text: our reader
// (into ns::Value, UTF-8 validated) beside RapidJSON and nlohmann-json; and
// the 4 KB page of ten articles a list screen parses, ours beside RapidJSON.
#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>

#include <string>

#include "ArticlePage.h"
#include "service/JSON.h"

namespace {

// A deterministic reply of about 1 MB: {"state","message","records":[...]}.
const std::string& articleReply() {
    static const std::string text = [] {
        const char* words[] = {"党建", "网格", "群众", "服务", "学习", "教育", "基层", "组织", "活动", "通知",
                               "会议", "精神", "工作", "推进", "落实", "社区", "志愿", "帮扶", "调研", "座谈"};
        unsigned seed = 12345;
        auto next = [&] {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % 20;
        };
        auto phrase = [&](int n) {
            std::string s;
            for (int i = 0; i < n; ++i) s += words[next()];
            return s;
        };
        ns::Value records = ns::Value::array();
        std::size_t size = 0;
        for (int i = 0; size < 1024 * 1024; ++i) {
            ns::Value r = ns::Value::dictionary();
            r.set("id", ns::Value(std::to_string(10000 + i)));
            r.set("title", ns::Value(phrase(8) + "（第" + std::to_string(i) + "期）"));
            r.set("add_time", ns::Value("2015-03-" + std::to_string(10 + i % 18) + " 09:30:00"));
            r.set("img_url", ns::Value("/upload/201503/" + std::to_string(i) + ".jpg"));
            r.set("zhaiyao", ns::Value(phrase(40) + "。\"引用\"\n"));
            r.set("support_count", ns::Value(i % 97));
            r.set("user_name", ns::Value("管理员"));
            size += JSONRepresentation(r).size() + 1;
            records.push(r);
        }
        ns::Value reply = ns::Value::dictionary(
            {{"state", ns::Value("successful")}, {"message", ns::Value("加载成功")}, {"records", records}});
        return JSONRepresentation(reply);
    }();
    return text;
}

void parseOurs(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        ns::Value v = JSONValue(text);
        benchmark::DoNotOptimize(v);
        if (!v.isDictionary()) state.SkipWithError("parse failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void parseRapidJSON(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.c_str(), text.size());
        benchmark::DoNotOptimize(d);
        if (d.HasParseError()) state.SkipWithError("parse failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_JSON_Ours(benchmark::State& state) { parseOurs(state, articleReply()); }
BENCHMARK(BM_JSON_Ours)->Unit(benchmark::kMillisecond);

void BM_JSON_RapidJSON(benchmark::State& state) { parseRapidJSON(state, articleReply()); }
BENCHMARK(BM_JSON_RapidJSON)->Unit(benchmark::kMillisecond);

const std::string& smallPage() {
    static const std::string text = pageOfArticles();
    return text;
}

// The 4 KB result a list screen parses on every reply.
void BM_JSON_Ours_Page(benchmark::State& state) { parseOurs(state, smallPage()); }
BENCHMARK(BM_JSON_Ours_Page)->Unit(benchmark::kMicrosecond);

void BM_JSON_RapidJSON_Page(benchmark::State& state) { parseRapidJSON(state, smallPage()); }
BENCHMARK(BM_JSON_RapidJSON_Page)->Unit(benchmark::kMicrosecond);

// RapidJSON with UTF-8 validation, which our reader always does.
void BM_JSON_RapidJSONValidating(benchmark::State& state) {
    const std::string& text = articleReply();
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str(), text.size());
        benchmark::DoNotOptimize(d);
        if (d.HasParseError()) state.SkipWithError("parse failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JSON_RapidJSONValidating)->Unit(benchmark::kMillisecond);

void BM_JSON_Nlohmann(benchmark::State& state) {
    const std::string& text = articleReply();
    for (auto _ : state) {
        auto j = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(j);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_JSON_Nlohmann)->Unit(benchmark::kMillisecond);

void BM_JSON_OursWrite(benchmark::State& state) {
    ns::Value v = JSONValue(articleReply());
    for (auto _ : state) {
        std::string text = JSONRepresentation(v);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * articleReply().size()));
}
BENCHMARK(BM_JSON_OursWrite)->Unit(benchmark::kMillisecond);

}  // namespace
