// Text core measurements: the element search over a result page against a bare memmem pass, the
// code-page conversions against a bare iconv call, and the encoders' throughput.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "collect/markup.h"
#include "text/encodings.h"

namespace lanque {
namespace {

constexpr const char* kResultStart = "<div class=\"result c-container \" id=\"";

// One result block of about 1 KB, shaped as the search page writes them: the title with its link,
// an abstract of GBK text, nested divs for the address line and the tools.
std::string ResultBlock(int id) {
    const std::string n = std::to_string(id);
    std::string abstract;
    for (int i = 0; i < 12; ++i) {
        abstract += "这是搜索结果的摘要文字，";
    }
    return std::string(kResultStart) + n + "\" srcid=\"1599\" tpl=\"se_com_default\" mu=\"https://h/s?id=" + n +
           "\"><h3 class=\"t\"><a data-click=\"{'F':'778317EA','F1':'9D73F1E4','T':'1577777777'}\" href = "
           "\"http://127.0.0.1/link?url=Qx7" + n + "Ab\" target=\"_blank\">标题<em>关键词</em>的文章" + n +
           "</a></h3><div class=\"c-abstract\"><span class=\" newTimeFactor_before_abs m\">2020年1月2日&nbsp;-"
           "&nbsp;</span>" + abstract + "<em>关键词</em>" + abstract + "</div><div class=\"f13\"><a target="
           "\"_blank\" class=\"c-showurl\" style=\"text-decoration:none;\">baijiahao.baidu.com/s?id=" + n +
           "</a><div class=\"c-tools\" id=\"tools_" + n + "\" data-tools='{\"title\":\"t\"}'><a class=\"c-tip-icon\">"
           "<i class=\"c-icon c-icon-triangle-down-g\"></i></a></div><span class=\"c-icons-outer\"></span> - <a class="
           "\"m\" data-click=\"{}\">百度快照</a></div></div>";
}

const std::string& ResultPage() {
    static const std::string page = [] {
        std::string text = "<html><head><meta charset=gbk><title>结果</title></head><body><div id=\"content_left\">";
        for (int i = 1; i <= 1000; ++i) {
            text += ResultBlock(i);
        }
        return text + "</div></body></html>";
    }();
    return page;
}

// About 1 MB of mixed GBK text and ASCII, and the same as UTF-8.
const std::string& GbkMegabyte() {
    static const std::string text = [] {
        std::string out;
        while (out.size() < (1 << 20)) {
            out += "岚雀原创内容生成，全网独家算法 Article text 123; ";
        }
        return out;
    }();
    return text;
}

const std::string& Utf8Megabyte() {
    static const std::string text = GbkToUtf8(GbkMegabyte());
    return text;
}

void BM_AllElementsResultPage(benchmark::State& state) {
    const std::string& page = ResultPage();
    for (auto _ : state) {
        auto blocks = AllElements(page, kResultStart, "<div", "</div>");
        if (blocks.size() != 1000) {
            state.SkipWithError("wrong block count");
        }
        benchmark::DoNotOptimize(blocks);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_AllElementsResultPage);

// The floor: one memmem pass over the same page for the start marker.
void BM_MemmemPassResultPage(benchmark::State& state) {
    const std::string& page = ResultPage();
    const std::size_t markerLength = std::strlen(kResultStart);
    for (auto _ : state) {
        int count = 0;
        const char* p = page.data();
        const char* end = page.data() + page.size();
        while (const void* hit = memmem(p, static_cast<std::size_t>(end - p), kResultStart, markerLength)) {
            ++count;
            p = static_cast<const char*>(hit) + markerLength;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_MemmemPassResultPage);

void BM_GbkToUtf8(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(GbkToUtf8(GbkMegabyte()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(GbkMegabyte().size()));
}
BENCHMARK(BM_GbkToUtf8);

void BM_Utf8ToGbk(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Utf8ToGbk(Utf8Megabyte()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(Utf8Megabyte().size()));
}
BENCHMARK(BM_Utf8ToGbk);

// The floor for the conversions: open, one iconv call into a buffer sized up front, close.
void BareIconv(benchmark::State& state, const std::string& input, const char* from, const char* to) {
    std::string out(input.size() * 2 + 16, '\0');
    for (auto _ : state) {
        iconv_t cd = iconv_open(to, from);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        iconv_close(cd);
        benchmark::DoNotOptimize(outPtr);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
}

void BM_BareIconvGbkToUtf8(benchmark::State& state) { BareIconv(state, GbkMegabyte(), "GBK", "UTF-8"); }
BENCHMARK(BM_BareIconvGbkToUtf8);
void BM_BareIconvUtf8ToGbk(benchmark::State& state) { BareIconv(state, Utf8Megabyte(), "UTF-8", "GBK"); }
BENCHMARK(BM_BareIconvUtf8ToGbk);

void BM_UrlEncode(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(UrlEncode(GbkMegabyte(), true, true));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(GbkMegabyte().size()));
}
BENCHMARK(BM_UrlEncode);

void BM_Base64Encode(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Base64Encode(GbkMegabyte()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(GbkMegabyte().size()));
}
BENCHMARK(BM_Base64Encode);

void BM_Md5Hex(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Md5Hex(GbkMegabyte()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(GbkMegabyte().size()));
}
BENCHMARK(BM_Md5Hex);

}  // namespace
}  // namespace lanque
