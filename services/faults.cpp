#include "services/faults.h"

#include <charconv>
#include <thread>

#include "services/service_text.h"

namespace lanque::services {

namespace {

bool ParseInt(std::string_view text, int maximum, int& value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < 0 || parsed > maximum) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseShare(std::string_view text, double& value) {
    try {
        size_t used = 0;
        const double parsed = std::stod(std::string(text), &used);
        if (used != text.size() || !(parsed >= 0.0 && parsed <= 1.0)) {
            return false;
        }
        value = parsed;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ParseSeed(std::string_view text, uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseItem(std::string_view key, std::string_view value, FaultPlan& plan) {
    if (key == "latency") return ParseInt(value, kMaxLatencyMs, plan.latencyMs);
    if (key == "slow") return ParseInt(value, kMaxSlowBodyMs, plan.slowBodyMs);
    if (key == "empty") return ParseShare(value, plan.emptyShare);
    if (key == "garbage") return ParseShare(value, plan.garbageShare);
    if (key == "reset") return ParseShare(value, plan.resetShare);
    if (key == "seed") return ParseSeed(value, plan.seed);
    return false;
}

}  // namespace

bool FaultPlan::Active() const {
    return latencyMs > 0 || slowBodyMs > 0 || emptyShare > 0 || garbageShare > 0 || resetShare > 0;
}

bool ParseFaultPlan(std::string_view text, FaultPlan& plan, std::string& error) {
    FaultPlan parsed = plan;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view item = text.substr(start, end - start);
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos ||
            !ParseItem(item.substr(0, equals), item.substr(equals + 1), parsed)) {
            error = "bad fault setting \"" + std::string(item) +
                    "\" (latency=0.." + std::to_string(kMaxLatencyMs) + ", slow=0.." +
                    std::to_string(kMaxSlowBodyMs) + ", empty/garbage/reset=0..1, seed=N)";
            return false;
        }
        start = end + 1;
    }
    if (parsed.emptyShare + parsed.garbageShare + parsed.resetShare > 1.0 + 1e-9) {
        error = "the shares of empty, garbage and reset replies add up to more than 1";
        return false;
    }
    plan = parsed;
    return true;
}

FaultInjector::FaultInjector(FaultPlan plan) : m_plan(plan) {}

FaultKind FaultInjector::Next() {
    const uint64_t n = m_counter.fetch_add(1);
    if (m_plan.emptyShare <= 0 && m_plan.garbageShare <= 0 && m_plan.resetShare <= 0) {
        return FaultKind::kNone;
    }
    // A uniform draw in [0, 1) from the seed and the request's number.
    const double draw = static_cast<double>(Mix64(m_plan.seed * 0x2545F4914F6CDD1DULL ^ n) >> 11) * 0x1.0p-53;
    if (draw < m_plan.resetShare) return FaultKind::kReset;
    if (draw < m_plan.resetShare + m_plan.emptyShare) return FaultKind::kEmpty;
    if (draw < m_plan.resetShare + m_plan.emptyShare + m_plan.garbageShare) return FaultKind::kGarbage;
    return FaultKind::kNone;
}

std::string FaultInjector::GarbageBody(uint64_t n) const {
    uint64_t state = Mix64(m_plan.seed ^ (n + 0x5851F42D4C957F2DULL));
    const size_t length = 64 + state % 448;
    std::string body = "\xFF\xFE<{";
    while (body.size() < length) {
        state = Mix64(state);
        body.push_back(static_cast<char>(0x80 | (state & 0x7F)));  // no ASCII, never valid on its own
    }
    return body;
}

void PauseMs(int ms) {
    if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

}  // namespace lanque::services
