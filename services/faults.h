#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Fault injection for tests and benchmarks: one plan per service, switched on from the command line.
// Every decision comes from the seed and the running number of the request, so a run with the same seed
// and the same order of requests meets the same faults.
namespace lanque::services {

enum class FaultKind { kNone, kEmpty, kGarbage, kReset };

struct FaultPlan {
    int latencyMs = 0;        // added before every reply, at most kMaxLatencyMs
    int slowBodyMs = 0;       // pause between the body's chunks, at most kMaxSlowBodyMs
    double emptyShare = 0;    // share of replies with an empty body
    double garbageShare = 0;  // share of replies with bytes that are no valid reply
    double resetShare = 0;    // share of connections cut before the reply is complete
    uint64_t seed = 1;

    bool Active() const;
};

inline constexpr int kMaxLatencyMs = 10000;
inline constexpr int kMaxSlowBodyMs = 1000;
// A slow body is sent in chunks of this many bytes.
inline constexpr size_t kSlowChunkBytes = 256;

// Reads "latency=MS,slow=MS,empty=SHARE,garbage=SHARE,reset=SHARE,seed=N" (any subset, any order).
// False, with a message, for an unknown key, a value out of range or shares adding up to more than 1.
bool ParseFaultPlan(std::string_view text, FaultPlan& plan, std::string& error);

// Hands out the faults of one service, request after request; safe from several threads.
class FaultInjector {
public:
    explicit FaultInjector(FaultPlan plan = {});
    const FaultPlan& Plan() const { return m_plan; }
    // The fault of the next request.
    FaultKind Next();
    // Deterministic bytes for a garbage reply of request number n: not JSON, not UTF-8, not markup.
    std::string GarbageBody(uint64_t n) const;
    uint64_t Served() const { return m_counter.load(); }

private:
    FaultPlan m_plan;
    std::atomic<uint64_t> m_counter{0};
};

// Waits the given milliseconds (the added latency and the slow-body pauses).
void PauseMs(int ms);

}  // namespace lanque::services
