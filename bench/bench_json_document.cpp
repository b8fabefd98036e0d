// Reading service replies and computing the translation token, each beside a baseline measured in the
// same run: the bare nlohmann parse of the same UTF-8 text, and the bare GBK to UTF-8 conversion.
#include <benchmark/benchmark.h>

#include <string>

#include <nlohmann/json.hpp>

#include "generate/translation.h"
#include "script/json_document.h"
#include "text/encodings.h"

namespace {

using namespace lanque;

// A translation reply of n segments, GBK, with the elided members the service writes.
Text TranslationReply(int segments) {
    Text reply = "[[";
    for (int k = 0; k < segments; ++k) {
        if (k > 0) reply += ",";
        reply += "[\"This is the translated sentence number " + std::to_string(k) +
                 ".\",\"这是第" + std::to_string(k) + "个原文句子，内容比较长一些。\",,,3]";
    }
    reply += "],,\"zh-CN\",,,,0.9,,[[\"zh-CN\"],,[0.9],[\"zh-CN\"]]]";
    return reply;
}

// The same reply as standard JSON in UTF-8, what the bare parser can read.
std::string StandardUtf8(const Text& gbk) {
    Text text = gbk;
    for (std::size_t at; (at = text.find(",,")) != Text::npos;) text.replace(at, 2, ",null,");
    for (std::size_t at; (at = text.find("[,")) != Text::npos;) text.replace(at, 2, "[null,");
    return GbkToUtf8(text);
}

void BM_JsonDocumentTranslationReply(benchmark::State& state) {
    const Text reply = TranslationReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        JsonDocument document(JsonDocument::Variant::kTranslation);
        document.Parse(reply);
        Text joined;
        const int n = document.Count("[0]");
        for (int k = 0; k < n; ++k) joined += document.GetText("[0][" + std::to_string(k) + "][0]");
        benchmark::DoNotOptimize(joined);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(reply.size()));
}
BENCHMARK(BM_JsonDocumentTranslationReply)->Arg(10)->Arg(200);

void BM_BaselineNlohmannTranslationReply(benchmark::State& state) {
    const Text gbk = TranslationReply(static_cast<int>(state.range(0)));
    const std::string reply = StandardUtf8(gbk);
    for (auto _ : state) {
        const auto value = nlohmann::ordered_json::parse(reply);
        std::string joined;
        for (const auto& segment : value[0]) joined += segment[0].get<std::string>();
        benchmark::DoNotOptimize(joined);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(gbk.size()));
}
BENCHMARK(BM_BaselineNlohmannTranslationReply)->Arg(10)->Arg(200);

// A rewrite reply carrying an article of about 8 kB.
Text Article() {
    Text article;
    while (article.size() < 8000) article += "岚雀原创内容生成，一段比较长的中文文章内容。\\n";
    return article;
}

void BM_JsonDocumentRewriteReply(benchmark::State& state) {
    const Text reply = "{\"str\":\"" + Article() + "\",\"ck\":\"85%\"}";
    for (auto _ : state) {
        JsonDocument document;
        document.Parse(reply);
        benchmark::DoNotOptimize(document.GetText("str"));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(reply.size()));
}
BENCHMARK(BM_JsonDocumentRewriteReply);

void BM_BaselineNlohmannRewriteReply(benchmark::State& state) {
    const Text gbk = "{\"str\":\"" + Article() + "\",\"ck\":\"85%\"}";
    const std::string reply = GbkToUtf8(gbk);
    for (auto _ : state) {
        const auto value = nlohmann::ordered_json::parse(reply);
        benchmark::DoNotOptimize(value["str"].get<std::string>());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(gbk.size()));
}
BENCHMARK(BM_BaselineNlohmannRewriteReply);

void BM_MakeToken(benchmark::State& state) {
    const Text article = Article();
    for (auto _ : state) benchmark::DoNotOptimize(MakeToken(article));
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(article.size()));
}
BENCHMARK(BM_MakeToken);

void BM_BaselineGbkToUtf8(benchmark::State& state) {
    const Text article = Article();
    for (auto _ : state) benchmark::DoNotOptimize(GbkToUtf8(article));
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(article.size()));
}
BENCHMARK(BM_BaselineGbkToUtf8);

}  // namespace
