#include <gtest/gtest.h>

#include <vector>

#include "running_services.h"
#include "services/faults.h"
#include "services/service_text.h"

namespace lanque {
namespace {

using services::FaultInjector;
using services::FaultKind;
using services::FaultPlan;
using services::ParseFaultPlan;

TEST(FaultPlanText, ParsesAndRefuses) {
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseFaultPlan("latency=20,slow=5,empty=0.25,garbage=0.25,reset=0.5,seed=9", plan, error)) << error;
    EXPECT_EQ(plan.latencyMs, 20);
    EXPECT_EQ(plan.slowBodyMs, 5);
    EXPECT_DOUBLE_EQ(plan.emptyShare, 0.25);
    EXPECT_DOUBLE_EQ(plan.garbageShare, 0.25);
    EXPECT_DOUBLE_EQ(plan.resetShare, 0.5);
    EXPECT_EQ(plan.seed, 9u);
    for (const char* bad : {"latency=-1", "latency=20000", "slow=2000", "empty=1.5", "empty=x", "jitter=1",
                            "empty", "empty=0.6,reset=0.6"}) {
        FaultPlan unchanged;
        EXPECT_FALSE(ParseFaultPlan(bad, unchanged, error)) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(unchanged.Active()) << bad;
    }
}

std::vector<FaultKind> Draw(const FaultPlan& plan, int count) {
    FaultInjector injector(plan);
    std::vector<FaultKind> kinds;
    for (int i = 0; i < count; ++i) kinds.push_back(injector.Next());
    return kinds;
}

TEST(FaultInjectorDraws, SameSeedSameFaultsAndSharesHold) {
    FaultPlan plan;
    plan.emptyShare = 0.2;
    plan.garbageShare = 0.1;
    plan.resetShare = 0.1;
    plan.seed = 42;
    const std::vector<FaultKind> first = Draw(plan, 2000);
    EXPECT_EQ(first, Draw(plan, 2000));
    plan.seed = 43;
    EXPECT_NE(first, Draw(plan, 2000));
    int empty = 0, garbage = 0, reset = 0;
    for (FaultKind kind : first) {
        empty += kind == FaultKind::kEmpty;
        garbage += kind == FaultKind::kGarbage;
        reset += kind == FaultKind::kReset;
    }
    EXPECT_NEAR(empty, 400, 80);
    EXPECT_NEAR(garbage, 200, 60);
    EXPECT_NEAR(reset, 200, 60);
}

TEST(FaultInjectorDraws, GarbageIsNeitherJsonNorUtf8) {
    const FaultInjector injector;
    for (uint64_t n = 0; n < 50; ++n) {
        const std::string body = injector.GarbageBody(n);
        EXPECT_GE(body.size(), 64u);
        EXPECT_FALSE(services::IsUtf8(body));
        EXPECT_EQ(body, injector.GarbageBody(n));
    }
}

class FaultyServices : public test::RunningServices {
protected:
    void StartWithFault(const char* text) {
        FaultPlan plan;
        std::string error;
        ASSERT_TRUE(ParseFaultPlan(text, plan, error)) << error;
        services::ServiceConfig config;
        for (services::Service service : services::kAllServices) config.faults[service] = plan;
        StartWith(config);
    }
    httplib::Result GetNotice() { return Client(services::Service::kNotice).Get("/notice"); }
};

TEST_F(FaultyServices, EmptyReplies) {
    StartWithFault("empty=1");
    auto reply = GetNotice();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_TRUE(reply->body.empty());
}

TEST_F(FaultyServices, GarbageReplies) {
    StartWithFault("garbage=1");
    auto reply = Client(services::Service::kArticle).Get("/s?id=1");
    ASSERT_TRUE(reply);
    EXPECT_FALSE(services::IsUtf8(reply->body));
    EXPECT_EQ(reply->body.find("article-title"), std::string::npos);
}

TEST_F(FaultyServices, ResetsCutTheReply) {
    StartWithFault("reset=1");
    EXPECT_FALSE(Client(services::Service::kArticle).Get("/s?id=1"));
    EXPECT_FALSE(Client(services::Service::kNotice).Get("/"));
}

TEST_F(FaultyServices, SlowBodiesArriveWhole) {
    const auto whole = Client(services::Service::kArticle).Get("/s?id=77");
    ASSERT_TRUE(whole);
    StartWithFault("slow=1,latency=1");
    const auto slow = Client(services::Service::kArticle).Get("/s?id=77");
    ASSERT_TRUE(slow);
    EXPECT_GT(slow->body.size(), services::kSlowChunkBytes);
    // The port changed, and so did the page's own links; the article itself did not.
    EXPECT_EQ(slow->body.size(), whole->body.size());
}

}  // namespace
}  // namespace lanque
