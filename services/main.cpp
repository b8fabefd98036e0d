// lanque-services: every outside service of the program as a loopback reference implementation, for
// testing and demonstration. Runs until SIGINT or SIGTERM.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/service_set.h"

using namespace lanque::services;

namespace {

void PrintUsage() {
    std::printf(
        "usage: lanque-services [options]\n"
        "  --SERVICE-port=N        port of a service (0 picks a free port); SERVICE is rewrite, translate,\n"
        "                          search, article, proxy or notice (defaults 18601 to 18606)\n"
        "  --fault-SERVICE=PLAN    fault injection, PLAN = latency=MS,slow=MS,empty=SHARE,garbage=SHARE,\n"
        "                          reset=SHARE,seed=N (any subset), e.g. --fault-search=empty=0.2,seed=7\n"
        "  --seed=N                seed of every fault plan that names none (default 1)\n"
        "  --account=USER:SECRET   one more account of the rewriting service\n"
        "  --proxy-order=NO:SECRET one more order of the forwarding proxy\n"
        "  --proxy-tolerance=S     accepted age of a proxy time stamp in seconds (default 300)\n"
        "  --article-base=URL      where the search engine's redirects point (default: the article platform)\n");
}

bool SplitPair(const std::string& text, std::string& first, std::string& second) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    first = text.substr(0, colon);
    second = text.substr(colon + 1);
    return true;
}

bool ParsePort(const std::string& text, int& port) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 65535) return false;
    port = static_cast<int>(value);
    return true;
}

bool ParseArguments(int argc, char** argv, ServiceConfig& config, std::string& error) {
    uint64_t seed = 1;
    std::map<Service, std::string> faultTexts;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        const std::string key = argument.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : argument.substr(equals + 1);
        Service service{};
        std::string first, second;
        if (key.rfind("--", 0) == 0 && key.size() > 7 && key.compare(key.size() - 5, 5, "-port") == 0 &&
            ServiceByName(key.substr(2, key.size() - 7), service)) {
            if (!ParsePort(value, config.ports[service])) return error = "bad port: " + argument, false;
        } else if (key.rfind("--fault-", 0) == 0 && ServiceByName(key.substr(8), service)) {
            faultTexts[service] = value;
        } else if (key == "--seed") {
            char* end = nullptr;
            seed = std::strtoull(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0') return error = "bad seed: " + argument, false;
        } else if (key == "--account" && SplitPair(value, first, second)) {
            config.accounts[first] = second;
        } else if (key == "--proxy-order" && SplitPair(value, first, second)) {
            config.orders[first] = second;
        } else if (key == "--proxy-tolerance") {
            int seconds = 0;
            if (!ParsePort(value, seconds)) return error = "bad tolerance: " + argument, false;
            config.toleranceSeconds = seconds;
        } else if (key == "--article-base" && !value.empty()) {
            config.articleBase = value;
        } else {
            return error = "unknown option: " + argument, false;
        }
    }
    for (const auto& [service, text] : faultTexts) {
        FaultPlan plan;
        plan.seed = seed;
        if (!ParseFaultPlan(text, plan, error)) return error = std::string(ServiceName(service)) + ": " + error, false;
        config.faults[service] = plan;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            PrintUsage();
            return 0;
        }
    }
    ServiceConfig config = ServiceConfig::Defaults();
    std::string error;
    if (!ParseArguments(argc, argv, config, error)) {
        std::fprintf(stderr, "lanque-services: %s\n", error.c_str());
        PrintUsage();
        return 2;
    }
    // The signals are taken by sigwait below; every service thread inherits the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    ServiceSet services;
    if (!services.Start(config, error)) {
        std::fprintf(stderr, "lanque-services: %s\n", error.c_str());
        return 1;
    }
    std::printf("lanque-services: reference services on loopback, for testing and demonstration\n");
    for (const std::string& line : services.Describe()) std::printf("  %s\n", line.c_str());
    std::printf("point the program at them with:\n");
    for (const std::string& line : services.EnvironmentLines()) std::printf("  export %s\n", line.c_str());
    std::printf("ready\n");
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    services.Stop();
    std::printf("lanque-services: stopped\n");
    return 0;
}
