#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>  // the clocks; <chrono> itself cannot be read with the GBK execution character set
#include <vector>

#include "services/service_set.h"

#ifndef LANQUE_SERVICES_EXECUTABLE
#error "the test needs the path of lanque-services"
#endif

namespace lanque {
namespace {

using services::Service;
using services::ServiceConfig;
using services::ServiceSet;
using Clock = std::chrono::steady_clock;

ServiceConfig FreePorts() {
    ServiceConfig config;
    for (Service service : services::kAllServices) config.ports[service] = 0;
    return config;
}

TEST(ServiceSetLife, StartsAndStopsWithinASecond) {
    const auto begin = Clock::now();
    ServiceSet set;
    std::string error;
    ASSERT_TRUE(set.Start(FreePorts(), error)) << error;
    for (Service service : services::kAllServices) EXPECT_GT(set.Port(service), 0);
    set.Stop();
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(1));
    set.Stop();  // twice is harmless
}

TEST(ServiceSetLife, TakenPortFailsCleanly) {
    ServiceSet first;
    std::string error;
    ASSERT_TRUE(first.Start(FreePorts(), error)) << error;
    ServiceConfig config = FreePorts();
    config.ports[Service::kSearch] = first.Port(Service::kSearch);
    ServiceSet second;
    EXPECT_FALSE(second.Start(config, error));
    EXPECT_NE(error.find("search"), std::string::npos) << error;
    config = FreePorts();
    config.ports[Service::kProxy] = first.Port(Service::kProxy);
    EXPECT_FALSE(second.Start(config, error));
    EXPECT_NE(error.find("proxy"), std::string::npos) << error;
}

TEST(ServiceSetLife, EnvironmentLinesNameEveryVariable) {
    ServiceSet set;
    std::string error;
    ASSERT_TRUE(set.Start(FreePorts(), error)) << error;
    const auto lines = set.EnvironmentLines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "LANQUE_REWRITE_URL=http://127.0.0.1:" + std::to_string(set.Port(Service::kRewrite)));
    EXPECT_EQ(lines[4], "LANQUE_PROXY=127.0.0.1:" + std::to_string(set.Port(Service::kProxy)));
}

// Runs the executable with the arguments; its stdout is read through a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Spawn(std::vector<std::string> arguments) {
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        std::vector<char*> argv;
        arguments.insert(arguments.begin(), LANQUE_SERVICES_EXECUTABLE);
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    child.out = pipeFds[0];
    return child;
}

// Reads until the text shows up or the pipe ends, waiting at most timeoutMs in all.
std::string ReadUntil(int fd, const std::string& marker, int timeoutMs) {
    std::string text;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((marker.empty() || text.find(marker) == std::string::npos) && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) break;
        char buffer[4096];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

int WaitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ServicesProgram, PrintsWhereEachServiceIsAndStopsOnSignals) {
    for (int signal : {SIGTERM, SIGINT}) {
        Child child = Spawn({"--rewrite-port=0", "--translate-port=0", "--search-port=0", "--article-port=0",
                             "--proxy-port=0", "--notice-port=0", "--fault-search=latency=1,seed=3"});
        const std::string started = ReadUntil(child.out, "ready\n", 5000);
        EXPECT_NE(started.find("rewriting service    http://127.0.0.1:"), std::string::npos) << started;
        for (const char* name : {"LANQUE_REWRITE_URL=", "LANQUE_TRANSLATE_URL=", "LANQUE_SEARCH_URL=",
                                 "LANQUE_ARTICLE_URL=", "LANQUE_PROXY=", "LANQUE_NOTICE_URL=", "LANQUE_SITE_URL=",
                                 "LANQUE_HOME_URL=", "LANQUE_API_DOCS_URL="}) {
            EXPECT_NE(started.find(name), std::string::npos) << name;
        }
        EXPECT_NE(started.find("(faults on)"), std::string::npos);
        kill(child.pid, signal);
        const auto stopAsked = Clock::now();
        const std::string rest = ReadUntil(child.out, "", 1000);  // to the end of its output
        EXPECT_NE(rest.find("stopped"), std::string::npos) << rest;
        EXPECT_EQ(WaitExit(child.pid), 0);
        EXPECT_LT(Clock::now() - stopAsked, std::chrono::seconds(1));
        close(child.out);
    }
}

TEST(ServicesProgram, RefusesBadOptions) {
    for (const char* bad : {"--bogus", "--rewrite-port=70000", "--fault-search=empty=2", "--fault-nothing=empty=1",
                            "--seed=x"}) {
        Child child = Spawn({bad});
        const std::string text = ReadUntil(child.out, "", 5000);
        EXPECT_EQ(WaitExit(child.pid), 2) << bad;
        EXPECT_NE(text.find("usage"), std::string::npos) << bad;
        close(child.out);
    }
}

}  // namespace
}  // namespace lanque
