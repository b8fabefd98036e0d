// Per-request overhead of the request functions against a bare libcurl easy call to the same loopback
// server. Each iteration makes one small GET with each of the two, on fresh easy handles as every request
// function does, alternating which goes first, so that the load of a shared machine falls on both alike.
// Counters: requests per second of the bare call and of ours, each from the median time of one call (a
// median is not moved by the stalls a busy machine puts into a few calls), and their ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "http/com_http_client.h"
#include "http/http_client.h"
#include "http/wininet_client.h"
#include "support/recording_server.h"

namespace {

using lanque::test::RecordingServer;
using lanque::test::ScriptedReply;

constexpr int kRequests = 1000;

RecordingServer& Server()
{
    static RecordingServer server;
    static bool scripted = [] {
        server.SetHandler([](const lanque::test::RecordedRequest&) {
            return ScriptedReply::Ok("{\"sentences\":[{\"trans\":\"small reply\",\"orig\":\"x\"}],\"src\":\"zh-CN\"}");
        });
        return true;
    }();
    (void)scripted;
    return server;
}

double Seconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

size_t Collect(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// The bare call; with sameHeaders it sends the header lines HttpClient sends, which shows how much of
// the difference is the longer request itself rather than the work of building it.
std::string BareGet(const std::string& url, bool sameHeaders = false)
{
    std::string body;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_slist* headers = nullptr;
    if (sameHeaders) {
        for (const char* line : {"User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)",
                                 "Accept: text/html, application/xhtml+xml, */*", "Accept-Encoding: gbk, GB2312",
                                 "Accept-Language: zh-cn", "Cache-Control: no-cache"}) {
            headers = curl_slist_append(headers, line);
        }
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }
    curl_easy_perform(curl);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return body;
}

template <typename Request>
void Compare(benchmark::State& state, Request ours)
{
    lanque::EnsureCurlReady();
    RecordingServer& server = Server();
    const std::string url = server.BaseUrl() + "/translate_a/single?q=1";
    std::vector<double> bareSeconds;
    std::vector<double> oursSeconds;
    double bareCpu = 0;
    double oursCpu = 0;
    bool oursFirst = false;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            bool runOurs = (turn == 0) == oursFirst;
            double cpuStart = ThreadCpuSeconds();
            double start = Seconds();
            std::string body = runOurs ? std::string(ours(url)) : BareGet(url);
            (runOurs ? oursSeconds : bareSeconds).push_back(Seconds() - start);
            (runOurs ? oursCpu : bareCpu) += ThreadCpuSeconds() - cpuStart;
            if (body.empty()) state.SkipWithError("empty reply");
            benchmark::DoNotOptimize(body);
        }
        oursFirst = !oursFirst;
    }
    double bare = Median(bareSeconds);
    double mine = Median(oursSeconds);
    state.counters["bare_per_s"] = 1 / bare;
    state.counters["ours_per_s"] = 1 / mine;
    state.counters["ratio"] = bare / mine;
    // CPU time of the calling thread per request, in microseconds: the client's own share of the work.
    state.counters["bare_cpu_us"] = bareCpu * 1e6 / static_cast<double>(state.iterations());
    state.counters["ours_cpu_us"] = oursCpu * 1e6 / static_cast<double>(state.iterations());
    server.Clear();
}

void BM_HttpClient(benchmark::State& state)
{
    Compare(state, [](const std::string& url) { return lanque::HttpClient(url); });
}

void BM_BareWithHttpClientHeaders(benchmark::State& state)
{
    Compare(state, [](const std::string& url) { return BareGet(url, true); });
}

void BM_ProxiedHttpClient(benchmark::State& state)
{
    Compare(state, [](const std::string& url) { return lanque::ProxiedHttpClient(url); });
}

void BM_WinInetClient(benchmark::State& state)
{
    Compare(state, [](const std::string& url) { return lanque::WinInetClient(url); });
}

void BM_ComHttpClient(benchmark::State& state)
{
    Compare(state, [](const std::string& url) { return lanque::ComHttpClient(url); });
}

}  // namespace

BENCHMARK(BM_HttpClient)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareWithHttpClientHeaders)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProxiedHttpClient)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WinInetClient)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComHttpClient)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
